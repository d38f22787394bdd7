// The spine on the real clock and the real (offscreen) SDL backend: frame pacing, the CPU
// the idle loop costs, and start-up to the first frame.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "Unit1.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

void BM_FramePacing(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  for (auto _ : state) {
    TApplication application;
    application.Initialize();
    TForm1& form = application.CreateForm<TForm1>();
    std::vector<Clock::time_point> starts;
    long passes = 0;
    double frameCpu = 0;
    DWORD seenFrame = form.lastFrameTime;
    application.OnIdle = [&](bool& done) {
      ++passes;
      const double before = ThreadCpuSeconds();
      form.ApplicationEvents1Idle(done);
      if (form.lastFrameTime != seenFrame) {
        frameCpu += ThreadCpuSeconds() - before;
        seenFrame = form.lastFrameTime;
        starts.push_back(Clock::now());
        if (static_cast<int>(starts.size()) > frames) application.Terminate();
      }
    };
    const double cpuBefore = CpuSeconds();
    const double threadBefore = ThreadCpuSeconds();
    const auto wallBefore = Clock::now();
    application.Run();
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    const double cpu = CpuSeconds() - cpuBefore;
    // The loop's own cost: the window thread's time outside the passes that drew a frame.
    const double loopCpu = ThreadCpuSeconds() - threadBefore - frameCpu;

    std::vector<double> periods;
    for (size_t i = 1; i < starts.size(); ++i) {
      periods.push_back(std::chrono::duration<double, std::milli>(starts[i] - starts[i - 1]).count());
    }
    state.counters["period_median_ms"] = Percentile(periods, 0.5);
    state.counters["period_p99_ms"] = Percentile(periods, 0.99);
    state.counters["period_p1_ms"] = Percentile(periods, 0.01);
    state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
    state.counters["idle_loop_cpu_percent"] = 100.0 * loopCpu / wall;
    state.counters["frame_cpu_ms"] = 1000.0 * frameCpu / static_cast<double>(periods.size());
    state.counters["idle_passes_per_frame"] = static_cast<double>(passes) / static_cast<double>(periods.size());
  }
}
BENCHMARK(BM_FramePacing)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

void BM_StartUpToFirstFrame(benchmark::State& state) {
  for (auto _ : state) {
    const auto begin = Clock::now();
    TApplication application;
    application.Initialize();
    TForm1& form = application.CreateForm<TForm1>();
    form.DriveFrame();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - begin).count());
  }
}
BENCHMARK(BM_StartUpToFirstFrame)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // No screen is needed to measure the loop; the invisible driver is asked for explicitly.
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
