// Opening a ten-minute MP3 on the game's thread, with a length header and without one
// (then the frames are counted on a thread of the player's own, which is not timed here).
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "platform/tasks.h"
#include "platform/vbmp3.h"
#include "support/temp_folder.h"
#include "ten_minute_mp3.h"

namespace {

// Ten minutes without a header, and the same behind an Info frame that counts them.
struct Files {
  TempFolder folder;
  bool made = ten_minute_mp3::Make(folder.Native("minute"), folder.Native("bare.mp3"), folder.Native("info.mp3"));
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
