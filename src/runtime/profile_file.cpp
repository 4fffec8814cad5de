#include "runtime/profile_file.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <vector>

#include "files/files.h"

namespace orv::profile {
namespace {

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A file is kept as its lines; these helpers find sections and keys in them.
std::vector<std::string> readLines(const std::string& file, bool* exists) {
  // A settings file is small; a huge one is not read.
  const auto bytes = files::read(file, size_t(16) << 20);
  *exists = bytes.has_value();
  std::vector<std::string> lines;
  if (!bytes) return lines;
  std::string line;
  for (uint8_t b : *bytes) {
    if (b != '\n') {
      line += char(b);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) {
    if (line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool isSectionHeader(const std::string& line, std::string* name) {
  const std::string t = trim(line);
  if (t.empty() || t.front() != '[') return false;
  const size_t close = t.find(']');
  *name = trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
  return true;
}

// Index of the section's header line, or -1.
long findSection(const std::vector<std::string>& lines, const std::string& section) {
  std::string name;
  for (size_t i = 0; i < lines.size(); ++i)
    if (isSectionHeader(lines[i], &name) && sameName(name, section)) return static_cast<long>(i);
  return -1;
}

// Index one past the section's last line.
size_t sectionEnd(const std::vector<std::string>& lines, size_t header) {
  std::string name;
  size_t i = header + 1;
  while (i < lines.size() && !isSectionHeader(lines[i], &name)) ++i;
  return i;
}

bool splitEntry(const std::string& line, std::string* key, std::string* value) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  *key = trim(line.substr(0, eq));
  *value = trim(line.substr(eq + 1));
  return true;
}

}  // namespace

std::optional<std::string> readString(const std::string& nativeFile, const std::string& section,
                                      const std::string& key) {
  bool exists = false;
  const auto lines = readLines(nativeFile, &exists);
  const long header = findSection(lines, trim(section));
  if (header < 0) return std::nullopt;
  const size_t end = sectionEnd(lines, static_cast<size_t>(header));
  std::string k, v;
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    if (!splitEntry(lines[i], &k, &v) || !sameName(k, trim(key))) continue;
    if (v.size() >= 2 &&
        ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
      v = v.substr(1, v.size() - 2);
    return v;
  }
  return std::nullopt;
}

std::int32_t leadingInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  // Windows keeps the low 32 bits of a longer number.
  std::uint32_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

std::uint32_t readInt(const std::string& nativeFile, const std::string& section,
                      const std::string& key, std::int32_t defaultValue) {
  const auto value = readString(nativeFile, section, key);
  if (!value || value->empty()) return static_cast<std::uint32_t>(defaultValue);
  return static_cast<std::uint32_t>(leadingInteger(*value));
}

bool writeString(const std::string& nativeFile, const std::string& section, const std::string& key,
                 const std::string& value) {
  bool exists = false;
  auto lines = readLines(nativeFile, &exists);
  const std::string entry = trim(key) + "=" + value;
  const long header = findSection(lines, trim(section));
  if (header < 0) {
    if (!lines.empty() && !trim(lines.back()).empty()) lines.push_back("");
    lines.push_back("[" + trim(section) + "]");
    lines.push_back(entry);
  } else {
    const size_t end = sectionEnd(lines, static_cast<size_t>(header));
    std::string k, v;
    bool replaced = false;
    for (size_t i = static_cast<size_t>(header) + 1; i < end && !replaced; ++i) {
      if (splitEntry(lines[i], &k, &v) && sameName(k, trim(key))) {
        lines[i] = k + "=" + value;
        replaced = true;
      }
    }
    if (!replaced) {
      // After the section's last entry, before the blank lines that end it.
      size_t at = end;
      while (at > static_cast<size_t>(header) + 1 && trim(lines[at - 1]).empty()) --at;
      lines.insert(lines.begin() + static_cast<long>(at), entry);
    }
  }
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return files::write(nativeFile, text.data(), text.size());
}

}  // namespace orv::profile
