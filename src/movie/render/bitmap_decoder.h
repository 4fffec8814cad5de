#pragma once
// Turns a bitmap character (DefineBits*, DefineBitsLossless*) into premultiplied
// pixels: JPEG/PNG/GIF through the platform decoder seam, the lossless formats
// and alpha planes with zlib and our own unpacking.
#include <memory>
#include <vector>

#include "movie/render/raster/paint.h"
#include "movie/swf/types.h"

namespace orv::movie::render {

// nullptr when the data is broken or unsupported (such a bitmap draws as nothing).
std::shared_ptr<const Bitmap> decodeBitmap(const swf::BitmapDef& def,
                                           const std::vector<uint8_t>& jpegTables);

// DefineBits splits its JPEG between the JPEGTables tag and its own data, and
// old writers put a stray EOI/SOI pair in front; this joins them into one stream.
std::vector<uint8_t> joinJpeg(const std::vector<uint8_t>& tables, const std::vector<uint8_t>& data);

}  // namespace orv::movie::render
