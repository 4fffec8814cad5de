// The pointer and the keys onto the display list: the InteractiveObject under the pointer
// (the deepest that takes the mouse, as mouseEnabled and mouseChildren say), its over and
// out, press, release and click; keys to what has the focus, and Tab's order.
#include <algorithm>
#include <cmath>
#include <string>

#include "movie/flash/display.h"
#include "movie/flash/events.h"
#include "movie/flash/input.h"

namespace orv::movie::avm2 {

namespace {

constexpr int kMaxNesting = 64;
constexpr double kDoubleClickMs = 500;
constexpr int kTabKey = 9, kShiftKey = 16, kControlKey = 17, kAltKey = 18;

struct PointerState : PackageState {
  double x = 0, y = 0;
  bool known = false, down = false;
  int othersDown = 0;  // middle and right buttons held
  Value pressedOther[2] = {Value::null(), Value::null()};
  bool shift = false, ctrl = false, alt = false;
  Value over = Value::null();     // under the pointer
  Value pressed = Value::null();  // took the press, while the button is down
  Value lastClick = Value::null();
  double lastClickMs = -1e300;
  Value focus = Value::null();
  void markRoots(Marker& mk) const override {
    for (const Value* v : {&over, &pressed, &lastClick, &focus, &pressedOther[0], &pressedOther[1]})
      mk.mark(*v);
  }
};

PointerState& stateOf(Machine& m) { return m.packageState<PointerState>(); }

DisplayScript* scriptOf(const Value& v) {
  return v.isObject() ? dynamic_cast<DisplayScript*>(v.asObject()) : nullptr;
}
DisplayHandle handleOf(const Value& v) {
  DisplayScript* d = scriptOf(v);
  return d ? d->handle : 0;
}
bool same(const Value& a, const Value& b) {
  return a.isObject() && b.isObject() && a.asObject() == b.asObject();
}

DisplayScript* existing(Machine& m, DisplayHandle h) {
  auto it = m.displayObjects.find(h);
  return it == m.displayObjects.end() ? nullptr : static_cast<DisplayScript*>(it->second);
}

InputFlags flagsOf(Machine& m, DisplayHandle h) {
  DisplayScript* d = existing(m, h);
  return d ? d->input : InputFlags{};
}

bool isContainer(DisplayKind kind) {
  return kind == DisplayKind::Stage || kind == DisplayKind::MovieClip;
}

bool isInteractive(Machine& m, DisplayHandle h, DisplayKind kind) {
  if (isContainer(kind) || kind == DisplayKind::Button) return true;
  if (kind != DisplayKind::Other) return false;
  DisplayScript* d = existing(m, h);
  ClassObject* io = m.findClass("flash.display.InteractiveObject");
  return d && io && d->klass()->isSubclassOf(io);
}

struct Pick {
  DisplayHandle target = 0;
  bool hit = false;  // something that takes no mouse of its own was hit
};

// The children from the top down: the first that takes the mouse is the target; what is
// hit but takes no mouse (a shape, an object whose mouseEnabled is off) lets the search
// go on below it and makes its container the target if nothing else is.
Pick pickIn(Machine& m, Host& host, DisplayHandle h, double x, double y, int nesting) {
  Pick found;
  if (nesting > kMaxNesting) return found;
  for (int i = host.numChildren(h) - 1; i >= 0; --i) {
    const DisplayHandle c = host.childAt(h, i);
    if (!c || host.property(c, DisplayProp::Visible) == 0 || host.isMask(c)) continue;
    const DisplayKind kind = host.kindOf(c);
    if (!isInteractive(m, c, kind)) {
      found.hit = found.hit || host.hitTest(c, x, y, true);
      continue;
    }
    const InputFlags f = flagsOf(m, c);
    bool hit = false;
    if (auto* area = dynamic_cast<DisplayScript*>(f.hitArea); area && area->handle) {
      hit = host.hitTest(area->handle, x, y, true);
    } else if (isContainer(kind) && f.mouseChildren) {
      const Pick inner = pickIn(m, host, c, x, y, nesting + 1);
      if (inner.target) return inner;
      hit = inner.hit || host.hitTest(c, x, y, true);
    } else {
      hit = host.hitTest(c, x, y, true);
    }
    if (!hit) continue;
    if (f.mouseEnabled) return {c, true};
    found.hit = true;
  }
  return found;
}

std::vector<Object*> ancestorsOf(Machine& m, DisplayHandle h) {
  std::vector<Object*> path;
  for (DisplayHandle p = m.host->parentOf(h); p && path.size() < 256; p = m.host->parentOf(p)) {
    Value o = displayObjectFor(m, p);
    if (o.isObject()) path.push_back(o.asObject());
  }
  return path;
}

bool sendMouse(Machine& m, const Value& target, std::string_view type, const Value& related,
               bool bubbles = true, int delta = 0) {
  if (!target.isObject() || !m.host) return true;
  PointerState& s = stateOf(m);
  const DisplayHandle h = handleOf(target);
  EventObject* e = makeEvent(m, type, bubbles, false, "flash.events.MouseEvent");
  double lx = s.x, ly = s.y;
  m.host->mapPoint(h, lx, ly, false);
  if (e->fields.size() >= 8) {
    e->fields[0] = Value::number(lx);
    e->fields[1] = Value::number(ly);
    e->fields[2] = related.isObject() ? related : Value::null();
    e->fields[3] = Value(s.ctrl);
    e->fields[4] = Value(s.alt);
    e->fields[5] = Value(s.shift);
    e->fields[6] = Value(s.down || s.othersDown > 0);
    e->fields[7] = Value(int32_t(delta));
  }
  const std::vector<Object*> path = ancestorsOf(m, h);
  return dispatchEvent(m, target.asObject(), e, path);
}

bool sendFocus(Machine& m, const Value& target, std::string_view type, const Value& related,
               bool cancelable, int keyCode) {
  if (!target.isObject()) return true;
  EventObject* e = makeEvent(m, type, true, cancelable, "flash.events.FocusEvent");
  if (e->fields.size() >= 3) {
    e->fields[0] = related.isObject() ? related : Value::null();
    e->fields[1] = Value(stateOf(m).shift);
    e->fields[2] = Value(uint32_t(keyCode));
  }
  const std::vector<Object*> path = ancestorsOf(m, handleOf(target));
  return dispatchEvent(m, target.asObject(), e, path);
}

bool onStage(Machine& m, DisplayHandle h) {
  const DisplayHandle stage = m.host->stage();
  for (int i = 0; h && i < 256; ++i, h = m.host->parentOf(h))
    if (h == stage) return true;
  return false;
}

// The object and its containers, the object first.
std::vector<Value> chainOf(Machine& m, const Value& v) {
  std::vector<Value> chain;
  if (!v.isObject()) return chain;
  chain.push_back(v);
  for (DisplayHandle p = m.host->parentOf(handleOf(v)); p && chain.size() < 256;
       p = m.host->parentOf(p))
    chain.push_back(displayObjectFor(m, p));
  return chain;
}

bool contains(const std::vector<Value>& chain, const Value& v) {
  return std::any_of(chain.begin(), chain.end(), [&](const Value& c) { return same(c, v); });
}

// A SimpleButton a script made shows the state the pointer puts it in (a disabled one
// stays up).
void showButton(Machine& m, const Value& v, int state) {
  DisplayScript* d = scriptOf(v);
  if (d && d->input.isButton) showButtonState(m, d, d->input.buttonEnabled ? state : 0);
}

// Follows the pointer to what is now under it: out of the old, over the new.
void track(Machine& m) {
  PointerState& s = stateOf(m);
  if (!s.known) return;
  Value now = pickAt(m, s.x, s.y);
  Value old = s.over;
  if (same(now, old)) return;
  s.over = now;
  showButton(m, old, 0);
  showButton(m, now, !s.down ? 1 : same(now, s.pressed) ? 2 : 0);
  // The pointer is always over the stage: it hears no over or out of its own.
  const Value stage = displayObjectFor(m, m.host->stage());
  const Value related = same(old, stage) ? Value::null() : old;
  const Value relatedNew = same(now, stage) ? Value::null() : now;
  std::vector<Value> oldChain = chainOf(m, related), newChain = chainOf(m, relatedNew);
  std::erase_if(oldChain, [&](const Value& v) { return same(v, stage); });
  std::erase_if(newChain, [&](const Value& v) { return same(v, stage); });
  if (related.isObject()) {
    sendMouse(m, old, "mouseOut", relatedNew);
    for (const Value& o : oldChain)
      if (!contains(newChain, o)) sendMouse(m, o, "rollOut", relatedNew, false);
  }
  for (auto it = newChain.rbegin(); it != newChain.rend(); ++it)
    if (!contains(oldChain, *it)) sendMouse(m, *it, "rollOver", related, false);
  sendMouse(m, relatedNew, "mouseOver", related);
}

bool tabEnabledOf(Machine& m, DisplayHandle h) {
  DisplayScript* d = existing(m, h);
  if (!d) return m.host->kindOf(h) == DisplayKind::Button;
  if (d->input.tabEnabled >= 0) return d->input.tabEnabled > 0;
  if (m.host->kindOf(h) == DisplayKind::Button) return true;
  ClassObject* field = m.findClass("flash.text.TextField");
  if (field && d->klass()->isSubclassOf(field)) return true;
  return d->input.buttonMode;
}

// What a press gives the focus to: the object if it takes the focus, else the nearest
// container of it that does (none: the focus goes).
Value mouseFocusFor(Machine& m, const Value& target) {
  for (const Value& v : chainOf(m, target)) {
    const DisplayHandle h = handleOf(v);
    if (h == m.host->stage()) break;
    if (tabEnabledOf(m, h)) return v;
  }
  return Value::null();
}

void collectTabbable(Machine& m, DisplayHandle h, std::vector<Value>& out, int nesting) {
  if (nesting > kMaxNesting) return;
  const int n = m.host->numChildren(h);
  for (int i = 0; i < n; ++i) {
    const DisplayHandle c = m.host->childAt(h, i);
    if (!c || m.host->property(c, DisplayProp::Visible) == 0) continue;
    if (tabEnabledOf(m, c)) out.push_back(displayObjectFor(m, c));
    if (isContainer(m.host->kindOf(c)) && flagsOf(m, c).tabChildren)
      collectTabbable(m, c, out, nesting + 1);
  }
}

}  // namespace

Value pickAt(Machine& m, double x, double y) {
  if (!m.host || !m.host->stage()) return Value::null();
  Host& host = *m.host;
  const DisplayHandle stage = host.stage();
  if (!flagsOf(m, stage).mouseChildren) return displayObjectFor(m, stage);
  const Pick p = pickIn(m, host, stage, x, y, 0);
  return displayObjectFor(m, p.target ? p.target : stage);
}

void pointerMove(Machine& m, double x, double y) {
  if (!m.host || !std::isfinite(x) || !std::isfinite(y)) return;
  PointerState& s = stateOf(m);
  const bool moved = !s.known || x != s.x || y != s.y;
  s.x = x;
  s.y = y;
  s.known = true;
  track(m);
  if (moved) sendMouse(m, s.over, "mouseMove", Value::null());
}

void pointerRefresh(Machine& m) {
  if (m.host) track(m);
}

void pointerButton(Machine& m, bool down) {
  if (!m.host) return;
  PointerState& s = stateOf(m);
  if (down == s.down) return;
  if (down) {
    s.known = true;
    track(m);
    s.down = true;
    const Value target = s.over;
    s.pressed = target;
    const Value gaining = mouseFocusFor(m, target);
    if (!same(gaining, s.focus) && (gaining.isObject() || s.focus.isObject())) {
      bool allowed = true;
      if (s.focus.isObject() && onStage(m, handleOf(s.focus)))
        allowed = sendFocus(m, s.focus, "mouseFocusChange", gaining, true, 0);
      if (allowed) setFocus(m, gaining);
    }
    showButton(m, target, 2);
    sendMouse(m, target, "mouseDown", Value::null());
    return;
  }
  s.down = false;
  showButton(m, s.pressed, 0);
  track(m);
  const Value target = s.over;
  const Value pressed = s.pressed;
  s.pressed = Value::null();
  showButton(m, target, 1);
  sendMouse(m, target, "mouseUp", Value::null());
  if (!same(target, pressed)) return;
  DisplayScript* d = scriptOf(target);
  const double now = m.host->clockMs();
  if (d && d->input.doubleClickEnabled && same(s.lastClick, target) &&
      now - s.lastClickMs <= kDoubleClickMs) {
    s.lastClick = Value::null();
    sendMouse(m, target, "doubleClick", Value::null());
    return;
  }
  // Only a click the object takes double clicks on can be the first of a pair.
  s.lastClick = d && d->input.doubleClickEnabled ? target : Value::null();
  s.lastClickMs = now;
  sendMouse(m, target, "click", Value::null());
}

void pointerOtherButton(Machine& m, bool right, bool down) {
  if (!m.host) return;
  PointerState& s = stateOf(m);
  Value& pressed = s.pressedOther[right ? 1 : 0];
  if (down == pressed.isObject()) return;
  track(m);
  const Value target = s.over;
  const std::string prefix = right ? "right" : "middle";
  if (down) {
    ++s.othersDown;
    pressed = target;
    sendMouse(m, target, prefix + "MouseDown", Value::null());
    return;
  }
  --s.othersDown;
  const Value was = pressed;
  pressed = Value::null();
  sendMouse(m, target, prefix + "MouseUp", Value::null());
  if (same(was, target)) sendMouse(m, target, prefix + "Click", Value::null());
}

void pointerWheel(Machine& m, int delta) {
  if (!m.host || delta == 0) return;
  PointerState& s = stateOf(m);
  track(m);
  sendMouse(m, s.over, "mouseWheel", Value::null(), true, delta);
}

bool pointerHand(Machine& m) {
  if (!m.host) return false;
  PointerState& s = stateOf(m);
  for (const Value& v : chainOf(m, s.over)) {
    DisplayScript* d = scriptOf(v);
    if (!d) continue;
    if (d->input.isButton || m.host->kindOf(d->handle) == DisplayKind::Button)
      return d->input.useHandCursor && d->input.buttonEnabled;
    if (d->input.buttonMode) return d->input.useHandCursor;
  }
  return false;
}

Value focusedObject(Machine& m) { return stateOf(m).focus; }

void windowFocus(Machine& m, bool gained) {
  const Value focus = focusedObject(m);
  if (!gained && focus.isObject() && m.host) sendFocus(m, focus, "focusOut", Value::null(), false, 0);
}

void focusLeavesStage(Machine& m, DisplayHandle h) {
  PointerState& s = stateOf(m);
  if (!m.host || !h) return;
  for (DisplayHandle f = handleOf(s.focus); f; f = m.host->parentOf(f))
    if (f == h) {
      s.focus = Value::null();
      return;
    }
}

void setFocus(Machine& m, const Value& object) {
  PointerState& s = stateOf(m);
  const Value old = focusedObject(m);
  const Value now = object.isObject() ? object : Value::null();
  if (same(old, now) || (!old.isObject() && !now.isObject())) return;
  s.focus = now;
  if (old.isObject()) sendFocus(m, old, "focusOut", now, false, 0);
  if (now.isObject() && same(s.focus, now)) sendFocus(m, now, "focusIn", old, false, 0);
}

std::vector<Value> tabOrder(Machine& m) {
  std::vector<Value> all;
  if (!m.host || !m.host->stage()) return all;
  collectTabbable(m, m.host->stage(), all, 0);
  std::vector<Value> indexed;
  for (const Value& v : all)
    if (DisplayScript* d = scriptOf(v); d && d->input.tabIndex >= 0) indexed.push_back(v);
  if (!indexed.empty()) {
    std::stable_sort(indexed.begin(), indexed.end(), [](const Value& a, const Value& b) {
      return scriptOf(a)->input.tabIndex < scriptOf(b)->input.tabIndex;
    });
    return indexed;
  }
  // Without indices: top to bottom, then left to right, by where each begins on the stage.
  std::vector<std::pair<std::pair<double, double>, Value>> placed;
  for (const Value& v : all) {
    double box[4] = {0, 0, 0, 0};
    m.host->bounds(handleOf(v), 0, box);
    placed.push_back({{box[1], box[0]}, v});
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& p : placed) indexed.push_back(p.second);
  return indexed;
}

namespace {

// Tab (Shift+Tab: back) to the next object in Tab's order, round to the first.
void tabFocus(Machine& m) {
  PointerState& s = stateOf(m);
  const std::vector<Value> order = tabOrder(m);
  if (order.empty()) return;
  const Value current = focusedObject(m);
  auto at = std::find_if(order.begin(), order.end(), [&](const Value& v) { return same(v, current); });
  size_t next = 0;
  if (at != order.end()) {
    const size_t i = static_cast<size_t>(at - order.begin());
    next = s.shift ? (i + order.size() - 1) % order.size() : (i + 1) % order.size();
  } else if (s.shift) {
    next = order.size() - 1;
  }
  const Value to = order[next];
  const Value from = current.isObject() ? current : displayObjectFor(m, m.host->stage());
  if (sendFocus(m, from, "keyFocusChange", to, true, kTabKey)) setFocus(m, to);
}

// The character a key types, as a US keyboard gives it (0: none).
uint32_t charCodeOf(int keyCode, bool shift) {
  if (keyCode >= 'A' && keyCode <= 'Z') return uint32_t(shift ? keyCode : keyCode + 32);
  if (keyCode >= '0' && keyCode <= '9' && !shift) return uint32_t(keyCode);
  if (keyCode >= 96 && keyCode <= 105) return uint32_t(keyCode - 48);  // the number pad
  switch (keyCode) {
    case 8: case 9: case 13: case 27: case 32: return uint32_t(keyCode);
    case 46: return 127;
    default: return 0;
  }
}

}  // namespace

void keyChanged(Machine& m, int keyCode, bool down) {
  if (!m.host || !m.host->stage()) return;
  PointerState& s = stateOf(m);
  if (keyCode == kShiftKey) s.shift = down;
  if (keyCode == kControlKey) s.ctrl = down;
  if (keyCode == kAltKey) s.alt = down;
  Value target = focusedObject(m);
  if (!target.isObject()) target = displayObjectFor(m, m.host->stage());
  EventObject* e = makeEvent(m, down ? "keyDown" : "keyUp", true, false, "flash.events.KeyboardEvent");
  if (e->fields.size() >= 6) {
    e->fields[0] = Value(charCodeOf(keyCode, s.shift));
    e->fields[1] = Value(uint32_t(std::clamp(keyCode, 0, 255)));
    // Where the key is: the left one of a pair, or the number pad.
    const bool pad = (keyCode >= 96 && keyCode <= 111) || keyCode == 144;
    e->fields[2] = Value(uint32_t(keyCode >= 16 && keyCode <= 18 ? 1 : pad ? 3 : 0));
    e->fields[3] = Value(s.ctrl);
    e->fields[4] = Value(s.alt);
    e->fields[5] = Value(s.shift);
  }
  const std::vector<Object*> path = ancestorsOf(m, handleOf(target));
  dispatchEvent(m, target.asObject(), e, path);
  if (down && keyCode == kTabKey) tabFocus(m);
}

}  // namespace orv::movie::avm2
