#pragma once
// Whole files on disk through the C library, paths as the program keeps them (UTF-8 on
// POSIX, the system code page on Windows). Small on purpose: the stream and path classes
// of the C++ library bring its whole locale machinery into the program.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv::files {

// The separator this system puts between folders ('\\' on Windows, '/' elsewhere).
extern const char kSeparator;

enum class ReadError : uint8_t { None, Missing, TooLarge, Unreadable };

// The file's bytes; nullopt when it cannot be opened or read, or holds more than
// `maxBytes` (then `error` says which).
std::optional<std::vector<uint8_t>> read(const std::string& path, size_t maxBytes,
                                         ReadError* error = nullptr);
// Creates or empties the file and writes `size` bytes; false when any of it failed.
bool write(const std::string& path, const void* data, size_t size);
// Moves `from` over `to`, replacing it. Where the system cannot replace in one step, the
// old file is kept as `to` + ".old" until the new one is in place (see readReplaced).
bool replace(const std::string& from, const std::string& to);
// `path`, or the ".old" copy a replace cut short left behind.
std::optional<std::vector<uint8_t>> readReplaced(const std::string& path, size_t maxBytes);
bool remove(const std::string& path);
bool isFile(const std::string& path);
bool isDirectory(const std::string& path);
// Makes the folder and those above it as needed; true when it is there afterwards.
bool makeDirectories(const std::string& path);
// The names in a folder, "." and ".." left out; empty when it cannot be read.
std::vector<std::string> list(const std::string& folder);

// `folder` and `name` with one separator between them.
std::string join(const std::string& folder, const std::string& name);
// The folder part of `path` ("" when it has none).
std::string parent(const std::string& path);
// `path` from the current folder when it is relative, with "." and ".." parts resolved.
std::string absolute(const std::string& path);

}  // namespace orv::files
