#pragma once
// The filter classes of flash.filters as both script machines have them: each class's
// settings in the order its prototype lists them, their defaults, the order the
// constructor takes them in, and how each kind of setting takes the numbers and texts
// scripts give it (clamped as a Flash player clamps them). The settings of one filter
// object are plain values here; swf/script_filters.h turns them into the records a movie
// file stores, which the renderer draws.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::movie::render {
struct Bitmap;  // render/raster/paint.h: premultiplied pixels
}

namespace orv::movie::base {

// How a setting takes the values scripts give it.
enum class FilterField : uint8_t {
  Number,    // any number
  Single,    // any number, kept in single precision (a convolution's divisor and bias)
  Color,     // 0xRRGGBB
  Unit,      // 0..1 (alphas)
  Blur,      // 0..255 pixels
  Strength,  // 0..255
  Quality,   // 0..15 passes
  Side,      // 0..15 (a convolution matrix's columns or rows)
  Flag,      // true or false
  Type,      // "inner", "outer" or "full"
  Mode,      // "wrap", "clamp", "ignore" or "color"
  List,      // an array of numbers
  Any,       // kept as given, by the machine (a displacement map's bitmap and point)
};

struct FilterFieldSpec {
  const char* name;
  FilterField type;
  double number = 0;           // default of numbers and flags
  const char* text = nullptr;  // default of texts
};

// The filter ids a movie file uses, and ours for a displacement map, whose bitmap a file
// cannot store.
enum class FilterClassId : uint8_t {
  DropShadow = 0,
  Blur,
  Glow,
  Bevel,
  GradientGlow,
  Convolution,
  ColorMatrix,
  GradientBevel,
  DisplacementMap,
};

struct FilterClassSpec {
  const char* name;
  FilterClassId id;
  std::span<const FilterFieldSpec> fields;
  std::span<const char* const> constructorArgs;
  // The setting named `name` by its place in `fields`; -1 for none.
  int field(std::string_view name) const;
};

namespace filter_tables {

inline constexpr FilterFieldSpec kDropShadowFields[] = {
    {"distance", FilterField::Number, 4},   {"angle", FilterField::Number, 45},   {"color", FilterField::Color, 0},
    {"alpha", FilterField::Unit, 1},        {"quality", FilterField::Quality, 1}, {"inner", FilterField::Flag, 0},
    {"knockout", FilterField::Flag, 0},     {"blurX", FilterField::Blur, 4},      {"blurY", FilterField::Blur, 4},
    {"strength", FilterField::Strength, 1}, {"hideObject", FilterField::Flag, 0}};
inline constexpr const char* kDropShadowArgs[] = {"distance", "angle",    "color",     "alpha",
                                           "blurX",    "blurY",    "strength",  "quality",
                                           "inner",    "knockout", "hideObject"};
inline constexpr FilterFieldSpec kBlurFields[] = {
    {"blurX", FilterField::Blur, 4}, {"blurY", FilterField::Blur, 4}, {"quality", FilterField::Quality, 1}};
inline constexpr const char* kBlurArgs[] = {"blurX", "blurY", "quality"};
inline constexpr FilterFieldSpec kGlowFields[] = {
    {"color", FilterField::Color, 0xFF0000}, {"alpha", FilterField::Unit, 1},   {"quality", FilterField::Quality, 1},
    {"inner", FilterField::Flag, 0},         {"knockout", FilterField::Flag, 0}, {"blurX", FilterField::Blur, 6},
    {"blurY", FilterField::Blur, 6},         {"strength", FilterField::Strength, 2}};
inline constexpr const char* kGlowArgs[] = {"color",    "alpha",   "blurX", "blurY",
                                     "strength", "quality", "inner", "knockout"};
inline constexpr FilterFieldSpec kBevelFields[] = {{"distance", FilterField::Number, 4},
                                            {"angle", FilterField::Number, 45},
                                            {"highlightColor", FilterField::Color, 0xFFFFFF},
                                            {"highlightAlpha", FilterField::Unit, 1},
                                            {"shadowColor", FilterField::Color, 0},
                                            {"shadowAlpha", FilterField::Unit, 1},
                                            {"quality", FilterField::Quality, 1},
                                            {"strength", FilterField::Strength, 1},
                                            {"knockout", FilterField::Flag, 0},
                                            {"blurX", FilterField::Blur, 4},
                                            {"blurY", FilterField::Blur, 4},
                                            {"type", FilterField::Type, 0, "inner"}};
inline constexpr const char* kBevelArgs[] = {
    "distance", "angle", "highlightColor", "highlightAlpha", "shadowColor", "shadowAlpha",
    "blurX",    "blurY", "strength",       "quality",        "type",        "knockout"};
// The gradient glow and the gradient bevel have the same settings.
inline constexpr FilterFieldSpec kGradientFields[] = {
    {"distance", FilterField::Number, 4},   {"angle", FilterField::Number, 45},   {"colors", FilterField::List},
    {"alphas", FilterField::List},          {"ratios", FilterField::List},        {"blurX", FilterField::Blur, 4},
    {"blurY", FilterField::Blur, 4},        {"quality", FilterField::Quality, 1}, {"strength", FilterField::Strength, 1},
    {"knockout", FilterField::Flag, 0},     {"type", FilterField::Type, 0, "inner"}};
inline constexpr const char* kGradientArgs[] = {"distance", "angle", "colors",  "alphas",
                                         "ratios",   "blurX", "blurY",   "strength",
                                         "quality",  "type",  "knockout"};
inline constexpr FilterFieldSpec kColorMatrixFields[] = {{"matrix", FilterField::List}};
inline constexpr const char* kColorMatrixArgs[] = {"matrix"};
inline constexpr FilterFieldSpec kConvolutionFields[] = {
    {"matrixX", FilterField::Side, 0},   {"matrixY", FilterField::Side, 0}, {"matrix", FilterField::List},
    {"divisor", FilterField::Single, 1}, {"bias", FilterField::Single, 0},  {"preserveAlpha", FilterField::Flag, 1},
    {"clamp", FilterField::Flag, 1},     {"color", FilterField::Color, 0},  {"alpha", FilterField::Unit, 0}};
inline constexpr const char* kConvolutionArgs[] = {"matrixX",       "matrixY", "matrix", "divisor", "bias",
                                            "preserveAlpha", "clamp",   "color",  "alpha"};
inline constexpr FilterFieldSpec kDisplacementFields[] = {
    {"mapBitmap", FilterField::Any},        {"mapPoint", FilterField::Any},       {"componentX", FilterField::Number, 0},
    {"componentY", FilterField::Number, 0}, {"scaleX", FilterField::Number, 0},   {"scaleY", FilterField::Number, 0},
    {"mode", FilterField::Mode, 0, "wrap"}, {"color", FilterField::Color, 0},     {"alpha", FilterField::Unit, 0}};
inline constexpr const char* kDisplacementArgs[] = {"mapBitmap",  "mapPoint", "componentX",
                                             "componentY", "scaleX",   "scaleY",
                                             "mode",       "color",    "alpha"};

inline constexpr FilterClassSpec kFilterClassTable[] = {
    {"DropShadowFilter", FilterClassId::DropShadow, kDropShadowFields, kDropShadowArgs},
    {"BlurFilter", FilterClassId::Blur, kBlurFields, kBlurArgs},
    {"GlowFilter", FilterClassId::Glow, kGlowFields, kGlowArgs},
    {"BevelFilter", FilterClassId::Bevel, kBevelFields, kBevelArgs},
    {"GradientGlowFilter", FilterClassId::GradientGlow, kGradientFields, kGradientArgs},
    {"GradientBevelFilter", FilterClassId::GradientBevel, kGradientFields, kGradientArgs},
    {"ColorMatrixFilter", FilterClassId::ColorMatrix, kColorMatrixFields, kColorMatrixArgs},
    {"ConvolutionFilter", FilterClassId::Convolution, kConvolutionFields, kConvolutionArgs},
    {"DisplacementMapFilter", FilterClassId::DisplacementMap, kDisplacementFields, kDisplacementArgs},
};

}  // namespace filter_tables

// Every class, in the order the machines install them.
inline constexpr std::span<const FilterClassSpec> kFilterClasses = filter_tables::kFilterClassTable;
const FilterClassSpec* filterClass(FilterClassId id);

// Lists hold at most this many numbers (a convolution matrix is at most 15 by 15).
constexpr size_t kMaxFilterList = 225;

struct FilterSetting {
  double number = 0;
  std::string text;
  std::vector<double> list;
};

// One filter object's settings, starting at the class's defaults.
struct FilterSettings {
  explicit FilterSettings(const FilterClassSpec& c);
  const FilterClassSpec* cls;
  std::vector<FilterSetting> slots;  // by the place of the class's fields
  // A displacement map's bitmap (null: none, and the filter draws nothing), where the
  // map's top-left corner goes, and whether its BitmapData is transparent.
  std::shared_ptr<render::Bitmap> map;
  double mapX = 0, mapY = 0;
  bool mapTransparent = true;

  FilterClassId id() const { return cls->id; }
  // 0, "" and an empty list for names the class does not have.
  double number(std::string_view name) const;
  const std::string& text(std::string_view name) const;
  const std::vector<double>& list(std::string_view name) const;
  FilterSetting* slot(std::string_view name);
};

// What a setting of `type` keeps of the number `v` (flags: 0 or 1 for its truth).
double settleFilterNumber(FilterField type, double v);
// Whether a setting of `type` takes the text `v` (others leave it as it was).
bool filterTextAllowed(FilterField type, std::string_view v);
// Sets field `i` of `f` from a number, a text or a list, as its type takes them.
void setFilterNumber(FilterSettings& f, size_t i, double v);
void setFilterText(FilterSettings& f, size_t i, std::string_view v);
void setFilterList(FilterSettings& f, size_t i, std::vector<double> v);

}  // namespace orv::movie::base
