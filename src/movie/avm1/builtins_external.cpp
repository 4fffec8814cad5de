// flash.external.ExternalInterface: calls between a movie and the program it is shown in.
// This player runs movies on their own, with no container to talk to: `available` is false,
// addCallback refuses and call gives null. The class's helpers that write values as the
// XML of its calls (_escapeXML, _unescapeXML, _toXML, _objectToXML, _arrayToXML,
// _argumentsToXML) and read them back from XML nodes (_toAS, _objectToAS, _arrayToAS,
// _argumentsToAS) work as they do for scripts in a browser.
#include <string>
#include <vector>

#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"
#include "movie/base/xml.h"

namespace orv::movie::avm1 {

namespace {

constexpr int kMaxDepth = 64;  // values nested deeper are written as null

// The text of `v` with the characters markup gives meaning to as entities; null for no
// argument and for empty text.
Value escapeXml(Vm& vm, const std::vector<Value>& args) {
  if (args.empty()) return Value::null();
  const std::string s = vm.toString(args[0]);
  if (s.empty()) return Value::null();
  return Value(base::xmlEscaped(s));
}

std::string toXml(Vm& vm, const Value& v, int depth);

// A member of `v` as the script would read it: nothing for null and undefined.
Value memberOf(Vm& vm, const Value& v, const std::string& name) {
  return v.isNullish() ? Value() : vm.getMember(v, name);
}

// Indexes 0 .. length-1 of anything with a length (text too, whose characters are no members).
std::string arrayToXml(Vm& vm, const Value& v, int depth) {
  std::string out = "<array>";
  const double length = vm.toNumber(memberOf(vm, v, "length"));
  for (double i = 0; i < length && i < double(1u << 20) && out.size() < (8u << 20); ++i) {
    const std::string index = vm.toString(Value(i));
    out.append("<property id=\"").append(index).append("\">");
    out += toXml(vm, memberOf(vm, v, index), depth + 1);
    out += "</property>";
  }
  return out + "</array>";
}

// A function's arguments after the first (the name of the function called).
std::string argumentsToXml(Vm& vm, const Value& v, int depth) {
  std::string out = "<arguments>";
  const double length = vm.toNumber(memberOf(vm, v, "length"));
  for (double i = 1; i < length && i < double(1u << 20) && out.size() < (8u << 20); ++i)
    out += toXml(vm, memberOf(vm, v, vm.toString(Value(i))), depth + 1);
  return out + "</arguments>";
}

// The enumerable members in for..in order; their names are written as they are.
std::string objectToXml(Vm& vm, const Value& v, int depth) {
  std::string out = "<object>";
  if (v.isObject())
    for (const std::string& name : vm.enumerableNames(v.asObject())) {
      if (out.size() >= (8u << 20)) break;
      out.append("<property id=\"").append(name).append("\">");
      out += toXml(vm, vm.getMember(v, name), depth + 1);
      out += "</property>";
    }
  return out + "</object>";
}

bool isArray(Vm& vm, const Value& v) {
  if (!v.isObject()) return false;
  if (v.asObject()->kind == ObjectKind::Array) return true;
  Value array = vm.getMember(vm.global, "Array");
  return array.isObject() && vm.instanceOf(v.asObject(), array.asObject());
}

std::string toXml(Vm& vm, const Value& v, int depth) {
  if (v.isUndefined()) return "<undefined/>";
  if (v.isNull() || depth > kMaxDepth) return "<null/>";
  if (v.isBool()) return v.asBool() ? "<true/>" : "<false/>";
  if (v.isNumber()) return "<number>" + vm.toString(v) + "</number>";
  if (v.isString()) {
    Value text = escapeXml(vm, {v});
    return "<string>" + vm.toString(text) + "</string>";
  }
  const std::string type = vm.typeOf(v);
  if (type != "object") return "<null/>";  // functions, clips
  return isArray(vm, v) ? arrayToXml(vm, v, depth) : objectToXml(vm, v, depth);
}

std::vector<Value> argsOf(const CallInfo& c) { return {c.args.begin(), c.args.end()}; }

Value escapeXmlCall(Vm& vm, CallInfo& c) { return escapeXml(vm, argsOf(c)); }

// Each of _toXML, _objectToXML, _arrayToXML and _argumentsToXML (variants 0 to 3).
Value writeCall(Vm& vm, CallInfo& c) {
  const Value v = c.arg(0);
  switch (c.variant) {
    case 1:
      return Value(objectToXml(vm, v, 0));
    case 2:
      return Value(arrayToXml(vm, v, 0));
    case 3:
      return Value(argumentsToXml(vm, v, 0));
    default:
      return Value(toXml(vm, v, 0));
  }
}

// The entities _escapeXML writes, back to their characters.
std::string unescapeXml(const std::string& s) {
  static constexpr struct {
    const char* entity;
    char ch;
  } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (size_t i = 0; i < s.size();) {
    bool replaced = false;
    if (s[i] == '&')
      for (const auto& e : kEntities)
        if (s.compare(i, std::char_traits<char>::length(e.entity), e.entity) == 0) {
          out += e.ch;
          i += std::char_traits<char>::length(e.entity);
          replaced = true;
          break;
        }
    if (!replaced) out += s[i++];
  }
  return out;
}

// Null for no argument and for empty text.
Value unescapeXmlCall(Vm& vm, CallInfo& c) {
  if (c.args.empty()) return Value::null();
  const std::string s = vm.toString(c.arg(0));
  return s.empty() ? Value::null() : Value(unescapeXml(s));
}

// Reading values back from nodes, through the members scripts see (nodeName, firstChild,
// childNodes, attributes), so any object shaped like a node will do.
Value toAs(Vm& vm, const Value& node, int depth);

// Each child of `node` in turn.
template <typename Each>
void eachChild(Vm& vm, const Value& node, Each each) {
  Value kids = memberOf(vm, node, "childNodes");
  const double length = vm.toNumber(memberOf(vm, kids, "length"));
  for (double i = 0; i < length && i < double(1u << 20); ++i)
    each(memberOf(vm, kids, vm.toString(Value(i))));
}

// <property id="..."> children into members of `target`.
void readProperties(Vm& vm, const Value& node, Object* target, int depth) {
  if (depth > kMaxDepth) return;
  eachChild(vm, node, [&](const Value& child) {
    Value id = memberOf(vm, memberOf(vm, child, "attributes"), "id");
    vm.setMember(target, vm.toString(id), toAs(vm, memberOf(vm, child, "firstChild"), depth + 1));
  });
}

Object* arrayToAs(Vm& vm, const Value& node, int depth) {
  Object* out = vm.newArray();
  readProperties(vm, node, out, depth);
  return out;
}

Object* objectToAs(Vm& vm, const Value& node, int depth) {
  Object* out = vm.newObject();
  readProperties(vm, node, out, depth);
  return out;
}

// The values an <arguments> node holds, one per child.
Object* argumentsToAs(Vm& vm, const Value& node, int depth) {
  std::vector<Value> values;
  if (depth <= kMaxDepth)
    eachChild(vm, node, [&](const Value& child) { values.push_back(toAs(vm, child, depth + 1)); });
  return vm.newArray(std::move(values));
}

// The value a node stands for by its name (compared as == compares); unknown names give
// undefined. Text and numbers come from the node's first child as text.
Value toAs(Vm& vm, const Value& node, int depth) {
  if (!node.isObject() || depth > kMaxDepth) return Value();
  const Value name = vm.getMember(node, "nodeName");
  auto is = [&](const char* n) { return vm.looseEquals(name, Value(n)); };
  if (is("null")) return Value::null();
  if (is("true")) return Value(true);
  if (is("false")) return Value(false);
  if (is("string") || is("number")) {
    const std::string text = vm.toString(vm.getMember(node, "firstChild"));
    return is("number") ? Value(vm.toNumber(Value(text))) : Value(unescapeXml(text));
  }
  if (is("array")) return Value(arrayToAs(vm, node, depth));
  if (is("object")) return Value(objectToAs(vm, node, depth));
  return Value();
}

// Each of _toAS, _objectToAS, _arrayToAS and _argumentsToAS (variants 0 to 3).
Value readCall(Vm& vm, CallInfo& c) {
  const Value v = c.arg(0);
  switch (c.variant) {
    case 1:
      return Value(objectToAs(vm, v, 0));
    case 2:
      return Value(arrayToAs(vm, v, 0));
    case 3:
      return Value(argumentsToAs(vm, v, 0));
    default:
      return toAs(vm, v, 0);
  }
}

// No container: nothing can be called and nothing registered.
Value unavailable(Vm&, CallInfo&) { return Value(false); }
Value callContainer(Vm&, CallInfo&) { return Value::null(); }

constexpr NativeMember kExternalStatics[] = {
    getter("available", unavailable),
    method("addCallback", unavailable),
    method("call", callContainer),
    method("_escapeXML", escapeXmlCall),
    method("_unescapeXML", unescapeXmlCall),
    method("_toXML", writeCall, kDontEnum, 0),
    method("_objectToXML", writeCall, kDontEnum, 1),
    method("_arrayToXML", writeCall, kDontEnum, 2),
    method("_argumentsToXML", writeCall, kDontEnum, 3),
    method("_toAS", readCall, kDontEnum, 0),
    method("_objectToAS", readCall, kDontEnum, 1),
    method("_arrayToAS", readCall, kDontEnum, 2),
    method("_argumentsToAS", readCall, kDontEnum, 3),
};
constexpr NativeClass kExternalClass{
    .name = "ExternalInterface", .constructor = nothing, .statics = kExternalStatics};

}  // namespace

void installExternalInterface(Vm& vm) {
  Object* package = flashPackage(vm);
  if (!package) return;
  Object* external = vm.newObject();
  package->put("external", external, 0, vm.caseInsensitive());
  installClass(vm, external, kExternalClass);
}

}  // namespace orv::movie::avm1
