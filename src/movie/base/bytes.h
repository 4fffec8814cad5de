#pragma once
// Numbers stored in bytes: little-endian (SWF records, GIF, PCM sound, script bytecode)
// and big-endian (TrueType tables); a sequential reader that stops at the end of its data,
// and a big-endian view read at offsets.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orv::movie::base {

// The number stored at `p`; the caller has made sure the bytes are there.
inline uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline float floatFromBits(uint32_t bits) { return std::bit_cast<float>(bits); }
inline uint32_t bitsOfFloat(float f) { return std::bit_cast<uint32_t>(f); }

// Little-endian numbers one after another. A read the rest of the data cannot hold gives 0,
// moves to the end and clears ok(); so does a skip past the end. Reading on after that
// gives 0s: callers check ok() once a record is read.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  explicit ByteReader(std::span<const uint8_t> bytes) : ByteReader(bytes.data(), bytes.size()) {}

  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  size_t remaining() const { return size_ - pos_; }
  bool has(size_t n) const { return n <= size_ - pos_; }
  const uint8_t* here() const { return data_ + pos_; }

  uint8_t u8() { return take(1) ? data_[pos_ - 1] : 0; }
  uint16_t u16() { return take(2) ? le16(data_ + pos_ - 2) : 0; }
  uint32_t u32() { return take(4) ? le32(data_ + pos_ - 4) : 0; }
  int16_t s16() { return int16_t(u16()); }
  int32_t s32() { return int32_t(u32()); }
  float f32() { return floatFromBits(u32()); }
  void skip(size_t n) { take(n); }

 private:
  bool take(size_t n) {
    if (!has(n)) {
      ok_ = false;
      pos_ = size_;
      return false;
    }
    pos_ += n;
    return true;
  }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// Big-endian numbers read at offsets; 0 where the bytes are not all there.
class BigEndianView {
 public:
  explicit BigEndianView(std::span<const uint8_t> bytes) : d_(bytes) {}
  size_t size() const { return d_.size(); }
  bool has(uint64_t at, uint64_t n) const { return at <= d_.size() && n <= d_.size() - at; }
  uint8_t u8(uint64_t at) const { return has(at, 1) ? d_[at] : 0; }
  uint16_t u16(uint64_t at) const { return has(at, 2) ? be16(d_.data() + at) : 0; }
  int16_t s16(uint64_t at) const { return int16_t(u16(at)); }
  uint32_t u32(uint64_t at) const { return has(at, 4) ? be32(d_.data() + at) : 0; }

 private:
  std::span<const uint8_t> d_;
};

}  // namespace orv::movie::base
