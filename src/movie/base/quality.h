#pragma once
// How finely frames are drawn: the player's setting, which the renderer follows.

namespace orv::movie::base {

// Low: no anti-aliasing (pixel centres). Medium: fills and strokes cover the exact area of
// each pixel. High: strokes sampled four times a pixel, bitmaps that ask for it smoothed.
// Best: as High, with every bitmap smoothed.
enum class Quality { Low, Medium, High, Best };

}  // namespace orv::movie::base
