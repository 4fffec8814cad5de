#include "movie/avm1/vm.h"
#include "movie/avm1/host_builtins.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "movie/avm1/frame.h"

namespace orv::movie::avm1 {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

const char* const kPropertyNames[] = {
    "_x",           "_y",           "_xscale",       "_yscale",       "_currentframe",
    "_totalframes", "_alpha",       "_visible",      "_width",        "_height",
    "_rotation",    "_target",      "_framesloaded", "_name",         "_droptarget",
    "_url",         "_highquality", "_focusrect",    "_soundbuftime", "_quality",
    "_xmouse",      "_ymouse"};

int clipPropertyIndex(std::string_view name) {
  if (name.empty() || name[0] != '_') return -1;
  for (int i = 0; i < static_cast<int>(ClipProperty::Count); ++i)
    if (equalsNoCase(name, kPropertyNames[i])) return i;
  return -1;
}

// Whitespace the string-to-number conversion skips.
bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

std::string_view clipPropertyName(ClipProperty p) {
  const int i = static_cast<int>(p);
  return i >= 0 && i < static_cast<int>(ClipProperty::Count) ? kPropertyNames[i] : "";
}

double stringToNumber(std::string_view s, int version) {
  size_t i = 0;
  while (i < s.size() && isSpace(s[i])) ++i;
  if (i == s.size()) return version <= 4 ? 0.0 : std::nan("");
  const bool leadingSpace = i > 0;
  std::string_view body = s.substr(i);
  bool neg = false;
  const bool signed_ = body[0] == '-' || body[0] == '+';
  if (signed_) {
    neg = body[0] == '-';
    body.remove_prefix(1);
  }
  const double bad = version <= 4 ? 0.0 : std::nan("");
  // From SWF 6, text at the very start of the string (no spaces before it) may be
  // hexadecimal "0x[sign]digits" or octal "[sign]0digits"; both wrap to 32 bits.
  if (version >= 6 && !leadingSpace) {
    if (!signed_ && body.size() >= 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
      size_t k = 2;
      bool hexNeg = false;
      if (k < body.size() && (body[k] == '-' || body[k] == '+')) hexNeg = body[k++] == '-';
      if (k == body.size()) return bad;
      double v = 0;
      for (; k < body.size(); ++k) {
        char c = body[k];
        int d = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (d < 0) return bad;
        v = v * 16 + d;
      }
      return toInt32(hexNeg ? -v : v);
    }
    if (body.size() >= 2 && body[0] == '0' &&
        body.find_first_not_of("01234567") == std::string_view::npos) {
      double v = 0;
      for (char c : body) v = v * 8 + (c - '0');
      return toInt32(neg ? -v : v);
    }
  }
  if (version == 5 && body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X'))
    return bad;
  // Decimal: digits [. digits] [e [sign] digits], nothing after it; an exponent mark
  // without digits is ignored.
  size_t k = 0;
  bool digits = false;
  while (k < body.size() && std::isdigit(static_cast<unsigned char>(body[k]))) {
    ++k;
    digits = true;
  }
  if (k < body.size() && body[k] == '.') {
    ++k;
    while (k < body.size() && std::isdigit(static_cast<unsigned char>(body[k]))) {
      ++k;
      digits = true;
    }
  }
  if (!digits) return bad;
  size_t mantissaEnd = k;
  bool exponentDigits = false;
  if (k < body.size() && (body[k] == 'e' || body[k] == 'E')) {
    size_t e = k + 1;
    if (e < body.size() && (body[e] == '+' || body[e] == '-')) ++e;
    size_t ds = e;
    while (e < body.size() && std::isdigit(static_cast<unsigned char>(body[e]))) ++e;
    exponentDigits = e > ds;
    if (exponentDigits || version >= 5) k = e;
  }
  if (k != body.size()) {
    if (version <= 4) {
      std::string head(body.substr(0, exponentDigits ? k : mantissaEnd));
      double v = std::strtod(head.c_str(), nullptr);
      return neg ? -v : v;
    }
    return std::nan("");
  }
  std::string str(body.substr(0, exponentDigits ? k : mantissaEnd));
  double v = std::strtod(str.c_str(), nullptr);
  return neg ? -v : v;
}

Vm::Vm(ScriptHost& host, int swfVersion, ScriptLimits limits)
    : host_(host), version_(swfVersion), limits_(limits) {
  installBuiltins();
}

Vm::~Vm() {
  for (Object* o : heap_) {
    if (o->clip && o->clip->scriptObject == o) o->clip->scriptObject = nullptr;
    delete o;
  }
}

void Vm::installBuiltins() {
  bool ci = caseInsensitive();
  objectProto = allocate<Object>();
  auto* fproto = allocate<FunctionObject>();
  fproto->native = [](Vm&, CallInfo&) { return Value(); };
  functionProto = fproto;
  functionProto->put("__proto__", objectProto, kDontEnum | kDontDelete, ci);
  global = allocate<Object>();  // no prototype: _global.toString is undefined
  pinned_ = {objectProto, functionProto, global};
  installObjectBuiltins(*this);
  installFunctionBuiltins(*this);
  installArrayBuiltins(*this);
  installStringBuiltins(*this);
  installNumberBuiltins(*this);
  installDateBuiltins(*this);
  installGlobalFunctions(*this);
  installClipBuiltins(*this);
  installPlayerBuiltins(*this);
  installColorBuiltins(*this);
  installSoundBuiltins(*this);
  installDrawingBuiltins(*this);
  installGeomBuiltins(*this);
  installBitmapDataBuiltins(*this);
  installClipMaskBuiltins(*this);
  installSystemBuiltins(*this);
  installLoadingBuiltins(*this);
  installTextFormatBuiltins(*this);
  installTextFieldBuiltins(*this);
  installNativeTable(*this);  // last: it numbers the functions installed above
  for (Object* o : {arrayProto, stringProto, numberProto, booleanProto, dateProto, errorProto,
                    clipProto, buttonProto, textFieldProto})
    if (o) pinned_.push_back(o);
}

// ---------------------------------------------------------------- object creation

Object* Vm::newObject(Object* proto) {
  Object* o = allocate<Object>();
  Object* p = proto ? proto : objectProto;
  if (p) o->put("__proto__", p, kDontEnum | kDontDelete, caseInsensitive());
  return o;
}

Object* Vm::newArray(std::vector<Value> elements) {
  Object* a = allocate<Object>(ObjectKind::Array);
  a->put("__proto__", arrayProto ? arrayProto : objectProto, kDontEnum | kDontDelete,
         caseInsensitive());
  setArrayElements(a, elements);
  return a;
}

FunctionObject* Vm::newNative(NativeFn fn, Object* prototypeObject) {
  auto* f = allocate<FunctionObject>();
  f->native = std::move(fn);
  bool ci = caseInsensitive();
  f->put("__proto__", functionProto, kDontEnum | kDontDelete, ci);
  if (prototypeObject) {
    f->put("prototype", prototypeObject, kDontEnum | kDontDelete, ci);
    prototypeObject->put("constructor", f, kDontEnum, ci);
  }
  return f;
}

FunctionObject* Vm::defineMethod(Object* obj, std::string_view name, NativeFn fn, uint8_t flags) {
  FunctionObject* f = newNative(std::move(fn));
  obj->put(name, f, flags, caseInsensitive());
  return f;
}

Object* Vm::newError(const std::string& message) {
  Object* e = newObject(errorProto);
  e->kind = ObjectKind::Error;
  e->put("message", message, 0, caseInsensitive());
  return e;
}

std::vector<Value> Vm::arrayElements(Object* arr) {
  std::vector<Value> out;
  if (!arr) return out;
  uint32_t n = arr->kind == ObjectKind::Array ? arr->arrayLength
                                              : toUint32(toNumber(getMember(arr, "length")));
  // A length set far beyond the elements (a.length = 4e9) is not a list to copy.
  n = std::min<uint32_t>(n, 1u << 22);
  out.reserve(std::min<uint32_t>(n, 1u << 16));
  for (uint32_t i = 0; i < n; ++i) {
    out.push_back(getMember(arr, std::to_string(i)));
    if ((i & 4095) == 4095 && entryDepth_ > 0 && std::chrono::steady_clock::now() > runDeadline_)
      throw ScriptAbort{"script ran out of time"};
  }
  return out;
}

void Vm::setArrayElements(Object* arr, const std::vector<Value>& elems) {
  bool ci = caseInsensitive();
  // Drop old index properties then write the new ones.
  if (arr->kind == ObjectKind::Array) {
    for (uint32_t i = static_cast<uint32_t>(elems.size()); i < arr->arrayLength; ++i)
      arr->removeOwn(std::to_string(i), ci);
    for (size_t i = 0; i < elems.size(); ++i) {
      Property& p = arr->defineOwn(std::to_string(i), ci);
      p.value = elems[i];
    }
    arr->arrayLength = static_cast<uint32_t>(elems.size());
    return;
  }
  for (size_t i = 0; i < elems.size(); ++i) setMember(arr, std::to_string(i), elems[i]);
  setMember(arr, "length", static_cast<double>(elems.size()));
}

// ---------------------------------------------------------------- conversions

Value Vm::toPrimitive(const Value& v, Hint hint) {
  if (!v.isObject()) return v;
  Object* o = v.asObject();
  if (o->kind == ObjectKind::Clip && o->clip && hint == Hint::String) {
    // A clip converts to its target path unless a script gave it its own toString.
    Value ts = getMember(o, "toString");
    if (!ts.isObject() ||
        ts.asObject() == objectProto->findOwn("toString", caseInsensitive())->value.asObject())
      return Value(targetPath(o->clip));
  }
  // A clip is no number, whatever valueOf it has; unhinted (+, ==) it stays a clip,
  // which joins text as its path and adds as NaN.
  if (o->kind == ObjectKind::Clip && o->clip && hint == Hint::Number) return Value(std::nan(""));
  if (o->kind == ObjectKind::Clip && o->clip && hint == Hint::None) return v;
  // In version 5 movies a function has no value unless a script gave it a valueOf:
  // it counts as undefined in arithmetic and comparisons (as text it still names itself).
  if (version_ < 6 && o->kind == ObjectKind::Function && hint != Hint::String) {
    Value vo = getMember(o, "valueOf");
    Property* builtIn = objectProto->findOwn("valueOf", caseInsensitive());
    bool own =
        vo.isObject() && vo.asObject()->kind == ObjectKind::Function &&
        !(builtIn && builtIn->value.isObject() && builtIn->value.asObject() == vo.asObject());
    if (!own) return Value();
  }
  if (hint == Hint::None) hint = o->kind == ObjectKind::Date ? Hint::String : Hint::Number;
  // The player asks one method: valueOf for numbers, toString for strings. An object
  // it gets back stays an object (a number conversion makes it NaN; a string one
  // "[type Object]"); the other method is asked only when the first is missing.
  const char* order[2] = {"valueOf", "toString"};
  if (hint == Hint::String) std::swap(order[0], order[1]);
  for (const char* name : order) {
    Value fn = getMember(o, name);
    if (fn.isObject() && fn.asObject()->kind == ObjectKind::Function) {
      Value r = call(fn, v, {});
      // Text is asked of toString; anything else it gives counts as no answer.
      if (hint == Hint::String && std::string_view(name) == "toString" && !r.isString())
        return Value("[type Object]");
      if (!r.isObject()) return r;
      if (hint == Hint::Number) return r;
      break;
    }
  }
  if (o->kind == ObjectKind::Function) return Value("[type Function]");
  return Value("[type Object]");
}

void Vm::gotoFrameValue(ScriptClip* clip, const Value& frame, bool play, int bias) {
  if (!clip) return;
  auto toFrame = [&](double n) {
    if (n >= 1) clip->gotoFrame(static_cast<int>(std::min(n, 1e9)) - 1 + bias, play);
  };
  auto whole = [](double n) { return std::isfinite(n) && n == std::trunc(n); };
  if (frame.isNumber() && whole(frame.asNumber())) return toFrame(frame.asNumber());
  // A String object goes by the text it wraps, other objects by their toString.
  const Object* o = frame.isObject() ? frame.asObject() : nullptr;
  const std::string text = frame.isNumber() ? numberToString(frame.asNumber())
                           : o && o->kind == ObjectKind::String && o->primitive.isString()
                               ? o->primitive.asString()
                               : toString(frame);
  const double n = stringToNumber(text, 5);
  if (whole(n))
    toFrame(n);
  else
    clip->gotoLabel(text, play);
}

double Vm::toNumber(const Value& v) {
  switch (v.type()) {
    case ValueType::Undefined:
    case ValueType::Null:
      return version_ >= 7 ? std::nan("") : 0.0;
    case ValueType::Boolean:
      return v.asBool() ? 1 : 0;
    case ValueType::Number:
      return v.asNumber();
    case ValueType::String:
      return stringToNumber(v.asString(), version_);
    case ValueType::Object: {
      Value p = toPrimitive(v, Hint::Number);
      if (p.isObject()) return std::nan("");
      if (p.isString() && p.asString().rfind("[type", 0) == 0) return std::nan("");
      return toNumber(p);
    }
  }
  return 0;
}

std::string Vm::toString(const Value& v) {
  switch (v.type()) {
    case ValueType::Undefined:
      return version_ >= 7 ? "undefined" : "";
    case ValueType::Null:
      return "null";
    case ValueType::Boolean:
      return v.asBool() ? "true" : "false";
    case ValueType::Number:
      return numberToString(v.asNumber());
    case ValueType::String:
      return v.asString();
    case ValueType::Object: {
      Value p = toPrimitive(v, Hint::String);
      if (p.isObject()) return "[type Object]";
      return toString(p);
    }
  }
  return "";
}

bool Vm::toBool(const Value& v) {
  switch (v.type()) {
    case ValueType::Undefined:
    case ValueType::Null:
      return false;
    case ValueType::Boolean:
      return v.asBool();
    case ValueType::Number:
      return v.asNumber() != 0 && !std::isnan(v.asNumber());
    case ValueType::String: {
      if (version_ >= 7) return !v.asString().empty();
      double n = stringToNumber(v.asString(), version_);
      return n != 0 && !std::isnan(n);
    }
    case ValueType::Object:
      return true;
  }
  return false;
}

Object* Vm::toObject(const Value& v) {
  switch (v.type()) {
    case ValueType::Undefined:
    case ValueType::Null:
      return nullptr;
    case ValueType::Object:
      return v.asObject();
    case ValueType::Boolean: {
      Object* o = newObject(booleanProto);
      o->kind = ObjectKind::Boolean;
      o->primitive = v;
      return o;
    }
    case ValueType::Number: {
      Object* o = newObject(numberProto);
      o->kind = ObjectKind::Number;
      o->primitive = v;
      return o;
    }
    case ValueType::String: {
      Object* o = newObject(stringProto);
      o->kind = ObjectKind::String;
      o->primitive = v;
      return o;
    }
  }
  return nullptr;
}

std::string Vm::typeOf(const Value& v) {
  switch (v.type()) {
    case ValueType::Undefined:
      return "undefined";
    case ValueType::Null:
      return "null";
    case ValueType::Boolean:
      return "boolean";
    case ValueType::Number:
      return "number";
    case ValueType::String:
      return "string";
    case ValueType::Object: {
      Object* o = v.asObject();
      // Function.prototype is a function to the machine but not to scripts.
      if (o->kind == ObjectKind::Function) return o == functionProto ? "object" : "function";
      if (o->kind == ObjectKind::Clip && o->clip)
        return o->clip->isButton() || o->clip->textField() ? "object" : "movieclip";
      // A reference to a clip that left the stage stays one.
      if (o->kind == ObjectKind::Clip && !o->formerPath.empty()) return "movieclip";
      return "object";
    }
  }
  return "undefined";
}

bool Vm::strictEquals(const Value& a, const Value& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case ValueType::Undefined:
    case ValueType::Null:
      return true;
    case ValueType::Boolean:
      return a.asBool() == b.asBool();
    case ValueType::Number:
      return a.asNumber() == b.asNumber();
    case ValueType::String:
      return a.asString() == b.asString();
    case ValueType::Object:
      return a.asObject() == b.asObject();
  }
  return false;
}

bool Vm::looseEquals(const Value& a, const Value& b) {
  // The player's == treats two NaNs as equal.
  if (a.isNumber() && b.isNumber() && std::isnan(a.asNumber()) && std::isnan(b.asNumber()))
    return true;
  if (a.type() == b.type() && !a.isObject()) return strictEquals(a, b);
  if (a.isNullish() && b.isNullish()) return true;
  if (a.isNullish() || b.isNullish()) {
    // An object with neither valueOf nor toString has no value: it equals undefined.
    const Value& o = a.isObject() ? a : b;
    if (!o.isObject() || o.asObject()->kind == ObjectKind::Clip) return false;
    if (version_ < 6 && o.asObject()->kind == ObjectKind::Function)
      return toPrimitive(o).isUndefined();
    auto isFn = [](const Value& f) {
      return f.isObject() && f.asObject()->kind == ObjectKind::Function;
    };
    return !isFn(getMember(o, "valueOf")) && !isFn(getMember(o, "toString"));
  }
  if (a.isNumber() && b.isString()) return a.asNumber() == toNumber(b);
  if (a.isString() && b.isNumber()) return toNumber(a) == b.asNumber();
  if (a.isBool()) return looseEquals(Value(a.asBool() ? 1.0 : 0.0), b);
  if (b.isBool()) return looseEquals(a, Value(b.asBool() ? 1.0 : 0.0));
  if (a.isObject() && b.isObject()) {
    // Two objects: the same one, or one whose valueOf gives the other object (a
    // primitive from valueOf does not make two objects equal).
    if (a.asObject() == b.asObject()) return true;
    // Version 5 compares two objects by their values when both have one (a String
    // and a Number of the same value are equal; functions without values are both
    // undefined).
    if (version_ < 6) {
      Value va = toPrimitive(a), vb = toPrimitive(b);
      if (!va.isObject() && !vb.isObject()) return looseEquals(va, vb);
    }
    Value pa = toPrimitive(a);
    if (pa.isObject() && pa.asObject() == b.asObject()) return true;
    Value pb = toPrimitive(b);
    return pb.isObject() && pb.asObject() == a.asObject();
  }
  if (a.isObject() && !b.isObject()) {
    Value p = toPrimitive(a);
    if (p.isObject()) return false;
    return looseEquals(p, b);
  }
  if (b.isObject() && !a.isObject()) {
    Value p = toPrimitive(b);
    if (p.isObject()) return false;
    return looseEquals(a, p);
  }
  return false;
}

Value Vm::lessThan(const Value& a, const Value& b) {
  Value pa = toPrimitive(a, Hint::Number), pb = toPrimitive(b, Hint::Number);
  // Two objects whose valueOf gives an object are compared by their text.
  if (pa.isObject() && pb.isObject()) {
    pa = toPrimitive(a, Hint::String);
    pb = toPrimitive(b, Hint::String);
  }
  if (pa.isString() && pb.isString()) return Value(pa.asString() < pb.asString());
  double x = pa.isObject() ? std::nan("") : toNumber(pa),
         y = pb.isObject() ? std::nan("") : toNumber(pb);
  if (std::isnan(x) || std::isnan(y)) return Value();
  return Value(x < y);
}

// ---------------------------------------------------------------- clips

std::string Vm::targetPath(ScriptClip* clip, bool slashes) {
  std::vector<std::string> names;
  ScriptClip* c = clip;
  int level = 0;
  for (int guard = 0; c && guard < 1000; ++guard) {
    ScriptClip* p = c->parent();
    // Dotted paths name a level by where its movie was loaded, even after it moved.
    if (!p) {
      level = std::max(0, slashes ? c->level() : c->loadedLevel());
      break;
    }
    names.push_back(c->name());
    c = p;
  }
  std::string out;
  if (slashes) {
    if (names.empty()) return level == 0 ? "/" : "_level" + std::to_string(level);
    if (level != 0) out = "_level" + std::to_string(level);
    for (auto it = names.rbegin(); it != names.rend(); ++it) out += "/" + *it;
    return out;
  }
  out = "_level" + std::to_string(level);
  for (auto it = names.rbegin(); it != names.rend(); ++it) out += "." + *it;
  return out;
}

Object* Vm::objectFor(ScriptClip* clip) {
  if (!clip) return nullptr;
  if (clip->scriptObject) return clip->scriptObject;
  Object* o = allocate<Object>(ObjectKind::Clip);
  o->clip = clip;
  Object* proto = clip->isButton() && buttonProto ? buttonProto : clipProto;
  if (clip->textField() && textFieldProto) proto = textFieldProto;
  o->put("__proto__", proto, kDontEnum | kDontDelete, caseInsensitive());
  if (clip->level() >= 0) o->put("$version", Value(kPlayerVersion), 0, caseInsensitive());
  clip->scriptObject = o;
  liveClipObjects_.insert(o);
  return o;
}

void Vm::clipRemoved(ScriptClip* clip) {
  if (!clip || !clip->scriptObject) return;
  Object* o = clip->scriptObject;
  // Only a clip still in its tree knows its path (a root or a detached clip has none).
  if (clip->parent()) o->formerPath = targetPath(clip);
  o->clip = nullptr;
  clip->scriptObject = nullptr;
  liveClipObjects_.erase(o);
  leftOnStack_.erase(o);
}

bool Vm::runningOn(ScriptClip* clip) const {
  if (!clip || !clip->scriptObject) return false;
  for (const Frame* f : frames_)
    if (f->originalTarget == clip->scriptObject) return true;
  return false;
}

ScriptClip* Vm::clipOf(const Value& v) {
  if (!v.isObject()) return nullptr;
  Object* o = v.asObject();
  if (o->kind == ObjectKind::Clip && !o->clip) o = successorClip(o);
  return o && o->kind == ObjectKind::Clip ? o->clip : nullptr;
}

Object* Vm::successorClip(Object* o) {
  if (!o || o->kind != ObjectKind::Clip || o->clip || o->formerPath.empty()) return nullptr;
  // "_levelN.a.b": walk the names down from that level's root.
  std::string_view path = o->formerPath;
  size_t dot = path.find('.');
  std::string_view head = path.substr(0, dot);
  if (head.size() <= 6 || head.substr(0, 6) != "_level") return nullptr;
  ScriptClip* c = host_.level(std::atoi(std::string(head.substr(6)).c_str()));
  while (c && dot != std::string_view::npos) {
    size_t next = path.find('.', dot + 1);
    c = c->childByName(path.substr(dot + 1, next == std::string_view::npos ? next : next - dot - 1),
                       caseInsensitive());
    dot = next;
  }
  return c ? objectFor(c) : nullptr;
}

Object* Vm::registeredClass(const std::string& exportName) {
  auto it = registeredClasses_.find(exportName);
  return it == registeredClasses_.end() ? nullptr : it->second;
}

void Vm::registerClass(const std::string& exportName, Object* ctor) {
  if (ctor)
    registeredClasses_[exportName] = ctor;
  else
    registeredClasses_.erase(exportName);
}

void Vm::setKeyState(int keyCode, bool down) {
  if (keyCode < 0 || keyCode >= 256) return;  // no keyboard sends such a code
  keysDown[static_cast<size_t>(keyCode)] = down;
  if (down) lastKeyCode = keyCode;
}

Value Vm::getClipProperty(Object* obj, ScriptClip* clip, std::string_view name, bool* found) {
  *found = true;
  int idx = clipPropertyIndex(name);
  if (idx >= 0) {
    auto p = static_cast<ClipProperty>(idx);
    switch (p) {
      case ClipProperty::Target:
        return Value(targetPath(clip, true));
      case ClipProperty::Name:
        return Value(clip->name());
      case ClipProperty::Url:
        return Value(clip->url());
      case ClipProperty::DropTarget:
        return Value("");
      case ClipProperty::Quality:
        return Value("HIGH");
      case ClipProperty::CurrentFrame:
        return Value(clip->currentFrame() + 1.0);
      case ClipProperty::TotalFrames:
        return Value(static_cast<double>(clip->totalFrames()));
      case ClipProperty::FramesLoaded:
        return Value(static_cast<double>(clip->framesLoaded()));
      case ClipProperty::Visible:
        if (version_ >= 5) return Value(clip->getProperty(p) != 0);
        return Value(clip->getProperty(p));
      default:
        return Value(clip->getProperty(p));
    }
  }
  bool ci = caseInsensitive();
  auto is = [&](const char* s) { return ci || version_ < 7 ? equalsNoCase(name, s) : name == s; };
  if (is("_parent")) {
    ScriptClip* p = clip->parent();
    return p ? Value(objectFor(p)) : Value();
  }
  if (is("_root")) return Value(objectFor(rootOf(clip)));
  if (is("_lockroot")) return Value(clip->lockRoot);
  if (is("_global") && version_ >= 6) return Value(global);
  // "_level" alone is _level0, as the number after it reads as 0.
  if (name.size() >= 6 &&
      (ci ? equalsNoCase(name.substr(0, 6), "_level") : name.substr(0, 6) == "_level")) {
    int n = std::atoi(std::string(name.substr(6)).c_str());
    ScriptClip* l = host_.level(n);
    if (l) return Value(objectFor(l));
  }
  (void)obj;
  *found = false;
  return Value();
}

bool Vm::setClipProperty(ScriptClip* clip, std::string_view name, const Value& v) {
  int idx = clipPropertyIndex(name);
  if (idx < 0 && (caseInsensitive() ? equalsNoCase(name, "_lockroot") : name == "_lockroot")) {
    clip->lockRoot = toBool(v);
    return true;
  }
  if (idx < 0) return false;
  auto p = static_cast<ClipProperty>(idx);
  switch (p) {
    case ClipProperty::Name:
      clip->setName(toString(v));
      return true;
    case ClipProperty::Target:
    case ClipProperty::Url:
    case ClipProperty::DropTarget:
    case ClipProperty::CurrentFrame:
    case ClipProperty::TotalFrames:
    case ClipProperty::FramesLoaded:
    case ClipProperty::XMouse:
    case ClipProperty::YMouse:
      return true;  // read-only
    case ClipProperty::Quality:
      return true;
    case ClipProperty::FocusRect:
      // null gives the clip back to the movie's setting; other values count as booleans.
      if (v.isUndefined()) return true;
      clip->setProperty(p, v.isNull() ? -1 : toBool(v) ? 1 : 0);
      return true;
    case ClipProperty::Visible: {
      double n = v.isBool() ? (v.asBool() ? 1 : 0) : toNumber(v);
      if (std::isnan(n)) return true;
      const bool wasVisible = clip->getProperty(p) != 0;
      clip->setProperty(p, n != 0 ? 1 : 0);
      if (n == 0 && wasVisible && clipHidden) clipHidden(*this, clip);
      return true;
    }
    default: {
      // undefined, null and values that are no number leave the property as it was;
      // text is read as a number the version 5 way even in older movies.
      if (v.isNullish()) return true;
      double n = v.isString() ? stringToNumber(v.asString(), std::max(version_, 5)) : toNumber(v);
      if (std::isnan(n)) return true;
      clip->setProperty(p, n);
      return true;
    }
  }
}

// ---------------------------------------------------------------- members

Property* Vm::findProperty(Object* obj, std::string_view name, Object** owner) {
  bool ci = caseInsensitive();
  Object* o = obj;
  for (int depth = 0; o && depth < 256; ++depth) {
    if (Property* p = o->findOwn(name, ci)) {
      if (owner) *owner = o;
      return p;
    }
    o = o->proto(ci);
  }
  return nullptr;
}

Value Vm::getMember(const Value& v, std::string_view name) {
  switch (v.type()) {
    case ValueType::Object:
      return getMember(v.asObject(), name);
    case ValueType::String: {
      if (name == "length") {
        const std::string& s = v.asString();
        if (version_ >= 6) {
          size_t n = 0;
          for (unsigned char c : s)
            if ((c & 0xC0) != 0x80) ++n;
          return Value(static_cast<double>(n));
        }
        return Value(static_cast<double>(s.size()));
      }
      // Text is wrapped by whatever _global.String is now: a script's replacement is
      // constructed with it.
      Property* current = global->findOwn("String", caseInsensitive());
      Property* builtIn =
          stringProto ? stringProto->findOwn("constructor", caseInsensitive()) : nullptr;
      if (current && builtIn && current->value.isObject() &&
          !strictEquals(current->value, builtIn->value)) {
        Value text = v;
        Value wrapper = construct(current->value, std::span<Value>(&text, 1));
        return wrapper.isObject() ? getMember(wrapper.asObject(), name) : Value();
      }
      Object* o = toObject(v);
      return getMember(o, name);
    }
    case ValueType::Number:
    case ValueType::Boolean: {
      Object* proto = v.isNumber() ? numberProto : booleanProto;
      Object* owner = nullptr;
      Property* p = findProperty(proto, name, &owner);
      if (!p) return Value();
      if (p->isAccessor()) return call(Value(p->getter), v, {});
      return p->value;
    }
    default:
      return Value();
  }
}

Value Vm::getMember(Object* obj, std::string_view name) {
  if (!obj) return Value();
  if (obj->kind == ObjectKind::Clip && !obj->clip && !obj->formerPath.empty()) {
    // A removed clip: its successor answers, or nothing does.
    obj = successorClip(obj);
    if (!obj) return Value();
  }
  bool ci = caseInsensitive();
  if (obj->kind == ObjectKind::Array && (ci ? equalsNoCase(name, "length") : name == "length"))
    return Value(static_cast<double>(obj->arrayLength));
  if (obj->kind == ObjectKind::String && name == "length" && obj->findOwn("length", ci) == nullptr)
    return getMember(obj->primitive, "length");
  if (obj->kind == ObjectKind::Clip && obj->clip) {
    if (Property* p = obj->findOwn(name, ci)) {
      if (p->isAccessor()) return call(Value(p->getter), Value(obj), {});
      return p->value;
    }
    if (ScriptClip* child = obj->clip->childByName(name, ci)) return Value(objectFor(child));
    bool found = false;
    Value r = getClipProperty(obj, obj->clip, name, &found);
    if (found) return r;
  }
  Object* owner = nullptr;
  Property* p = findProperty(obj, name, &owner);
  if (p) {
    if (p->isAccessor()) return call(Value(p->getter), Value(obj), {});
    return p->value;
  }
  if (name != "__resolve") {
    Property* r = findProperty(obj, "__resolve", nullptr);
    if (r && r->value.isObject() && r->value.asObject()->kind == ObjectKind::Function) {
      Value arg(std::string{name});
      return call(r->value, Value(obj), std::span<Value>(&arg, 1));
    }
  }
  return Value();
}

void Vm::setMember(Object* obj, std::string_view name, const Value& value) {
  if (!obj) return;
  if (obj->kind == ObjectKind::Clip && !obj->clip && !obj->formerPath.empty()) {
    obj = successorClip(obj);  // with no clip in its place, the value goes nowhere
    if (!obj) return;
  }
  bool ci = caseInsensitive();
  if (obj->kind == ObjectKind::Clip && obj->clip && setClipProperty(obj->clip, name, value)) return;
  Value v = value;
  // Object.watch callbacks see the old and new value and choose what is stored.
  for (auto& w : obj->watches) {
    if (w.active || !(ci ? equalsNoCase(w.name, name) : w.name == name)) continue;
    w.active = true;
    Value old = getMember(obj, name);
    std::vector<Value> args{Value(std::string{name}), old, v, w.userData};
    Object* cb = w.callback;
    try {
      v = call(Value(cb), Value(obj), args);
    } catch (...) {
      for (auto& w2 : obj->watches)
        if (w2.callback == cb) w2.active = false;
      throw;
    }
    for (auto& w2 : obj->watches)
      if (w2.callback == cb) w2.active = false;
    break;
  }
  if (obj->kind == ObjectKind::Array) {
    if (ci ? equalsNoCase(name, "length") : name == "length") {
      double n = toNumber(v);
      if (!(n >= 0) || n > 4294967295.0) return;
      uint32_t len = static_cast<uint32_t>(n);
      for (uint32_t i = len; i < obj->arrayLength && i < len + (1u << 20); ++i)
        obj->removeOwn(std::to_string(i), ci);
      obj->arrayLength = len;
      return;
    }
    if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) {
      char* end = nullptr;
      std::string s(name);
      unsigned long idx = std::strtoul(s.c_str(), &end, 10);
      if (*end == 0 && idx < 0xFFFFFFFFul && std::to_string(idx) == s && idx >= obj->arrayLength)
        obj->arrayLength = static_cast<uint32_t>(idx + 1);
    }
  }
  if (Property* own = obj->findOwn(name, ci)) {
    if (own->isAccessor()) {
      if (own->setter) {
        Value arg = v;
        call(Value(own->setter), Value(obj), std::span<Value>(&arg, 1));
      }
      return;
    }
    if (own->flags & kReadOnly) return;
    own->value = v;
    return;
  }
  // An inherited accessor handles the assignment with `this` as the receiver.
  Object* owner = nullptr;
  Property* inherited = findProperty(obj, name, &owner);
  if (inherited && inherited->isAccessor()) {
    if (inherited->setter) {
      Value arg = v;
      call(Value(inherited->setter), Value(obj), std::span<Value>(&arg, 1));
    }
    return;
  }
  obj->defineOwn(name, ci).value = v;
}

