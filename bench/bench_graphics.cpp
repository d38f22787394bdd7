// Loading the shark picture from the game-sized compressed archive into its texture, colour
// key included, as the game does for every picture at start-up.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "DGCarad9.h"
#include "DGTexture.h"
#include "QDAWriter.h"
#include "archive/sample_pictures.h"
#include "platform/headless.h"
#include "support/temp_folder.h"

namespace {

void BM_LoadBMP_SharkWithColourKey(benchmark::State& state) {
  const TempFolder folder;
  std::vector<QDAMemberSource> members;
  for (int i = 0; i < 40; ++i) {
    const int side = i == 0 ? 64 : 32 + (i * 37) % 200;
    members.push_back({i == 0 ? "same0.bmp" : "pic" + std::to_string(i) + ".bmp", MakeSampleBmp(side, side, i)});
  }
  WriteFileAtomically(folder.Native("data.qda"), QDABuildArchive(members, true));
  const std::string archive = folder.Game("data.qda");

  headless::Reset();
  headless::SetExeName(folder.Native("kotobune"));
  TApplication application;
  TForm form(application, TFormSettings{632, 477, false, {}});
  {
    TDGCarad carad(form);
    carad.SetDebugOption(dgoHaltOnError | dgoDebugMessage);
    carad.Loaded();
    carad.ToFullScreen(640, 480, D3DFMT_A8R8G8B8, {}, 0, D3DPRESENT_INTERVAL_IMMEDIATE, D3DSWAPEFFECT_DISCARD,
                       D3DMULTISAMPLE_NONE, 0);
    TDGTexture texture(carad, DGAlphaFormats, 0, D3DPOOL_MANAGED, 0, "");
    texture.ClearColor = 0x000000FF;
    for (auto _ : state) {
      texture.LoadBMP("same0.bmp", archive);
      texture.SetColorKey({0, 0, static_cast<LONG>(texture.Width()), static_cast<LONG>(texture.Height())},
                          DGColorARGB(0, 0, 0, 0));
      benchmark::DoNotOptimize(texture.Texture());
    }
  }
  headless::Reset();
}
BENCHMARK(BM_LoadBMP_SharkWithColourKey)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
