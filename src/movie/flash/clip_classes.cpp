// flash.display's MovieClip (frames, labels, frame scripts), FrameLabel and Stage.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/display.h"

namespace orv::movie::avm2 {

namespace {

constexpr size_t kMaxFrameScripts = 16000;  // a clip has at most this many frames

Host& hostOf(Machine& m) {
  if (!m.host) m.fail(ErrorClass::Error, 1001, {"MovieClip"});
  return *m.host;
}

DisplayScript* clipOf(Machine& m, const Value& self, const char* method) {
  return displayOf(m, self, method);
}

// Where the clip is: its scenes, the one it is in, and its frame in the whole clip.
struct Where {
  std::vector<SceneInfo> scenes;
  size_t scene = 0;
  int frame = 1;
  const SceneInfo& current() const { return scenes[scene]; }
};

Where whereIs(Host& host, DisplayHandle h) {
  Where w;
  w.scenes = host.scenes(h);
  if (w.scenes.empty()) w.scenes.push_back({"", 1, std::max(host.totalFrames(h), 1)});
  w.frame = host.currentFrame(h);
  for (size_t i = 0; i < w.scenes.size(); ++i)
    if (w.scenes[i].first <= w.frame) w.scene = i;
  return w;
}

Value currentFrame(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = clipOf(m, self, "currentFrame");
  Where w = whereIs(hostOf(m), d->handle);
  return Value(int32_t(w.frame - w.current().first + 1));
}

Value totalFrames(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = clipOf(m, self, "totalFrames");
  return Value(int32_t(hostOf(m).totalFrames(d->handle)));
}

Value isPlaying(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = clipOf(m, self, "isPlaying");
  return Value(hostOf(m).isPlaying(d->handle));
}

// The label of the current frame (`exact`), or of the last frame of its scene up to it.
Value labelAt(Machine& m, const Value& self, bool exact) {
  DisplayScript* d = clipOf(m, self, "currentLabel");
  Host& host = hostOf(m);
  Where w = whereIs(host, d->handle);
  std::string found;
  bool any = false;
  for (const FrameLabelInfo& l : host.labels(d->handle))
    if (exact ? l.frame == w.frame : l.frame <= w.frame && l.frame >= w.current().first) {
      found = l.name;
      any = true;
    }
  return any ? Value(StringRef(found)) : Value::null();
}

Value currentLabel(Machine& m, const Value& self, std::span<Value>) {
  return labelAt(m, self, false);
}
Value currentFrameLabel(Machine& m, const Value& self, std::span<Value>) {
  return labelAt(m, self, true);
}

// The labels of a scene, frames counted in the scene.
Value sceneLabels(Machine& m, Host& host, DisplayHandle h, const SceneInfo& scene) {
  ClassObject* cls = m.findClass("flash.display.FrameLabel");
  std::vector<Value> out;
  for (const FrameLabelInfo& l : host.labels(h)) {
    if (l.frame < scene.first || l.frame >= scene.first + scene.frames) continue;
    Value args[2] = {Value(StringRef(l.name)), Value(int32_t(l.frame - scene.first + 1))};
    out.push_back(m.construct(Value(static_cast<Object*>(cls)), args));
  }
  return Value(static_cast<Object*>(m.newArray(std::move(out))));
}

Value sceneObject(Machine& m, Host& host, DisplayHandle h, const SceneInfo& scene) {
  ClassObject* cls = m.findClass("flash.display.Scene");
  Value args[3] = {Value(StringRef(scene.name)), sceneLabels(m, host, h, scene),
                   Value(int32_t(scene.frames))};
  return m.construct(Value(static_cast<Object*>(cls)), args);
}

Value currentLabels(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = clipOf(m, self, "currentLabels");
  Host& host = hostOf(m);
  return sceneLabels(m, host, d->handle, whereIs(host, d->handle).current());
}

Value currentScene(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = clipOf(m, self, "currentScene");
  Host& host = hostOf(m);
  return sceneObject(m, host, d->handle, whereIs(host, d->handle).current());
}

Value scenes(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = clipOf(m, self, "scenes");
  Host& host = hostOf(m);
  std::vector<Value> out;
  for (const SceneInfo& sc : whereIs(host, d->handle).scenes)
    out.push_back(sceneObject(m, host, d->handle, sc));
  return Value(static_cast<Object*>(m.newArray(std::move(out))));
}

// A frame as gotoAndPlay takes it, in the whole clip: a number counted in the scene named
// (else the current one), or a label (of that scene, else of any; a numeric string that is
// no label is a number).
int frameOf(Machine& m, DisplayScript* d, const Value& frame, const Value& sceneName) {
  Host& host = hostOf(m);
  Where w = whereIs(host, d->handle);
  const SceneInfo* base = &w.current();
  const bool named = !sceneName.isNullish();
  if (named) {
    std::string want = m.toText(sceneName);
    base = nullptr;
    for (const SceneInfo& sc : w.scenes)
      if (sc.name == want) base = &sc;
    if (!base) m.fail(ErrorClass::ArgumentError, 2108, {want});
  }
  // A number that is not whole is looked for as a label; in movies before version 11 a
  // label that is not found goes to the first frame, later ones throw.
  double n = frame.isString() ? 0 : m.toNumber(frame);
  if (frame.isString() || (std::isfinite(n) && n != std::trunc(n))) {
    std::string label = m.toText(frame);
    for (const FrameLabelInfo& l : host.labels(d->handle))
      if (l.name == label &&
          (!named || (l.frame >= base->first && l.frame < base->first + base->frames)))
        return l.frame;
    n = m.toNumber(frame);
    if (n != std::trunc(n) || std::isnan(n)) {
      if (host.swfVersion() >= 11) m.fail(ErrorClass::ArgumentError, 2109, {label, base->name});
      return 1;
    }
  } else if (std::isnan(n)) {
    n = 1;
  }
  return static_cast<int>(std::clamp(n, -1e9, 1e9)) + base->first - 1;
}

template <bool Play>
Value gotoAnd(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* d = clipOf(m, self, Play ? "gotoAndPlay" : "gotoAndStop");
  int frame = frameOf(m, d, arg(args, 0), arg(args, 1));
  hostOf(m).gotoFrame(d->handle, frame, Play);
  return Value();
}

// The first frame of the next (or previous) scene, playing; past the last (or first)
// scene, the first frame of this one.
template <int Step>
Value stepScene(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = clipOf(m, self, Step > 0 ? "nextScene" : "prevScene");
  Host& host = hostOf(m);
  Where w = whereIs(host, d->handle);
  const long to = static_cast<long>(w.scene) + Step;
  const bool inside = to >= 0 && static_cast<size_t>(to) < w.scenes.size();
  host.gotoFrame(d->handle, (inside ? w.scenes[static_cast<size_t>(to)] : w.current()).first, true);
  return Value();
}

// stopAllMovieClips: this clip and every clip inside it.
void stopAll(Host& host, DisplayHandle h, int nesting) {
  if (nesting > 64) return;
  host.stop(h);
  const int n = host.numChildren(h);
  for (int i = 0; i < n; ++i) {
    DisplayHandle c = host.childAt(h, i);
    if (host.kindOf(c) == DisplayKind::MovieClip) stopAll(host, c, nesting + 1);
  }
}

Value stopAllMovieClips(Machine& m, const Value& self, std::span<Value>) {
  stopAll(hostOf(m), clipOf(m, self, "stopAllMovieClips")->handle, 0);
  return Value();
}

Value play(Machine& m, const Value& self, std::span<Value>) {
  hostOf(m).play(clipOf(m, self, "play")->handle);
  return Value();
}

Value stop(Machine& m, const Value& self, std::span<Value>) {
  hostOf(m).stop(clipOf(m, self, "stop")->handle);
  return Value();
}

template <int Step>
Value step(Machine& m, const Value& self, std::span<Value>) {
  DisplayScript* d = clipOf(m, self, Step > 0 ? "nextFrame" : "prevFrame");
  Host& host = hostOf(m);
  const int to = host.currentFrame(d->handle) + Step;
  if (to >= 1 && to <= host.totalFrames(d->handle)) host.gotoFrame(d->handle, to, false);
  else host.stop(d->handle);
  return Value();
}

// addFrameScript(frame, fn, frame, fn, ...): frames from 0; null takes a script away.
Value addFrameScript(Machine& m, const Value& self, std::span<Value> args) {
  DisplayScript* d = clipOf(m, self, "addFrameScript");
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    double f = m.toNumber(args[i]);
    if (!(f >= 0 && f < kMaxFrameScripts)) continue;
    const size_t frame = static_cast<size_t>(f);
    if (frame >= d->frameScripts.size()) d->frameScripts.resize(frame + 1);
    const Value& fn = args[i + 1];
    d->frameScripts[frame] = fn.isObject() ? fn : Value();
  }
  return Value();
}

constexpr NativeMember kMovieClipMembers[] = {
    {"currentFrame", MemberKind::Getter, currentFrame},
    {"totalFrames", MemberKind::Getter, totalFrames},
    {"framesLoaded", MemberKind::Getter, totalFrames},
    {"isPlaying", MemberKind::Getter, isPlaying},
    {"currentLabel", MemberKind::Getter, currentLabel},
    {"currentFrameLabel", MemberKind::Getter, currentFrameLabel},
    {"currentLabels", MemberKind::Getter, currentLabels},
    {"currentScene", MemberKind::Getter, currentScene},
    {"scenes", MemberKind::Getter, scenes},
    {"nextScene", MemberKind::FinalMethod, stepScene<1>},
    {"prevScene", MemberKind::FinalMethod, stepScene<-1>},
    {"gotoAndPlay", MemberKind::FinalMethod, gotoAnd<true>, 1},
    {"gotoAndStop", MemberKind::FinalMethod, gotoAnd<false>, 1},
    {"play", MemberKind::FinalMethod, play},
    {"stop", MemberKind::FinalMethod, stop},
    {"stopAllMovieClips", MemberKind::FinalMethod, stopAllMovieClips},
    {"nextFrame", MemberKind::FinalMethod, step<1>},
    {"prevFrame", MemberKind::FinalMethod, step<-1>},
    {"addFrameScript", MemberKind::FinalMethod, addFrameScript},
};

Value frameLabelInit(Machine& m, const Value& self, std::span<Value> args) {
  m.set(self, "name", arg(args, 0).isNullish() ? Value(StringRef("")) : Value(m.toString(arg(args, 0))));
  m.set(self, "frame", Value(m.toInt(arg(args, 1))));
  return Value();
}

Value sceneInit(Machine& m, const Value& self, std::span<Value> args) {
  m.set(self, "name", arg(args, 0).isNullish() ? Value(StringRef("")) : Value(m.toString(arg(args, 0))));
  m.set(self, "labels", arg(args, 1));
  m.set(self, "numFrames", Value(m.toInt(arg(args, 2))));
  return Value();
}

constexpr NativeMember kSceneMembers[] = {
    {"name", MemberKind::Slot},
    {"labels", MemberKind::Slot},
    {"numFrames", MemberKind::Slot},
};

constexpr NativeMember kFrameLabelMembers[] = {
    {"name", MemberKind::Slot},
    {"frame", MemberKind::Slot},
};

Value stageWidth(Machine& m, const Value&, std::span<Value>) {
  return Value::number(hostOf(m).stageWidth());
}
Value stageHeight(Machine& m, const Value&, std::span<Value>) {
  return Value::number(hostOf(m).stageHeight());
}
Value frameRate(Machine& m, const Value&, std::span<Value>) {
  return Value(hostOf(m).frameRate());
}
// Rates outside what a player can keep are held to 0.01..1000 frames a second.
Value setFrameRate(Machine& m, const Value&, std::span<Value> args) {
  double r = m.toNumber(arg(args, 0));
  if (std::isnan(r)) return Value();
  hostOf(m).setFrameRate(std::clamp(r, 0.01, 1000.0));
  return Value();
}

// The stage's settings a script reads back as it set them, in the player's spelling. The
// player's view of the window stays as the user chose it.
struct StageSetting {
  const char* name;
  const char* initial;
  const char* accepted[9];  // up to a null; none: any text, as align takes it
};
constexpr const char* kStageSettingKeys[] = {" scaleMode", " align", " quality", " displayState"};
const StageSetting kStageSettings[] = {
    {"scaleMode", "showAll", {"showAll", "exactFit", "noBorder", "noScale"}},
    {"align", "", {}},
    {"quality", "HIGH", {"LOW", "MEDIUM", "HIGH", "BEST", "8X8", "8X8LINEAR", "16X16", "16X16LINEAR"}},
    {"displayState", "normal", {"normal", "fullScreen", "fullScreenInteractive"}},
};

bool sameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// align keeps the sides it names, vertical first: "lt" reads "TL".
std::string alignment(std::string_view text) {
  auto has = [&](char c) { return text.find(c) != std::string_view::npos || text.find(char(c + 32)) != std::string_view::npos; };
  std::string out;
  if (has('T')) out += 'T';
  else if (has('B')) out += 'B';
  if (has('L')) out += 'L';
  else if (has('R')) out += 'R';
  return out;
}

template <int Which>
Value getStageSetting(Machine& m, const Value& self, std::span<Value>) {
  const Value* v = self.isObject() ? self.asObject()->findOwn(m.intern(kStageSettingKeys[Which])) : nullptr;
  return v ? *v : Value(StringRef(kStageSettings[Which].initial));
}

template <int Which>
Value setStageSetting(Machine& m, const Value& self, std::span<Value> args) {
  const StageSetting& setting = kStageSettings[Which];
  if (arg(args, 0).isNullish()) m.fail(ErrorClass::TypeError, 2007, {setting.name});
  std::string text = m.toText(arg(args, 0));
  std::string stored;
  if (!setting.accepted[0]) {
    stored = alignment(text);
  } else {
    for (const char* const* name = setting.accepted; *name; ++name)
      if (sameLetters(*name, text)) stored = *name;
    if (stored.empty()) m.fail(ErrorClass::ArgumentError, 2008, {setting.name});
  }
  if (self.isObject()) self.asObject()->setHidden(m.intern(kStageSettingKeys[Which]), Value(StringRef(stored)));
  return Value();
}

#define ORV_STAGE_SETTING(name, which) \
  {name, MemberKind::Getter, getStageSetting<which>}, {name, MemberKind::Setter, setStageSetting<which>}

Value invalidate(Machine& m, const Value&, std::span<Value>) {
  invalidateStage(m);
  return Value();
}

constexpr NativeMember kStageMembers[] = {
    {"invalidate", MemberKind::FinalMethod, invalidate},
    ORV_STAGE_SETTING("scaleMode", 0),
    ORV_STAGE_SETTING("align", 1),
    ORV_STAGE_SETTING("quality", 2),
    ORV_STAGE_SETTING("displayState", 3),
    {"stageWidth", MemberKind::Getter, stageWidth},
    {"stageHeight", MemberKind::Getter, stageHeight},
    {"frameRate", MemberKind::Getter, frameRate},
    {"frameRate", MemberKind::Setter, setFrameRate},
};

}  // namespace

void installClipClasses(Machine& m) {
  installClass(m, {.package = "flash.display",
                   .name = "MovieClip",
                   .base = "flash.display.Sprite",
                   .members = kMovieClipMembers});
  installClass(m, {.package = "flash.display",
                   .name = "FrameLabel",
                   .members = kFrameLabelMembers,
                   .init = frameLabelInit,
                   .dynamic = false,
                   .isFinal = true,
                   .initLength = 2});
  installClass(m, {.package = "flash.display",
                   .name = "Scene",
                   .members = kSceneMembers,
                   .init = sceneInit,
                   .dynamic = false,
                   .isFinal = true,
                   .initLength = 3});
  installClass(m, {.package = "flash.display",
                   .name = "Stage",
                   .base = "flash.display.DisplayObjectContainer",
                   .members = withInputMembers("Stage", kStageMembers),
                   .dynamic = false});
}

}  // namespace orv::movie::avm2
