#pragma once
// Internal to the reader: the parsers of each tag family over a shared context.
#include "movie/swf/bit_reader.h"
#include "movie/swf/reader.h"

namespace orv::movie::swf::detail {

struct Context {
  Movie& movie;
  int version;
  size_t budget;  // bytes of parsed structures still allowed

  // Accounts for `count` objects of `unit` bytes about to be created.
  void charge(size_t count, size_t unit) {
    if (unit != 0 && count > budget / unit) throw ParseError("movie too large to hold in memory");
    budget -= count * unit;
  }
  template <class T>
  void define(CharacterId id, T&& def) {
    movie.dictionary.emplace(id, Character(std::forward<T>(def)));  // first definition wins
  }
};

// shape_reader.cpp
FillStyle readFillStyle(BitReader& r, int shapeVersion);
LineStyle readLineStyle(BitReader& r, int shapeVersion);
StyleTable readStyleTable(BitReader& r, int shapeVersion, Context& ctx);
// A SHAPE / SHAPEWITHSTYLE record list (bit counts first). `shape.styleTables` must hold
// the table in force already; new tables are appended for StateNewStyles when allowed.
void readShapeRecords(BitReader& r, int shapeVersion, Shape& shape, Context& ctx);
void readDefineShape(BitReader& r, int version, Context& ctx);
void readDefineMorphShape(BitReader& r, int version, Context& ctx);

// character_reader.cpp: bitmaps, fonts, text, buttons, sounds, video
void readBitmapTag(BitReader& r, uint16_t code, Context& ctx);
void readBinaryData(BitReader& r, Context& ctx);  // DefineBinaryData
void readFontTag(BitReader& r, uint16_t code, Context& ctx);
void readTextTag(BitReader& r, uint16_t code, Context& ctx);
void readButtonTag(BitReader& r, uint16_t code, Context& ctx);
void readSoundDefinition(BitReader& r, Context& ctx);
SoundInfo readSoundInfo(BitReader& r);
SoundStreamHead readSoundStreamHead(BitReader& r, int version);
void readVideoTag(BitReader& r, uint16_t code, Context& ctx);

// control_reader.cpp
PlaceObject readPlaceObject(BitReader& r, int version, Context& ctx);
void skipFilterList(BitReader& r);

}  // namespace orv::movie::swf::detail
