// Action handlers: the target clip's timeline, frames of other clips, clip properties,
// clips made and removed, dragging, URLs and the player's own actions.
#include <algorithm>
#include <cmath>
#include <utility>

#include "movie/avm1/action_run.h"

namespace orv::movie::avm1 {

namespace {

bool namesLevel(const std::string& target) {
  return target.size() > 6 &&
         (target.compare(0, 6, "_level") == 0 || target.compare(0, 6, "_LEVEL") == 0);
}

}  // namespace

void ActionRun::timeline(ActionCode op) {
  ScriptClip* c = targetClip();
  if (!c) return;
  switch (op) {
    case ActionCode::NextFrame:
      return c->gotoFrame(c->currentFrame() + 1, false);
    case ActionCode::PreviousFrame:
      return c->gotoFrame(std::max(0, c->currentFrame() - 1), false);
    case ActionCode::Play:
      return c->play();
    default:  // Stop
      return c->stop();
  }
}

void ActionRun::player(ActionCode op) {
  switch (op) {
    case ActionCode::ToggleQuality:
      return vm.host_.toggleQuality();
    case ActionCode::StopSounds:
      return vm.host_.stopSounds();
    case ActionCode::EndDrag:
      return vm.host_.stopDrag();
    default: {  // Trace
      Value v = f.pop();
      return vm.host_.trace(v.isUndefined() ? "undefined" : vm.toString(v));
    }
  }
}

void ActionRun::gotoFrame(PayloadReader& r) {
  int frame = r.u16();
  if (auto* c = targetClip()) c->gotoFrame(frame, false);
}

void ActionRun::gotoLabel(PayloadReader& r) {
  std::string label = r.str();
  if (auto* c = targetClip()) c->gotoLabel(label, false);
}

void ActionRun::gotoFrame2(PayloadReader& r) {
  uint8_t flags = r.u8();
  int bias = (flags & 2) ? r.u16() : 0;
  bool play = flags & 1;
  Value fr = f.pop();
  ScriptClip* c = targetClip();
  if (fr.isString()) {
    // "path:frame" names the clip too.
    std::string s = fr.asString();
    size_t colon = s.rfind(':');
    if (colon != std::string::npos) {
      Object* o = vm.resolveTargetPath(f, s.substr(0, colon));
      c = o ? o->clip : nullptr;
      fr = Value(s.substr(colon + 1));
    }
  }
  vm.gotoFrameValue(c, fr, play, bias);
}

void ActionRun::waitForFrame(PayloadReader& r) {
  int frame = r.u16();
  int skip = r.u8();
  auto* c = targetClip();
  if (c && frame >= c->framesLoaded()) next = swf::skipActions(code.data(), next, end, skip);
}

void ActionRun::waitForFrame2(PayloadReader& r) {
  int skip = r.u8();
  Value fr = f.pop();
  ScriptClip* c = targetClip();
  // A frame that is no number is never waited for.
  const double n = vm.toNumber(fr);
  const int frame = std::isnan(n) ? -1 : static_cast<int>(std::clamp(n, -1e9, 1e9)) - 1;
  if (c && frame >= c->framesLoaded()) next = swf::skipActions(code.data(), next, end, skip);
}

// Call: runs another frame's actions, which leave what they push on this stack.
void ActionRun::callFrame() {
  Value fr = f.pop();
  ScriptClip* c = targetClip();
  std::string s = vm.toString(fr);
  size_t colon = s.rfind(':');
  if (colon != std::string::npos) {
    Object* o = vm.resolveTargetPath(f, s.substr(0, colon));
    c = o ? o->clip : nullptr;
    s = s.substr(colon + 1);
  }
  if (!c) return;
  double n = stringToNumber(s, 5);
  int frame = std::isnan(n) ? c->frameOfLabel(s) : static_cast<int>(std::clamp(n, -1e9, 1e9)) - 1;
  if (frame < 0) return;
  struct Restore {
    Vm::Frame*& p;
    Vm::Frame* old;
    ~Restore() { p = old; }
  } restore{vm.frameCallCaller_, std::exchange(vm.frameCallCaller_, &f)};
  c->runFrameActions(frame);
}

// A target that names no clip makes the movie's root the target, as far as the player is
// concerned: its variables and timeline are what the block then reaches.
void ActionRun::retarget(Object* t) {
  if (t && t->kind != ObjectKind::Clip) t = nullptr;  // only a clip can be a target
  f.targetMissing = !t;
  if (!t && f.originalTarget && f.originalTarget->clip)
    t = vm.objectFor(vm.rootOf(f.originalTarget->clip));
  f.target = t;
  if (!f.callee && !f.scope.empty()) f.scope[0] = t ? t : f.originalTarget;
}

void ActionRun::setTarget(PayloadReader& r) {
  std::string path = r.str();
  retarget(path.empty() ? f.originalTarget : vm.resolveTargetPath(f, path));
}

void ActionRun::setTarget2() {
  Value t = f.pop();
  // A clip stands for its path: where two clips share a name, the first one found.
  if (t.isObject() && t.asObject()->kind == ObjectKind::Clip) {
    ScriptClip* clip = vm.clipOf(t);
    Object* found = clip ? vm.resolveTargetPath(f, vm.targetPath(clip)) : nullptr;
    return retarget(found ? found : t.asObject());
  }
  // Any other value is a path, by its string (an object's own toString runs for it).
  std::string p = vm.toString(t);
  retarget(p.empty() ? f.originalTarget : vm.resolveTargetPath(f, p));
}

void ActionRun::getProperty() {
  int idx = vm.toInt(f.pop());
  ScriptClip* c = clipAt(f.pop());
  if (!c || idx < 0 || idx >= static_cast<int>(ClipProperty::Count)) return push(Value());
  bool found = false;
  push(vm.getClipProperty(vm.objectFor(c), c, clipPropertyName(static_cast<ClipProperty>(idx)),
                          &found));
}

void ActionRun::setProperty() {
  Value v = f.pop();
  int idx = vm.toInt(f.pop());
  ScriptClip* c = clipAt(f.pop());
  if (c && idx >= 0 && idx < static_cast<int>(ClipProperty::Count))
    vm.setClipProperty(c, clipPropertyName(static_cast<ClipProperty>(idx)), v);
}

void ActionRun::targetPath() {
  Value v = f.pop();
  ScriptClip* c = vm.clipOf(v);
  push(c ? Value(vm.targetPath(c)) : Value());
}

void ActionRun::cloneSprite() {
  int depth = vm.toInt(f.pop());
  std::string name = vm.toString(f.pop());
  ScriptClip* src = clipAt(f.pop());
  // The action's depth comes offset by 16384, as compilers emit it.
  if (src) src->duplicate(name, depth - 16384);
}

void ActionRun::removeSprite() {
  if (ScriptClip* c = clipAt(f.pop())) c->removeSelf();
}

void ActionRun::startDrag() {
  ScriptClip* c = clipAt(f.pop());
  bool lock = vm.toBool(f.pop());
  bool constrain = vm.toBool(f.pop());
  if (constrain) {
    f.pop();
    f.pop();
    f.pop();
    f.pop();
  }
  if (c) vm.host_.startDrag(c, lock);
}

// GetURL: a "_levelN" target loads a movie there.
void ActionRun::getURL(PayloadReader& r) {
  std::string url = r.str();
  std::string tgt = r.str();
  if (tgt.size() > 6 && tgt.compare(0, 6, "_level") == 0) {
    // A level not there yet is loaded by its number.
    if (ScriptClip* c = clipAt(Value(tgt)))
      vm.requestMovieLoad(url, c);
    else
      vm.requestLevelLoad(url, Vm::levelOfTarget(tgt));
  } else {
    vm.host_.getURL(url, tgt, 0);
  }
}

void ActionRun::getURL2(PayloadReader& r) {
  uint8_t flags = r.u8();
  std::string tgt = vm.toString(f.pop());
  std::string url = vm.toString(f.pop());
  // Bit 7: load variables; bit 6: the target is a clip. Without bit 6 a "_levelN" target
  // is that level (loadMovieNum, loadVariablesNum).
  const bool level = namesLevel(tgt);
  ScriptClip* c = (flags & 0x40) || level ? clipAt(Value(tgt)) : nullptr;
  if (flags & 0x80) {
    if (c) vm.requestVariablesLoad(url, c);
  } else if ((flags & 0x40) || level) {
    // A level not there yet is loaded by its number.
    if (c)
      vm.requestMovieLoad(url, c);
    else
      vm.requestLevelLoad(url, Vm::levelOfTarget(tgt));
  } else {
    vm.host_.getURL(url, tgt, flags & 3);
  }
}

}  // namespace orv::movie::avm1
