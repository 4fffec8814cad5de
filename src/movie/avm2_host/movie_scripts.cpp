#include "movie/avm2_host/movie_scripts.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <unordered_map>


#include "movie/abc/reader.h"
#include "movie/avm2/machine.h"
#include "movie/avm2_host/display_host.h"
#include "movie/flash/display.h"
#include "movie/flash/input.h"
#include "movie/flash/packages.h"
#include "movie/flash/sound.h"
#include "movie/flash/timers.h"
#include "movie/swf/types.h"

namespace orv::movie {

namespace {

constexpr double kDefaultLimitMs = 15000;
// Frame scripts run in one go before the frame is done (gotos in them enter more frames).
constexpr size_t kMaxFrameScriptsAtOnce = 10000;

}  // namespace

MovieScripts::MovieScripts(Stage& stage, std::function<void(const std::string&)> trace,
                           double timeLimitMs)
    : stage_(stage), host_(std::make_unique<DisplayHost>(&stage)) {
  host_->sink = std::move(trace);
  host_->errors = &errors_;
  host_->afterGoto = [this] {
    stage_.dispatchEvents();
    construct();
    // From Flash Player 10 on, a script's goto runs a frame of its own: frameConstructed,
    // the frame scripts waiting, exitFrame.
    const bool ownFrame = stage_.movie().header.version >= 10;
    if (ownFrame) runGuarded([&] { avm2::broadcastFrameEvent(*machine_, "frameConstructed"); });
    runFrameScripts();
    if (ownFrame) runGuarded([&] { avm2::broadcastFrameEvent(*machine_, "exitFrame"); });
  };
  stage_.beforeTimelineRemoval = [this](DisplayObject& object) {
    if (!documentMade_ || !machine_->displayObjects.count(object.instanceId)) return;
    runGuarded([&] { avm2::sendRemoved(*machine_, host_->handleOf(&object)); });
  };
  machine_ = std::make_unique<avm2::Machine>(host_.get());
  machine_->swfVersion = stage_.movie().header.version;
  machine_->frameRoots.push_back(&held_);
  timeLimitMs_ = timeLimitMs > 0 ? timeLimitMs : kDefaultLimitMs;
  framesRun_.assign(stage_.movie().root.frames.size(), false);
}

MovieScripts::~MovieScripts() {
  stage_.beforeTimelineRemoval = nullptr;
  runGuarded([&] { avm2::writeOpenSharedObjects(*machine_); });
  // The script objects let go of their display objects before the host goes.
  machine_.reset();
}

void MovieScripts::onTimelineEvent(Stage& stage, const TimelineEvent& event) {
  if (next) next->onTimelineEvent(stage, event);
  if (event.kind == TimelineEvent::Kind::FrameEntered && event.action <= 0 &&
      entered_.size() < 100000)
    entered_.emplace_back(event.object, event.frame);
}

void MovieScripts::runGuarded(const std::function<void()>& work) {
  avm2::Machine& m = *machine_;
  try {
    work();
  } catch (avm2::ScriptThrow& t) {
    std::string text;
    try {
      text = m.toText(t.value);
    } catch (avm2::ScriptThrow&) {
      text = "an error that cannot be printed";
    }
    errors_.push_back(text);
  }
}

void MovieScripts::loadFrame(int frame) {
  framesRun_[frame] = true;
  avm2::Machine& m = *machine_;
  const swf::Frame& f = stage_.movie().root.frames[frame];
  for (const swf::DoAbc& tag : f.abc) {
    abc::ReadResult read = abc::readAbc(tag.bytes);
    if (!read) {
      errors_.push_back("VerifyError: " + read.error.message());
      continue;
    }
    std::string error;
    avm2::AbcUnit* unit = m.load(read.file, error);
    if (!unit) {
      errors_.push_back("VerifyError: " + error);
      continue;
    }
    if (!(tag.flags & swf::DoAbc::kLazyInitialize))
      runGuarded([&] { m.runEntryScript(*unit); });
  }
}

void MovieScripts::frameReached(int frame) {
  if (running_) return;
  ++running_;
  avm2::Machine& m = *machine_;
  m.setTimeLimit(timeLimitMs_);
  for (int f = 0; f <= frame && static_cast<size_t>(f) < framesRun_.size(); ++f)
    if (!framesRun_[f]) loadFrame(f);
  // Movies loaded from bytes before this frame make their first frame with it.
  runGuarded([&] { avm2::runLoadedMovieFrames(m); });
  if (!documentMade_) makeDocument();
  construct();
  if (documentMade_) runGuarded([&] { avm2::broadcastFrameEvent(m, "frameConstructed"); });
  runFrameScripts();
  --running_;
  // Between frames no script runs: what the scripts can no longer reach is freed.
  if (m.depth == 0) m.collect();
}

double MovieScripts::clockMs() const { return host_->clock; }
bool MovieScripts::pointerHidden() const { return host_->pointerHidden; }

void MovieScripts::advanceClock(double ms) {
  double until = host_->clock + (ms > 0 ? ms : 0);
  avm2::Machine& m = *machine_;
  m.setTimeLimit(timeLimitMs_);
  runGuarded([&] { avm2::runDueTimers(m, until, [&](double t) { host_->clock = t; }); });
  host_->clock = until;
  runGuarded([&] { avm2::runPendingLoads(m); });
  runGuarded([&] { avm2::runPendingContentLoads(m); });
  runGuarded([&] { avm2::runPendingSoundLoads(m); });
  runGuarded([&] { avm2::runSoundCompletions(m); });
}

void MovieScripts::pointerMoved(double x, double y) {
  if (!documentMade_ || !std::isfinite(x) || !std::isfinite(y)) return;
  host_->pointerX = x;
  host_->pointerY = y;
  machine_->setTimeLimit(timeLimitMs_);
  runGuarded([&] { avm2::pointerMove(*machine_, x / 20, y / 20); });
}

void MovieScripts::pointerButton(bool down) {
  if (!documentMade_) return;
  machine_->setTimeLimit(timeLimitMs_);
  runGuarded([&] { avm2::pointerButton(*machine_, down); });
}

void MovieScripts::pointerOtherButton(bool right, bool down) {
  if (!documentMade_) return;
  machine_->setTimeLimit(timeLimitMs_);
  runGuarded([&] { avm2::pointerOtherButton(*machine_, right, down); });
}

void MovieScripts::pointerWheel(int delta) {
  if (!documentMade_) return;
  machine_->setTimeLimit(timeLimitMs_);
  runGuarded([&] { avm2::pointerWheel(*machine_, delta); });
}

void MovieScripts::pointerRefresh() {
  if (!documentMade_) return;
  machine_->setTimeLimit(timeLimitMs_);
  runGuarded([&] { avm2::pointerRefresh(*machine_); });
}

void MovieScripts::keyChanged(int keyCode, bool down) {
  if (!documentMade_) return;
  machine_->setTimeLimit(timeLimitMs_);
  runGuarded([&] { avm2::keyChanged(*machine_, keyCode, down); });
}

void MovieScripts::setMouse(MouseInput* mouse) { host_->mouse = mouse; }

void MovieScripts::windowFocus(bool gained) {
  if (!documentMade_) return;
  machine_->setTimeLimit(timeLimitMs_);
  runGuarded([&] { avm2::windowFocus(*machine_, gained); });
}

bool MovieScripts::handCursor() {
  if (!documentMade_) return false;
  bool hand = false;
  runGuarded([&] { hand = avm2::pointerHand(*machine_); });
  return hand;
}

void MovieScripts::tick(int frame) {
  avm2::Machine& m = *machine_;
  m.setTimeLimit(timeLimitMs_);
  if (documentMade_) runGuarded([&] { avm2::broadcastFrameEvent(m, "enterFrame"); });
  frameReached(frame);
  m.setTimeLimit(timeLimitMs_);
  runGuarded([&] { avm2::broadcastFrameEvent(m, "exitFrame"); });
  runGuarded([&] { avm2::sendRenderIfInvalidated(m); });
}

void MovieScripts::firstFrame(int frame) {
  frameReached(frame);
  machine_->setTimeLimit(timeLimitMs_);
  runGuarded([&] { avm2::broadcastFrameEvent(*machine_, "exitFrame"); });
  runGuarded([&] { avm2::sendRenderIfInvalidated(*machine_); });
  // A local movie is all there by now.
  if (documentMade_) runGuarded([&] { avm2::sendMainMovieLoaded(*machine_); });
}

// The root is an instance of the document class (SymbolClass 0), else a MovieClip.
void MovieScripts::makeDocument() {
  avm2::Machine& m = *machine_;
  documentMade_ = true;
  std::string className = "flash.display.MovieClip";
  for (size_t f = 0; f < framesRun_.size() && framesRun_[f]; ++f)
    for (const swf::SymbolClass& link : stage_.movie().root.frames[f].symbolClasses)
      if (link.id == 0) className = link.className;
  const avm2::DisplayHandle root = host_->handleOf(&stage_.root());
  runGuarded([&] {
    avm2::ClassObject* cls = m.findClass(className);
    if (!cls) {
      m.fail(avm2::ErrorClass::ReferenceError, 1065, {className});
    }
    // The root is a display object: a document class that is no Sprite cannot be one.
    avm2::ClassObject* sprite = m.findClass("flash.display.Sprite");
    if (sprite && !cls->isSubclassOf(sprite)) {
      std::string name(cls->name->view());
      if (size_t dot = name.rfind('.'); dot != std::string::npos) name.replace(dot, 1, "::");
      try {
        m.fail(avm2::ErrorClass::TypeError, 2023, {name + "$"});
      } catch (avm2::ScriptThrow& t) {
        m.traceLine(m.toText(t.value));  // the player reports it where scripts trace
        throw;
      }
    }
    held_.push_back(avm2::constructBound(m, cls, root));
    avm2::sendAdded(m, root);
  });
  if (!held_.empty()) return;
  // A constructor that failed leaves the root the instance it was making.
  if (auto it = m.displayObjects.find(root); it != m.displayObjects.end())
    held_.push_back(avm2::Value(it->second));
  else
    runGuarded([&] {
      held_.push_back(avm2::constructBound(m, m.findClass("flash.display.MovieClip"), root));
    });
}

// Every object on the display list has its script object, made parents first.
void MovieScripts::construct() {
  if (!documentMade_) return;
  constructUnder(stage_.root(), 0);
}

void MovieScripts::constructUnder(DisplayObject& object, int nesting) {
  if (nesting > Stage::kMaxNesting) return;
  MovieClip* clip = object.asClip();
  if (!clip) return;
  std::vector<std::shared_ptr<DisplayObject>> children;
  for (const auto& [depth, child] : clip->displayList())
    if (depth >= 0) children.push_back(child);
  avm2::Machine& m = *machine_;
  for (const auto& child : children) {
    if (!m.displayObjects.count(child->instanceId) && child->parent == clip)
      runGuarded([&] {
        const avm2::DisplayHandle h = host_->handleOf(child.get());
        avm2::displayObjectFor(m, h);
        avm2::sendAdded(m, h);
      });
    constructUnder(*child, nesting + 1);
  }
}

// Each waiting frame script leaves the queue as it starts, so a goto in it (which runs
// the scripts waiting then) does not run it again; a clip that went to a frame and back
// runs the script of the frame it is on once a pass. Scripts run parents first, in the
// order of the display list; a clip whose script is running runs the script of the frame
// a goto took it to once that script is done.
void MovieScripts::runFrameScripts() {
  avm2::Machine& m = *machine_;
  if (scriptsDepth_++ == 0) ran_.clear();
  sortEnteredByDisplayOrder();
  std::vector<std::pair<std::weak_ptr<DisplayObject>, int>> deferred;
  for (size_t n = 0; !entered_.empty() && n < kMaxFrameScriptsAtOnce; ++n) {
    const std::weak_ptr<DisplayObject> object = entered_.front().first;
    const int frame = entered_.front().second;
    entered_.pop_front();
    std::shared_ptr<DisplayObject> o = object.lock();
    MovieClip* clip = o ? o->asClip() : nullptr;
    if (!clip || clip->currentFrame() != frame) continue;
    if (!m.displayObjects.count(o->instanceId)) continue;
    if (scriptRunning_.count(o->instanceId)) {
      deferred.emplace_back(object, frame);
      continue;
    }
    if (!ran_.insert({o->instanceId, frame}).second) continue;
    scriptRunning_.insert(o->instanceId);
    runGuarded([&] { avm2::runFrameScript(m, o->instanceId, frame); });
    scriptRunning_.erase(o->instanceId);
  }
  for (auto it = deferred.rbegin(); it != deferred.rend(); ++it) entered_.push_front(*it);
  if (--scriptsDepth_ == 0) entered_.clear();
}

// The waiting frame scripts in the order of the display list, a parent before its
// children; clips off the list keep their order after those on it.
void MovieScripts::sortEnteredByDisplayOrder() {
  if (entered_.size() < 2) return;
  std::unordered_map<uint64_t, size_t> position;
  std::vector<std::pair<MovieClip*, int>> pending = {{&stage_.root(), 0}};
  while (!pending.empty() && position.size() < Stage::kMaxObjects) {
    auto [clip, nesting] = pending.back();
    pending.pop_back();
    position.emplace(clip->instanceId, position.size());
    if (nesting >= Stage::kMaxNesting) continue;
    const auto& list = clip->displayList();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
      if (MovieClip* child = it->second->asClip(); child && it->first >= 0 && child->parent == clip)
        pending.emplace_back(child, nesting + 1);
  }
  auto rank = [&](const std::pair<std::weak_ptr<DisplayObject>, int>& e) {
    auto o = e.first.lock();
    auto it = o ? position.find(o->instanceId) : position.end();
    return it == position.end() ? SIZE_MAX : it->second;
  };
  std::stable_sort(entered_.begin(), entered_.end(),
                   [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
}

}  // namespace orv::movie
