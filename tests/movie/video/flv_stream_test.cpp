// FLV files as NetStream plays them: the reader on the small files ffmpeg made beside the
// tests (data/make.sh) and on cut and damaged copies, and the stream's clock, events and
// pictures.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "movie/video/flv.h"
#include "movie/video/flv_stream.h"

namespace orv::movie::video {
namespace {

std::vector<uint8_t> dataFile(const std::string& name) {
  std::ifstream f(std::string(ORV_SOURCE_DIR) + "/tests/movie/video/data/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

const saves::AmfValue* member(const FlvScript& s, const std::string& name) {
  if (s.value.type != saves::AmfValue::Type::Node || s.value.node >= s.graph.nodes.size()) return nullptr;
  for (const auto& [n, v] : s.graph.nodes[s.value.node].members)
    if (n == name) return &v;
  return nullptr;
}

// A tag of `type` at `ms` holding `data`, with its PreviousTagSize.
void appendTag(std::vector<uint8_t>& out, uint8_t type, uint32_t ms, const std::vector<uint8_t>& data) {
  const size_t n = data.size();
  out.insert(out.end(), {type, uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), uint8_t(ms >> 16),
                         uint8_t(ms >> 8), uint8_t(ms), uint8_t(ms >> 24), 0, 0, 0});
  out.insert(out.end(), data.begin(), data.end());
  const size_t total = n + 11;
  out.insert(out.end(), {uint8_t(total >> 24), uint8_t(total >> 16), uint8_t(total >> 8), uint8_t(total)});
}

std::vector<uint8_t> header(uint8_t flags) { return {'F', 'L', 'V', 1, flags, 0, 0, 0, 9, 0, 0, 0, 0}; }

// A script tag calling `name` with an object {time: seconds, name: label}.
std::vector<uint8_t> cuePoint(double seconds, const std::string& label) {
  saves::AmfGraph graph;
  saves::AmfNode node;
  node.members = {{"time", saves::AmfValue::of(seconds)}, {"name", saves::AmfValue::of(label)}};
  const uint32_t index = graph.add(node);
  std::vector<uint8_t> out;
  saves::Amf0Writer w(graph, out);
  w.value(saves::AmfValue::of(std::string("onCuePoint")));
  w.value(saves::AmfValue::at(index));
  return out;
}

TEST(FlvReader, ReadsTagsMetadataAndKeyFramesOfAnFfmpegFile) {
  const std::vector<uint8_t> bytes = dataFile("h263.flv");
  std::optional<FlvFile> f = readFlv(bytes);
  ASSERT_TRUE(f);
  EXPECT_TRUE(f->error.empty()) << f->error;
  EXPECT_TRUE(f->hasVideo);
  EXPECT_FALSE(f->hasAudio);
  std::vector<int64_t> times;
  for (const FlvTag& t : f->tags)
    if (t.type == FlvTag::Type::Video) {
      EXPECT_EQ(t.codec, 2);
      times.push_back(t.timeMs);
    }
  EXPECT_EQ(times, (std::vector<int64_t>{0, 100, 200, 300, 400, 500}));
  ASSERT_EQ(f->keyFrames.size(), 2u);
  EXPECT_EQ(f->tags[f->keyFrames[1]].timeMs, 400);
  EXPECT_EQ(f->tags[size_t(f->keyFrameBefore(350))].timeMs, 0);
  EXPECT_EQ(f->tags[size_t(f->keyFrameBefore(450))].timeMs, 400);
  ASSERT_FALSE(f->scripts.empty());
  EXPECT_EQ(f->scripts[0].name, "onMetaData");
  const saves::AmfValue* width = member(f->scripts[0], "width");
  ASSERT_TRUE(width);
  EXPECT_EQ(width->number, 64);
}

TEST(FlvReader, AudioTagsSayTheirFormat) {
  std::optional<FlvFile> f = readFlv(dataFile("nelly16.flv"));
  ASSERT_TRUE(f);
  size_t audio = 0;
  for (const FlvTag& t : f->tags)
    if (t.type == FlvTag::Type::Audio) {
      ++audio;
      EXPECT_EQ(t.soundFormat, 4);  // Nellymoser 16 kHz
      EXPECT_FALSE(t.stereo);
    }
  EXPECT_GT(audio, 0u);
}

TEST(FlvReader, CutAndDamagedFilesGiveErrorsNeverACrash) {
  const std::vector<uint8_t> whole = dataFile("blue_yellow.flv");
  ASSERT_GT(whole.size(), 100u);
  const size_t wholeTags = readFlv(whole)->tags.size();
  for (size_t n = 0; n < whole.size(); n += 7) {
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(n));
    std::optional<FlvFile> f = readFlv(cut);
    if (n < 9) {
      EXPECT_FALSE(f);
      continue;
    }
    ASSERT_TRUE(f);
    EXPECT_LE(f->tags.size(), wholeTags);
    for (const FlvTag& t : f->tags) EXPECT_LE(t.offset + t.size, cut.size());
  }
  std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(whole.size() / 2));
  EXPECT_FALSE(readFlv(cut)->error.empty());
  // Random damage: whatever is read stays inside the bytes, and a stream plays it.
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> bad = whole;
    for (int i = 0; i < 8; ++i) bad[9 + random() % (bad.size() - 9)] = uint8_t(random());
    if (std::optional<FlvFile> f = readFlv(bad)) {
      for (const FlvTag& t : f->tags) ASSERT_LE(t.offset + t.size, bad.size());
    }
    FlvStream s;
    s.play(bad);
    for (int i = 0; i < 25; ++i) {
      s.advance(100);
      s.picture();
    }
    s.seek(0.5);
    s.picture();
  }
  // A tag claiming more data than there is, and an offset past the end.
  std::vector<uint8_t> huge = header(1);
  huge.insert(huge.end(), {9, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0x12});
  EXPECT_FALSE(readFlv(huge)->error.empty());
  std::vector<uint8_t> far = {'F', 'L', 'V', 1, 1, 0xFF, 0xFF, 0xFF, 0xFF};
  ASSERT_TRUE(readFlv(far));
  EXPECT_TRUE(readFlv(far)->tags.empty());
}

