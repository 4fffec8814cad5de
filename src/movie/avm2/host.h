// What the ActionScript 3 machine asks of the program around it: the machine's only way
// out. Display objects are the timeline's: scripts know them by handle and reach them
// through these calls (children by index, never by depth).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "movie/base/color_transform.h"
#include "movie/base/filter_settings.h"
#include "movie/base/matrix.h"

namespace orv::movie::render {
struct Bitmap;  // render/raster/paint.h: premultiplied pixels
struct Filter;  // render/raster/filters.h: a filter as the raster core draws it
}

namespace orv::movie::avm2 {

class Object;
class TextFieldAccess;  // text_host.h

using DisplayHandle = uint64_t;  // 0: none

enum class DisplayKind : uint8_t {
  None,
  Stage,
  MovieClip,
  Shape,
  Other,
  Button,
  TextField,
  StaticText,
  Bitmap,
};

enum class DisplayProp : uint8_t {
  X,
  Y,
  ScaleX,
  ScaleY,
  Rotation,
  Alpha,
  Visible,
  Width,
  Height,
  MouseX,
  MouseY,
};

struct SceneInfo {
  std::string name;
  int first = 1;  // its first frame, counted in the whole clip from 1
  int frames = 1;
};

struct FrameLabelInfo {
  std::string name;
  int frame = 0;  // from 1
};

// A colour along a gradient: its place (0..255), colour (0xRRGGBB) and alpha (0..1).
struct GradientStop {
  uint8_t ratio = 0;
  uint32_t color = 0;
  double alpha = 1;
};

// One call of the drawing API; coordinates in pixels.
struct DrawCommand {
  enum class Kind : uint8_t {
    Clear,
    LineStyle,
    NoLine,
    BeginFill,
    BeginGradientFill,
    EndFill,
    MoveTo,
    LineTo,
    CurveTo
  };
  enum class Spread : uint8_t { Pad, Reflect, Repeat };
  Kind kind = Kind::Clear;
  double x = 0, y = 0, cx = 0, cy = 0;
  double thickness = 0;
  uint32_t color = 0;  // 0xRRGGBB
  double alpha = 1;
  // A gradient fill: its stops, the matrix that maps its square (-819.2 to 819.2 pixels)
  // onto the shape, and how it goes on past its ends.
  std::vector<GradientStop> stops;
  base::Matrix matrix;
  bool radial = false;
  Spread spread = Spread::Pad;
  bool linearRgb = false;
  double focalPoint = 0;  // -1..1, radial only
};

class Host {
 public:
  virtual ~Host() = default;
  // One line a script traced (trace() joins its arguments with spaces).
  virtual void trace(std::string_view line) = 0;
  // An error a script threw that nothing caught where the player called it (an event
  // listener), as text ("Error: ..."); the player goes on.
  virtual void uncaughtError(std::string_view text) { (void)text; }
  // The player's clock: milliseconds since the movie started (getTimer, timers).
  virtual double clockMs() { return 0; }
  // Whether Caps Lock (or, with `numLock`, Num Lock) is on.
  virtual bool lockKey(bool numLock) {
    (void)numLock;
    return false;
  }
  // Mouse.hide() and show(): the pointer over the movie.
  virtual void setPointerHidden(bool hidden) { (void)hidden; }

