#pragma once
// Reads the bytes of one ABC file (a DoABC tag's bytecode) into an immutable AbcFile.
// Untrusted input: every count, length and index is checked against the data and the
// pools, so a bad file gives an error with its reason and byte offset, never a partial
// file.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "movie/abc/types.h"

namespace orv::movie::abc {

struct ReadError {
  std::string reason;           // short, e.g. "multiname index 40 out of range (12 multinames)"
  size_t offset = 0;            // byte offset in the ABC data where the bad field starts
  std::string message() const;  // "<reason> at byte <offset>"
};

struct ReadResult {
  std::shared_ptr<const AbcFile> file;  // null on failure
  ReadError error;                      // set when file is null
  explicit operator bool() const { return file != nullptr; }
};

// TypeName parameters nest at most this deep (Vector.<Vector.<...>>).
constexpr int kMaxTypeNameDepth = 32;

ReadResult readAbc(const uint8_t* data, size_t size);
inline ReadResult readAbc(const std::vector<uint8_t>& bytes) {
  return readAbc(bytes.data(), bytes.size());
}

}  // namespace orv::movie::abc
