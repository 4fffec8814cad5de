// The movie reader: headers and compression, tag parsers, and hostile input.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "movie/swf/reader.h"
#include "swf_writer.h"

using namespace orv::movie;
namespace t = orv::movie::test;

namespace {
std::shared_ptr<const swf::Movie> read(const std::vector<uint8_t>& bytes) {
  swf::ReadResult r = swf::readMovie(bytes);
  EXPECT_TRUE(r.movie) << r.error;
  return r.movie;
}

std::vector<uint8_t> twoFrameTags() {
  return t::concat({t::backgroundColor(10, 20, 30), t::defineRect(1, 200, 100, 255, 0, 0),
                    t::placeObject2({.depth = 1, .character = 1}), t::showFrame(),
                    t::frameLabel("second"), t::showFrame()});
}
}  // namespace

TEST(Reader, LabelsDifferingOnlyInCaseAreOneLabelOfTheEarliestFrame) {
  // Frame 2 is "Late", frame 3 "late" and "EARLY", frame 4 "early": a lookup ignores case
  // and takes the earliest frame, even over a later exact match.
  auto m = read(t::movie(
      t::concat({t::showFrame(), t::frameLabel("Late"), t::showFrame(), t::frameLabel("late"),
                 t::frameLabel("EARLY"), t::showFrame(), t::frameLabel("early"), t::showFrame()}),
      {.version = 6, .frameCount = 4}));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->root.findLabel("late"), 1);
  EXPECT_EQ(m->root.findLabel("LATE"), 1);
  EXPECT_EQ(m->root.findLabel("early"), 2);
  EXPECT_EQ(m->root.findLabel("Early"), 2);
  EXPECT_EQ(m->root.findLabel("earl"), -1);
}

TEST(Reader, HeaderFactsForUncompressedAndZlibMovies) {
  for (char compression : {'F', 'C'}) {
    auto m = read(t::movie(twoFrameTags(), {.version = 7,
                                            .width = 4000,
                                            .height = 3000,
                                            .rateWhole = 24,
                                            .rateFraction = 128,
                                            .frameCount = 2,
                                            .compression = compression}));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.compression, compression);
    EXPECT_EQ(m->header.version, 7);
    EXPECT_EQ(m->header.frameSize, (swf::Rect{0, 4000, 0, 3000}));
    EXPECT_DOUBLE_EQ(m->header.frameRate, 24.5);
    EXPECT_EQ(m->root.frames.size(), 2u);
    ASSERT_TRUE(m->backgroundColor);
    EXPECT_EQ(*m->backgroundColor, (swf::RGBA{10, 20, 30, 255}));
    EXPECT_EQ(m->root.findLabel("SECOND"), 1);
    EXPECT_EQ(m->root.findLabel("third"), -1);
    EXPECT_FALSE(m->truncated);
    EXPECT_EQ(m->tagCounts.at(1), 2u);
  }
}

TEST(Reader, LzmaMoviesReadLikeTheOthers) {
  std::vector<uint8_t> fws = t::movie(twoFrameTags(), {.frameCount = 2});
  char path[] = "/tmp/orv_zwsXXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  FILE* f = fdopen(fd, "wb");
  fwrite(fws.data() + 8, 1, fws.size() - 8, f);
  fclose(f);
  std::string cmd = std::string("xz --format=lzma -c ") + path + " > " + path + ".lzma 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "xz is not available";
  std::ifstream in(std::string(path) + ".lzma", std::ios::binary);
  std::vector<uint8_t> lz((std::istreambuf_iterator<char>(in)), {});
  std::remove(path);
  std::remove((std::string(path) + ".lzma").c_str());
  ASSERT_GT(lz.size(), 13u);
  // ZWS: signature, version, full length, compressed length, properties, raw stream.
  std::vector<uint8_t> zws = {'Z', 'W', 'S', 13};
  zws.insert(zws.end(), fws.begin() + 4, fws.begin() + 8);
  uint32_t clen = static_cast<uint32_t>(lz.size() - 13);
  for (int i = 0; i < 4; ++i) zws.push_back(static_cast<uint8_t>(clen >> (8 * i)));
  zws.insert(zws.end(), lz.begin(), lz.begin() + 5);
  zws.insert(zws.end(), lz.begin() + 13, lz.end());
  auto m = read(zws);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->header.compression, 'Z');
  EXPECT_EQ(m->root.frames.size(), 2u);
  EXPECT_NE(m->get<swf::ShapeDef>(1), nullptr);
}

