// TextField: edit text instances and fields made by createTextField, with their text,
// HTML, formats and the variable a field shows; and Selection, the keyboard focus.
#include <array>
#include <cctype>
#include <cmath>

#include "movie/avm1/native_table.h"
#include "movie/avm1/text_format_object.h"

namespace orv::movie::avm1 {

namespace {

using movie::EditTextState;

EditTextState* fieldOf(const Value& v) {
  Object* o = v.isObject() ? v.asObject() : nullptr;
  return o && o->kind == ObjectKind::Clip && o->clip ? o->clip->textField() : nullptr;
}

// The object holding a field's variable and the member's name; the path is read from the
// field's parent clip ("x", "a.b.x", "/a:x", "_root.x").
Object* variableOwner(Vm& vm, ScriptClip* field, const std::string& path, std::string* member) {
  ScriptClip* parent = field->parent();
  if (!parent || path.empty()) return nullptr;
  Object* base = vm.objectFor(parent);
  const size_t cut = path.find_last_of(".:");
  if (cut == std::string::npos) {
    *member = path;
    return base;
  }
  *member = path.substr(cut + 1);
  return vm.clipObjectAtPath(base, path.substr(0, cut));
}

// The field shows its variable's value when the variable holds one.
void pullVariable(Vm& vm, ScriptClip* field, EditTextState& state) {
  if (state.variable.empty()) return;
  std::string member;
  Object* owner = variableOwner(vm, field, state.variable, &member);
  if (!owner || member.empty()) return;
  Value v = vm.getMember(owner, member);
  if (v.isUndefined()) return;
  std::string s = vm.toString(v);
  if (s == state.text()) return;
  if (state.def().html)
    state.setHtmlText(s);
  else
    state.setText(s);
}

void pushVariable(Vm& vm, ScriptClip* field, EditTextState& state) {
  if (state.variable.empty()) return;
  std::string member;
  Object* owner = variableOwner(vm, field, state.variable, &member);
  if (owner && !member.empty()) vm.setMember(owner, member, Value(state.text()));
}

size_t clampIndex(Vm& vm, const Value& v, size_t fallback, size_t length) {
  if (v.isUndefined()) return fallback;
  const double n = vm.toNumber(v);
  if (!(n >= 0)) return fallback;
  return static_cast<size_t>(std::min(n, static_cast<double>(length)));
}

// getTextFormat()/setTextFormat() ranges: (), (index), (begin, end).
void rangeOf(Vm& vm, CallInfo& c, size_t formatArgs, size_t length, size_t* begin, size_t* end) {
  const size_t n = c.args.size() > formatArgs ? c.args.size() - formatArgs : 0;
  *begin = 0;
  *end = length;
  if (n >= 1) {
    const double b = vm.toNumber(c.arg(0));
    if (std::isfinite(b) && b >= 0) {
      *begin = static_cast<size_t>(std::min(b, static_cast<double>(length)));
      *end = std::min(*begin + 1, length);
    }
  }
  if (n >= 2) *end = std::max(*begin, clampIndex(vm, c.arg(1), length, length));
}

double colorNumber(Vm& vm, const Value& v) {
  return static_cast<double>(toUint32(vm.toNumber(v)) & 0xFFFFFFu);
}

struct Accessor {
  const char* name;
  Value (*get)(Vm&, ScriptClip*, EditTextState&);
  void (*set)(Vm&, ScriptClip*, EditTextState&, const Value&);  // nullptr: read-only
};

constexpr Accessor kAccessors[] = {
    {"text",
     [](Vm& vm, ScriptClip* f, EditTextState& s) {
       pullVariable(vm, f, s);
       return Value(s.text());
     },
     [](Vm& vm, ScriptClip* f, EditTextState& s, const Value& v) {
       s.setText(vm.toString(v));
       pushVariable(vm, f, s);
     }},
    {"htmlText",
     [](Vm& vm, ScriptClip* f, EditTextState& s) {
       pullVariable(vm, f, s);
       return Value(s.def().html ? s.htmlText() : s.text());
     },
     [](Vm& vm, ScriptClip* f, EditTextState& s, const Value& v) {
       if (s.def().html)
         s.setHtmlText(vm.toString(v));
       else
         s.setText(vm.toString(v));
       pushVariable(vm, f, s);
     }},
    {"html", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.def().html); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) { s.def().html = vm.toBool(v); }},
    {"length",
     [](Vm& vm, ScriptClip* f, EditTextState& s) {
       pullVariable(vm, f, s);
       return Value(static_cast<double>(s.chars().size()));
     },
     nullptr},
    // Whole pixels, the fraction cut off.
    {"textWidth",
     [](Vm&, ScriptClip*, EditTextState& s) { return Value(std::floor(s.textWidth() + 1e-6)); },
     nullptr},
    {"textHeight",
     [](Vm&, ScriptClip*, EditTextState& s) { return Value(std::floor(s.textHeight() + 1e-6)); },
     nullptr},
    {"autoSize", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.autoSize); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       if (v.isBool())
         s.autoSize = v.asBool() ? "left" : "none";
       else {
         std::string a = vm.toString(v);
         for (char& ch : a) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
         s.autoSize = a == "left" || a == "right" || a == "center" ? a : "none";
       }
       s.fitToText();
     }},
    {"wordWrap", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.def().wordWrap); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       s.def().wordWrap = vm.toBool(v);
       s.fitToText();
     }},
    {"multiline", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.def().multiline); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       s.def().multiline = vm.toBool(v);
     }},
    {"border", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.borderOn); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       s.borderOn = vm.toBool(v);
       s.def().border = s.borderOn || s.background;
     }},
    {"borderColor",
     [](Vm&, ScriptClip*, EditTextState& s) { return Value(static_cast<double>(s.borderColor)); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       s.borderColor = static_cast<uint32_t>(colorNumber(vm, v));
     }},
    {"background", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.background); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       s.background = vm.toBool(v);
       s.def().border = s.borderOn || s.background;
     }},
    {"backgroundColor",
     [](Vm&, ScriptClip*, EditTextState& s) {
       return Value(static_cast<double>(s.backgroundColor));
     },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       s.backgroundColor = static_cast<uint32_t>(colorNumber(vm, v));
     }},
    {"textColor",
     [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.newFormat.color.value_or(0)); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       movie::TextFormat f;
       f.color = colorNumber(vm, v);
       s.newFormat.apply(f);
       s.setFormat(0, s.chars().size(), f);
     }},
    {"maxChars",
     [](Vm&, ScriptClip*, EditTextState& s) {
       return s.def().hasMaxLength && s.def().maxLength
                  ? Value(static_cast<double>(s.def().maxLength))
                  : Value::null();
     },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       const double n = vm.toNumber(v);
       s.def().hasMaxLength = std::isfinite(n) && n > 0;
       s.def().maxLength = s.def().hasMaxLength ? static_cast<uint16_t>(std::min(n, 65535.0)) : 0;
     }},
    {"restrict",
     [](Vm&, ScriptClip*, EditTextState& s) {
       return s.restrict ? Value(*s.restrict) : Value::null();
     },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       // No list and an empty one alike let every character in.
       const std::string list = v.isNullish() ? std::string() : vm.toString(v);
       if (list.empty())
         s.restrict.reset();
       else
         s.restrict = list;
     }},
    // Unknown names leave the setting as it was; the numbers are kept as given.
    {"antiAliasType", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.antiAliasType); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       const std::string t = vm.toString(v);
       if (t == "normal" || t == "advanced") s.antiAliasType = t;
     }},
    {"gridFitType", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.gridFitType); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       const std::string t = vm.toString(v);
       if (t == "none" || t == "pixel" || t == "subpixel") s.gridFitType = t;
     }},
    {"thickness", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.thickness); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) { s.thickness = vm.toNumber(v); }},
    {"sharpness", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.sharpness); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) { s.sharpness = vm.toNumber(v); }},
    {"mouseWheelEnabled",
     [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.mouseWheelEnabled); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       s.mouseWheelEnabled = vm.toBool(v);
     }},
    {"selectable", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.selectable); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       s.selectable = vm.toBool(v);
       s.def().noSelect = !s.selectable;
     }},
    {"type",
     [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.input ? "input" : "dynamic"); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       std::string t = vm.toString(v);
       if (t == "input" || t == "dynamic") s.input = t == "input";
       s.def().readOnly = !s.input;
     }},
    {"password", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.password); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       s.password = s.def().password = vm.toBool(v);
     }},
    {"embedFonts", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.embedFonts); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       s.embedFonts = s.def().useOutlines = vm.toBool(v);
     }},
    {"condenseWhite", [](Vm&, ScriptClip*, EditTextState& s) { return Value(s.condenseWhite); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) { s.condenseWhite = vm.toBool(v); }},
    {"variable",
     [](Vm&, ScriptClip*, EditTextState& s) {
       return s.variable.empty() ? Value::null() : Value(s.variable);
     },
     [](Vm& vm, ScriptClip* f, EditTextState& s, const Value& v) {
       s.variable = v.isNullish() ? "" : vm.toString(v);
       pullVariable(vm, f, s);
     }},
    {"scroll",
     [](Vm&, ScriptClip*, EditTextState& s) { return Value(static_cast<double>(s.scroll)); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       const double n = vm.toNumber(v);
       if (std::isfinite(n))
         s.scroll =
             static_cast<int>(std::clamp(std::trunc(n), 1.0, static_cast<double>(s.maxScroll())));
     }},
    {"maxscroll",
     [](Vm&, ScriptClip*, EditTextState& s) { return Value(static_cast<double>(s.maxScroll())); },
     nullptr},
    {"bottomScroll",
     [](Vm&, ScriptClip*, EditTextState& s) {
       return Value(static_cast<double>(s.bottomScroll()));
     },
     nullptr},
    {"hscroll",
     [](Vm&, ScriptClip*, EditTextState& s) { return Value(static_cast<double>(s.hscroll)); },
     [](Vm& vm, ScriptClip*, EditTextState& s, const Value& v) {
       // A 32-bit integer, kept between 0 and maxhscroll.
       const double n = static_cast<double>(toInt32(vm.toNumber(v)));
       const double room = (s.def().bounds.xMax - s.def().bounds.xMin) / 20.0 - 4;
       const double most = std::max(0.0, std::round(s.textWidth() - room));
       s.hscroll = static_cast<int>(std::clamp(n, 0.0, most));
     }},
    {"maxhscroll",
     [](Vm&, ScriptClip*, EditTextState& s) {
       const double room = (s.def().bounds.xMax - s.def().bounds.xMin) / 20.0 - 4;
       return Value(std::max(0.0, std::round(s.textWidth() - room)));
     },
     nullptr},
};

