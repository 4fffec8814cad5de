// Display objects and movie clips: placing, moving, replacing and removing by depth,
// and going to any frame by working out the display list that frame must show.
#include <algorithm>
#include <cctype>
#include <climits>

#include "movie/timeline/display_object.h"
#include "movie/timeline/stage.h"

namespace orv::movie {

DisplayObject::DisplayObject(Stage& stage, swf::CharacterId id, const swf::Character* ch)
    : instanceId(stage.nextInstanceId()),
      characterId(id),
      character(ch),
      movie(&stage.movie()),
      stage_(stage) {
  stage.objectCreated();
}

DisplayObject::~DisplayObject() { stage_.objectDestroyed(); }

void DisplayObject::setScriptFilters(std::vector<uint8_t> bytes,
                                     const std::vector<std::shared_ptr<render::Bitmap>>& maps) {
  scriptFilterMaps.reset();
  if (bytes.empty() || bytes[0] == 0) {
    scriptFilters.reset();
    filters = nullptr;
    return;
  }
  scriptFilters = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  filters = scriptFilters.get();
  if (!maps.empty())
    scriptFilterMaps = std::make_shared<const std::vector<std::shared_ptr<const render::Bitmap>>>(
        maps.begin(), maps.end());
}

MovieClip::MovieClip(Stage& stage, swf::CharacterId id, const swf::Character* character,
                     const swf::Timeline* timeline)
    : DisplayObject(stage, id, character), timeline_(timeline) {}

// What one depth holds at the frame being worked out. `live` is the object that already
// shows it, when the change keeps that object.
struct MovieClip::Slot {
  swf::CharacterId characterId = 0;
  int placedFrame = 0;
  int placedTag = 0;  // the index of the display tag that placed it, in its frame
  swf::Matrix matrix;
  swf::ColorTransform cxform;
  uint16_t ratio = 0;
  std::string name;
  uint16_t clipDepth = 0;
  const std::vector<swf::ClipAction>* clipActions = nullptr;
  uint8_t blendMode = 0;
  bool cacheAsBitmap = false;
  const std::vector<uint8_t>* filters = nullptr;
  bool byReplace = false;  // the character came in by a move that changed it
  std::shared_ptr<DisplayObject> live;
};

namespace {

using Slots = std::map<int, MovieClip::Slot>;

// False when the placement finds its depth taken and does nothing.
bool applyPlace(Slots& slots, const swf::PlaceObject& p, int frame, int tagIndex) {
  auto it = slots.find(p.depth);
  // Placing a new object (no move flag) on a depth something already holds changes
  // nothing: what is there stays, as it is.
  if (it != slots.end() && !p.move && p.version >= 2) return false;
  if (it == slots.end()) {
    if (!p.characterId) return true;  // a move of an empty depth: nothing to move
    MovieClip::Slot s;
    s.characterId = *p.characterId;
    s.placedFrame = frame;
    s.placedTag = tagIndex;
    it = slots.emplace(p.depth, std::move(s)).first;
  } else if (p.version == 1) {
    // PlaceObject (1) always places a new instance.
    MovieClip::Slot s;
    s.characterId = *p.characterId;
    s.placedFrame = frame;
    s.placedTag = tagIndex;
    it->second = std::move(s);
  } else if (p.characterId && *p.characterId != it->second.characterId) {
    // Replace: the depth shows another character from now on, keeping the placement.
    it->second.characterId = *p.characterId;
    it->second.placedFrame = frame;
    it->second.placedTag = tagIndex;
    it->second.byReplace = true;
    it->second.live.reset();
  }
  MovieClip::Slot& s = it->second;
  if (p.matrix) s.matrix = *p.matrix;
  if (p.cxform) s.cxform = *p.cxform;
  if (p.ratio) s.ratio = *p.ratio;
  if (p.name) s.name = *p.name;
  if (p.clipDepth) s.clipDepth = *p.clipDepth;
  if (!p.clipActions.empty()) s.clipActions = &p.clipActions;
  if (p.blendMode) s.blendMode = *p.blendMode;
  if (p.cacheAsBitmap) s.cacheAsBitmap = *p.cacheAsBitmap;
  if (p.hasFilters) s.filters = &p.filterData;
  return true;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

}  // namespace

void MovieClip::gotoFrame(int frame) {
  if (frameCount() == 0) return;
  frame = std::clamp(frame, 0, frameCount() - 1);
  if (frame == currentFrame_) return;
  enterFrame(frame, false);
}

bool MovieClip::gotoLabel(const std::string& label) {
  int frame = timeline_->findLabel(label);
  if (frame < 0 || frame >= frameCount()) return false;
  gotoFrame(frame);
  return true;
}

void MovieClip::enterFrame(int frame, bool fromStep) {
  Slots slots;
  int first = 0;
  if (currentFrame_ >= 0 && frame > currentFrame_) {
    // Forward: continue from what is shown now.
    for (const auto& [depth, obj] : list_) {
      if (obj->placedFrame < 0) continue;
      Slot s;
      s.characterId = obj->characterId;
      s.placedFrame = obj->placedFrame;
      s.byReplace = obj->placedByReplace;
      s.matrix = obj->matrix;
      s.cxform = obj->cxform;
      s.ratio = obj->ratio;
      s.name = obj->name;
      s.clipDepth = obj->clipDepth;
      s.clipActions = obj->clipActions;
      s.blendMode = obj->blendMode;
      s.cacheAsBitmap = obj->cacheAsBitmap;
      s.filters = obj->filters;
      s.live = obj;
      slots.emplace(depth, std::move(s));
    }
    first = currentFrame_ + 1;
  }
  const bool rebuilt = first == 0 && currentFrame_ >= 0;
  Stage& st = stage();
  std::vector<TimelineEvent> finalInits;
  std::map<int, int> removals;  // depth -> the order of the entered frame's tag removing it
  for (int f = first; f <= frame; ++f) {
    const swf::Frame& fr = timeline_->frames[f];
    for (size_t i = 0; i < fr.displayTags.size(); ++i) {
      const swf::DisplayTag& tag = fr.displayTags[i];
      if (const auto* p = std::get_if<swf::PlaceObject>(&tag)) {
        // Played (not replayed going back), a placement on a taken depth is reported, as
        // players of movies made for Flash Player 9 on do.
        if (!applyPlace(slots, *p, f, static_cast<int>(i)) && !rebuilt && movie &&
            movie->header.version >= 9)
          st.log("Warning: Failed to place object at depth " + std::to_string(p->depth) + ".");
      } else {
        const int depth = std::get<swf::RemoveObject>(tag).depth;
        if (f == frame) removals.emplace(depth, static_cast<int>(removals.size()));
        if (rebuilt) passThrough(slots, depth);
        slots.erase(depth);
      }
    }
    for (const auto& init : fr.initActions) {
      // Those of a character defined further on wait until the timeline has been there.
      if (init.definedInFrame > highestFrame_) continue;
      if (!st.markInitActionsDone(movie, init.spriteId)) continue;
      TimelineEvent ev{TimelineEvent::Kind::InitAction, weak_from_this()};
      ev.initAction = &init;
      ev.frame = f;
      // The entered frame's wait to run in tag order with its new clips' initialize events.
      if (f == frame)
        finalInits.push_back(std::move(ev));
      else
        st.queue(std::move(ev));
    }
    highestFrame_ = std::max(highestFrame_, f);
    // Jumping forward passes through the frames between: what they place and remove
    // comes and goes (with its load and unload events), as playing them would.
    if (!rebuilt && f < frame) reconcile(slots, false);
  }
  // The frame's actions run once the display list is complete, so they see all of it;
  // those before the frame's first new placement run before the unload events of what it
  // removes. The load events and first frames of the clips it places run in the order of
  // their tags among its actions (all after them when jumping or going back).
  std::weak_ptr<DisplayObject> self = weak_from_this();
  const size_t mark = st.pendingEvents();
  std::vector<std::pair<int, std::shared_ptr<DisplayObject>>> made;
  madeNow_ = &made;
  removalOrder_ = &removals;
  if (first == frame) {
    uint32_t firstPlacement = UINT32_MAX;
    for (const auto& [depth, s] : slots)
      if (!s.live && s.placedFrame == frame)
        firstPlacement = std::min(firstPlacement, static_cast<uint32_t>(s.placedTag));
    enteringFrame_ = frame;
    actionsQueued_ = 0;
    if (timeline_->frames[frame].actions.empty())
      st.queue(TimelineEvent{TimelineEvent::Kind::FrameEntered, self, frame});
    queueActionsBefore(firstPlacement);
  } else if (frame != runningActionsOf) {
    st.queue(TimelineEvent{TimelineEvent::Kind::FrameEntered, self, frame});
  }
  // Scripts that hear of removals going back see the frame gone to already.
  if (rebuilt && st.beforeTimelineRemoval) currentFrame_ = frame;
  reconcile(slots, rebuilt);
  if (enteringFrame_ == frame) queueActionsBefore(UINT32_MAX);
  enteringFrame_ = -1;
  madeNow_ = nullptr;
  removalOrder_ = nullptr;
  currentFrame_ = frame;
  // Ahead of the frame's actions: its init actions and the initialize events of the clips
  // it placed, in the order of their tags (init actions before the clips their tags
  // precede), then every new clip's construct events.
  std::vector<std::pair<int64_t, TimelineEvent>> ahead;
  for (auto& ev : finalInits)
    ahead.emplace_back(int64_t(ev.initAction->displayTagsBefore) * 2, std::move(ev));
  for (auto& [tagIndex, obj] : made) {
    // Clips an earlier frame placed (going back, or through frames passed on the way) first.
    const int64_t key = obj->placedFrame == frame ? int64_t(tagIndex) * 2 + 1 : -1;
    ahead.emplace_back(key, TimelineEvent{TimelineEvent::Kind::Initialized, obj});
  }
  std::stable_sort(ahead.begin(), ahead.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  // While the clock moves the clips on, these run ahead of every action the tick queued.
  size_t at = mark;
  std::vector<std::weak_ptr<DisplayObject>> constructs;
  auto runAhead = [&st, &at](TimelineEvent ev) {
    if (st.queueImmediate(ev))
      ++at;  // it went in before `at`
    else
      st.queueAt(at++, std::move(ev));
  };
  for (auto& [key, ev] : ahead) {
    if (ev.kind == TimelineEvent::Kind::Initialized) constructs.push_back(ev.object);
    runAhead(std::move(ev));
  }
  for (auto& obj : constructs)
    runAhead(TimelineEvent{TimelineEvent::Kind::Constructed, std::move(obj)});
  // A step of the clock: the clip's enterFrame handlers run after the clips it made are
  // constructed, ahead of its frame's actions.
  if (fromStep) st.queueAt(at++, TimelineEvent{TimelineEvent::Kind::EnterFrame, self});

  const swf::Frame& fr = timeline_->frames[frame];
  for (const auto& sound : fr.sounds) {
    TimelineEvent ev{TimelineEvent::Kind::Sound, self, frame};
    ev.sound = &sound;
    st.queue(std::move(ev));
  }
  if (fromStep && fr.streamBlock) {
    TimelineEvent ev{TimelineEvent::Kind::StreamBlock, self, frame};
    ev.streamBlock = &*fr.streamBlock;
    st.queue(std::move(ev));
  }
}

void MovieClip::queueActionsBefore(uint32_t tagIndex) {
  if (enteringFrame_ < 0 || enteringFrame_ >= frameCount() || enteringFrame_ == runningActionsOf)
    return;
  const auto& actions = timeline_->frames[static_cast<size_t>(enteringFrame_)].actions;
  for (; actionsQueued_ < actions.size() && actions[actionsQueued_].displayTagsBefore <= tagIndex;
       ++actionsQueued_) {
    TimelineEvent ev{TimelineEvent::Kind::FrameEntered, weak_from_this(), enteringFrame_};
    ev.action = static_cast<int>(actionsQueued_);
    stage().queue(std::move(ev));
  }
}

void MovieClip::reconcile(Slots& target, bool rebuilt) {
  Stage& st = stage();
  // Objects the target frame does not hold leave; the others take its state. Objects of
  // scripts stay, but a rebuilt list (going back) keeps none that scripts made in the
  // timeline's depths, and of the timeline's clips that scripts moved (swapDepths) only
  // those on a depth the frame holds: its placement finds the depth in use.
  std::vector<int> leaving;
  for (auto it = list_.begin(); it != list_.end();) {
    DisplayObject& obj = *it->second;
    if (obj.placedFrame < 0) {
      const bool leaves = rebuilt && it->first < kFirstScriptDepth &&
                          (obj.madeByScript || !target.count(it->first));
      if (leaves) leaving.push_back(it->first);
      ++it;
      continue;
    }
    auto slot = target.find(it->first);
    // Going back leaves alone what the timeline placed at the scripts' depths, unless the
    // frame gone to holds that depth.
    if (rebuilt && it->first >= kFirstScriptDepth && slot == target.end()) {
      ++it;
      continue;
    }
    // Going back, a clip placed after the frame the list is rebuilt for stays, as it is, on
    // a depth that frame holds with the same ratio: that frame's placement finds the depth
    // in use. Not a clip that came in by replacing another's character.
    if (rebuilt && obj.asClip() && !obj.placedByReplace && slot != target.end() &&
        !slot->second.live && obj.placedFrame > slot->second.placedFrame &&
        obj.ratio == slot->second.ratio) {
      slot->second.live = it->second;
      replayedUnnamed(slot->second);
      ++it;
      continue;
    }
    bool keep = slot != target.end() &&
                (slot->second.live == it->second ||
                 (rebuilt && !slot->second.live && slot->second.characterId == obj.characterId &&
                  slot->second.placedFrame == obj.placedFrame));
    if (!keep) {
      leaving.push_back(it->first);
      ++it;
      continue;
    }
    Slot& s = slot->second;
    if (rebuilt) replayedUnnamed(s);
    s.live = it->second;
    if (!obj.transformLockedByScript) {
      obj.matrix = s.matrix;
      obj.cxform = s.cxform;
    }
    obj.ratio = s.ratio;
    if (!s.name.empty()) obj.name = s.name;
    obj.clipDepth = s.clipDepth;
    obj.clipActions = s.clipActions;
    obj.blendMode = s.blendMode;
    obj.cacheAsBitmap = s.cacheAsBitmap;
    obj.filters = s.filters;
    ++it;
  }
  // What leaves goes in the order of the tags that removed it, then by depth.
  if (removalOrder_)
    std::stable_sort(leaving.begin(), leaving.end(), [this](int a, int b) {
      auto rank = [this](int depth) {
        auto r = removalOrder_->find(depth);
        return r == removalOrder_->end() ? INT_MAX : r->second;
      };
      return rank(a) < rank(b);
    });
  for (int depth : leaving) {
    auto it = list_.find(depth);
    if (it == list_.end()) continue;
    if (st.beforeTimelineRemoval) {
      const std::shared_ptr<DisplayObject> obj = it->second;
      st.beforeTimelineRemoval(*obj);
      it = list_.find(depth);
      if (it == list_.end() || it->second != obj) continue;  // the scripts moved it
    }
    detach(it);
  }
  // New objects come in the order of the tags that placed them.
  std::vector<std::pair<const int, Slot>*> placing;
  for (auto& entry : target)
    if (!entry.second.live) placing.push_back(&entry);
  std::stable_sort(placing.begin(), placing.end(), [](const auto* a, const auto* b) {
    return std::pair(a->second.placedFrame, a->second.placedTag) <
           std::pair(b->second.placedFrame, b->second.placedTag);
  });
  for (auto* entry : placing) {
    const int depth = entry->first;
    Slot& s = entry->second;
    if (s.placedFrame == enteringFrame_) queueActionsBefore(static_cast<uint32_t>(s.placedTag));
    if (list_.count(depth)) continue;  // a script-made object holds the depth
    std::shared_ptr<DisplayObject> obj = instantiate(s);
    if (!obj) continue;
    obj->depth = depth;
    list_[depth] = obj;
    // Clips are constructed at once, before the actions of the frame that places them
    // (their construct handlers, and the class scripts registered for their symbol).
    if (obj->asClip()) {
      if (madeNow_) {
        madeNow_->emplace_back(s.placedTag, obj);
      } else {
        st.queue(TimelineEvent{TimelineEvent::Kind::Initialized, obj});
        st.queue(TimelineEvent{TimelineEvent::Kind::Constructed, obj});
      }
    }
    // Load events of clips with onClipEvent handlers keep their place; others wait while
    // the clock moves the clips on.
    if (obj->asClip() && (!obj->clipActions || obj->clipActions->empty()))
      st.queueLoad(TimelineEvent{TimelineEvent::Kind::Placed, obj});
    else
      st.queue(TimelineEvent{TimelineEvent::Kind::Placed, obj});
    if (MovieClip* clip = obj->asClip()) clip->gotoFrame(0);
  }
}

// Going back, the frames up to the target are gone through again: a clip with an unload
// handler that one of them placed and a later one removes comes (initialize and construct
// events) and goes (unload events) on the way. Other clips of those frames never show.
void MovieClip::passThrough(Slots& slots, int depth) {
  auto slot = slots.find(depth);
  if (slot == slots.end()) return;
  const Slot& s = slot->second;
  bool unloads = false;
  if (s.clipActions)
    for (const auto& ca : *s.clipActions) unloads = unloads || (ca.events & swf::ClipEvent::Unload);
  if (!unloads) return;
  // The clip shown now that this placement made is the one leaving, as usual.
  if (auto live = list_.find(depth); live != list_.end() &&
                                     live->second->placedFrame == s.placedFrame &&
                                     live->second->characterId == s.characterId)
    return;
  std::shared_ptr<DisplayObject> obj = instantiate(s);
  if (!obj || !obj->asClip()) return;
  Stage& st = stage();
  obj->depth = -1 - depth;
  st.queue(TimelineEvent{TimelineEvent::Kind::Initialized, obj});
  st.queue(TimelineEvent{TimelineEvent::Kind::Constructed, obj});
  st.queue(TimelineEvent{TimelineEvent::Kind::Removed, obj});
  if (st.hasUnloadHandler && st.hasUnloadHandler(*obj)) {
    if (unloading_.empty()) st.noteUnloading(*this);
    unloading_.push_back(std::move(obj));
  } else {
    obj->parent = nullptr;
  }
}

// Going back, the placement of an unnamed clip or field that finds the object it made still
// there uses up an instance number all the same: the next new one's name is one further on.
void MovieClip::replayedUnnamed(const Slot& s) {
  if (!s.name.empty()) return;
  const swf::Movie* source = movie;
  const swf::Character* ch = stage().resolve(source, s.characterId);
  if (ch && (std::holds_alternative<swf::SpriteDef>(*ch) ||
             std::holds_alternative<swf::EditTextDef>(*ch)))
    stage().nextInstanceNumber();
}

std::shared_ptr<DisplayObject> MovieClip::instantiate(const Slot& s) {
  Stage& st = stage();
  if (!st.mayCreateObject()) return nullptr;
  const swf::Movie* source = movie;
  const swf::Character* ch = st.resolve(source, s.characterId);
  std::shared_ptr<DisplayObject> obj;
  int nesting = 0;
  for (MovieClip* p = this; p; p = p->parent) ++nesting;
  const auto* sprite = ch ? std::get_if<swf::SpriteDef>(ch) : nullptr;
  if (sprite && nesting < Stage::kMaxNesting) {
    auto clip = std::make_shared<MovieClip>(st, s.characterId, ch, &sprite->timeline);
    clip->createdTick = st.currentTick();
    obj = clip;
  } else {
    obj = std::make_shared<DisplayObject>(st, s.characterId, sprite ? nullptr : ch);
  }
  obj->movie = source;
  obj->parent = this;
  obj->placedFrame = s.placedFrame;
  obj->placedByReplace = s.byReplace;
  obj->matrix = s.matrix;
  obj->cxform = s.cxform;
  obj->ratio = s.ratio;
  obj->name = s.name;
  // Unnamed clips and text fields get the names scripts know them by: instance1, ...
  if (obj->name.empty() && (sprite || (ch && std::holds_alternative<swf::EditTextDef>(*ch))))
    obj->name = "instance" + std::to_string(st.nextInstanceNumber());
  obj->clipDepth = s.clipDepth;
  obj->clipActions = s.clipActions;
  obj->blendMode = s.blendMode;
  obj->cacheAsBitmap = s.cacheAsBitmap;
  obj->filters = s.filters;
  return obj;
}

void MovieClip::advance(uint64_t tick) {
  // The clips of the tree move on in one walk, the newest first wherever it sits: a clip
  // nested in an older one may go before its uncles, and children always go before their
  // parents (they are made later).
  std::vector<std::shared_ptr<MovieClip>> clips;
  std::vector<std::pair<MovieClip*, int>> work{{this, 0}};
  while (!work.empty()) {
    auto [clip, nesting] = work.back();
    work.pop_back();
    if (nesting >= Stage::kMaxNesting) continue;
    for (const auto& [depth, obj] : clip->list_) {
      MovieClip* child = obj->asClip();
      if (!child || child->createdTick >= tick) continue;
      clips.push_back(std::static_pointer_cast<MovieClip>(obj));
      work.emplace_back(child, nesting + 1);
    }
  }
  std::stable_sort(clips.begin(), clips.end(),
                   [](const auto& a, const auto& b) { return a->instanceId > b->instanceId; });
  for (auto& clip : clips)
    if (clip->parent && clip->parent->objectAt(clip->depth) == clip.get()) clip->step();
  step();
}

void MovieClip::step() {
  if (playing_ && frameCount() > 1) {
    int next = currentFrame_ + 1;
    if (next >= frameCount()) {
      if (parent == nullptr && !stage().loop()) {
        playing_ = false;
        next = currentFrame_;
      } else {
        next = 0;
      }
    }
    if (next != currentFrame_) {
      enterFrame(next, true);  // a step of the clock, looping included
      return;
    }
  }
  stage().queue(TimelineEvent{TimelineEvent::Kind::EnterFrame, weak_from_this()});
}

DisplayObject* MovieClip::objectAt(int depth) const {
  auto it = list_.find(depth);
  return it == list_.end() ? nullptr : it->second.get();
}

DisplayObject* MovieClip::childByName(const std::string& name, bool caseInsensitive) const {
  // Clips parked while they unload lie below every depth: a name finds them first.
  for (const auto& obj : unloading_)
    if (obj->name == name || (caseInsensitive && equalsIgnoreCase(obj->name, name)))
      return obj.get();
  for (const auto& [depth, obj] : list_) {
    if (obj->name == name || (caseInsensitive && equalsIgnoreCase(obj->name, name)))
      return obj.get();
  }
  return nullptr;
}

void MovieClip::setScriptObject(int depth, std::shared_ptr<DisplayObject> object) {
  removeObject(depth);
  if (!object) return;
  object->parent = this;
  object->depth = depth;
  object->placedFrame = -1;
  object->madeByScript = true;
  list_[depth] = std::move(object);
  stage().queue(TimelineEvent{TimelineEvent::Kind::Placed, list_[depth]});
}

bool MovieClip::removeObject(int depth) {
  auto it = list_.find(depth);
  if (it == list_.end()) return false;
  detach(it);
  return true;
}

std::map<int, std::shared_ptr<DisplayObject>>::iterator MovieClip::detach(
    std::map<int, std::shared_ptr<DisplayObject>>::iterator it) {
  Stage& st = stage();
  std::shared_ptr<DisplayObject> obj = it->second;
  st.queue(TimelineEvent{TimelineEvent::Kind::Removed, obj});
  if (it->first >= 0 && obj->asClip() && st.hasUnloadHandler && st.hasUnloadHandler(*obj)) {
    obj->depth = -1 - it->first;
    if (unloading_.empty()) st.noteUnloading(*this);
    unloading_.push_back(obj);
  } else {
    if (st.leaving) st.leaving(*obj);
    obj->parent = nullptr;
  }
  return list_.erase(it);
}

void MovieClip::finishUnloading(const std::function<void(DisplayObject&)>& gone) {
  std::vector<std::shared_ptr<DisplayObject>> leaving;
  leaving.swap(unloading_);
  for (auto& obj : leaving) {
    if (gone) gone(*obj);
    obj->parent = nullptr;
  }
}

void MovieClip::swapDepths(int from, int to) {
  auto a = list_.find(from);
  if (a == list_.end() || from == to) return;
  // What scripts moved, the timeline no longer places, moves or removes.
  std::shared_ptr<DisplayObject> moving = a->second;
  list_.erase(a);
  if (auto b = list_.find(to); b != list_.end()) {
    std::shared_ptr<DisplayObject> other = b->second;
    list_.erase(b);
    other->depth = from;
    other->placedFrame = -1;
    list_[from] = std::move(other);
  }
  moving->depth = to;
  moving->placedFrame = -1;
  list_[to] = std::move(moving);
}

}  // namespace orv::movie