TEST(Reader, RefusesWhatIsNotAMovieWithAReason) {
  for (const std::vector<uint8_t>& bad :
       std::vector<std::vector<uint8_t>>{{},
                                         {'F', 'W', 'S'},
                                         {'G', 'I', 'F', '8', '9', 'a', 0, 0},
                                         {'F', 'W', 'S', 0, 8, 0, 0, 0, 0},
                                         {'C', 'W', 'S', 8, 100, 0, 0, 0, 1, 2, 3, 4}}) {
    swf::ReadResult r = swf::readMovie(bad);
    EXPECT_FALSE(r.movie);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(r.error.find('\n'), std::string::npos);
  }
}

TEST(Reader, TruncatedMovieKeepsTheFramesItHas) {
  std::vector<uint8_t> tags = t::concat(
      {t::defineRect(1, 100, 100, 0, 0, 255), t::placeObject2({.depth = 1, .character = 1}),
       t::showFrame(), t::showFrame(), t::showFrame(), t::defineRect(2, 100, 100, 0, 0, 255)});
  for (char compression : {'F', 'C'}) {
    std::vector<uint8_t> full = t::movie(tags, {.frameCount = 3, .compression = compression});
    std::vector<uint8_t> cut(full.begin(), full.end() - (compression == 'F' ? 20 : 12));
    auto m = read(cut);
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->truncated);
    EXPECT_FALSE(m->warning.empty());
    EXPECT_GE(m->root.frames.size(), 3u);
  }
}

TEST(Reader, ShapeRecordsBecomeAbsoluteEdgesWithTheirStyles) {
  auto m = read(t::movie(t::defineRect(5, 300, 200, 1, 2, 3, 3)));
  ASSERT_TRUE(m);
  const swf::ShapeDef* s = m->get<swf::ShapeDef>(5);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->version, 3);
  EXPECT_EQ(s->bounds, (swf::Rect{0, 300, 0, 200}));
  ASSERT_EQ(s->shape.styleTables.size(), 1u);
  EXPECT_EQ(s->shape.styleTables[0].fills[0].color, (swf::RGBA{1, 2, 3, 255}));
  EXPECT_EQ(s->shape.styleTables[0].lines[0].width, 20);
  std::vector<swf::ShapeEdge> edges = swf::shapeEdges(s->shape);
  ASSERT_EQ(edges.size(), 4u);
  EXPECT_EQ(edges[0].x1, 300);
  EXPECT_EQ(edges[1].y1, 200);
  EXPECT_EQ(edges[3].x1, 0);
  EXPECT_EQ(edges[3].y1, 0);
  for (const auto& e : edges) {
    EXPECT_EQ(e.fill0, 0u);
    EXPECT_EQ(e.fill1, 1u);
    EXPECT_EQ(e.line, 1u);
  }
}

TEST(Reader, GradientAndLineStyle2AndNewStyles) {
  t::BitWriter s;
  s.u16(9);
  s.rect(0, 100, 0, 100);
  s.rect(0, 100, 0, 100);
  s.u8(0x02);  // non-scaling strokes
  s.u8(1);     // fills: one focal gradient
  s.u8(0x13);
  s.matrix(0, 0, std::make_pair(0.5, 0.5));
  s.ub(1, 2);
  s.ub(1, 2);
  s.ub(2, 4);  // reflect, linear RGB, 2 stops
  s.u8(0);
  s.rgba(255, 0, 0, 255);
  s.u8(255);
  s.rgba(0, 0, 255, 128);
  s.u16(static_cast<uint16_t>(-128));  // focal -0.5
  s.u8(1);                             // lines: one LINESTYLE2
  s.u16(40);
  s.ub(2, 2);
  s.ub(2, 2);
  s.flag(false);
  s.flag(true);
  s.flag(false);
  s.flag(true);
  s.ub(0, 5);
  s.flag(true);
  s.ub(1, 2);
  s.u16(0x0300);  // miter 3.0
  s.rgba(9, 8, 7, 6);
  s.ub(1, 4);
  s.ub(1, 4);
  // style change with new styles: empty tables, then bits 0/0
  s.ub(0, 1);
  s.ub(1, 1);
  s.ub(0, 1);
  s.ub(0, 1);
  s.ub(0, 1);
  s.ub(0, 1);
  s.align();
  s.u8(0);
  s.u8(0);
  s.ub(0, 4);
  s.ub(0, 4);
  s.ub(0, 6);
  s.align();
  auto m = read(t::movie(t::tag(83, s.bytes)));
  ASSERT_TRUE(m);
  const swf::ShapeDef* d = m->get<swf::ShapeDef>(9);
  ASSERT_TRUE(d) << m->warning;
  EXPECT_TRUE(d->usesNonScalingStrokes);
  const swf::FillStyle& f = d->shape.styleTables[0].fills[0];
  EXPECT_EQ(f.type, swf::FillType::FocalGradient);
  EXPECT_EQ(f.gradient.spread, swf::SpreadMode::Reflect);
  EXPECT_EQ(f.gradient.interpolation, swf::InterpolationMode::LinearRGB);
  ASSERT_EQ(f.gradient.records.size(), 2u);
  EXPECT_EQ(f.gradient.records[1].color.a, 128);
  EXPECT_DOUBLE_EQ(f.gradient.focalPoint, -0.5);
  EXPECT_DOUBLE_EQ(f.matrix.a, 0.5);
  const swf::LineStyle& l = d->shape.styleTables[0].lines[0];
  EXPECT_EQ(l.startCap, swf::CapStyle::Square);
  EXPECT_EQ(l.join, swf::JoinStyle::Miter);
  EXPECT_TRUE(l.noHScale);
  EXPECT_TRUE(l.pixelHinting);
  EXPECT_TRUE(l.noClose);
  EXPECT_EQ(l.endCap, swf::CapStyle::None);
  EXPECT_DOUBLE_EQ(l.miterLimit, 3.0);
  EXPECT_EQ(l.color, (swf::RGBA{9, 8, 7, 6}));
  ASSERT_EQ(d->shape.styleTables.size(), 2u);
  ASSERT_EQ(d->shape.records.size(), 1u);
  EXPECT_TRUE(d->shape.records[0].newStyles);
  EXPECT_EQ(d->shape.records[0].styleTable, 1u);
}

