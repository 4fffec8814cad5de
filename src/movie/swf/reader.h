#pragma once
// Turns the bytes of a .swf/.spl file into an immutable Movie.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "movie/swf/types.h"

namespace orv::movie::swf {

struct ReadLimits {
  size_t maxUncompressedSize = 256u << 20;  // whatever the header claims
  size_t maxParsedBytes = 1024u << 20;      // memory budget of the parsed structures
};

struct ReadResult {
  std::shared_ptr<const Movie> movie;  // null on failure
  std::string error;                   // one-line reason when movie is null
};

ReadResult readMovie(const uint8_t* data, size_t size, const ReadLimits& limits = {});
inline ReadResult readMovie(const std::vector<uint8_t>& bytes, const ReadLimits& limits = {}) {
  return readMovie(bytes.data(), bytes.size(), limits);
}

// The file's body (everything after the 8-byte header) decompressed; for the tools and tests.
struct Body {
  Header header;  // signature, version and claimed length only
  std::vector<uint8_t> data;
  std::string error;  // non-empty: unusable; data may still hold a truncated body
  bool truncated = false;
};
Body decompressBody(const uint8_t* data, size_t size, const ReadLimits& limits = {});

// Tag codes this reader knows, for naming them in tools.
const char* tagName(uint16_t code);

}  // namespace orv::movie::swf
