#pragma once
// The stage: the root clip of a movie, the frame clock's tick, and the queue of timeline
// events (frame actions, init actions, placements, removals, sounds) that the script and
// sound engines take in order after each change of the display list.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "movie/timeline/display_object.h"
#include "movie/render/display_node.h"
#include "movie/swf/types.h"

namespace orv::movie {

struct TimelineEvent {
  enum class Kind {
    FrameEntered,  // clip entered `frame`: run timeline().frames[frame].actions (or only [action])
    InitAction,    // run *initAction once (DoInitAction)
    Initialized,   // a new clip was made: onClipEvent(initialize), ahead of its frame's actions
    Constructed,   // then, after every new clip's initialize: onClipEvent(construct)
    Placed,        // a new object is on the display list (onClipEvent load, ...)
    Removed,       // an object left the display list
    Sound,         // *sound started by `clip`'s frame
    StreamBlock,   // `clip`'s frame carries *streamBlock
    EnterFrame,    // a tick reached `clip`: its enterFrame handlers, ahead of the frame it enters
  };
  Kind kind;
  std::weak_ptr<DisplayObject> object;  // the clip, or the placed/removed object
  int frame = 0;
  int action = -1;  // FrameEntered: the one DoAction of the frame to run; -1: all of them
  const swf::DoInitAction* initAction = nullptr;
  const swf::StartSound* sound = nullptr;
  const std::vector<uint8_t>* streamBlock = nullptr;
};

// Takes the events of the timeline; the script engine and sound implement it.
class TimelineListener {
 public:
  virtual ~TimelineListener() = default;
  virtual void onTimelineEvent(Stage& stage, const TimelineEvent& event) = 0;
};

// Finds the movie an ImportAssets tag names (nullptr: none); the player looks only in
// the movie's own folder.
using ImportLoader = std::function<std::shared_ptr<const swf::Movie>(const std::string& url)>;

class Stage {
 public:
  explicit Stage(std::shared_ptr<const swf::Movie> movie, const ImportLoader& importLoader = {});
  ~Stage();

  // The movie of _level0 (the one the player opened, until a script loads another there).
  const swf::Movie& movie() const { return *movie_; }
  MovieClip& root() { return *root_; }
  const MovieClip& root() const { return *root_; }
  std::shared_ptr<MovieClip> rootPtr() { return root_; }

  // ---- Levels: movies loaded beside the first (loadMovieNum), each a root of its own ----
  // A level's number is its root's depth; higher levels draw above lower ones. _level0 is
  // root() and is always there.
  static constexpr int kMaxLevel = 65535;   // the highest level a movie can be loaded into
  static constexpr size_t kMaxLevels = 64;  // levels held at once, _level0 included
  MovieClip* level(int n) const;
  int levelOf(const DisplayObject& object) const;  // its level number, -1 when not a level root
  // The level a level's root was loaded into (where it still is, unless it moved).
  int loadedLevelOf(const DisplayObject& object) const;
  const std::map<int, std::shared_ptr<MovieClip>>& levels() const { return levels_; }
  // Puts `root` (a clip made on this stage from a loaded movie's root timeline) at level
  // `n` > 0, replacing what was there; it enters its first frame on the next tick, in level
  // order. Returns the replaced root (or null); false in `placed` when no room is left.
  std::shared_ptr<MovieClip> setLevel(int n, std::shared_ptr<MovieClip> root, bool* placed);
  // Takes level `n` > 0 off the stage; returns it (null when there was none).
  std::shared_ptr<MovieClip> removeLevel(int n);
  // swapDepths of a level root: to level `to` (the one there comes to `from`).
  bool moveLevel(int from, int to);
  // Replaces the whole movie: `movie` becomes _level0 and every other level goes. The
  // former roots are returned so their scripts can let go of them. The new root enters its
  // first frame on the next tick.
  std::vector<std::shared_ptr<MovieClip>> replaceMovie(std::shared_ptr<const swf::Movie> movie);

  void setLoop(bool loop) { loop_ = loop; }
  bool loop() const { return loop_; }

  void setListener(TimelineListener* listener) { listener_ = listener; }
  // Sound has its own slot beside the script engine's: it gets the Sound and StreamBlock
  // events, after the listener's turn in dispatchEvents().
  void setSoundListener(TimelineListener* listener) { soundListener_ = listener; }
  // Delivers only the queued Sound and StreamBlock events to the sound listener.
  void dispatchSoundEvents();
  // One frame of the clock: every playing clip moves on; then the events are delivered.
  void tick();
  // The first half of tick(): the clips move on, their events wait for dispatchEvents().
  void advanceTimelines();
  // Delivers queued events (the listener may queue more; bounded per call).
  void dispatchEvents();
  void queue(TimelineEvent event);
  // While the clock moves the clips on, the load events of clips without onClipEvent
  // handlers wait until every clip has moved on and queued its frame's actions.
  void queueLoad(TimelineEvent event);
  bool advancing() const { return advancing_; }
  // While the clock moves the clips on, init actions and the construction of new clips run
  // as their frames are reached, ahead of every action the tick queued: queued here, behind
  // those that came before them. Returns false (nothing queued) when not advancing.
  bool queueImmediate(TimelineEvent& event);
  // Queues `event` at `position` (from pendingEvents(), taken before later events were queued).
  void queueAt(size_t position, TimelineEvent event);
  size_t pendingEvents() const { return events_.size(); }
  // Takes out of the queue, in order, the init actions and the initialize and construct
  // events queued at `position` or later (from pendingEvents()), for a caller that runs
  // them at once.
  std::vector<TimelineEvent> takeConstructionEvents(size_t position);
  // Init actions run once per sprite they belong to, however often their frame is entered.
  bool markInitActionsDone(const swf::Movie* movie, swf::CharacterId spriteId) {
    return initDone_.insert({movie, spriteId}).second;
  }