  // ---- The display list (a host without one answers with nothing) ----
  virtual DisplayHandle stage() { return 0; }
  // An object of its own, on no display list yet: an empty clip or a shape.
  virtual DisplayHandle create(DisplayKind) { return 0; }
  // Scripts no longer reach the object: the host may let it go.
  virtual void release(DisplayHandle) {}
  virtual DisplayKind kindOf(DisplayHandle) { return DisplayKind::None; }
  // The class the movie links to the object's symbol ("" for none).
  virtual std::string linkedClass(DisplayHandle) { return {}; }
  virtual DisplayHandle parentOf(DisplayHandle) { return 0; }
  virtual int numChildren(DisplayHandle) { return 0; }
  virtual DisplayHandle childAt(DisplayHandle, int) { return 0; }
  // Puts `child` at `index` of `parent`'s children, taking it from where it was.
  virtual void insertChild(DisplayHandle, DisplayHandle, int) {}
  virtual void removeChildAt(DisplayHandle, int) {}
  virtual void swapChildrenAt(DisplayHandle, int, int) {}
  virtual double property(DisplayHandle, DisplayProp) { return 0; }
  virtual void setProperty(DisplayHandle, DisplayProp, double) {}
  virtual std::string name(DisplayHandle) { return {}; }
  virtual void setName(DisplayHandle, const std::string&) {}
  // Shapes drawn into the object's own drawing.
  virtual void draw(DisplayHandle, const DrawCommand&) {}
  // A text field's model (null for other objects); it lives as long as the handle.
  virtual TextFieldAccess* textField(DisplayHandle) { return nullptr; }
  // The embedded font the movie links to a class ("pkg.Name"), if any.
  struct FontInfo {
    std::string name;
    bool bold = false, italic = false;
  };
  virtual std::optional<FontInfo> linkedFont(std::string_view className) {
    (void)className;
    return {};
  }
  // The fonts the movie embeds with their outlines, by character id.
  virtual std::vector<FontInfo> embeddedFonts() { return {}; }
  // The characters a static text draws; none when a glyph has no font to name it.
  virtual std::optional<std::string> staticText(DisplayHandle) { return {}; }

  // ---- Clips: frames from 1 ----
  virtual int currentFrame(DisplayHandle) { return 0; }
  virtual int totalFrames(DisplayHandle) { return 0; }
  virtual bool isPlaying(DisplayHandle) { return false; }
  virtual std::vector<FrameLabelInfo> labels(DisplayHandle) { return {}; }  // frame order
  virtual std::vector<SceneInfo> scenes(DisplayHandle) { return {}; }  // at least one
  virtual void gotoFrame(DisplayHandle, int, bool /*play*/) {}
  virtual void play(DisplayHandle) {}
  virtual void stop(DisplayHandle) {}

  // ---- The stage ----
  virtual double stageWidth() { return 0; }
  virtual double stageHeight() { return 0; }
  virtual double frameRate() { return 0; }
  virtual void setFrameRate(double) {}
  virtual int swfVersion() { return 0; }
  // The file the movie came from, as LoaderInfo tells it.
  struct MovieFile {
    std::string url;  // "file:///NAME.swf"; empty for a movie given as bytes
    uint32_t bytesTotal = 0;
    double width = 0, height = 0, frameRate = 0;
    int version = 0;
  };
  virtual MovieFile movieFile() { return {}; }
  // The opened movie's file uncompressed, as LoaderInfo.bytes shows it (empty if unknown).
  virtual std::vector<uint8_t> movieBytes() { return {}; }
  // A movie file's bytes uncompressed (empty when they are no movie).
  virtual std::vector<uint8_t> uncompressedMovie(const std::vector<uint8_t>& file) {
    (void)file;
    return {};
  }
  // A SWF a Loader loaded: a clip of its own playing the movie's root timeline, on no
  // display list yet (root 0 when the bytes are no movie, or the stage holds all the
  // loaded movies it may). `movie` names it for movieOf and the calls below.
  struct LoadedMovie {
    DisplayHandle root = 0;
    uint64_t movie = 0;
    MovieFile file;              // url empty; bytesTotal the size of the bytes given
    bool actionScript3 = false;
    std::vector<uint8_t> bytes;  // the movie uncompressed
  };
  virtual LoadedMovie loadMovie(const std::vector<uint8_t>& bytes) {
    (void)bytes;
    return {};
  }
  // The loaded movie an object belongs to (0: the opened one, or none).
  virtual uint64_t movieOf(DisplayHandle) { return 0; }
  // The DoABC tags of a loaded movie's root frame `frame` (from 0); they live as long as
  // the host.
  struct AbcTag {
    const std::vector<uint8_t>* bytes = nullptr;
    bool lazy = false;  // kDoAbcLazyInitialize: its scripts run when first needed
  };
  virtual std::vector<AbcTag> movieFrameAbc(uint64_t movie, int frame) {
    (void)movie, (void)frame;
    return {};
  }
  // The class a loaded movie's SymbolClass links to its root ("" for none).
  virtual std::string documentClass(uint64_t movie) {
    (void)movie;
    return {};
  }
  // Local shared objects (SharedObject.getLocal): the members kept as `name` in
  // `localPath` ("" for the movie's own place), each its name, its value and a zero byte,
  // in AMF0 or AMF3 (the file around them is the host's).
  struct SavedObject {
    bool refused = false;                         // a name or path a Flash player refuses
    std::optional<std::vector<uint8_t>> members;  // nullopt: nothing kept yet, or unreadable
    uint32_t amfVersion = 3;
    bool unreadable = false;  // a file was there but did not read
  };
  virtual SavedObject loadSharedObject(const std::string& name, const std::string& localPath) {
    (void)name, (void)localPath;
    return {};
  }
  // False when it could not be kept (what was kept before stays).
  virtual bool saveSharedObject(const std::string& name, const std::string& localPath,
                                uint32_t amfVersion, const std::vector<uint8_t>& members) {
    (void)name, (void)localPath, (void)amfVersion, (void)members;
    return false;
  }
  virtual void removeSharedObject(const std::string& name, const std::string& localPath) {
    (void)name, (void)localPath;
  }
  // The bytes of `url` from where the movie came from (its own folder only); nothing when
  // the URL is refused, the file is missing or it holds more than `maxBytes`.
  virtual std::optional<std::vector<uint8_t>> readFile(const std::string& url, size_t maxBytes) {
    (void)url, (void)maxBytes;
    return std::nullopt;
  }
  // The bytes of the DefineBinaryData `className` is linked to (a ByteArray subclass).
  virtual std::optional<std::vector<uint8_t>> linkedBinary(std::string_view className) {
    (void)className;
    return std::nullopt;
  }
  // A loaded image file (JPEG, PNG or GIF) as pixels; null when it is none of them or does
  // not decode.
  virtual std::shared_ptr<const render::Bitmap> decodeImageFile(const std::vector<uint8_t>& bytes) {
    (void)bytes;
    return nullptr;
  }
  // The members loadSharedObject gave did not read (the movie sees an empty object).
  virtual void sharedObjectUnreadable(const std::string& name) { (void)name; }

