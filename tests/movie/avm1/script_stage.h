// A minimal stage for script tests: plays a parsed movie's timelines (sprites, display
// list by depth, frame actions, init actions, clip events, imports from the movie's
// folder) and records trace output. It keeps no graphics: only what scripts can see.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "movie/timeline/drawing.h"
#include "movie/text/edit_text.h"
#include "movie/avm1/host.h"
#include "movie/avm1/vm.h"
#include "movie/swf/types.h"

namespace orv::movie::avm1::testing {

class ScriptStage;

// The drawing API straight into a Drawing.
class DrawingPen final : public ClipPen {
 public:
  void clear() override { drawing.clear(); }
  void setLineStyle(const std::optional<swf::LineStyle>& s) override { drawing.setLineStyle(s); }
  void beginFill(const std::optional<swf::FillStyle>& f) override { drawing.beginFill(f); }
  void endFill() override { drawing.endFill(); }
  void moveTo(int32_t x, int32_t y) override { drawing.moveTo(x, y); }
  void lineTo(int32_t x, int32_t y) override { drawing.lineTo(x, y); }
  void curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) override {
    drawing.curveTo(cx, cy, x, y);
  }
  Drawing drawing;
};

class StageClip : public ScriptClip {
 public:
  StageClip(ScriptStage& stage, StageClip* parent, const swf::Movie* movie,
            const swf::Timeline* timeline, std::string name, int depth);

  std::string name() const override { return name_; }
  void setName(const std::string& n) override { name_ = n; }
  ScriptClip* parent() override { return parent_; }
  ScriptClip* childByName(std::string_view name, bool caseInsensitive) override;
  std::vector<ScriptClip*> children() override;
  int level() const override { return parent_ ? -1 : 0; }
  double getProperty(ClipProperty p) override;
  void setProperty(ClipProperty p, double v) override;
  void gotoFrame(int frame, bool play) override;
  bool gotoLabel(std::string_view label, bool play) override;
  int frameOfLabel(std::string_view label) override;
  void play() override { playing_ = true; }
  void stop() override { playing_ = false; }
  int currentFrame() override { return frame_; }
  int totalFrames() override;
  void runFrameActions(int frame) override;
  ScriptClip* duplicate(const std::string& newName, int depth) override;
  ScriptClip* attachMovie(const std::string& exportName, const std::string& newName,
                          int depth) override;
  ScriptClip* createEmptyMovieClip(const std::string& newName, int depth) override;
  bool removeSelf() override;
  int depth() override { return depth_; }
  void swapDepths(int depth) override;
  int nextHighestDepth() override;
  // Geometry from the characters' rectangles, and the colour transform Color sets.
  Bounds bounds(ScriptClip* space) override;
  // The alpha multiplier is _alpha (in percent), kept as set while the transform leaves it.
  base::ColorTransform colorTransform() override {
    auto c = color_;
    c.aMul = alpha_ / 100;
    return c;
  }
  void setColorTransform(const base::ColorTransform& ct) override {
    color_ = ct;
    if (ct.aMul != alpha_ / 100) alpha_ = ct.aMul * 100;
  }
  swf::Matrix matrix() const;            // own coordinates to the parent's, in twips
  void setMatrix(const swf::Matrix& m);  // kept as position, scales and rotation
  bool hitTestPoint(double x, double y, bool shapeFlag) override;
  Matrix toParent() override {
    swf::Matrix m = matrix();
    return {m.a, m.b, m.c, m.d, m.tx / 20, m.ty / 20};
  }
  double sizeInParent(bool height);  // _width or _height
  // Edit text: placed DefineEditText characters and createTextField.
  EditTextState* textField() override { return text_.get(); }
  std::u32string staticText() override;
  ScriptClip* createTextField(const std::string& newName, int depth, double x, double y,
                              double width, double height) override;
  ClipPen* pen() override { return &pen_; }
  Drawing* drawing() { return &pen_.drawing; }
  struct Shape {
    uint16_t id;
    swf::Matrix matrix;
    int placedFrame = -1;
  };
  const std::map<int, Shape>& shapeList() const { return shapes_; }

  // Timeline playback.
  void enterFirstFrame();
  void advance();  // one tick of this clip and its children
  void enterFrameEvents();

