#pragma once
// The live display list: objects placed on the stage and inside sprites. A MovieClip
// (the root or a sprite instance) owns its display list and plays its own timeline.
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "movie/timeline/drawing.h"
#include "movie/swf/types.h"

namespace orv::movie {

class EditTextState;  // edit_text.h
namespace render {
struct Bitmap;  // render/paint.h
}
namespace video {
class EmbeddedVideo;  // video/embedded_video.h
}
class MovieClip;
class Stage;

class DisplayObject : public std::enable_shared_from_this<DisplayObject> {
 public:
  DisplayObject(Stage& stage, swf::CharacterId characterId, const swf::Character* character);
  virtual ~DisplayObject();
  DisplayObject(const DisplayObject&) = delete;
  DisplayObject& operator=(const DisplayObject&) = delete;

  virtual MovieClip* asClip() { return nullptr; }
  Stage& stage() const { return stage_; }

  const uint64_t instanceId;  // unique while the player lives: identity across seeks
  const swf::CharacterId characterId;
  const swf::Character* const character;  // null for clips made empty by script
  // The movie whose dictionary holds the character (and a clip's timeline): the stage's
  // own movie, or one it imported from. A clip's children come from the same movie.
  const swf::Movie* movie;

  MovieClip* parent = nullptr;
  int depth = 0;
  swf::Matrix matrix;
  swf::ColorTransform cxform;
  uint16_t ratio = 0;
  std::string name;
  uint16_t clipDepth = 0;
  bool visible = true;
  int buttonState = 0;    // buttons: 0 up, 1 over, 2 down
  int8_t focusRect = -1;  // _focusrect as scripts set it: 1 shown, 0 not, -1 not set
  // Edit text: the text shown once a script set it (else the initial text).
  bool hasText = false;
  std::string text;
  // Edit text that scripts reached or made: its live text and properties, drawn in place
  // of the definition (edit_text.h).
  std::shared_ptr<EditTextState> editText;
  // The frame of the parent's timeline whose PlaceObject made this object;
  // -1 for objects made by script, which the timeline never removes or moves.
  int placedFrame = -1;
  bool placedByReplace = false;  // came in by a move that changed the depth's character
  bool madeByScript = false;     // attached, duplicated or created: not the timeline's at all
  bool unloadHandled = false;    // its unload handlers ran (they run once)
  // Set by scripts that move the object: the timeline stops applying its moves.
  bool transformLockedByScript = false;
  // _xscale, _yscale and _rotation as scripts last set them (NaN: read them from the
  // matrix, which cannot tell a negative x scale from a half turn).
  double scriptXScale = std::numeric_limits<double>::quiet_NaN();
  double scriptYScale = std::numeric_limits<double>::quiet_NaN();
  double scriptRotation = std::numeric_limits<double>::quiet_NaN();
  // onClipEvent handlers of the PlaceObject that made it (points into the movie).
  const std::vector<swf::ClipAction>* clipActions = nullptr;
  // PlaceObject3's blend mode and filter list bytes (these point into the movie,
  // or to scriptFilters).
  uint8_t blendMode = 0;
  bool cacheAsBitmap = false;  // drawn through a bitmap cache: lands on whole pixels
  // The part of the object shown (scrollRect, pixels of its own space); none: all of it.
  struct ScrollRect {
    double x = 0, y = 0, width = 0, height = 0;
  };
  std::optional<ScrollRect> scrollRect;
  const std::vector<uint8_t>* filters = nullptr;
  // Filters a script set (MovieClip.filters): `filters` points here then, and
  // names the bitmaps of its displacement maps by index into scriptFilterMaps.
  std::shared_ptr<const std::vector<uint8_t>> scriptFilters;
  std::shared_ptr<const std::vector<std::shared_ptr<const render::Bitmap>>> scriptFilterMaps;
  // Draws the object with a script's filter list (`bytes` as stored, `maps` the bitmaps
  // its displacement maps name); an empty list, or one of no filters, takes them off.
  void setScriptFilters(std::vector<uint8_t> bytes,
                        const std::vector<std::shared_ptr<render::Bitmap>>& maps);
  // A bitmap attached by script (attachBitmap): drawn live from the BitmapData's pixels.
  std::shared_ptr<const render::Bitmap> bitmap;
  bool smoothBitmap = false;
  // A video stream's instance: the picture of the frame its ratio names.
  std::shared_ptr<video::EmbeddedVideo> video;
  // MovieClip.setMask: the object whose shapes mask this one, where they are on the
  // stage; and, on the mask, the object it masks (a mask is not drawn itself).
  std::weak_ptr<DisplayObject> scriptMask;
  std::weak_ptr<DisplayObject> masking;

