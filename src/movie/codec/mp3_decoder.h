#pragma once
// The MP3 decoder seam. The engine decodes MP3 through this interface; the codec
// library the program links provides makeMp3Decoder(): libmpg123 natively
// (src/codec_native), the Audio Compression Manager on Windows (src/win32/audio).
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace orv::movie::codec {

struct Mp3Format {
  int sampleRate = 0;  // Hz; 0 until the first frame has been decoded
  int channels = 0;    // 1 or 2
};

class Mp3Decoder {
 public:
  virtual ~Mp3Decoder() = default;
  // Decodes the next piece of an MP3 stream (bare frames, or a file with ID3 tags) and
  // appends the interleaved int16 PCM of every frame it completes to `pcm`. A frame cut
  // between two calls is finished by the next one. Returns false when the data cannot be
  // decoded (or changes format mid-stream); the decoder is unusable afterwards.
  virtual bool feed(std::span<const uint8_t> bytes, std::vector<int16_t>& pcm) = 0;
  // Ends the stream: appends whatever the decoder still holds back.
  virtual bool finish(std::vector<int16_t>& pcm) {
    (void)pcm;
    return true;
  }
  virtual Mp3Format format() const = 0;
};

// The platform's decoder; nullptr when none is available.
std::unique_ptr<Mp3Decoder> makeMp3Decoder();

}  // namespace orv::movie::codec
