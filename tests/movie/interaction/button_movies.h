#pragma once
// Tag builders for movies with buttons and mouse handlers, and small action blocks.
#include <cstdint>
#include <string>
#include <vector>

#include "movie/swf_writer.h"

namespace orv::movie::test {

constexpr uint8_t kActionStop = 0x07, kActionPlay = 0x06, kActionTrace = 0x26,
                  kActionGetVariable = 0x1C, kActionSetMember = 0x4F, kActionPush = 0x96,
                  kActionDefineFunction = 0x9B;

// ActionPush of strings.
inline std::vector<uint8_t> pushStrings(std::initializer_list<std::string> strings) {
  std::vector<uint8_t> body;
  for (const std::string& s : strings) {
    body.push_back(0);
    body.insert(body.end(), s.begin(), s.end());
    body.push_back(0);
  }
  std::vector<uint8_t> out = {kActionPush, uint8_t(body.size() & 0xFF), uint8_t(body.size() >> 8)};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}
// trace("text") and the End.
inline std::vector<uint8_t> traceBlock(const std::string& text) {
  auto out = pushStrings({text});
  out.push_back(kActionTrace);
  out.push_back(0);
  return out;
}
// trace(<variable>) and the End.
inline std::vector<uint8_t> traceVariableBlock(const std::string& name) {
  auto out = pushStrings({name});
  out.push_back(kActionGetVariable);
  out.push_back(kActionTrace);
  out.push_back(0);
  return out;
}
// <clip>.<method> = function () { trace("text") }, and the End.
inline std::vector<uint8_t> defineTracingMethod(const std::string& clip, const std::string& method,
                                                const std::string& text) {
  std::vector<uint8_t> body = pushStrings({text});
  body.push_back(kActionTrace);
  std::vector<uint8_t> out = pushStrings({clip});
  out.push_back(kActionGetVariable);
  auto name = pushStrings({method});
  out.insert(out.end(), name.begin(), name.end());
  // DefineFunction: no name, no parameters, then the body's size.
  out.insert(out.end(), {kActionDefineFunction, 5, 0, 0, 0, 0, uint8_t(body.size()), 0});
  out.insert(out.end(), body.begin(), body.end());
  out.push_back(kActionSetMember);
  out.push_back(0);
  return out;
}

struct ButtonRecordSpec {
  bool up = false, over = false, down = false, hit = false;
  uint16_t character = 0;
  int32_t x = 0, y = 0;  // translation, twips
};
struct ButtonActionSpec {
  uint16_t conditions = 0;  // as the file's bits: 0x01 IdleToOverUp ... 0x100 OverDownToIdle
  uint8_t keyCode = 0;
  std::vector<uint8_t> actions;  // with the End
};

inline void buttonRecords(BitWriter& b, const std::vector<ButtonRecordSpec>& records, int version) {
  for (const auto& r : records) {
    b.u8(uint8_t((r.up ? 1 : 0) | (r.over ? 2 : 0) | (r.down ? 4 : 0) | (r.hit ? 8 : 0)));
    b.u16(r.character);
    b.u16(1);
    b.matrix(r.x, r.y);
    if (version >= 2) {  // CXFORMWITHALPHA without terms
      b.flag(false);
      b.flag(false);
      b.ub(1, 4);
      b.align();
    }
  }
  b.u8(0);
}

inline std::vector<uint8_t> defineButton2(uint16_t id, const std::vector<ButtonRecordSpec>& records,
                                          const std::vector<ButtonActionSpec>& actions,
                                          bool trackAsMenu = false) {
  BitWriter b;
  b.u16(id);
  b.u8(trackAsMenu ? 1 : 0);
  b.u16(0);  // action offset, patched below
  buttonRecords(b, records, 2);
  if (!actions.empty()) {
    const size_t offset = b.bytes.size() - 3;
    b.bytes[3] = uint8_t(offset & 0xFF);
    b.bytes[4] = uint8_t(offset >> 8);
  }
  for (size_t i = 0; i < actions.size(); ++i) {
    const auto& a = actions[i];
    const size_t size = 4 + a.actions.size();
    b.u16(i + 1 == actions.size() ? 0 : uint16_t(size));
    b.u8(uint8_t(a.conditions & 0xFF));
    b.u8(uint8_t((a.keyCode << 1) | ((a.conditions >> 8) & 1)));
    b.raw(a.actions);
  }
  return tag(34, b.bytes, true);
}

// DefineButton: records and the actions of a release.
inline std::vector<uint8_t> defineButton1(uint16_t id, const std::vector<ButtonRecordSpec>& records,
                                          const std::vector<uint8_t>& actions) {
  BitWriter b;
  b.u16(id);
  buttonRecords(b, records, 1);
  b.raw(actions);
  return tag(7, b.bytes, true);
}

// DefineButtonCxform: multiply terms only (1.0 = 256).
inline std::vector<uint8_t> defineButtonCxform(uint16_t id, int r, int g, int b) {
  BitWriter w;
  w.u16(id);
  w.flag(false);  // no add
  w.flag(true);   // mult
  const int n = BitWriter::bitsFor({r, g, b});
  w.ub(n, 4);
  w.sb(r, n);
  w.sb(g, n);
  w.sb(b, n);
  w.align();
  return tag(23, w.bytes);
}

// A 16-bit mono PCM sound at 5512 Hz holding `samples` of a constant `level`.
inline std::vector<uint8_t> defineConstantSound(uint16_t id, uint32_t samples, int16_t level) {
  BitWriter w;
  w.u16(id);
  w.ub(3, 4);  // PCM little-endian
  w.ub(0, 2);  // 5.5 kHz
  w.flag(true);
  w.flag(false);
  w.u32(samples);
  for (uint32_t i = 0; i < samples; ++i) w.u16(uint16_t(level));
  return tag(14, w.bytes, true);
}

// DefineButtonSound with a sound for rollOver (IdleToOverUp) only.
inline std::vector<uint8_t> defineButtonRollOverSound(uint16_t buttonId, uint16_t soundId) {
  BitWriter w;
  w.u16(buttonId);
  w.u16(0);        // OverUpToIdle: none
  w.u16(soundId);  // IdleToOverUp
  w.u8(0);         // SOUNDINFO: no flags
  w.u16(0);
  w.u16(0);
  return tag(17, w.bytes);
}

struct ClipActionSpec {
  uint32_t events = 0;           // swf::ClipEvent bits
  std::vector<uint8_t> actions;  // with the End
};

// PlaceObject2 of a clip with a name, a translation and onClipEvent/on() handlers (SWF 6+).
inline std::vector<uint8_t> placeClipWithActions(uint16_t depth, uint16_t character,
                                                 const std::string& name, int32_t x, int32_t y,
                                                 const std::vector<ClipActionSpec>& actions) {
  BitWriter w;
  w.u8(0x80 | 0x20 | 0x04 | 0x02);
  w.u16(depth);
  w.u16(character);
  w.matrix(x, y);
  w.string(name);
  w.u16(0);
  uint32_t all = 0;
  for (const auto& a : actions) all |= a.events;
  w.u32(all);
  for (const auto& a : actions) {
    w.u32(a.events);
    w.u32(uint32_t(a.actions.size()));
    w.raw(a.actions);
  }
  w.u32(0);
  return tag(26, w.bytes, true);
}

}  // namespace orv::movie::test