TEST(Reader, SpritesButtonsTextAndSoundsAreInTheDictionary) {
  // A sprite with two frames, a DefineButton2 with one action, an edit text and a sound.
  std::vector<uint8_t> sprite =
      t::defineSprite(20, 2,
                      t::concat({t::placeObject2({.depth = 1, .character = 1}), t::showFrame(),
                                 t::frameLabel("b"), t::removeObject2(1), t::showFrame()}));
  t::BitWriter b;
  b.u16(30);
  b.u8(1);   // track as menu
  b.u16(0);  // action offset placeholder (patched below)
  size_t offsetPos = 3;
  b.u8(0x0F);
  b.u16(1);
  b.u16(1);
  b.matrix(0, 0);
  b.flag(false);
  b.flag(false);
  b.ub(0, 4);
  b.align();  // record + cxform
  b.u8(0);    // end of records
  size_t actionsAt = b.bytes.size();
  b.u16(0);
  b.u8(0x08);
  b.u8(0x02 << 1);  // last; OverDownToOverUp; key code 2
  b.u8(0x07);
  b.u8(0x00);  // ActionStop, End
  b.bytes[offsetPos] = static_cast<uint8_t>(actionsAt - offsetPos);
  t::BitWriter e;
  e.u16(40);
  e.rect(0, 2000, 0, 400);
  e.u8(0x80 | 0x04);
  e.u8(0x00);  // has text, has color
  e.rgba(1, 2, 3, 255);
  e.string("v");
  e.string("hello");
  t::BitWriter snd;
  snd.u16(50);
  snd.ub(3, 4);
  snd.ub(2, 2);
  snd.flag(true);
  snd.flag(false);  // PCM LE, 22 kHz, 16 bit, mono
  snd.u32(2);
  snd.u16(1);
  snd.u16(2);
  t::BitWriter start;
  start.u16(50);
  start.u8(0x04 | 0x01 | 0x20);  // loops, in point, sync stop
  start.u32(10);
  start.u16(3);
  auto m = read(t::movie(t::concat({t::defineRect(1, 10, 10, 0, 0, 0), sprite, t::tag(34, b.bytes),
                                    t::tag(37, e.bytes), t::tag(14, snd.bytes),
                                    t::tag(15, start.bytes), t::showFrame()})));
  ASSERT_TRUE(m);
  const swf::SpriteDef* sp = m->get<swf::SpriteDef>(20);
  ASSERT_TRUE(sp);
  EXPECT_EQ(sp->timeline.frames.size(), 2u);
  EXPECT_EQ(sp->timeline.findLabel("b"), 1);
  const swf::ButtonDef* btn = m->get<swf::ButtonDef>(30);
  ASSERT_TRUE(btn);
  EXPECT_TRUE(btn->trackAsMenu);
  ASSERT_EQ(btn->records.size(), 1u);
  EXPECT_TRUE(btn->records[0].hitTest && btn->records[0].up);
  ASSERT_EQ(btn->actions.size(), 1u);
  EXPECT_EQ(btn->actions[0].conditions, 0x0008);
  EXPECT_EQ(btn->actions[0].keyCode, 2);
  EXPECT_EQ(btn->actions[0].actions, (std::vector<uint8_t>{0x07, 0x00}));
  const swf::EditTextDef* et = m->get<swf::EditTextDef>(40);
  ASSERT_TRUE(et);
  EXPECT_EQ(et->initialText, "hello");
  EXPECT_EQ(et->variableName, "v");
  EXPECT_EQ(et->textColor, (swf::RGBA{1, 2, 3, 255}));
  const swf::SoundDef* sd = m->get<swf::SoundDef>(50);
  ASSERT_TRUE(sd);
  EXPECT_EQ(sd->format.format, swf::SoundFormat::PcmLittle);
  EXPECT_EQ(sd->format.rate, 22050u);
  EXPECT_TRUE(sd->format.is16Bit);
  EXPECT_EQ(sd->data.size(), 4u);
  ASSERT_EQ(m->root.frames[0].sounds.size(), 1u);
  const swf::SoundInfo& info = m->root.frames[0].sounds[0].info;
  EXPECT_TRUE(info.syncStop);
  EXPECT_EQ(info.inPoint, 10u);
  EXPECT_EQ(info.loopCount, 3);
}