bool Vm::deleteMember(Object* obj, std::string_view name) {
  if (!obj) return false;
  bool ci = caseInsensitive();
  // A String object's length stays, whatever was written to it.
  if (obj->kind == ObjectKind::String && name == "length") return false;
  Property* p = obj->findOwn(name, ci);
  if (!p || (p->flags & kDontDelete)) return false;
  return obj->removeOwn(name, ci);
}

bool Vm::hasOwnProperty(Object* obj, std::string_view name) {
  if (!obj) return false;
  if ((obj->kind == ObjectKind::Array || obj->kind == ObjectKind::String) && name == "length")
    return true;
  return obj->findOwn(name, caseInsensitive()) != nullptr;
}

bool Vm::hasProperty(Object* obj, std::string_view name) {
  if (!obj) return false;
  if (findProperty(obj, name, nullptr)) return true;
  if (obj->kind == ObjectKind::Clip && obj->clip) {
    if (obj->clip->childByName(name, caseInsensitive())) return true;
    bool found = false;
    getClipProperty(obj, obj->clip, name, &found);
    return found;
  }
  return false;
}

std::vector<std::string> Vm::enumerableNames(Object* obj) {
  std::vector<std::string> out;
  std::unordered_set<std::string> seen;
  bool ci = caseInsensitive();
  auto key = [ci](const std::string& s) {
    std::string k = s;
    if (ci)
      for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return k;
  };
  Object* o = obj;
  for (int depth = 0; o && depth < 256; ++depth) {
    auto& props = o->properties();
    // Newest first, as the player lists them.
    for (auto it = props.rbegin(); it != props.rend(); ++it) {
      if (it->deleted) continue;
      std::string k = key(it->name);
      if (seen.count(k)) continue;
      seen.insert(k);
      if (!(it->flags & kDontEnum)) out.push_back(it->name);
    }
    if (depth == 0 && o->kind == ObjectKind::Clip && o->clip) {
      auto kids = o->clip->children();
      for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
        std::string n = (*it)->name();
        if (n.empty() || seen.count(key(n))) continue;
        seen.insert(key(n));
        out.push_back(n);
      }
    }
    o = o->proto(ci);
  }
  return out;
}

