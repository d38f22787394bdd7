// Frame pacing in folder mode while the track changes: the real SDL backend (offscreen, the
// audio device pulled in real time), a music folder of MP3s with and without a length
// header, and the end of a track brought forward once a second; beside it the same run
// without changes, so that a busy machine's own jitter can be told apart.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Unit1.h"
#include "platform/timer.h"
#include "platform/vbmp3.h"
#include "support/temp_folder.h"
#include "ten_minute_mp3.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFramesPerTrack = 40;

double Milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// Ten minutes with and without a header, a minute without one and a minute with LAME's own.
struct MusicFolder {
  TempFolder folder;
  bool made = ten_minute_mp3::Make(folder.Native("minute"), folder.Native("bare.mp3"), folder.Native("info.mp3")) &&
              test_audio::EncodeMp3(folder.Native("minute.wav"), folder.Native("tagged.mp3"), "-V 6");
};

// The game's data beside this program, each file linked, with settings of our own.
void PrepareDataFolder(const std::string& musicFolder) {
  const fs::path data = fs::read_symlink("/proc/self/exe").parent_path() / "data";
  fs::create_directories(data);
  for (const auto& entry : fs::directory_iterator(KOTOBUNE_DATA_DIR)) {
    const fs::path link = data / entry.path().filename();
    if (!fs::exists(fs::symlink_status(link))) fs::create_symlink(entry.path(), link);
  }
  fs::remove(data / "record1.dat");
  std::ofstream(data / "settei.ini", std::ios::binary) << "[BGM]\r\nSettei=2\r\nMusicFolda=" << musicFolder << "\r\n";
}

// The monitor finds the track over at its next pass.
void EndTrackNow(TForm1& form) {
  std::memset(&form.mp3Info[kVbmp3LengthOffset], 0, 4);
  form.mp3StartTime = timeGetTime() - 1001;
}

void BM_FramePeriodOverTrackChanges(benchmark::State& state) {
  MusicFolder music;
  if (!music.made) return state.SkipWithError("the lame encoder is needed (Debian package lame)");
  PrepareDataFolder(music.folder.Native());
  const int frames = static_cast<int>(state.range(0));
  const bool forceChanges = state.range(1) == 1;
  for (auto _ : state) {
    TApplication application;
    application.Initialize();
    TForm1& form = application.CreateForm<TForm1>();
    std::vector<Clock::time_point> ends;
    std::vector<double> changeCosts, changePeriods;
    bool changedSinceFrame = false;
    DWORD seenFrame = form.lastFrameTime;
    application.OnIdle = [&](bool& done) {
      const std::string trackBefore = form.bgmPath;
      const auto passStart = Clock::now();
      form.ApplicationEvents1Idle(done);
      const auto passEnd = Clock::now();
      const bool frameRan = form.lastFrameTime != seenFrame;
      if (form.bgmReady && !trackBefore.empty() && form.bgmPath != trackBefore) {
        // A pass that also ran a frame slept too; only the others time the change alone.
        if (!frameRan) changeCosts.push_back(Milliseconds(passEnd - passStart));
        changedSinceFrame = true;
      }
      if (!frameRan) return;
      seenFrame = form.lastFrameTime;
      if (changedSinceFrame && !ends.empty()) changePeriods.push_back(Milliseconds(passEnd - ends.back()));
      changedSinceFrame = false;
      ends.push_back(passEnd);
      if (forceChanges && form.bgmReady && form.shuffleMode && ends.size() % kFramesPerTrack == 0) EndTrackNow(form);
      if (static_cast<int>(ends.size()) > frames) application.Terminate();
    };
    application.Run();

    std::vector<double> periods;
    for (size_t i = 1; i < ends.size(); ++i) periods.push_back(Milliseconds(ends[i] - ends[i - 1]));
    state.counters["period_median_ms"] = Percentile(periods, 0.5);
    state.counters["period_p99_ms"] = Percentile(periods, 0.99);
    state.counters["period_max_ms"] = Percentile(periods, 1.0);
    state.counters["track_changes"] = static_cast<double>(changePeriods.size());
    state.counters["change_period_max_ms"] = Percentile(changePeriods, 1.0);
    state.counters["change_cost_max_ms"] = Percentile(changeCosts, 1.0);
  }
}
BENCHMARK(BM_FramePeriodOverTrackChanges)
    ->ArgNames({"frames", "changes"})
    ->Args({800, 0})
    ->Args({800, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  // No screen is needed to measure the loop; the invisible driver is asked for explicitly. The
  // disk driver pulls the mix in real time, as a sound card would.
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "disk", 0);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
