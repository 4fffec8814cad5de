#pragma once
// Plain data types of a parsed SWF movie. Parsed once by the reader, immutable afterwards;
// the timeline, renderer, sound and script engines read them. Coordinates are twips
// (1/20 pixel) unless a comment says otherwise.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "movie/base/color_transform.h"
#include "movie/base/matrix.h"

namespace orv::movie::swf {

using CharacterId = uint16_t;

struct Rect {
  int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  int32_t width() const { return xMax - xMin; }
  int32_t height() const { return yMax - yMin; }
  bool operator==(const Rect&) const = default;
};

using base::RGBA;

// SWF MATRIX (16.16 scales and skews, twip translations), held exactly.
using base::Matrix;

// CXFORM / CXFORMWITHALPHA: channel' = clamp(channel * mul + add). The file's 8.8 fixed
// multipliers are stored divided by 256 (1.0 = unchanged); adds are in 0..255 units.
using base::ColorTransform;

// ---- Styles -------------------------------------------------------------------------

enum class FillType : uint8_t {
  Solid = 0x00,
  LinearGradient = 0x10,
  RadialGradient = 0x12,
  FocalGradient = 0x13,
  RepeatingBitmap = 0x40,
  ClippedBitmap = 0x41,
  NonSmoothedRepeatingBitmap = 0x42,
  NonSmoothedClippedBitmap = 0x43,
};

enum class SpreadMode : uint8_t { Pad = 0, Reflect = 1, Repeat = 2 };
enum class InterpolationMode : uint8_t { Normal = 0, LinearRGB = 1 };

struct GradientRecord {
  uint8_t ratio = 0;  // 0..255 along the gradient square
  RGBA color;
  bool operator==(const GradientRecord&) const = default;
};

// Gradients live in a square from -16384 to 16384 in gradient space, mapped by the
// fill's matrix.
struct Gradient {
  SpreadMode spread = SpreadMode::Pad;
  InterpolationMode interpolation = InterpolationMode::Normal;
  std::vector<GradientRecord> records;  // at most 15 (8 before DefineShape4)
  double focalPoint = 0;                // -1..1, FocalGradient only
  bool operator==(const Gradient&) const = default;
};

struct FillStyle {
  FillType type = FillType::Solid;
  RGBA color;                     // Solid
  Matrix matrix;                  // gradient and bitmap fills
  Gradient gradient;              // gradient fills
  CharacterId bitmapId = 0xFFFF;  // bitmap fills (0xFFFF: none, draws as nothing)

  bool isGradient() const {
    return type == FillType::LinearGradient || type == FillType::RadialGradient ||
           type == FillType::FocalGradient;
  }
  bool isBitmap() const { return (static_cast<uint8_t>(type) & 0x40) != 0; }
  bool bitmapRepeating() const {
    return type == FillType::RepeatingBitmap || type == FillType::NonSmoothedRepeatingBitmap;
  }
  bool bitmapSmoothed() const {
    return type == FillType::RepeatingBitmap || type == FillType::ClippedBitmap;
  }
  bool operator==(const FillStyle&) const = default;
};

enum class CapStyle : uint8_t { Round = 0, None = 1, Square = 2 };
enum class JoinStyle : uint8_t { Round = 0, Bevel = 1, Miter = 2 };

// LINESTYLE (DefineShape1-3, only width and color) and LINESTYLE2 (DefineShape4).
struct LineStyle {
  uint16_t width = 0;  // twips; 0 = hairline
  RGBA color;
  CapStyle startCap = CapStyle::Round, endCap = CapStyle::Round;
  JoinStyle join = JoinStyle::Round;
  double miterLimit = 3;  // 8.8 factor, Miter joins only
  bool noHScale = false, noVScale = false;
  bool pixelHinting = false;
  bool noClose = false;
  bool hasFill = false;  // stroke painted with `fill` instead of `color`
  FillStyle fill;
  bool operator==(const LineStyle&) const = default;
};

// One FILLSTYLEARRAY + LINESTYLEARRAY.
struct StyleTable {
  std::vector<FillStyle> fills;
  std::vector<LineStyle> lines;
};

// ---- Shapes -------------------------------------------------------------------------

// A SHAPERECORD with coordinates made absolute (the file stores deltas).
struct ShapeRecord {
  enum class Kind : uint8_t { StyleChange, StraightEdge, CurvedEdge };
  Kind kind = Kind::StyleChange;

