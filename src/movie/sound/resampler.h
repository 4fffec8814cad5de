#pragma once
// Rate conversion by 4-point cubic (Catmull-Rom) interpolation: smooth enough that
// 5.5-22 kHz movie sounds played at 44.1 kHz have no audible steps, and exact (a copy)
// when the rates are equal.
#include <cstdint>

#include "movie/sound/pcm_audio.h"

namespace orv::movie::sound {

// Interpolates between x0 (t = 0) and x1 (t = 1) with neighbours xm1 and x2.
inline float cubicInterpolate(float xm1, float x0, float x1, float x2, float t) {
  const float c1 = 0.5f * (x1 - xm1);
  const float c2 = xm1 - 2.5f * x0 + 2.0f * x1 - 0.5f * x2;
  const float c3 = 0.5f * (x2 - xm1) + 1.5f * (x0 - x1);
  return ((c3 * t + c2) * t + c1) * t + x0;
}

// Source frames advanced per output frame, as 32.32 fixed point.
inline uint64_t resampleStep(double sourceRate, double outputRate) {
  double ratio = sourceRate / outputRate;
  if (!(ratio > 1.0 / 256)) ratio = 1.0 / 256;
  if (ratio > 256) ratio = 256;
  return uint64_t(ratio * 4294967296.0 + 0.5);
}

// The whole sound converted to `outputRate` (channels kept).
PcmAudio resample(const PcmAudio& in, int outputRate);

}  // namespace orv::movie::sound
