#include "win32/app_facts.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace orv::win32 {
namespace {

std::string upperCase(std::string text) {
  if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace

std::string programFile() {
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    if (buffer.size() >= 32768) return buffer;
    buffer.resize(buffer.size() * 2);
  }
}

std::string directoryOf(const std::string& file) {
  const size_t slash = file.find_last_of("\\/");
  if (slash == std::string::npos) return "";
  return file.substr(0, slash);
}

std::string baseNameOf(const std::string& file) {
  const size_t slash = file.find_last_of("\\/");
  std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

std::string argumentsOf(const std::string& commandLine) {
  size_t i = 0;
  // The program name: quoted up to the closing quote, else up to the first blank.
  if (i < commandLine.size() && commandLine[i] == '"') {
    const size_t close = commandLine.find('"', i + 1);
    i = close == std::string::npos ? commandLine.size() : close + 1;
  } else {
    while (i < commandLine.size() && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
  }
  while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
  return commandLine.substr(i);
}

std::string instanceMutexName(const std::string& file) {
  // Mutex names may not hold backslashes and are limited in length: a hash of the
  // case-folded path names the program file.
  const std::string folded = upperCase(file);
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : folded) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "Local\\Orvanta.Instance.%016llx",
                static_cast<unsigned long long>(hash));
  return name;
}

bool samePath(const std::string& a, const std::string& b) { return upperCase(a) == upperCase(b); }

}  // namespace orv::win32
