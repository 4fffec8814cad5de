#pragma once
// Bounds-checked reading of SWF primitives: little-endian integers, bit fields,
// fixed-point numbers, encoded U32, strings, RECT, MATRIX, CXFORM. Reading past the end
// throws ParseError; the reader catches it at the tag (or movie) level.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "movie/swf/types.h"

namespace orv::movie::swf {

struct ParseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size, int swfVersion = 10)
      : data_(data), size_(size), version_(swfVersion) {}

  size_t pos() const { return pos_; }
  size_t size() const { return size_; }
  size_t remaining() const { return size_ - pos_; }
  bool atEnd() const { return pos_ >= size_; }
  int version() const { return version_; }
  const uint8_t* data() const { return data_; }

  void align() { bitCount_ = 0; }
  void seek(size_t pos);
  void skip(size_t n);

  uint8_t u8();
  uint16_t u16();
  uint32_t u32();
  int16_t s16() { return static_cast<int16_t>(u16()); }
  int32_t s32() { return static_cast<int32_t>(u32()); }
  double fixed8() { return s16() / 256.0; }     // 8.8
  double fixed16() { return s32() / 65536.0; }  // 16.16
  float f16();                                  // half precision
  float f32();
  double f64();
  uint32_t encodedU32();

  uint32_t ub(unsigned bits);
  int32_t sb(unsigned bits);
  double fb(unsigned bits) { return sb(bits) / 65536.0; }
  bool flag() { return ub(1) != 0; }

  // Null-terminated string: ANSI (Windows-1252) before SWF 6, UTF-8 from 6; returned as
  // UTF-8. A missing terminator takes the rest of the data.
  std::string string();
  // `n` bytes as a string in the same encoding (length-prefixed names); NULs trimmed.
  std::string fixedString(size_t n);
  std::vector<uint8_t> bytes(size_t n);
  std::vector<uint8_t> rest() { return bytes(remaining()); }
  // A reader over the next `n` bytes; this reader moves past them.
  BitReader sub(size_t n);

  Rect rect();
  Matrix matrix();
  ColorTransform cxform(bool withAlpha);
  RGBA rgb();
  RGBA rgba();

 private:
  void need(size_t n) const;
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  int version_;
  uint8_t bitBuffer_ = 0;
  unsigned bitCount_ = 0;
};

// Coordinates add with two's-complement wrap-around: hostile files may overflow them.
inline int32_t wrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Windows-1252 bytes to UTF-8.
std::string ansiToUtf8(const uint8_t* s, size_t n);

}  // namespace orv::movie::swf
