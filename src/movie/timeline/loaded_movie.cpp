#include "movie/timeline/loaded_movie.h"

#include "movie/codec/image_decoder.h"
#include "movie/swf/reader.h"

namespace orv::movie {

namespace {

constexpr int32_t kTwipsPerPixel = 20;

std::shared_ptr<swf::Movie> emptyMovie(int version) {
  auto movie = std::make_shared<swf::Movie>();
  movie->header.version = static_cast<uint8_t>(version);
  movie->header.frameRate = 12;
  movie->header.frameCount = 1;
  movie->root.frames.resize(1);
  return movie;
}

// A rectangle filled with the bitmap, placed at depth 1 of the only frame.
std::shared_ptr<swf::Movie> imageMovie(const std::vector<uint8_t>& bytes, int width, int height,
                                       int version) {
  auto movie = emptyMovie(version);
  const int32_t w = width * kTwipsPerPixel, h = height * kTwipsPerPixel;
  movie->header.frameSize = {0, w, 0, h};
  // Ids at the top of the range: a renderer that looks bitmaps up in the main movie
  // finds nothing there rather than one of its own pictures.
  constexpr swf::CharacterId kBitmap = 0xFFFE, kShape = 0xFFFD;
  swf::BitmapDef bitmap;
  bitmap.id = kBitmap;
  bitmap.kind = swf::BitmapKind::Jpeg2;  // the tag that holds whole JPEG, PNG or GIF files
  bitmap.data = bytes;
  movie->dictionary.emplace(kBitmap, std::move(bitmap));

  swf::ShapeDef shape;
  shape.id = kShape;
  shape.bounds = shape.edgeBounds = {0, w, 0, h};
  swf::FillStyle fill;
  fill.type = swf::FillType::ClippedBitmap;
  fill.bitmapId = kBitmap;
  fill.matrix.a = fill.matrix.d = kTwipsPerPixel;  // bitmap pixels to twips
  shape.shape.styleTables.push_back({{fill}, {}});
  swf::ShapeRecord start;
  start.hasMove = start.hasFill1 = true;
  start.fill1 = 1;
  shape.shape.records.push_back(start);
  for (auto [x, y] : {std::pair{w, 0}, {w, h}, {0, h}, {0, 0}}) {
    swf::ShapeRecord edge;
    edge.kind = swf::ShapeRecord::Kind::StraightEdge;
    edge.x = edge.cx = x;
    edge.y = edge.cy = y;
    shape.shape.records.push_back(edge);
  }
  movie->dictionary.emplace(kShape, std::move(shape));

  auto& place = std::get<swf::PlaceObject>(
      movie->root.frames[0].displayTags.emplace_back(swf::PlaceObject{}));
  place.version = 2;
  place.depth = 1;
  place.characterId = kShape;
  place.matrix = swf::Matrix{};
  return movie;
}

}  // namespace

std::shared_ptr<const swf::Movie> movieFromLoadedFile(const std::vector<uint8_t>& bytes,
                                                      int version) {
  if (bytes.size() >= 3 && (bytes[0] == 'F' || bytes[0] == 'C' || bytes[0] == 'Z') &&
      bytes[1] == 'W' && bytes[2] == 'S') {
    // Tighter than for the movie the user opened: a script may load many.
    swf::ReadResult read =
        swf::readMovie(bytes, swf::ReadLimits{kMaxLoadedMovieSize, 4 * kMaxLoadedMovieSize});
    if (read.movie) return read.movie;
    return emptyMovie(version);
  }
  if (codec::sniffImageFormat(bytes.data(), bytes.size()) != codec::ImageFormat::Unknown) {
    // Decoded once for the size; the renderer decodes it again from the bitmap's bytes.
    if (auto image = codec::decodeImage(bytes.data(), bytes.size());
        image && image->width > 0 && image->height > 0)
      return imageMovie(bytes, image->width, image->height, version);
  }
  return emptyMovie(version);
}

}  // namespace orv::movie
