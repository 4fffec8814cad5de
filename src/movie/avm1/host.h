// What the script engine needs from the timeline. The timeline implements ScriptClip for
// every movie clip (the root included) and ScriptHost for the player as a whole.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "movie/base/color_transform.h"
#include "movie/base/matrix.h"
#include "movie/saves/sol_file.h"
#include "movie/swf/types.h"

namespace orv::movie::render {
struct Bitmap;  // render/raster/paint.h: premultiplied pixels
struct Filter;  // render/raster/filters.h
}  // namespace orv::movie::render

namespace orv::movie::base {
struct FilterSettings;  // base/filter_settings.h
}

namespace orv::movie {
class EditTextState;  // edit_text.h
}

namespace orv::movie::avm1 {

class Object;

// Clip properties by their GetProperty/SetProperty index.
enum class ClipProperty : int {
  X = 0,
  Y,
  XScale,
  YScale,
  CurrentFrame,
  TotalFrames,
  Alpha,
  Visible,
  Width,
  Height,
  Rotation,
  Target,
  FramesLoaded,
  Name,
  DropTarget,
  Url,
  HighQuality,
  FocusRect,
  SoundBufTime,
  Quality,
  XMouse,
  YMouse,
  Count
};
// The property's name as scripts write it ("_x").
std::string_view clipPropertyName(ClipProperty p);

// The drawing API's pen on a clip's shape drawn at run time, below its children.
// Coordinates are twips.
class ClipPen {
 public:
  virtual ~ClipPen() = default;
  // Forgets everything drawn, the styles in force and the pen position.
  virtual void clear() = 0;
  // The line style for what is drawn next; nullopt draws no line.
  virtual void setLineStyle(const std::optional<swf::LineStyle>& style) = 0;
  // Closes the open fill (if any) and starts a new one at the pen; nullopt starts none.
  virtual void beginFill(const std::optional<swf::FillStyle>& fill) = 0;
  virtual void endFill() = 0;
  virtual void moveTo(int32_t x, int32_t y) = 0;
  virtual void lineTo(int32_t x, int32_t y) = 0;
  virtual void curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) = 0;
};

class ScriptClip {
 public:
  virtual ~ScriptClip() = default;

  virtual std::string name() const = 0;
  virtual void setName(const std::string& name) = 0;
  virtual ScriptClip* parent() = 0;
  // The child clip with this instance name (case-insensitive matching when asked).
  virtual ScriptClip* childByName(std::string_view name, bool caseInsensitive) = 0;
  virtual std::vector<ScriptClip*> children() = 0;     // in depth order
  virtual int level() const { return -1; }             // _levelN for roots, else -1
  virtual int loadedLevel() const { return level(); }  // the level a root was loaded into
  virtual bool isButton() const { return false; }      // a button instance (Button.prototype)

  // Numeric properties (_x, _alpha, _currentframe (1-based) ...). Text properties
  // (_target, _name, _url, _droptarget, _quality) are built by the engine.
  virtual double getProperty(ClipProperty p) = 0;
  virtual void setProperty(ClipProperty p, double value) = 0;
  virtual std::string url() const { return ""; }
  // getBytesTotal (and getBytesLoaded, all of it being there): the size of the file the
  // clip's movie came from.
  virtual double bytesTotal() { return 0; }

  // Timeline control. Frames are 0-based here.
  virtual void gotoFrame(int frame, bool play) = 0;
  virtual bool gotoLabel(std::string_view label, bool play) = 0;  // false: no such label
  virtual int frameOfLabel(std::string_view label) {
    (void)label;
    return -1;
  }
  virtual void play() = 0;
  virtual void stop() = 0;
  virtual int currentFrame() = 0;  // 0-based
  virtual int totalFrames() = 0;
  virtual int framesLoaded() { return totalFrames(); }
  // ActionCall: runs the actions of another frame without going there.
  virtual void runFrameActions(int frame) { (void)frame; }

