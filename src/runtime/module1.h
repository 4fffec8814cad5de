#pragma once

#include <cstdint>
#include <string>

namespace orv {

// Handles and constants of the operating-system functions the windows call, with the
// values Windows gives them.
using HKey = std::uintptr_t;
inline constexpr HKey HKEY_CLASSES_ROOT_ = 0x80000000u;
inline constexpr HKey HKEY_LOCAL_MACHINE_ = 0x80000002u;
inline constexpr std::uint32_t REG_SZ_ = 1;
inline constexpr std::uint32_t REG_OPTION_NON_VOLATILE_ = 0;
inline constexpr std::uint32_t KEY_QUERY_VALUE_ = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE_ = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY_ = 0x0004;
inline constexpr std::uint32_t KEY_ALL_ACCESS_ = 0xF003F;
inline constexpr std::int32_t ERROR_SUCCESS_ = 0;
inline constexpr std::int32_t ERROR_FILE_NOT_FOUND_ = 2;
inline constexpr std::int32_t ERROR_ACCESS_DENIED_ = 5;
inline constexpr std::int32_t ERROR_INVALID_HANDLE_ = 6;
inline constexpr std::uint32_t WM_CLOSE_ = 16;
inline constexpr int VK_ESCAPE_ = 27;

// Module1: the operating-system functions the windows call, as one seam. The Windows
// build passes each call to the real function; the headless build simulates them with
// Windows' rules.
class SystemApi {
 public:
  virtual ~SystemApi() = default;

  // user32
  virtual std::int16_t GetAsyncKeyState(int virtualKey) = 0;
  virtual std::int32_t SetCursorPos(std::int32_t x, std::int32_t y) = 0;
  virtual std::int32_t PostMessageA(std::intptr_t window, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) = 0;

  // advapi32
  virtual std::int32_t RegOpenKeyExA(HKey key, const std::string& subKey, std::uint32_t options,
                                     std::uint32_t desiredAccess, HKey* result) = 0;
  virtual std::int32_t RegCreateKeyExA(HKey key, const std::string& subKey, std::uint32_t options,
                                       std::uint32_t desiredAccess, HKey* result,
                                       std::uint32_t* disposition) = 0;
  virtual std::int32_t RegSetValueA(HKey key, const std::string& subKey, std::uint32_t type,
                                    const std::string& data) = 0;
  virtual std::int32_t RegSetValueExA(HKey key, const std::string& valueName, std::uint32_t type,
                                      const std::string& data) = 0;
  virtual std::int32_t RegDeleteKeyA(HKey key, const std::string& subKey) = 0;
  virtual std::int32_t RegCloseKey(HKey key) = 0;

  // kernel32
  virtual std::uint32_t GetPrivateProfileIntA(const std::string& section, const std::string& key,
                                              std::int32_t defaultValue,
                                              const std::string& fileName) = 0;
  virtual std::int32_t WritePrivateProfileStringA(const std::string& section,
                                                  const std::string& key, const std::string& value,
                                                  const std::string& fileName) = 0;
};

}  // namespace orv
