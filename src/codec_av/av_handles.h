#pragma once
// Owning handles for libavcodec's objects, and the calls both decoders share.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace orv::movie::codec::av {

struct ContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using CodecContext = std::unique_ptr<AVCodecContext, ContextFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;

// An opened decoder for `id`, after `setUp` filled in what the codec needs; null when the
// library has no such decoder or it does not open.
inline CodecContext openDecoder(AVCodecID id, const std::function<void(AVCodecContext*)>& setUp) {
  const AVCodec* codec = avcodec_find_decoder(id);
  if (!codec) return nullptr;
  CodecContext context(avcodec_alloc_context3(codec));
  if (!context) return nullptr;
  setUp(context.get());
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  return context;
}

// Hands one packet to the decoder, copied with the zeroed padding its readers may run into.
inline bool sendPacket(AVCodecContext* context, std::span<const uint8_t> data) {
  if (data.empty() || data.size() > (size_t(1) << 26)) return false;
  std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(),
                                                        [](AVPacket* p) { av_packet_free(&p); });
  if (!packet || av_new_packet(packet.get(), int(data.size())) < 0) return false;
  std::memcpy(packet->data, data.data(), data.size());
  return avcodec_send_packet(context, packet.get()) == 0;
}

}  // namespace orv::movie::codec::av
