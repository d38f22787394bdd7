// Reading the shark picture out of the game-sized compressed archive, as every frame does.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "QDAWriter.h"
#include "QDArc.h"
#include "archive/sample_pictures.h"

namespace {

constexpr int kMembers = 40;

// Pictures of the game's sizes, the 64 x 64 shark among them; removed when the run ends.
class GameSizedArchive {
 public:
  GameSizedArchive()
      : path_(std::filesystem::temp_directory_path() / ("kotobune-bench-" + std::to_string(::getpid()) + ".qda")) {
    std::vector<QDAMemberSource> members;
    for (int i = 0; i < kMembers; ++i) {
      const int side = i == 0 ? 64 : 32 + (i * 37) % 200;
      members.push_back({i == 0 ? "same0.bmp" : "pic" + std::to_string(i) + ".bmp", MakeSampleBmp(side, side, i)});
    }
    WriteFileAtomically(path_, QDABuildArchive(members, true));
  }
  ~GameSizedArchive() { std::filesystem::remove(path_); }
  GameSizedArchive(const GameSizedArchive&) = delete;
  GameSizedArchive& operator=(const GameSizedArchive&) = delete;

  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

void BM_QDAReadMember_Shark(benchmark::State& state) {
  const GameSizedArchive archive;
  const std::string path = archive.Path();
  for (auto _ : state) {
    benchmark::DoNotOptimize(QDAReadMember(path, "same0.bmp"));
  }
}
BENCHMARK(BM_QDAReadMember_Shark)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
