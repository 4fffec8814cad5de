#pragma once
// The movie player as the windows' movie control uses it: load a movie, play it at its
// frame rate, step, seek, and draw any part of the stage into a pixmap.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "movie/base/quality.h"

namespace orv::movie {

namespace swf {
struct Movie;
}
namespace avm1 {
class TimelineBridge;
}
namespace saves {
class SaveStore;
}
namespace sound {
class AudioOutput;
class MovieSound;
}  // namespace sound
class Stage;
class DisplayObject;
class MovieScripts;
class PlayerRenderer;
class MouseInput;
class KeyboardFocus;

using base::Quality;
struct Pixmap {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};  // premultiplied 0xAARRGGBB, row-major, no padding
struct ViewRect {
  double x = 0, y = 0, width = 0, height = 0;
};  // a rectangle of the stage, twips

class Player {
 public:
  Player();
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // A native path; false + error() on failure, player left empty. The movie may import
  // from (and scripts load from) its own folder only.
  bool load(const std::string& path);
  bool loadBytes(std::vector<uint8_t> bytes);  // a movie with no folder: it imports nothing
  void unload();
  bool loaded() const;
  const std::string& error() const;  // one-line reason of the last failed load

  int version() const;
  int frameCount() const;
  // Frames per second as the header gives it; 0 when none is loaded. The clock treats a
  // rate of 0 (or below 1/100) as 12 fps and anything above 120 as 120.
  double frameRate() const;
  ViewRect stage() const;            // the header's stage rectangle in twips
  uint32_t backgroundColor() const;  // 0xRRGGBB from SetBackgroundColor (white if none)

  // Starts a movie just loaded as it starts on its own: playing, unless the actions of its
  // first frame stopped it (play() plays in any case).
  void start();
  void play();
  void stop();
  bool playing() const;
  void setLoop(bool);
  bool loop() const;
  void forward();             // one frame on, stops playing (stays at the last frame)
  void back();                // one frame back, stops playing (stays at the first frame)
  void rewind();              // to the first frame, stops playing
  void gotoFrame(int frame);  // 0-based, clamped to [0, frameCount-1]; does not change playing
  int currentFrame() const;   // 0-based
  // Runs the frame clock for `milliseconds`: every elapsed frame period is one tick (at
  // most kMaxFramesPerAdvance per call; a longer delay is dropped, not caught up). While
  // a stream sound plays, the timeline keeps in step with it instead: every frame that
  // fell due is run, up to kMaxStreamCatchUpMs of them, and the host draws only the last
  // (frames are skipped from drawing, the sound does not drift). While the movie is
  // stopped its nested clips still animate, as in Flash. True when the picture may have
  // changed (the frame moved on, or animated clips ticked).
  bool advance(double milliseconds);
  static constexpr int kMaxFramesPerAdvance = 4;
  static constexpr double kMaxStreamCatchUpMs = 1000;
  double framePeriodMs() const;  // the clock's period for this movie's rate

  void setQuality(Quality);
  Quality quality() const;
  // Draws `view` of the stage stretched over the whole target (ExactFit). The target
  // keeps its width and height; its pixels are resized to match.
  void render(Pixmap& target, const ViewRect& view) const;
  // Threads drawing each frame, the caller's counted (0, the default: one a core);
  // the picture is the same whatever the number. Drawing work over fewer than
  // `leastPixels` stays on one thread (0: the renderer's own choice).
  void setRenderThreads(int threads, int64_t leastPixels = 0);

  // ---- Sound ----
  // The movie's sounds play through `output` (nullptr: none), pulled on its own thread at
  // its rate; kept across loads. The output must outlive the player or be detached first.
  void setAudioOutput(sound::AudioOutput* output);
  // Pulls `frames` stereo frames (left, right interleaved) of the mixed sound at
  // audioRate(), for tools and tests that have no output attached.
  void mixAudio(int16_t* out, size_t frames);
  int audioRate() const;  // 44100 until an output with another rate is attached

  // ---- Mouse ----
  // The pointer in stage twips: the coordinates of stage() and of render()'s view (a host
  // maps its pixel through the view it renders with). A press or release also moves the
  // pointer there. Each returns true when the picture may have changed.
  bool mouseMove(double x, double y);
  bool mouseDown(double x, double y);
  bool mouseUp(double x, double y);
  // The middle (or `right`) button went down or up: only ActionScript 3 movies hear them.
  bool otherButton(double x, double y, bool right, bool down);
  // The window gained or lost the keyboard focus: what has the focus in an ActionScript 3
  // movie hears it go (and keeps it).
  void windowFocus(bool gained);
  // The pointer is over a button, or a clip acting as one: the host shows the hand.
  bool handCursor() const;
  // The movie hid the pointer (Mouse.hide): the host shows none over it.
  bool pointerHidden() const;
  // A key typed, as buttons name keys: a character code, or 1 left, 2 right, 3 home,
  // 4 end, 5 insert, 6 delete, 8 backspace, 13 enter, 14 up, 15 down, 16 page up,
  // 17 page down, 18 tab, 19 escape. Buttons with an action for it run it.
  bool keyPress(int code);
  // The input field with the keyboard focus (a click put it there and a drag selects in
  // it; Shift with the arrows, home and end stretches the selection): its selected text,
  // taken out with `cut` (none from password fields); text put in place of its
  // selection, as much as could be typed there. Empty or false when no input field has
  // the focus.
  std::u32string selectedText(bool cut);
  // The mouse wheel turned `delta` lines (positive away from the user) with the pointer
  // at (x, y), stage twips: the text field there scrolls, Mouse's listeners hear it.
  bool mouseWheel(double x, double y, int delta);
  bool pasteText(const std::u32string& text);
  // A key held down and let go, by its key code (Key.LEFT is 37, as Windows numbers
  // keys): what Key.isDown and Key.getCode see, and what Key's listeners hear (onKeyDown,
  // onKeyUp). The keyboard focus follows the keys going down: Tab (9) moves it on, with
  // Shift (16) held back; Enter (13) or Space (32) presses and releases the focused
  // button or clip; the arrows (37 to 40) move it to the nearest object that way while
  // its rectangle shows; any key shows the focus rectangle again. keyDown returns true when
  // the picture may have changed.
  bool keyDown(int keyCode);
  void keyUp(int keyCode);

