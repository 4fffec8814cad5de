// What BitmapData asks of the stage: drawing a clip or other pixels into pixels, and the
// pixels of an exported bitmap character.
#include "movie/render/bitmap_decoder.h"
#include "movie/render/movie_renderer.h"
#include "movie/render/placed_effects.h"
#include "movie/avm1_host/timeline_bridge.h"

namespace orv::movie::avm1 {

void TimelineBridge::drawClip(ScriptClip* clip, const ScriptClip::Matrix& m,
                              const base::ColorTransformF& color, render::Bitmap& target) {
  auto* bridge = dynamic_cast<ClipBridge*>(clip);
  DisplayObject* object = bridge ? bridge->object() : nullptr;
  if (!object || !target.valid()) return;
  std::vector<render::DisplayNode> nodes = stage_.contentOf(object->shared_from_this());
  // A mask set by script stays where it is on the bitmap: the matrix moves the content
  // only, so the mask is placed back through its inverse.
  if (!nodes.empty() && nodes[0].mask) {
    const swf::Matrix inTwips{m.a, m.b, m.c, m.d, m.tx * 20, m.ty * 20};
    auto mask = std::make_shared<render::DisplayNode>(*nodes[0].mask);
    const auto back = inTwips.inverted();
    if (back) mask->matrix = *back * mask->matrix;
    nodes[0].mask = std::move(mask);
  }
  // Clip pixels to the bitmap's pixels; the renderer works in twips.
  const render::Affine toDevice = m * render::Affine::scale(0.05, 0.05);
  render::MovieRenderer renderer;
  renderer.setThreads(1);  // a throwaway renderer: not worth starting threads for
  renderer.renderOnto(nodes, {target.pixels.data(), target.width, target.height}, toDevice,
                      base::Quality::High, color);
}

void TimelineBridge::drawBitmap(const std::shared_ptr<render::Bitmap>& source,
                                const ScriptClip::Matrix& m, const base::ColorTransformF& color,
                                bool smooth, render::Bitmap& target) {
  render::MovieRenderer::drawPixelsOnto(source, m, color, smooth, target);
}

std::shared_ptr<const render::Bitmap> TimelineBridge::exportedBitmap(const std::string& linkage) {
  const swf::Movie* movie = nullptr;
  const swf::Character* ch = stage_.exported(movie, linkage);
  const auto* def = ch ? std::get_if<swf::BitmapDef>(ch) : nullptr;
  if (!def || !movie) return nullptr;
  return render::decodeBitmap(*def, movie->jpegTables);
}

bool TimelineBridge::rasterFilter(const base::FilterSettings& filter, render::Filter& out,
                                  std::vector<std::shared_ptr<const render::Bitmap>>& maps) {
  return render::rasterFilterOf(filter, out, maps);
}

}  // namespace orv::movie::avm1