std::vector<std::string> drain(FlvStream& s) {
  std::vector<std::string> out;
  while (std::optional<StreamEvent> e = s.nextEvent())
    out.push_back(e->isStatus() ? e->code + "/" + e->level : e->handler);
  return out;
}

uint32_t middlePixel(FlvStream& s) {
  auto p = s.picture();
  if (!p) return 0;
  return p->pixels[size_t(p->height / 2) * size_t(p->width) + size_t(p->width / 2)];
}
bool blueish(uint32_t argb) { return (argb & 0xFF) > 150 && ((argb >> 16) & 0xFF) < 80; }
bool yellowish(uint32_t argb) { return ((argb >> 16) & 0xFF) > 180 && (argb & 0xFF) < 80; }

TEST(FlvStream, PlaysByTheClockSeeksToKeyFramesAndReportsInThePlayersOrder) {
  FlvStream s;
  s.play(dataFile("blue_yellow.flv"));
  EXPECT_EQ(drain(s), (std::vector<std::string>{"NetStream.Play.Start/status",
                                                "NetStream.Buffer.Full/status", "onMetaData"}));
  EXPECT_TRUE(blueish(middlePixel(s)));
  EXPECT_EQ(s.pictureWidth(), 64);
  EXPECT_EQ(s.pictureHeight(), 48);
  s.advance(500);
  EXPECT_DOUBLE_EQ(s.timeSeconds(), 0.5);
  EXPECT_NEAR(s.currentFps(), 10, 0.01);
  EXPECT_GT(s.bytesTotal(), 0);
  s.advance(600);
  EXPECT_TRUE(yellowish(middlePixel(s)));
  // Back to the key frame at or before the time asked for: 1 s for 1.5, 0 for 0.9.
  s.seek(1.5);
  EXPECT_DOUBLE_EQ(s.timeSeconds(), 1.0);
  EXPECT_TRUE(yellowish(middlePixel(s)));
  s.seek(0.9);
  EXPECT_DOUBLE_EQ(s.timeSeconds(), 0);
  EXPECT_TRUE(blueish(middlePixel(s)));
  // The metadata at 0 is not sent again.
  EXPECT_EQ(drain(s), (std::vector<std::string>{"NetStream.Seek.Notify/status", "NetStream.Seek.Notify/status"}));
  s.pause(std::nullopt);
  s.advance(300);
  EXPECT_DOUBLE_EQ(s.timeSeconds(), 0);  // paused: the clock does not move it
  EXPECT_EQ(s.currentFps(), 0);
  s.pause(true);  // already paused: nothing
  s.pause(false);
  EXPECT_EQ(drain(s), (std::vector<std::string>{"NetStream.Pause.Notify/status", "NetStream.Unpause.Notify/status"}));
  s.setPauseNotices(false);
  s.pause(std::nullopt);
  s.pause(std::nullopt);
  EXPECT_TRUE(drain(s).empty());
  s.advance(5000);
  EXPECT_DOUBLE_EQ(s.timeSeconds(), 2.0);
  EXPECT_EQ(drain(s), (std::vector<std::string>{"NetStream.Buffer.Flush/status", "NetStream.Play.Stop/status",
                                                "NetStream.Buffer.Empty/status"}));
  s.advance(100);
  EXPECT_TRUE(drain(s).empty());
  // Played again, the events of the last play not yet heard are dropped.
  s.seek(1.95);
  s.advance(200);
  s.play(dataFile("blue_yellow.flv"));
  EXPECT_EQ(drain(s).front(), "NetStream.Play.Start/status");
  s.play(std::nullopt);
  EXPECT_EQ(drain(s), (std::vector<std::string>{"NetStream.Play.StreamNotFound/error"}));
  EXPECT_FALSE(s.picture());
  s.play(std::vector<uint8_t>{'n', 'o', 't', ' ', 'f', 'l', 'v', 0, 0, 0});
  EXPECT_EQ(drain(s), (std::vector<std::string>{"NetStream.Play.FileStructureInvalid/error"}));
}

TEST(FlvStream, CuePointsArriveWhenTheirTimeComesAndH264ShowsNothing) {
  std::vector<uint8_t> f = header(1);
  appendTag(f, 18, 0, cuePoint(0, "start"));
  appendTag(f, 9, 0, {0x17, 0, 0, 0, 0, 1, 2, 3});  // H.264 key frame
  appendTag(f, 18, 300, cuePoint(0.3, "middle"));
  appendTag(f, 9, 400, {0x27, 1, 0, 0, 0, 4, 5});
  FlvStream s;
  s.play(f);
  std::optional<StreamEvent> e;
  for (int i = 0; i < 2; ++i) s.nextEvent();
  e = s.nextEvent();
  ASSERT_TRUE(e && e->script);
  EXPECT_EQ(e->handler, "onCuePoint");
  EXPECT_FALSE(s.nextEvent());
  s.advance(250);
  EXPECT_FALSE(s.nextEvent());
  s.advance(100);
  e = s.nextEvent();
  ASSERT_TRUE(e && e->script);
  EXPECT_EQ(member(*e->script, "name")->text, "middle");
  EXPECT_FALSE(s.picture());
  EXPECT_EQ(s.pictureWidth(), 0);
}

}  // namespace
}  // namespace orv::movie::video
