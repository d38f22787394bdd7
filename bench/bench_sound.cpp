// Sound effects as the game uses them: starting a bound channel, the mixer rendering one
// second with everything sounding, and the delay from Play to the first sample at the device.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <numbers>
#include <string>
#include <vector>

#include "ddsd.h"
#include "platform/app.h"
#include "platform/audio.h"
#include "platform/headless.h"
#include "platform/mediaplayer.h"
#include "platform/vbmp3.h"
#include "sound/wave_files.h"
#include "support/audio_files.h"
#include "support/temp_folder.h"

// ---- every allocation of the program is counted ----

namespace {
std::atomic<std::int64_t> allocations{0};

void* Allocate(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  const auto align = static_cast<std::size_t>(alignment);
  if (void* block = std::aligned_alloc(align, (size + align - 1) / align * align)) return block;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }

namespace {

using platform::audio::kChannels;
using platform::audio::kSampleRate;
using platform::audio::Mixer;

// What the SDL backend asks the device for: it pulls the mixer in blocks of this many frames.
constexpr int kDeviceBlockFrames = 1024;

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// 16-bit mono at 44.1 kHz like the game's effects; a cosine, so the very first sample is loud.
std::string Effect(double hertz, double seconds) {
  std::vector<std::int16_t> samples;
  for (int i = 0; i < static_cast<int>(seconds * kSampleRate); ++i) {
    samples.push_back(static_cast<std::int16_t>(6000 * std::cos(2 * std::numbers::pi * hertz * i / kSampleRate)));
  }
  return wave_files::Wave16(1, kSampleRate, samples);
}

// Chords on a piano with a bass line and drums, eight bars at 120 bpm (16 s): a busy tune.
test_audio::Bytes BusyTune() {
  test_audio::Bytes track = {0x00, 0xC0, 0x00, 0x00, 0xC1, 0x21};
  const std::uint8_t chords[4][3] = {{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}};
  for (int beat = 0; beat < 32; ++beat) {
    const auto& chord = chords[(beat / 4) % 4];
    for (std::uint8_t note : chord) track.insert(track.end(), {0x00, 0x90, note, 90});
    track.insert(track.end(), {0x00, 0x91, static_cast<std::uint8_t>(chord[0] - 24), 100});
    track.insert(track.end(), {0x00, 0x99, static_cast<std::uint8_t>(beat % 2 == 0 ? 36 : 38), 110});
    track.insert(track.end(), {0x83, 0x60});  // 480 ticks later
    for (std::uint8_t note : chord) track.insert(track.end(), {0x80, note, 0, 0x00});
    track.insert(track.end(), {0x81, static_cast<std::uint8_t>(chord[0] - 24), 0});
    track.insert(track.end(), {0x00, 0x89, static_cast<std::uint8_t>(beat % 2 == 0 ? 36 : 38), 0});
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
  test_audio::Bytes file = test_audio::Chunk("MThd", {0, 0, 0, 1, 0x01, 0xE0});
  const test_audio::Bytes body = test_audio::Chunk("MTrk", track);
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

// A window with its sound component as the game sets it up, ten effects bound to ten channels.
class Rig {
 public:
  Rig() {
    headless::Reset();
    headless::SetExeName(folder.Native("kotobune"));
    form = std::make_unique<TForm>(application, TFormSettings{640, 480, false, {}});
    sound = std::make_unique<TDDSD>(*form);
    sound->DebugOption = dsoHaltOnError;
    sound->ChannelCount = 10;
    sound->Loaded();
    for (int i = 0; i < 10; ++i) {
      const std::string name = "effect" + std::to_string(i) + ".wav";
      folder.Write(name, Effect(220.0 * (i + 2), 2.0));
      waves.push_back(std::make_unique<TDDSDWaveData>(*sound, folder.Game(name), false));
      sound->Channel(i)->setWaveData(waves.back().get());
    }
  }
  ~Rig() {
    waves.clear();
    sound.reset();
    form.reset();
    headless::Reset();
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  bool Ready() const { return sound->Initialized() && sound->Channel(9)->Buffer() != nullptr; }

  TempFolder folder;
  TApplication application;
  std::unique_ptr<TForm> form;
  std::unique_ptr<TDDSD> sound;
  std::vector<std::unique_ptr<TDDSDWaveData>> waves;
};

void BM_ChannelPlay(benchmark::State& state) {
  Rig rig;
  if (!rig.Ready()) return state.SkipWithError("the sound component did not start");
  TDDSDChannel* channel = rig.sound->Channel(3);
  channel->Play();
  const std::int64_t before = allocations.load();
  for (auto _ : state) {
    channel->Play();
  }
  state.counters["allocs_per_play"] =
      static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ChannelPlay)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kNanosecond);

// Sources: bit 0 the ten effect voices, bit 1 the MP3 stream, bit 2 the MIDI stream.
void BM_MixerRenderOneSecond(benchmark::State& state) {
  const auto sources = state.range(0);
  Rig rig;
  if (!rig.Ready()) return state.SkipWithError("the sound component did not start");
  if ((sources & 2) != 0) {
    if (!test_audio::HaveLame()) return state.SkipWithError("lame is not installed");
    test_audio::WriteTone(rig.folder.Native("tune.wav"), kSampleRate, 3.0, {440.0, 660.0});
    if (!test_audio::EncodeMp3(rig.folder.Native("tune.wav"), rig.folder.Native("tune.mp3"))) {
      return state.SkipWithError("lame failed");
    }
  }
  test_audio::WriteBytes(rig.folder.Native("tune.mid"), BusyTune());
  std::vector<std::uint8_t> info(kVbmp3InfoSize);
  vbmp3_init();
  if ((sources & 2) != 0 && !vbmp3_open(rig.folder.Game("tune.mp3").c_str(), info.data())) {
    return state.SkipWithError("the MP3 did not open");
  }
  TMediaPlayer midi;
  if ((sources & 4) != 0) {
    midi.FileName = rig.folder.Game("tune.mid");
    midi.Open();
  }

  std::vector<float> block(static_cast<std::size_t>(kDeviceBlockFrames) * kChannels);
  double cpuSeconds = 0;
  std::int64_t renderAllocations = 0;
  bool silent = false;
  for (auto _ : state) {
    state.PauseTiming();
    if ((sources & 1) != 0) {
      for (int i = 0; i < 10; ++i) rig.sound->Channel(i)->Play();
    }
    if ((sources & 2) != 0) vbmp3_play();
    if ((sources & 4) != 0) {
      midi.Rewind();
      midi.Play();
    }
    // The first block after a start may set up what a stream keeps from then on.
    Mixer::Instance().Render(block.data(), kDeviceBlockFrames);
    const std::int64_t allocationsBefore = allocations.load();
    const double cpuBefore = ThreadCpuSeconds();
    state.ResumeTiming();

    double level = 0;
    for (int rendered = kDeviceBlockFrames; rendered < kSampleRate; rendered += kDeviceBlockFrames) {
      Mixer::Instance().Render(block.data(), std::min(kDeviceBlockFrames, kSampleRate - rendered));
      level += std::abs(block[100]);
    }

    state.PauseTiming();
    cpuSeconds += ThreadCpuSeconds() - cpuBefore;
    renderAllocations += allocations.load() - allocationsBefore;
    silent = silent || level == 0 || ((sources & 4) != 0 && midi.Mode() != mpPlaying);
    state.ResumeTiming();
  }
  if (silent) state.SkipWithError("a source was not sounding");
  const double iterations = static_cast<double>(state.iterations());
  state.counters["cpu_ms_per_s"] = 1000 * cpuSeconds / iterations;
  state.counters["core_%"] = 100 * cpuSeconds / iterations;
  state.counters["allocs_per_s"] = static_cast<double>(renderAllocations) / iterations;
  midi.Close();
  vbmp3_close();
  vbmp3_free();
}
BENCHMARK(BM_MixerRenderOneSecond)
    ->ArgName("sources")
    ->Arg(7)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// The device pulls a block whenever it has room; a Play lands in the next block it pulls.
// Here that block is rendered at once and searched for the sound's first sample.
void BM_PlayToFirstSampleAtTheDevice(benchmark::State& state) {
  Rig rig;
  if (!rig.Ready()) return state.SkipWithError("the sound component did not start");
  std::vector<float> block(static_cast<std::size_t>(kDeviceBlockFrames) * kChannels);
  int latestFirstFrame = 0;
  for (auto _ : state) {
    rig.sound->Channel(0)->Play();
    Mixer::Instance().Render(block.data(), kDeviceBlockFrames);
    int first = 0;
    while (first < kDeviceBlockFrames && block[static_cast<std::size_t>(first) * kChannels] == 0.0f) ++first;
    latestFirstFrame = std::max(latestFirstFrame, first);
    rig.sound->Channel(0)->Stop();
  }
  const double blockMs = 1000.0 * kDeviceBlockFrames / kSampleRate;
  state.counters["first_frame_in_block"] = latestFirstFrame;
  state.counters["block_frames"] = kDeviceBlockFrames;
  state.counters["worst_ms"] = blockMs + 1000.0 * latestFirstFrame / kSampleRate;
  state.counters["mean_ms"] = blockMs / 2 + 1000.0 * latestFirstFrame / kSampleRate;
}
BENCHMARK(BM_PlayToFirstSampleAtTheDevice)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