  // ---- The pointer and what lies under it (stage pixels) ----
  // Whether the stage point falls on what the object draws (`shape`), masks included, or
  // within its bounds.
  virtual bool hitTest(DisplayHandle, double x, double y, bool shape) {
    (void)x, (void)y, (void)shape;
    return false;
  }
  // A point of the object's own space onto the stage (`toStage`), or the other way.
  virtual void mapPoint(DisplayHandle, double& x, double& y, bool toStage) {
    (void)x, (void)y, (void)toStage;
  }
  // The object's bounds in `space`'s coordinates (0: the stage's); false when it has none.
  virtual bool bounds(DisplayHandle, DisplayHandle space, double box[4]) {
    (void)space, (void)box;
    return false;
  }
  // Whether the object masks others (it takes no pointer itself).
  virtual bool isMask(DisplayHandle) { return false; }
  // The object whose shapes mask this one (0: none); setting 0 takes the mask away.
  virtual DisplayHandle maskOf(DisplayHandle) { return 0; }
  virtual void setMask(DisplayHandle, DisplayHandle) {}
  // A timeline button's state (0 up, 1 over, 2 down), as the pointer moves it.
  virtual int buttonState(DisplayHandle) { return 0; }
  virtual void setButtonState(DisplayHandle, int) {}
  // The pointer over the movie shows the hand.
  virtual void setHandCursor(bool hand) { (void)hand; }

  // ---- Transforms ----
  // The object's matrix in its parent (tx and ty in pixels) and its colour transform.
  virtual base::Matrix matrix(DisplayHandle) { return {}; }
  virtual void setMatrix(DisplayHandle, const base::Matrix& m) { (void)m; }
  virtual base::ColorTransform colorTransform(DisplayHandle) { return {}; }
  virtual void setColorTransform(DisplayHandle, const base::ColorTransform& cx) { (void)cx; }
  // The part of the object shown, in its own pixels (x, y, width, height); false when
  // all of it is. Null shows all of it again.
  virtual bool scrollRect(DisplayHandle, double rect[4]) {
    (void)rect;
    return false;
  }
  virtual void setScrollRect(DisplayHandle, const double* rect) { (void)rect; }
  virtual bool cacheAsBitmap(DisplayHandle) { return false; }
  virtual void setCacheAsBitmap(DisplayHandle, bool cached) { (void)cached; }
  // How it blends with what is below it (PlaceObject's numbers; 0 and 1 are normal).
  virtual uint8_t blendMode(DisplayHandle) { return 0; }
  virtual void setBlendMode(DisplayHandle, uint8_t mode) { (void)mode; }
  // The filters the object is drawn with, the timeline's or a script's, and in `stamp` a
  // number that stays the same while the list does (0 while it has none).
  virtual std::vector<base::FilterSettings> filters(DisplayHandle, uint64_t& stamp) {
    stamp = 0;
    return {};
  }
  // Draws the object with `filters` (those that draw nothing left out); the new stamp.
  virtual uint64_t setFilters(DisplayHandle, const std::vector<base::FilterSettings>& filters) {
    (void)filters;
    return 0;
  }
  // One filter as the raster core draws it, a displacement map's bitmap added to `maps`
  // (false, and nothing added, for a filter that draws nothing).
  virtual bool rasterFilter(const base::FilterSettings& filter, render::Filter& out,
                            std::vector<std::shared_ptr<const render::Bitmap>>& maps) {
    (void)filter, (void)out, (void)maps;
    return false;
  }

