#include "win32/win32_system.h"

#include <windows.h>

namespace orv::win32 {
namespace {

HKEY toHkey(HKey key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

void Win32System::menuKeysHeld(bool open) {
  menuOpen_ = open;
  if (open) {
    escapeForMenu_ = true;
  } else {
    // A press made while the menu was open is forgotten by this query; a key still down
    // is the menu's until it is let go.
    escapeForMenu_ = (::GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0;
  }
}

std::int16_t Win32System::GetAsyncKeyState(int virtualKey) {
  const auto state = static_cast<std::int16_t>(::GetAsyncKeyState(virtualKey));
  if (virtualKey != VK_ESCAPE || !escapeForMenu_) return state;
  if (menuOpen_ || (state & 0x8000) != 0) return 0;
  // Let go since the menu closed: its press, remembered by this query, is consumed.
  escapeForMenu_ = false;
  return 0;
}

std::int32_t Win32System::SetCursorPos(std::int32_t x, std::int32_t y) {
  return ::SetCursorPos(x, y);
}

std::int32_t Win32System::PostMessageA(std::intptr_t window, std::uint32_t message,
                                       std::uintptr_t wParam, std::intptr_t lParam) {
  return ::PostMessageA(reinterpret_cast<HWND>(window), message, wParam, lParam);
}

std::int32_t Win32System::RegOpenKeyExA(HKey key, const std::string& subKey, std::uint32_t options,
                                        std::uint32_t desiredAccess, HKey* result) {
  HKEY opened = nullptr;
  const LONG rc = ::RegOpenKeyExA(toHkey(key), subKey.c_str(), options, desiredAccess, &opened);
  if (result) *result = reinterpret_cast<HKey>(opened);
  return rc;
}

std::int32_t Win32System::RegCreateKeyExA(HKey key, const std::string& subKey,
                                          std::uint32_t options, std::uint32_t desiredAccess,
                                          HKey* result, std::uint32_t* disposition) {
  HKEY created = nullptr;
  DWORD how = 0;
  const LONG rc = ::RegCreateKeyExA(toHkey(key), subKey.c_str(), 0, nullptr, options, desiredAccess,
                                    nullptr, &created, &how);
  if (result) *result = reinterpret_cast<HKey>(created);
  if (disposition) *disposition = how;
  return rc;
}

std::int32_t Win32System::RegSetValueA(HKey key, const std::string& subKey, std::uint32_t type,
                                       const std::string& data) {
  return ::RegSetValueA(toHkey(key), subKey.c_str(), type, data.c_str(),
                        static_cast<DWORD>(data.size()));
}

std::int32_t Win32System::RegSetValueExA(HKey key, const std::string& valueName, std::uint32_t type,
                                         const std::string& data) {
  // The text with its terminating zero.
  return ::RegSetValueExA(toHkey(key), valueName.c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() + 1));
}

std::int32_t Win32System::RegDeleteKeyA(HKey key, const std::string& subKey) {
  return ::RegDeleteKeyA(toHkey(key), subKey.c_str());
}

std::int32_t Win32System::RegCloseKey(HKey key) { return ::RegCloseKey(toHkey(key)); }

std::uint32_t Win32System::GetPrivateProfileIntA(const std::string& section, const std::string& key,
                                                 std::int32_t defaultValue,
                                                 const std::string& fileName) {
  return ::GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultValue, fileName.c_str());
}

std::int32_t Win32System::WritePrivateProfileStringA(const std::string& section,
                                                     const std::string& key,
                                                     const std::string& value,
                                                     const std::string& fileName) {
  return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                      fileName.c_str());
}

}  // namespace orv::win32