  // ---- The movie's own right-click menu ----
  struct MovieMenu {
    // The player's entries the movie leaves on (ContextMenu.builtInItems): all of them
    // unless a menu switches some off.
    bool zoom = true, quality = true, play = true, loop = true, rewind = true,
         forwardBack = true, print = true, save = true;
    bool showMenu = true;  // Stage.showMenu: false keeps only the player's About entry
    struct Item {
      std::string caption;  // UTF-8
      bool enabled = true, visible = true, separatorBefore = false;
    };
    std::vector<Item> items;  // the menu's custom items, in order
    // Over a text field the user can select in, the edit entries and what they can do.
    bool textField = false;
    bool canCut = false, canCopy = false, canPaste = false, canSelectAll = false;
  };
  // The menu a right click at (x, y), stage twips, opens: that of the topmost object
  // there (a clip, a button, a text field, or one they are in) whose `menu` holds one,
  // else the movie's (_root.menu). Its onSelect runs first, so the scripts see it open.
  MovieMenu openMovieMenu(double x, double y);
  // Item `index` of the menu last opened was chosen: its onSelect runs. True when it ran
  // (the picture may have changed).
  bool selectMovieMenuItem(size_t index);
  // The edit entries on the text field the menu last opened over. Cut and Copy give the
  // selected text (Cut takes it out of an input field), Paste puts `text` in place of the
  // selection, SelectAll selects the whole text. Empty when they did nothing.
  enum class FieldEdit { Cut, Copy, Paste, SelectAll };
  std::u32string editMenuField(FieldEdit edit, const std::u32string& text = {});

  // ---- Saves ----
  // Where movies' local shared objects are kept on disk (see saves/save_store.h), and a
  // Flash player's own save folder to read a save from that Orvanta has none of yet. An
  // empty `folder` keeps them in memory for as long as the process runs. Takes effect
  // for movies loaded after the call.
  void setSaveFolders(const std::string& folder, const std::string& flashPlayerFolder = "");

  // How long one frame's scripts may run before they are stopped: 0 (the default) for the
  // movie's own limit (its ScriptLimits, 15 s without one). For tools and tests that play
  // many movies. Takes effect for movies loaded after the call.
  void setScriptTimeLimit(double milliseconds) { scriptTimeLimitMs_ = milliseconds; }

  // ---- Seams for the engines and tools ----
  // Where trace() lines go (kept across loads).
  void setTraceSink(std::function<void(const std::string&)> sink);
  Stage* stageObject() { return stage_.get(); }
  // The ActionScript 3 side of a movie whose FileAttributes ask for it (else null).
  MovieScripts* as3Scripts() { return as3_.get(); }
  std::shared_ptr<const swf::Movie> movie() const { return movie_; }

 private:
  bool loadFrom(std::vector<uint8_t> bytes, const std::string& folder,
                const std::string& moviePath);
  void afterChange();
  void keyEvent(int keyCode, bool down);
  void drawFocusRect(Pixmap& target, const ViewRect& view) const;
  void tickOnce();
  void startStreamHere();

  std::shared_ptr<const swf::Movie> movie_;
  std::string moviePath_;  // the file the movie came from, "" for one given as bytes
  std::unique_ptr<saves::SaveStore> saves_;
  double scriptTimeLimitMs_ = 0;
  std::unique_ptr<Stage> stage_;
  std::unique_ptr<avm1::TimelineBridge> scripts_;  // runs the movie's actions; dies before stage_
  std::unique_ptr<MovieScripts> as3_;              // a movie made for ActionScript 3
  std::unique_ptr<PlayerRenderer> renderer_;
  std::function<void(const std::string&)> traceSink_;
  std::string error_;
  bool loop_ = true;
  bool firstFrameStopped_ = false;  // the first frame's actions called stop()
  Quality quality_ = Quality::High;
  int renderThreads_ = 0;
  int64_t leastBandedPixels_ = 0;
  double clockMs_ = 0;
  std::unique_ptr<sound::MovieSound> sound_;
  std::unique_ptr<MouseInput> mouse_;     // goes before the scripts and the stage it points into
  std::unique_ptr<KeyboardFocus> focus_;  // goes before the mouse, the scripts and the stage
  bool shiftDown_ = false;
  std::weak_ptr<DisplayObject> menuField_;  // the text field the menu last opened over
};

}  // namespace orv::movie