// The field accessors, by variant: the index of their row in kAccessors.
Value readField(Vm& vm, CallInfo& c) {
  EditTextState* s = fieldOf(c.thisValue);
  return s ? kAccessors[c.variant].get(vm, c.thisObject()->clip, *s) : Value();
}

Value writeField(Vm& vm, CallInfo& c) {
  EditTextState* s = fieldOf(c.thisValue);
  const auto set = kAccessors[c.variant].set;
  if (s && set) set(vm, c.thisObject()->clip, *s, c.arg(0));
  return Value();
}

// Each accessor as a getter and a setter row (a read-only one's setter ignores the value).
constexpr auto kFieldAccessors = [] {
  std::array<NativeMember, 2 * std::size(kAccessors)> rows{};
  for (size_t i = 0; i < std::size(kAccessors); ++i) {
    rows[2 * i] = getter(kAccessors[i].name, readField, kDontEnum, static_cast<int>(i));
    rows[2 * i + 1] = setter(kAccessors[i].name, writeField, kDontEnum, static_cast<int>(i));
  }
  return rows;
}();

Value textFieldOrUndefined(Vm& vm, ScriptClip* made) {
  return made && made->textField() ? Value(vm.objectFor(made)) : Value();
}

Value getTextFormat(Vm& vm, CallInfo& c) {
  EditTextState* s = fieldOf(c.thisValue);
  if (!s) return Value();
  size_t b, e;
  rangeOf(vm, c, 0, s->chars().size(), &b, &e);
  return Value(static_cast<Object*>(newTextFormatObject(vm, s->formatOf(b, e))));
}