TEST(Reader, PlaceObject3SkipsFiltersAndKeepsClipActions) {
  t::BitWriter p;
  p.u8(0x80 | 0x02);  // clip actions, character
  p.u8(0x01 | 0x02);  // filters, blend mode
  p.u16(3);
  p.u16(1);
  p.u8(2);  // two filters
  p.u8(1);
  for (int i = 0; i < 9; ++i) p.u8(0);  // blur
  p.u8(4);
  p.u8(2);
  for (int i = 0; i < 10 + 19; ++i) p.u8(0);  // gradient glow, 2 colours
  p.u8(3);                                    // blend: multiply
  p.u16(0);
  p.u32(0x3);  // reserved, all events
  p.u32(0x1);
  p.u32(2);
  p.u8(0x07);
  p.u8(0);  // onClipEvent(load) { stop(); }
  p.u32(0x20000);
  p.u32(2);
  p.u8(65);
  p.u8(0);  // keyPress "A" {}
  p.u32(0);
  auto m = read(t::movie(
      t::concat({t::defineRect(1, 10, 10, 0, 0, 0), t::tag(70, p.bytes), t::showFrame()})));
  ASSERT_TRUE(m);
  const auto& po = std::get<swf::PlaceObject>(m->root.frames[0].displayTags.at(0));
  EXPECT_EQ(po.version, 3);
  EXPECT_EQ(po.depth, 3);
  EXPECT_TRUE(po.hasFilters);
  EXPECT_EQ(po.blendMode, 3);
  ASSERT_EQ(po.clipActions.size(), 2u);
  EXPECT_EQ(po.clipActions[0].events, swf::ClipEvent::Load);
  EXPECT_EQ(po.clipActions[0].actions, (std::vector<uint8_t>{0x07, 0x00}));
  EXPECT_EQ(po.clipActions[1].keyCode, 65);
  EXPECT_EQ(po.clipActions[1].actions.size(), 1u);
}

TEST(Reader, HostileInputNeverCrashesOrRunsAway) {
  // Mutations of a small movie: every outcome is a movie or an error, never a crash.
  std::vector<uint8_t> base = t::movie(
      t::concat({twoFrameTags(), t::defineSprite(7, 1, t::showFrame())}), {.frameCount = 2});
  std::mt19937 rng(1234);
  int loaded = 0;
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> m = base;
    int flips = 1 + static_cast<int>(rng() % 6);
    for (int k = 0; k < flips; ++k) m[8 + rng() % (m.size() - 8)] = static_cast<uint8_t>(rng());
    if (rng() % 4 == 0) m.resize(8 + rng() % (m.size() - 8));
    swf::ReadResult r = swf::readMovie(m);
    if (r.movie)
      ++loaded;
    else
      EXPECT_FALSE(r.error.empty());
  }
  EXPECT_GT(loaded, 0);
  // A header that claims 4 GiB of a zlib body that is a few bytes: no huge allocation.
  std::vector<uint8_t> liar = t::movie(twoFrameTags(), {.compression = 'C'});
  liar[4] = liar[5] = liar[6] = liar[7] = 0xFF;
  EXPECT_TRUE(swf::readMovie(liar).movie);
  // A tag claiming far more data than there is ends the movie there.
  auto m = swf::readMovie(t::movie(
      t::concat({t::showFrame(), {0x3F, 0x00, 0xFF, 0xFF, 0xFF, 0x7F}}), {.appendEnd = false}));
  ASSERT_TRUE(m.movie);
  EXPECT_TRUE(m.movie->truncated);
}

TEST(Reader, MemoryBudgetStopsHugeParses) {
  std::vector<uint8_t> frames;
  for (int i = 0; i < 5000; ++i) {
    auto f = t::showFrame();
    frames.insert(frames.end(), f.begin(), f.end());
  }
  swf::ReadLimits tight;
  tight.maxParsedBytes = 100'000;
  swf::ReadResult r = swf::readMovie(t::movie(frames), tight);
  EXPECT_FALSE(r.movie);
  EXPECT_NE(r.error.find("too large"), std::string::npos);
  EXPECT_TRUE(swf::readMovie(t::movie(frames)).movie);
}
