#include "movie/saves/amf.h"

#include <cstring>

#include "movie/base/bytes.h"

namespace orv::movie::saves {

namespace {
// AMF0 type markers.
enum Marker : uint8_t {
  kNumber = 0x00,
  kBoolean = 0x01,
  kString = 0x02,
  kObject = 0x03,
  kNull = 0x05,
  kUndefined = 0x06,
  kReference = 0x07,
  kEcmaArray = 0x08,
  kObjectEnd = 0x09,
  kStrictArray = 0x0A,
  kDate = 0x0B,
  kLongString = 0x0C,
  kXml = 0x0F,
  kTypedObject = 0x10,
};
}  // namespace

void Amf0Writer::u16(uint16_t v) {
  u8(uint8_t(v >> 8));
  u8(uint8_t(v));
}
void Amf0Writer::u32(uint32_t v) {
  u16(uint16_t(v >> 16));
  u16(uint16_t(v));
}
void Amf0Writer::number(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  u32(uint32_t(bits >> 32));
  u32(uint32_t(bits));
}

void Amf0Writer::name(const std::string& s) {
  const size_t n = std::min<size_t>(s.size(), 0xFFFF);
  u16(uint16_t(n));
  out_.insert(out_.end(), s.begin(), s.begin() + long(n));
}

void Amf0Writer::string(const std::string& s) {
  if (s.size() <= 0xFFFF) {
    u8(kString);
    name(s);
    return;
  }
  u8(kLongString);
  u32(uint32_t(std::min<size_t>(s.size(), 0xFFFFFFFFu)));
  out_.insert(out_.end(), s.begin(), s.end());
}

void Amf0Writer::members(const AmfNode& node) {
  for (const auto& [key, v] : node.members) {
    name(key);
    value(v);
  }
  u16(0);
  u8(kObjectEnd);
}

void Amf0Writer::value(const AmfValue& v) {
  switch (v.type) {
    case AmfValue::Type::Undefined:
      u8(kUndefined);
      return;
    case AmfValue::Type::Null:
      u8(kNull);
      return;
    case AmfValue::Type::Boolean:
      u8(kBoolean);
      u8(v.boolean ? 1 : 0);
      return;
    case AmfValue::Type::Number:
      u8(kNumber);
      number(v.number);
      return;
    case AmfValue::Type::String:
      string(v.text);
      return;
    case AmfValue::Type::Date:
      u8(kDate);
      number(v.number);
      u16(uint16_t(v.timezone));
      return;
    case AmfValue::Type::Xml:
      u8(kXml);
      u32(uint32_t(std::min<size_t>(v.text.size(), 0xFFFFFFFFu)));
      out_.insert(out_.end(), v.text.begin(), v.text.end());
      return;
    case AmfValue::Type::Node:
      break;
  }
  if (v.node >= graph_.nodes.size()) {
    u8(kUndefined);
    return;
  }
  if (written_.size() < graph_.nodes.size()) written_.resize(graph_.nodes.size(), -1);
  if (written_[v.node] >= 0) {
    u8(kReference);
    u16(uint16_t(written_[v.node]));
    return;
  }
  // Past 65535 objects no reference can name it: it is written out again.
  if (nextReference_ < 0xFFFF) written_[v.node] = nextReference_++;
  const AmfNode& node = graph_.nodes[v.node];
  switch (node.kind) {
    case AmfNode::Kind::Object:
      if (node.className.empty()) {
        u8(kObject);
      } else {
        u8(kTypedObject);
        name(node.className);
      }
      members(node);
      return;
    case AmfNode::Kind::EcmaArray:
      u8(kEcmaArray);
      u32(node.length);
      members(node);
      return;
    case AmfNode::Kind::StrictArray:
      u8(kStrictArray);
      u32(uint32_t(node.elements.size()));
      for (const AmfValue& e : node.elements) value(e);
      return;
  }
}

uint16_t Amf0Reader::u16() {
  const uint16_t v = base::be16(data_ + at_);
  at_ += 2;
  return v;
}
uint32_t Amf0Reader::u32() {
  const uint32_t hi = u16();
  return (hi << 16) | u16();
}
double Amf0Reader::number() {
  const uint64_t hi = u32();
  const uint64_t bits = (hi << 32) | u32();
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}
std::optional<std::string> Amf0Reader::bytes(size_t n) {
  if (!need(n)) return std::nullopt;
  std::string s(reinterpret_cast<const char*>(data_ + at_), n);
  at_ += n;
  return s;
}

std::optional<std::string> Amf0Reader::name() {
  if (!need(2)) return std::nullopt;
  return bytes(u16());
}

bool Amf0Reader::skipByte(uint8_t expected) {
  if (!need(1) || data_[at_] != expected) return false;
  ++at_;
  return true;
}

bool Amf0Reader::members(AmfNode& node, int depth) {
  for (;;) {
    auto key = name();
    if (!key) return false;
    if (key->empty() && skipByte(kObjectEnd)) return true;
    if (++memberCount_ > limits_.maxMembers) return false;
    auto v = value(depth + 1);
    if (!v) return false;
    node.members.emplace_back(std::move(*key), std::move(*v));
  }
}

std::optional<AmfValue> Amf0Reader::value(int depth) {
  if (depth > limits_.maxDepth || !need(1)) return std::nullopt;
  const uint8_t marker = data_[at_++];
  switch (marker) {
    case kNumber:
      if (!need(8)) return std::nullopt;
      return AmfValue::of(number());
    case kBoolean:
      if (!need(1)) return std::nullopt;
      return AmfValue::of(data_[at_++] != 0);
    case kString: {
      auto s = name();
      if (!s) return std::nullopt;
      return AmfValue::of(std::move(*s));
    }
    case kLongString:
    case kXml: {
      if (!need(4)) return std::nullopt;
      auto s = bytes(u32());
      if (!s) return std::nullopt;
      return marker == kXml ? AmfValue::xml(std::move(*s)) : AmfValue::of(std::move(*s));
    }
    case kNull:
      return AmfValue::null();
    case kUndefined:
      return AmfValue::undefined();
    case kDate: {
      if (!need(10)) return std::nullopt;
      AmfValue d = AmfValue::date(number());
      d.timezone = int16_t(u16());
      return d;
    }
    case kReference: {
      if (!need(2)) return std::nullopt;
      const uint16_t ref = u16();
      if (ref >= references_.size()) return std::nullopt;
      return AmfValue::at(references_[ref]);
    }
    case kObject:
    case kTypedObject:
    case kEcmaArray:
    case kStrictArray:
      break;
    default:
      return std::nullopt;  // AMF3 switches, movie clips, record sets: not data we keep
  }
  if (graph_.nodes.size() >= limits_.maxNodes) return std::nullopt;
  AmfNode node;
  if (marker == kTypedObject) {
    auto cls = name();
    if (!cls) return std::nullopt;
    node.className = std::move(*cls);
  }
  if (marker == kEcmaArray || marker == kStrictArray) {
    if (!need(4)) return std::nullopt;
    node.length = u32();
  }
  node.kind = marker == kEcmaArray     ? AmfNode::Kind::EcmaArray
              : marker == kStrictArray ? AmfNode::Kind::StrictArray
                                       : AmfNode::Kind::Object;
  // The node is numbered before its members, which may refer back to it.
  const uint32_t index = graph_.add(AmfNode{node.kind, node.className, node.length, {}, {}});
  references_.push_back(index);
  if (marker == kStrictArray) {
    // Each element takes at least a byte: a count past what is left is a lie.
    if (node.length > size_ - at_ || memberCount_ + node.length > limits_.maxMembers)
      return std::nullopt;
    memberCount_ += node.length;
    std::vector<AmfValue> elements;
    elements.reserve(node.length);
    for (uint32_t i = 0; i < node.length; ++i) {
      auto e = value(depth + 1);
      if (!e) return std::nullopt;
      elements.push_back(std::move(*e));
    }
    graph_.nodes[index].elements = std::move(elements);
  } else {
    if (!members(node, depth)) return std::nullopt;
    graph_.nodes[index].members = std::move(node.members);
  }
  return AmfValue::at(index);
}

}  // namespace orv::movie::saves