  // The character `id` of `movie`, following imports: `movie` becomes the movie that
  // defines it. nullptr when neither has it.
  const swf::Character* resolve(const swf::Movie*& movie, swf::CharacterId id) const;
  // The character exported as `name` by `movie` or else by the root movie.
  const swf::Character* exported(const swf::Movie*& movie, const std::string& name) const;
  bool exportReached(const swf::Movie& movie, const std::string& name) const;

  uint64_t nextInstanceId() { return ++lastInstanceId_; }
  uint64_t nextInstanceNumber() { return ++lastInstanceNumber_; }  // for "instanceN" names
  // Bounds on what a hostile movie can make the timeline build.
  static constexpr int kMaxNesting = 64;          // clips inside clips
  static constexpr size_t kMaxObjects = 200'000;  // live display objects
  static constexpr size_t kMaxImportedMovies = 16;
  // Movies scripts loaded into clips live as long as the stage (their clips point into
  // them). False, and nothing kept, once kMaxLoadedMovies are held or their sizes would
  // pass kMaxLoadedBytes.
  bool keepLoadedMovie(std::shared_ptr<const swf::Movie> movie, size_t bytes) {
    if (loadedMovies_.size() >= kMaxLoadedMovies || bytes > kMaxLoadedBytes - loadedBytes_)
      return false;
    loadedMovies_.push_back(std::move(movie));
    loadedBytes_ += bytes;
    return true;
  }
  static constexpr size_t kMaxLoadedMovies = 64;
  static constexpr size_t kMaxLoadedBytes = 128u << 20;
  bool mayCreateObject() const { return liveObjects_ < kMaxObjects; }
  void objectCreated() { ++liveObjects_; }
  void objectDestroyed() { --liveObjects_; }
  size_t liveObjects() const { return liveObjects_; }
  uint64_t currentTick() const { return tick_; }

  // The timeline is about to take `object` off its parent's list (set by ActionScript 3,
  // whose scripts hear it while the object is still there). Scripts may change the list.
  std::function<void(DisplayObject&)> beforeTimelineRemoval;
  // Whether a removed object has unload handlers that still have to see it (set by the
  // script engine): such clips stay reachable until finishUnloading().
  std::function<bool(const DisplayObject&)> hasUnloadHandler;
  // An object leaves the display list for good (nothing still has to see it), while it is
  // still in its parent's tree: scripts' references to it follow its path from now on.
  std::function<void(DisplayObject&)> leaving;
  void noteUnloading(MovieClip& parent) { unloadingParents_.push_back(parent.weak_from_this()); }
  // Drops the clips parked while unloading; `gone` sees each one first.
  void finishUnloading(const std::function<void(DisplayObject&)>& gone);

  // The display list as the renderer takes it.
  std::vector<render::DisplayNode> displayTree() const;
  // One object as BitmapData.draw takes it: its content, without its own matrix and
  // colour transform.
  std::vector<render::DisplayNode> contentOf(const std::shared_ptr<DisplayObject>& object) const;

  // trace() output of scripts goes here (the tools print it).
  std::function<void(const std::string&)> traceSink;
  // The player's own log lines, in the same output; those of the first frame, entered
  // before a sink can be set, wait for the first dispatch.
  void log(std::string line);

 private:
  std::vector<std::string> earlyLog_;
  void loadImports(const swf::Movie& movie);

  std::shared_ptr<const swf::Movie> movie_;
  ImportLoader importLoader_;
  std::vector<std::shared_ptr<const swf::Movie>> importedMovies_;
  std::vector<std::shared_ptr<const swf::Movie>> formerMovies_;  // replaced _level0 movies
  std::vector<std::shared_ptr<const swf::Movie>> loadedMovies_;
  size_t loadedBytes_ = 0;
  // (importing movie, its id) -> (defining movie, id there)
  std::map<std::pair<const swf::Movie*, swf::CharacterId>,
           std::pair<const swf::Movie*, swf::CharacterId>>
      imports_;
  std::shared_ptr<MovieClip> root_;
  std::map<int, std::shared_ptr<MovieClip>> levels_;  // level -> root; [0] is root_
  std::map<const DisplayObject*, int> loadedAt_;      // root -> the level it was loaded into
  TimelineListener* listener_ = nullptr;
  std::deque<TimelineEvent> events_;
  std::vector<TimelineEvent> lateLoads_;  // queueLoad() while advancing
  bool advancing_ = false;
  size_t immediateAt_ = 0;  // where queueImmediate() puts the next event
  TimelineListener* soundListener_ = nullptr;
  std::deque<TimelineEvent> soundEvents_;
  std::set<std::pair<const swf::Movie*, swf::CharacterId>> initDone_;
  std::vector<std::weak_ptr<DisplayObject>> unloadingParents_;
  bool loop_ = true;
  bool dispatching_ = false;
  uint64_t tick_ = 0;
  uint64_t lastInstanceId_ = 0;
  uint64_t lastInstanceNumber_ = 0;
  size_t liveObjects_ = 0;
};

}  // namespace orv::movie
