#include "movie/codec/gif_decoder.h"

#include <array>

#include "movie/base/bytes.h"

namespace orv::movie::codec {

namespace {

// Concatenates a chain of data sub-blocks; a chain cut short clears `in.ok()`.
void subBlocks(base::ByteReader& in, std::vector<uint8_t>* out) {
  while (in.ok()) {
    const uint8_t len = in.u8();
    if (len == 0 || !in.ok()) return;
    if (!in.has(len)) {
      in.skip(len);
      return;
    }
    if (out) out->insert(out->end(), in.here(), in.here() + len);
    in.skip(len);
  }
}

// Decodes GIF's variable-width LZW into at most `limit` colour indices.
std::vector<uint8_t> lzwDecode(const std::vector<uint8_t>& in, int minCodeSize, size_t limit) {
  std::vector<uint8_t> out;
  if (minCodeSize < 2 || minCodeSize > 11) return out;
  out.reserve(limit);
  const int clear = 1 << minCodeSize, end = clear + 1;
  std::array<uint16_t, 4096> prefix{};
  std::array<uint8_t, 4096> suffix{}, first{};
  std::array<uint16_t, 4096> lengths{};
  for (int i = 0; i < clear; ++i) {
    suffix[i] = first[i] = uint8_t(i);
    lengths[i] = 1;
  }
  int codeSize = minCodeSize + 1, next = end + 1, prev = -1;
  uint32_t bits = 0;
  int bitCount = 0;
  size_t pos = 0;
  std::vector<uint8_t> stack;
  while (out.size() < limit) {
    while (bitCount < codeSize && pos < in.size()) {
      bits |= uint32_t(in[pos++]) << bitCount;
      bitCount += 8;
    }
    if (bitCount < codeSize) break;
    const int code = int(bits & ((1u << codeSize) - 1));
    bits >>= codeSize;
    bitCount -= codeSize;
    if (code == clear) {
      codeSize = minCodeSize + 1;
      next = end + 1;
      prev = -1;
      continue;
    }
    if (code == end) break;
    int emit;
    if (code < next && (code < clear || code > end)) {
      emit = code;
    } else if (code == next && prev >= 0) {
      emit = -1;  // KwKwK: previous string plus its own first byte
    } else {
      break;  // corrupt
    }
    stack.clear();
    int c = emit >= 0 ? emit : prev;
    while (c >= 0) {
      stack.push_back(suffix[c]);
      if (c < clear) break;
      c = prefix[c];
    }
    if (emit < 0) stack.insert(stack.begin(), first[prev]);
    for (auto it = stack.rbegin(); it != stack.rend() && out.size() < limit; ++it)
      out.push_back(*it);
    if (prev >= 0 && next < 4096) {
      prefix[next] = uint16_t(prev);
      first[next] = first[prev];
      suffix[next] = emit >= 0 ? first[emit] : first[prev];
      lengths[next] = uint16_t(lengths[prev] + 1);
      ++next;
      if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
    }
    prev = emit >= 0 ? emit : next - 1;
  }
  return out;
}

}  // namespace

std::optional<DecodedImage> decodeGif(const uint8_t* data, size_t size) {
  if (!data || size < 13 || sniffImageFormat(data, size) != ImageFormat::Gif) return std::nullopt;
  base::ByteReader in(data, size);
  in.skip(6);
  int screenW = in.u16(), screenH = in.u16();
  const uint8_t flags = in.u8();
  in.skip(2);
  std::vector<uint32_t> globalTable;
  auto readTable = [&in](int entries, std::vector<uint32_t>& table) {
    table.resize(size_t(entries));
    for (auto& c : table) {
      uint32_t r = in.u8(), g = in.u8(), b = in.u8();
      c = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  };
  if (flags & 0x80) readTable(2 << (flags & 7), globalTable);
  int transparent = -1;
  while (in.ok()) {
    const uint8_t block = in.u8();
    if (block == 0x21) {
      const uint8_t label = in.u8();
      if (label == 0xF9) {
        std::vector<uint8_t> gce;
        subBlocks(in, &gce);
        if (gce.size() >= 4 && (gce[0] & 1)) transparent = gce[3];
      } else {
        subBlocks(in, nullptr);
      }
    } else if (block == 0x2C) {
      const int left = in.u16(), top = in.u16(), w = in.u16(), h = in.u16();
      const uint8_t imageFlags = in.u8();
      std::vector<uint32_t> localTable;
      if (imageFlags & 0x80) readTable(2 << (imageFlags & 7), localTable);
      const auto& table = localTable.empty() ? globalTable : localTable;
      const int minCode = in.u8();
      std::vector<uint8_t> lzw;
      subBlocks(in, &lzw);
      if (!in.ok() && lzw.empty()) return std::nullopt;
      if (screenW == 0 || screenH == 0) {
        screenW = left + w;
        screenH = top + h;
      }
      if (screenW <= 0 || screenH <= 0 || size_t(screenW) * screenH > kMaxImagePixels)
        return std::nullopt;
      const std::vector<uint8_t> indices = lzwDecode(lzw, minCode, size_t(w) * h);
      DecodedImage image;
      image.width = screenW;
      image.height = screenH;
      image.argb.assign(size_t(screenW) * screenH, 0);
      // Interlaced rows come in four passes.
      std::vector<int> rowOrder;
      if (imageFlags & 0x40) {
        for (int start : {0, 4, 2, 1})
          for (int y = start; y < h; y += (start == 0 ? 8 : start == 4 ? 8 : start == 2 ? 4 : 2))
            rowOrder.push_back(y);
      } else {
        for (int y = 0; y < h; ++y) rowOrder.push_back(y);
      }
      for (size_t i = 0; i < indices.size(); ++i) {
        const int row = rowOrder[i / size_t(w)], col = int(i % size_t(w));
        const int x = left + col, y = top + row;
        if (x >= screenW || y >= screenH) continue;
        const int index = indices[i];
        if (index == transparent || size_t(index) >= table.size()) continue;
        image.argb[size_t(y) * screenW + x] = table[index];
      }
      return image;
    } else {
      break;  // trailer or garbage before any image
    }
  }
  return std::nullopt;
}

}  // namespace orv::movie::codec
