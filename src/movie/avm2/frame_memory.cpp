// The domain memory instructions: little-endian loads and stores into the ByteArray the
// current application domain holds, each address checked against its length (#1506).
#include <cstring>

#include "movie/avm2/frame.h"
#include "movie/flash/bytearray.h"

namespace orv::movie::avm2 {

void Frame::memory(const Instruction& in) {
  int size = 0;
  bool store = false;
  switch (in.op) {
    case Op::li8: size = 1; break;
    case Op::li16: size = 2; break;
    case Op::li32: case Op::lf32: size = 4; break;
    case Op::lf64: size = 8; break;
    case Op::si8: size = 1; store = true; break;
    case Op::si16: size = 2; store = true; break;
    case Op::si32: case Op::sf32: size = 4; store = true; break;
    default: size = 8; store = true; break;
  }
  int32_t address = m_.toInt(pop());
  Value value = store ? pop() : Value();
  auto* mem = static_cast<ByteArrayObject*>(m_.domainMemory);
  if (!mem || address < 0 || size_t(address) + size > mem->bytes.size())
    m_.fail(ErrorClass::RangeError, 1506);
  uint8_t* p = mem->bytes.data() + address;
  uint64_t bits = 0;
  if (!store) {
    for (int i = 0; i < size; ++i) bits |= uint64_t(p[i]) << (8 * i);
    float f;
    double d;
    switch (in.op) {
      case Op::li8: stack_.emplace_back(int32_t(bits)); break;
      case Op::li16: stack_.emplace_back(int32_t(bits)); break;
      case Op::li32: stack_.emplace_back(int32_t(uint32_t(bits))); break;
      case Op::lf32: {
        auto b32 = uint32_t(bits);
        std::memcpy(&f, &b32, 4);
        stack_.emplace_back(double(f));
        break;
      }
      default:
        std::memcpy(&d, &bits, 8);
        stack_.emplace_back(d);
    }
    return;
  }
  if (in.op == Op::sf32) {
    auto f = static_cast<float>(m_.toNumber(value));
    uint32_t b32;
    std::memcpy(&b32, &f, 4);
    bits = b32;
  } else if (in.op == Op::sf64) {
    double d = m_.toNumber(value);
    std::memcpy(&bits, &d, 8);
  } else {
    bits = uint32_t(m_.toInt(value));
  }
  for (int i = 0; i < size; ++i) p[i] = uint8_t(bits >> (8 * i));
}

}  // namespace orv::movie::avm2
