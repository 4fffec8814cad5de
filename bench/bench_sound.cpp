// Sound costs, as ratios within one run: mixing a voice at the output rate (the baseline)
// against resampled and many-voice mixes, and decoding the about box music against
// simply copying its PCM.
#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

#include "movie/sound/mixer.h"
#include "movie/sound/mp3_stream.h"

namespace {

using namespace orv::movie::sound;

std::shared_ptr<const PcmAudio> tone(int rate, int channels) {
  auto a = std::make_shared<PcmAudio>();
  a->sampleRate = rate;
  a->channels = channels;
  for (int i = 0; i < rate * channels; ++i)
    a->samples.push_back(int16_t(10000 * std::sin(i * 0.05)));
  return a;
}

// One second of output per iteration.
void mixSecond(benchmark::State& state, int sourceRate, int voices) {
  Mixer mixer(44100);
  auto sound = tone(sourceRate, 2);
  VoiceSettings forever;
  forever.plays = 0;
  forever.leftGain = forever.rightGain = 0.3f;
  for (int v = 0; v < voices; ++v) mixer.play(sound, forever);
  std::vector<int16_t> buffer(2 * 1764);
  for (auto _ : state) {
    for (int block = 0; block < 25; ++block) mixer.mix(buffer.data(), 1764);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * 44100);
}

void BM_MixOneVoiceSameRate(benchmark::State& s) { mixSecond(s, 44100, 1); }
void BM_MixOneVoiceFrom22k(benchmark::State& s) { mixSecond(s, 22050, 1); }
void BM_MixEightVoicesFrom11k(benchmark::State& s) { mixSecond(s, 11025, 8); }
BENCHMARK(BM_MixOneVoiceSameRate);
BENCHMARK(BM_MixOneVoiceFrom22k);
BENCHMARK(BM_MixEightVoicesFrom11k);

std::vector<uint8_t> music() {
  std::string here = __FILE__;
  std::ifstream f(here.substr(0, here.rfind('/')) + "/../assets/lumvex/lumvex.mp3",
                  std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void BM_DecodeLumvexMp3(benchmark::State& state) {
  auto bytes = music();
  for (auto _ : state) {
    DecodeResult r = decodeMp3(bytes);
    if (!r.ok()) state.SkipWithError(r.error.c_str());
    benchmark::DoNotOptimize(r.audio.samples.data());
  }
}
void BM_CopyLumvexPcm(benchmark::State& state) {  // the baseline for the decode
  DecodeResult decoded = decodeMp3(music());
  for (auto _ : state) {
    std::vector<int16_t> copy = decoded.audio.samples;
    benchmark::DoNotOptimize(copy.data());
  }
}
BENCHMARK(BM_DecodeLumvexMp3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyLumvexPcm)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
