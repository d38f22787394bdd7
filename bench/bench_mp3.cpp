// Opening a ten-minute MP3 on the game's thread, with a length header and without one
// (then the frames are counted on a thread of the player's own, which is not timed here).
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/tasks.h"
#include "platform/vbmp3.h"
#include "support/audio_files.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kMinuteCopies = 10;
constexpr std::uint32_t kFrameHeader = 0xFFFB9000;  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, stereo

void PutBig(Bytes& bytes, size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Ten copies of a minute without a header, and the same behind an Info frame that counts them.
struct Files {
  TempFolder folder;
  bool made = false;
  Files() {
    if (!test_audio::HaveLame()) return;
    test_audio::WriteTone(folder.Native("minute.wav"), 44100, 60.0, {440, 550});
    if (!test_audio::EncodeMp3(folder.Native("minute.wav"), folder.Native("minute.mp3"), "-t -b 128")) return;
    std::ifstream in(folder.Native("minute.mp3"), std::ios::binary);
    const Bytes minute{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Bytes bare;
    for (int i = 0; i < kMinuteCopies; ++i) bare.insert(bare.end(), minute.begin(), minute.end());
    std::uint32_t frames = 0;
    for (size_t at = 0; at + 4 <= bare.size(); ++frames) at += 417 + ((bare[at + 2] >> 1) & 1);
    Bytes info(417, 0);
    PutBig(info, 0, kFrameHeader);
    std::copy_n("Info", 4, info.begin() + 36);
    PutBig(info, 40, 1);
    PutBig(info, 44, frames);
    info.insert(info.end(), bare.begin(), bare.end());
    std::ofstream(folder.Native("bare.mp3"), std::ios::binary).write(reinterpret_cast<const char*>(bare.data()), static_cast<std::streamsize>(bare.size()));
    std::ofstream(folder.Native("info.mp3"), std::ios::binary).write(reinterpret_cast<const char*>(info.data()), static_cast<std::streamsize>(info.size()));
    made = true;
  }
};

Files& TheFiles() {
  static Files files;
  return files;
}

void BM_OpenTenMinutes(benchmark::State& state) {
  Files& files = TheFiles();
  if (!files.made) return state.SkipWithError("the lame encoder is needed (Debian package lame)");
  const std::string path = files.folder.Native(state.range(0) == 1 ? "info.mp3" : "bare.mp3");
  std::array<std::uint8_t, kVbmp3InfoSize> info{};
  vbmp3_init();
  for (auto _ : state) {
    vbmp3_open(path.c_str(), info.data());
    state.PauseTiming();
    vbmp3_close();
    platform::RunPostedTasks();
    state.ResumeTiming();
  }
  vbmp3_free();
}
BENCHMARK(BM_OpenTenMinutes)->ArgName("header")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
