#pragma once
// Text in device fonts drawn with the system's fonts: the names movies give
// (_sans, _serif, _typewriter, or a family such as "Arial") resolve to an installed
// face, or to the nearest one of its kind; a face's glyphs become movie glyphs the
// first time text needs them.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "movie/font/truetype.h"
#include "movie/swf/types.h"

namespace orv::movie::font {

class DeviceFace {
 public:
  explicit DeviceFace(TrueTypeFont font);

  // Glyphs in a 20480-unit em square (as DefineFont3 keeps them), with the face's
  // ascent, descent and leading; it grows as glyphFor adds glyphs, which never move.
  const swf::FontDef& def() const { return def_; }
  const std::string& family() const { return font_.family(); }
  // The index in def().glyphs of the character's glyph, made on first use; UINT32_MAX
  // for characters the face has no glyph for.
  uint32_t glyphFor(char32_t c);
  // The character's advance as a fraction of the em.
  double advance(char32_t c) const;
  // Times New Roman or a face made to its measures.
  bool timesMeasures() const;

 private:
  TrueTypeFont font_;
  swf::FontDef def_;
  std::unordered_map<char32_t, uint32_t> glyphs_;
};

// The kinds of device font movies name.
enum class FontKind { Serif, Sans, Mono };
// What a font name stands for when the system lacks it: _sans, _typewriter and
// well-known families of each kind; anything else is a serif (the player's default).
FontKind kindOfFont(const std::string& name);

class DeviceFonts {
 public:
  // The face drawing `name` in the style asked for; null only when the system has
  // no usable font at all. Faces live as long as the program.
  DeviceFace* face(const std::string& name, bool bold, bool italic);
  static DeviceFonts& shared();

 private:
  DeviceFace* load(const std::string& family, bool bold, bool italic);
  std::mutex mutex_;
  // The last request and its answer: text asks for the same face character after character.
  struct Request {
    bool valid = false;
    std::string name;
    bool bold = false, italic = false;
    DeviceFace* face = nullptr;
  } last_;
  std::map<std::string, DeviceFace*> byRequest_;              // name|style -> face
  std::map<std::string, std::unique_ptr<DeviceFace>> faces_;  // family|style -> face
};

}  // namespace orv::movie::font
