#include "movie/sound/mp3_stream.h"

#include <algorithm>

#include "movie/codec/mp3_decoder.h"

namespace orv::movie::sound {

namespace {

// Layer III bitrates in kbit/s by bitrate index (0 = free format, 15 = invalid).
constexpr int kBitratesMpeg1[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                    112, 128, 160, 192, 224, 256, 320, 0};
constexpr int kBitratesMpeg2[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                    64, 80, 96, 112, 128, 144, 160, 0};
constexpr int kRatesMpeg1[3] = {44100, 48000, 32000};

bool sameStream(const Mp3FrameHeader& a, const Mp3FrameHeader& b) {
  return a.version == b.version && a.sampleRate == b.sampleRate && a.channels == b.channels;
}

// Skips ID3v2 tags at `pos`; returns the offset after them.
size_t skipId3v2(std::span<const uint8_t> d, size_t pos) {
  while (pos + 10 <= d.size() && d[pos] == 'I' && d[pos + 1] == 'D' && d[pos + 2] == '3') {
    const uint8_t* s = &d[pos + 6];
    if ((s[0] | s[1] | s[2] | s[3]) & 0x80) break;  // not a syncsafe size: not a tag
    size_t size = (size_t(s[0]) << 21) | (size_t(s[1]) << 14) | (size_t(s[2]) << 7) | s[3];
    size_t footer = (d[pos + 5] & 0x10) ? 10 : 0;
    pos += 10 + size + footer;
  }
  return pos;
}

std::optional<Mp3FrameHeader> headerAt(std::span<const uint8_t> d, size_t pos) {
  if (pos > d.size() || d.size() - pos < 4) return std::nullopt;
  return parseMp3FrameHeader(&d[pos]);
}

// A header at `pos` counts as a frame start when the frame after it starts with a header
// of the same stream, or when it ends exactly at the end of the data.
bool confirmedFrameAt(std::span<const uint8_t> d, size_t pos, Mp3FrameHeader& out) {
  auto h = headerAt(d, pos);
  if (!h) return false;
  size_t next = pos + h->frameBytes;
  if (next == d.size()) {
    out = *h;
    return true;
  }
  auto n = headerAt(d, next);
  if (!n || !sameStream(*h, *n)) return false;
  out = *h;
  return true;
}

}  // namespace

std::optional<Mp3FrameHeader> parseMp3FrameHeader(const uint8_t* p) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return std::nullopt;
  int versionBits = (p[1] >> 3) & 3;  // 0 = 2.5, 1 = reserved, 2 = 2, 3 = 1
  int layerBits = (p[1] >> 1) & 3;    // 1 = Layer III
  int bitrateIndex = p[2] >> 4;
  int rateIndex = (p[2] >> 2) & 3;
  if (versionBits == 1 || layerBits != 1 || rateIndex == 3) return std::nullopt;
  Mp3FrameHeader h;
  h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
  h.bitrateKbps = (h.version == 1 ? kBitratesMpeg1 : kBitratesMpeg2)[bitrateIndex];
  if (h.bitrateKbps == 0) return std::nullopt;
  h.sampleRate = kRatesMpeg1[rateIndex] / (h.version == 1 ? 1 : h.version == 2 ? 2 : 4);
  h.channels = (p[3] >> 6) == 3 ? 1 : 2;
  h.samplesPerFrame = h.version == 1 ? 1152 : 576;
  int padding = (p[2] >> 1) & 1;
  h.frameBytes =
      size_t(h.samplesPerFrame / 8) * size_t(h.bitrateKbps) * 1000 / size_t(h.sampleRate) + padding;
  return h;
}

std::optional<Mp3StreamInfo> scanMp3(std::span<const uint8_t> d) {
  Mp3StreamInfo info;
  size_t pos = skipId3v2(d, 0);
  // Find the first confirmed frame.
  for (;; ++pos) {
    if (pos + 4 > d.size()) return std::nullopt;
    if (confirmedFrameAt(d, pos, info.first)) break;
  }
  info.firstFrame = pos;
  // Walk the chain; between frames, skip junk up to the next confirmed frame.
  while (pos < d.size()) {
    auto h = headerAt(d, pos);
    if (h && sameStream(*h, info.first)) {
      if (h->frameBytes > d.size() - pos) {
        info.truncated = true;
        break;
      }
      pos += h->frameBytes;
      info.end = pos;
      ++info.frameCount;
      continue;
    }
    Mp3FrameHeader next;
    size_t probe = pos + 1;
    while (probe + 4 <= d.size() &&
           !(confirmedFrameAt(d, probe, next) && sameStream(next, info.first)))
      ++probe;
    if (probe + 4 > d.size()) break;  // trailing tag or junk
    pos = probe;
  }
  return info;
}

DecodeResult decodeMp3(std::span<const uint8_t> data, bool allowTruncated) {
  auto info = scanMp3(data);
  if (!info || info->frameCount == 0) return DecodeResult::failure("no MP3 audio frames");
  if (info->truncated && !allowTruncated) return DecodeResult::failure("MP3 data is truncated");
  size_t expected =
      info->frameCount * size_t(info->first.samplesPerFrame) * size_t(info->first.channels);
  if (expected > kMaxDecodedSamples) return DecodeResult::failure("MP3 sound is too long");

  auto decoder = codec::makeMp3Decoder();
  if (!decoder) return DecodeResult::failure("no MP3 decoder available");
  DecodeResult result;
  result.audio.samples.reserve(expected);
  // Feed in pieces, as a stream would arrive; stop at the end of the last whole frame.
  constexpr size_t kPiece = 16384;
  for (size_t pos = info->firstFrame; pos < info->end; pos += kPiece) {
    size_t n = std::min(kPiece, info->end - pos);
    if (!decoder->feed(data.subspan(pos, n), result.audio.samples))
      return DecodeResult::failure("MP3 data cannot be decoded");
    if (result.audio.samples.size() > kMaxDecodedSamples)
      return DecodeResult::failure("MP3 sound is too long");
  }
  if (!decoder->finish(result.audio.samples))
    return DecodeResult::failure("MP3 data cannot be decoded");
  codec::Mp3Format format = decoder->format();
  if (format.sampleRate <= 0 || format.channels < 1 || format.channels > 2 ||
      result.audio.samples.empty())
    return DecodeResult::failure("MP3 data decodes to no sound");
  result.audio.sampleRate = format.sampleRate;
  result.audio.channels = format.channels;
  result.audio.samples.resize(result.audio.frames() * size_t(format.channels));
  return result;
}

}  // namespace orv::movie::sound
