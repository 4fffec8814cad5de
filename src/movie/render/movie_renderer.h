#pragma once
// Draws a frame of a movie: the display list under the stage view, with
// masks, colour transforms, morphs, text and buttons. Keeps decoded bitmaps
// and shape edges of the movie it is drawing.
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "movie/base/quality.h"
#include "movie/render/display_node.h"
#include "movie/render/field_box.h"
#include "movie/render/placed_effects.h"
#include "movie/render/raster/filters.h"
#include "movie/render/shape_renderer.h"
#include "movie/swf/types.h"

namespace orv::movie {
class EditTextState;
struct TextFormat;
}  // namespace orv::movie

namespace orv::movie::render {

// The player's quality setting (`base/quality.h`), by the name the renderer's callers know.
using RenderQuality = base::Quality;

struct StageView {
  double x = 0, y = 0, width = 0, height = 0;  // twips of the stage shown in the target
};

class MovieRenderer : public BitmapSource {
 public:
  // `movie` must outlive the renderer (or the next setMovie).
  explicit MovieRenderer(std::shared_ptr<const swf::Movie> movie = nullptr);
  void setMovie(std::shared_ptr<const swf::Movie> movie);

  // Fills with the background (0xRRGGBB) and draws `stage` (the root's
  // children, by depth) with `view` stretched over the whole target.
  void render(const std::vector<DisplayNode>& stage, Surface target, const StageView& view,
              base::Quality quality, uint32_t backgroundRgb);

  // Draws `nodes` over what `target` already holds (BitmapData.draw): `toDevice` maps
  // their twips to its pixels, `cx` colours them.
  void renderOnto(const std::vector<DisplayNode>& nodes, Surface target, const Affine& toDevice,
                  base::Quality quality, const ColorTransform& cx = {});

  // Draws `source`'s pixels over `target` through `m` (source pixels to target pixels) and
  // `cx`, smoothed (at High quality) or not (BitmapData.draw of another BitmapData).
  // `source` may be `target` itself; `blendMode` is PlaceObject's number (0: normal).
  static void drawPixelsOnto(const std::shared_ptr<Bitmap>& source, const Affine& m,
                             const ColorTransform& cx, bool smooth, Bitmap& target,
                             uint8_t blendMode = 0);

  std::shared_ptr<const Bitmap> bitmap(swf::CharacterId id) override;

  // How many threads draw a frame, the caller's counted: big fills, masks, layers and
  // filters are split into bands of rows. The pixels are the same whatever the
  // number. 0 (the default): one for each core of the machine. Work over fewer than
  // `leastPixels` stays on the caller's thread.
  void setThreads(int threads, int64_t leastPixels = BandPool::kWorthSplitting);
  int threads() const;

  // Filtered layers kept from earlier frames (to look at how the renderer keeps them).
  size_t keptLayerCount() const { return keptLayers_.entries(); }

 private:
  struct Context;
  void drawOnto(const std::vector<DisplayNode>& nodes, Canvas& canvas, const Affine& toDevice,
                base::Quality quality, const ColorTransform& cx);
  void drawList(const std::vector<DisplayNode>& nodes, const Affine& m, const ColorTransform& cx,
                Context& ctx);
  void drawNode(const DisplayNode& node, const Affine& m, const ColorTransform& cx, Context& ctx);
  void drawCharacter(const swf::Character& ch, const DisplayNode* node, const Affine& m,
                     const ColorTransform& cx, Context& ctx, int nesting);
  void drawText(const swf::TextDef& text, const Affine& m, const ColorTransform& cx, Context& ctx);
  void drawEditText(const swf::EditTextDef& text, const std::string& content,
                    const DisplayNode* node, const Affine& m, const ColorTransform& cx,
                    Context& ctx);
  void drawFieldBox(const swf::EditTextDef& def, const FieldBox& box, const FieldBoxGeometry& g,
                    const Affine& m, const ColorTransform& cx, Context& ctx);
  void drawGlyph(const swf::FontDef& font, uint32_t glyph, uint32_t argb, const Affine& m,
                 const ColorTransform& cx, Context& ctx);
  // Edges of several glyphs, placed in a field's space (1/16 twips), filled at once.
  void drawGlyphRun(const std::vector<swf::ShapeEdge>& edges, uint32_t argb, const Affine& m,
                    const ColorTransform& cx, Context& ctx);
  std::vector<swf::ShapeEdge> glyphRun_;  // scratch for drawGlyphRun's edges
  void drawContent(const DisplayNode& node, const Affine& m, const ColorTransform& cx,
                   Context& ctx);
  void drawBitmap(const std::shared_ptr<const Bitmap>& bitmap, bool smooth, const Affine& m,
                  const ColorTransform& cx, Context& ctx);
  void drawLayer(const DisplayNode& node, BlendMode mode, const std::vector<Filter>& filters,
                 const Affine& m, const ColorTransform& cx, Context& ctx);
  const std::vector<swf::ShapeEdge>& edgesOf(const swf::Shape& shape);

  BandPool* bands();
  int threads_ = 0;
  int64_t leastBandedPixels_ = BandPool::kWorthSplitting;
  std::unique_ptr<BandPool> bands_;  // started at the first frame that needs it

  std::shared_ptr<const swf::Movie> movie_;
  std::unordered_map<const swf::Shape*, std::vector<swf::ShapeEdge>> edgeCache_;
  // The movie whose dictionary the node being drawn uses (loaded and imported clips
  // bring their own); null: the renderer's movie.
  const swf::Movie* drawing_ = nullptr;
  const swf::Movie* dictionary() const { return drawing_ ? drawing_ : movie_.get(); }
  bool ontoLayer_ = false;  // drawing onto a bitmap (renderOnto), not the stage
  std::map<std::pair<const swf::Movie*, swf::CharacterId>, std::shared_ptr<const Bitmap>>
      bitmapCache_;
  std::vector<std::vector<uint8_t>> maskPool_;
  std::vector<std::vector<uint32_t>> layerPool_;
  int staticDrawsLeft_ = 0;  // characters a live object may still draw from its definitions
  std::vector<FillSweep> fillSweeps_, strokeSweeps_;  // the same for shapes' fills and strokes
  CoverageCache coverage_;                            // shapes drawn frame after frame unchanged
  // Filtered layers drawn frame after frame unchanged: their pixels after the filters
  // (a Flash player, too, keeps filtered objects as bitmaps while they do not change).
  struct KeptLayer {
    Canvas::Bounds painted;        // in the layer's pixels
    std::vector<uint32_t> pixels;  // the painted rectangle, row after row
    size_t bytes() const { return pixels.capacity() * sizeof(uint32_t); }
    bool worthKeeping() const { return !painted.empty(); }
    void shrink() {}
  };
  KeptByKey<KeptLayer> keptLayers_;
  KeptByKey<KeptLayer>::Key layerKey_;
  bool describeLayer(const DisplayNode& node, const Affine& m, const ColorTransform& cx, int margin,
                     const Context& ctx);
  std::vector<Rasterizer> rasterizers_;  // one per canvas in use (the frame, each layer)  // zeroed
                                         // frame-sized layers for reuse
};

// The morph shape at `ratio` (0..65535) as plain styles and edges.
void interpolateMorph(const swf::MorphShapeDef& morph, uint16_t ratio,
                      std::vector<swf::StyleTable>& tables, std::vector<swf::ShapeEdge>& edges);

}  // namespace orv::movie::render
