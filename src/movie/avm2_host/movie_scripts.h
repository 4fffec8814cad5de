#pragma once
// A movie's ActionScript 3, run on the machine as the root timeline reaches its frames:
// the root is the document class's instance, the timeline's objects are instances of the
// classes their symbols are linked to, and frame scripts run as their clips enter frames.
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "movie/avm2/value.h"
#include "movie/timeline/stage.h"

namespace orv::movie {

namespace swf {
struct Movie;
struct Frame;
}
namespace avm2 {
class Machine;
}
class DisplayHost;
class MouseInput;

class MovieScripts : public TimelineListener {
 public:
  // `timeLimitMs`: how long one frame's scripts may run (0: the default 15 s). The stage
  // is the one the movie plays on; its events reach `next` too (set it before the first).
  MovieScripts(Stage& stage, std::function<void(const std::string&)> trace, double timeLimitMs);
  ~MovieScripts() override;
  MovieScripts(const MovieScripts&) = delete;
  MovieScripts& operator=(const MovieScripts&) = delete;

  TimelineListener* next = nullptr;
  void onTimelineEvent(Stage& stage, const TimelineEvent& event) override;

  // After the timeline moved on: what root frame `frame` carries runs the first time it is
  // reached, new timeline objects get their script objects, then the frame scripts of the
  // frames clips entered run.
  void frameReached(int frame);
  // A tick of the clock moved the timeline on to root frame `frame`: enterFrame, the
  // frame's objects and scripts (frameReached), exitFrame.
  void tick(int frame);
  // The movie's first frame: its objects and scripts, then exitFrame (no enterFrame: no
  // script was there to listen before it).
  void firstFrame(int frame);
  // The player's clock moved on by `ms`: timers that fell due fire.
  void advanceClock(double ms);
  double clockMs() const;
  bool pointerHidden() const;  // Mouse.hide()
  // The pointer (stage twips) and the keys (Windows key codes): their events go to the
  // display list. pointerRefresh: the list changed under a still pointer.
  void pointerMoved(double x, double y);
  void pointerButton(bool down);
  void pointerWheel(int delta);
  void pointerOtherButton(bool right, bool down);
  void pointerRefresh();
  void keyChanged(int keyCode, bool down);
  void windowFocus(bool gained);
  bool handCursor();
  // Hit tests go through the player's mouse (null: none); it must outlive the scripts.
  void setMouse(MouseInput* mouse);
  // Errors nothing caught ("TypeError: Error #1009: ..."), and files that could not load.
  const std::vector<std::string>& errors() const { return errors_; }
  avm2::Machine& machine() { return *machine_; }
  DisplayHost& host() { return *host_; }

 private:
  void runGuarded(const std::function<void()>& work);
  void loadFrame(int frame);
  void makeDocument();
  void construct();
  void constructUnder(DisplayObject& object, int nesting);
  void runFrameScripts();
  void sortEnteredByDisplayOrder();

  Stage& stage_;
  std::shared_ptr<const swf::Movie> movie_;
  std::unique_ptr<DisplayHost> host_;
  std::unique_ptr<avm2::Machine> machine_;
  double timeLimitMs_;
  std::vector<bool> framesRun_;
  bool documentMade_ = false;
  std::vector<std::string> errors_;
  std::vector<avm2::Value> held_;  // the document object: kept across collections
  // Frames clips entered whose frame scripts have yet to run, in the order entered.
  std::deque<std::pair<std::weak_ptr<DisplayObject>, int>> entered_;
  std::set<std::pair<uint64_t, int>> ran_;  // (clip, frame) whose scripts ran this pass
  std::set<uint64_t> scriptRunning_;  // clips whose frame script is on the stack
  int scriptsDepth_ = 0;
  int running_ = 0;
};

}  // namespace orv::movie
