// TextFormat: the character and paragraph format of text fields. Every property is an
// accessor of TextFormat.prototype; a property never set reads as null.
#include <array>
#include <cmath>

#include "movie/avm1/native_table.h"
#include "movie/avm1/text_format_object.h"

namespace orv::movie::avm1 {

namespace {

using movie::TextFormat;

TextFormat* formatOfThis(CallInfo& c) {
  auto* o = dynamic_cast<TextFormatObject*>(c.thisObject());
  return o ? &o->format : nullptr;
}

template <class T>
Value toValue(const std::optional<T>& v) {
  if (!v) return Value::null();
  return Value(*v);
}

// What assigning `v` to a numeric property stores: null for undefined/null, else an
// integer (what is not a number is 0), never below `floor` when given.
std::optional<double> numberProperty(Vm& vm, const Value& v, std::optional<double> floor) {
  if (v.isNullish()) return std::nullopt;
  const double n = vm.toNumber(v);
  double i = std::isfinite(n) ? std::trunc(n) : 0;
  if (std::abs(i) > 2147483647) i = 0;
  if (floor && i < *floor) i = *floor;
  return i;
}

std::optional<bool> boolProperty(Vm& vm, const Value& v) {
  if (v.isNullish()) return std::nullopt;
  return vm.toBool(v);
}

std::optional<std::string> stringProperty(Vm& vm, const Value& v) {
  if (v.isNullish()) return std::nullopt;
  return vm.toString(v);
}

// Each TextFormat property: how it reads and how an assignment is converted.
struct Field {
  const char* name;
  Value (*get)(const TextFormat&);
  void (*set)(Vm&, TextFormat&, const Value&);
};

constexpr Field kFields[] = {
    {"font", [](const TextFormat& f) { return toValue(f.font); },
     [](Vm& vm, TextFormat& f, const Value& v) {
       f.font = stringProperty(vm, v);
       // A face name is kept to its first 64 characters.
       if (f.font) {
         size_t chars = 0, i = 0;
         for (; i < f.font->size(); ++i)
           if ((static_cast<unsigned char>((*f.font)[i]) & 0xC0) != 0x80 && chars++ == 64) break;
         f.font->resize(i);
       }
     }},
    {"size", [](const TextFormat& f) { return toValue(f.size); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.size = numberProperty(vm, v, std::nullopt); }},
    {"color", [](const TextFormat& f) { return toValue(f.color); },
     [](Vm& vm, TextFormat& f, const Value& v) {
       if (v.isNullish()) {
         f.color.reset();
         return;
       }
       f.color = static_cast<double>(toUint32(vm.toNumber(v)) & 0xFFFFFFu);
     }},
    {"bold", [](const TextFormat& f) { return toValue(f.bold); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.bold = boolProperty(vm, v); }},
    {"italic", [](const TextFormat& f) { return toValue(f.italic); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.italic = boolProperty(vm, v); }},
    {"underline", [](const TextFormat& f) { return toValue(f.underline); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.underline = boolProperty(vm, v); }},
    {"url", [](const TextFormat& f) { return toValue(f.url); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.url = stringProperty(vm, v); }},
    {"target", [](const TextFormat& f) { return toValue(f.target); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.target = stringProperty(vm, v); }},
    {"align", [](const TextFormat& f) { return toValue(f.align); },
     [](Vm& vm, TextFormat& f, const Value& v) {
       // Only the four alignments are taken; anything else leaves the value as it was.
       if (v.isNullish()) return;
       std::string s = vm.toString(v);
       for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
       if (s == "left" || s == "right" || s == "center" || s == "justify") f.align = s;
     }},
    {"leftMargin", [](const TextFormat& f) { return toValue(f.leftMargin); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.leftMargin = numberProperty(vm, v, 0.0); }},
    {"rightMargin", [](const TextFormat& f) { return toValue(f.rightMargin); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.rightMargin = numberProperty(vm, v, 0.0); }},
    {"indent", [](const TextFormat& f) { return toValue(f.indent); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.indent = numberProperty(vm, v, 0.0); }},
    {"leading", [](const TextFormat& f) { return toValue(f.leading); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.leading = numberProperty(vm, v, 0.0); }},
    {"blockIndent", [](const TextFormat& f) { return toValue(f.blockIndent); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.blockIndent = numberProperty(vm, v, 0.0); }},
    {"bullet", [](const TextFormat& f) { return toValue(f.bullet); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.bullet = boolProperty(vm, v); }},
    {"kerning", [](const TextFormat& f) { return toValue(f.kerning); },
     [](Vm& vm, TextFormat& f, const Value& v) { f.kerning = boolProperty(vm, v); }},
    {"letterSpacing", [](const TextFormat& f) { return toValue(f.letterSpacing); },
     [](Vm& vm, TextFormat& f, const Value& v) {
       if (v.isNullish()) {
         f.letterSpacing.reset();
         return;
       }
       double n = vm.toNumber(v);
       f.letterSpacing = std::isfinite(n) ? n : 0;
     }},
};

// Ascent, descent and sizes of `text` set in `format` in a field of `width` pixels.
Object* extentObject(Vm& vm, const TextFormat& format, const std::string& text, double width) {
  swf::EditTextDef def;
  const bool wrap = std::isfinite(width) && width > 0;
  def.bounds = {0, wrap ? static_cast<int32_t>(std::round(width * 20)) : 0x7FFFFFF, 0, 0};
  def.wordWrap = def.multiline = wrap;
  movie::EditTextState field(def, nullptr, vm.version() >= 6);
  field.newFormat.apply(format);
  field.setText(text);
  const movie::FontMetrics m = field.metricsAt(field.newFormat);
  const double textWidth = std::round(field.textWidth());
  const double textHeight = std::round(field.textHeight());
  Object* o = vm.newObject();
  vm.setMember(o, "ascent", std::round(m.ascent));
  vm.setMember(o, "descent", std::round(m.descent));
  vm.setMember(o, "width", textWidth);
  vm.setMember(o, "height", textHeight);
  vm.setMember(o, "textFieldHeight", textHeight + 4);
  vm.setMember(o, "textFieldWidth", wrap ? std::round(width) : textWidth + 4);
  return o;
}

Value getTextExtent(Vm& vm, CallInfo& c) {
  const TextFormat* f = formatOfThis(c);
  if (!f || c.args.empty()) return Value();
  const double width = c.args.size() > 1 ? vm.toNumber(c.arg(1)) : NAN;
  return Value(extentObject(vm, *f, vm.toString(c.arg(0)), width));
}

// Every TextFormat object has a getTextExtent of its own.
constexpr NativeMember kFormatObject[] = {method("getTextExtent", getTextExtent)};

// new TextFormat(font, size, color, bold, italic, underline, url, target, align,
//                leftMargin, rightMargin, indent, leading)
Value construct(Vm& vm, CallInfo& c);

// The kFields accessors, by variant: the index of their row.
Value readField(Vm&, CallInfo& c) {
  const TextFormat* f = formatOfThis(c);
  return f ? kFields[c.variant].get(*f) : Value();
}

Value writeField(Vm& vm, CallInfo& c) {
  if (TextFormat* f = formatOfThis(c)) kFields[c.variant].set(vm, *f, c.arg(0));
  return Value();
}

Value tabStops(Vm& vm, CallInfo& c) {
  const TextFormat* f = formatOfThis(c);
  if (!f || !f->tabStops) return f ? Value::null() : Value();
  std::vector<Value> stops(f->tabStops->begin(), f->tabStops->end());
  return Value(vm.newArray(std::move(stops)));
}

Value setTabStops(Vm& vm, CallInfo& c) {
  TextFormat* f = formatOfThis(c);
  if (!f) return Value();
  const Value v = c.arg(0);
  Object* arr = v.isObject() ? v.asObject() : nullptr;
  if (!arr || arr->kind != ObjectKind::Array) {
    f->tabStops.reset();
    return Value();
  }
  std::vector<double> stops;
  for (const Value& e : vm.arrayElements(arr)) {
    double n = vm.toNumber(e);
    stops.push_back(std::isfinite(n) ? std::trunc(n) : 0);
    if (stops.size() >= 1024) break;
  }
  f->tabStops = std::move(stops);
  return Value();
}

Value display(Vm&, CallInfo& c) {
  auto* o = dynamic_cast<TextFormatObject*>(c.thisObject());
  if (!o) return Value();
  Value d = o->primitive;
  return d.isString() ? d : Value("block");
}

Value setDisplay(Vm& vm, CallInfo& c) {
  auto* o = dynamic_cast<TextFormatObject*>(c.thisObject());
  if (!o || c.arg(0).isNullish()) return Value();
  std::string s = vm.toString(c.arg(0));
  if (s == "block" || s == "inline" || s == "none") o->primitive = Value(s);
  return Value();
}

// Every property an enumerable accessor of the prototype: kFields', then tabStops and
// display.
constexpr auto kPrototype = [] {
  std::array<NativeMember, 2 * std::size(kFields) + 4> rows{};
  for (size_t i = 0; i < std::size(kFields); ++i) {
    rows[2 * i] = getter(kFields[i].name, readField, 0, static_cast<int>(i));
    rows[2 * i + 1] = setter(kFields[i].name, writeField, 0, static_cast<int>(i));
  }
  const size_t n = 2 * std::size(kFields);
  rows[n] = getter("tabStops", tabStops, 0);
  rows[n + 1] = setter("tabStops", setTabStops, 0);
  rows[n + 2] = getter("display", display, 0);
  rows[n + 3] = setter("display", setDisplay, 0);
  return rows;
}();
constexpr NativeClass kTextFormatClass{.name = "TextFormat",
                                       .constructor = construct,
                                       .prototype = kPrototype,
                                       .constructsOwnObject = true};

Value construct(Vm& vm, CallInfo& c) {
  TextFormatObject* o = newTextFormatObject(vm, {});
  o->put(vm.version() >= 6 ? "__constructor__" : "constructor", c.callee, kDontEnum,
         vm.caseInsensitive());
  for (size_t i = 0; i < c.args.size() && i < 13; ++i) kFields[i].set(vm, o->format, c.args[i]);
  return Value(static_cast<Object*>(o));
}

}  // namespace

TextFormatObject* newTextFormatObject(Vm& vm, const movie::TextFormat& format) {
  auto* o = vm.allocate<TextFormatObject>();
  Value ctor = vm.getMember(vm.global, "TextFormat");
  Value proto = vm.getMember(ctor, "prototype");
  o->put("__proto__", proto.isObject() ? proto : Value(vm.objectProto), kDontEnum | kDontDelete,
         vm.caseInsensitive());
  o->format = format;
  installMembers(vm, o, kFormatObject);
  return o;
}

const movie::TextFormat* textFormatOf(const Value& v) {
  auto* o = v.isObject() ? dynamic_cast<TextFormatObject*>(v.asObject()) : nullptr;
  return o ? &o->format : nullptr;
}

Object* measureTextExtent(Vm& vm, const movie::TextFormat& format, const std::string& text,
                          double width) {
  return extentObject(vm, format, text, width);
}

void installTextFormatBuiltins(Vm& vm) { installClass(vm, vm.global, kTextFormatClass); }

}  // namespace orv::movie::avm1
