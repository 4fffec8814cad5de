#include "movie/swf/lzma.h"

#include <algorithm>
#include <array>

namespace orv::movie::swf {

namespace {

constexpr int kProbBits = 11;
constexpr uint16_t kProbInit = 1 << (kProbBits - 1);
constexpr int kNumStates = 12;
constexpr int kEndPosModelIndex = 14;
constexpr int kNumFullDistances = 1 << (kEndPosModelIndex >> 1);
constexpr int kMatchMinLen = 2;

struct Corrupt {};
struct OutOfInput {};

class RangeDecoder {
 public:
  RangeDecoder(const uint8_t* in, size_t size) : in_(in), size_(size) {
    if (next() != 0) throw Corrupt{};
    for (int i = 0; i < 4; ++i) code_ = (code_ << 8) | next();
    if (code_ == range_) throw Corrupt{};
  }

  unsigned bit(uint16_t& prob) {
    uint32_t bound = (range_ >> kProbBits) * prob;
    unsigned b;
    if (code_ < bound) {
      prob = static_cast<uint16_t>(prob + (((1 << kProbBits) - prob) >> 5));
      range_ = bound;
      b = 0;
    } else {
      prob = static_cast<uint16_t>(prob - (prob >> 5));
      code_ -= bound;
      range_ -= bound;
      b = 1;
    }
    normalize();
    return b;
  }

  uint32_t directBits(unsigned n) {
    uint32_t res = 0;
    while (n--) {
      range_ >>= 1;
      code_ -= range_;
      uint32_t t = 0u - (code_ >> 31);
      code_ += range_ & t;
      if (code_ == range_) throw Corrupt{};
      normalize();
      res = (res << 1) + (t + 1);
    }
    return res;
  }