  // ---- Bitmaps ----
  // The pixels of the bitmap character linked to `className`, decoded; null when none is.
  virtual std::shared_ptr<const render::Bitmap> linkedBitmap(std::string_view className) {
    (void)className;
    return nullptr;
  }
  // What a Bitmap shows: `pixels`, drawn as they are when the frame is (null: nothing).
  virtual void setBitmap(DisplayHandle, std::shared_ptr<const render::Bitmap> pixels,
                         bool smoothing) {
    (void)pixels, (void)smoothing;
  }
  // BitmapData.draw of a display object: its content (without its own place) through `m`
  // (its pixels to the target's) and `cx`, blended as `blendMode` (PlaceObject's numbers).
  virtual void drawObject(DisplayHandle, const base::Matrix& m, const base::ColorTransformF& cx,
                          uint8_t blendMode, render::Bitmap& target) {
    (void)m, (void)cx, (void)blendMode, (void)target;
  }
  // BitmapData.draw of other pixels (`source` may be `target`), smoothed or not.
  virtual void drawPixels(const std::shared_ptr<render::Bitmap>& source, const base::Matrix& m,
                          const base::ColorTransformF& cx, uint8_t blendMode, bool smooth,
                          render::Bitmap& target) {
    (void)source, (void)m, (void)cx, (void)blendMode, (void)smooth, (void)target;
  }

  // ---- Sounds scripts play (flash.media) ----
  // The sound character linked to a class ("pkg.Name"): its length, stored size and
  // whether it has two channels.
  struct SoundInfo {
    double lengthMs = 0;
    uint32_t bytes = 0;
    bool stereo = false;
  };
  virtual std::optional<SoundInfo> linkedSound(std::string_view className) {
    (void)className;
    return {};
  }
  // Starts the sound linked to `className` `offsetMs` in, `plays` times, at these linear
  // gains, for `owner` (only compared). Its voice; 0: nothing plays.
  virtual uint32_t startLinkedSound(std::string_view className, double offsetMs, int plays,
                                    const void* owner, double left, double right) {
    (void)className, (void)offsetMs, (void)plays, (void)owner, (void)left, (void)right;
    return 0;
  }
  // Decodes an MP3 file a script loaded (Sound.load): its number for startLoadedSound, 0
  // when it holds no sound that plays; `info` tells its length and size.
  virtual int addLoadedSound(const std::vector<uint8_t>& mp3, SoundInfo& info) {
    (void)mp3, (void)info;
    return 0;
  }
  // As startLinkedSound, for a loaded sound.
  virtual uint32_t startLoadedSound(int loaded, double offsetMs, int plays, const void* owner,
                                    double left, double right) {
    (void)loaded, (void)offsetMs, (void)plays, (void)owner, (void)left, (void)right;
    return 0;
  }
  // Stops what `owner` started; nullptr: every sound the movie plays.
  virtual void stopSounds(const void* owner) { (void)owner; }
  // The gains of what `owner` started; nullptr: of everything the movie plays.
  virtual void setSoundGains(const void* owner, double left, double right) {
    (void)owner, (void)left, (void)right;
  }
  // Milliseconds into the sound a voice plays; nullopt once it has ended.
  virtual std::optional<double> soundPositionMs(uint32_t voice) {
    (void)voice;
    return std::nullopt;
  }
};

}  // namespace orv::movie::avm2
