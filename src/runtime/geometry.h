#pragma once

namespace orv {

// Positions and sizes of windows and controls, in twips (1440 per inch), single precision.
struct TwipsRect {
  float left = 0, top = 0, width = 0, height = 0;
  bool operator==(const TwipsRect&) const = default;
};

enum class WindowState { Normal = 0, Minimized = 1, Maximized = 2 };

enum class BorderStyle { None = 0, FixedSingle = 1, Sizable = 2, FixedDialog = 3 };

}  // namespace orv
