#pragma once
// FLV files as NetStream plays them: the header, the tags in file order with what their
// first bytes say (video codec and frame type, audio format), script-data tags decoded as
// AMF0 (onMetaData, onCuePoint), and the key frames a seek may land on. Untrusted input:
// every length is checked, and a file cut short keeps the tags that are whole.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "movie/saves/amf.h"

namespace orv::movie::video {

struct FlvTag {
  enum class Type : uint8_t { Audio = 8, Video = 9, Script = 18 };
  Type type = Type::Video;
  int64_t timeMs = 0;
  size_t offset = 0, size = 0;  // the tag's data (after its first byte for audio and video)
  // Video: codec id (2 Sorenson H.263 ... 7 H.264) and frame type (1 key, 2 inter,
  // 3 disposable, 4 generated key, 5 command).
  uint8_t codec = 0, frameType = 0;
  // Audio: sound format (0 PCM, 1 ADPCM, 2 MP3 ...), rate index (5.5, 11, 22, 44 kHz),
  // 16-bit samples, stereo.
  uint8_t soundFormat = 0, rateIndex = 0;
  bool sixteenBit = false, stereo = false;
  int script = -1;  // Script: index into FlvFile::scripts
  bool keyFrame() const { return frameType == 1 || frameType == 4; }
};

// A script-data tag: a handler name and its argument.
struct FlvScript {
  std::string name;
  saves::AmfGraph graph;
  saves::AmfValue value;
};

struct FlvFile {
  bool hasAudio = false, hasVideo = false;  // as the header says
  std::vector<FlvTag> tags;
  std::vector<FlvScript> scripts;
  std::vector<size_t> keyFrames;  // indexes of key-frame video tags, in time order
  // Why reading stopped before the end of the bytes (empty: it read them all).
  std::string error;
  int64_t lastTimeMs() const { return tags.empty() ? 0 : tags.back().timeMs; }
  // The last key frame at or before `ms` (the first one when none is); -1 without any.
  long keyFrameBefore(int64_t ms) const;
};

// Bounds that keep a hostile file from taking the player down.
constexpr size_t kMaxFlvScripts = 4096;

// The file in `bytes` (which the tags point into); nullopt when it is no FLV file.
std::optional<FlvFile> readFlv(std::span<const uint8_t> bytes);

// The video data a decoder takes for a tag (VP6's size-adjustment byte left out).
std::span<const uint8_t> videoPayload(const FlvTag& tag, std::span<const uint8_t> bytes);

}  // namespace orv::movie::video
