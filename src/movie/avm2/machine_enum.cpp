// Enumeration of an object's properties (for-in, for-each), instanceof, and XML escapes.
#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {

namespace {

size_t elementCount(Machine& m, Object* o) {
  if (asXml(m, Value(o))) return 1;  // an XML enumerates as a list of itself
  if (XMLListObject* l = asXmlList(m, Value(o))) return l->items.size();
  auto* a = dynamic_cast<ArrayObject*>(o);
  return a ? a->elements.size() : 0;
}

}  // namespace

uint32_t Machine::nextIndex(Object* o, uint32_t index) {
  if (o->hooked() && static_cast<HookedObject*>(o)->enumerates())
    return static_cast<HookedObject*>(o)->nextIndexHook(*this, index);
  size_t elements = elementCount(*this, o);
  size_t total = elements + o->ownCount();
  auto* a = dynamic_cast<ArrayObject*>(o);
  for (size_t i = index + 1; i <= total && i < UINT32_MAX; ++i) {
    if (i <= elements) {
      if (a && a->elements[i - 1].isHole()) continue;
      return static_cast<uint32_t>(i);
    }
    if (o->isEnumerable(o->ownNameAt(i - elements - 1))) return static_cast<uint32_t>(i);
  }
  return 0;
}

Value Machine::nameAt(Object* o, uint32_t index) {
  if (o->hooked() && static_cast<HookedObject*>(o)->enumerates())
    return static_cast<HookedObject*>(o)->nameAtHook(*this, index);
  size_t elements = elementCount(*this, o);
  if (index == 0) return Value();
  if (index <= elements) return Value(indexName(index - 1));
  if (index - elements - 1 < o->ownCount()) {
    String* name = o->ownNameAt(index - elements - 1);  // null once deleted
    return name ? Value(name) : Value();
  }
  return Value();
}

Value Machine::valueAt(Object* o, uint32_t index) {
  if (o->hooked() && static_cast<HookedObject*>(o)->enumerates())
    return static_cast<HookedObject*>(o)->valueAtHook(*this, index);
  size_t elements = elementCount(*this, o);
  if (index == 0) return Value();
  if (index <= elements) {
    if (asXml(*this, Value(o))) return Value(o);
    if (XMLListObject* l = asXmlList(*this, Value(o))) return Value(static_cast<Object*>(l->items[index - 1]));
    const Value& v = static_cast<ArrayObject*>(o)->elements[index - 1];
    return v.isHole() ? Value() : v;
  }
  if (index - elements - 1 < o->ownCount()) {
    const Value* v = o->findOwn(o->ownNameAt(index - elements - 1));
    return v ? *v : Value();
  }
  return Value();
}

String* Machine::indexName(uint32_t index) {
  constexpr uint32_t kCached = 4096;
  if (index >= kCached) return intern(std::to_string(index));
  if (indexNames_.size() <= index) indexNames_.resize(index + 1, nullptr);
  if (!indexNames_[index]) indexNames_[index] = intern(std::to_string(index));
  return indexNames_[index];
}

bool Machine::instanceOf(const Value& v, const Value& type) {
  Object* t = type.isObject() ? type.asObject() : nullptr;
  Object* proto = nullptr;
  if (auto* c = dynamic_cast<ClassObject*>(t)) {
    proto = c->prototypeObject;
  } else if (dynamic_cast<FunctionObject*>(t)) {
    Value p = get(type, "prototype");
    proto = p.isObject() ? p.asObject() : nullptr;
  } else {
    fail(ErrorClass::TypeError, 1040);
  }
  if (v.isNullish() || !proto) return false;
  Object* start = v.isObject() ? v.asObject()->prototype() : classOf(v)->prototypeObject;
  size_t steps = 0;
  for (Object* p = start; p && steps < 10000; p = p->prototype(), ++steps)
    if (p == proto) return true;
  return false;
}

std::string Machine::escapeXml(std::string_view text, bool attribute) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += attribute ? ">" : "&gt;"; break;
      case '"': out += attribute ? "&quot;" : "\""; break;
      case '\n': out += attribute ? "&#xA;" : "\n"; break;
      case '\r': out += attribute ? "&#xD;" : "\r"; break;
      case '\t': out += attribute ? "&#x9;" : "\t"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace orv::movie::avm2