Value setTextFormat(Vm& vm, CallInfo& c) {
  EditTextState* s = fieldOf(c.thisValue);
  if (!s || c.args.empty()) return Value();
  const movie::TextFormat* f = textFormatOf(c.args.back());
  if (!f) return Value();
  size_t b, e;
  rangeOf(vm, c, 1, s->chars().size(), &b, &e);
  s->setFormat(b, e, *f);
  return Value();
}

Value getNewTextFormat(Vm& vm, CallInfo& c) {
  EditTextState* s = fieldOf(c.thisValue);
  return s ? Value(static_cast<Object*>(newTextFormatObject(vm, s->newFormat))) : Value();
}

Value setNewTextFormat(Vm&, CallInfo& c) {
  EditTextState* s = fieldOf(c.thisValue);
  const movie::TextFormat* f = textFormatOf(c.arg(0));
  if (s && f) s->newFormat.apply(*f);
  return Value();
}

Value replaceText(Vm& vm, CallInfo& c) {
  EditTextState* s = fieldOf(c.thisValue);
  if (!s || c.args.size() < 3) return Value();
  const size_t len = s->chars().size();
  const size_t b = clampIndex(vm, c.arg(0), len, len), e = clampIndex(vm, c.arg(1), len, len);
  if (e < b) return Value();
  s->replaceText(b, e, movie::decodeText(vm.toString(c.arg(2)), s->utf8));
  pushVariable(vm, c.thisObject()->clip, *s);
  return Value();
}