  // StyleChange: which fields the record sets. Style indices are 1-based into the style
  // table in force; 0 means "no style". A record with newStyles switches to
  // Shape::styleTables[styleTable] and resets fill0/fill1/line to what it sets (or 0).
  bool hasMove = false, hasFill0 = false, hasFill1 = false, hasLine = false;
  bool newStyles = false;
  uint32_t fill0 = 0, fill1 = 0, line = 0;
  uint32_t styleTable = 0;

  // StraightEdge: (x, y) is the end point. CurvedEdge: (cx, cy) control, (x, y) anchor.
  // StyleChange with hasMove: (x, y) is the new pen position.
  int32_t cx = 0, cy = 0;
  int32_t x = 0, y = 0;
};

struct Shape {
  std::vector<StyleTable> styleTables;  // [0]: the table given before the records
  std::vector<ShapeRecord> records;
};

// One edge with the state in force when it was drawn: the two-fill edge model.
struct ShapeEdge {
  int32_t x0 = 0, y0 = 0;  // start
  int32_t cx = 0, cy = 0;  // control point (straight edges: equal to the end point)
  int32_t x1 = 0, y1 = 0;  // end
  bool curved = false;
  uint32_t fill0 = 0, fill1 = 0, line = 0;  // 1-based into styleTables[styleTable]
  uint32_t styleTable = 0;
};
// Walks the records and returns every edge with its styles (src/movie/swf/shape.cpp).
std::vector<ShapeEdge> shapeEdges(const Shape& shape);

struct ShapeDef {
  CharacterId id = 0;
  int version = 1;  // DefineShape 1..4
  Rect bounds;
  Rect edgeBounds;  // DefineShape4 only (else == bounds)
  bool usesFillWindingRule = false, usesNonScalingStrokes = false, usesScalingStrokes = false;
  Shape shape;
};

// Start and end shapes have the same edges in the same order. startShape.styleTables[0]
// holds the start styles, endShape.styleTables[0] the end styles (same counts; morph line
// styles keep caps/joins in both).
struct MorphShapeDef {
  CharacterId id = 0;
  int version = 1;  // DefineMorphShape 1..2
  Rect startBounds, endBounds, startEdgeBounds, endEdgeBounds;
  bool usesNonScalingStrokes = false, usesScalingStrokes = false;
  Shape startShape, endShape;
};

// ---- Bitmaps (decoded by the renderer through src/movie/codec) ------------------------

enum class BitmapKind : uint8_t {
  Jpeg,       // DefineBits: JPEG data needing Movie::jpegTables
  Jpeg2,      // DefineBitsJPEG2: full JPEG (or PNG/GIF since v8)
  Jpeg3,      // + zlib alpha plane
  Jpeg4,      // + deblocking
  Lossless,   // DefineBitsLossless
  Lossless2,  // DefineBitsLossless2 (with alpha)
};

struct BitmapDef {
  CharacterId id = 0;
  BitmapKind kind = BitmapKind::Jpeg2;
  std::vector<uint8_t> data;       // image data (JPEG/PNG/GIF), or the zlib data of lossless
  std::vector<uint8_t> alphaData;  // Jpeg3/4: zlib compressed alpha plane
  double deblocking = 0;           // Jpeg4 (8.8)
  // Lossless only:
  uint8_t losslessFormat = 0;  // 3 = 8-bit colormap, 4 = 15-bit, 5 = 32-bit
  uint16_t width = 0, height = 0;
  uint16_t colorTableSize = 0;  // format 3: entries - 1 as stored
};

// ---- Fonts and text -----------------------------------------------------------------

struct KerningRecord {
  uint16_t code1 = 0, code2 = 0;
  int16_t adjustment = 0;
};

struct AlignZone {
  struct Data {
    float position = 0, size = 0;
  };
  std::vector<Data> data;  // usually 2 (x and y)
  bool maskX = false, maskY = false;
};

struct FontDef {
  CharacterId id = 0;
  int version = 1;  // DefineFont 1..3
  std::string name;
  bool smallText = false, shiftJIS = false, ansi = false, italic = false, bold = false;
  bool wideCodes = false;
  uint8_t languageCode = 0;
  std::vector<Shape> glyphs;    // glyph outlines; fill style 1 is the glyph's fill
  std::vector<uint16_t> codes;  // code point of each glyph (from DefineFont2/3 or FontInfo)
  bool hasLayout = false;
  int32_t ascent = 0, descent = 0, leading = 0;
  std::vector<int16_t> advances;
  std::vector<Rect> glyphBounds;
  std::vector<KerningRecord> kerning;
  std::vector<AlignZone> alignZones;  // DefineFontAlignZones
  uint8_t csmThickness = 0;           // from DefineFontAlignZones
  // Glyph coordinates are in an EM square of 1024 units; DefineFont3 uses 20480.
  double emSquare() const { return version >= 3 ? 20480.0 : 1024.0; }
  // Some glyph has an outline. Fonts without (no glyphs, or only empty ones) name a
  // device font: the system draws their text.
  bool hasOutlines() const {
    for (const Shape& g : glyphs)
      if (!g.records.empty()) return true;
    return false;
  }
};

struct GlyphEntry {
  uint32_t index = 0;   // into FontDef::glyphs
  int32_t advance = 0;  // twips
};

// A TEXTRECORD with the state carried over from earlier records filled in.
struct TextRecord {
  CharacterId fontId = 0;
  RGBA color;
  int32_t x = 0, y = 0;  // baseline start of the first glyph
  uint16_t height = 0;   // font size in twips
  std::vector<GlyphEntry> glyphs;
};

struct TextDef {
  CharacterId id = 0;
  int version = 1;  // DefineText 1..2 (2: colours have alpha)
  Rect bounds;
  Matrix matrix;
  std::vector<TextRecord> records;
  // CSMTextSettings
  uint8_t useFlashType = 0, gridFit = 0;
  float thickness = 0, sharpness = 0;
};

struct EditTextDef {
  CharacterId id = 0;
  Rect bounds;
  bool wordWrap = false, multiline = false, password = false, readOnly = false;
  bool autoSize = false, noSelect = false, border = false, wasStatic = false, html = false;
  bool useOutlines = false;
  bool hasFont = false;
  CharacterId fontId = 0;
  std::string fontClass;
  uint16_t fontHeight = 0;
  bool hasTextColor = false;
  RGBA textColor{0, 0, 0, 255};
  bool hasMaxLength = false;
  uint16_t maxLength = 0;
  bool hasLayout = false;
  uint8_t align = 0;  // 0 left, 1 right, 2 center, 3 justify
  uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
  int16_t leading = 0;
  std::string variableName;
  bool hasText = false;
  std::string initialText;
  // CSMTextSettings
  uint8_t useFlashType = 0, gridFit = 0;
  float thickness = 0, sharpness = 0;
};

// ---- Sounds -------------------------------------------------------------------------

enum class SoundFormat : uint8_t {
  PcmNative = 0,
  Adpcm = 1,
  Mp3 = 2,
  PcmLittle = 3,
  Nellymoser16k = 4,
  Nellymoser8k = 5,
  Nellymoser = 6,
  Speex = 11,
};

struct AudioFormat {
  SoundFormat format = SoundFormat::PcmNative;
  uint32_t rate = 5512;  // 5512, 11025, 22050 or 44100
  bool is16Bit = false;
  bool stereo = false;
};

struct SoundDef {
  CharacterId id = 0;
  AudioFormat format;
  uint32_t sampleCount = 0;
  int16_t mp3SeekSamples = 0;  // Mp3 only (stripped from data)
  std::vector<uint8_t> data;   // the sound data as stored (MP3 frames for Mp3)
};

struct SoundEnvelopePoint {
  uint32_t pos44 = 0;                      // position in 44 kHz samples
  uint16_t leftLevel = 0, rightLevel = 0;  // 0..32768
};

// SOUNDINFO of StartSound / StartSound2 / DefineButtonSound.
struct SoundInfo {
  bool syncStop = false, syncNoMultiple = false;
  std::optional<uint32_t> inPoint, outPoint;
  uint16_t loopCount = 1;
  std::vector<SoundEnvelopePoint> envelope;
};

struct StartSound {
  CharacterId soundId = 0;  // StartSound
  std::string className;    // StartSound2 (soundId 0)
  SoundInfo info;
};

struct SoundStreamHead {
  int version = 1;
  AudioFormat playback, stream;
  uint16_t samplesPerBlock = 0;
  int16_t latencySeek = 0;  // Mp3 only
};

// ---- Buttons ------------------------------------------------------------------------

struct ButtonRecord {
  bool up = false, over = false, down = false, hitTest = false;
  CharacterId characterId = 0;
  uint16_t depth = 0;
  Matrix matrix;
  ColorTransform cxform;  // DefineButton2 records; DefineButtonCxform for DefineButton
  uint8_t blendMode = 0;
  bool hasFilters = false;  // filter list present (parsed and skipped)
};

// BUTTONCONDACTION. Condition bits as in the file (DefineButton2):
// 0x0001 IdleToOverUp, 0x0002 OverUpToIdle, 0x0004 OverUpToOverDown,
// 0x0008 OverDownToOverUp, 0x0010 OverDownToOutDown, 0x0020 OutDownToOverDown,
// 0x0040 OutDownToIdle, 0x0080 IdleToOverDown, 0x0100 OverDownToIdle;
// keyPress (bits 9..15) is keyCode.
struct ButtonAction {
  uint16_t conditions = 0;
  uint8_t keyCode = 0;
  std::vector<uint8_t> actions;  // raw action bytes (ending with ActionEnd)
};

struct ButtonDef {
  CharacterId id = 0;
  int version = 1;  // DefineButton 1..2
  bool trackAsMenu = false;
  std::vector<ButtonRecord> records;
  std::vector<ButtonAction> actions;  // DefineButton: one entry with OverDownToOverUp
  // DefineButtonSound: OverUpToIdle, IdleToOverUp, OverUpToOverDown, OverDownToOverUp.
  struct Sound {
    CharacterId soundId = 0;
    SoundInfo info;
  };
  std::optional<Sound> sounds[4];
};

// ---- Video (decoded by src/movie/video through src/movie/codec) ------------------------

// One VideoFrame tag: the codec's data of the stream's frame `frameNum`.
struct VideoFrameData {
  uint16_t frameNum = 0;
  std::vector<uint8_t> data;
};

struct VideoStreamDef {
  CharacterId id = 0;
  uint16_t numFrames = 0, width = 0, height = 0;  // width and height in pixels
  uint8_t deblocking = 0;  // 0: as each frame says, 1: off, 2..: on
  bool smoothing = false;
  uint8_t codecId = 0;
  std::vector<VideoFrameData> frames;  // in file order
};

// ---- Sprites and the timeline ----------------------------------------------------------

// CLIPACTIONRECORD event flags, as the little-endian number the file stores
// (SWF 5 stores only the low 16 bits).
namespace ClipEvent {
constexpr uint32_t Load = 1u << 0, EnterFrame = 1u << 1, Unload = 1u << 2, MouseMove = 1u << 3,
                   MouseDown = 1u << 4, MouseUp = 1u << 5, KeyDown = 1u << 6, KeyUp = 1u << 7,
                   Data = 1u << 8, Initialize = 1u << 9, Press = 1u << 10, Release = 1u << 11,
                   ReleaseOutside = 1u << 12, RollOver = 1u << 13, RollOut = 1u << 14,
                   DragOver = 1u << 15, DragOut = 1u << 16, KeyPress = 1u << 17,
                   Construct = 1u << 18;
}
struct ClipAction {
  uint32_t events = 0;
  uint8_t keyCode = 0;  // ClipEventKeyPress only
  std::vector<uint8_t> actions;
};

// PlaceObject 1, 2 and 3 in one shape. Fields absent in the tag are nullopt.
struct PlaceObject {
  int version = 1;
  uint16_t depth = 0;
  bool move = false;  // PlaceObject2/3 PlaceFlagMove (always false for version 1)
  std::optional<CharacterId> characterId;
  std::optional<Matrix> matrix;
  std::optional<ColorTransform> cxform;
  std::optional<uint16_t> ratio;
  std::optional<std::string> name;
  std::optional<uint16_t> clipDepth;
  std::optional<uint8_t> blendMode;
  std::optional<bool> cacheAsBitmap;
  std::string className;  // PlaceObject3 HasClassName
  bool hasFilters = false;
  std::vector<uint8_t> filterData;  // the FILTERLIST as stored; the renderer reads it
  std::vector<ClipAction> clipActions;
};

struct RemoveObject {
  uint16_t depth = 0;
  std::optional<CharacterId> characterId;  // RemoveObject (version 1)
};

using DisplayTag = std::variant<PlaceObject, RemoveObject>;

struct DoAction {
  std::vector<uint8_t> bytes;      // raw AVM1 bytes
  uint32_t displayTagsBefore = 0;  // how many of the frame's display tags come before it
};

struct DoInitAction {
  CharacterId spriteId = 0;
  std::vector<uint8_t> bytes;
  // -1: the character is defined before these actions in the file. Otherwise the root
  // frame whose tags define it (kNeverDefined: none does); the actions run only once the
  // timeline has been through that frame.
  int definedInFrame = -1;
  static constexpr int kNeverDefined = 1 << 30;
  uint32_t displayTagsBefore = 0;  // how many of the frame's display tags come before it
};

// DoABC (tag 82; tag 72 without flags and name): ActionScript 3 bytecode as stored, read
// by src/movie/abc when the machine asks.
struct DoAbc {
  static constexpr uint32_t kLazyInitialize = 1;  // flags: run the scripts when first needed
  uint32_t flags = 0;
  std::string name;
  std::vector<uint8_t> bytes;  // one ABC file
};

// SymbolClass (tag 76): the ActionScript 3 class of a character; id 0 is the main timeline.
struct SymbolClass {
  CharacterId id = 0;
  std::string className;  // qualified, "pkg.Name"
};

struct Frame {
  std::vector<DisplayTag> displayTags;  // in file order
  std::vector<DoAction> actions;        // in file order, run after the display tags
  std::vector<DoInitAction> initActions;
  std::vector<StartSound> sounds;
  std::optional<std::vector<uint8_t>> streamBlock;  // SoundStreamBlock data
  std::vector<std::string> labels;                  // FrameLabel names (named anchors included)
  std::optional<RGBA> backgroundColor;              // SetBackgroundColor in this frame
  std::vector<DoAbc> abc;                           // in file order
  std::vector<SymbolClass> symbolClasses;           // in file order
};

struct Timeline {
  std::vector<Frame> frames;
  std::map<std::string, uint32_t> labels;  // label -> 0-based frame (first occurrence)
  std::optional<SoundStreamHead> streamHead;
  // Frame index of a label, case-insensitive as Flash looks them up (the earliest frame
  // of labels differing only in case); -1 if none.
  int findLabel(const std::string& name) const;
};

struct SpriteDef {
  CharacterId id = 0;
  uint16_t declaredFrameCount = 0;
  Timeline timeline;
};

// DefineBinaryData: bytes a script's ByteArray subclass is linked to.
struct BinaryDataDef {
  CharacterId id = 0;
  std::vector<uint8_t> data;
};

// ---- The dictionary and the movie ------------------------------------------------------

using Character = std::variant<ShapeDef, MorphShapeDef, BitmapDef, FontDef, TextDef, EditTextDef,
                               ButtonDef, SpriteDef, SoundDef, VideoStreamDef, BinaryDataDef>;

struct Header {
  char compression = 'F';  // 'F' none, 'C' zlib, 'Z' LZMA
  uint8_t version = 0;
  uint32_t fileLength = 0;  // as the header claims (uncompressed size)
  Rect frameSize;
  double frameRate = 0;     // frames per second (8.8 in the file), 0 as given
  uint16_t frameCount = 0;  // as the header claims
};

struct FileAttributes {
  bool useDirectBlit = false, useGPU = false, hasMetadata = false, actionScript3 = false,
       useNetwork = false;
};

struct Scene {
  uint32_t offset = 0;
  std::string name;
};

struct Movie {
  Header header;
  std::optional<RGBA> backgroundColor;  // first SetBackgroundColor
  std::map<CharacterId, Character> dictionary;
  std::map<CharacterId, Rect> scalingGrids;  // DefineScalingGrid
  Timeline root;
  std::vector<uint8_t> jpegTables;
  std::optional<FileAttributes> fileAttributes;
  std::map<std::string, CharacterId> exports;  // ExportAssets
  std::map<std::string, int> exportFrames;     // the root frame each export is in
  // ImportAssets(2): characters this movie takes by export name from another movie.
  struct Import {
    std::string url;
    std::vector<std::pair<CharacterId, std::string>> assets;  // id here, export name there
  };
  std::vector<Import> imports;
  std::string metadata;
  std::vector<Scene> scenes;  // DefineSceneAndFrameLabelData
  bool isProtected = false, debuggerEnabled = false;
  std::optional<uint16_t> maxRecursionDepth, scriptTimeoutSeconds;  // ScriptLimits
  std::map<uint16_t, uint16_t> tabIndices;  // SetTabIndex: depth -> tab index
  std::map<uint16_t, uint32_t> tagCounts;   // tag code -> times seen (all timelines)
  bool truncated = false;  // data ended before End: the frames read so far are kept
  std::string warning;     // why it was truncated, if it was

  const Character* find(CharacterId id) const {
    auto it = dictionary.find(id);
    return it == dictionary.end() ? nullptr : &it->second;
  }
  template <class T>
  const T* get(CharacterId id) const {
    const Character* c = find(id);
    return c ? std::get_if<T>(c) : nullptr;
  }
};

}  // namespace orv::movie::swf