  std::string url() const override { return url_; }
  double bytesTotal() override { return movie_ ? movie_->header.fileLength : 0; }
  bool dead = false;
  std::vector<swf::ClipAction> clipActions;

 private:
  friend class ScriptStage;
  void applyFrame(int frame, bool runActions);
  void seek(int frame);
  void place(const swf::PlaceObject& po);
  void finishUnloading();  // removes for good the clips parked while unloading
  bool keepsPlacement(int depth, uint16_t characterId) const;
  void notePlacement(int depth, uint16_t characterId, int frame);
  StageClip* addChild(std::unique_ptr<StageClip> c);
  void removeAt(int depth);
  void killTree();

  ScriptStage& stage_;
  StageClip* parent_;
  const swf::Movie* movie_;
  const swf::Timeline* timeline_;
  std::string name_;
  int depth_;
  // For objects the parent's timeline placed: the character and the parent's frame whose
  // PlaceObject made it (-1: made by script). Going back keeps what the target frame holds.
  uint16_t characterId_ = 0;
  int placedFrame_ = -1;
  int applyingFrame_ = -1;  // the frame whose tags are being applied
  // Removed clips with unload handlers, kept reachable by name until the frame ends.
  std::vector<std::unique_ptr<StageClip>> unloading_;
  int frame_ = 0;
  bool playing_ = true;
  bool started_ = false;
  double x_ = 0, y_ = 0, xscale_ = 100, yscale_ = 100, rotation_ = 0, alpha_ = 100;
  bool visible_ = true;
  std::string url_;                    // where a loaded movie came from
  std::optional<swf::Matrix> placed_;  // as the timeline placed it
  std::map<int, std::unique_ptr<StageClip>> children_;
  // Depths holding non-sprite characters, with their placement.
  std::map<int, Shape> shapes_;
  std::unique_ptr<EditTextState> text_;
  base::ColorTransform color_;
  DrawingPen pen_;
};

class ScriptStage : public ScriptHost {
 public:
  // `folder` is where imported movies are looked for.
  ScriptStage(std::shared_ptr<const swf::Movie> movie, const std::string& folder,
              const std::vector<uint8_t>& fileBytes);
  ~ScriptStage() override;

  void runFrames(int count);
  const std::vector<std::string>& traceLines() const { return trace_; }
  Vm& vm() { return *vm_; }

  // ScriptHost
  ScriptClip* level(int n) override { return n == 0 ? root_.get() : nullptr; }
  void trace(std::string_view line) override;
  double timerMs() override { return timeMs_; }
  // Files from the movie's folder (loadVariables, LoadVars, loadMovie).
  std::optional<std::vector<uint8_t>> readFile(const std::string& url, size_t maxBytes) override;
  void clipDataLoaded(ScriptClip* clip) override;
  ScriptClip* loadIntoClip(ScriptClip* target, const std::vector<uint8_t>& bytes,
                           const std::string& url,
                           const std::function<void(ScriptClip*)>& beforeFirstFrame = {}) override;

  // Used by StageClip.
  void queueActions(StageClip* clip, const std::vector<uint8_t>* bytes);
  void queueInitActions(const swf::Frame& frame, const swf::Movie* movie);
  void runQueue();
  const swf::SpriteDef* resolveSprite(const swf::Movie*& movie, swf::CharacterId id);
  const swf::SpriteDef* exportedSprite(const swf::Movie*& movie, const std::string& name);
  std::vector<std::unique_ptr<StageClip>> graveyard;
  int instanceCounter = 0;

 private:
  struct Pending {
    StageClip* clip;
    const std::vector<uint8_t>* bytes;
  };
  std::shared_ptr<const swf::Movie> movie_;
  std::string folder_;
  std::vector<std::shared_ptr<const swf::Movie>> loaded_;  // movies loaded into clips
  std::vector<std::shared_ptr<const swf::Movie>> imported_;
  // importer id -> (movie, id) in the imported movie
  std::map<swf::CharacterId, std::pair<const swf::Movie*, swf::CharacterId>> imports_;
  std::unique_ptr<Vm> vm_;
  std::unique_ptr<StageClip> root_;
  std::vector<Pending> queue_;
  std::map<std::pair<const swf::Movie*, swf::CharacterId>, bool> initDone_;
  std::vector<std::string> trace_;
  std::string partial_;
  double timeMs_ = 0;
  bool running_ = false;
};

}  // namespace orv::movie::avm1::testing
