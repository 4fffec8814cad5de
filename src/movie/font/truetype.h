#pragma once
// Reads TrueType fonts (the sfnt tables head, maxp, hhea, hmtx, OS/2, name, cmap, loca
// and glyf): family and style, line metrics, the glyph of a character, its advance and
// its outline. Every offset is checked against the data: a broken font gives missing
// glyphs or no font at all, never a crash.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "movie/swf/types.h"

namespace orv::movie::font {

// One point of a glyph outline in font units, y up. Quadratic curves run through
// on-curve points; between two off-curve points lies an implied on-curve midpoint.
struct OutlinePoint {
  int32_t x = 0, y = 0;
  bool onCurve = true;
};
using Contour = std::vector<OutlinePoint>;

class TrueTypeFont {
 public:
  // nullopt unless `data` is a TrueType font with glyph outlines. Of a collection
  // (ttcf) the font numbered `index` is read.
  static std::optional<TrueTypeFont> parse(std::vector<uint8_t> data, uint32_t index = 0);
  // How many fonts the file holds (1 for a plain font, 0 for no font).
  static uint32_t fontsIn(const std::vector<uint8_t>& data);

  const std::string& family() const { return family_; }
  bool bold() const { return bold_; }
  bool italic() const { return italic_; }
  int weight() const { return weight_; }  // 100..900, 400 regular, 700 bold
  int unitsPerEm() const { return unitsPerEm_; }
  // Line metrics in font units, ascent and descent both positive (as Windows reports them).
  int ascent() const { return ascent_; }
  int descent() const { return descent_; }
  int lineGap() const { return lineGap_; }
  uint32_t glyphCount() const { return glyphCount_; }

  // The glyph of a character (0, the missing-glyph box, when the font has none).
  uint32_t glyphIndex(char32_t c) const;
  int advance(uint32_t glyph) const;  // font units
  // The outline of a glyph; composite glyphs come with their parts placed.
  std::vector<Contour> outline(uint32_t glyph) const;

 private:
  TrueTypeFont() = default;
  bool read(uint32_t base);
  void outlineInto(uint32_t glyph, int depth, std::vector<Contour>& out, size_t& points) const;
  uint32_t glyphOffset(uint32_t glyph, uint32_t& length) const;

  std::vector<uint8_t> data_;
  std::string family_;
  bool bold_ = false, italic_ = false;
  int weight_ = 400;
  int unitsPerEm_ = 1000, ascent_ = 0, descent_ = 0, lineGap_ = 0;
  uint32_t glyphCount_ = 0, metricsCount_ = 0;
  uint32_t glyf_ = 0, glyfLength_ = 0, loca_ = 0, locaLength_ = 0, hmtx_ = 0, hmtxLength_ = 0;
  bool longLoca_ = false;
  uint32_t cmap_ = 0, cmapEnd_ = 0;  // the chosen subtable
  uint16_t cmapFormat_ = 0;
  bool symbolCmap_ = false;  // (3,0): characters sit at U+F000 + code
};

// A glyph outline as a movie shape: contours filled with fill style 1, points scaled
// by `scale` (font units to shape units) with y turned downwards.
swf::Shape glyphShape(const std::vector<Contour>& contours, double scale);

}  // namespace orv::movie::font
