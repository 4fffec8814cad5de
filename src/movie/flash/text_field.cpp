// flash.text's TextField (a display object whose text, formats, layout and settings are
// the host's text field), StaticText and Font.
#include <algorithm>
#include <cmath>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/display.h"
#include "movie/flash/geom.h"
#include "movie/flash/text.h"

namespace orv::movie::avm2 {

namespace {

TextFieldAccess& fieldOf(Machine& m, const Value& self) {
  DisplayScript* d = displayOf(m, self, "TextField");
  TextFieldAccess* f = m.host ? m.host->textField(d->handle) : nullptr;
  if (!f) m.fail(ErrorClass::Error, 1001, {"text field"});
  return *f;
}

Value text(std::string s) { return Value(StringRef(s)); }

// A script string the field takes; null is TypeError #2007 naming `param`.
std::string textArg(Machine& m, std::span<Value> args, size_t i, const char* param) {
  const Value v = arg(args, i);
  if (v.isNullish()) m.fail(ErrorClass::TypeError, 2007, {param});
  return m.toText(v);
}

double numberArg(Machine& m, std::span<Value> args, size_t i, double otherwise) {
  return i < args.size() && !args[i].isUndefined() ? m.toNumber(args[i]) : otherwise;
}

// ---- Text ----

Value getText(Machine& m, const Value& self, std::span<Value>) { return text(fieldOf(m, self).text()); }

Value setText(Machine& m, const Value& self, std::span<Value> args) {
  fieldOf(m, self).setText(textArg(m, args, 0, "text"));
  return Value();
}

Value getHtml(Machine& m, const Value& self, std::span<Value>) {
  return text(fieldOf(m, self).htmlText());
}

Value setHtml(Machine& m, const Value& self, std::span<Value> args) {
  fieldOf(m, self).setHtmlText(textArg(m, args, 0, "htmlText"));
  return Value();
}

Value getLength(Machine& m, const Value& self, std::span<Value>) {
  return Value(fieldOf(m, self).length());
}

Value appendText(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  const int end = f.length();
  f.replaceText(end, end, textArg(m, args, 0, "newText"));
  return Value();
}

// An index within the text, or RangeError #2006.
int indexIn(Machine& m, double v, int limit) {
  if (!(v >= 0 && v <= limit)) m.fail(ErrorClass::RangeError, 2006);
  return static_cast<int>(v);
}

Value replaceText(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  const int n = f.length();
  const int begin = indexIn(m, m.toNumber(arg(args, 0)), n);
  const int end = indexIn(m, m.toNumber(arg(args, 1)), n);
  f.replaceText(begin, std::max(begin, end), textArg(m, args, 2, "newText"));
  return Value();
}

Value replaceSelectedText(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  const int begin = static_cast<int>(f.number(TextNumber::SelectionBegin));
  const int end = static_cast<int>(f.number(TextNumber::SelectionEnd));
  const std::string add = textArg(m, args, 0, "value");
  f.replaceText(begin, end, add);
  const int caret = begin + static_cast<int>(utf16(add).size());
  f.setSelection(caret, caret);
  return Value();
}

Value getSelectedText(Machine& m, const Value& self, std::span<Value>) {
  TextFieldAccess& f = fieldOf(m, self);
  const std::u16string all = utf16(f.text());
  const size_t begin = static_cast<size_t>(f.number(TextNumber::SelectionBegin));
  const size_t end = static_cast<size_t>(f.number(TextNumber::SelectionEnd));
  if (begin >= end || begin >= all.size()) return text("");
  return text(utf8(all.substr(begin, end - begin)));
}

// ---- Numbers, flags and modes ----

template <TextNumber N>
Value getNumber(Machine& m, const Value& self, std::span<Value>) {
  const double v = fieldOf(m, self).number(N);
  if (N == TextNumber::TextWidth || N == TextNumber::TextHeight)
    return Value(std::floor(v * 20 + 1e-6) / 20);  // measured in whole twips, cut off
  if (N == TextNumber::BackgroundColor || N == TextNumber::BorderColor)
    return Value(static_cast<uint32_t>(v));
  if (N == TextNumber::Thickness || N == TextNumber::Sharpness) return Value(v);
  return Value(static_cast<int32_t>(v));
}

template <TextNumber N>
Value setNumber(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  const bool color = N == TextNumber::BackgroundColor || N == TextNumber::BorderColor;
  if (N == TextNumber::Thickness || N == TextNumber::Sharpness)
    f.setNumber(N, m.toNumber(arg(args, 0)));
  else
    f.setNumber(N, color ? m.toUint(arg(args, 0)) : m.toInt(arg(args, 0)));
  return Value();
}

template <TextFlag F>
Value getFlag(Machine& m, const Value& self, std::span<Value>) {
  return Value(fieldOf(m, self).flag(F));
}

template <TextFlag F>
Value setFlag(Machine& m, const Value& self, std::span<Value> args) {
  fieldOf(m, self).setFlag(F, toBoolean(arg(args, 0)));
  return Value();
}

Value getType(Machine& m, const Value& self, std::span<Value>) {
  return text(fieldOf(m, self).flag(TextFlag::Input) ? "input" : "dynamic");
}

Value setType(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  const std::string t = textArg(m, args, 0, "type");
  if (t != "input" && t != "dynamic") m.fail(ErrorClass::ArgumentError, 2008, {"type"});
  f.setFlag(TextFlag::Input, t == "input");
  return Value();
}

Value getAutoSize(Machine& m, const Value& self, std::span<Value>) {
  return text(fieldOf(m, self).autoSize());
}

Value setAutoSize(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  const std::string a = textArg(m, args, 0, "autoSize");
  if (a != "none" && a != "left" && a != "right" && a != "center")
    m.fail(ErrorClass::ArgumentError, 2008, {"autoSize"});
  f.setAutoSize(a);
  return Value();
}

Value getRestrict(Machine& m, const Value& self, std::span<Value>) {
  std::optional<std::string> r = fieldOf(m, self).restrict();
  return r ? text(*r) : Value::null();
}

Value setRestrict(Machine& m, const Value& self, std::span<Value> args) {
  const Value v = arg(args, 0);
  fieldOf(m, self).setRestrict(v.isNullish() ? std::nullopt : std::optional(m.toText(v)));
  return Value();
}

Value getTextColor(Machine& m, const Value& self, std::span<Value>) {
  return Value(static_cast<uint32_t>(fieldOf(m, self).newTextFormat().color.value_or(0)));
}

// The colour of all the text and of the text to come.
Value setTextColor(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  TextStyle s;
  s.color = static_cast<double>(m.toUint(arg(args, 0)) & 0xFFFFFF);
  f.setNewTextFormat(s);
  f.setFormat(0, f.length(), s);
  return Value();
}

Value setSelection(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  f.setSelection(m.toInt(arg(args, 0)), m.toInt(arg(args, 1)));
  return Value();
}

// ---- Formats ----

// What a format given to a field changes: an empty font name keeps the font.
TextStyle applied(const TextStyle& s) {
  TextStyle out = s;
  if (out.font && out.font->empty()) out.font.reset();
  return out;
}

Value getDefaultFormat(Machine& m, const Value& self, std::span<Value>) {
  return makeTextFormat(m, fieldOf(m, self).newTextFormat());
}

Value setDefaultFormat(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  f.setNewTextFormat(applied(textFormatArg(m, arg(args, 0), "format")));
  return Value();
}

// getTextFormat(begin = -1, end = -1): -1 means the start, or the end of the text.
Value getTextFormat(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  const int n = f.length();
  double b = numberArg(m, args, 0, -1), e = numberArg(m, args, 1, -1);
  if (b == -1) b = 0;
  if (e == -1) e = n;
  const int begin = indexIn(m, b, n), end = indexIn(m, e, n);
  if (n == 0) return makeTextFormat(m, f.newTextFormat());
  if (begin >= end) return makeTextFormat(m, f.format(begin, std::min(begin + 1, n)));
  return makeTextFormat(m, f.format(begin, end));
}

// setTextFormat(format, begin = -1, end = -1): all the text, or the one character at
// `begin`, or [begin, end).
Value setTextFormat(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  const TextStyle style = applied(textFormatArg(m, arg(args, 0), "format"));
  const int n = f.length();
  const double b = numberArg(m, args, 1, -1), e = numberArg(m, args, 2, -1);
  int begin = 0, end = n;
  if (b != -1) {
    begin = indexIn(m, b, n);
    end = e == -1 ? std::min(begin + 1, n) : indexIn(m, e, n);
  } else if (e != -1) {
    end = indexIn(m, e, n);
  }
  if (begin < end) f.setFormat(begin, end, style);
  return Value();
}

// The stretches of text with one format each, as {beginIndex, endIndex, textFormat}.
Value getTextRuns(Machine& m, const Value& self, std::span<Value>) {
  TextFieldAccess& f = fieldOf(m, self);
  const int n = f.length();
  std::vector<Value> runs;
  auto add = [&](int begin, int end, const TextStyle& style) {
    Value run(m.newObject());
    m.set(run, "beginIndex", Value(begin));
    m.set(run, "endIndex", Value(end));
    m.set(run, "textFormat", makeTextFormat(m, style));
    runs.push_back(run);
  };
  int begin = 0;
  TextStyle style = n > 0 ? f.format(0, 1) : TextStyle{};
  for (int i = 1; i < n; ++i) {
    TextStyle next = f.format(i, i + 1);
    if (next == style) continue;
    add(begin, i, style);
    begin = i;
    style = std::move(next);
  }
  if (n > 0) add(begin, n, style);
  return Value(m.newArray(std::move(runs)));
}

// ---- Lines ----

TextFieldAccess::Line lineArg(Machine& m, const Value& self, std::span<Value> args) {
  std::vector<TextFieldAccess::Line> lines = fieldOf(m, self).lines();
  const double i = m.toNumber(arg(args, 0));
  if (!(i >= 0 && i < static_cast<double>(lines.size()))) m.fail(ErrorClass::RangeError, 2006);
  return lines[static_cast<size_t>(i)];
}

Value getLineText(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess::Line line = lineArg(m, self, args);
  const std::u16string all = utf16(fieldOf(m, self).text());
  const size_t at = std::min(all.size(), static_cast<size_t>(line.offset));
  return text(utf8(all.substr(at, static_cast<size_t>(line.length))));
}

Value getLineLength(Machine& m, const Value& self, std::span<Value> args) {
  return Value(lineArg(m, self, args).length);
}

Value getLineOffset(Machine& m, const Value& self, std::span<Value> args) {
  return Value(lineArg(m, self, args).offset);
}

Value getCharBoundaries(Machine& m, const Value& self, std::span<Value> args) {
  const std::optional<TextFieldAccess::Box> b =
      fieldOf(m, self).charBoundaries(m.toInt(arg(args, 0)));
  if (!b) return Value::null();
  return geomValue(makeGeom(m, "Rectangle", {b->x, b->y, b->width, b->height}));
}

template <bool Char>
Value indexAtPoint(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  const double x = m.toNumber(arg(args, 0)), y = m.toNumber(arg(args, 1));
  if (!std::isfinite(x) || !std::isfinite(y)) return Value(-1);
  return Value(static_cast<int32_t>(Char ? f.charAtPoint(x, y) : f.lineAtPoint(x, y)));
}

// The line or paragraph holding a character; -1 for an index outside the text.
Value getLineIndexOfChar(Machine& m, const Value& self, std::span<Value> args) {
  TextFieldAccess& f = fieldOf(m, self);
  const double at = m.toNumber(arg(args, 0));
  if (!(at >= 0 && at < f.length())) return Value(-1);
  std::vector<TextFieldAccess::Line> lines = f.lines();
  for (size_t i = 0; i < lines.size(); ++i)
    if (at < lines[i].offset + lines[i].length) return Value(static_cast<int32_t>(i));
  return Value(static_cast<int32_t>(lines.size()) - 1);
}

// [first, end) of the paragraph holding character `at` (its line end included).
std::pair<size_t, size_t> paragraphAt(const std::u16string& text, size_t at) {
  size_t first = at, end = at;
  while (first > 0 && text[first - 1] != u'\r' && text[first - 1] != u'\n') --first;
  while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
  return {first, std::min(end + 1, text.size())};
}

template <bool Length>
Value paragraphOf(Machine& m, const Value& self, std::span<Value> args) {
  const std::u16string text = utf16(fieldOf(m, self).text());
  const double at = m.toNumber(arg(args, 0));
  if (!(at >= 0 && at < static_cast<double>(text.size()))) return Value(-1);
  auto [first, end] = paragraphAt(text, static_cast<size_t>(at));
  return Value(static_cast<int32_t>(Length ? end - first : first));
}

Value getNull(Machine&, const Value&, std::span<Value>) { return Value::null(); }
Value getFalse(Machine&, const Value&, std::span<Value>) { return Value(false); }
Value getAntiAlias(Machine& m, const Value& self, std::span<Value>) {
  return text(fieldOf(m, self).mode(TextMode::AntiAliasType));
}

// An unknown name leaves the smoothing as it was.
Value setAntiAlias(Machine& m, const Value& self, std::span<Value> args) {
  const std::string v = textArg(m, args, 0, "antiAliasType");
  if (v == "normal" || v == "advanced") fieldOf(m, self).setMode(TextMode::AntiAliasType, v);
  return Value();
}

Value getGridFit(Machine& m, const Value& self, std::span<Value>) {
  return text(fieldOf(m, self).mode(TextMode::GridFitType));
}

// An unknown name turns grid fitting off.
Value setGridFit(Machine& m, const Value& self, std::span<Value> args) {
  const std::string v = textArg(m, args, 0, "gridFitType");
  fieldOf(m, self).setMode(TextMode::GridFitType,
                           v == "pixel" || v == "subpixel" ? v : std::string("none"));
  return Value();
}
Value ignore(Machine&, const Value&, std::span<Value>) { return Value(); }

#define ORV_NUMBER_GET(name, which) {#name, MemberKind::Getter, getNumber<TextNumber::which>}
#define ORV_NUMBER(name, which) ORV_NUMBER_GET(name, which), \
    {#name, MemberKind::Setter, setNumber<TextNumber::which>}
#define ORV_FLAG(name, which) {#name, MemberKind::Getter, getFlag<TextFlag::which>}, \
    {#name, MemberKind::Setter, setFlag<TextFlag::which>}

constexpr NativeMember kFieldMembers[] = {
    {"text", MemberKind::Getter, getText},
    {"text", MemberKind::Setter, setText},
    {"htmlText", MemberKind::Getter, getHtml},
    {"htmlText", MemberKind::Setter, setHtml},
    {"length", MemberKind::Getter, getLength},
    {"appendText", MemberKind::FinalMethod, appendText, 1},
    {"replaceText", MemberKind::FinalMethod, replaceText, 3},
    {"replaceSelectedText", MemberKind::FinalMethod, replaceSelectedText, 1},
    {"selectedText", MemberKind::Getter, getSelectedText},
    ORV_NUMBER_GET(textWidth, TextWidth),
    ORV_NUMBER_GET(textHeight, TextHeight),
    ORV_NUMBER_GET(numLines, NumLines),
    ORV_NUMBER(scrollV, ScrollV),
    ORV_NUMBER_GET(maxScrollV, MaxScrollV),
    ORV_NUMBER_GET(bottomScrollV, BottomScrollV),
    ORV_NUMBER(scrollH, ScrollH),
    ORV_NUMBER_GET(maxScrollH, MaxScrollH),
    ORV_NUMBER(maxChars, MaxChars),
    ORV_NUMBER(backgroundColor, BackgroundColor),
    ORV_NUMBER(borderColor, BorderColor),
    ORV_NUMBER_GET(selectionBeginIndex, SelectionBegin),
    ORV_NUMBER_GET(selectionEndIndex, SelectionEnd),
    ORV_NUMBER_GET(caretIndex, CaretIndex),
    ORV_FLAG(wordWrap, WordWrap),
    ORV_FLAG(multiline, Multiline),
    ORV_FLAG(selectable, Selectable),
    ORV_FLAG(border, Border),
    ORV_FLAG(background, Background),
    ORV_FLAG(displayAsPassword, Password),
    ORV_FLAG(embedFonts, EmbedFonts),
    ORV_FLAG(condenseWhite, CondenseWhite),
    ORV_FLAG(mouseWheelEnabled, MouseWheel),
    {"type", MemberKind::Getter, getType},
    {"type", MemberKind::Setter, setType},
    {"autoSize", MemberKind::Getter, getAutoSize},
    {"autoSize", MemberKind::Setter, setAutoSize},
    {"restrict", MemberKind::Getter, getRestrict},
    {"restrict", MemberKind::Setter, setRestrict},
    {"textColor", MemberKind::Getter, getTextColor},
    {"textColor", MemberKind::Setter, setTextColor},
    {"defaultTextFormat", MemberKind::Getter, getDefaultFormat},
    {"defaultTextFormat", MemberKind::Setter, setDefaultFormat},
    {"getTextFormat", MemberKind::FinalMethod, getTextFormat, 2},
    {"setTextFormat", MemberKind::FinalMethod, setTextFormat, 3},
    {"setSelection", MemberKind::FinalMethod, setSelection, 2},
    {"getTextRuns", MemberKind::FinalMethod, getTextRuns, 2},
    {"getLineText", MemberKind::FinalMethod, getLineText, 1},
    {"getLineIndexOfChar", MemberKind::FinalMethod, getLineIndexOfChar, 1},
    {"getFirstCharInParagraph", MemberKind::FinalMethod, paragraphOf<false>, 1},
    {"getParagraphLength", MemberKind::FinalMethod, paragraphOf<true>, 1},
    {"getLineLength", MemberKind::FinalMethod, getLineLength, 1},
    {"getLineOffset", MemberKind::FinalMethod, getLineOffset, 1},
    {"getCharBoundaries", MemberKind::FinalMethod, getCharBoundaries, 1},
    {"getLineIndexAtPoint", MemberKind::FinalMethod, indexAtPoint<false>, 2},
    {"getCharIndexAtPoint", MemberKind::FinalMethod, indexAtPoint<true>, 2},
    // Rendering hints the device-font renderer does not use.
    {"styleSheet", MemberKind::Getter, getNull},
    {"styleSheet", MemberKind::Setter, ignore},
    {"alwaysShowSelection", MemberKind::Getter, getFalse},
    {"alwaysShowSelection", MemberKind::Setter, ignore},
    {"useRichTextClipboard", MemberKind::Getter, getFalse},
    {"useRichTextClipboard", MemberKind::Setter, ignore},
    {"antiAliasType", MemberKind::Getter, getAntiAlias},
    {"antiAliasType", MemberKind::Setter, setAntiAlias},
    {"gridFitType", MemberKind::Getter, getGridFit},
    {"gridFitType", MemberKind::Setter, setGridFit},
    ORV_NUMBER(sharpness, Sharpness),
    ORV_NUMBER(thickness, Thickness),
};

#undef ORV_NUMBER_GET
#undef ORV_NUMBER
#undef ORV_FLAG

// ---- StaticText: only the timeline makes them ----

Value staticInit(Machine& m, const Value& self, std::span<Value>) {
  if (displayOf(m, self, "StaticText")->handle == 0)
    m.fail(ErrorClass::ArgumentError, 2012, {"StaticText$"});
  return Value();
}

Value staticText(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = displayOf(m, self, "StaticText");
  std::optional<std::string> chars = m.host ? m.host->staticText(d->handle) : std::nullopt;
  return chars ? text(*chars) : Value::null();
}

constexpr NativeMember kStaticMembers[] = {
    {"text", MemberKind::Getter, staticText},
};

// ---- Font: an embedded font as its linked class names it ----

class FontObject : public Object {
 public:
  using Object::Object;
  std::optional<Host::FontInfo> font;
};

FontObject* fontSelf(Machine& m, const Value& self) { return receiver<FontObject>(m, self, "Font"); }

std::optional<Host::FontInfo> fontOfClass(Machine& m, ClassObject* cls) {
  for (int i = 0; cls && m.host && i < 64; cls = cls->base, ++i)
    if (auto f = m.host->linkedFont(m.toText(Value(cls->name)))) return f;
  return std::nullopt;
}

Value fontInit(Machine& m, const Value& self, std::span<Value>) {
  FontObject* f = fontSelf(m, self);
  f->font = fontOfClass(m, f->klass());
  return Value();
}

Value fontName(Machine& m, const Value& self, std::span<Value>) {
  const auto& f = fontSelf(m, self)->font;
  return f ? text(f->name) : Value::null();
}

Value fontStyle(Machine& m, const Value& self, std::span<Value>) {
  const auto& f = fontSelf(m, self)->font;
  if (!f) return Value::null();
  return text(f->bold ? (f->italic ? "boldItalic" : "bold") : (f->italic ? "italic" : "regular"));
}

Value fontType(Machine& m, const Value& self, std::span<Value>) {
  return fontSelf(m, self)->font ? text("embedded") : Value::null();
}

// The fonts registered so far, kept on the Font class where no script names them.
constexpr const char* kRegistered = " registered";

ArrayObject* registered(Machine& m) {
  ClassObject* cls = m.findClass("flash.text.Font");
  String* key = m.intern(kRegistered);
  const Value* found = cls->findOwn(key);
  Value list = found ? *found : Value();
  if (!list.isObject() || !dynamic_cast<ArrayObject*>(list.asObject())) {
    list = Value(m.newArray());
    cls->setHidden(key, list);
  }
  return static_cast<ArrayObject*>(list.asObject());
}

// registerFont(class): what is no Font class is ArgumentError #1508; a font of a kind the
// player does not read (its outlines in another format) is left out.
Value registerFont(Machine& m, const Value&, std::span<Value> args) {
  const Value v = arg(args, 0);
  auto* cls = v.isObject() ? dynamic_cast<ClassObject*>(v.asObject()) : nullptr;
  ClassObject* fontClass = m.findClass("flash.text.Font");
  if (!cls || !fontClass || !cls->isSubclassOf(fontClass))
    m.fail(ErrorClass::ArgumentError, 1508, {"font"});
  std::optional<Host::FontInfo> font = fontOfClass(m, cls);
  if (!font) return Value();
  ArrayObject* list = registered(m);
  for (const Value& known : list->elements)
    if (auto* k = dynamic_cast<FontObject*>(known.asObject()); k && k->font &&
        k->font->name == font->name && k->font->bold == font->bold && k->font->italic == font->italic)
      return Value();
  if (list->elements.size() >= 4096) return Value();
  auto* made = static_cast<FontObject*>(m.allocate(m.findClass("flash.text.Font")));
  made->font = font;
  list->elements.push_back(Value(static_cast<Object*>(made)));
  return Value();
}

// The movie's embedded fonts, then those registered that are not among them.
Value enumerateFonts(Machine& m, const Value&, std::span<Value>) {
  std::vector<Value> out;
  ClassObject* cls = m.findClass("flash.text.Font");
  std::vector<Host::FontInfo> fonts = m.host ? m.host->embeddedFonts() : std::vector<Host::FontInfo>{};
  auto same = [](const Host::FontInfo& a, const Host::FontInfo& b) {
    return a.name == b.name && a.bold == b.bold && a.italic == b.italic;
  };
  for (const Value& known : registered(m)->elements)
    if (auto* k = dynamic_cast<FontObject*>(known.asObject()); k && k->font &&
        std::none_of(fonts.begin(), fonts.end(), [&](const Host::FontInfo& f) { return same(f, *k->font); }))
      fonts.push_back(*k->font);
  for (const Host::FontInfo& f : fonts) {
    auto* made = static_cast<FontObject*>(m.allocate(cls));
    made->font = f;
    out.emplace_back(static_cast<Object*>(made));
  }
  return Value(m.newArray(std::move(out)));
}

Value hasGlyphs(Machine& m, const Value& self, std::span<Value>) {
  return Value(fontSelf(m, self)->font.has_value());
}

Object* allocFont(Machine& m, ClassObject* cls) {
  return m.heap.make<FontObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

constexpr NativeMember kFontMembers[] = {
    {"enumerateFonts", MemberKind::StaticMethod, enumerateFonts, 1},
    {"registerFont", MemberKind::StaticMethod, registerFont, 1},
    {"fontName", MemberKind::Getter, fontName},
    {"fontStyle", MemberKind::Getter, fontStyle},
    {"fontType", MemberKind::Getter, fontType},
    {"hasGlyphs", MemberKind::FinalMethod, hasGlyphs, 1},
};

}  // namespace

void installTextFields(Machine& m) {
  installClass(m, {.package = "flash.text",
                   .name = "TextField",
                   .base = "flash.display.InteractiveObject",
                   .members = kFieldMembers,
                   .dynamic = false});
  installClass(m, {.package = "flash.text",
                   .name = "StaticText",
                   .base = "flash.display.DisplayObject",
                   .members = kStaticMembers,
                   .init = staticInit,
                   .dynamic = false,
                   .isFinal = true});
  installClass(m, {.package = "flash.text",
                   .name = "Font",
                   .members = kFontMembers,
                   .init = fontInit,
                   .alloc = allocFont,
                   .dynamic = false});
}

}  // namespace orv::movie::avm2