bool Vm::instanceOf(Object* obj, Object* ctor) {
  if (!obj || !ctor) return false;
  Value protoV = getMember(ctor, "prototype");
  if (!protoV.isObject()) return false;
  Object* target = protoV.asObject();
  bool ci = caseInsensitive();
  Object* o = obj->proto(ci);
  for (int depth = 0; o && depth < 256; ++depth) {
    if (o == target) return true;
    // Interfaces recorded by ImplementsOp.
    if (Property* impl = o->findOwn("__implements__", ci); impl && impl->value.isObject()) {
      for (const Value& i : arrayElements(impl->value.asObject()))
        if (i.isObject() && i.asObject() == ctor) return true;
    }
    o = o->proto(ci);
  }
  return false;
}

// ---------------------------------------------------------------- calls

Value Vm::call(const Value& fn, const Value& thisValue, std::span<Value> args) {
  Frame* caller = std::exchange(stackCaller_, nullptr);
  if (!fn.isObject() || fn.asObject()->kind != ObjectKind::Function) return Value();
  auto* f = static_cast<FunctionObject*>(fn.asObject());
  if (nestedTooDeep()) throw ScriptAbort{"recursion too deep"};
  ++callDepth_;
  struct Guard {
    int& d;
    ~Guard() { --d; }
  } guard{callDepth_};
  if (f->body) {
    stackCaller_ = caller;
    return executeFunction(f, thisValue, args, nullptr);
  }
  if (f->native) {
    CallInfo ci{thisValue, args, f, false};
    return f->native(*this, ci);
  }
  return Value();
}

