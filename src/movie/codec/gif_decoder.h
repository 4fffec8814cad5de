#pragma once
// A small GIF reader (first frame, with transparency) shared by both builds'
// decodeImage, since GIF inside movies is rare and simple.
#include "movie/codec/image_decoder.h"

namespace orv::movie::codec {

std::optional<DecodedImage> decodeGif(const uint8_t* data, size_t size);

}  // namespace orv::movie::codec
