#pragma once

#include "runtime/module1.h"

namespace orv::win32 {

// Module1 on Windows: every call goes to the real user32, advapi32 or kernel32 function.
class Win32System : public SystemApi {
 public:
  // A pop-up menu is open (true) or has just closed (false). Escape pressed for the menu is
  // not reported as pressed, while the menu is open and until the key has been let go.
  void menuKeysHeld(bool open);

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

 private:
  bool menuOpen_ = false;
  bool escapeForMenu_ = false;  // the menu's Escape may still be down or remembered
};

}  // namespace orv::win32
