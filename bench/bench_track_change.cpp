// Frame pacing in folder mode while the track changes: the real SDL backend (offscreen, the
// audio device pulled in real time), a music folder of MP3s with and without a length
// header, and the end of a track brought forward once a second in every other stretch of
// five seconds: the quiet stretches between, in the same run, show the machine's own jitter.
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
constexpr int kFramesPerStretch = 200;

double Milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// Frame periods of one kind of stretch.
struct Periods {
  std::vector<double> all;
  void Report(benchmark::State& state, const std::string& kind) const {
    state.counters[kind + "_median_ms"] = Percentile(all, 0.5);
    state.counters[kind + "_p99_ms"] = Percentile(all, 0.99);
    state.counters[kind + "_max_ms"] = Percentile(all, 1.0);
  }
};

bool ChangingStretch(size_t frame) { return frame / kFramesPerStretch % 2 == 1; }

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
  const auto frames = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    TApplication application;
    application.Initialize();
    TForm1& form = application.CreateForm<TForm1>();
    Clock::time_point lastEnd;
    Periods quiet, changing;
    std::vector<double> changeCosts, changePeriods;
    size_t frame = 0;
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
      // The music starts at the twentieth frame; the first stretch is quiet anyway.
      if (frame > 0) {
        const double period = Milliseconds(passEnd - lastEnd);
        (ChangingStretch(frame) ? changing : quiet).all.push_back(period);
        if (changedSinceFrame) changePeriods.push_back(period);
      }
      changedSinceFrame = false;
      lastEnd = passEnd;
      ++frame;
      if (ChangingStretch(frame) && form.shuffleMode && frame % kFramesPerTrack == 0) EndTrackNow(form);
      if (frame > frames) application.Terminate();
    };
    application.Run();

    quiet.Report(state, "quiet");
    changing.Report(state, "changing");
    state.counters["track_changes"] = static_cast<double>(changePeriods.size());
    state.counters["change_period_max_ms"] = Percentile(changePeriods, 1.0);
    state.counters["change_cost_max_ms"] = Percentile(changeCosts, 1.0);
  }
}
BENCHMARK(BM_FramePeriodOverTrackChanges)->ArgName("frames")->Arg(1600)->Iterations(1)->Unit(benchmark::kSecond);

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
