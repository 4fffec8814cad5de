#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/headless/simulated_registry.h"
#include "runtime/module1.h"

namespace orv::headless {

// Module1 without Windows: a simulated registry, the private-profile functions over real
// files, a key-state table, a cursor and a log of posted messages.
class SimulatedSystem : public SystemApi {
 public:
  struct PostedMessage {
    std::intptr_t window;
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  };

  std::int16_t GetAsyncKeyState(int virtualKey) override;
  std::int32_t SetCursorPos(std::int32_t x, std::int32_t y) override;
  std::int32_t PostMessageA(std::intptr_t window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
  std::int32_t RegOpenKeyExA(HKey key, const std::string& subKey, std::uint32_t options,
                             std::uint32_t desiredAccess, HKey* result) override;
  std::int32_t RegCreateKeyExA(HKey key, const std::string& subKey, std::uint32_t options,
                               std::uint32_t desiredAccess, HKey* result,
                               std::uint32_t* disposition) override;
  std::int32_t RegSetValueA(HKey key, const std::string& subKey, std::uint32_t type,
                            const std::string& data) override;
  std::int32_t RegSetValueExA(HKey key, const std::string& valueName, std::uint32_t type,
                              const std::string& data) override;
  std::int32_t RegDeleteKeyA(HKey key, const std::string& subKey) override;
  std::int32_t RegCloseKey(HKey key) override;
  std::uint32_t GetPrivateProfileIntA(const std::string& section, const std::string& key,
                                      std::int32_t defaultValue,
                                      const std::string& fileName) override;
  std::int32_t WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                          const std::string& value,
                                          const std::string& fileName) override;

  // What tests look at and drive.
  SimulatedRegistry& registry() { return registry_; }
  // The key goes down (and is remembered as pressed since the last query).
  void keyDown(int virtualKey);
  void keyUp(int virtualKey);
  // A press and release between two queries: only the low bit remains.
  void keyPress(int virtualKey);
  int cursorX() const { return cursorX_; }
  int cursorY() const { return cursorY_; }
  void setScreenPixels(int width, int height);
  const std::vector<PostedMessage>& posted() const { return posted_; }
  // Windows that accept posted messages; a post to any other handle fails.
  std::function<bool(const PostedMessage&)> deliver;
  // Every call in order, by function name, for tests of call sequences.
  const std::vector<std::string>& calls() const { return calls_; }
  void clearCalls() { calls_.clear(); }

 private:
  struct KeyState {
    bool down = false;
    bool pressedSinceQuery = false;
  };
  SimulatedRegistry registry_;
  std::map<int, KeyState> keys_;
  int cursorX_ = 0, cursorY_ = 0, screenW_ = 1024, screenH_ = 768;
  std::vector<PostedMessage> posted_;
  std::vector<std::string> calls_;
};

}  // namespace orv::headless
