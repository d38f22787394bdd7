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

// Argument 0: the built-in idioms alone; 1: with Pack=edict-en and Hints=en.
void BM_StartUp(benchmark::State& state) {
  TempFolder folder;
  std::filesystem::create_directories(folder.Native("data/packs"));
  std::filesystem::create_symlink(kData / "data.qda", folder.Native("data/data.qda"));
  std::filesystem::create_symlink(kData / "packs/edict-en.txt", folder.Native("data/packs/edict-en.txt"));
  if (state.range(0) == 1) folder.Write("data/settei.ini", "[Dictionary]\r\nPack=edict-en\r\nHints=en\r\n");
  headless::Reset();
  headless::SetExeName(folder.Native("kotobune"));
  const QuietStandardError quiet;
  std::int32_t idioms = 0;
  for (auto _ : state) {
    auto application = std::make_unique<TApplication>();
    application->Initialize();
    idioms = application->CreateForm<TForm1>().extraCount;
    state.PauseTiming();
    application.reset();
    headless::Reset();
    headless::SetExeName(folder.Native("kotobune"));
    state.ResumeTiming();
  }
  state.counters["idioms"] = kBuiltinIdiomCount + idioms;
  state.counters["pack_bytes"] = static_cast<double>(std::filesystem::file_size(kData / "packs/edict-en.txt"));
}
BENCHMARK(BM_StartUp)->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
