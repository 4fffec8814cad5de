#pragma once
// MP3 stream layout (frame headers, ID3v2 tags) read without decoding, and whole-file
// decoding through the platform decoder (codec/mp3_decoder.h).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "movie/sound/pcm_audio.h"

namespace orv::movie::sound {

// One MPEG audio Layer III frame header.
struct Mp3FrameHeader {
  int sampleRate = 0;
  int channels = 0;
  int bitrateKbps = 0;
  int samplesPerFrame = 0;  // per channel: 1152 (MPEG-1) or 576 (MPEG-2 and 2.5)
  size_t frameBytes = 0;    // whole frame including the header
  int version = 0;          // 1 = MPEG-1, 2 = MPEG-2, 25 = MPEG-2.5
};

// Parses the 4 bytes at `p` (at least 4 must be readable). Only Layer III with a known
// bitrate (not free format) is accepted.
std::optional<Mp3FrameHeader> parseMp3FrameHeader(const uint8_t* p);

struct Mp3StreamInfo {
  Mp3FrameHeader first;    // format of the stream
  size_t firstFrame = 0;   // byte offset of the first frame (after ID3v2 tags)
  size_t end = 0;          // byte offset just past the last complete frame
  size_t frameCount = 0;   // complete frames
  bool truncated = false;  // the data ends inside a frame that follows the last one
};

// Walks the frame chain. nullopt when no frame can be found (not MP3 data).
std::optional<Mp3StreamInfo> scanMp3(std::span<const uint8_t> data);

// Decodes a whole MP3 file or SWF MP3 sound. Garbage, an empty stream or (unless
// `allowTruncated`) data ending inside a frame give an error.
DecodeResult decodeMp3(std::span<const uint8_t> data, bool allowTruncated = false);

}  // namespace orv::movie::sound