 private:
  Stage& stage_;
};

class MovieClip : public DisplayObject {
 public:
  // `timeline` is the sprite's or the root's; it must live as long as the movie.
  MovieClip(Stage& stage, swf::CharacterId id, const swf::Character* character,
            const swf::Timeline* timeline);
  MovieClip* asClip() override { return this; }

  const swf::Timeline& timeline() const { return *timeline_; }
  int currentFrame() const { return currentFrame_; }  // 0-based
  int highestFrame() const { return highestFrame_; }  // the furthest frame entered
  int frameCount() const { return static_cast<int>(timeline_->frames.size()); }
  bool playing() const { return playing_; }
  void play() { playing_ = true; }
  void stop() { playing_ = false; }

  // Shows `frame` (clamped) with the display list exactly as playing there would have
  // left it; objects present on both sides keep their identity. Queues the frame's
  // actions and sounds for the listener.
  void gotoFrame(int frame);
  bool gotoLabel(const std::string& label);  // false: no such label
  // One tick of the frame clock for this clip and every clip inside it placed before
  // this tick: each shows its next frame when playing (sprites loop; the root loops when
  // the stage says so).
  void advance(uint64_t tick);

  // Depths from here up belong to scripts (getDepth 0 and up); the timeline's lie below.
  static constexpr int kFirstScriptDepth = 16384;

  // depth -> object, in drawing order.
  const std::map<int, std::shared_ptr<DisplayObject>>& displayList() const { return list_; }
  DisplayObject* objectAt(int depth) const;
  DisplayObject* childByName(const std::string& name, bool caseInsensitive) const;
  // Puts a script-made object at `depth` (replacing what was there); null removes.
  void setScriptObject(int depth, std::shared_ptr<DisplayObject> object);
  bool removeObject(int depth);
  // swapDepths: the object at `from` goes to `to`, and what was at `to` (if any) to `from`.
  void swapDepths(int from, int to);
  // Removed clips whose unload handlers still have to run: out of the display list (not
  // drawn, not played) but found by name, at depth -1 - their depth, until the frame's
  // scripts are done (Stage::finishUnloading).
  const std::vector<std::shared_ptr<DisplayObject>>& unloading() const { return unloading_; }
  void finishUnloading(const std::function<void(DisplayObject&)>& gone);

  uint64_t createdTick = 0;  // the tick it was placed in (not advanced in that tick)
  // The frame whose actions are running now (-1: none). Scripts that leave it and come
  // back to it do not run its actions a second time.
  int runningActionsOf = -1;
  // What scripts drew with the drawing API, shown below the display list; made on first use.
  std::unique_ptr<Drawing> drawing;

  struct Slot;  // the state one depth would have at a frame: see movie_clip.cpp

 private:
  void step();  // this clip's own tick of advance()
  void enterFrame(int frame, bool fromStep);
  void reconcile(std::map<int, Slot>& target, bool rebuilt);
  // Takes the object at `it` off the list (parking it while it unloads, if it must).
  std::map<int, std::shared_ptr<DisplayObject>>::iterator detach(
      std::map<int, std::shared_ptr<DisplayObject>>::iterator it);
  std::shared_ptr<DisplayObject> instantiate(const Slot& slot);
  void passThrough(std::map<int, Slot>& slots, int depth);
  void replayedUnnamed(const Slot& slot);

  const swf::Timeline* timeline_;
  int currentFrame_ = -1;
  int highestFrame_ = -1;  // the furthest frame the timeline has been through
  bool playing_ = true;
  std::map<int, std::shared_ptr<DisplayObject>> list_;
  std::vector<std::shared_ptr<DisplayObject>> unloading_;
  // The clips the frame being entered made, with the index of the display tag that placed
  // them (-1: an earlier frame's), while their initialize and construct events wait.
  std::vector<std::pair<int, std::shared_ptr<DisplayObject>>>* madeNow_ = nullptr;
  // Queues FrameEntered for the actions of the frame being entered that come before its
  // display tag `tagIndex` and are not queued yet (all of them: UINT32_MAX).
  void queueActionsBefore(uint32_t tagIndex);
  int enteringFrame_ = -1;    // the frame whose actions go in between its placements
  size_t actionsQueued_ = 0;  // how many of its actions are queued
  // The depths the frame being entered removes, in the order of its tags.
  const std::map<int, int>* removalOrder_ = nullptr;
};

}  // namespace orv::movie
