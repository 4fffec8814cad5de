// Clips as scripts see them: their objects and target paths, their properties (_x,
// _currentframe...), and references to clips that left the stage.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "movie/avm1/frame.h"
#include "movie/avm1/host_builtins.h"
#include "movie/avm1/text.h"
#include "movie/avm1/video_stream.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

// By ClipProperty.
const char* const kPropertyNames[] = {
    "_x",           "_y",           "_xscale",       "_yscale",       "_currentframe",
    "_totalframes", "_alpha",       "_visible",      "_width",        "_height",
    "_rotation",    "_target",      "_framesloaded", "_name",         "_droptarget",
    "_url",         "_highquality", "_focusrect",    "_soundbuftime", "_quality",
    "_xmouse",      "_ymouse"};

int clipPropertyIndex(std::string_view name) {
  if (name.empty() || name[0] != '_') return -1;
  for (int i = 0; i < static_cast<int>(ClipProperty::Count); ++i)
    if (text::equalsNoCase(name, kPropertyNames[i])) return i;
  return -1;
}

}  // namespace

std::string_view clipPropertyName(ClipProperty p) {
  const int i = static_cast<int>(p);
  return i >= 0 && i < static_cast<int>(ClipProperty::Count) ? kPropertyNames[i] : "";
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
  const bool video = videoHost(*this) && videoHost(*this)->isVideo(clip) && videoPrototype(*this);
  if (video) proto = videoPrototype(*this);
  o->put("__proto__", proto, kDontEnum | kDontDelete, caseInsensitive());
  if (clip->level() >= 0) o->put("$version", Value(kPlayerVersion), 0, caseInsensitive());
  // Each text field is its own first listener (its events go to its own handlers).
  if (clip->textField() && version_ >= 6)
    o->put("_listeners", Value(newArray({Value(o)})), kDontEnum, caseInsensitive());
  if (video) installVideoMembers(*this, o);
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
  auto is = [&](const char* s) {
    return ci || version_ < 7 ? text::equalsNoCase(name, s) : name == s;
  };
  if (is("_parent")) {
    ScriptClip* p = clip->parent();
    return p ? Value(objectFor(p)) : Value();
  }
  if (is("_root")) return Value(objectFor(rootOf(clip)));
  if (is("_lockroot")) return Value(clip->lockRoot);
  if (is("_global") && version_ >= 6) return Value(global);
  // "_level" alone is _level0, as the number after it reads as 0.
  if (name.size() >= 6 &&
      (ci ? text::equalsNoCase(name.substr(0, 6), "_level") : name.substr(0, 6) == "_level")) {
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
  if (idx < 0 &&
      (caseInsensitive() ? text::equalsNoCase(name, "_lockroot") : name == "_lockroot")) {
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

}  // namespace orv::movie::avm1
