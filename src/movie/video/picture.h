#pragma once
// Decoded video pictures as the renderer draws them, and what the codecs' data says
// about each frame.
#include <cstdint>
#include <span>

#include "movie/codec/video_decoder.h"
#include "movie/render/raster/paint.h"

namespace orv::movie::video {

// The picture in premultiplied ARGB. YUV is converted with the ITU-R BT.601 matrix on
// studio-range levels, each chroma sample covering its 2x2 pixels; an alpha plane makes
// the colour premultiplied as stored (never above its alpha).
render::Bitmap toBitmap(const codec::VideoPicture& picture);

// Whether a frame's data stands alone (a key frame), so decoding may start at it.
bool isKeyFrame(codec::VideoCodec codec, std::span<const uint8_t> frame);

}  // namespace orv::movie::video
