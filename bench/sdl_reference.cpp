// The yardstick for the present: the game's kind of frame drawn the most direct way SDL
// offers (a 640 x 480 render target, a 480 x 480 background, 60 alpha sprites of 40 x 40,
// 10 text quads, scaled to the window by SDL's logical size) at 40 frames per second.
// Usage: bench_sdl_reference SECONDS; prints the CPU the whole process spent per frame, and
// before its first frame.
#include <SDL.h>
#include <time.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::int64_t Nanoseconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

// A texture of the given size whose pixels come from `pixel(x, y)`.
template <class Pixel>
SDL_Texture* MakeTexture(SDL_Renderer* renderer, int width, int height, bool alpha, Pixel pixel) {
  std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = pixel(x, y);
  }
  SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, width, height);
  SDL_UpdateTexture(texture, nullptr, pixels.data(), width * 4);
  SDL_SetTextureBlendMode(texture, alpha ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
  return texture;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_Window* window = SDL_CreateWindow("reference", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480,
                                        SDL_WINDOW_SHOWN | SDL_WINDOW_FULLSCREEN_DESKTOP);
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
  if (window == nullptr || renderer == nullptr) return 1;
  SDL_RenderSetLogicalSize(renderer, 640, 480);
  SDL_Texture* picture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, 640, 480);
  SDL_Texture* background = MakeTexture(renderer, 480, 480, false, [](int x, int y) {
    return 0xFF000000u | static_cast<std::uint32_t>((x * 7) & 255) << 16 | static_cast<std::uint32_t>((y * 5) & 255) << 8 | 0x80u;
  });
  SDL_Texture* sprite = MakeTexture(renderer, 40, 40, true, [](int x, int y) {
    const int dx = x - 20, dy = y - 20;
    const std::uint32_t alpha = dx * dx + dy * dy < 400 ? 255u : 0u;
    return alpha << 24 | 0xFF4020u;
  });
  SDL_Texture* text = MakeTexture(renderer, 240, 16, true, [](int x, int y) {
    return ((x / 3 + y) % 4 == 0 ? 0xFF000000u : 0x40000000u) | 0xFFFFFFu;
  });

  const Uint64 frequency = SDL_GetPerformanceFrequency();
  const Uint64 start = SDL_GetPerformanceCounter();
  const std::int64_t cpuStart = Nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
  long frames = 0;
  std::int64_t firstFrameCpu = 0;
  for (bool running = true; running;) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) running = running && event.type != SDL_QUIT;
    const double now = static_cast<double>(SDL_GetPerformanceCounter() - start) / static_cast<double>(frequency);
    if (now >= seconds) break;
    SDL_SetRenderTarget(renderer, picture);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    const SDL_Rect field{0, 0, 480, 480};
    SDL_RenderCopy(renderer, background, nullptr, &field);
    for (int i = 0; i < 60; ++i) {
      const double angle = now + i * 0.7;
      const SDL_Rect at{static_cast<int>(220 + 180 * std::cos(angle)), static_cast<int>(220 + 180 * std::sin(angle * 1.3)), 40, 40};
      SDL_RenderCopy(renderer, sprite, nullptr, &at);
    }
    for (int i = 0; i < 10; ++i) {
      const SDL_Rect at{390, 20 + i * 40, 240, 16};
      SDL_RenderCopy(renderer, text, nullptr, &at);
    }
    SDL_SetRenderTarget(renderer, nullptr);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, picture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
    if (++frames == 1) firstFrameCpu = Nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
    const double next = static_cast<double>(frames) * 0.025;
    const double rest = next - static_cast<double>(SDL_GetPerformanceCounter() - start) / static_cast<double>(frequency);
    if (rest > 0) SDL_Delay(static_cast<Uint32>(rest * 1000));
  }
  const double cpu = static_cast<double>(Nanoseconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart) / 1e6;
  std::printf("frames %ld, CPU %.2f ms per frame, first frame after %.0f ms CPU\n", frames,
              frames > 0 ? cpu / static_cast<double>(frames) : 0.0, static_cast<double>(firstFrameCpu) / 1e6);
  SDL_Quit();
  return 0;
}
