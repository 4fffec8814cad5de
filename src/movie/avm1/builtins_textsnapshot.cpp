// TextSnapshot: the static text (DefineText) of a movie clip as it was when the snapshot
// was taken, with a selection of its own. Methods called with a wrong number of arguments
// return undefined, as the player's do.
#include <algorithm>
#include <cmath>

#include "movie/text/edit_text.h"
#include "movie/avm1/native_table.h"
#include "movie/avm1/text_format_object.h"

namespace orv::movie::avm1 {

namespace {

class SnapshotObject : public Object {
 public:
  SnapshotObject() : Object(ObjectKind::Other) { className = "TextSnapshot"; }
  std::u32string text;
  std::vector<bool> selected;
  bool ofClip = true;  // false: made from something other than one movie clip
};

SnapshotObject* snapshotOf(CallInfo& c) { return dynamic_cast<SnapshotObject*>(c.thisObject()); }

// A script index into the snapshot: whole, clamped to [0, size].
size_t indexArg(Vm& vm, const Value& v, size_t size) {
  const double n = vm.toNumber(v);
  if (!(n > 0)) return 0;
  return static_cast<size_t>(std::min(std::floor(n), static_cast<double>(size)));
}

char32_t fold(char32_t c) { return c >= U'A' && c <= U'Z' ? c + 32 : c; }

SnapshotObject* makeSnapshot(Vm& vm, ScriptClip* clip) {
  auto* o = vm.allocate<SnapshotObject>();
  Value proto = vm.getMember(vm.getMember(vm.global, "TextSnapshot"), "prototype");
  o->put("__proto__", proto.isObject() ? proto : Value(vm.objectProto), kDontEnum | kDontDelete,
         vm.caseInsensitive());
  if (clip) o->text = clip->staticText();
  o->selected.assign(o->text.size(), false);
  return o;
}

// Only a snapshot of one movie clip holds text; others answer nothing.
Value construct(Vm& vm, CallInfo& c) {
  ScriptClip* clip = c.args.size() == 1 ? vm.clipOf(c.arg(0)) : nullptr;
  if (clip && clip->textField()) clip = nullptr;
  SnapshotObject* o = makeSnapshot(vm, clip);
  o->ofClip = clip != nullptr;
  return Value(static_cast<Object*>(o));
}

SnapshotObject* valid(CallInfo& c) {
  SnapshotObject* s = snapshotOf(c);
  return s && s->ofClip ? s : nullptr;
}

Value getCount(Vm&, CallInfo& c) {
  SnapshotObject* s = valid(c);
  if (!s || !c.args.empty()) return Value();
  return Value(static_cast<double>(s->text.size()));
}

Value findText(Vm& vm, CallInfo& c) {
  SnapshotObject* s = valid(c);
  if (!s || c.args.size() != 3) return Value();
  const double startN = vm.toNumber(c.arg(0));
  const std::u32string needle = decodeText(vm.toString(c.arg(1)), vm.version() >= 6);
  const bool caseSensitive = vm.toBool(c.arg(2));
  if (!(startN >= 0) || needle.empty() || startN >= static_cast<double>(s->text.size()))
    return Value(-1.0);
  auto same = [caseSensitive](char32_t a, char32_t b) {
    return caseSensitive ? a == b : fold(a) == fold(b);
  };
  auto it = std::search(s->text.begin() + static_cast<long>(startN), s->text.end(), needle.begin(),
                        needle.end(), same);
  return it == s->text.end() ? Value(-1.0) : Value(static_cast<double>(it - s->text.begin()));
}

Value getText(Vm& vm, CallInfo& c) {
  SnapshotObject* s = valid(c);
  if (!s || c.args.size() < 2 || c.args.size() > 3) return Value();
  const size_t b = indexArg(vm, c.arg(0), s->text.size());
  const size_t e = std::max(b, indexArg(vm, c.arg(1), s->text.size()));
  return Value(encodeText(s->text.substr(b, e - b), vm.version() >= 6));
}

Value getSelected(Vm& vm, CallInfo& c) {
  SnapshotObject* s = valid(c);
  if (!s || c.args.size() != 2) return Value();
  const size_t b = indexArg(vm, c.arg(0), s->text.size());
  const size_t e = std::max(b, indexArg(vm, c.arg(1), s->text.size()));
  for (size_t i = b; i < e; ++i)
    if (s->selected[i]) return Value(true);
  return Value(false);
}

Value getSelectedText(Vm& vm, CallInfo& c) {
  SnapshotObject* s = valid(c);
  if (!s || c.args.size() > 1) return Value();
  std::u32string out;
  for (size_t i = 0; i < s->text.size(); ++i)
    if (s->selected[i]) out.push_back(s->text[i]);
  return Value(encodeText(out, vm.version() >= 6));
}

Value setSelected(Vm& vm, CallInfo& c) {
  SnapshotObject* s = valid(c);
  if (!s || c.args.size() != 3) return Value();
  const size_t b = indexArg(vm, c.arg(0), s->text.size());
  const size_t e = std::max(b, indexArg(vm, c.arg(1), s->text.size()));
  const bool on = vm.toBool(c.arg(2));
  for (size_t i = b; i < e; ++i) s->selected[i] = on;
  return Value();
}

// The snapshot keeps characters, not where they were drawn: no point is near one.
Value hitTestTextNearPos(Vm&, CallInfo& c) {
  SnapshotObject* s = valid(c);
  if (!s || c.args.size() < 2 || c.args.size() > 3) return Value();
  return Value(-1.0);
}

Value getTextSnapshot(Vm& vm, CallInfo& c) {
  ScriptClip* clip = vm.clipOf(c.thisValue);
  if (!clip) return Value();
  return Value(static_cast<Object*>(makeSnapshot(vm, clip)));
}

// The methods came with SWF 6.
constexpr NativeMember kPrototype[] = {
    method("getCount", getCount).since(6),
    method("findText", findText).since(6),
    method("getText", getText).since(6),
    method("getSelected", getSelected).since(6),
    method("getSelectedText", getSelectedText).since(6),
    method("setSelected", setSelected).since(6),
    method("hitTestTextNearPos", hitTestTextNearPos).since(6),
    method("setSelectColor", nothing).since(6),
};
constexpr NativeClass kSnapshotClass{.name = "TextSnapshot",
                                     .constructor = construct,
                                     .prototype = kPrototype,
                                     .constructsOwnObject = true};
constexpr NativeMember kClipSnapshot[] = {method("getTextSnapshot", getTextSnapshot).since(6)};

}  // namespace

void installTextSnapshotBuiltins(Vm& vm) {
  installClass(vm, vm.global, kSnapshotClass);
  if (vm.clipProto) installMembers(vm, vm.clipProto, kClipSnapshot);
}

}  // namespace orv::movie::avm1
