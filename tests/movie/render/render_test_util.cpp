#include "render_test_util.h"

#include <png.h>

#include <cstring>
#include <sstream>

#include "movie/render/raster/pixel.h"

namespace orv::movie::render::test {

swf::Shape makeShape(const std::string& path, std::vector<swf::FillStyle> fills,
                     std::vector<swf::LineStyle> lines) {
  swf::Shape shape;
  shape.styleTables.push_back({std::move(fills), std::move(lines)});
  std::istringstream in(path);
  std::string op;
  while (in >> op) {
    swf::ShapeRecord r;
    if (op == "F0" || op == "F1" || op == "L") {
      uint32_t v = 0;
      in >> v;
      r.kind = swf::ShapeRecord::Kind::StyleChange;
      if (op == "F0") r.hasFill0 = true, r.fill0 = v;
      if (op == "F1") r.hasFill1 = true, r.fill1 = v;
      if (op == "L") r.hasLine = true, r.line = v;
    } else if (op == "M") {
      r.kind = swf::ShapeRecord::Kind::StyleChange;
      r.hasMove = true;
      in >> r.x >> r.y;
    } else if (op == "l") {
      r.kind = swf::ShapeRecord::Kind::StraightEdge;
      in >> r.x >> r.y;
    } else if (op == "q") {
      r.kind = swf::ShapeRecord::Kind::CurvedEdge;
      in >> r.cx >> r.cy >> r.x >> r.y;
    } else {
      continue;
    }
    shape.records.push_back(r);
  }
  return shape;
}

swf::FillStyle solidFill(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  swf::FillStyle f;
  f.type = swf::FillType::Solid;
  f.color = {r, g, b, a};
  return f;
}

swf::LineStyle solidLine(uint16_t widthTwips, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  swf::LineStyle l;
  l.width = widthTwips;
  l.color = {r, g, b, a};
  return l;
}

bool writePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels) {
  std::vector<uint32_t> straight(pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) straight[i] = unpremultiply(pixels[i]);
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = uint32_t(width);
  img.height = uint32_t(height);
  img.format = PNG_FORMAT_BGRA;
  return png_image_write_to_file(&img, path.c_str(), 0, straight.data(), width * 4, nullptr) != 0;
}

}  // namespace orv::movie::render::test
