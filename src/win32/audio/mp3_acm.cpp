// The MP3 decoder seam on Windows: the Audio Compression Manager's MPEG Layer-3 codec
// (present on every Windows, and in Wine). ACM needs the stream's format up front, so
// the first frame header is read here before the stream is opened.
#include <windows.h>

#include <mmsystem.h>

#include <mmreg.h>
#include <msacm.h>

#include <algorithm>

#include "movie/codec/mp3_decoder.h"
#include "movie/sound/mp3_stream.h"

namespace orv::movie::codec {

namespace {

// Input is held back at most this long while looking for the first frame.
constexpr size_t kMaxSearchBytes = size_t(1) << 20;

class AcmMp3Decoder final : public Mp3Decoder {
 public:
  ~AcmMp3Decoder() override {
    if (stream_) acmStreamClose(stream_, 0);
  }

  bool feed(std::span<const uint8_t> bytes, std::vector<int16_t>& pcm) override {
    if (failed_) return false;
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    if (!stream_) {
      if (!open()) return !failed_;
    }
    return convert(pcm);
  }

  bool finish(std::vector<int16_t>& pcm) override {
    if (failed_) return false;
    if (!stream_) return true;
    return convert(pcm) && convertOnce(pcm, ACM_STREAMCONVERTF_END);
  }

  Mp3Format format() const override { return format_; }

 private:
  bool fail() {
    failed_ = true;
    return false;
  }

  // Finds the first frame and opens the ACM stream for its format. False while more
  // data is needed (or on failure, with failed_ set).
  bool open() {
    auto info = sound::scanMp3(pending_);
    if (!info || info->frameCount == 0) {
      if (pending_.size() > kMaxSearchBytes) fail();
      return false;
    }
    pending_.erase(pending_.begin(), pending_.begin() + long(info->firstFrame));
    const sound::Mp3FrameHeader& h = info->first;

    MPEGLAYER3WAVEFORMAT mp3{};
    mp3.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3.wfx.nChannels = WORD(h.channels);
    mp3.wfx.nSamplesPerSec = DWORD(h.sampleRate);
    mp3.wfx.nAvgBytesPerSec = DWORD(h.bitrateKbps * 1000 / 8);
    mp3.wfx.nBlockAlign = 1;
    mp3.wfx.wBitsPerSample = 0;
    mp3.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    mp3.wID = MPEGLAYER3_ID_MPEG;
    mp3.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    mp3.nBlockSize = WORD(size_t(h.samplesPerFrame / 8) * size_t(h.bitrateKbps) * 1000 /
                          size_t(h.sampleRate));  // unpadded frame
    mp3.nFramesPerBlock = 1;
    mp3.nCodecDelay = 1393;

    WAVEFORMATEX out{};
    out.wFormatTag = WAVE_FORMAT_PCM;
    out.nChannels = WORD(h.channels);
    out.nSamplesPerSec = DWORD(h.sampleRate);
    out.wBitsPerSample = 16;
    out.nBlockAlign = WORD(2 * h.channels);
    out.nAvgBytesPerSec = out.nSamplesPerSec * out.nBlockAlign;
    if (acmStreamOpen(&stream_, nullptr, &mp3.wfx, &out, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != 0) {
      stream_ = nullptr;
      return fail();
    }
    format_ = {h.sampleRate, h.channels};
    return true;
  }

  // Converts what is pending; the codec may take only part of the input per call.
  bool convert(std::vector<int16_t>& pcm) {
    for (int round = 0; round < 100000 && !pending_.empty(); ++round) {
      size_t before = pending_.size(), made = pcm.size();
      if (!convertOnce(pcm, ACM_STREAMCONVERTF_BLOCKALIGN)) return false;
      if (pending_.size() == before && pcm.size() == made) break;  // the rest waits for more input
    }
    return true;
  }

  bool convertOnce(std::vector<int16_t>& pcm, DWORD flags) {
    DWORD inBytes = DWORD(std::min<size_t>(pending_.size(), 65536));
    DWORD outBytes = 0;
    if (acmStreamSize(stream_, std::max<DWORD>(inBytes, 4096), &outBytes, ACM_STREAMSIZEF_SOURCE) !=
            0 ||
        outBytes < 1152 * 4 * 4)
      outBytes = 1152 * 4 * 64;
    output_.resize(outBytes);
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = inBytes > 0 ? pending_.data() : dummy_;
    header.cbSrcLength = inBytes;
    header.pbDst = output_.data();
    header.cbDstLength = outBytes;
    if (acmStreamPrepareHeader(stream_, &header, 0) != 0) return fail();
    MMRESULT rc = acmStreamConvert(stream_, &header, flags);
    DWORD used = std::min(header.cbSrcLengthUsed, inBytes);
    DWORD made = std::min(header.cbDstLengthUsed, outBytes);
    acmStreamUnprepareHeader(stream_, &header, 0);
    if (rc != 0) return fail();
    const int16_t* samples = reinterpret_cast<const int16_t*>(output_.data());
    pcm.insert(pcm.end(), samples, samples + made / 2);
    pending_.erase(pending_.begin(), pending_.begin() + long(used));
    return true;
  }

  HACMSTREAM stream_ = nullptr;
  std::vector<uint8_t> pending_;
  std::vector<uint8_t> output_;
  uint8_t dummy_[4] = {};
  Mp3Format format_;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<Mp3Decoder> makeMp3Decoder() { return std::make_unique<AcmMp3Decoder>(); }

}  // namespace orv::movie::codec
