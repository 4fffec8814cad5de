// Converts an XPM image of at most 255 colours (plus "None" for transparent) into a
// Windows .ico holding that one image as an 8-bit, 256-colour bitmap with its mask.
// Built and run on the build machine: xpm_to_ico input.xpm output.ico
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint32_t> palette;  // 0xRRGGBB; index 0 is kept for transparent pixels
  std::vector<std::uint8_t> pixels;    // palette indices, row-major, top row first
  std::vector<bool> transparent;
};

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "xpm_to_ico: %s\n", message.c_str());
  std::exit(1);
}

// The quoted strings of the file, in order.
std::vector<std::string> quotedStrings(const std::string& text) {
  std::vector<std::string> strings;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      const size_t end = text.find("*/", i + 2);
      if (end == std::string::npos) break;
      i = end + 1;
      continue;
    }
    if (text[i] != '"') continue;
    const size_t end = text.find('"', i + 1);
    if (end == std::string::npos) fail("unterminated string");
    strings.push_back(text.substr(i + 1, end - i - 1));
    i = end;
  }
  return strings;
}

std::uint32_t parseColour(const std::string& colourText, bool& isNone) {
  isNone = colourText == "None" || colourText == "none";
  if (isNone) return 0;
  if (colourText.size() == 7 && colourText[0] == '#')
    return std::stoul(colourText.substr(1), nullptr, 16);
  if (colourText == "black") return 0x000000;
  if (colourText == "white") return 0xFFFFFF;
  fail("unsupported colour " + colourText);
}

Image readXpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fail("cannot read " + path);
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::vector<std::string> strings = quotedStrings(buffer.str());
  if (strings.empty()) fail("no XPM values");
  Image image;
  int colours = 0, charsPerPixel = 0;
  std::istringstream values(strings[0]);
  values >> image.width >> image.height >> colours >> charsPerPixel;
  if (image.width <= 0 || image.width > 256 || image.height <= 0 || image.height > 256 ||
      colours <= 0 || colours > 256 || charsPerPixel <= 0 || charsPerPixel > 4)
    fail("bad XPM header");
  if (strings.size() < static_cast<size_t>(1 + colours + image.height)) fail("XPM is short");

  std::map<std::string, int> indexOf;  // pixel code -> palette index, -1 transparent
  image.palette.push_back(0x000000);
  for (int c = 0; c < colours; ++c) {
    const std::string& line = strings[1 + c];
    if (line.size() < static_cast<size_t>(charsPerPixel)) fail("bad colour line");
    const std::string code = line.substr(0, charsPerPixel);
    std::istringstream rest(line.substr(charsPerPixel));
    std::string key, value, colourText;
    while (rest >> key >> value)
      if (key == "c") colourText = value;
    if (colourText.empty()) fail("colour line without a c value");
    bool none = false;
    const std::uint32_t rgb = parseColour(colourText, none);
    if (none) {
      indexOf[code] = -1;
      continue;
    }
    if (image.palette.size() >= 256) fail("more than 255 colours");
    indexOf[code] = static_cast<int>(image.palette.size());
    image.palette.push_back(rgb);
  }
  for (int y = 0; y < image.height; ++y) {
    const std::string& row = strings[1 + colours + y];
    if (row.size() != static_cast<size_t>(image.width * charsPerPixel)) fail("bad row length");
    for (int x = 0; x < image.width; ++x) {
      auto it = indexOf.find(row.substr(static_cast<size_t>(x * charsPerPixel), charsPerPixel));
      if (it == indexOf.end()) fail("unknown pixel code");
      image.transparent.push_back(it->second < 0);
      image.pixels.push_back(static_cast<std::uint8_t>(it->second < 0 ? 0 : it->second));
    }
  }
  return image;
}

void put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

std::vector<std::uint8_t> icoOf(const Image& image) {
  const int w = image.width, h = image.height;
  const int colourStride = (w + 3) / 4 * 4;
  const int maskStride = ((w + 31) / 32) * 4;
  const std::uint32_t imageBytes = 40 + 256 * 4 + colourStride * h + maskStride * h;

  std::vector<std::uint8_t> out;
  put16(out, 0);  // ICONDIR: reserved, type 1 (icon), one image
  put16(out, 1);
  put16(out, 1);
  out.push_back(static_cast<std::uint8_t>(w == 256 ? 0 : w));  // ICONDIRENTRY
  out.push_back(static_cast<std::uint8_t>(h == 256 ? 0 : h));
  out.push_back(0);  // 0 colours in the entry means 256
  out.push_back(0);
  put16(out, 1);  // planes
  put16(out, 8);  // bits per pixel
  put32(out, imageBytes);
  put32(out, 6 + 16);

  put32(out, 40);  // BITMAPINFOHEADER; the height counts colour and mask rows
  put32(out, static_cast<std::uint32_t>(w));
  put32(out, static_cast<std::uint32_t>(h * 2));
  put16(out, 1);
  put16(out, 8);
  put32(out, 0);  // BI_RGB
  put32(out, colourStride * h + maskStride * h);
  put32(out, 0);
  put32(out, 0);
  put32(out, 256);
  put32(out, 0);
  for (int i = 0; i < 256; ++i) {
    const std::uint32_t rgb = i < static_cast<int>(image.palette.size()) ? image.palette[i] : 0;
    out.push_back(rgb & 0xFF);
    out.push_back((rgb >> 8) & 0xFF);
    out.push_back((rgb >> 16) & 0xFF);
    out.push_back(0);
  }
  // Rows bottom-up: colour indices, then the AND mask (1 = transparent).
  for (int y = h - 1; y >= 0; --y)
    for (int x = 0; x < colourStride; ++x)
      out.push_back(x < w ? image.pixels[static_cast<size_t>(y * w + x)] : 0);
  for (int y = h - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(static_cast<size_t>(maskStride), 0);
    for (int x = 0; x < w; ++x)
      if (image.transparent[static_cast<size_t>(y * w + x)])
        row[static_cast<size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) fail("usage: xpm_to_ico input.xpm output.ico");
  const std::vector<std::uint8_t> ico = icoOf(readXpm(argv[1]));
  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(ico.data()), static_cast<std::streamsize>(ico.size()));
  if (!out) fail(std::string("cannot write ") + argv[2]);
  return 0;
}
