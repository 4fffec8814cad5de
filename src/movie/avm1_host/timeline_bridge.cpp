#include "movie/avm1_host/timeline_bridge.h"
#include "movie/avm1_host/video_host.h"

#include <cmath>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "movie/text/edit_text.h"
#include "movie/avm1/text_format_object.h"

namespace orv::movie::avm1 {

namespace {
constexpr int kTimelineDepthOffset = -16384;  // getDepth() of timeline depth 0
// Clips keep timeline and script objects in one list: a script depth d sits at d + 16384,
// so every script depth from 0 up lies above every timeline depth, as getDepth shows them.
int listDepth(int scriptDepth) {
  return static_cast<int>(
      std::clamp<int64_t>(int64_t(scriptDepth) - kTimelineDepthOffset, INT_MIN, INT_MAX));
}
}  // namespace

// ---------------------------------------------------------------- ClipBridge

MovieClip* ClipBridge::clip() const {
  auto o = object_.lock();
  return o ? o->asClip() : nullptr;
}

std::string ClipBridge::name() const {
  auto o = object_.lock();
  return o ? o->name : "";
}

void ClipBridge::setName(const std::string& name) {
  if (auto o = object_.lock()) o->name = name;
}

ScriptClip* ClipBridge::parent() {
  auto o = object_.lock();
  return o && o->parent ? bridge_.bridgeFor(o->parent) : nullptr;
}

ScriptClip* ClipBridge::childByName(std::string_view name, bool caseInsensitive) {
  MovieClip* c = clip();
  if (!c || name.empty()) return nullptr;  // unnamed objects are found by no name
  DisplayObject* child = c->childByName(std::string(name), caseInsensitive);
  if (!child) return nullptr;
  // Named buttons are objects of their own from SWF 6.
  const bool button = child->character &&
                      std::holds_alternative<swf::ButtonDef>(*child->character) &&
                      bridge_.stage().movie().header.version >= 6;
  const bool text =
      child->editText ||
      (child->character && std::holds_alternative<swf::EditTextDef>(*child->character));
  const bool video =
      child->character && std::holds_alternative<swf::VideoStreamDef>(*child->character);
  if (child->asClip() || button || text || video) return bridge_.bridgeFor(child);
  // Shapes cannot be scripted: their names lead to the clip that holds them.
  return this;
}

std::vector<ScriptClip*> ClipBridge::children() {
  std::vector<ScriptClip*> out;
  if (MovieClip* c = clip())
    for (auto& [d, o] : c->displayList())
      if (o->asClip()) out.push_back(bridge_.bridgeFor(o.get()));
  return out;
}

int ClipBridge::level() const {
  auto o = object_.lock();
  if (!o || o->parent) return -1;
  // A level's root; a clip taken off the stage counts as the first movie's.
  return std::max(0, bridge_.stage().levelOf(*o));
}

int ClipBridge::loadedLevel() const {
  auto o = object_.lock();
  if (!o || o->parent) return -1;
  return std::max(0, bridge_.stage().loadedLevelOf(*o));
}

double ClipBridge::getProperty(ClipProperty p) {
  auto o = object_.lock();
  if (!o) return 0;
  const swf::Matrix& m = o->matrix;
  switch (p) {
    case ClipProperty::X:
      return m.tx / 20.0;
    case ClipProperty::Y:
      return m.ty / 20.0;
    case ClipProperty::XScale:
      return std::isnan(o->scriptXScale) ? std::hypot(m.a, m.b) * 100 : o->scriptXScale;
    case ClipProperty::YScale:
      return std::isnan(o->scriptYScale) ? std::hypot(m.c, m.d) * 100 : o->scriptYScale;
    case ClipProperty::Rotation:
      return std::isnan(o->scriptRotation) ? std::atan2(m.b, m.a) * 180 / M_PI : o->scriptRotation;
    case ClipProperty::Alpha:
      return o->cxform.aMul * 100;
    case ClipProperty::Visible:
      return o->visible ? 1 : 0;
    case ClipProperty::Width:
      return sizeInParent(false);
    case ClipProperty::Height:
      return sizeInParent(true);
    case ClipProperty::HighQuality:
      return 1;
    case ClipProperty::FocusRect:
      return o->focusRect == 0 ? 0 : 1;
    case ClipProperty::SoundBufTime:
      return 5;
    case ClipProperty::XMouse:
    case ClipProperty::YMouse: {
      // The pointer in the clip's own coordinates.
      swf::Matrix toStage;
      for (DisplayObject* d = o.get(); d; d = d->parent) toStage = d->matrix * toStage;
      auto inv = toStage.inverted();
      if (!inv) return 0;
      const double x = bridge_.mouseXTwips, y = bridge_.mouseYTwips;
      return (p == ClipProperty::XMouse ? inv->mapX(x, y) : inv->mapY(x, y)) / 20.0;
    }
    default:
      return 0;
  }
}

void ClipBridge::setProperty(ClipProperty p, double v) {
  auto o = object_.lock();
  if (!o || !std::isfinite(v)) return;
  if (p == ClipProperty::Width || p == ClipProperty::Height) {
    setSizeInParent(p == ClipProperty::Height, v);
    return;
  }
  swf::Matrix& m = o->matrix;
  const double sx = getProperty(ClipProperty::XScale), sy = getProperty(ClipProperty::YScale);
  const double rot = getProperty(ClipProperty::Rotation);
  // The directions of the two axes: x from the rotation, y from the matrix, so that a
  // skew (the y axis turned apart from the x axis) outlives changes of scale and rotation.
  const double rotX = rot * M_PI / 180;
  const double rotY = sy < 0 ? std::atan2(m.c, -m.d) : std::atan2(-m.c, m.d);
  // Quarter turns give exact zeros, not the rounding of cos and sin.
  auto clean = [](double x) { return std::abs(x) < 1e-12 ? 0.0 : x; };
  auto setXAxis = [&](double scale, double angle) {
    m.a = clean(scale / 100 * std::cos(angle));
    m.b = clean(scale / 100 * std::sin(angle));
  };
  auto setYAxis = [&](double scale, double angle) {
    m.c = clean(-scale / 100 * std::sin(angle));
    m.d = clean(scale / 100 * std::cos(angle));
  };
  auto remember = [&](double x, double y, double degrees) {
    o->scriptXScale = x;
    o->scriptYScale = y;
    o->scriptRotation = degrees;
  };
  switch (p) {
    case ClipProperty::X:
      m.tx = v * 20;
      break;
    case ClipProperty::Y:
      m.ty = v * 20;
      break;
    case ClipProperty::XScale:
      setXAxis(v, rotX);
      remember(v, sy, rot);
      break;
    case ClipProperty::YScale:
      setYAxis(v, rotY);
      remember(sx, v, rot);
      break;
    case ClipProperty::Rotation: {
      // Flash keeps rotations within -180..180.
      double d = std::fmod(v, 360);
      if (d > 180) d -= 360;
      if (d < -180) d += 360;
      const double turn = d * M_PI / 180 - rotX;
      setXAxis(sx, rotX + turn);
      setYAxis(sy, rotY + turn);
      remember(sx, sy, d);
      break;
    }
    case ClipProperty::Alpha:
      o->cxform.aMul = v / 100;
      break;
    case ClipProperty::Visible:
      o->visible = v != 0;
      return;
    case ClipProperty::FocusRect:
      o->focusRect = v < 0 ? -1 : v != 0 ? 1 : 0;
      return;
    default:
      return;
  }
  o->transformLockedByScript = true;
}

void ClipBridge::gotoFrame(int frame, bool play) {
  if (MovieClip* c = clip()) {
    const size_t mark = bridge_.stage().pendingEvents();
    c->gotoFrame(frame);
    if (play)
      c->play();
    else
      c->stop();
    bridge_.constructNow(mark);
  }
}

bool ClipBridge::gotoLabel(std::string_view label, bool play) {
  MovieClip* c = clip();
  const size_t mark = bridge_.stage().pendingEvents();
  if (!c || !c->gotoLabel(std::string(label))) return false;
  if (play)
    c->play();
  else
    c->stop();
  bridge_.constructNow(mark);
  return true;
}

int ClipBridge::frameOfLabel(std::string_view label) {
  MovieClip* c = clip();
  return c ? c->timeline().findLabel(std::string(label)) : -1;
}

void ClipBridge::play() {
  if (MovieClip* c = clip()) c->play();
}
void ClipBridge::stop() {
  if (MovieClip* c = clip()) c->stop();
}
int ClipBridge::currentFrame() {
  MovieClip* c = clip();
  return c ? std::max(0, c->currentFrame()) : 0;
}
int ClipBridge::totalFrames() {
  MovieClip* c = clip();
  return c ? std::max(1, c->frameCount()) : 1;
}

void ClipBridge::runFrameActions(int frame) {
  MovieClip* c = clip();
  if (!c || frame < 0 || frame >= c->frameCount()) return;
  for (auto& a : c->timeline().frames[static_cast<size_t>(frame)].actions)
    bridge_.vm().runActions(this, a.bytes, c->movie->header.version);
}

ScriptClip* ClipBridge::duplicate(const std::string& newName, int depth) {
  auto o = object_.lock();
  MovieClip* c = clip();
  if (!o || !c || !o->parent) return nullptr;
  auto copy =
      std::make_shared<MovieClip>(bridge_.stage(), o->characterId, o->character, &c->timeline());
  copy->movie = o->movie;
  copy->name = newName;
  copy->matrix = o->matrix;
  copy->cxform = o->cxform;
  copy->clipActions = o->clipActions;
  if (c->drawing) copy->drawing = std::make_unique<Drawing>(*c->drawing);  // what scripts drew
  o->parent->setScriptObject(listDepth(depth), copy);
  copy->gotoFrame(0);
  bridge_.stage().dispatchEvents();
  return bridge_.bridgeFor(copy.get());
}

ScriptClip* ClipBridge::attachMovie(const std::string& exportName, const std::string& newName,
                                    int depth) {
  MovieClip* c = clip();
  if (!c) return nullptr;
  const swf::Movie* source = c->movie;
  const swf::Character* ch = bridge_.stage().exported(source, exportName);
  const auto* sprite = ch ? std::get_if<swf::SpriteDef>(ch) : nullptr;
  const auto* button = ch ? std::get_if<swf::ButtonDef>(ch) : nullptr;
  if ((!sprite && !button) || !bridge_.stage().mayCreateObject()) return nullptr;
  if (button) {
    // An exported button is attached as a button.
    auto made = std::make_shared<DisplayObject>(bridge_.stage(), button->id, ch);
    made->movie = source;
    made->name = newName;
    c->setScriptObject(listDepth(depth), made);
    return bridge_.bridgeFor(made.get());
  }
  auto made = std::make_shared<MovieClip>(bridge_.stage(), sprite->id, ch, &sprite->timeline);
  made->movie = source;
  made->name = newName;
  c->setScriptObject(listDepth(depth), made);
  made->gotoFrame(0);
  bridge_.stage().dispatchEvents();
  return bridge_.bridgeFor(made.get());
}

bool ClipBridge::attachBitmap(std::shared_ptr<const render::Bitmap> bitmap, int depth,
                              bool smoothing) {
  MovieClip* c = clip();
  if (!c || !bitmap || !bridge_.stage().mayCreateObject()) return false;
  auto made = std::make_shared<DisplayObject>(bridge_.stage(), 0, nullptr);
  made->movie = c->movie;
  made->madeByScript = true;
  made->bitmap = std::move(bitmap);
  made->smoothBitmap = smoothing;
  c->setScriptObject(listDepth(depth), made);
  return true;
}

ScriptClip* ClipBridge::createEmptyMovieClip(const std::string& newName, int depth) {
  MovieClip* c = clip();
  if (!c) return nullptr;
  static const swf::Timeline kEmpty{};
  auto made = std::make_shared<MovieClip>(bridge_.stage(), 0, nullptr, &kEmpty);
  made->movie = c->movie;
  made->name = newName;
  c->setScriptObject(listDepth(depth), made);
  return bridge_.bridgeFor(made.get());
}

std::u32string ClipBridge::staticText() {
  std::u32string out;
  if (MovieClip* c = clip())
    for (auto& [d, o] : c->displayList())
      if (const auto* text = o->character ? std::get_if<swf::TextDef>(o->character) : nullptr)
        out += staticTextOf(*o->movie, *text);
  return out;
}

EditTextState* fieldStateOf(DisplayObject& o) {
  if (!o.editText) {
    const auto* edit = o.character ? std::get_if<swf::EditTextDef>(o.character) : nullptr;
    if (!edit || !o.movie) return nullptr;
    const swf::Movie& movie = *o.movie;
    const swf::FontDef* font = edit->hasFont ? movie.get<swf::FontDef>(edit->fontId) : nullptr;
    o.editText = std::make_shared<EditTextState>(*edit, font, movie.header.version >= 6);
    o.editText->movie = &movie;
  }
  return o.editText.get();
}

EditTextState* ClipBridge::textField() {
  auto o = object_.lock();
  return o ? fieldStateOf(*o) : nullptr;
}

ScriptClip* ClipBridge::createTextField(const std::string& newName, int depth, double x, double y,
                                        double width, double height) {
  MovieClip* c = clip();
  if (!c || !bridge_.stage().mayCreateObject()) return nullptr;
  const swf::EditTextDef def = createdFieldDef(width, height);
  auto made = std::make_shared<DisplayObject>(bridge_.stage(), 0, nullptr);
  made->movie = c->movie;
  made->name = newName;
  made->matrix.tx = x * 20;
  made->matrix.ty = y * 20;
  made->editText =
      std::make_shared<EditTextState>(def, nullptr, bridge_.stage().movie().header.version >= 6);
  made->editText->movie = c->movie;
  c->setScriptObject(listDepth(depth), made);
  return bridge_.bridgeFor(made.get());
}

bool ClipBridge::removeSelf() {
  auto o = object_.lock();
  if (!o) return false;
  if (!o->parent) {
    // A level moved to a script depth (swapDepths) can be removed; its scripts see it
    // gone at once, and no unload handler of its root runs.
    const int level = bridge_.stage().levelOf(*o);
    if (level <= 0 || level + kTimelineDepthOffset < 0) return false;
    if (auto gone = bridge_.stage().removeLevel(level)) bridge_.forgetTree(*gone, level);
    return true;
  }
  if (o->depth + kTimelineDepthOffset < 0) return false;
  // References to the removed clip follow a clip made later at its path.
  if (scriptObject) scriptObject->formerPath = bridge_.vm().targetPath(this);
  bool removed = o->parent->removeObject(o->depth);
  // Gone at once, unless it waits for its unload handlers: the scripts running now see
  // it gone (its queued removal finds nothing left to do).
  if (removed && !o->parent) bridge_.unloaded(*o);
  bridge_.stage().dispatchEvents();
  return removed;
}

void ClipBridge::swapDepths(int depth) {
  auto o = object_.lock();
  if (!o) return;
  if (!o->parent) {
    // A level loaded by number moves once, to a script depth (it becomes
    // _level<16384 + depth>); the first movie and levels at script depths stay.
    const int level = bridge_.stage().levelOf(*o);
    if (level > 0 && level + kTimelineDepthOffset < 0 && depth >= 0)
      bridge_.stage().moveLevel(level, listDepth(depth));
    return;
  }
  if (o->depth < 0) return;  // a clip unloading
  o->parent->swapDepths(o->depth, listDepth(depth));
}

int ClipBridge::nextHighestDepth() {
  MovieClip* c = clip();
  if (!c || c->displayList().empty()) return 0;
  return std::max(0, c->displayList().rbegin()->first + kTimelineDepthOffset + 1);
}

int ClipBridge::depth() {
  auto o = object_.lock();
  if (!o) return 0;
  return o->depth + kTimelineDepthOffset;
}

// ---------------------------------------------------------------- TimelineBridge

ScriptLimits TimelineBridge::limitsFor(const swf::Movie& movie) {
  ScriptLimits limits;
  if (movie.scriptTimeoutSeconds && *movie.scriptTimeoutSeconds > 0)
    limits.maxMillisecondsPerRun = *movie.scriptTimeoutSeconds * 1000.0;
  if (movie.maxRecursionDepth && *movie.maxRecursionDepth > 0)
    limits.maxCallDepth = std::min<int>(*movie.maxRecursionDepth, ScriptLimits::kMostCallDepth);
  return limits;
}

TimelineBridge::TimelineBridge(Stage& stage, double timeLimitMs) : stage_(stage) {
  ScriptLimits limits = limitsFor(stage.movie());
  if (timeLimitMs > 0) limits.maxMillisecondsPerRun = timeLimitMs;
  vm_ = std::make_unique<Vm>(*this, stage.movie().header.version, limits);
  setVideoHost(*vm_, makeStageVideoHost());
  loadedSizes_[&stage.movie()] = stage.movie().header.fileLength;
  // A clip waits for the unload handlers of its own and of the clips inside it: they see
  // it where it was, their paths whole.
  stage_.hasUnloadHandler = [this](const DisplayObject& object) {
    std::vector<std::pair<const DisplayObject*, int>> work{{&object, 0}};
    while (!work.empty()) {
      auto [o, nesting] = work.back();
      work.pop_back();
      if (o->clipActions)
        for (const swf::ClipAction& ca : *o->clipActions)
          if (ca.events & swf::ClipEvent::Unload) return true;
      auto it = bridges_.find(const_cast<DisplayObject*>(o));
      if (it != bridges_.end() && it->second->object() == o && it->second->scriptObject &&
          vm_->getMember(it->second->scriptObject, "onUnload").isObject())
        return true;
      if (MovieClip* clip = const_cast<DisplayObject*>(o)->asClip(); clip && nesting < Stage::kMaxNesting)
        for (const auto& [depth, child] : clip->displayList())
          if (child->asClip()) work.push_back({child.get(), nesting + 1});
    }
    return false;
  };
  // A clip whose own actions are running stays what they work on until they end.
  stage_.leaving = [this](DisplayObject& object) {
    if (auto it = bridges_.find(&object); it != bridges_.end() && !vm_->runningOn(it->second.get()))
      vm_->clipRemoved(it->second.get());
  };
}

TimelineBridge::~TimelineBridge() {
  stage_.hasUnloadHandler = nullptr;
  stage_.leaving = nullptr;
  vm_->endMovie();  // writes the shared objects the movie opened
  vm_.reset();
  bridges_.clear();
}

ClipBridge* TimelineBridge::bridgeFor(DisplayObject* object) {
  if (!object) return nullptr;
  auto it = bridges_.find(object);
  if (it != bridges_.end()) {
    if (it->second->object() == object) return it->second.get();
    // The address was reused by a new object: the old bridge is stale.
    vm_->clipRemoved(it->second.get());
    bridges_.erase(it);
  }
  auto b = std::make_unique<ClipBridge>(*this, object->weak_from_this());
  ClipBridge* raw = b.get();
  bridges_[object] = std::move(b);
  return raw;
}

ScriptClip* TimelineBridge::level(int n) { return bridgeFor(stage_.level(n)); }

void TimelineBridge::forgetTree(MovieClip& root, int level) {
  // References to the root follow whatever comes to its level later, by its path.
  if (auto it = bridges_.find(&root); it != bridges_.end() && it->second->scriptObject)
    it->second->scriptObject->formerPath = "_level" + std::to_string(level);
  std::vector<std::pair<DisplayObject*, int>> work{{&root, 0}};
  while (!work.empty()) {
    auto [object, nesting] = work.back();
    work.pop_back();
    if (auto it = bridges_.find(object); it != bridges_.end() && it->second->object() == object)
      vm_->clipRemoved(it->second.get());
    MovieClip* clip = object->asClip();
    if (!clip || nesting >= Stage::kMaxNesting) continue;
    for (auto& [d, child] : clip->displayList()) work.push_back({child.get(), nesting + 1});
    for (auto& child : clip->unloading()) work.push_back({child.get(), nesting + 1});
  }
  if (auto d = dragged_.lock(); d && !d->parent && stage_.levelOf(*d) < 0) dragged_.reset();
}

void TimelineBridge::trace(std::string_view line) {
  if (stage_.traceSink) stage_.traceSink(std::string(line));
}

void TimelineBridge::onTimelineEvent(Stage& stage, const TimelineEvent& event) {
  auto object = event.object.lock();
  // Actions run as the movie that holds them was compiled: imported clips by their own.
  const int version = (object ? *object->movie : stage.movie()).header.version;
  switch (event.kind) {
    case TimelineEvent::Kind::FrameEntered: {
      MovieClip* clip = object ? object->asClip() : nullptr;
      if (!clip || event.frame < 0 || event.frame >= clip->frameCount()) return;
      const auto& actions = clip->timeline().frames[static_cast<size_t>(event.frame)].actions;
      struct Running {
        std::shared_ptr<DisplayObject> keep;
        MovieClip* clip;
        int before;
        ~Running() { clip->runningActionsOf = before; }
      } running{object, clip, clip->runningActionsOf};
      clip->runningActionsOf = event.frame;
      if (event.action >= 0) {
        if (static_cast<size_t>(event.action) < actions.size())
          vm_->runActions(bridgeFor(clip), actions[static_cast<size_t>(event.action)].bytes,
                          version);
        return;
      }
      for (auto& a : actions) vm_->runActions(bridgeFor(clip), a.bytes, version);
      return;
    }
    case TimelineEvent::Kind::InitAction: {
      // With the root of the level the frame belongs to as their target.
      DisplayObject* root = object ? object.get() : &stage.root();
      for (int guard = 0; root->parent && guard < Stage::kMaxNesting * 2; ++guard)
        root = root->parent;
      if (event.initAction) vm_->runActions(bridgeFor(root), event.initAction->bytes, version);
      return;
    }
    case TimelineEvent::Kind::Initialized: {
      if (!object) return;
      // The class scripts registered for the clip's symbol (Object.registerClass): its
      // prototype at once, its constructor after onClipEvent(initialize) and (construct).
      Object* ctor = registeredClassOf(*object);
      if (Object* self = ctor ? vm_->objectFor(bridgeFor(object.get())) : nullptr) {
        Value proto = vm_->getMember(ctor, "prototype");
        if (proto.isObject())
          self->put("__proto__", proto, kDontEnum | kDontDelete, vm_->caseInsensitive());
      }
      if (object->clipActions)
        for (auto& ca : *object->clipActions)
          if (ca.events & swf::ClipEvent::Initialize)
            vm_->runActions(bridgeFor(object.get()), ca.actions, version);
      return;
    }
    case TimelineEvent::Kind::Constructed: {
      if (!object) return;
      // on(construct) already sees the class's prototype; the constructor runs after it.
      Object* ctor = registeredClassOf(*object);
      Object* self = ctor ? vm_->objectFor(bridgeFor(object.get())) : nullptr;
      if (self) {
        Value proto = vm_->getMember(ctor, "prototype");
        if (proto.isObject())
          self->put("__proto__", proto, kDontEnum | kDontDelete, vm_->caseInsensitive());
      }
      if (object->clipActions)
        for (auto& ca : *object->clipActions)
          if (ca.events & swf::ClipEvent::Construct)
            vm_->runActions(bridgeFor(object.get()), ca.actions, version);
      if (self) vm_->callFunctionSafely(Value(ctor), Value(self));
      return;
    }
    case TimelineEvent::Kind::Placed:
      if (object && object->character &&
          std::holds_alternative<swf::EditTextDef>(*object->character) &&
          !std::get<swf::EditTextDef>(*object->character).variableName.empty())
        syncTextFieldVariable(*vm_, bridgeFor(object.get()), true);
      if (object && object->asClip() && object->clipActions)
        for (auto& ca : *object->clipActions)
          if (ca.events & swf::ClipEvent::Load)
            vm_->runActions(bridgeFor(object.get()), ca.actions, version);
      // Then its onLoad method, which a clip of the timeline can only have from its class
      // (attached clips get theirs called once their class has run); a level's root from
      // its first frame's actions.
      if (object && object->asClip() && !object->madeByScript)
        if (Object* self = bridgeFor(object.get())->scriptObject)
          vm_->callMethodIfPresent(self, "onLoad");
      return;
    case TimelineEvent::Kind::Removed:
      if (object) unloaded(*object);
      return;
    case TimelineEvent::Kind::EnterFrame: {
      // onClipEvent(enterFrame) and onEnterFrame, for a clip still on the stage.
      if (!object || !onStage(*object)) return;
      ClipBridge* b = bridgeFor(object.get());
      if (object->clipActions)
        for (auto& ca : *object->clipActions)
          if (ca.events & swf::ClipEvent::EnterFrame) vm_->runActions(b, ca.actions, version);
      if (b->scriptObject) vm_->callMethodIfPresent(b->scriptObject, "onEnterFrame");
      return;
    }
    default:
      return;
  }
}

Object* TimelineBridge::registeredClassOf(const DisplayObject& object) {
  if (!object.movie) return nullptr;
  for (const auto& [name, id] : object.movie->exports)
    if (id == object.characterId)
      if (Object* ctor = vm_->registeredClass(name)) return ctor;
  return nullptr;
}

void TimelineBridge::unloaded(DisplayObject& object) {
  auto it = bridges_.find(&object);
  if (it == bridges_.end() || object.unloadHandled) return;
  // The clips inside leave with it and hear it first: the newest first, each one's own
  // clips before it; the clip itself last.
  std::vector<std::shared_ptr<DisplayObject>> order;
  if (MovieClip* clip = object.asClip()) {
    struct Visit {
      std::shared_ptr<DisplayObject> object;
      int nesting;
      bool expanded;
    };
    std::vector<Visit> work;
    auto pushChildren = [&work](MovieClip& parent, int nesting) {
      std::vector<std::shared_ptr<DisplayObject>> kids;
      for (auto& [d, child] : parent.displayList()) kids.push_back(child);
      // Pushed oldest first, so the newest comes off the stack first.
      std::sort(kids.begin(), kids.end(),
                [](const auto& a, const auto& b) { return a->instanceId < b->instanceId; });
      for (auto& k : kids) work.push_back({k, nesting, false});
    };
    pushChildren(*clip, 1);
    while (!work.empty()) {
      Visit& v = work.back();
      MovieClip* inner = v.object->asClip();
      if (!v.expanded && inner && v.nesting < Stage::kMaxNesting) {
        v.expanded = true;
        pushChildren(*inner, v.nesting + 1);  // invalidates v
        continue;
      }
      order.push_back(std::move(work.back().object));
      work.pop_back();
    }
  }
  for (auto& child : order) {
    if (child->unloadHandled) continue;
    child->unloadHandled = true;
    if (auto b = bridges_.find(child.get());
        b != bridges_.end() && b->second->object() == child.get()) {
      if (child->clipActions)
        for (auto& ca : *child->clipActions)
          if (ca.events & swf::ClipEvent::Unload)
            vm_->runActions(b->second.get(), ca.actions, child->movie->header.version);
      vm_->callMethodIfPresent(b->second->scriptObject, "onUnload");
    }
  }
  object.unloadHandled = true;
  if (object.clipActions)
    for (auto& ca : *object.clipActions)
      if (ca.events & swf::ClipEvent::Unload)
        vm_->runActions(it->second.get(), ca.actions, object.movie->header.version);
  vm_->callMethodIfPresent(it->second->scriptObject, "onUnload");
  // A clip parked while unloading keeps its script object until the frame is done.
  if (!object.parent) vm_->clipRemoved(it->second.get());
}

std::vector<std::weak_ptr<DisplayObject>> TimelineBridge::clipsParentsFirst() {
  std::vector<std::weak_ptr<DisplayObject>> clips;
  // Levels in order, each one's clips parents first.
  std::vector<MovieClip*> work;
  for (auto it = stage_.levels().rbegin(); it != stage_.levels().rend(); ++it)
    work.push_back(it->second.get());
  while (!work.empty()) {
    MovieClip* c = work.back();
    work.pop_back();
    clips.push_back(c->weak_from_this());
    for (auto& [d, o] : c->displayList())
      if (MovieClip* k = o->asClip()) work.push_back(k);
  }
  return clips;
}

bool TimelineBridge::onStage(const DisplayObject& object) const {
  const DisplayObject* o = &object;
  for (int guard = 0; o->parent && guard <= Stage::kMaxNesting * 2; ++guard) {
    if (o->parent->objectAt(o->depth) != o) return false;  // taken off, or parked while unloading
    o = o->parent;
  }
  return !o->parent && stage_.levelOf(*o) >= 0;
}

void TimelineBridge::constructNow(size_t mark) {
  // The init actions the goto reached go first in the queue: they run as soon as the
  // running script is done, ahead of what was queued before.
  std::vector<TimelineEvent> inits;
  for (TimelineEvent& ev : stage_.takeConstructionEvents(mark)) {
    if (ev.kind == TimelineEvent::Kind::InitAction)
      inits.push_back(std::move(ev));
    else
      onTimelineEvent(stage_, ev);
  }
  for (size_t i = 0; i < inits.size(); ++i) stage_.queueAt(i, std::move(inits[i]));
}

void TimelineBridge::tick() {
  vm_->startFrameBudget();
  vm_->runTimers();
  runVideoStreams(*vm_);
  vm_->runSoundCompletions();
  vm_->runLoads();
  stage_.dispatchEvents();
  // The clips move on, children before their parents, each queueing its enterFrame
  // handlers ahead of its frame's actions; then all of it runs.
  stage_.advanceTimelines();
  stage_.dispatchEvents();
  endFrame();
  afterTick();
}

void TimelineBridge::endFrame() {
  vm_->runLoads(true);
  stage_.dispatchEvents();
}

void TimelineBridge::afterTick() {
  stage_.finishUnloading([this](DisplayObject& gone) {
    auto it = bridges_.find(&gone);
    if (it != bridges_.end()) vm_->clipRemoved(it->second.get());
  });
  // Fields show their variables as the frame's scripts left them.
  for (auto& w : clipsParentsFirst())
    if (auto o = w.lock())
      for (auto& [d, child] : o->asClip()->displayList())
        if (child->editText && !child->editText->variable.empty())
          syncTextFieldVariable(*vm_, bridgeFor(child.get()), false);
  // Forget bridges of objects that are gone, then free unreachable script objects.
  for (auto it = bridges_.begin(); it != bridges_.end();) {
    if (it->second->clip() == nullptr && !it->second->scriptObject)
      it = bridges_.erase(it);
    else
      ++it;
  }
  vm_->collectGarbage();
}

}  // namespace orv::movie::avm1
