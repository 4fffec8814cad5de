#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orv::profile {

// Private-profile (INI) files with Windows' rules: section and key names compare
// without regard to case, blanks around names and values are ignored, a value wrapped in
// one pair of quotation marks loses them, lines end in CR LF when written.

// The value text of `key` in `section`, or nullopt when the file, section or key is missing.
std::optional<std::string> readString(const std::string& nativeFile, const std::string& section,
                                      const std::string& key);

// The integer a value text begins with after blanks (optional sign, decimal digits);
// 0 when it begins with none.
std::int32_t leadingInteger(const std::string& text);

// GetPrivateProfileInt: the leading integer of the value, the default when missing or empty.
std::uint32_t readInt(const std::string& nativeFile, const std::string& section,
                      const std::string& key, std::int32_t defaultValue);

// WritePrivateProfileString with a value: replaces the key's value in place, or appends the
// key to its section, or appends the section. Creates the file when missing. False when the
// file cannot be written; it is then left as it was.
bool writeString(const std::string& nativeFile, const std::string& section, const std::string& key,
                 const std::string& value);

}  // namespace orv::profile
