#pragma once
// A small LZMA (LZMA1, as in .lzma files and ZWS movies) decoder of our own.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orv::movie::swf {

struct LzmaResult {
  std::vector<uint8_t> data;
  bool complete = false;  // reached outputLimit or the end marker
  std::string error;      // set when the stream was corrupt or ended early
};

// Decodes `input` (raw LZMA data, without the 5 property bytes) with the given properties
// until `outputLimit` bytes came out, an end marker was seen, or the data ends or turns
// out corrupt. Memory grows with the real output only.
LzmaResult lzmaDecode(const uint8_t properties[5], const uint8_t* input, size_t inputSize,
                      size_t outputLimit);

}  // namespace orv::movie::swf