  // Display list edits asked by scripts; each returns the new clip or nullptr.
  virtual ScriptClip* duplicate(const std::string& newName, int depth) = 0;
  virtual ScriptClip* attachMovie(const std::string& exportName, const std::string& newName,
                                  int depth) = 0;
  virtual ScriptClip* createEmptyMovieClip(const std::string& newName, int depth) = 0;
  virtual bool removeSelf() = 0;  // only script-created or dynamic-depth clips
  virtual int depth() = 0;
  virtual void swapDepths(int depth) { (void)depth; }
  virtual int nextHighestDepth() { return 0; }

  // The clip's own coordinates into its parent's: x' = a*x + c*y + tx, y' = b*x + d*y + ty,
  // in pixels. The default builds it from the position, scales and rotation.
  using Matrix = base::Matrix;
  virtual Matrix toParent() {
    const double sx = getProperty(ClipProperty::XScale) / 100,
                 sy = getProperty(ClipProperty::YScale) / 100;
    const double r = getProperty(ClipProperty::Rotation) * 3.14159265358979323846 / 180;
    return {sx * std::cos(r),
            sx * std::sin(r),
            -sy * std::sin(r),
            sy * std::cos(r),
            getProperty(ClipProperty::X),
            getProperty(ClipProperty::Y)};
  }

  // Replaces the clip's matrix (flash.geom.Transform); the default keeps it.
  virtual void setToParent(const Matrix& m) { (void)m; }

  // Bounds in the coordinates of `space` (nullptr: own coordinates), in pixels.
  struct Bounds {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  };
  virtual Bounds bounds(ScriptClip* space) {
    (void)space;
    return {};
  }
  // The same without the strokes' widths (getRect); hosts that keep no outlines give
  // the bounds.
  virtual Bounds rect(ScriptClip* space) { return bounds(space); }
  virtual bool hitTestPoint(double x, double y, bool shapeFlag) {
    (void)x;
    (void)y;
    (void)shapeFlag;
    return false;
  }

  // The clip's colour transform: multipliers (1 leaves a channel as it is; Color and
  // flash.geom show them in percent) and offsets in colour units.
  virtual base::ColorTransform colorTransform() { return {}; }
  virtual void setColorTransform(const base::ColorTransform& ct) { (void)ct; }

  // The part of the clip shown (MovieClip.scrollRect: x, y, width, height in the clip's
  // pixels), moved to the clip's origin; none shows it all.
  struct ScrollRect {
    double x = 0, y = 0, width = 0, height = 0;
  };
  virtual std::optional<ScrollRect> scrollRect() { return std::nullopt; }
  virtual void setScrollRect(const std::optional<ScrollRect>& r) { (void)r; }

  // The clip's filters (MovieClip.filters) as a movie file stores them: a count byte,
  // then each filter's id and fields (bytes empty: none). Displacement maps, which a
  // file cannot hold, name their bitmaps by index into `maps`.
  struct FilterList {
    std::vector<uint8_t> bytes;
    std::vector<std::shared_ptr<render::Bitmap>> maps;
  };
  virtual FilterList filterList() { return {}; }
  virtual void setFilterList(FilterList list) { (void)list; }

  // What the drawing API draws with; nullptr when the host keeps no drawings.
  virtual ClipPen* pen() { return nullptr; }
  // attachBitmap: shows `bitmap` at `depth` of this clip, replacing what is there; the
  // pixels are drawn as they are at each frame. False when the host cannot.
  virtual bool attachBitmap(std::shared_ptr<const render::Bitmap> bitmap, int depth,
                            bool smoothing) {
    (void)bitmap;
    (void)depth;
    (void)smoothing;
    return false;
  }
  // setMask: `mask`'s shapes mask this clip from now on (nullptr: no mask any more).
  virtual void setMask(ScriptClip* mask) { (void)mask; }

