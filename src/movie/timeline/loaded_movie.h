#pragma once
// What a file loaded into a clip at run time (loadMovie, MovieClipLoader) becomes: a SWF
// is read as a movie; a JPEG, PNG or GIF becomes a one-frame movie showing the image at
// the clip's origin, one pixel per pixel; anything else (or a broken file) an empty
// one-frame movie.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "movie/swf/types.h"

namespace orv::movie {

// A loaded SWF unpacks to at most this many bytes (the rest of it is left out).
constexpr size_t kMaxLoadedMovieSize = 32u << 20;

// `version`: the SWF version given to an image or empty movie (the loading movie's).
std::shared_ptr<const swf::Movie> movieFromLoadedFile(const std::vector<uint8_t>& bytes,
                                                      int version);

}  // namespace orv::movie