Value Vm::callMethod(const Value& obj, std::string_view name, std::span<Value> args) {
  Value fn = getMember(obj, name);
  return call(fn, obj, args);
}

Value Vm::construct(const Value& ctorV, std::span<Value> args) {
  stackCaller_ = nullptr;
  if (!ctorV.isObject() || ctorV.asObject()->kind != ObjectKind::Function) return Value();
  auto* ctor = static_cast<FunctionObject*>(ctorV.asObject());
  bool ci = caseInsensitive();
  if (nestedTooDeep()) throw ScriptAbort{"recursion too deep"};
  ++callDepth_;
  struct Guard {
    int& d;
    ~Guard() { --d; }
  } guard{callDepth_};
  if (ctor->native && ctor->constructsOwnObject) {
    CallInfo info{Value(), args, ctor, true};
    return ctor->native(*this, info);
  }
  Value protoV = getMember(ctor, "prototype");
  Object* obj = newObject(protoV.isObject() ? protoV.asObject() : objectProto);
  // A function without a prototype (a built-in method) makes an object with no
  // __proto__ at all; a prototype that is no object is linked all the same.
  if (protoV.isUndefined())
    obj->removeOwn("__proto__", ci);
  else if (!protoV.isObject())
    obj->put("__proto__", protoV, kDontEnum | kDontDelete, ci);
  obj->put(version_ >= 6 ? "__constructor__" : "constructor", ctor, kDontEnum, ci);
  if (version_ < 6) obj->findOwn("constructor", ci)->flags = kDontEnum;
  // SWF 6 also names the constructor of an object whose prototype cannot say it.
  if (version_ == 6 && protoV.isUndefined()) obj->put("constructor", ctor, kDontEnum, ci);
  if (ctor->body) {
    executeFunction(ctor, Value(obj), args, protoV.isObject() ? protoV.asObject() : nullptr);
  } else if (ctor->native) {
    CallInfo info{Value(obj), args, ctor, true};
    Value r = ctor->native(*this, info);
    if (r.isObject()) return r;
  }
  return Value(obj);
}

