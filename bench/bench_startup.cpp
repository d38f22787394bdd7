// Start-up with and without the English idiom pack: the window's creation, which reads the
// dictionary with everything else, on the headless backend with the game's own data.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "Unit1.h"
#include "platform/headless.h"
#include "support/temp_folder.h"

namespace {

const std::filesystem::path kData(KOTOBUNE_DATA_DIR);

// Each start reports the idioms it read; thousands of those lines would bury the numbers.
class QuietStandardError {
 public:
  QuietStandardError() : saved_(::dup(STDERR_FILENO)) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDERR_FILENO);
    ::close(null);
  }
  ~QuietStandardError() {
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }
  QuietStandardError(const QuietStandardError&) = delete;
  QuietStandardError& operator=(const QuietStandardError&) = delete;

 private:
  int saved_;
};

// A program folder with the game's pictures and the pack, and the settings of the argument.
class PackFolder {
 public:
  explicit PackFolder(bool withPack) {
    std::filesystem::create_directories(folder_.Native("data/packs"));
    std::filesystem::create_symlink(kData / "data.qda", folder_.Native("data/data.qda"));
    std::filesystem::create_symlink(kData / "packs/edict-en.txt", folder_.Native("data/packs/edict-en.txt"));
    // A settings file either way: its mere presence changes what start-up reads.
    folder_.Write("data/settei.ini", withPack ? "[Dictionary]\r\nPack=edict-en\r\nHints=en\r\n" : "[Dictionary]\r\n");
    Reset();
  }
  void Reset() const {
    headless::Reset();
    headless::SetExeName(folder_.Native("kotobune"));
  }

 private:
  TempFolder folder_;
};

void PackCounters(benchmark::State& state, const TForm1& form) {
  state.counters["idioms"] = kBuiltinIdiomCount + form.extraCount;
  state.counters["pack_bytes"] = static_cast<double>(std::filesystem::file_size(kData / "packs/edict-en.txt"));
}

// Argument 0: the built-in idioms alone; 1: with Pack=edict-en and Hints=en.
void BM_StartUp(benchmark::State& state) {
  const PackFolder folder(state.range(0) == 1);
  const QuietStandardError quiet;
  for (auto _ : state) {
    auto application = std::make_unique<TApplication>();
    application->Initialize();
    const TForm1& form = application->CreateForm<TForm1>();
    state.PauseTiming();
    PackCounters(state, form);
    application.reset();
    folder.Reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartUp)->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// The dictionary's share of start-up: the player's idioms and the packs read again.
void BM_ReadIdioms(benchmark::State& state) {
  const PackFolder folder(state.range(0) == 1);
  const QuietStandardError quiet;
  TApplication application;
  application.Initialize();
  TForm1& form = application.CreateForm<TForm1>();
  for (auto _ : state) {
    form.LoadUserIdioms();
    form.LoadIdiomPacks();
  }
  PackCounters(state, form);
}
BENCHMARK(BM_ReadIdioms)->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
