#include "files/files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include <dirent.h>
#ifdef _WIN32
#include <direct.h>
#else
#include <unistd.h>
#endif

namespace orv::files {

#ifdef _WIN32
const char kSeparator = '\\';
#else
const char kSeparator = '/';
#endif

namespace {

struct Closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, Closer>;

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool makeOne(const std::string& path) {
#ifdef _WIN32
  return _mkdir(path.c_str()) == 0 || errno == EEXIST;
#else
  return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
#endif
}

// Where a path's first folder starts: after "/", "C:\" or "\\server\share\".
size_t rootLength(const std::string& p) {
#ifdef _WIN32
  if (p.size() >= 2 && p[1] == ':') return p.size() > 2 && isSeparator(p[2]) ? 3 : 2;
  if (p.size() >= 2 && isSeparator(p[0]) && isSeparator(p[1])) {
    size_t n = 2, parts = 0;
    while (n < p.size() && parts < 2)
      if (isSeparator(p[n++])) ++parts;
    return n;
  }
#endif
  return !p.empty() && isSeparator(p[0]) ? 1 : 0;
}

}  // namespace

std::optional<std::vector<uint8_t>> read(const std::string& path, size_t maxBytes,
                                         ReadError* error) {
  auto fail = [&](ReadError e) {
    if (error) *error = e;
    return std::nullopt;
  };
  if (error) *error = ReadError::None;
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return fail(ReadError::Missing);
  std::vector<uint8_t> bytes;
  // Read in pieces: what the file says its size is may not be what it holds.
  uint8_t piece[1 << 16];
  for (;;) {
    const size_t got = std::fread(piece, 1, sizeof piece, f.get());
    if (got > maxBytes - bytes.size()) return fail(ReadError::TooLarge);
    bytes.insert(bytes.end(), piece, piece + got);
    if (got < sizeof piece) break;
  }
  if (std::ferror(f.get())) return fail(ReadError::Unreadable);
  return bytes;
}

bool write(const std::string& path, const void* data, size_t size) {
  File f(std::fopen(path.c_str(), "wb"));
  if (!f) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, f.get()) == size;
  return std::fclose(f.release()) == 0 && written;
}

bool replace(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  if (!isFile(to)) return false;
  // The system will not rename over a file: the old one steps aside first.
  const std::string old = to + ".old";
  std::remove(old.c_str());
  if (std::rename(to.c_str(), old.c_str()) != 0) return false;
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    std::rename(old.c_str(), to.c_str());
    return false;
  }
  std::remove(old.c_str());
  return true;
}

std::optional<std::vector<uint8_t>> readReplaced(const std::string& path, size_t maxBytes) {
  if (isFile(path)) return read(path, maxBytes);
  return read(path + ".old", maxBytes);
}

bool remove(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool isFile(const std::string& path) {
  struct stat s;
  return !path.empty() && stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode);
}

bool isDirectory(const std::string& path) {
  struct stat s;
  return !path.empty() && stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

bool makeDirectories(const std::string& path) {
  if (path.empty() || isDirectory(path)) return !path.empty();
  for (size_t i = rootLength(path); i <= path.size(); ++i) {
    if (i < path.size() && !isSeparator(path[i])) continue;
    const std::string upTo = path.substr(0, i);
    if (!upTo.empty() && !isSeparator(upTo.back()) && !isDirectory(upTo) && !makeOne(upTo))
      return false;
  }
  return isDirectory(path);
}

std::vector<std::string> list(const std::string& folder) {
  std::vector<std::string> names;
  DIR* d = opendir(folder.c_str());
  if (!d) return names;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(d);
  return names;
}

std::string join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return isSeparator(folder.back()) ? folder + name : folder + kSeparator + name;
}

std::string parent(const std::string& path) {
  const size_t root = rootLength(path);
  size_t end = path.size();
  while (end > root && !isSeparator(path[end - 1])) --end;
  while (end > root && isSeparator(path[end - 1])) --end;
  return path.substr(0, std::max(end, root));
}

std::string absolute(const std::string& path) {
  std::string full = path;
  if (rootLength(path) == 0) {
    char here[4096];
#ifdef _WIN32
    const bool known = _getcwd(here, sizeof here) != nullptr;
#else
    const bool known = getcwd(here, sizeof here) != nullptr;
#endif
    if (!known) return path;
    full = join(here, path);
  }
  // "." and ".." parts resolved, separators made the system's own.
  const size_t root = rootLength(full);
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = root; i <= full.size(); ++i) {
    if (i < full.size() && !isSeparator(full[i])) {
      part += full[i];
      continue;
    }
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
  }
  std::string out = full.substr(0, root);
  for (char& c : out)
    if (isSeparator(c)) c = kSeparator;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? std::string(1, kSeparator) : "") + parts[i];
  return out;
}

}  // namespace orv::files