 private:
  uint8_t next() {
    if (pos_ < size_) return in_[pos_++];
    // The coder reads a few bytes ahead; past that the data really ended.
    if (++overrun_ > 4) throw OutOfInput{};
    return 0;
  }
  void normalize() {
    if (range_ < (1u << 24)) {
      range_ <<= 8;
      code_ = (code_ << 8) | next();
    }
  }
  const uint8_t* in_;
  size_t size_;
  size_t pos_ = 0;
  int overrun_ = 0;
  uint32_t range_ = 0xFFFFFFFF;
  uint32_t code_ = 0;
};

template <int Bits>
struct BitTree {
  std::array<uint16_t, 1 << Bits> probs;
  BitTree() { probs.fill(kProbInit); }
  unsigned decode(RangeDecoder& rc) {
    unsigned m = 1;
    for (int i = 0; i < Bits; ++i) m = (m << 1) + rc.bit(probs[m]);
    return m - (1u << Bits);
  }
  unsigned reverse(RangeDecoder& rc) { return reverseDecode(probs.data(), Bits, rc); }
  static unsigned reverseDecode(uint16_t* probs, int bits, RangeDecoder& rc) {
    unsigned m = 1, symbol = 0;
    for (int i = 0; i < bits; ++i) {
      unsigned b = rc.bit(probs[m]);
      m = (m << 1) + b;
      symbol |= b << i;
    }
    return symbol;
  }
};

struct LengthDecoder {
  uint16_t choice = kProbInit, choice2 = kProbInit;
  BitTree<3> low[16], mid[16];
  BitTree<8> high;
  unsigned decode(RangeDecoder& rc, unsigned posState) {
    if (rc.bit(choice) == 0) return low[posState].decode(rc);
    if (rc.bit(choice2) == 0) return 8 + mid[posState].decode(rc);
    return 16 + high.decode(rc);
  }
};

}  // namespace

LzmaResult lzmaDecode(const uint8_t properties[5], const uint8_t* input, size_t inputSize,
                      size_t outputLimit) {
  LzmaResult result;
  unsigned d = properties[0];
  if (d >= 9 * 5 * 5) {
    result.error = "bad LZMA properties";
    return result;
  }
  const unsigned lc = d % 9, lp = (d / 9) % 5, pb = d / 45;
  std::vector<uint8_t>& out = result.data;
  out.reserve(std::min<size_t>(outputLimit, inputSize * 4 + 1024));

  std::vector<uint16_t> literalProbs(size_t(0x300) << (lc + lp), kProbInit);
  std::array<uint16_t, kNumStates << 4> isMatch, isRep0Long;
  std::array<uint16_t, kNumStates> isRep, isRepG0, isRepG1, isRepG2;
  for (auto* a : {&isMatch, &isRep0Long}) a->fill(kProbInit);
  for (auto* a : {&isRep, &isRepG0, &isRepG1, &isRepG2}) a->fill(kProbInit);
  BitTree<6> posSlot[4];
  std::array<uint16_t, 1 + kNumFullDistances - kEndPosModelIndex> posDecoders;
  posDecoders.fill(kProbInit);
  BitTree<4> align;
  LengthDecoder lenDecoder, repLenDecoder;

  uint32_t rep0 = 0, rep1 = 0, rep2 = 0, rep3 = 0;
  unsigned state = 0;
  const uint32_t pbMask = (1u << pb) - 1, lpMask = (1u << lp) - 1;

  try {
    RangeDecoder rc(input, inputSize);
    while (out.size() < outputLimit) {
      const unsigned posState = static_cast<unsigned>(out.size()) & pbMask;
      if (rc.bit(isMatch[(state << 4) + posState]) == 0) {
        unsigned prev = out.empty() ? 0 : out.back();
        unsigned litState =
            ((static_cast<unsigned>(out.size()) & lpMask) << lc) + (prev >> (8 - lc));
        uint16_t* probs = &literalProbs[size_t(0x300) * litState];
        unsigned symbol = 1;
        if (state >= 7) {
          unsigned matchByte = out[out.size() - rep0 - 1];
          do {
            unsigned matchBit = (matchByte >> 7) & 1;
            matchByte <<= 1;
            unsigned b = rc.bit(probs[((1 + matchBit) << 8) + symbol]);
            symbol = (symbol << 1) | b;
            if (matchBit != b) break;
          } while (symbol < 0x100);
        }
        while (symbol < 0x100) symbol = (symbol << 1) | rc.bit(probs[symbol]);
        out.push_back(static_cast<uint8_t>(symbol));
        state = state < 4 ? 0 : (state < 10 ? state - 3 : state - 6);
        continue;
      }
      unsigned len;
      if (rc.bit(isRep[state]) != 0) {
        if (out.empty()) throw Corrupt{};
        if (rc.bit(isRepG0[state]) == 0) {
          if (rc.bit(isRep0Long[(state << 4) + posState]) == 0) {
            state = state < 7 ? 9 : 11;
            out.push_back(out[out.size() - rep0 - 1]);
            continue;
          }
        } else {
          uint32_t dist;
          if (rc.bit(isRepG1[state]) == 0) {
            dist = rep1;
          } else {
            if (rc.bit(isRepG2[state]) == 0) {
              dist = rep2;
            } else {
              dist = rep3;
              rep3 = rep2;
            }
            rep2 = rep1;
          }
          rep1 = rep0;
          rep0 = dist;
        }
        len = repLenDecoder.decode(rc, posState);
        state = state < 7 ? 8 : 11;
      } else {
        rep3 = rep2;
        rep2 = rep1;
        rep1 = rep0;
        len = lenDecoder.decode(rc, posState);
        state = state < 7 ? 7 : 10;
        // The distance.
        unsigned lenState = len < 3 ? len : 3;
        unsigned slot = posSlot[lenState].decode(rc);
        if (slot < 4) {
          rep0 = slot;
        } else {
          unsigned directBits = (slot >> 1) - 1;
          uint32_t dist = (2u | (slot & 1u)) << directBits;
          if (slot < kEndPosModelIndex) {
            dist += BitTree<1>::reverseDecode(&posDecoders[dist - slot],
                                              static_cast<int>(directBits), rc);
          } else {
            dist += rc.directBits(directBits - 4) << 4;
            dist += align.reverse(rc);
          }
          rep0 = dist;
        }
        if (rep0 == 0xFFFFFFFF) {  // end marker
          result.complete = true;
          return result;
        }
        if (rep0 >= out.size()) throw Corrupt{};
      }
      len += kMatchMinLen;
      size_t from = out.size() - rep0 - 1;
      for (unsigned i = 0; i < len && out.size() < outputLimit; ++i) out.push_back(out[from + i]);
    }
    result.complete = true;
  } catch (const Corrupt&) {
    result.error = "corrupt LZMA data";
  } catch (const OutOfInput&) {
    result.error = "LZMA data ends early";
  }
  return result;
}

}  // namespace orv::movie::swf
