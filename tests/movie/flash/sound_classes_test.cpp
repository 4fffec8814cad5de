// flash.media on the player: a class linked to an embedded sound plays it through the
// movie's mixer on a channel of its own (position, stop, loops, gains, soundComplete);
// SoundTransform's factors; SoundMixer over every sound at once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "../sound/sound_movies.h"
#include "doc_script.h"
#include "movie/avm2/conversions.h"
#include "movie/avm2/machine.h"
#include "movie/flash/bytearray.h"

namespace orv::movie {
namespace {

using avm2::Value;

int completions = 0;
Value countCompletion(avm2::Machine&, const Value&, std::span<Value>) {
  ++completions;
  return Value();
}

// A movie whose class Snd is linked to half a second of a 440 Hz tone (mono, 44.1 kHz),
// its script objects reached as scripts reach them.
struct SoundMovie {
  Player player;
  std::vector<std::string> lines;
  std::vector<Value> held;  // what the test holds lives through collections

  SoundMovie() {
    DocScript s;
    const auto tone = test::sine(22050, 440, 10000);
    const auto tags = test::concat(
        {test::fileAttributes(), test::defineSound(5, test::pcm16(tone), 22050),
         test::doAbc(s.abcBytes({"Snd"}, "Sound", "flash.media"), "frame1"),
         test::symbolClass({{0, "Doc"}, {5, "Snd"}}), test::showFrame()});
    player.setTraceSink([this](const std::string& l) { lines.push_back(l); });
    EXPECT_TRUE(player.loadBytes(test::movie(tags, {.version = 10})));
    player.start();
    m().setTimeLimit(10000);
    m().frameRoots.push_back(&held);
    completions = 0;
  }
  ~SoundMovie() {
    std::erase(m().frameRoots, &held);
    held.clear();
  }
  Value keep(Value v) {
    held.push_back(v);
    return v;
  }
  avm2::Machine& m() { return player.as3Scripts()->machine(); }
  Value make(const std::string& cls, std::vector<Value> args = {}) {
    return keep(m().construct(Value(static_cast<avm2::Object*>(m().findClass(cls))), args));
  }
  Value get(const Value& o, const std::string& n) { return keep(m().get(o, n)); }
  double number(const Value& o, const std::string& n) { return m().toNumber(get(o, n)); }
  void set(const Value& o, const std::string& n, Value v) { m().set(o, n, std::move(v)); }
  Value call(const Value& o, const std::string& n, std::vector<Value> args = {}) {
    return keep(m().callProperty(o, m().publicName(n), args));
  }
  Value callStatic(const std::string& cls, const std::string& n, std::vector<Value> args = {}) {
    return call(Value(static_cast<avm2::Object*>(m().findClass(cls))), n, std::move(args));
  }
  // The error a call throws, as text ("" when none).
  template <typename F>
  std::string thrown(F f) {
    try {
      f();
    } catch (avm2::ScriptThrow& t) {
      return m().toText(t.value);
    }
    return "";
  }
  // Mixes `ms` of sound by hand; the loudest sample (of each speaker).
  int mix(double ms, int* left = nullptr, int* right = nullptr) {
    std::vector<int16_t> out(size_t(ms * 44.1) * 2);
    player.mixAudio(out.data(), out.size() / 2);
    int peak = 0, peaks[2] = {0, 0};
    for (size_t i = 0; i < out.size(); ++i) {
      peak = std::max(peak, std::abs(int(out[i])));
      peaks[i % 2] = std::max(peaks[i % 2], std::abs(int(out[i])));
    }
    if (left) *left = peaks[0];
    if (right) *right = peaks[1];
    return peak;
  }
  void listen(const Value& channel) {
    avm2::Method* code = m().nativeMethod(countCompletion, 1, "done");
    Value fn(static_cast<avm2::Object*>(m().newFunction(code, nullptr, nullptr)));
    call(channel, "addEventListener", {Value(m().intern("soundComplete")), fn});
  }
  void tick() { player.advance(player.framePeriodMs()); }
};

TEST(Avm2Sound, ALinkedClassPlaysItsSoundOnAChannelTheMixerMoves) {
  SoundMovie t;
  Value snd = t.make("Snd");
  EXPECT_EQ(t.lines, (std::vector<std::string>{"Snd made"}));
  EXPECT_DOUBLE_EQ(t.number(snd, "length"), 500);
  EXPECT_EQ(t.number(snd, "bytesTotal"), 44100);
  EXPECT_EQ(t.number(snd, "bytesLoaded"), 44100);
  EXPECT_TRUE(t.get(snd, "url").isNull());
  EXPECT_TRUE(t.get(t.get(snd, "id3"), "artist").isNull());

  Value ch = t.call(snd, "play");
  ASSERT_TRUE(ch.isObject());
  EXPECT_EQ(t.m().className(ch), "flash.media.SoundChannel");
  EXPECT_DOUBLE_EQ(t.number(ch, "position"), 0);
  EXPECT_GT(t.mix(100), 9000);
  EXPECT_NEAR(t.number(ch, "position"), 100, 0.1);

  t.call(ch, "stop");
  EXPECT_EQ(t.mix(50), 0);
  EXPECT_NEAR(t.number(ch, "position"), 100, 0.1);  // where it stopped
  t.tick();
  EXPECT_EQ(completions, 0);

  // A class with no sound of its own plays nothing.
  Value bare = t.make("flash.media.Sound");
  EXPECT_EQ(t.number(bare, "length"), 0);
  EXPECT_TRUE(t.call(bare, "play").isNull());
}

TEST(Avm2Sound, StartTimeAndLoopsChooseWhatPlaysAndCompletionIsToldOnce) {
  SoundMovie t;
  Value snd = t.make("Snd");
  // From 400 ms, twice: 200 ms of sound.
  Value ch = t.call(snd, "play", {Value(400.0), Value(2)});
  ASSERT_TRUE(ch.isObject());
  t.listen(ch);
  EXPECT_GT(t.mix(150), 9000);
  EXPECT_NEAR(t.number(ch, "position"), 450, 0.1);  // 50 ms into the second play
  t.tick();
  EXPECT_EQ(completions, 0);
  EXPECT_GT(t.mix(60), 0);  // to 210 ms
  EXPECT_EQ(t.mix(50), 0);
  t.tick();
  EXPECT_EQ(completions, 1);
  EXPECT_DOUBLE_EQ(t.number(ch, "position"), 500);
  t.tick();
  EXPECT_EQ(completions, 1);

  EXPECT_TRUE(t.call(snd, "play", {Value(600.0)}).isNull());  // past its end
  // Odd numbers play from the start, once.
  Value odd = t.call(snd, "play", {Value(std::nan("")), Value(-5)});
  ASSERT_TRUE(odd.isObject());
  EXPECT_GT(t.mix(10), 0);
  EXPECT_NE(t.thrown([&] { t.call(snd, "play", {Value(0.0), Value(0), Value(snd)}); }), "");
}

TEST(Avm2Sound, EachChannelKeepsItsOwnTransform) {
  SoundMovie t;
  Value snd = t.make("Snd");
  Value a = t.call(snd, "play");
  Value b = t.call(snd, "play");
  const int both = t.mix(20);
  EXPECT_GT(both, 18000);  // the two add up

  t.set(a, "soundTransform", t.make("flash.media.SoundTransform", {Value(0.0)}));
  const int one = t.mix(20);
  EXPECT_GT(one, 9000);
  EXPECT_LT(one, 11000);
  EXPECT_EQ(t.number(t.get(a, "soundTransform"), "volume"), 0);
  EXPECT_EQ(t.number(t.get(b, "soundTransform"), "volume"), 1);

  // What the getter gives is a copy: changing it changes nothing that plays.
  t.set(t.get(b, "soundTransform"), "volume", Value(0.0));
  EXPECT_EQ(t.number(t.get(b, "soundTransform"), "volume"), 1);
  EXPECT_GT(t.mix(20), 9000);

  // The channel keeps whole percents.
  t.set(b, "soundTransform", t.make("flash.media.SoundTransform", {Value(1.0 / 3)}));
  EXPECT_DOUBLE_EQ(t.number(t.get(b, "soundTransform"), "volume"), 0.33);
  EXPECT_NE(t.thrown([&] { t.set(b, "soundTransform", Value::null()); }), "");
}

TEST(Avm2Sound, AMonoSoundIsHeardInEachSpeakerAsBothInputsGoThere) {
  SoundMovie t;
  Value snd = t.make("Snd");
  Value st = t.make("flash.media.SoundTransform");
  t.set(st, "leftToLeft", Value(0.0));
  t.set(st, "rightToLeft", Value(0.5));
  Value ch = t.call(snd, "play", {Value(0.0), Value(1), st});
  ASSERT_TRUE(ch.isObject());
  int left = 0, right = 0;
  t.mix(20, &left, &right);
  EXPECT_NEAR(left, 5000, 300);
  EXPECT_NEAR(right, 10000, 300);

  t.set(st, "volume", Value(0.5));
  t.set(st, "pan", Value(-1.0));  // all of it left, at the power of both
  t.set(ch, "soundTransform", st);
  t.mix(20, &left, &right);
  EXPECT_NEAR(left, 7070, 300);
  EXPECT_EQ(right, 0);
}

TEST(Avm2Sound, PanAndTheFourFactorsFollowEachOther) {
  SoundMovie t;
  Value st = t.make("flash.media.SoundTransform");
  EXPECT_EQ(t.number(st, "volume"), 1);
  EXPECT_EQ(t.number(st, "pan"), 0);
  EXPECT_EQ(t.number(st, "leftToLeft"), 1);
  EXPECT_EQ(t.number(st, "rightToRight"), 1);

  t.set(st, "pan", Value(0.5));
  EXPECT_DOUBLE_EQ(t.number(st, "leftToLeft"), std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(t.number(st, "rightToRight"), std::sqrt(1.5));
  EXPECT_NEAR(t.number(st, "pan"), 0.5, 1e-12);
  EXPECT_EQ(t.number(st, "volume"), 1);

  t.set(st, "leftToRight", Value(0.5));  // a mix of the inputs is no pan
  EXPECT_EQ(t.number(st, "pan"), 0);
  t.set(st, "pan", Value(-0.3));
  EXPECT_EQ(t.number(st, "leftToRight"), 0);
  EXPECT_NEAR(t.number(st, "pan"), -0.3, 1e-12);
  t.set(st, "pan", Value(2.0));
  EXPECT_TRUE(std::isnan(t.number(st, "leftToLeft")));

  Value made = t.make("flash.media.SoundTransform", {Value(0.25), Value(0.8)});
  EXPECT_EQ(t.number(made, "volume"), 0.25);
  EXPECT_DOUBLE_EQ(t.number(made, "leftToLeft"), std::sqrt(1 - 0.8));
}

TEST(Avm2Sound, TheMixerStopsAndScalesEverySound) {
  SoundMovie t;
  Value snd = t.make("Snd");
  Value a = t.call(snd, "play");
  Value b = t.call(snd, "play");
  t.listen(a);
  t.listen(b);
  t.mix(30);

  const std::string mixer = "flash.media.SoundMixer";
  Value half = t.make("flash.media.SoundTransform", {Value(0.5)});
  t.set(Value(static_cast<avm2::Object*>(t.m().findClass(mixer))), "soundTransform", half);
  const int scaled = t.mix(20);
  EXPECT_GT(scaled, 9000);
  EXPECT_LT(scaled, 11000);

  t.callStatic(mixer, "stopAll");
  EXPECT_EQ(t.mix(30), 0);
  EXPECT_NEAR(t.number(a, "position"), 50, 0.1);
  t.tick();
  EXPECT_EQ(completions, 0);  // stopped, not completed
  EXPECT_FALSE(avm2::toBoolean(t.callStatic(mixer, "areSoundsInaccessible")));

  Value bytes = t.make("flash.utils.ByteArray");
  t.callStatic(mixer, "computeSpectrum", {bytes});
  EXPECT_EQ(t.number(bytes, "length"), 2048);
  EXPECT_NE(t.thrown([&] { t.callStatic(mixer, "computeSpectrum", {Value::null()}); }), "");
}

TEST(Avm2Sound, ASpriteKeepsTheTransformSetOnItAsCopies) {
  SoundMovie t;
  Value sprite = t.make("flash.display.Sprite");
  EXPECT_EQ(t.number(t.get(sprite, "soundTransform"), "volume"), 1);
  Value st = t.make("flash.media.SoundTransform", {Value(0.999), Value(0.5)});
  t.set(sprite, "soundTransform", st);
  t.set(st, "volume", Value(0.0));  // the sprite took a copy
  Value read = t.get(sprite, "soundTransform");
  EXPECT_DOUBLE_EQ(t.number(read, "volume"), 0.99);
  EXPECT_DOUBLE_EQ(t.number(read, "leftToLeft"), 0.7);  // sqrt(0.5), in whole percents
  EXPECT_NE(t.thrown([&] { t.set(sprite, "soundTransform", Value::null()); }), "");
}

}  // namespace
}  // namespace orv::movie
