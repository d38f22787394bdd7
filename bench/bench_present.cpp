// The present of one 640 x 480 frame into a window of 1920 x 1080 or 1280 x 720, for each
// scaling mode, on our CPU path and on the SDL renderer's path; and our scaler alone.
// The window benchmarks need an X display of at least 1920 x 1080 (bench/present.sh
// starts one); the CPU time counts every thread of the process, the driver's included.
#include <benchmark/benchmark.h>
#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "platform/present.h"
#include "sdl_present.h"

namespace {

using platform::present::ScaleMode;

constexpr ScaleMode kModes[] = {ScaleMode::Sharp, ScaleMode::Whole, ScaleMode::Stretch};
constexpr int kSizes[][2] = {{1920, 1080}, {1280, 720}};

std::vector<std::uint32_t> GameLikeFrame() {
  std::vector<std::uint32_t> pixels(640 * 480);
  std::mt19937 random(1);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | (random() & 0xFFFFFF);
  return pixels;
}

void BM_Scaler(benchmark::State& state) {
  const auto mode = kModes[state.range(0)];
  const platform::present::Size window{static_cast<int>(state.range(1)), static_cast<int>(state.range(2))};
  const auto source = GameLikeFrame();
  std::vector<std::uint32_t> target(static_cast<size_t>(window.width) * window.height);
  const auto placement = platform::present::Place(mode, {640, 480}, window);
  platform::present::Scaler scaler;
  for (auto _ : state) {
    scaler.Draw(mode, placement, {source.data(), 640, 480, 640}, {target.data(), window.width, window.height, window.width});
    benchmark::DoNotOptimize(target.data());
  }
}

void BM_Present(benchmark::State& state) {
  const bool cpu = state.range(0) == 1;
  const auto mode = kModes[state.range(1)];
  const int width = static_cast<int>(state.range(2)), height = static_cast<int>(state.range(3));
  setenv("KOTOBUNE_PRESENT", cpu ? "cpu" : "renderer", 1);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return state.SkipWithError("no display");
  const auto planned = WindowPresenter::PlanPath();
  SDL_Window* window = SDL_CreateWindow("present", 0, 0, width, height,
                                        SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS | WindowPresenter::WindowFlags(planned));
  {
    WindowPresenter presenter(window, mode, {640, 480}, planned);
    const auto frame = GameLikeFrame();
    // The game's frame lies where its device draws: the picture surface, or a texture.
    SDL_Texture* picture = nullptr;
    presenter.Renderer();
    if (SDL_Surface* memory = presenter.PictureSurface()) {
      for (int y = 0; y < 480; ++y) {
        std::copy_n(&frame[static_cast<size_t>(y) * 640], 640, static_cast<std::uint32_t*>(memory->pixels) + y * memory->pitch / 4);
      }
    } else {
      picture = SDL_CreateTexture(presenter.Renderer(), SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, 640, 480);
      SDL_SetTextureBlendMode(picture, SDL_BLENDMODE_NONE);
      SDL_UpdateTexture(picture, nullptr, frame.data(), 640 * 4);
    }
    presenter.Present(picture);
    SDL_Surface* memory = presenter.PictureSurface();
    for (auto _ : state) {
      // The CPU path sends only rows that changed: here every one does, as in the worst frame.
      for (int y = 0; memory != nullptr && y < 480; ++y) static_cast<std::uint32_t*>(memory->pixels)[y * memory->pitch / 4] ^= 1;
      presenter.Present(picture);
    }
    if (picture != nullptr) SDL_DestroyTexture(picture);
  }
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void Arguments(benchmark::internal::Benchmark* benchmark, bool withPath) {
  for (int path = 0; path < (withPath ? 2 : 1); ++path) {
    for (int mode = 0; mode < 3; ++mode) {
      for (const auto& size : kSizes) {
        if (withPath) {
          benchmark->Args({path, mode, size[0], size[1]});
        } else {
          benchmark->Args({mode, size[0], size[1]});
        }
      }
    }
  }
}

BENCHMARK(BM_Scaler)->Apply([](auto* b) { Arguments(b, false); })->ArgNames({"mode", "width", "height"});
BENCHMARK(BM_Present)
    ->Apply([](auto* b) { Arguments(b, true); })
    ->ArgNames({"cpu", "mode", "width", "height"})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