double Vm::randomUnit() {
  // xorshift64*: deterministic per run, good enough for random(n) and Math.random.
  randomState_ ^= randomState_ >> 12;
  randomState_ ^= randomState_ << 25;
  randomState_ ^= randomState_ >> 27;
  uint64_t r = randomState_ * 2685821657736338717ULL;
  return static_cast<double>(r >> 11) / 9007199254740992.0;
}

// ---------------------------------------------------------------- entry points

void Vm::runActions(ScriptClip* clip, const std::vector<uint8_t>& code, int swfVersion) {
  runActions(clip, std::make_shared<const std::vector<uint8_t>>(code), swfVersion);
}

void Vm::runActions(ScriptClip* clip, const CodeBuffer& code, int swfVersion) {
  if (!code || !clip) return;
  runTopLevel(clip, code, swfVersion > 0 ? swfVersion : version_);
}

void Vm::runTopLevel(ScriptClip* clip, const CodeBuffer& code, int version) {
  // Between entries nothing outside the heap's roots holds a script value, so a movie
  // that makes much garbage within one frame is collected here, not only after it.
  if (entryDepth_ == 0 && heap_.size() > collectAbove_) {
    collectGarbage();
    collectAbove_ = std::max(kFirstCollection, heap_.size() * 2);
  }
  Frame f;
  f.code = code;
  f.version = version;
  f.target = objectFor(clip);
  f.originalTarget = f.target;
  f.scope.push_back(f.target);
  f.thisValue = Value(f.target);
  if (!enterRun()) return;
  // Actions run by the Call action leave what they push on the caller's stack.
  Frame* caller = std::exchange(frameCallCaller_, nullptr);
  const bool outermost = entryDepth_ == 1;
  if (outermost) {
    caller = stackCaller_ = nullptr;
    // Each timeline's stack outlives its blocks: what one leaves, the next one finds.
    if (auto it = leftOnStack_.find(f.target); it != leftOnStack_.end()) {
      f.stack.swap(it->second);
      leftOnStack_.erase(it);
    }
  }
  frames_.push_back(&f);
  try {
    run(f, 0, code->size());
  } catch (const ScriptThrow&) {
    // An uncaught throw ends this action block only.
  } catch (const ScriptAbort& abort) {
    noteAbort(abort.reason);
  } catch (size_t) {
  }
  frames_.pop_back();
  if (outermost && !f.stack.empty() && f.stack.size() <= kMaxLeftOnStack && f.originalTarget &&
      f.originalTarget->clip && leftOnStack_.size() < kMaxLeftOnStack)
    leftOnStack_[f.originalTarget].swap(f.stack);
  frameCallCaller_ = caller;
  if (caller && caller->stack.size() + f.stack.size() <= limits_.maxStack)
    for (Value& v : f.stack) caller->stack.push_back(std::move(v));
  leaveRun();
}

