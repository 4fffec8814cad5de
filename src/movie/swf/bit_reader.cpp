#include "movie/swf/bit_reader.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "movie/base/bytes.h"
#include "movie/base/utf8.h"

namespace orv::movie::swf {

void BitReader::need(size_t n) const {
  if (n > size_ - pos_) throw ParseError("unexpected end of data");
}

void BitReader::seek(size_t pos) {
  if (pos > size_) throw ParseError("offset outside the data");
  pos_ = pos;
  bitCount_ = 0;
}

void BitReader::skip(size_t n) {
  align();
  need(n);
  pos_ += n;
}

uint8_t BitReader::u8() {
  align();
  need(1);
  return data_[pos_++];
}

uint16_t BitReader::u16() {
  align();
  need(2);
  const uint16_t v = base::le16(data_ + pos_);
  pos_ += 2;
  return v;
}

uint32_t BitReader::u32() {
  align();
  need(4);
  const uint32_t v = base::le32(data_ + pos_);
  pos_ += 4;
  return v;
}

float BitReader::f16() {
  uint16_t h = u16();
  int sign = h >> 15, exponent = (h >> 10) & 0x1F, mantissa = h & 0x3FF;
  float v;
  if (exponent == 0)
    v = static_cast<float>(mantissa) / 1024.0f / 16384.0f;  // subnormal: m * 2^-24
  else if (exponent == 31)
    v = mantissa ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
  else
    v = (1.0f + mantissa / 1024.0f) * static_cast<float>(std::ldexp(1.0, exponent - 15));
  return sign ? -v : v;
}

float BitReader::f32() { return base::floatFromBits(u32()); }

double BitReader::f64() {
  uint64_t lo = u32(), hi = u32();
  uint64_t bits = lo | hi << 32;
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}

uint32_t BitReader::encodedU32() {
  uint32_t result = 0;
  for (int i = 0; i < 5; ++i) {
    uint8_t b = u8();
    result |= uint32_t(b & 0x7F) << (7 * i);
    if (!(b & 0x80)) break;
  }
  return result;
}

uint32_t BitReader::ub(unsigned bits) {
  if (bits > 32) throw ParseError("bit field wider than 32 bits");
  uint32_t v = 0;
  for (unsigned i = 0; i < bits; ++i) {
    if (bitCount_ == 0) {
      need(1);
      bitBuffer_ = data_[pos_++];
      bitCount_ = 8;
    }
    --bitCount_;
    v = (v << 1) | ((bitBuffer_ >> bitCount_) & 1u);
  }
  return v;
}

int32_t BitReader::sb(unsigned bits) {
  if (bits == 0) return 0;
  uint32_t v = ub(bits);
  if (bits < 32 && (v & (1u << (bits - 1)))) v |= ~0u << bits;  // sign-extend
  return static_cast<int32_t>(v);
}

std::string ansiToUtf8(const uint8_t* s, size_t n) {
  // Windows-1252 0x80..0x9F; the rest of the high half is Latin-1.
  static const uint16_t cp1252[32] = {
      0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::string out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = s[i];
    if (c >= 0x80 && c < 0xA0) c = cp1252[c - 0x80];
    base::appendUtf8(out, c);
  }
  return out;
}

std::string BitReader::fixedString(size_t n) {
  align();
  need(n);
  const uint8_t* s = data_ + pos_;
  pos_ += n;
  while (n > 0 && s[n - 1] == 0) --n;
  if (version_ >= 6) return std::string(reinterpret_cast<const char*>(s), n);
  return ansiToUtf8(s, n);
}

std::string BitReader::string() {
  align();
  const uint8_t* start = data_ + pos_;
  const void* nul = std::memchr(start, 0, size_ - pos_);
  size_t n = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - start) : size_ - pos_;
  pos_ += n + (nul ? 1 : 0);
  if (version_ >= 6) return std::string(reinterpret_cast<const char*>(start), n);
  return ansiToUtf8(start, n);
}

std::vector<uint8_t> BitReader::bytes(size_t n) {
  align();
  need(n);
  std::vector<uint8_t> v(data_ + pos_, data_ + pos_ + n);
  pos_ += n;
  return v;
}

BitReader BitReader::sub(size_t n) {
  align();
  need(n);
  BitReader r(data_ + pos_, n, version_);
  pos_ += n;
  return r;
}

Rect BitReader::rect() {
  align();
  unsigned bits = ub(5);
  Rect r;
  r.xMin = sb(bits);
  r.xMax = sb(bits);
  r.yMin = sb(bits);
  r.yMax = sb(bits);
  align();
  return r;
}

Matrix BitReader::matrix() {
  align();
  Matrix m;
  if (flag()) {
    unsigned bits = ub(5);
    m.a = fb(bits);
    m.d = fb(bits);
  }
  if (flag()) {
    unsigned bits = ub(5);
    m.b = fb(bits);
    m.c = fb(bits);
  }
  unsigned bits = ub(5);
  m.tx = sb(bits);
  m.ty = sb(bits);
  align();
  return m;
}

ColorTransform BitReader::cxform(bool withAlpha) {
  align();
  ColorTransform cx;
  bool hasAdd = flag(), hasMul = flag();
  unsigned bits = ub(4);
  if (hasMul) {
    cx.rMul = sb(bits) / 256.0;
    cx.gMul = sb(bits) / 256.0;
    cx.bMul = sb(bits) / 256.0;
    if (withAlpha) cx.aMul = sb(bits) / 256.0;
  }
  if (hasAdd) {
    cx.rAdd = sb(bits);
    cx.gAdd = sb(bits);
    cx.bAdd = sb(bits);
    if (withAlpha) cx.aAdd = sb(bits);
  }
  align();
  return cx;
}

RGBA BitReader::rgb() {
  RGBA c;
  c.r = u8();
  c.g = u8();
  c.b = u8();
  return c;
}

RGBA BitReader::rgba() {
  RGBA c = rgb();
  c.a = u8();
  return c;
}

}  // namespace orv::movie::swf
