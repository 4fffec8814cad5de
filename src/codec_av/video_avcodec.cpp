// The video decoder seam on FFmpeg's libavcodec: one decoder context per stream, fed one
// frame's data at a time, its pictures copied out as planes.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include <cstring>

#include "codec_av/av_handles.h"
#include "movie/codec/video_decoder.h"

namespace orv::movie::codec {
namespace {

AVCodecID avCodecFor(VideoCodec codec) {
  switch (codec) {
    case VideoCodec::SorensonH263: return AV_CODEC_ID_FLV1;
    case VideoCodec::ScreenVideo: return AV_CODEC_ID_FLASHSV;
    case VideoCodec::Vp6: return AV_CODEC_ID_VP6F;
    case VideoCodec::Vp6Alpha: return AV_CODEC_ID_VP6A;
    case VideoCodec::ScreenVideo2: return AV_CODEC_ID_FLASHSV2;
  }
  return AV_CODEC_ID_NONE;
}

void copyPlane(const uint8_t* src, int stride, int width, int height, std::vector<uint8_t>& out) {
  out.resize(size_t(width) * size_t(height));
  for (int row = 0; row < height; ++row)
    std::memcpy(out.data() + size_t(row) * width, src + ptrdiff_t(row) * stride, size_t(width));
}

class AvVideoDecoder final : public VideoDecoder {
 public:
  explicit AvVideoDecoder(av::CodecContext context) : context_(std::move(context)) {}

  bool decode(std::span<const uint8_t> frame, VideoPicture& out) override {
    if (!av::sendPacket(context_.get(), frame)) return false;
    AVFrame* picture = frame_.get();
    bool got = false;
    while (avcodec_receive_frame(context_.get(), picture) == 0) {
      got = copyOut(*picture, out) || got;
      av_frame_unref(picture);
    }
    return got;
  }

 private:
  static bool copyOut(const AVFrame& f, VideoPicture& out) {
    const int w = f.width, h = f.height;
    if (w <= 0 || h <= 0 || w > kMaxVideoSide || h > kMaxVideoSide) return false;
    out.width = w;
    out.height = h;
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    switch (f.format) {
      case AV_PIX_FMT_YUV420P:
      case AV_PIX_FMT_YUVA420P:
        out.yuv = true;
        copyPlane(f.data[0], f.linesize[0], w, h, out.y);
        copyPlane(f.data[1], f.linesize[1], cw, ch, out.u);
        copyPlane(f.data[2], f.linesize[2], cw, ch, out.v);
        if (f.format == AV_PIX_FMT_YUVA420P)
          copyPlane(f.data[3], f.linesize[3], w, h, out.alpha);
        else
          out.alpha.clear();
        out.rgb.clear();
        return true;
      case AV_PIX_FMT_BGR24:
        out.yuv = false;
        out.rgb.resize(size_t(w) * size_t(h));
        for (int row = 0; row < h; ++row) {
          const uint8_t* p = f.data[0] + ptrdiff_t(row) * f.linesize[0];
          uint32_t* q = out.rgb.data() + size_t(row) * w;
          for (int x = 0; x < w; ++x, p += 3) q[x] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
        out.y.clear(), out.u.clear(), out.v.clear(), out.alpha.clear();
        return true;
      default:
        return false;
    }
  }

  av::CodecContext context_;
  av::Frame frame_{av_frame_alloc()};
};

}  // namespace

std::unique_ptr<VideoDecoder> makeVideoDecoder(VideoCodec codec) {
  av::CodecContext context = av::openDecoder(avCodecFor(codec), [&](AVCodecContext* c) {
    c->thread_count = 1;  // one stream is one picture a frame: no threads of its own
    // The floating-point inverse DCT gives the player's H.263 pictures level for level.
    if (codec == VideoCodec::SorensonH263) c->idct_algo = FF_IDCT_FAAN;
  });
  if (!context) return nullptr;
  return std::make_unique<AvVideoDecoder>(std::move(context));
}

}  // namespace orv::movie::codec
