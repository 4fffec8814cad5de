// The speech codecs' seam: Nellymoser through libavcodec, Speex through libspeex.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}
#include <speex/speex.h>

#include <algorithm>
#include <cmath>

#include "codec_av/av_handles.h"
#include "movie/codec/speech_decoder.h"

namespace orv::movie::codec {
namespace {

int16_t toSample(float f) {
  const float s = std::clamp(f, -1.0f, 1.0f) * 32767.0f;
  return int16_t(std::lrint(s));
}

class NellymoserDecoder final : public SpeechDecoder {
 public:
  NellymoserDecoder(av::CodecContext context, int rate) : context_(std::move(context)), rate_(rate) {}

  bool decode(std::span<const uint8_t> data, std::vector<int16_t>& pcm) override {
    // The decoder takes whole 64-byte blocks; a cut block at the end is dropped.
    const size_t whole = data.size() / kBlock * kBlock;
    if (whole == 0) return data.empty();
    if (!av::sendPacket(context_.get(), data.first(whole))) return false;
    AVFrame* f = frame_.get();
    while (avcodec_receive_frame(context_.get(), f) == 0) {
      if (f->format == AV_SAMPLE_FMT_FLT) {
        const float* s = reinterpret_cast<const float*>(f->data[0]);
        for (int i = 0; i < f->nb_samples; ++i) pcm.push_back(toSample(s[i]));
      }
      av_frame_unref(f);
    }
    return true;
  }
  int sampleRate() const override { return rate_; }

 private:
  static constexpr size_t kBlock = 64;
  av::CodecContext context_;
  av::Frame frame_{av_frame_alloc()};
  int rate_;
};

// Movies store wideband Speex (16 kHz), frames of 320 samples packed one after another.
class SpeexDecoder final : public SpeechDecoder {
 public:
  SpeexDecoder() {
    state_ = speex_decoder_init(speex_lib_get_mode(SPEEX_MODEID_WB));
    speex_bits_init(&bits_);
    if (state_) {
      int enhance = 1;
      speex_decoder_ctl(state_, SPEEX_SET_ENH, &enhance);
      speex_decoder_ctl(state_, SPEEX_GET_FRAME_SIZE, &frameSize_);
    }
  }
  ~SpeexDecoder() override {
    speex_bits_destroy(&bits_);
    if (state_) speex_decoder_destroy(state_);
  }
  bool ok() const { return state_ && frameSize_ > 0 && frameSize_ <= kMaxFrame; }

  bool decode(std::span<const uint8_t> data, std::vector<int16_t>& pcm) override {
    spx_int16_t out[kMaxFrame];
    // Each frame is padded to a whole byte, the next starting at the byte after; a frame
    // is far shorter than the window the decoder is handed.
    constexpr size_t kWindow = 2048;
    size_t offset = 0;
    while (offset < data.size()) {
      const size_t size = std::min(kWindow, data.size() - offset);
      speex_bits_read_from(&bits_, reinterpret_cast<const char*>(data.data() + offset), int(size));
      if (speex_bits_remaining(&bits_) < 5) return true;
      const int r = speex_decode_int(state_, &bits_, out);
      if (r == -2) return false;
      if (r == 0) pcm.insert(pcm.end(), out, out + frameSize_);
      const size_t used = (size * 8 - size_t(std::max(speex_bits_remaining(&bits_), 0)) + 7) / 8;
      if (used == 0) return true;
      offset += used;
    }
    return true;
  }
  int sampleRate() const override { return 16000; }

 private:
  static constexpr int kMaxFrame = 640;
  void* state_ = nullptr;
  SpeexBits bits_{};
  int frameSize_ = 0;
};

}  // namespace

std::unique_ptr<SpeechDecoder> makeSpeechDecoder(SpeechCodec codec, int sampleRate) {
  if (codec == SpeechCodec::Speex) {
    auto speex = std::make_unique<SpeexDecoder>();
    if (!speex->ok()) return nullptr;
    return speex;
  }
  if (sampleRate < 1000 || sampleRate > 96000) return nullptr;
  av::CodecContext context = av::openDecoder(AV_CODEC_ID_NELLYMOSER, [&](AVCodecContext* c) {
    c->sample_rate = sampleRate;
    av_channel_layout_default(&c->ch_layout, 1);
  });
  if (!context) return nullptr;
  return std::make_unique<NellymoserDecoder>(std::move(context), sampleRate);
}

}  // namespace orv::movie::codec
