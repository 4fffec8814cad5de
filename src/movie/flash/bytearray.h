// flash.utils.ByteArray's object: bytes, a read/write position and a byte order. Its
// length is capped so a script cannot ask for more memory than a movie can sensibly use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "movie/avm2/objects.h"

namespace orv::movie::avm2 {

class ByteArrayObject : public HookedObject {
 public:
  using HookedObject::HookedObject;
  static constexpr size_t kMaxLength = size_t(1) << 28;

  std::vector<uint8_t> bytes;
  uint32_t position = 0;
  bool bigEndian = true;
  uint32_t objectEncoding = 3;

  // The bytes as an index names them (ba[3]), within the length; others are left alone.
  bool getHook(Machine& m, const Name& n, Value& out) override;
  bool setHook(Machine& m, const Name& n, Value& v) override;
  bool hasHook(Machine& m, const Name& n, bool& out) override;
  // Makes room for `count` bytes from the position (Error #1000 past the cap).
  void reserveAt(Machine& m, size_t count);
};

// Bytes as text: UTF-8 as the player reads it, a byte that starts no complete sequence
// standing for itself (Latin-1).
std::string decodeUtf8Bytes(const uint8_t* p, size_t size);
// Bytes as the player shows them as a String (ByteArray.toString, loaded text): UTF-16 in
// either byte order or UTF-8 after a byte order mark, else UTF-8.
std::string bytesAsText(const uint8_t* p, size_t size);

}  // namespace orv::movie::avm2
