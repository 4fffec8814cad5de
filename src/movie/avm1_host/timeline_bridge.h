// Connects the script engine to the movie's Stage: runs frame actions, init actions and
// clip events as the timeline reports them, and lets scripts see and drive MovieClips.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "movie/timeline/display_object.h"
#include "movie/avm1/host.h"
#include "movie/saves/save_store.h"
#include "movie/avm1/vm.h"
#include "movie/timeline/stage.h"

namespace orv::movie::sound {
class MovieSound;
}

namespace orv::movie::avm1 {

class TimelineBridge;

// The live state of a text field on the timeline, made the first time something needs
// it (scripts, the keyboard); null for objects that are not text fields.
EditTextState* fieldStateOf(DisplayObject& object);

// A MovieClip as scripts see it; lives as long as the bridge. It is its own drawing pen,
// drawing into the clip's Drawing (made on first use).
class ClipBridge : public ScriptClip, private ClipPen {
 public:
  ClipBridge(TimelineBridge& bridge, std::weak_ptr<DisplayObject> object)
      : bridge_(bridge), object_(std::move(object)) {}
  MovieClip* clip() const;
  DisplayObject* object() const { return object_.lock().get(); }
  bool isButton() const override;  // mouse_events.cpp

  std::string name() const override;
  void setName(const std::string& name) override;
  ScriptClip* parent() override;
  ScriptClip* childByName(std::string_view name, bool caseInsensitive) override;
  std::vector<ScriptClip*> children() override;
  int level() const override;
  int loadedLevel() const override;
  double getProperty(ClipProperty p) override;
  void setProperty(ClipProperty p, double value) override;
  void gotoFrame(int frame, bool play) override;
  bool gotoLabel(std::string_view label, bool play) override;
  int frameOfLabel(std::string_view label) override;
  void play() override;
  void stop() override;
  int currentFrame() override;
  int totalFrames() override;
  void runFrameActions(int frame) override;
  ScriptClip* duplicate(const std::string& newName, int depth) override;
  ScriptClip* attachMovie(const std::string& exportName, const std::string& newName,
                          int depth) override;
  ScriptClip* createEmptyMovieClip(const std::string& newName, int depth) override;
  bool removeSelf() override;
  int depth() override;
  void swapDepths(int depth) override;
  int nextHighestDepth() override;
  // hitTest(x, y, shapeFlag): stage pixels; mouse_events.cpp.
  bool hitTestPoint(double x, double y, bool shapeFlag) override;
  // Geometry and colour (clip_geometry.cpp).
  Bounds bounds(ScriptClip* space) override;
  Bounds rect(ScriptClip* space) override;
  Matrix toParent() override;
  void setToParent(const Matrix& m) override;
  base::ColorTransform colorTransform() override;
  void setColorTransform(const base::ColorTransform& ct) override;
  std::optional<ScrollRect> scrollRect() override;
  void setScrollRect(const std::optional<ScrollRect>& r) override;
  FilterList filterList() override;
  void setFilterList(FilterList list) override;
  std::u32string staticText() override;
  // Edit text: the live state, made when scripts first reach the field.
  EditTextState* textField() override;
  ScriptClip* createTextField(const std::string& newName, int depth, double x, double y,
                              double width, double height) override;
  ClipPen* pen() override;
  // What the pen drew (made on first use); nullptr once the clip is gone.
  Drawing* drawing();
  bool attachBitmap(std::shared_ptr<const render::Bitmap> bitmap, int depth,
                    bool smoothing) override;
  void setMask(ScriptClip* mask) override;  // clip_mask.cpp
  std::string url() const override;         // clip_loading.cpp
  double bytesTotal() override;             // clip_loading.cpp

