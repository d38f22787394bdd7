// The title screen on the headless renderer: one whole frame, a meaning line rendered with a
// warm and a cold glyph cache, and what a steady frame allocates.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>

#include "Unit1.h"
#include "platform/headless.h"
#include "support/temp_folder.h"

// Every C++ allocation of the program passes through here, so a frame's share can be counted.
// (Allocations inside C libraries, such as the renderer's own, are not seen.)
namespace {
std::atomic<long> allocations{0};
}  // namespace

// Kept out of line: inlined, GCC takes the free() for a mismatch with the operator new it sees.
[[gnu::noinline]] void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size != 0 ? size : 1)) return block;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

// 13 characters, as long as a meaning line gets.
constexpr std::u16string_view kMeaningLine = u"人それぞれ考えや好みが違う";
static_assert(kMeaningLine.size() == 13);

// The whole game in a program folder of its own, run on to the start prompt.
class TitleGame {
 public:
  TitleGame() {
    headless::Reset();
    headless::SetExeName(folder_.Native("kotobune"));
    std::filesystem::create_directory(folder_.Native("data"));
    std::filesystem::create_symlink(std::filesystem::path(KOTOBUNE_DATA_DIR) / "data.qda", folder_.Native("data/data.qda"));
    application_ = std::make_unique<TApplication>();
    application_->Initialize();
    form_ = &application_->CreateForm<TForm1>();
    while (headless::FramesPresented() < 110) {
      bool done = true;
      form_->ApplicationEvents1Idle(done);
      headless::AdvanceMicroseconds(500);
    }
  }
  ~TitleGame() {
    application_.reset();
    headless::Reset();
  }
  TForm1& Form() { return *form_; }

 private:
  TempFolder folder_;
  std::unique_ptr<TApplication> application_;
  TForm1* form_ = nullptr;
};

void BM_TitleFrame(benchmark::State& state) {
  TitleGame game;
  TForm1& form = game.Form();
  if (!form.startPromptShown) state.SkipWithError("the title screen did not reach its start prompt");
  form.DriveFrame();
  const long before = allocations.load();
  for (auto _ : state) form.DriveFrame();
  state.counters["allocations_per_frame"] =
      static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TitleFrame)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

void BM_RenderMeaningLine_WarmCache(benchmark::State& state) {
  TitleGame game;
  TForm1& form = game.Form();
  const std::string line = Sjis(kMeaningLine);
  form.RenderText(*form.texMeaningLine[0], line, *form.writerSmall);
  for (auto _ : state) form.RenderText(*form.texMeaningLine[0], line, *form.writerSmall);
}
BENCHMARK(BM_RenderMeaningLine_WarmCache)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

void BM_RenderMeaningLine_ColdCache(benchmark::State& state) {
  TitleGame game;
  TForm1& form = game.Form();
  const std::string line = Sjis(kMeaningLine);
  for (auto _ : state) {
    state.PauseTiming();
    form.writerSmall->Cache().SetCapacity(16);
    state.ResumeTiming();
    form.RenderText(*form.texMeaningLine[0], line, *form.writerSmall);
  }
}
BENCHMARK(BM_RenderMeaningLine_ColdCache)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// The two halves of a warm RenderText: measuring the line, and writing its cached glyphs.
void BM_MeasureMeaningLine(benchmark::State& state) {
  TitleGame game;
  TSXTextWriter& writer = *game.Form().writerSmall;
  const std::string line = Sjis(kMeaningLine);
  for (auto _ : state) {
    benchmark::DoNotOptimize(writer.TextWidth(line));
    benchmark::DoNotOptimize(writer.TextHeight(line));
  }
}
BENCHMARK(BM_MeasureMeaningLine)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

void BM_DrawMeaningLine_WarmCache(benchmark::State& state) {
  TitleGame game;
  TForm1& form = game.Form();
  const std::string line = Sjis(kMeaningLine);
  form.RenderText(*form.texMeaningLine[0], line, *form.writerSmall);
  for (auto _ : state) form.writerSmall->DrawText(0, 0, *form.texMeaningLine[0], line);
}
BENCHMARK(BM_DrawMeaningLine_WarmCache)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
