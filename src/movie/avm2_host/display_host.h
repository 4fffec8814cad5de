#pragma once
// The ActionScript 3 machine's host over the shared timeline: display objects by handle
// (their instance ids; the stage has one of its own), children by index over the clips'
// depth-ordered lists, properties, frames and the drawing API.
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "movie/avm2/host.h"
#include "movie/avm2/text_host.h"
#include "movie/saves/movie_saves.h"
#include "movie/timeline/stage.h"

namespace orv::movie {

class MouseInput;
namespace sound {
class MovieSound;
}

class DisplayHost : public avm2::Host {
 public:
  static constexpr avm2::DisplayHandle kStage = ~uint64_t{0};

  explicit DisplayHost(Stage* stage) : stage_(stage) {
    if (stage_)
      for (const swf::Frame& f : stage_->movie().root.frames)
        for (const swf::SymbolClass& link : f.symbolClasses) links_[link.id] = link.className;
  }
  std::function<void(const std::string&)> sink;
  // After a script moved a clip to another frame: its new children get their objects.
  std::function<void()> afterGoto;

  // The handle scripts know `object` by (it stays alive while they hold it).
  avm2::DisplayHandle handleOf(DisplayObject* object);
  // Movies Loaders loaded, by the number movieOf gives (their address), with the classes
  // their SymbolClass tags link to characters.
  struct LoadedSwf {
    std::shared_ptr<const swf::Movie> movie;
    std::map<swf::CharacterId, std::string> links;
  };
  std::map<uint64_t, LoadedSwf> loadedSwfs;
  DisplayObject* find(avm2::DisplayHandle h) const;
  MovieClip* clip(avm2::DisplayHandle h) const;
  Stage* timelineStage() const { return stage_; }

  void trace(std::string_view line) override {
    if (sink) sink(std::string(line));
  }
  std::vector<std::string>* errors = nullptr;  // uncaught errors of listeners go here
  double clock = 0;
  bool pointerHidden = false;
  void setPointerHidden(bool hidden) override { pointerHidden = hidden; }
  void uncaughtError(std::string_view text) override {
    if (errors) errors->emplace_back(text);
  }
  double clockMs() override { return clock; }
  avm2::DisplayHandle stage() override { return stage_ ? kStage : 0; }
  avm2::DisplayHandle create(avm2::DisplayKind kind) override;
  void release(avm2::DisplayHandle h) override;
  avm2::DisplayKind kindOf(avm2::DisplayHandle h) override;
  std::string linkedClass(avm2::DisplayHandle h) override;
  avm2::DisplayHandle parentOf(avm2::DisplayHandle h) override;
  int numChildren(avm2::DisplayHandle h) override;
  avm2::DisplayHandle childAt(avm2::DisplayHandle h, int index) override;
  void insertChild(avm2::DisplayHandle parent, avm2::DisplayHandle child, int index) override;
  void removeChildAt(avm2::DisplayHandle parent, int index) override;
  void swapChildrenAt(avm2::DisplayHandle parent, int a, int b) override;
  double property(avm2::DisplayHandle h, avm2::DisplayProp p) override;
  void setProperty(avm2::DisplayHandle h, avm2::DisplayProp p, double v) override;
  std::string name(avm2::DisplayHandle h) override;
  void setName(avm2::DisplayHandle h, const std::string& name) override;
  void draw(avm2::DisplayHandle h, const avm2::DrawCommand& c) override;
  avm2::TextFieldAccess* textField(avm2::DisplayHandle h) override;
  std::optional<std::string> staticText(avm2::DisplayHandle h) override;
  std::optional<FontInfo> linkedFont(std::string_view className) override;
  std::vector<FontInfo> embeddedFonts() override;
  int currentFrame(avm2::DisplayHandle h) override;
  int totalFrames(avm2::DisplayHandle h) override;
  bool isPlaying(avm2::DisplayHandle h) override;
  std::vector<avm2::FrameLabelInfo> labels(avm2::DisplayHandle h) override;
  std::vector<avm2::SceneInfo> scenes(avm2::DisplayHandle h) override;
  void gotoFrame(avm2::DisplayHandle h, int frame, bool play) override;
  void play(avm2::DisplayHandle h) override;
  void stop(avm2::DisplayHandle h) override;
  double stageWidth() override;
  double stageHeight() override;
  double frameRate() override;
  void setFrameRate(double rate) override { frameRate_ = rate; }
  int swfVersion() override { return stage_ ? stage_->movie().header.version : 0; }
  // The folder the movie came from, where scripts may load files (empty: none), and its
  // URL as scripts see it.
  std::string ownFolder;
  std::string movieUrl;
  MovieFile movieFile() override;
  std::vector<uint8_t> movieBytes() override;
  std::vector<uint8_t> uncompressedMovie(const std::vector<uint8_t>& file) override;
  uint32_t movieFileSize = 0;          // the opened file's size (0: its header's length)
  std::vector<uint8_t> movieFileData;  // the opened file as read (for movieBytes)
  LoadedMovie loadMovie(const std::vector<uint8_t>& bytes) override;
  uint64_t movieOf(avm2::DisplayHandle h) override;
  std::vector<AbcTag> movieFrameAbc(uint64_t movie, int frame) override;
  std::string documentClass(uint64_t movie) override;
  std::optional<std::vector<uint8_t>> readFile(const std::string& url, size_t maxBytes) override;
  // Where the movie's shared objects are kept (none: nowhere, getLocal refuses).
  std::optional<saves::MovieSaves> saves;
  std::function<void(const std::string&)> saveProblems;
  SavedObject loadSharedObject(const std::string& name, const std::string& localPath) override;
  bool saveSharedObject(const std::string& name, const std::string& localPath,
                        uint32_t amfVersion, const std::vector<uint8_t>& members) override;
  void removeSharedObject(const std::string& name, const std::string& localPath) override;
  void sharedObjectUnreadable(const std::string& name) override {
    if (saveProblems) saveProblems("shared object not read: " + name + ".sol: its data does not read");
  }