void Vm::noteAbort(const std::string& reason) {
  lastAbort = reason;
  // Running out of time or memory leaves the movie's scripts stopped, as a player whose
  // user chose to abort them; the action limit ends only the block.
  if (reason == "script ran out of time" || reason == "out of memory") scriptsStopped_ = true;
}

void Vm::noteStringMade(size_t bytes) {
  if (bytes > limits_.maxStringLength) throw ScriptAbort{"string too long"};
  stringBytesSinceCheck_ += bytes;
  if (stringBytesSinceCheck_ > limits_.maxMemoryBytes / 8) checkMemory();
}

size_t Vm::approximateMemory() {
  size_t total = 0, things = 0;
  auto valueBytes = [](const Value& v) { return v.isString() ? v.asString().capacity() : 0; };
  for (Object* o : heap_) {
    total += sizeof(FunctionObject) + valueBytes(o->primitive);
    for (const Property& p : o->properties())
      total += sizeof(Property) + 16 + p.name.capacity() + valueBytes(p.value);
    things += 1 + o->properties().size();
  }
  for (Frame* f : frames_) {
    for (const Value& v : f->stack) total += sizeof(Value) + valueBytes(v);
    for (const Value& v : f->registers) total += sizeof(Value) + valueBytes(v);
    things += f->stack.size() + f->registers.size();
  }
  memoryCheckInterval_ = std::max<uint64_t>(1u << 16, things * 4);
  return total;
}