 private:
  // ClipPen (clip_geometry.cpp), on the clip's Drawing.
  void clear() override;
  void setLineStyle(const std::optional<swf::LineStyle>& style) override;
  void beginFill(const std::optional<swf::FillStyle>& fill) override;
  void endFill() override;
  void moveTo(int32_t x, int32_t y) override;
  void lineTo(int32_t x, int32_t y) override;
  void curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) override;

  Bounds boundsIn(ScriptClip* space, bool strokes);
  double sizeInParent(bool height);
  void setSizeInParent(bool height, double size);

  TimelineBridge& bridge_;
  std::weak_ptr<DisplayObject> object_;
};

class TimelineBridge : public TimelineListener, public ScriptHost {
 public:
  // The machine runs with the limits the movie's ScriptLimits tag sets (see
  // limitsFor); `timeLimitMs` above 0 takes the place of its timeout.
  explicit TimelineBridge(Stage& stage, double timeLimitMs = 0);
  // A Flash player's limits for a movie: its ScriptLimits timeout (15 s without one) and
  // recursion depth (256), the depth at most ScriptLimits::kMostCallDepth.
  static ScriptLimits limitsFor(const swf::Movie& movie);
  ~TimelineBridge() override;

  // TimelineListener
  void onTimelineEvent(Stage& stage, const TimelineEvent& event) override;
  // One frame of the clock on the stage: due intervals; the clips move on, children
  // before their parents, each one's new clips constructed, then its enterFrame handlers
  // (if it was there before), its frame's actions and its other events; the class onLoad
  // of new clips without clip events after all of that; finally what the frame left
  // unreachable is collected.
  void tick();
  // What arrives as a frame ends (text and sounds scripts asked for); tick() calls it, and
  // the player after the first frame.
  void endFrame();

  // ScriptHost
  ScriptClip* level(int n) override;
  // BitmapData (bitmap_host.cpp).
  void drawClip(ScriptClip* clip, const ScriptClip::Matrix& m, const base::ColorTransformF& color,
                render::Bitmap& target) override;
  void drawBitmap(const std::shared_ptr<render::Bitmap>& source, const ScriptClip::Matrix& m,
                  const base::ColorTransformF& color, bool smooth, render::Bitmap& target) override;
  std::shared_ptr<const render::Bitmap> exportedBitmap(const std::string& linkage) override;
  bool rasterFilter(const base::FilterSettings& filter, render::Filter& out,
                    std::vector<std::shared_ptr<const render::Bitmap>>& maps) override;
  void trace(std::string_view line) override;
  double timerMs() override { return clockMs; }

  // ---- Mouse (mouse_events.cpp; the player's MouseInput calls these) ----
  double mouseX() override { return mouseXTwips / 20.0; }
  double mouseY() override { return mouseYTwips / 20.0; }
  double mouseXTwips = 0, mouseYTwips = 0;  // the pointer on the stage
  // A button's action bytes, run with the button's parent clip as the target.
  void runButtonActions(DisplayObject& button, const std::vector<uint8_t>& actions);
  // A button event of a clip (ClipEvent::Press...): its on(...) handlers, then its
  // method (onPress...).
  void clipButtonEvent(DisplayObject& clip, uint32_t clipEvent, const char* method);
  // A clip acting as a button shows the state the mouse left it in (0 up, 1 over,
  // 2 down) at its frame labelled _up, _over or _down, when it has one, and stops there.
  void clipButtonState(DisplayObject& clip, int state);
  // Whether a clip takes the mouse as a button does (on(press)-style handlers or
  // onPress-style methods, and not `enabled = false`); `handCursor` unless
  // useHandCursor is false.
  bool clipTakesMouse(DisplayObject& clip, bool* handCursor);
  // mouseDown/mouseUp/mouseMove for everyone: onClipEvent handlers and methods of
  // every clip, and Mouse's listeners. False when nobody listens.
  bool mouseEverywhere(uint32_t clipEvent, const char* method);
  // Every clip on the stage, parents before children, collected before any handler
  // runs: handlers change the display lists.
  std::vector<std::weak_ptr<DisplayObject>> clipsParentsFirst();
  // A button instance's method for a transition (onPress...), if scripts gave it one.
  void buttonMethod(DisplayObject& button, const char* method);
  // Whether a button takes the mouse (not `enabled = false`), and shows the hand.
  bool buttonTakesMouse(DisplayObject& button, bool* handCursor);
  // Whether a press on a button or clip is carried to whatever the pointer reaches:
  // its `trackAsMenu`, else what the button's character says.
  bool tracksAsMenu(DisplayObject& object, bool byCharacter);
  // startDrag()/stopDrag(): the clip being dragged follows the pointer.
  void startDrag(ScriptClip* clip, bool lockCenter) override;
  void stopDrag() override;
  // Moves the dragged clip to the pointer; false when nothing is dragged.
  bool followDrag();

