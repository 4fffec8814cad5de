#pragma once
// The video decoder seam. The engine decodes the video codecs of movies and FLV files
// through this interface; the codec library the program links provides makeVideoDecoder()
// (FFmpeg's libavcodec in both builds, src/codec_av). Colour conversion is the engine's.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace orv::movie::codec {

// The codec ids of DefineVideoStream and of FLV video tags.
enum class VideoCodec : uint8_t {
  SorensonH263 = 2,
  ScreenVideo = 3,
  Vp6 = 4,
  Vp6Alpha = 5,
  ScreenVideo2 = 6,
};

// One decoded picture. YUV codecs give 4:2:0 planes (and an alpha plane for VP6 with
// alpha), without row padding; Screen Video gives 0x00RRGGBB pixels.
struct VideoPicture {
  int width = 0, height = 0;
  bool yuv = true;
  std::vector<uint8_t> y, u, v, alpha;  // alpha empty when the stream has none
  std::vector<uint32_t> rgb;            // yuv == false
  int chromaWidth() const { return (width + 1) / 2; }
  int chromaHeight() const { return (height + 1) / 2; }
};

// Pictures larger than this are refused (the player's own limit is lower).
constexpr int kMaxVideoSide = 4096;

class VideoDecoder {
 public:
  virtual ~VideoDecoder() = default;
  // Decodes one frame's data. True with `out` holding the new picture; false when the data
  // does not decode (the stream goes on: the next key frame starts it afresh).
  virtual bool decode(std::span<const uint8_t> frame, VideoPicture& out) = 0;
};

// The library's decoder for `codec`; nullptr when it has none.
std::unique_ptr<VideoDecoder> makeVideoDecoder(VideoCodec codec);

}  // namespace orv::movie::codec