  // The characters of the static text (DefineText) on the clip's own display list.
  virtual std::u32string staticText() { return {}; }
  // Edit text instances: their text and properties (nullptr for clips and buttons).
  virtual EditTextState* textField() { return nullptr; }
  // createTextField: a new empty text field child at `depth`; x, y, width, height in
  // pixels. nullptr when the host cannot make one.
  virtual ScriptClip* createTextField(const std::string& name, int depth, double x, double y,
                                      double width, double height) {
    (void)name;
    (void)depth;
    (void)x;
    (void)y;
    (void)width;
    (void)height;
    return nullptr;
  }

  // The script object of this clip, managed by the engine.
  Object* scriptObject = nullptr;
  // _lockroot: scripts inside this clip see it as _root.
  bool lockRoot = false;
};

class ScriptHost {
 public:
  virtual ~ScriptHost() = default;
  virtual ScriptClip* level(int n) = 0;  // _level0 is the root movie
  virtual void trace(std::string_view line) = 0;
  virtual double timerMs() = 0;  // milliseconds since the movie started
  virtual void getURL(const std::string& url, const std::string& target, int method) {
    (void)url;
    (void)target;
    (void)method;
  }
  // ---- BitmapData ----
  // draw(clip): the clip's content, without its own matrix and colour transform, drawn
  // over `target` through `m` (clip pixels to bitmap pixels) and `color`.
  virtual void drawClip(ScriptClip* clip, const ScriptClip::Matrix& m,
                        const base::ColorTransformF& color, render::Bitmap& target) {
    (void)clip;
    (void)m;
    (void)color;
    (void)target;
  }
  // draw(bitmapData): `source`'s pixels drawn over `target` through `m` (source pixels to
  // target pixels) and `color`, smoothed when asked. `source` may be `target` itself.
  virtual void drawBitmap(const std::shared_ptr<render::Bitmap>& source,
                          const ScriptClip::Matrix& m, const base::ColorTransformF& color,
                          bool smooth, render::Bitmap& target) {
    (void)source;
    (void)m;
    (void)color;
    (void)smooth;
    (void)target;
  }
  // applyFilter: one filter as the raster core draws it, a displacement map's bitmap
  // added to `maps` (false, and nothing added, for a filter that draws nothing).
  virtual bool rasterFilter(const base::FilterSettings& filter, render::Filter& out,
                            std::vector<std::shared_ptr<const render::Bitmap>>& maps) {
    (void)filter;
    (void)out;
    (void)maps;
    return false;
  }
  // loadBitmap: the pixels of the bitmap character the movie exports as `linkage`
  // (nullptr: there is none, or it does not decode).
  virtual std::shared_ptr<const render::Bitmap> exportedBitmap(const std::string& linkage) {
    (void)linkage;
    return nullptr;
  }
  // ---- Local shared objects (SharedObject.getLocal, flush) ----
  // What is kept of shared object `name` of this movie in `localPath` ("" for the
  // movie's own place), read anew each call.
  struct SharedObjectData {
    bool refused = false;                // a name or local path a Flash player refuses
    std::optional<saves::SolFile> data;  // nullopt: nothing kept yet, or unreadable
    bool unreadable = false;             // a file was there but did not read
  };
  virtual SharedObjectData loadSharedObject(const std::string& name, const std::string& localPath) {
    (void)name;
    (void)localPath;
    return {};
  }
  // Keeps `data` as that shared object; false when it could not be kept.
  virtual bool saveSharedObject(const std::string& name, const std::string& localPath,
                                const saves::SolFile& data) {
    (void)name;
    (void)localPath;
    (void)data;
    return false;
  }
  // Forgets that shared object (SharedObject.clear): its file goes.
  virtual void removeSharedObject(const std::string& name, const std::string& localPath) {
    (void)name;
    (void)localPath;
  }
  // ---- Files scripts load (loadVariables, loadMovie, LoadVars, MovieClipLoader) ----
  // The bytes of `url` from where the movie came from (its own folder only); nothing
  // when the URL is refused, the file is missing or it holds more than `maxBytes`.
  virtual std::optional<std::vector<uint8_t>> readFile(const std::string& url, size_t maxBytes) {
    (void)url;
    (void)maxBytes;
    return std::nullopt;
  }
  // Replaces what `target` shows with a loaded file: a movie (SWF), an image (JPEG, PNG,
  // GIF) or, for anything else or no bytes, nothing. Returns the clip that holds it now
  // (nullptr: the host cannot load into that clip). `beforeFirstFrame` sees the new clip
  // before its first frame's actions run.
  virtual ScriptClip* loadIntoClip(ScriptClip* target, const std::vector<uint8_t>& bytes,
                                   const std::string& url,
                                   const std::function<void(ScriptClip*)>& beforeFirstFrame = {}) {
    (void)target;
    (void)bytes;
    (void)url;
    (void)beforeFirstFrame;
    return nullptr;
  }
  // Puts a loaded file at _level`level` (loadMovieNum): a new root above the lower
  // levels, replacing what was there; level 0 replaces the whole movie. An empty `url`
  // (unloadMovieNum) takes the level away. Returns the level's new root (nullptr: none).
  virtual ScriptClip* loadIntoLevel(int level, const std::vector<uint8_t>& bytes,
                                    const std::string& url) {
    (void)level;
    (void)bytes;
    (void)url;
    return nullptr;
  }
  // Variables arrived for `clip` (loadVariables): its onClipEvent(data) handlers run,
  // then its onData method.
  virtual void clipDataLoaded(ScriptClip* clip) { (void)clip; }
  virtual void startDrag(ScriptClip* clip, bool lockCenter) {
    (void)clip;
    (void)lockCenter;
  }
  virtual void stopDrag() {}
  virtual double mouseX() { return 0; }
  virtual double mouseY() { return 0; }
  virtual int stageWidth() { return 550; }
  virtual int stageHeight() { return 400; }
  virtual void stopSounds() {}
  // ---- Sounds scripts play (Sound.attachSound, loadSound, start, stop, setVolume) ----
  // Which sound: one the movie `clip` belongs to exports as `linkage` (clip nullptr: the
  // first movie), or one loaded from a file (`loaded`, from addLoadedSound).
  struct SoundSource {
    ScriptClip* clip = nullptr;
    std::string linkage;
    int loaded = 0;
  };
  // Starts `source` `offsetSeconds` in, `loops` times, at these linear gains, for
  // `owner` (only compared, by stopScriptSounds and setSoundGains). A handle; 0: nothing
  // plays.
  virtual int startSound(const SoundSource& source, const void* owner, double offsetSeconds,
                         int loops, double left, double right) {
    (void)source;
    (void)owner;
    (void)offsetSeconds;
    (void)loops;
    (void)left;
    (void)right;
    return 0;
  }
  // Stops what `owner` started (nullptr: every sound), only `source` unless it names none.
  virtual void stopScriptSounds(const SoundSource& source, const void* owner) {
    (void)source;
    (void)owner;
  }
  // The gains of what `owner` started; owner nullptr: of everything the movie plays.
  virtual void setSoundGains(const void* owner, double left, double right) {
    (void)owner;
    (void)left;
    (void)right;
  }
  // Milliseconds into a started sound; nullopt once it has ended.
  virtual std::optional<double> soundPositionMs(int handle) {
    (void)handle;
    return std::nullopt;
  }
  // The length of a sound; nullopt when there is none.
  virtual std::optional<double> soundDurationMs(const SoundSource& source) {
    (void)source;
    return std::nullopt;
  }
  // Decodes a sound file a script loaded (MP3): its number for SoundSource::loaded, 0
  // when it holds no sound that plays.
  virtual int addLoadedSound(const std::vector<uint8_t>& bytes) {
    (void)bytes;
    return 0;
  }
  // The ID3 tags of a sound file: (frame, text) in file order, repeats included.
  virtual std::vector<std::pair<std::string, std::string>> soundFileTags(
      const std::vector<uint8_t>& bytes) {
    (void)bytes;
    return {};
  }
  virtual void toggleQuality() {}
};

}  // namespace orv::movie::avm1