  // A script's goto made clips: they are constructed now, before the script goes on
  // (their initialize and construct events, as queued since `mark`); the init actions
  // it reached move to the front of the queue; load events and frame actions stay
  // queued.
  void constructNow(size_t mark);
  // Whether `object` is on the display list of a level (not taken off, not parked while
  // its unload handlers run).
  bool onStage(const DisplayObject& object) const;

  // The class scripts registered for the symbol `object` shows (nullptr: none).
  Object* registeredClassOf(const DisplayObject& object);
  // An object left the display list: its unload handlers run and, unless it is parked
  // while unloading, its script object lets go of it.
  void unloaded(DisplayObject& object);
  // A level's clips left the stage all at once (unloaded or replaced): their script
  // objects let go of them, without unload handlers.
  void forgetTree(MovieClip& root, int level);

  // ---- Local shared objects (shared_objects.cpp) ----
  // Where they are kept on disk (nullptr or a store without a folder: in memory, for as
  // long as the process runs), and the path of the movie they belong to.
  const saves::SaveStore* saveStore = nullptr;
  std::string moviePath;
  SharedObjectData loadSharedObject(const std::string& name, const std::string& localPath) override;
  bool saveSharedObject(const std::string& name, const std::string& localPath,
                        const saves::SolFile& data) override;
  void removeSharedObject(const std::string& name, const std::string& localPath) override;
  // Lines the tools show about saves that did not read (a window shows none).
  std::function<void(const std::string&)> saveProblems;

  // ---- Files scripts load (clip_loading.cpp) ----
  // Read from this folder only; empty (a movie given as bytes): nothing is read.
  std::string ownFolder;
  std::optional<std::vector<uint8_t>> readFile(const std::string& url, size_t maxBytes) override;
  ScriptClip* loadIntoClip(ScriptClip* target, const std::vector<uint8_t>& bytes,
                           const std::string& url,
                           const std::function<void(ScriptClip*)>& beforeFirstFrame = {}) override;
  ScriptClip* loadIntoLevel(int level, const std::vector<uint8_t>& bytes,
                            const std::string& url) override;
  // The size of the file a movie came from (getBytesTotal): what was loaded, or the
  // header's file length.
  double movieBytes(const swf::Movie* movie) const;
  void clipDataLoaded(ScriptClip* clip) override;
  // The URL a movie loaded into a clip came from ("" for others).
  std::string loadedUrl(const swf::Movie* movie) const;

  // ---- Sounds scripts play (clip_sounds.cpp) ----
  // Where they play; none: silent.
  sound::MovieSound* sound = nullptr;
  void stopSounds() override;
  int startSound(const SoundSource& source, const void* owner, double offsetSeconds, int loops,
                 double left, double right) override;
  void stopScriptSounds(const SoundSource& source, const void* owner) override;
  void setSoundGains(const void* owner, double left, double right) override;
  std::optional<double> soundPositionMs(int handle) override;
  std::optional<double> soundDurationMs(const SoundSource& source) override;
  int addLoadedSound(const std::vector<uint8_t>& bytes) override;
  std::vector<std::pair<std::string, std::string>> soundFileTags(
      const std::vector<uint8_t>& bytes) override;