void Vm::checkMemory() {
  actionsSinceMemoryCheck_ = 0;
  stringBytesSinceCheck_ = 0;
  if (entryDepth_ > 0 && approximateMemory() > limits_.maxMemoryBytes)
    throw ScriptAbort{"out of memory"};
}

void Vm::startFrameBudget() { scriptTimeThisFrame_ = {}; }

bool Vm::enterRun() {
  if (scriptsStopped_) return false;
  if (entryDepth_ > 0 && nestedTooDeep()) {
    // Blocks that run blocks (a frame calling itself) nest no deeper than calls do.
    noteAbort("recursion too deep");
    return false;
  }
  if (entryDepth_++ == 0) {
    actionsBeforeThisRun_ += actionsThisRun_;
    actionsThisRun_ = 0;
    entryStarted_ = std::chrono::steady_clock::now();
    runDeadline_ = entryStarted_ - scriptTimeThisFrame_ +
                   std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                       std::chrono::duration<double, std::milli>(limits_.maxMillisecondsPerRun));
    // Many short entries in one frame (a timeline that keeps re-entering frames) are
    // stopped here: none of them lives long enough to see the clock in the loop.
    if (entryStarted_ >= runDeadline_) {
      --entryDepth_;
      noteAbort("script ran out of time");
      return false;
    }
  }
  return true;
}

