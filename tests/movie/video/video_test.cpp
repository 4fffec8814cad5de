// Video in movies: colour conversion, key frames, one stream's pictures as the timeline
// seeks through it, and a stream placed in a movie and drawn by the player.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "movie/player.h"
#include "movie/swf/reader.h"
#include "movie/video/embedded_video.h"
#include "movie/video/picture.h"
#include "../swf_writer.h"
#include "flv_packets.h"

namespace orv::movie::test {
namespace {

using codec::VideoCodec;
using codec::VideoPicture;

VideoPicture flatYuv(int w, int h, uint8_t y, uint8_t u, uint8_t v) {
  VideoPicture p;
  p.width = w, p.height = h;
  p.y.assign(size_t(w) * h, y);
  p.u.assign(size_t(p.chromaWidth()) * p.chromaHeight(), u);
  p.v.assign(p.u.size(), v);
  return p;
}

TEST(VideoPicture, ConvertsStudioRangeYuvWithTheBt601Matrix) {
  EXPECT_EQ(video::toBitmap(flatYuv(3, 3, 16, 128, 128)).pixels[0], 0xFF000000u);
  EXPECT_EQ(video::toBitmap(flatYuv(3, 3, 235, 128, 128)).pixels[8], 0xFFFFFFFFu);
  EXPECT_EQ(video::toBitmap(flatYuv(2, 2, 0, 128, 128)).pixels[0], 0xFF000000u);  // below black
  // The primaries as BT.601 codes them, to within the codes' rounding.
  auto near = [](uint32_t got, uint32_t want) {
    for (int shift : {0, 8, 16, 24})
      if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > 2) return false;
    return true;
  };
  EXPECT_TRUE(near(video::toBitmap(flatYuv(2, 2, 81, 90, 240)).pixels[0], 0xFFFF0000u));
  EXPECT_TRUE(near(video::toBitmap(flatYuv(2, 2, 145, 54, 34)).pixels[0], 0xFF00FF00u));
  EXPECT_TRUE(near(video::toBitmap(flatYuv(2, 2, 41, 240, 110)).pixels[0], 0xFF0000FFu));
  EXPECT_FALSE(near(video::toBitmap(flatYuv(2, 2, 41, 110, 240)).pixels[0], 0xFF0000FFu));
  // Each chroma sample covers a 2x2 block: odd sizes round the chroma planes up.
  VideoPicture p = flatYuv(3, 3, 128, 128, 128);
  p.v = {240, 128, 128, 128};
  const render::Bitmap b = video::toBitmap(p);
  EXPECT_GT((b.pixels[1] >> 16) & 0xFF, (b.pixels[2] >> 16) & 0xFF);
  EXPECT_EQ(b.pixels[0], b.pixels[4]);
  EXPECT_NE(b.pixels[4], b.pixels[8]);
}

TEST(VideoPicture, AlphaPremultipliesAsStoredAndScreenVideoIsOpaque) {
  VideoPicture p = flatYuv(2, 2, 235, 128, 128);
  p.alpha = {0, 64, 128, 255};
  const render::Bitmap b = video::toBitmap(p);
  EXPECT_EQ(b.pixels[0], 0x00000000u);
  EXPECT_EQ(b.pixels[1], 0x40404040u);
  EXPECT_EQ(b.pixels[3], 0xFFFFFFFFu);
  VideoPicture rgb;
  rgb.width = 2, rgb.height = 1, rgb.yuv = false;
  rgb.rgb = {0x123456, 0xABCDEF};
  EXPECT_EQ(video::toBitmap(rgb).pixels, (std::vector<uint32_t>{0xFF123456u, 0xFFABCDEFu}));
}

TEST(VideoPicture, PlanesOfTheWrongSizeGiveNoBitmap) {
  VideoPicture p = flatYuv(4, 4, 100, 128, 128);
  p.u.pop_back();
  EXPECT_FALSE(video::toBitmap(p).valid());
  p = flatYuv(4, 4, 100, 128, 128);
  p.alpha = {1, 2, 3};
  EXPECT_FALSE(video::toBitmap(p).valid());
  VideoPicture rgb;
  rgb.width = 5, rgb.height = 5, rgb.yuv = false;
  EXPECT_FALSE(video::toBitmap(rgb).valid());
}

TEST(VideoKeyFrames, ReadFromEachCodecsHeader) {
  const auto h263 = videoPackets("h263.flv");
  ASSERT_EQ(h263.size(), 6u);
  EXPECT_TRUE(video::isKeyFrame(VideoCodec::SorensonH263, h263[0]));
  EXPECT_FALSE(video::isKeyFrame(VideoCodec::SorensonH263, h263[1]));
  EXPECT_TRUE(video::isKeyFrame(VideoCodec::SorensonH263, h263[4]));
  EXPECT_FALSE(video::isKeyFrame(VideoCodec::SorensonH263, {h263[0].data(), 3}));
  const auto screen = videoPackets("flashsv.flv");
  ASSERT_EQ(screen.size(), 6u);
  EXPECT_TRUE(video::isKeyFrame(VideoCodec::ScreenVideo, screen[0]));
  // A block left out (size 0) makes a frame that needs the one before.
  std::vector<uint8_t> partial = {0x10, 0x40, 0x10, 0x30, 0x00, 0x00};
  EXPECT_FALSE(video::isKeyFrame(VideoCodec::ScreenVideo, partial));
  EXPECT_TRUE(video::isKeyFrame(VideoCodec::Vp6, std::vector<uint8_t>{0x00, 0x44}));
  EXPECT_FALSE(video::isKeyFrame(VideoCodec::Vp6, std::vector<uint8_t>{0x80, 0x44}));
  EXPECT_TRUE(video::isKeyFrame(VideoCodec::Vp6Alpha, std::vector<uint8_t>{0, 0, 9, 0x00}));
  EXPECT_FALSE(video::isKeyFrame(VideoCodec::Vp6Alpha, std::vector<uint8_t>{0, 0, 9}));
}

swf::VideoStreamDef streamOf(VideoCodec codec, const std::vector<std::vector<uint8_t>>& packets,
                             const std::vector<uint16_t>& numbers = {}) {
  swf::VideoStreamDef def;
  def.id = 1;
  def.width = 64, def.height = 48;
  def.codecId = uint8_t(codec);
  def.numFrames = uint16_t(packets.size());
  for (size_t i = 0; i < packets.size(); ++i)
    def.frames.push_back({numbers.empty() ? uint16_t(i) : numbers[i], packets[i]});
  return def;
}

// The pictures the library gives for the packets fed in order, outside the engine.
std::vector<std::vector<uint32_t>> decodedInOrder(VideoCodec codec,
                                                  const std::vector<std::vector<uint8_t>>& packets) {
  auto decoder = codec::makeVideoDecoder(codec);
  std::vector<std::vector<uint32_t>> out;
  VideoPicture p;
  for (const auto& packet : packets) {
    EXPECT_TRUE(decoder && decoder->decode(packet, p));
    out.push_back(video::toBitmap(p).pixels);
  }
  return out;
}

class StreamSeeking : public ::testing::TestWithParam<std::pair<VideoCodec, const char*>> {};

TEST_P(StreamSeeking, EveryFrameShowsTheLibrarysPictureWhicheverWayItIsReached) {
  const auto [codec, file] = GetParam();
  const auto packets = videoPackets(file);
  ASSERT_EQ(packets.size(), 6u);
  const auto expected = decodedInOrder(codec, packets);
  const swf::VideoStreamDef def = streamOf(codec, packets);
  const std::vector<std::vector<int>> walks = {
      {0, 1, 2, 3, 4, 5}, {5, 3, 1, 0}, {2, 5, 4, 1}, {3, 3, 0, 4}};
  for (const auto& walk : walks) {
    video::EmbeddedVideo v(def);
    for (int frame : walk) {
      auto picture = v.pictureAt(frame);
      ASSERT_TRUE(picture) << file << " frame " << frame;
      EXPECT_EQ(picture->width, 64);
      EXPECT_EQ(picture->height, 48);
      EXPECT_TRUE(picture->pixels == expected[size_t(frame)]) << file << " frame " << frame;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Codecs, StreamSeeking,
                         ::testing::Values(std::pair{VideoCodec::SorensonH263, "h263.flv"},
                                           std::pair{VideoCodec::ScreenVideo, "flashsv.flv"}));

TEST(EmbeddedVideo, ShowsTheLatestFrameAtOrBeforeTheOneAskedFor) {
  const auto packets = videoPackets("h263.flv");
  const auto expected = decodedInOrder(VideoCodec::SorensonH263, {packets[0], packets[1]});
  const auto def = streamOf(VideoCodec::SorensonH263, {packets[0], packets[1]}, {2, 5});
  video::EmbeddedVideo v(def);
  EXPECT_EQ(v.pictureAt(1), nullptr);
  EXPECT_EQ(v.pictureAt(-1), nullptr);
  ASSERT_TRUE(v.pictureAt(3));
  EXPECT_TRUE(v.pictureAt(4)->pixels == expected[0]);
  EXPECT_TRUE(v.pictureAt(900)->pixels == expected[1]);
}

TEST(EmbeddedVideo, BrokenFramesLeaveThePictureUp) {
  auto packets = videoPackets("h263.flv");
  const auto good = decodedInOrder(VideoCodec::SorensonH263, {packets[0]});
  std::vector<std::vector<uint8_t>> stream = {packets[0], {}, {0xFF, 0xFF, 0xFF},
                                              std::vector<uint8_t>(packets[1].begin(),
                                                                   packets[1].begin() + 7)};
  // Noise from a fixed seed in place of a frame.
  std::vector<uint8_t> noise(400);
  uint32_t seed = 12345;
  for (uint8_t& b : noise) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
  stream.push_back(noise);
  const auto def = streamOf(VideoCodec::SorensonH263, stream);
  video::EmbeddedVideo v(def);
  for (int frame = 0; frame < 5; ++frame) {
    auto picture = v.pictureAt(frame);
    ASSERT_TRUE(picture) << frame;
    EXPECT_EQ(picture->width, 64);
  }
  EXPECT_TRUE(v.pictureAt(1)->pixels == good[0]);
}

TEST(EmbeddedVideo, AbsurdSizesAndUnknownCodecsShowNothing) {
  // A key frame header claiming a 65535 x 65535 picture.
  std::vector<uint8_t> huge = {0x00, 0x00, 0x84, 0x00, 0x4F, 0xFF, 0xFF, 0xFF, 0xFF, 0x80};
  huge.resize(64, 0);
  const auto hugeDef = streamOf(VideoCodec::SorensonH263, {huge});
  video::EmbeddedVideo big(hugeDef);
  EXPECT_EQ(big.pictureAt(0), nullptr);
  const auto packets = videoPackets("h263.flv");
  swf::VideoStreamDef unknown = streamOf(VideoCodec::SorensonH263, {packets[0]});
  unknown.codecId = 9;
  video::EmbeddedVideo none(unknown);
  EXPECT_EQ(none.pictureAt(0), nullptr);
  EXPECT_EQ(none.pictureAt(0), nullptr);
}

// VP6 has no encoder in Debian's tools: its streams come from the corpus's movies.
TEST(EmbeddedVideo, Vp6WithAlphaKeepsItsTransparency) {
  const auto path = std::filesystem::path(ORV_CORPUS_DIR) / "visual/video/vp6_alphaoffset/test.swf";
  std::ifstream f(path, std::ios::binary);
  if (!f) GTEST_SKIP() << "no corpus movie at " << path;
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), {}};
  const auto read = swf::readMovie(bytes);
  ASSERT_TRUE(read.movie) << read.error;
  const auto* stream = std::get_if<swf::VideoStreamDef>(read.movie->find(0));
  ASSERT_TRUE(stream);
  ASSERT_EQ(stream->codecId, uint8_t(VideoCodec::Vp6Alpha));
  const auto expected = decodedInOrder(VideoCodec::Vp6Alpha, {stream->frames[0].data});
  video::EmbeddedVideo v(*stream);
  const auto picture = v.pictureAt(0);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, stream->width);
  EXPECT_TRUE(picture->pixels == expected[0]);
  size_t clear = 0, opaque = 0;
  for (uint32_t px : picture->pixels) {
    clear += (px >> 24) == 0;
    opaque += (px >> 24) == 0xFF;
    ASSERT_LE((px >> 16) & 0xFF, px >> 24);  // premultiplied
  }
  EXPECT_GT(clear, picture->pixels.size() / 10);
  EXPECT_GT(opaque, picture->pixels.size() / 10);
}