  // The pointer (display_host_pointer.cpp): hit tests go through the player's mouse, which
  // must outlive the host; the pointer's place is in stage twips.
  MouseInput* mouse = nullptr;
  double pointerX = 0, pointerY = 0;
  bool handCursor = false;
  bool hitTest(avm2::DisplayHandle h, double x, double y, bool shape) override;
  void mapPoint(avm2::DisplayHandle h, double& x, double& y, bool toStage) override;
  bool bounds(avm2::DisplayHandle h, avm2::DisplayHandle space, double box[4]) override;
  bool isMask(avm2::DisplayHandle h) override;
  avm2::DisplayHandle maskOf(avm2::DisplayHandle h) override;
  void setMask(avm2::DisplayHandle h, avm2::DisplayHandle mask) override;
  int buttonState(avm2::DisplayHandle h) override;
  void setButtonState(avm2::DisplayHandle h, int state) override;
  void setHandCursor(bool hand) override { handCursor = hand; }

  base::Matrix matrix(avm2::DisplayHandle h) override;
  void setMatrix(avm2::DisplayHandle h, const base::Matrix& m) override;
  base::ColorTransform colorTransform(avm2::DisplayHandle h) override;
  void setColorTransform(avm2::DisplayHandle h, const base::ColorTransform& cx) override;
  bool scrollRect(avm2::DisplayHandle h, double rect[4]) override;
  void setScrollRect(avm2::DisplayHandle h, const double* rect) override;
  bool cacheAsBitmap(avm2::DisplayHandle h) override;
  void setCacheAsBitmap(avm2::DisplayHandle h, bool cached) override;
  uint8_t blendMode(avm2::DisplayHandle h) override;
  void setBlendMode(avm2::DisplayHandle h, uint8_t mode) override;
  std::vector<base::FilterSettings> filters(avm2::DisplayHandle h, uint64_t& stamp) override;
  uint64_t setFilters(avm2::DisplayHandle h,
                      const std::vector<base::FilterSettings>& filters) override;
  bool rasterFilter(const base::FilterSettings& filter, render::Filter& out,
                    std::vector<std::shared_ptr<const render::Bitmap>>& maps) override;

  // Bitmaps (bitmap_host.cpp).
  std::shared_ptr<const render::Bitmap> linkedBitmap(std::string_view className) override;
  std::shared_ptr<const render::Bitmap> decodeImageFile(const std::vector<uint8_t>& bytes) override;
  std::optional<std::vector<uint8_t>> linkedBinary(std::string_view className) override;
  void setBitmap(avm2::DisplayHandle h, std::shared_ptr<const render::Bitmap> pixels,
                 bool smoothing) override;
  void drawObject(avm2::DisplayHandle h, const base::Matrix& m, const base::ColorTransformF& cx,
                  uint8_t blendMode, render::Bitmap& target) override;
  void drawPixels(const std::shared_ptr<render::Bitmap>& source, const base::Matrix& m,
                  const base::ColorTransformF& cx, uint8_t blendMode, bool smooth,
                  render::Bitmap& target) override;

  // Sounds (sound_host.cpp), through the player's mixer (null: silent).
  sound::MovieSound* sound = nullptr;
  std::optional<SoundInfo> linkedSound(std::string_view className) override;
  int addLoadedSound(const std::vector<uint8_t>& mp3, SoundInfo& info) override;
  uint32_t startLoadedSound(int loaded, double offsetMs, int plays, const void* owner,
                            double left, double right) override;
  uint32_t startLinkedSound(std::string_view className, double offsetMs, int plays,
                            const void* owner, double left, double right) override;
  void stopSounds(const void* owner) override;
  void setSoundGains(const void* owner, double left, double right) override;
  std::optional<double> soundPositionMs(uint32_t voice) override;

 private:
  const swf::SoundDef* linkedSoundDef(std::string_view className) const;
  void insertOnStage(avm2::DisplayHandle child, int index);

 public:

 private:
  Stage* stage_;
  std::unordered_map<uint64_t, std::shared_ptr<DisplayObject>> held_;
  std::set<uint64_t> shapes_;
  std::set<uint64_t> bitmaps_;  // the Bitmaps scripts made
  std::unordered_map<uint64_t, std::unique_ptr<avm2::TextFieldAccess>> fields_;  // the shapes scripts made (clips that only draw)
  std::map<swf::CharacterId, std::string> links_;
  double frameRate_ = -1;  // as a script set it
  int gotoDepth_ = 0;
};

}  // namespace orv::movie