void Vm::leaveRun() {
  if (--entryDepth_ == 0) scriptTimeThisFrame_ += std::chrono::steady_clock::now() - entryStarted_;
}

bool Vm::callMethodIfPresent(Object* obj, std::string_view name, std::vector<Value> args) {
  if (!obj || !enterRun()) return false;
  bool called = false;
  try {
    Value fn = getMember(obj, name);
    if (fn.isObject() && fn.asObject()->kind == ObjectKind::Function) {
      called = true;
      call(fn, Value(obj), args);
    }
  } catch (const ScriptThrow&) {
  } catch (const ScriptAbort& abort) {
    noteAbort(abort.reason);
  }
  leaveRun();
  return called;
}

void Vm::callFunctionSafely(const Value& fn, const Value& thisValue, std::vector<Value> args) {
  if (!enterRun()) return;
  try {
    call(fn, thisValue, args);
  } catch (const ScriptThrow&) {
  } catch (const ScriptAbort& abort) {
    noteAbort(abort.reason);
  }
  leaveRun();
}

void Vm::runTimers() {
  double now = host_.timerMs();
  std::vector<int> due;
  for (auto& [id, iv] : intervals)
    if (iv.nextDueMs <= now) due.push_back(id);
  for (int id : due) {
    auto it = intervals.find(id);
    if (it == intervals.end()) continue;
    Interval iv = it->second;
    it->second.nextDueMs = now + std::max(1.0, iv.periodMs);
    if (iv.once) intervals.erase(it);
    if (!enterRun()) return;
    try {
      std::vector<Value> args = iv.args;
      if (!iv.methodName.empty())
        callMethod(iv.target, iv.methodName, args);
      else
        call(iv.fn, Value(), args);
    } catch (const ScriptThrow&) {
    } catch (const ScriptAbort& abort) {
      noteAbort(abort.reason);
    }
    leaveRun();
  }
}

void Vm::markFrom(Object* o, std::vector<Object*>& work) {
  if (o && !o->marked) {
    o->marked = true;
    work.push_back(o);
  }
}

void Vm::collectGarbage() {
  if (entryDepth_ > 0 || !frames_.empty()) return;
  std::vector<Object*> work;
  for (Object* o : pinned_) markFrom(o, work);
  for (Object* o : liveClipObjects_) markFrom(o, work);
  for (auto& [name, o] : registeredClasses_) markFrom(o, work);
  for (auto& [clip, values] : leftOnStack_) {
    markFrom(clip, work);
    for (auto& v : values)
      if (v.isObject()) markFrom(v.asObject(), work);
  }
  std::vector<Object*> loading;
  loads_.roots(loading);
  for (Object* o : loading) markFrom(o, work);
  for (auto& [handle, soundObject] : playingSounds)
    if (soundObject.isObject()) markFrom(soundObject.asObject(), work);
  for (auto& [id, iv] : intervals) {
    if (iv.target.isObject()) markFrom(iv.target.asObject(), work);
    if (iv.fn.isObject()) markFrom(iv.fn.asObject(), work);
    for (auto& a : iv.args)
      if (a.isObject()) markFrom(a.asObject(), work);
  }
  std::vector<Object*> refs;
  while (!work.empty()) {
    Object* o = work.back();
    work.pop_back();
    refs.clear();
    o->traceRefs(refs);
    for (Object* r : refs) markFrom(r, work);
  }
  size_t kept = 0;
  for (Object* o : heap_) {
    if (o->marked) {
      o->marked = false;
      heap_[kept++] = o;
    } else {
      delete o;
    }
  }
  heap_.resize(kept);
}

}  // namespace orv::movie::avm1
