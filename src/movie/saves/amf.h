#pragma once
// Data as a Flash player keeps it in shared objects: a graph of plain values, written and
// read as AMF0 (the Action Message Format of SWF 5 to 8 movies). Objects and arrays are
// nodes of the graph, so an object reached twice (or a cycle) stays one object.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orv::movie::saves {

struct AmfValue {
  enum class Type : uint8_t { Undefined, Null, Boolean, Number, String, Date, Xml, Node };
  Type type = Type::Undefined;
  bool boolean = false;
  double number = 0;     // numbers; dates: milliseconds since 1970 (UTC)
  int16_t timezone = 0;  // dates: minutes, as written (players write 0)
  std::string text;      // strings and XML documents, UTF-8
  uint32_t node = 0;     // Node: index into AmfGraph::nodes

  static AmfValue undefined() { return {}; }
  static AmfValue null() { return make(Type::Null); }
  static AmfValue of(bool b) {
    AmfValue v = make(Type::Boolean);
    v.boolean = b;
    return v;
  }
  static AmfValue of(double n) { return numeric(Type::Number, n); }
  static AmfValue of(std::string s) { return textual(Type::String, std::move(s)); }
  static AmfValue date(double ms) { return numeric(Type::Date, ms); }
  static AmfValue xml(std::string s) { return textual(Type::Xml, std::move(s)); }
  static AmfValue at(uint32_t index) {
    AmfValue v = make(Type::Node);
    v.node = index;
    return v;
  }

 private:
  static AmfValue make(Type t) {
    AmfValue v;
    v.type = t;
    return v;
  }
  static AmfValue numeric(Type t, double n) {
    AmfValue v = make(t);
    v.number = n;
    return v;
  }
  static AmfValue textual(Type t, std::string s) {
    AmfValue v = make(t);
    v.text = std::move(s);
    return v;
  }
};

struct AmfNode {
  // An anonymous or typed object (a class name registered by the movie), an array written
  // with its members by name (ECMA array, its length first) or a dense array of elements.
  enum class Kind : uint8_t { Object, EcmaArray, StrictArray };
  Kind kind = Kind::Object;
  std::string className;  // typed objects; empty for anonymous ones
  uint32_t length = 0;    // ECMA arrays: the length written before the members
  std::vector<std::pair<std::string, AmfValue>> members;
  std::vector<AmfValue> elements;  // strict arrays
};

struct AmfGraph {
  std::vector<AmfNode> nodes;
  uint32_t add(AmfNode node) {
    nodes.push_back(std::move(node));
    return uint32_t(nodes.size() - 1);
  }
};

// Bounds that keep hostile data from taking the player down.
struct AmfLimits {
  size_t maxNodes = 1 << 16;
  size_t maxMembers = 1 << 20;  // members and elements in all
  int maxDepth = 64;
};

// Writes values as AMF0 into `out`. One writer is one stream: an object met again is
// written as a reference to where it was first written.
class Amf0Writer {
 public:
  Amf0Writer(const AmfGraph& graph, std::vector<uint8_t>& out) : graph_(graph), out_(out) {}
  void value(const AmfValue& v);
  // A member name (u16 length, then the UTF-8 bytes; longer names are cut).
  void name(const std::string& s);

 private:
  void u8(uint8_t b) { out_.push_back(b); }
  void u16(uint16_t v);
  void u32(uint32_t v);
  void number(double d);
  void string(const std::string& s);  // short or long string, marker included
  void members(const AmfNode& node);

  const AmfGraph& graph_;
  std::vector<uint8_t>& out_;
  std::vector<int32_t> written_;  // node -> its reference number, or -1
  uint16_t nextReference_ = 0;
};

// Reads AMF0 values from a byte range into `graph`; nullopt for a value that is cut off,
// malformed, or past the limits.
class Amf0Reader {
 public:
  Amf0Reader(const uint8_t* data, size_t size, AmfGraph& graph, AmfLimits limits = {})
      : data_(data), size_(size), graph_(graph), limits_(limits) {}
  std::optional<AmfValue> value() { return value(0); }
  std::optional<std::string> name();
  size_t offset() const { return at_; }
  bool atEnd() const { return at_ >= size_; }
  bool skipByte(uint8_t expected);

 private:
  std::optional<AmfValue> value(int depth);
  bool members(AmfNode& node, int depth);
  bool need(size_t n) const { return size_ - at_ >= n; }
  uint16_t u16();
  uint32_t u32();
  double number();
  std::optional<std::string> bytes(size_t n);

  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  AmfGraph& graph_;
  AmfLimits limits_;
  std::vector<uint32_t> references_;  // reference number -> node
  size_t memberCount_ = 0;
};

}  // namespace orv::movie::saves
