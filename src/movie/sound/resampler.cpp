#include "movie/sound/resampler.h"

#include <algorithm>
#include <cmath>

namespace orv::movie::sound {

PcmAudio resample(const PcmAudio& in, int outputRate) {
  PcmAudio out{outputRate, in.channels, {}};
  const size_t frames = in.frames();
  if (frames == 0 || outputRate <= 0 || in.sampleRate <= 0) return out;
  const uint64_t step = resampleStep(in.sampleRate, outputRate);
  const uint64_t end = uint64_t(frames) << 32;
  const size_t outFrames = size_t((end + step - 1) / step);
  if (outFrames * size_t(in.channels) > kMaxDecodedSamples) return out;
  out.samples.resize(outFrames * size_t(in.channels));
  const int channels = in.channels;
  auto at = [&](int64_t i, int c) {
    i = std::clamp<int64_t>(i, 0, int64_t(frames) - 1);
    return float(in.samples[size_t(i) * size_t(channels) + size_t(c)]);
  };
  uint64_t pos = 0;
  for (size_t f = 0; f < outFrames; ++f, pos += step) {
    const int64_t i = int64_t(pos >> 32);
    const float t = float(pos & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
    for (int c = 0; c < channels; ++c) {
      float y = cubicInterpolate(at(i - 1, c), at(i, c), at(i + 1, c), at(i + 2, c), t);
      out.samples[f * size_t(channels) + size_t(c)] =
          int16_t(std::clamp(std::lrint(y), -32768L, 32767L));
    }
  }
  return out;
}

}  // namespace orv::movie::sound
