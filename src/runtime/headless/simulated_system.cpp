#include "runtime/headless/simulated_system.h"

#include <algorithm>

#include "runtime/file_system.h"
#include "runtime/profile_file.h"

namespace orv::headless {

std::int16_t SimulatedSystem::GetAsyncKeyState(int virtualKey) {
  calls_.push_back("GetAsyncKeyState");
  KeyState& k = keys_[virtualKey];
  std::uint16_t result = 0;
  if (k.down) result |= 0x8000;
  if (k.pressedSinceQuery) result |= 0x0001;
  k.pressedSinceQuery = false;
  return static_cast<std::int16_t>(result);
}

void SimulatedSystem::keyDown(int virtualKey) {
  keys_[virtualKey].down = true;
  keys_[virtualKey].pressedSinceQuery = true;
}

void SimulatedSystem::keyUp(int virtualKey) { keys_[virtualKey].down = false; }

void SimulatedSystem::keyPress(int virtualKey) {
  keyDown(virtualKey);
  keyUp(virtualKey);
}

std::int32_t SimulatedSystem::SetCursorPos(std::int32_t x, std::int32_t y) {
  calls_.push_back("SetCursorPos");
  // Windows keeps the pointer on the screen.
  cursorX_ = std::clamp(x, 0, screenW_ - 1);
  cursorY_ = std::clamp(y, 0, screenH_ - 1);
  return 1;
}

void SimulatedSystem::setScreenPixels(int width, int height) {
  screenW_ = width;
  screenH_ = height;
}

std::int32_t SimulatedSystem::PostMessageA(std::intptr_t window, std::uint32_t message,
                                           std::uintptr_t wParam, std::intptr_t lParam) {
  calls_.push_back("PostMessageA");
  const PostedMessage m{window, message, wParam, lParam};
  posted_.push_back(m);
  return deliver && deliver(m) ? 1 : 0;
}

std::int32_t SimulatedSystem::RegOpenKeyExA(HKey key, const std::string& subKey, std::uint32_t,
                                            std::uint32_t, HKey* result) {
  calls_.push_back("RegOpenKeyExA " + subKey);
  return registry_.open(key, subKey, result);
}

std::int32_t SimulatedSystem::RegCreateKeyExA(HKey key, const std::string& subKey, std::uint32_t,
                                              std::uint32_t, HKey* result,
                                              std::uint32_t* disposition) {
  calls_.push_back("RegCreateKeyExA " + subKey);
  return registry_.create(key, subKey, result, disposition);
}

std::int32_t SimulatedSystem::RegSetValueA(HKey key, const std::string& subKey, std::uint32_t type,
                                           const std::string& data) {
  calls_.push_back("RegSetValueA " + data);
  if (subKey.empty()) return registry_.setValue(key, "", type, data);
  HKey sub = 0;
  std::int32_t rc = registry_.create(key, subKey, &sub, nullptr);
  if (rc != ERROR_SUCCESS_) return rc;
  rc = registry_.setValue(sub, "", type, data);
  registry_.close(sub);
  return rc;
}

std::int32_t SimulatedSystem::RegSetValueExA(HKey key, const std::string& valueName,
                                             std::uint32_t type, const std::string& data) {
  calls_.push_back("RegSetValueExA " + valueName + "=" + data);
  return registry_.setValue(key, valueName, type, data);
}

std::int32_t SimulatedSystem::RegDeleteKeyA(HKey key, const std::string& subKey) {
  calls_.push_back("RegDeleteKeyA " + subKey);
  return registry_.deleteKey(key, subKey);
}

std::int32_t SimulatedSystem::RegCloseKey(HKey key) {
  calls_.push_back("RegCloseKey");
  return registry_.close(key);
}

std::uint32_t SimulatedSystem::GetPrivateProfileIntA(const std::string& section,
                                                     const std::string& key,
                                                     std::int32_t defaultValue,
                                                     const std::string& fileName) {
  calls_.push_back("GetPrivateProfileIntA " + key);
  return profile::readInt(nativePath(fileName), section, key, defaultValue);
}

std::int32_t SimulatedSystem::WritePrivateProfileStringA(const std::string& section,
                                                         const std::string& key,
                                                         const std::string& value,
                                                         const std::string& fileName) {
  calls_.push_back("WritePrivateProfileStringA " + key + "=" + value);
  return profile::writeString(nativePath(fileName), section, key, value) ? 1 : 0;
}

}  // namespace orv::headless