// No text is ever selected here (no field takes the keyboard): the caret is at the end.
Value replaceSel(Vm& vm, CallInfo& c) {
  EditTextState* s = fieldOf(c.thisValue);
  if (!s || c.args.empty()) return Value();
  const size_t len = s->chars().size();
  s->replaceText(len, len, movie::decodeText(vm.toString(c.arg(0)), s->utf8));
  pushVariable(vm, c.thisObject()->clip, *s);
  return Value();
}

Value removeTextField(Vm&, CallInfo& c) {
  Object* o = c.thisObject();
  if (o && o->kind == ObjectKind::Clip && o->clip && o->clip->textField()) o->clip->removeSelf();
  return Value();
}

Value getDepth(Vm&, CallInfo& c) {
  Object* o = c.thisObject();
  if (!o || o->kind != ObjectKind::Clip || !o->clip) return Value();
  return Value(static_cast<double>(o->clip->depth()));
}

Value getFontList(Vm& vm, CallInfo&) {
  return Value(vm.newArray(
      {Value("_sans"), Value("_serif"), Value("_typewriter"), Value("Times New Roman")}));
}

constexpr NativeMember kTextFieldMethods[] = {
    method("getTextFormat", getTextFormat),       method("setTextFormat", setTextFormat),
    method("getNewTextFormat", getNewTextFormat), method("setNewTextFormat", setNewTextFormat),
    method("replaceText", replaceText),           method("replaceSel", replaceSel),
    method("removeTextField", removeTextField),   method("getDepth", getDepth),
    method("getFontList", getFontList),
};
constexpr NativeMember kTextFieldStatics[] = {method("getFontList", getFontList)};
constexpr NativeClass kTextFieldClass{
    .name = "TextField", .constructor = returnThis, .statics = kTextFieldStatics};

// MovieClip.createTextField(name, depth, x, y, width, height); the field is returned from
// SWF 8.
Value createTextField(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self || self->kind != ObjectKind::Clip || !self->clip || c.args.size() < 6) return Value();
  double n[5];
  for (size_t i = 0; i < 5; ++i) {
    n[i] = vm.toNumber(c.arg(i + 1));
    if (!std::isfinite(n[i])) n[i] = 0;
  }
  ScriptClip* made = self->clip->createTextField(
      vm.toString(c.arg(0)), static_cast<int>(std::clamp(n[0], -16384.0, 2130706428.0)), n[1], n[2],
      std::abs(n[3]), std::abs(n[4]));
  Value field = textFieldOrUndefined(vm, made);
  return vm.version() >= 8 ? field : Value();
}

constexpr NativeMember kClipFields[] = {method("createTextField", createTextField)};

// ---------------------------------------------------------------- Selection

// The keyboard focus: a text field, button or movie clip, and the selection within a
// focused text field.
class SelectionObject : public Object {
 public:
  SelectionObject() : Object(ObjectKind::Plain) {}
  Object* focus = nullptr;
  void traceRefs(std::vector<Object*>& out) override {
    Object::traceRefs(out);
    if (focus) out.push_back(focus);
  }
};

// The focused object while it is still on the stage.
ScriptClip* focusedClip(SelectionObject* s) {
  return s && s->focus && s->focus->kind == ObjectKind::Clip ? s->focus->clip : nullptr;
}

