// What flash.display's Bitmap and BitmapData ask of the stage: the pixels of linked bitmap
// characters, the pixels a Bitmap shows, and drawing display objects or pixels into pixels.
#include "movie/avm2_host/display_host.h"
#include "movie/codec/image_decoder.h"
#include "movie/render/bitmap_decoder.h"
#include "movie/render/movie_renderer.h"

namespace orv::movie {

std::shared_ptr<const render::Bitmap> DisplayHost::linkedBitmap(std::string_view className) {
  if (!stage_) return nullptr;
  for (const auto& [id, linked] : links_) {
    if (linked != className) continue;
    const swf::Movie& movie = stage_->movie();
    const auto* def = movie.get<swf::BitmapDef>(id);
    return def ? render::decodeBitmap(*def, movie.jpegTables) : nullptr;
  }
  return nullptr;
}

std::optional<std::vector<uint8_t>> DisplayHost::linkedBinary(std::string_view className) {
  if (!stage_) return std::nullopt;
  for (const auto& [id, linked] : links_) {
    if (linked != className) continue;
    if (const auto* def = stage_->movie().get<swf::BinaryDataDef>(id)) return def->data;
  }
  // A movie a Loader loaded (classes of one name in two movies: the first loaded).
  for (const auto& [key, loaded] : loadedSwfs)
    for (const auto& [id, linked] : loaded.links)
      if (linked == className)
        if (const auto* def = loaded.movie->get<swf::BinaryDataDef>(id)) return def->data;
  return std::nullopt;
}

std::shared_ptr<const render::Bitmap> DisplayHost::decodeImageFile(
    const std::vector<uint8_t>& bytes) {
  if (codec::sniffImageFormat(bytes.data(), bytes.size()) == codec::ImageFormat::Unknown)
    return nullptr;
  swf::BitmapDef def;
  def.kind = swf::BitmapKind::Jpeg2;  // the tag that holds whole JPEG, PNG or GIF files
  def.data = bytes;
  return render::decodeBitmap(def, {});
}

void DisplayHost::setBitmap(avm2::DisplayHandle h, std::shared_ptr<const render::Bitmap> pixels,
                            bool smoothing) {
  DisplayObject* o = find(h);
  if (!o || !bitmaps_.count(h)) return;
  o->bitmap = std::move(pixels);
  o->smoothBitmap = smoothing;
}

void DisplayHost::drawObject(avm2::DisplayHandle h, const base::Matrix& m,
                             const base::ColorTransformF& cx, uint8_t blendMode,
                             render::Bitmap& target) {
  DisplayObject* object = h == kStage ? nullptr : find(h);
  if (!stage_ || !target.valid()) return;
  std::vector<render::DisplayNode> nodes =
      object ? stage_->contentOf(object->shared_from_this()) : stage_->contentOf(stage_->root().shared_from_this());
  if (nodes.empty()) return;
  if (blendMode) nodes[0].blendMode = blendMode;
  // The renderer works in twips.
  const render::Affine toDevice = m * render::Affine::scale(0.05, 0.05);
  render::MovieRenderer renderer;
  renderer.setThreads(1);  // a throwaway renderer: not worth starting threads for
  renderer.renderOnto(nodes, {target.pixels.data(), target.width, target.height}, toDevice,
                      base::Quality::High, cx);
}

void DisplayHost::drawPixels(const std::shared_ptr<render::Bitmap>& source, const base::Matrix& m,
                             const base::ColorTransformF& cx, uint8_t blendMode, bool smooth,
                             render::Bitmap& target) {
  render::MovieRenderer::drawPixelsOnto(source, m, cx, smooth, target, blendMode);
}

}  // namespace orv::movie