// DefineVideoStream: id, frame count, width, height, flags, codec.
std::vector<uint8_t> defineVideoStream(uint16_t id, uint16_t frames, uint16_t w, uint16_t h,
                                       VideoCodec codec) {
  BitWriter b;
  b.u16(id), b.u16(frames), b.u16(w), b.u16(h);
  b.u8(0x02);  // deblocking off, no smoothing
  b.u8(uint8_t(codec));
  return tag(60, b.bytes);
}

std::vector<uint8_t> videoFrame(uint16_t id, uint16_t frame, const std::vector<uint8_t>& data) {
  BitWriter b;
  b.u16(id), b.u16(frame);
  b.raw(data);
  return tag(61, b.bytes, true);
}

TEST(VideoInMovies, ThePlacedStreamShowsTheFrameItsRatioNamesStretchedToItsSize) {
  const auto packets = videoPackets("h263.flv");
  const auto expected = decodedInOrder(VideoCodec::SorensonH263, packets);
  // A 128 x 96 stream of 64 x 48 pictures at (0, 0), its ratio following the frames.
  std::vector<uint8_t> tags = defineVideoStream(1, 6, 128, 96, VideoCodec::SorensonH263);
  for (uint16_t f = 0; f < 6; ++f) {
    const auto frameTag = videoFrame(1, f, packets[f]);
    tags.insert(tags.end(), frameTag.begin(), frameTag.end());
    Place place{.depth = 1, .move = f > 0, .ratio = f};
    if (f == 0) place.character = 1;
    for (const auto& t : {placeObject2(place), showFrame()}) tags.insert(tags.end(), t.begin(), t.end());
  }
  MovieOptions options;
  options.width = 128 * 20, options.height = 96 * 20;
  options.frameCount = 6;
  Player player;
  ASSERT_TRUE(player.loadBytes(movie(tags, options)));
  player.setQuality(Quality::Low);
  player.start();
  Pixmap pix;
  pix.width = 128, pix.height = 96;
  for (int frame = 0; frame < 6; ++frame) {
    if (frame > 0) player.advance(player.framePeriodMs());
    player.render(pix, player.stage());
    // Each picture pixel covers 2 x 2 pixels of the stage.
    for (int y : {1, 31, 95})
      for (int x : {0, 64, 127})
        EXPECT_EQ(pix.pixels[size_t(y) * 128 + x], expected[size_t(frame)][size_t(y / 2) * 64 + x / 2])
            << "frame " << frame << " at " << x << "," << y;
  }
}

}  // namespace
}  // namespace orv::movie::test
