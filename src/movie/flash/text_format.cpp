// flash.text.TextFormat and the string constants of flash.text (TextFieldType,
// TextFieldAutoSize, TextFormatAlign...).
#include <climits>
#include <cmath>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/text.h"

namespace orv::movie::avm2 {

namespace {

constexpr size_t kMaxFontName = 64;  // longer names set by script are cut

TextFormatObject* formatSelf(Machine& m, const Value& self) {
  return receiver<TextFormatObject>(m, self, "TextFormat");
}

// Sizes, margins and leading are whole numbers, rounded half to even; what does not fit
// in 32 bits becomes the smallest 32-bit number, as the player stores it.
double wholeNumber(double v) {
  if (!std::isfinite(v)) return INT_MIN;
  const double r = std::nearbyint(v);
  return r < INT_MIN || r > INT_MAX ? INT_MIN : r;
}

template <std::optional<std::string> TextStyle::*F>
Value getText(Machine& m, const Value& self, std::span<Value>) {
  const auto& v = formatSelf(m, self)->style.*F;
  return v ? Value(StringRef(*v)) : Value::null();
}

template <std::optional<std::string> TextStyle::*F>
Value setText(Machine& m, const Value& self, std::span<Value> args) {
  auto& field = formatSelf(m, self)->style.*F;
  const Value v = arg(args, 0);
  if (v.isNullish()) {
    field.reset();
    return Value();
  }
  std::string text = m.toText(v);
  if (F == &TextStyle::font) {
    std::u16string units = utf16(text);
    if (units.size() > kMaxFontName) text = utf8(units.substr(0, kMaxFontName));
  }
  if (F == &TextStyle::align && text != "left" && text != "center" && text != "right" &&
      text != "justify" && text != "start" && text != "end")
    m.fail(ErrorClass::ArgumentError, 2008, {"align"});
  field = std::move(text);
  return Value();
}

template <std::optional<bool> TextStyle::*F>
Value getFlag(Machine& m, const Value& self, std::span<Value>) {
  const auto& v = formatSelf(m, self)->style.*F;
  return v ? Value(*v) : Value::null();
}

template <std::optional<bool> TextStyle::*F>
Value setFlag(Machine& m, const Value& self, std::span<Value> args) {
  auto& field = formatSelf(m, self)->style.*F;
  const Value v = arg(args, 0);
  if (v.isNullish())
    field.reset();
  else
    field = toBoolean(v);
  return Value();
}

enum class NumberKind { Whole, Color, Real };

template <std::optional<double> TextStyle::*F>
Value getNumber(Machine& m, const Value& self, std::span<Value>) {
  const auto& v = formatSelf(m, self)->style.*F;
  return v ? Value(*v) : Value::null();
}

template <std::optional<double> TextStyle::*F, NumberKind K>
Value setNumber(Machine& m, const Value& self, std::span<Value> args) {
  auto& field = formatSelf(m, self)->style.*F;
  const Value v = arg(args, 0);
  if (v.isNullish()) {
    field.reset();
    return Value();
  }
  if (K == NumberKind::Color)
    field = static_cast<double>(m.toInt(v));
  else if (K == NumberKind::Whole)
    field = wholeNumber(m.toNumber(v));
  else
    field = m.toNumber(v);
  return Value();
}

Value getTabStops(Machine& m, const Value& self, std::span<Value>) {
  const auto& v = formatSelf(m, self)->style.tabStops;
  if (!v) return Value::null();
  std::vector<Value> out;
  for (double d : *v) out.emplace_back(d);
  return Value(m.newArray(std::move(out)));
}

Value setTabStops(Machine& m, const Value& self, std::span<Value> args) {
  auto& field = formatSelf(m, self)->style.tabStops;
  const Value v = arg(args, 0);
  if (v.isNullish()) {
    field.reset();
    return Value();
  }
  const double n = m.toNumber(m.get(v, "length"));
  std::vector<double> stops;
  for (double i = 0; i < n && i < 4096; ++i)
    stops.push_back(wholeNumber(m.toNumber(m.get(v, m.toText(Value(i))))));
  field = std::move(stops);
  return Value();
}

using Setter = Value (*)(Machine&, const Value&, std::span<Value>);

// new TextFormat(font, size, color, bold, italic, underline, url, target, align,
// leftMargin, rightMargin, indent, leading): each given value as its property takes it.
Value formatInit(Machine& m, const Value& self, std::span<Value> args) {
  static constexpr Setter kOrder[] = {
      setText<&TextStyle::font>,
      setNumber<&TextStyle::size, NumberKind::Whole>,
      setNumber<&TextStyle::color, NumberKind::Color>,
      setFlag<&TextStyle::bold>,
      setFlag<&TextStyle::italic>,
      setFlag<&TextStyle::underline>,
      setText<&TextStyle::url>,
      setText<&TextStyle::target>,
      setText<&TextStyle::align>,
      setNumber<&TextStyle::leftMargin, NumberKind::Whole>,
      setNumber<&TextStyle::rightMargin, NumberKind::Whole>,
      setNumber<&TextStyle::indent, NumberKind::Whole>,
      setNumber<&TextStyle::leading, NumberKind::Whole>,
  };
  formatSelf(m, self);
  for (size_t i = 0; i < args.size() && i < std::size(kOrder); ++i)
    if (!args[i].isNullish()) kOrder[i](m, self, args.subspan(i, 1));
  return Value();
}

Value getDisplay(Machine&, const Value&, std::span<Value>) { return Value(StringRef("block")); }
Value setIgnored(Machine&, const Value&, std::span<Value>) { return Value(); }

#define ORV_TEXT(name) {#name, MemberKind::Getter, getText<&TextStyle::name>}, \
                       {#name, MemberKind::Setter, setText<&TextStyle::name>}
#define ORV_FLAG(name) {#name, MemberKind::Getter, getFlag<&TextStyle::name>}, \
                       {#name, MemberKind::Setter, setFlag<&TextStyle::name>}
#define ORV_NUMBER(name, kind) {#name, MemberKind::Getter, getNumber<&TextStyle::name>}, \
                       {#name, MemberKind::Setter, setNumber<&TextStyle::name, NumberKind::kind>}

constexpr NativeMember kFormatMembers[] = {
    ORV_TEXT(font), ORV_TEXT(url), ORV_TEXT(target), ORV_TEXT(align),
    ORV_NUMBER(size, Whole), ORV_NUMBER(color, Color), ORV_NUMBER(leftMargin, Whole),
    ORV_NUMBER(rightMargin, Whole), ORV_NUMBER(indent, Whole), ORV_NUMBER(leading, Whole),
    ORV_NUMBER(blockIndent, Whole), ORV_NUMBER(letterSpacing, Real),
    ORV_FLAG(bold), ORV_FLAG(italic), ORV_FLAG(underline), ORV_FLAG(bullet), ORV_FLAG(kerning),
    {"tabStops", MemberKind::Getter, getTabStops},
    {"tabStops", MemberKind::Setter, setTabStops},
    {"display", MemberKind::Getter, getDisplay},
    {"display", MemberKind::Setter, setIgnored},
};

#undef ORV_TEXT
#undef ORV_FLAG
#undef ORV_NUMBER

Object* allocFormat(Machine& m, ClassObject* cls) {
  return m.heap.make<TextFormatObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

constexpr NativeMember kFieldType[] = {
    {"DYNAMIC", MemberKind::Constant, nullptr, 0, 0, "dynamic"},
    {"INPUT", MemberKind::Constant, nullptr, 0, 0, "input"},
};
constexpr NativeMember kAutoSize[] = {
    {"NONE", MemberKind::Constant, nullptr, 0, 0, "none"},
    {"LEFT", MemberKind::Constant, nullptr, 0, 0, "left"},
    {"RIGHT", MemberKind::Constant, nullptr, 0, 0, "right"},
    {"CENTER", MemberKind::Constant, nullptr, 0, 0, "center"},
};
constexpr NativeMember kAlign[] = {
    {"LEFT", MemberKind::Constant, nullptr, 0, 0, "left"},
    {"RIGHT", MemberKind::Constant, nullptr, 0, 0, "right"},
    {"CENTER", MemberKind::Constant, nullptr, 0, 0, "center"},
    {"JUSTIFY", MemberKind::Constant, nullptr, 0, 0, "justify"},
    {"START", MemberKind::Constant, nullptr, 0, 0, "start"},
    {"END", MemberKind::Constant, nullptr, 0, 0, "end"},
};
constexpr NativeMember kAntiAlias[] = {
    {"NORMAL", MemberKind::Constant, nullptr, 0, 0, "normal"},
    {"ADVANCED", MemberKind::Constant, nullptr, 0, 0, "advanced"},
};
constexpr NativeMember kGridFit[] = {
    {"NONE", MemberKind::Constant, nullptr, 0, 0, "none"},
    {"PIXEL", MemberKind::Constant, nullptr, 0, 0, "pixel"},
    {"SUBPIXEL", MemberKind::Constant, nullptr, 0, 0, "subpixel"},
};
constexpr NativeMember kFontStyle[] = {
    {"REGULAR", MemberKind::Constant, nullptr, 0, 0, "regular"},
    {"BOLD", MemberKind::Constant, nullptr, 0, 0, "bold"},
    {"ITALIC", MemberKind::Constant, nullptr, 0, 0, "italic"},
    {"BOLD_ITALIC", MemberKind::Constant, nullptr, 0, 0, "boldItalic"},
};
constexpr NativeMember kFontType[] = {
    {"EMBEDDED", MemberKind::Constant, nullptr, 0, 0, "embedded"},
    {"EMBEDDED_CFF", MemberKind::Constant, nullptr, 0, 0, "embeddedCFF"},
    {"DEVICE", MemberKind::Constant, nullptr, 0, 0, "device"},
};
constexpr NativeMember kFormatDisplay[] = {
    {"INLINE", MemberKind::Constant, nullptr, 0, 0, "inline"},
    {"BLOCK", MemberKind::Constant, nullptr, 0, 0, "block"},
};

void constants(Machine& m, const char* name, std::span<const NativeMember> rows) {
  installClass(m, {.package = "flash.text", .name = name, .members = rows, .isFinal = true});
}

}  // namespace

Value makeTextFormat(Machine& m, const TextStyle& style) {
  ClassObject* cls = m.findClass("flash.text.TextFormat");
  if (!cls) m.fail(ErrorClass::ReferenceError, 1065, {"TextFormat"});
  auto* f = static_cast<TextFormatObject*>(m.allocate(cls));
  f->style = style;
  return Value(static_cast<Object*>(f));
}

const TextStyle& textFormatArg(Machine& m, const Value& v, const char* param) {
  if (v.isNullish()) m.fail(ErrorClass::TypeError, 2007, {param});
  auto* f = v.isObject() ? dynamic_cast<TextFormatObject*>(v.asObject()) : nullptr;
  if (!f) m.fail(ErrorClass::TypeError, 1034, {m.className(v), "flash.text.TextFormat"});
  return f->style;
}

void installTextFormat(Machine& m) {
  installClass(m, {.package = "flash.text",
                   .name = "TextFormat",
                   .members = kFormatMembers,
                   .init = formatInit,
                   .alloc = allocFormat,
                   .dynamic = false,
                   .initLength = 13});
  constants(m, "TextFieldType", kFieldType);
  constants(m, "TextFieldAutoSize", kAutoSize);
  constants(m, "TextFormatAlign", kAlign);
  constants(m, "AntiAliasType", kAntiAlias);
  constants(m, "GridFitType", kGridFit);
  constants(m, "FontStyle", kFontStyle);
  constants(m, "FontType", kFontType);
  constants(m, "TextFormatDisplay", kFormatDisplay);
}

}  // namespace orv::movie::avm2
