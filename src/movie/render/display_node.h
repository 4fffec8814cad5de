#pragma once
// The seam between the timeline and the renderer: one frame's display list as
// a tree of placed characters, as the player holds it.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "movie/swf/types.h"

namespace orv::movie {
class Drawing;
class EditTextState;
}  // namespace orv::movie

namespace orv::movie::render {

struct Bitmap;  // paint.h

// An edit text field's box as scripts set it: border and background apart, in
// their own colours (0xRRGGBB).
struct FieldBox {
  bool border = false, background = false;
  uint32_t borderRgb = 0x000000, backgroundRgb = 0xFFFFFF;
};

struct DisplayNode {
  const swf::Character* character = nullptr;  // from the movie's dictionary
  const swf::Movie* movie =
      nullptr;  // whose dictionary (a loaded or imported one); null: the stage's
  swf::Matrix matrix;
  swf::ColorTransform cxform;
  uint16_t depth = 0;
  uint16_t clipDepth = 0;      // > 0: a mask for the siblings at depths up to this one
  uint16_t ratio = 0;          // morph shapes: 0 start .. 65535 end
  uint8_t blendMode = 0;       // as PlaceObject3 stores it; 0 and 1 are normal
  bool cacheAsBitmap = false;  // drawn through a bitmap cache: lands on whole pixels
  // Shows only this rectangle of the node (x, y, width, height in pixels of its own
  // space), moved to the node's origin.
  std::optional<std::array<double, 4>> scrollRect;
  const std::vector<uint8_t>* filters = nullptr;  // FILTERLIST bytes of the placing tag
  // The bitmaps of displacement-map filters a script set, which `filters` names by index.
  std::shared_ptr<const std::vector<std::shared_ptr<const Bitmap>>> filterMaps;
  bool visible = true;
  int buttonState = 0;                   // 0 up, 1 over, 2 down; buttons without children
  const std::string* text = nullptr;     // edit text's current text (nullptr: its initial text)
  std::optional<FieldBox> fieldBox;      // edit text: absent draws the definition's border flag
  const EditTextState* field = nullptr;  // edit text scripts reach: its formatted text
  std::vector<DisplayNode> children;     // sprites and buttons: their display list, by depth
  const Drawing* drawing = nullptr;      // what scripts drew in a clip, below its children
  // A bitmap scripts attached (attachBitmap): its pixels as they are when drawn, one
  // pixel per 20 twips from the node's origin.
  std::shared_ptr<const Bitmap> bitmap;
  bool smoothBitmap = false;
  // A mask set by script (setMask), placed in this node's parent space: only where its
  // shapes cover is this node drawn.
  std::shared_ptr<const DisplayNode> mask;
};

}  // namespace orv::movie::render
