#include "movie/video/flv.h"

namespace orv::movie::video {

namespace {

uint32_t be(std::span<const uint8_t> b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | b[at + size_t(i)];
  return v;
}

constexpr size_t kTagHeader = 11;

}  // namespace

long FlvFile::keyFrameBefore(int64_t ms) const {
  if (keyFrames.empty()) return -1;
  // Key frames are in file order; timestamps of a sane file rise with it.
  long best = long(keyFrames.front());
  for (size_t index : keyFrames)
    if (tags[index].timeMs <= ms) best = long(index);
  return best;
}

std::optional<FlvFile> readFlv(std::span<const uint8_t> bytes) {
  if (bytes.size() < 9 || bytes[0] != 'F' || bytes[1] != 'L' || bytes[2] != 'V') return std::nullopt;
  FlvFile file;
  file.hasAudio = bytes[4] & 4;
  file.hasVideo = bytes[4] & 1;
  const uint32_t dataOffset = be(bytes, 5, 4);
  if (dataOffset < 9) return std::nullopt;
  size_t at = size_t(dataOffset) + 4;  // the first PreviousTagSize is always 0
  while (at < bytes.size()) {
    if (bytes.size() - at < kTagHeader) {
      file.error = "a tag header is cut short";
      break;
    }
    const uint8_t typeByte = bytes[at];
    const size_t size = be(bytes, at + 1, 3);
    const int64_t time = int64_t(be(bytes, at + 4, 3) | uint32_t(bytes[at + 7]) << 24);
    const size_t data = at + kTagHeader;
    if (bytes.size() - data < size) {
      file.error = "a tag's data is cut short";
      break;
    }
    at = data + size + 4;  // and its PreviousTagSize
    if (typeByte & 0x20) continue;  // encrypted (filtered) tags are not played
    FlvTag tag;
    tag.timeMs = time;
    tag.offset = data;
    tag.size = size;
    switch (typeByte & 0x1F) {
      case 8:
        if (size < 1) continue;
        tag.type = FlvTag::Type::Audio;
        tag.soundFormat = bytes[data] >> 4;
        tag.rateIndex = (bytes[data] >> 2) & 3;
        tag.sixteenBit = bytes[data] & 2;
        tag.stereo = bytes[data] & 1;
        tag.offset = data + 1;
        tag.size = size - 1;
        break;
      case 9:
        if (size < 1) continue;
        tag.type = FlvTag::Type::Video;
        tag.frameType = bytes[data] >> 4;
        tag.codec = bytes[data] & 15;
        tag.offset = data + 1;
        tag.size = size - 1;
        if (tag.keyFrame()) file.keyFrames.push_back(file.tags.size());
        break;
      case 18: {
        if (file.scripts.size() >= kMaxFlvScripts) continue;
        FlvScript script;
        saves::AmfLimits limits;
        limits.maxNodes = 1 << 12;
        limits.maxMembers = 1 << 16;
        saves::Amf0Reader reader(bytes.data() + data, size, script.graph, limits);
        std::optional<saves::AmfValue> name = reader.value();
        if (!name || name->type != saves::AmfValue::Type::String) continue;  // unreadable: skipped
        script.name = name->text;
        std::optional<saves::AmfValue> value = reader.atEnd() ? saves::AmfValue() : reader.value();
        if (!value) continue;
        script.value = std::move(*value);
        tag.type = FlvTag::Type::Script;
        tag.script = int(file.scripts.size());
        file.scripts.push_back(std::move(script));
        break;
      }
      default:
        continue;  // a tag type of no meaning to the player
    }
    file.tags.push_back(tag);
  }
  return file;
}

std::span<const uint8_t> videoPayload(const FlvTag& tag, std::span<const uint8_t> bytes) {
  if (tag.offset > bytes.size() || bytes.size() - tag.offset < tag.size) return {};
  std::span<const uint8_t> d = bytes.subspan(tag.offset, tag.size);
  // VP6 in FLV starts with a byte of picture-size adjustment that the SWF form has not.
  if ((tag.codec == 4 || tag.codec == 5) && !d.empty()) d = d.subspan(1);
  return d;
}

}  // namespace orv::movie::video
