// The about box's music player, driven through a recording output.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "about/music_player.h"
#include "support/recording_output.h"
#include "movie/sound/sound_test_util.h"

namespace orv::movie::sound {
namespace {

using test::lumvexPath;
using test::rms;
using test::soundDataPath;

std::vector<int16_t> side(const PcmAudio& a, int c) { return test::channel(a, c); }

class MusicPlayerTest : public ::testing::Test {
 protected:
  RecordingOutput output{44100};
  std::string tempPath(const char* name) { return ::testing::TempDir() + name; }
};

TEST_F(MusicPlayerTest, StartsOnAssignmentWithTheControlsDefaults) {
  MusicPlayer player(output);
  EXPECT_FALSE(output.started());  // no device is opened before there is music
  EXPECT_FALSE(player.isPlaying());
  EXPECT_TRUE(player.autoStart());
  EXPECT_EQ(player.playCount(), 20);
  EXPECT_EQ(player.volume(), 0);
  EXPECT_EQ(player.balance(), 0);
  EXPECT_EQ(player.rate(), 1.0);
  EXPECT_FALSE(player.mute());

  player.setFileName(lumvexPath());
  EXPECT_TRUE(player.isPlaying());
  EXPECT_TRUE(output.started());
  EXPECT_NEAR(player.duration(), 7.0, 0.1);
  output.pull(44100);
  PcmAudio heard = output.recording();
  // Volume 0 is full loudness: the music is there from the first moments.
  EXPECT_GT(rms(side(heard, 0), 0, 4410), 1000.0);
  EXPECT_GT(rms(side(heard, 1)), 3000.0);
}

TEST_F(MusicPlayerTest, PlaysTwentyTimesInARowThenFallsSilent) {
  MusicPlayer player(output);
  player.setFileName(lumvexPath());
  const size_t length = size_t(std::lround(player.duration() * 44100));
  output.pull(length);
  const std::vector<int16_t> firstPlay = output.recording().samples;
  EXPECT_EQ(player.playsCompleted(), 0);
  for (int play = 1; play < 20; ++play) {
    output.clear();
    output.pull(length);
    // Each repeat is the same music again (the file's rate equals the output's).
    ASSERT_EQ(output.recording().samples, firstPlay) << "play " << play + 1;
    EXPECT_TRUE(player.isPlaying());
  }
  EXPECT_EQ(player.playsCompleted(), 19);
  output.clear();
  output.pull(44100);
  EXPECT_FALSE(player.isPlaying());
  EXPECT_EQ(rms(output.recording().samples), 0.0);
  // play() starts over with all twenty plays.
  player.play();
  EXPECT_TRUE(player.isPlaying());
  EXPECT_EQ(player.playsCompleted(), 0);
  output.clear();
  output.pull(length);
  EXPECT_EQ(output.recording().samples, firstPlay);
}

TEST_F(MusicPlayerTest, PlayRestartsFromTheBeginning) {
  MusicPlayer player(output);
  player.setFileName(lumvexPath());
  output.pull(20000);
  const auto opening = output.recording().samples;
  output.pull(30000);
  player.play();
  output.clear();
  output.pull(20000);
  EXPECT_EQ(output.recording().samples, opening);
}

TEST_F(MusicPlayerTest, VolumeBalanceMuteAndRate) {
  MusicPlayer player(output);
  player.setFileName(lumvexPath());
  output.pull(44100);
  const double full = rms(output.recording().samples);

  player.setVolume(-600);  // -6 dB: about half
  output.clear();
  player.play();
  output.pull(44100);
  EXPECT_NEAR(rms(output.recording().samples) / full, 0.501, 0.01);

  player.setVolume(-10000);
  output.clear();
  output.pull(4410);
  EXPECT_EQ(rms(output.recording().samples), 0.0);
  player.setVolume(5);  // beyond the scale: clamped to loudest
  EXPECT_EQ(player.volume(), 0);

  player.setBalance(10000);  // right only
  player.play();
  output.clear();
  output.pull(44100);
  EXPECT_EQ(rms(side(output.recording(), 0)), 0.0);
  EXPECT_GT(rms(side(output.recording(), 1)), 1000.0);
  player.setBalance(0);

  player.setMute(true);  // silent, but the music goes on
  output.clear();
  output.pull(4410);
  EXPECT_EQ(rms(output.recording().samples), 0.0);
  EXPECT_TRUE(player.isPlaying());
  player.setMute(false);

  player.setPlayCount(1);
  player.setRate(2.0);
  player.play();
  output.clear();
  output.pull(size_t(player.duration() * 44100 / 2) + 100);
  EXPECT_FALSE(player.isPlaying());
}

TEST_F(MusicPlayerTest, DestructionSilencesAtOnce) {
  {
    MusicPlayer player(output);
    player.setFileName(lumvexPath());
    output.pull(1000);
  }
  EXPECT_FALSE(output.started());
  output.clear();
  output.pull(4410);
  EXPECT_EQ(rms(output.recording().samples), 0.0);
}

TEST_F(MusicPlayerTest, UnusableFilesAreReportedAndPlayNothing) {
  MusicPlayer player(output);
  EXPECT_THROW(player.setFileName(tempPath("no-such-file.mp3")), MusicError);
  EXPECT_THROW(player.setFileName(::testing::TempDir()), MusicError);  // a folder

  const std::string garbage = tempPath("garbage.mp3");
  std::ofstream(garbage, std::ios::binary) << "this is not music, just some text\n";
  EXPECT_THROW(player.setFileName(garbage), MusicError);

  auto bytes = test::readBytes(soundDataPath("tone440_mono_22k.mp3"));
  const std::string cut = tempPath("cut.mp3");
  std::ofstream(cut, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size() / 2 + 7));
  EXPECT_THROW(player.setFileName(cut), MusicError);
  EXPECT_FALSE(player.isPlaying());
  output.pull(1000);
  EXPECT_EQ(rms(output.recording().samples), 0.0);

  // A good file after bad ones plays; a bad one after it stops it.
  player.setFileName(soundDataPath("tone440_mono_22k.mp3"));
  EXPECT_TRUE(player.isPlaying());
  EXPECT_THROW(player.setFileName(garbage), MusicError);
  EXPECT_FALSE(player.isPlaying());
  std::remove(garbage.c_str());
  std::remove(cut.c_str());
}

TEST(RecordingOutput, WritesAPlayableWavFile) {
  PcmAudio audio{22050, 2, {1, -1, 2, -2, 32767, -32768}};
  const std::string path = ::testing::TempDir() + "out.wav";
  ASSERT_TRUE(writeWavFile(path, audio));
  auto bytes = test::readBytes(path);
  ASSERT_EQ(bytes.size(), 44u + 12u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(bytes[22], 2);                         // channels
  EXPECT_EQ(bytes[24] | (bytes[25] << 8), 22050);  // rate
  EXPECT_EQ(bytes[34], 16);                        // bits
  EXPECT_EQ(bytes[40], 12);                        // data bytes
  EXPECT_EQ(bytes[52], 0xFF);                      // 32767 little-endian
  EXPECT_EQ(bytes[53], 0x7F);
  EXPECT_FALSE(writeWavFile("/nonexistent-dir/x.wav", audio));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace orv::movie::sound