// Text fields and buttons take the focus; movie clips when focusEnabled or when they
// act as buttons.
bool takesFocus(Vm& vm, ScriptClip* clip) {
  if (clip->textField() || clip->isButton()) return true;
  Object* o = vm.objectFor(clip);
  if (vm.toBool(vm.getMember(o, "focusEnabled"))) return true;
  for (const char* handler : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut",
                              "onDragOver", "onDragOut"}) {
    Value h = vm.getMember(o, handler);
    if (h.isObject() && h.asObject()->kind == ObjectKind::Function) return true;
  }
  return false;
}

SelectionObject* selectionOf(Vm& vm) {
  const Value sel = vm.getMember(vm.global, "Selection");
  return sel.isObject() ? dynamic_cast<SelectionObject*>(sel.asObject()) : nullptr;
}

// The focus goes to `clip` (nullptr: nowhere). When it changes, the object losing it hears
// onKillFocus(new), the one taking it onSetFocus(old), then Selection's listeners
// onSetFocus(old, new) (SWF 6 on).
void moveFocus(Vm& vm, SelectionObject* s, ScriptClip* clip) {
  Object* old = focusedClip(s) ? s->focus : nullptr;
  Object* now = clip ? vm.objectFor(clip) : nullptr;
  if (EditTextState* field = focusedClip(s) ? focusedClip(s)->textField() : nullptr)
    field->focused = false;
  s->focus = now;
  if (EditTextState* field = clip ? clip->textField() : nullptr) {
    field->focused = true;
    field->caretIndex = 0;
    field->selectionAnchor = SIZE_MAX;
  }
  if (old == now || vm.version() < 6) return;
  const Value oldValue = old ? Value(old) : Value::null(),
              nowValue = now ? Value(now) : Value::null();
  if (old) vm.callMethodIfPresent(old, "onKillFocus", {nowValue});
  if (now && s->focus == now) vm.callMethodIfPresent(now, "onSetFocus", {oldValue});
  std::vector<Value> args{Value("onSetFocus"), oldValue, nowValue};
  Value broadcast = vm.getMember(Value(static_cast<Object*>(s)), "broadcastMessage");
  if (broadcast.isObject()) vm.call(broadcast, Value(static_cast<Object*>(s)), args);
}

SelectionObject* selectionThis(CallInfo& c) {
  return dynamic_cast<SelectionObject*>(c.thisObject());
}

Value getFocus(Vm& vm, CallInfo& c) {
  ScriptClip* f = focusedClip(selectionThis(c));
  return f ? Value(vm.targetPath(f)) : Value::null();
}

Value setFocus(Vm& vm, CallInfo& c) {
  SelectionObject* s = selectionThis(c);
  if (!s || c.args.empty()) return Value(false);
  const Value target = c.arg(0);
  // Giving the focus up takes nothing more than the null or undefined.
  if (target.isNullish() && c.args.size() > 1) return Value(false);
  ScriptClip* clip = nullptr;
  if (target.isNullish()) {
    clip = nullptr;
  } else if (target.isString()) {
    Object* base = vm.objectFor(vm.rootClip());
    Object* o = vm.clipObjectAtPath(base, target.asString());
    clip = o && o->kind == ObjectKind::Clip ? o->clip : nullptr;
    if (!clip) return Value(false);
  } else {
    clip = vm.clipOf(target);
    if (!clip) return Value(false);
  }
  if (clip && !takesFocus(vm, clip)) return Value(false);
  moveFocus(vm, s, clip);
  return Value(true);
}

// The focused field's own selection and caret: what the user's clicks, drags and keys
// made of them, or setSelection.
enum Index { kBeginIndex, kEndIndex, kCaretIndex };

Value selectionIndex(Vm&, CallInfo& c) {
  ScriptClip* f = focusedClip(selectionThis(c));
  EditTextState* t = f ? f->textField() : nullptr;
  if (!t) return Value(-1.0);
  const auto [begin, end] = t->selection();
  const size_t at = c.variant == kBeginIndex ? begin
                    : c.variant == kEndIndex ? end
                                             : std::min(t->caretIndex, t->chars().size());
  return Value(static_cast<double>(at));
}

// setSelection(from, to): the caret goes where the selection ends, `to`.
Value setSelection(Vm& vm, CallInfo& c) {
  SelectionObject* s = selectionThis(c);
  ScriptClip* f = focusedClip(s);
  EditTextState* t = f ? f->textField() : nullptr;
  // Exactly a start and an end: any other count of arguments changes nothing.
  if (!t || c.args.size() != 2) return Value();
  const size_t len = t->chars().size();
  const size_t from = clampIndex(vm, c.arg(0), 0, len);
  const size_t to = clampIndex(vm, c.arg(1), 0, len);
  t->caretIndex = to;
  t->selectionAnchor = from;  // the field shows it selected
  return Value();
}