  // ---- Keyboard focus (focus_events.cpp; the player's KeyboardFocus calls these) ----
  // The object Selection holds the focus on, while it is on the stage.
  DisplayObject* focusedObject();
  // Gives the focus to `object` (nullptr: to nobody) with the focus events.
  void focusObject(DisplayObject* object);
  // How an object takes part in Tab's order, as its kind and its script properties
  // (tabEnabled, tabChildren, tabIndex, enabled) say.
  struct TabFacts {
    bool stop = false;          // Tab stops here
    bool intoChildren = false;  // Tab looks among its children (tabChildren not false)
    bool hasIndex = false;      // tabIndex holds a number
    double index = 0;
  };
  TabFacts tabFacts(DisplayObject& object);
  // Whether the focus rectangle shows around `object`: its own _focusrect when scripts
  // set it, else the movie's (_root._focusrect, true unless set false).
  bool focusRectShown(DisplayObject& object);
  // A key went down or up: the focused clip or button hears onKeyDown or onKeyUp.
  void keyToFocused(bool down);
  // ---- Typing (field_typing.cpp) ----
  // A key typed (the codes of Player::keyPress) goes into the focused input field: a
  // character is inserted at the caret, backspace and delete remove one, the arrows,
  // home and end move the caret, enter starts a line in a multiline field. False when
  // no input field has the focus.
  // With `extend` (Shift held) the arrows, home and end stretch the selection; typing,
  // backspace and delete replace what is selected.
  bool typeIntoFocusedField(int code, bool extend = false);
  // A click at stage pixel (x, y): the topmost input field there takes the focus, with
  // its caret at the character nearest the point. False when there is none. Until
  // endFieldSelection, dragFieldSelection(x, y) selects from there to the point.
  bool focusFieldAt(double x, double y);
  bool dragFieldSelection(double x, double y);
  // The mouse wheel turned by `delta` lines (positive away from the user) with the
  // pointer at stage pixel (x, y): the topmost text field there that lets the wheel
  // scroll it moves that many lines back, then Mouse's listeners hear onMouseWheel.
  bool wheelAt(double x, double y, int delta);
  void endFieldSelection() { selectingField_.reset(); }
  // The focused input field's selection: the selected text (and, with `cut`, taken
  // out); text put in place of the selection. Empty or false when no input field has
  // the focus.
  std::u32string selectedFieldText(bool cut);
  bool insertIntoField(const std::u32string& text);
  // The same on a given text field (the right-click menu's edit entries): its selected
  // text, taken out with `cut` only from an input field; text put in place of its
  // selection (input fields); all of its text selected (selectable fields).
  std::u32string fieldSelection(DisplayObject& field, bool cut);
  bool insertIntoField(DisplayObject& field, const std::u32string& text);
  bool selectAllOfField(DisplayObject& field);

  ClipBridge* bridgeFor(DisplayObject* object);
  Vm& vm() { return *vm_; }
  Stage& stage() { return stage_; }
  double clockMs = 0;

 private:
  std::weak_ptr<DisplayObject> selectingField_;  // the field a drag selects in
  void afterTick();
  std::shared_ptr<const swf::Movie> keepLoaded(const std::vector<uint8_t>& bytes,
                                               const std::string& url);

  Stage& stage_;
  std::map<DisplayObject*, std::unique_ptr<ClipBridge>> bridges_;
  std::map<const swf::Movie*, std::string> loadedUrls_;
  std::map<const swf::Movie*, size_t> loadedSizes_;
  std::weak_ptr<DisplayObject> dragged_;
  double dragOffsetX_ = 0, dragOffsetY_ = 0;  // clip origin minus pointer, parent twips
  std::unique_ptr<Vm> vm_;
};

}  // namespace orv::movie::avm1