constexpr NativeMember kSelection[] = {
    method("getFocus", getFocus),
    method("setFocus", setFocus),
    method("getBeginIndex", selectionIndex, kDontEnum, kBeginIndex),
    method("getEndIndex", selectionIndex, kDontEnum, kEndIndex),
    method("getCaretIndex", selectionIndex, kDontEnum, kCaretIndex),
    method("setSelection", setSelection),
};

// Makes `target` a broadcaster from SWF 6 on, as AsBroadcaster.initialize does.
void broadcastFrom6(Vm& vm, Object* target) {
  if (vm.version() < 6) return;
  Value init = vm.getMember(vm.getMember(vm.global, "AsBroadcaster"), "initialize");
  Value arg(target);
  if (init.isObject()) vm.call(init, Value(), std::span<Value>(&arg, 1));
}

void installSelection(Vm& vm) {
  auto* sel = vm.allocate<SelectionObject>();
  sel->put("__proto__", Value(vm.objectProto), kDontEnum | kDontDelete, vm.caseInsensitive());
  vm.global->put("Selection", Value(static_cast<Object*>(sel)), kDontEnum, vm.caseInsensitive());
  // A clip that scripts hide loses the focus, and the listeners hear it (it may take the
  // focus again while hidden).
  vm.clipHidden = [](Vm& vm, ScriptClip* clip) {
    SelectionObject* s = selectionOf(vm);
    if (s && focusedClip(s) == clip) moveFocus(vm, s, nullptr);
  };
  installMembers(vm, sel, kSelection);
  broadcastFrom6(vm, sel);
}

}  // namespace

void installTextFieldBuiltins(Vm& vm) {
  const bool ci = vm.caseInsensitive();
  vm.textFieldProto = vm.newObject();
  InstalledClass field = installClass(vm, vm.global, kTextFieldClass, vm.textFieldProto);
  // The class came with SWF 6; older movies see the function without a prototype.
  if (vm.version() < 6) field.constructor->removeOwn("prototype", ci);
  // Fields take filters as clips do.
  if (const Property* filters = vm.clipProto ? vm.clipProto->findOwn("filters", ci) : nullptr)
    field.prototype->defineOwn("filters", ci) = *filters;
  installMembers(vm, field.prototype, kFieldAccessors);
  installMembers(vm, field.prototype, kTextFieldMethods);
  installTextSnapshotBuiltins(vm);
  installSelection(vm);
  broadcastFrom6(vm, field.prototype);
  if (vm.clipProto) installMembers(vm, vm.clipProto, kClipFields);
}

// A field's variable, for hosts that show edit text: the field takes the variable's value;
// a field just placed with text of its own gives it to an unset variable.
void syncTextFieldVariable(Vm& vm, ScriptClip* field, bool placing) {
  EditTextState* s = field ? field->textField() : nullptr;
  if (!s || s->variable.empty()) return;
  std::string member;
  Object* owner = variableOwner(vm, field, s->variable, &member);
  if (!owner || member.empty()) return;
  if (!vm.getMember(owner, member).isUndefined())
    pullVariable(vm, field, *s);
  else if (placing && !s->chars().empty())
    pushVariable(vm, field, *s);
}

void fieldTextTyped(Vm& vm, ScriptClip* field) {
  EditTextState* s = field ? field->textField() : nullptr;
  if (!s) return;
  pushVariable(vm, field, *s);
  Object* self = vm.objectFor(field);
  // The field hears its own onChanged as the first of its listeners.
  if (vm.version() >= 6 &&
      vm.callMethodIfPresent(self, "broadcastMessage", {Value("onChanged"), Value(self)}))
    return;
  vm.callMethodIfPresent(self, "onChanged", {Value(self)});
}

ScriptClip* keyboardFocus(Vm& vm) { return focusedClip(selectionOf(vm)); }

bool moveKeyboardFocus(Vm& vm, ScriptClip* clip) {
  SelectionObject* s = selectionOf(vm);
  if (!s) return false;
  moveFocus(vm, s, clip);
  return true;
}

}  // namespace orv::movie::avm1
