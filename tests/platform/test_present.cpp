// The picture on a window of any size: placement, the CPU scaler against a plain reference,
// pointer mapping, the scale setting, the choice of present path and the frame statistics.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <vector>

#include "platform/frame_stats.h"
#include "platform/headless.h"
#include "platform/present.h"
#include "support/file_faults.h"
#include "support/temp_folder.h"

namespace {

using namespace platform::present;

constexpr std::uint32_t kBlack = 0xFF000000u;

struct Picture {
  int width, height;
  std::vector<std::uint32_t> pixels;
  ConstImage View() const { return {pixels.data(), width, height, width}; }
};

Picture RandomPicture(int width, int height, std::uint32_t seed) {
  std::mt19937 random(seed);
  Picture picture{width, height, std::vector<std::uint32_t>(static_cast<size_t>(width) * height)};
  for (auto& pixel : picture.pixels) pixel = static_cast<std::uint32_t>(random());
  return picture;
}

struct Window {
  int width, height;
  std::vector<std::uint32_t> pixels;
  explicit Window(Size size, std::uint32_t fill = 0x12345678u)
      : width(size.width), height(size.height), pixels(static_cast<size_t>(size.width) * size.height, fill) {}
  Image View() { return {pixels.data(), width, height, width}; }
  std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

int Channel(std::uint32_t pixel, int channel) { return static_cast<int>((pixel >> (8 * channel)) & 0xFF); }

// Nearest neighbour in plain arithmetic: the source pixel under each destination centre.
std::uint32_t ReferenceNearest(const Picture& source, const Rect& rect, int x, int y) {
  const int sx = static_cast<int>(std::floor((x - rect.x + 0.5) * source.width / rect.width));
  const int sy = static_cast<int>(std::floor((y - rect.y + 0.5) * source.height / rect.height));
  return source.pixels[static_cast<size_t>(sy) * source.width + sx];
}

// Sharp bilinear the long way: enlarge by the whole factor, then sample linearly with the
// weight rounded to 1/256.
class ReferenceSharp {
 public:
  ReferenceSharp(const Picture& source, const Placement& placement)
      : rect_(placement.picture), factor_(placement.wholeFactor),
        width_(source.width * factor_), height_(source.height * factor_), enlarged_(static_cast<size_t>(width_) * height_) {
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        enlarged_[static_cast<size_t>(y) * width_ + x] = source.pixels[static_cast<size_t>(y / factor_) * source.width + x / factor_];
      }
    }
  }

  std::uint32_t At(int x, int y) const {
    const auto [x0, x1, fx] = Taps(x - rect_.x, rect_.width, width_);
    const auto [y0, y1, fy] = Taps(y - rect_.y, rect_.height, height_);
    std::uint32_t result = 0;
    for (int channel = 0; channel < 4; ++channel) {
      const double top = Sample(x0, y0, channel) * (1 - fx) + Sample(x1, y0, channel) * fx;
      const double bottom = Sample(x0, y1, channel) * (1 - fx) + Sample(x1, y1, channel) * fx;
      result |= static_cast<std::uint32_t>(std::lround(top * (1 - fy) + bottom * fy)) << (8 * channel);
    }
    return result;
  }

 private:
  struct Tap {
    int first, second;
    double weight;
  };
  static Tap Taps(int at, int destination, int enlarged) {
    const double u = (at + 0.5) * enlarged / destination - 0.5;
    if (u <= 0) return {0, 0, 0.0};
    const int first = static_cast<int>(std::floor(u));
    return {first, std::min(first + 1, enlarged - 1), std::round((u - first) * 256) / 256};
  }
  double Sample(int x, int y, int channel) const { return Channel(enlarged_[static_cast<size_t>(y) * width_ + x], channel); }

  Rect rect_;
  int factor_, width_, height_;
  std::vector<std::uint32_t> enlarged_;
};

bool Inside(const Rect& rect, int x, int y) {
  return x >= rect.x && x < rect.x + rect.width && y >= rect.y && y < rect.y + rect.height;
}

Window Draw(Scaler& scaler, ScaleMode mode, const Picture& source, Size size) {
  Window window(size);
  FillBlack(window.View());
  scaler.Draw(mode, Place(mode, {source.width, source.height}, size), source.View(), window.View());
  return window;
}

// Compares every window pixel; sharp may differ by one level per channel.
void ExpectMatchesReference(ScaleMode mode, Scaler::Kernel kernel, const Picture& source, Size size) {
  SCOPED_TRACE(testing::Message() << "window " << size.width << "x" << size.height << ", mode " << static_cast<int>(mode)
                                  << ", kernel " << static_cast<int>(kernel));
  Scaler scaler(kernel);
  const Window window = Draw(scaler, mode, source, size);
  const Placement placement = Place(mode, {source.width, source.height}, size);
  const ReferenceSharp sharp(source, placement);
  int mismatches = 0;
  for (int y = 0; y < size.height && mismatches < 5; ++y) {
    for (int x = 0; x < size.width && mismatches < 5; ++x) {
      const std::uint32_t actual = window.At(x, y);
      if (!Inside(placement.picture, x, y)) {
        if (actual != kBlack) ++mismatches, ADD_FAILURE() << "border pixel " << x << "," << y << " is " << std::hex << actual;
        continue;
      }
      const std::uint32_t expected = mode == ScaleMode::Sharp ? sharp.At(x, y) : ReferenceNearest(source, placement.picture, x, y);
      const int tolerance = mode == ScaleMode::Sharp ? 1 : 0;
      for (int channel = 0; channel < 4; ++channel) {
        if (std::abs(Channel(actual, channel) - Channel(expected, channel)) > tolerance) {
          ++mismatches;
          ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << actual << ", expected " << expected;
          break;
        }
      }
    }
  }
}

Size Scaled(Size picture, double scale) {
  return {static_cast<int>(std::lround(picture.width * scale)), static_cast<int>(std::lround(picture.height * scale))};
}

TEST(Placement, LetterboxesEachModeAsThePlayerExpects) {
  const Size picture{640, 480};
  EXPECT_EQ(Place(ScaleMode::Sharp, picture, {1920, 1080}), (Placement{{240, 0, 1440, 1080}, 2}));
  EXPECT_EQ(Place(ScaleMode::Stretch, picture, {1920, 1080}), (Placement{{240, 0, 1440, 1080}, 1}));
  EXPECT_EQ(Place(ScaleMode::Whole, picture, {1920, 1080}), (Placement{{320, 60, 1280, 960}, 2}));
  EXPECT_EQ(Place(ScaleMode::Sharp, picture, {1280, 720}), (Placement{{160, 0, 960, 720}, 1}));
  // Portrait: bars above and below.
  EXPECT_EQ(Place(ScaleMode::Sharp, picture, {768, 1024}), (Placement{{0, 224, 768, 576}, 1}));
  EXPECT_EQ(Place(ScaleMode::Whole, picture, {768, 1024}), (Placement{{64, 272, 640, 480}, 1}));
  // A window smaller than the picture has no whole factor: whole shrinks like stretch.
  EXPECT_EQ(Place(ScaleMode::Whole, picture, {632, 477}), Place(ScaleMode::Stretch, picture, {632, 477}));
  EXPECT_EQ(Place(ScaleMode::Sharp, picture, {0, 0}).picture.width, 0);
}

TEST(Scaler, EveryModeMatchesThePlainReferenceAtEveryScale) {
  const Picture source = RandomPicture(64, 48, 7);
  for (const double scale : {1.0, 1.25, 1.5, 2.0, 2.25, 3.0}) {
    for (const ScaleMode mode : {ScaleMode::Sharp, ScaleMode::Whole, ScaleMode::Stretch}) {
      for (const auto kernel : {Scaler::Kernel::Vectorised, Scaler::Kernel::Plain}) {
        ExpectMatchesReference(mode, kernel, source, Scaled({64, 48}, scale));
      }
    }
  }
}

TEST(Scaler, OddAndPortraitWindowsAndTheGamesOwnPicture) {
  const Picture small = RandomPicture(64, 48, 11);
  for (const Size size : {Size{101, 77}, Size{203, 151}, Size{77, 301}, Size{48, 90}, Size{63, 47}}) {
    for (const ScaleMode mode : {ScaleMode::Sharp, ScaleMode::Whole, ScaleMode::Stretch}) {
      ExpectMatchesReference(mode, Scaler::Kernel::Vectorised, small, size);
    }
  }
  const Picture game = RandomPicture(640, 480, 3);
  ExpectMatchesReference(ScaleMode::Sharp, Scaler::Kernel::Vectorised, game, {1920, 1080});
  ExpectMatchesReference(ScaleMode::Stretch, Scaler::Kernel::Vectorised, game, {1280, 720});
  ExpectMatchesReference(ScaleMode::Sharp, Scaler::Kernel::Vectorised, game, {632, 477});
}

TEST(Scaler, TouchesOnlyThePicturesRectangleAndFollowsAResize) {
  const Picture source = RandomPicture(64, 48, 5);
  Scaler scaler;
  for (const Size size : {Size{200, 100}, Size{100, 200}, Size{160, 120}}) {
    Window window(size, 0xDEADBEEFu);
    const Placement placement = Place(ScaleMode::Sharp, {64, 48}, size);
    scaler.Draw(ScaleMode::Sharp, placement, source.View(), window.View());
    for (int y = 0; y < size.height; ++y) {
      for (int x = 0; x < size.width; ++x) {
        if (!Inside(placement.picture, x, y)) {
          ASSERT_EQ(window.At(x, y), 0xDEADBEEFu) << x << "," << y;
        }
      }
    }
    // The same scaler, reused after the window changed, draws what a fresh one would.
    Scaler fresh;
    Window expected(size, 0xDEADBEEFu);
    fresh.Draw(ScaleMode::Sharp, placement, source.View(), expected.View());
    EXPECT_EQ(window.pixels, expected.pixels);
  }
}

TEST(ChangedRows, RunsOfRowsThatDifferFromThePictureBefore) {
  // A pitch wider than the picture: what lies past a row's end is no part of it.
  Picture picture = RandomPicture(10, 12, 9);
  const ConstImage view{picture.pixels.data(), 8, 12, 10};
  ChangedRows changed;
  EXPECT_EQ(changed.Next(view), (std::vector<Rows>{{0, 12}}));
  EXPECT_EQ(changed.Next(view), std::vector<Rows>{});
  for (const int row : {0, 3, 4, 11}) picture.pixels[static_cast<size_t>(row) * 10 + 7] ^= 1;
  picture.pixels[6 * 10 + 9] ^= 1;
  EXPECT_EQ(changed.Next(view), (std::vector<Rows>{{0, 1}, {3, 5}, {11, 12}}));
  EXPECT_EQ(changed.Next(view), std::vector<Rows>{});
  EXPECT_EQ(changed.Next({picture.pixels.data(), 8, 11, 10}), (std::vector<Rows>{{0, 11}}));
}

// Drawn over a sentinel, a redraw shows which window rows it touched: exactly the rows it
// returns, each as the whole drawing of the new picture has it, and every row that changed.
TEST(Scaler, RedrawsOnlyTheWindowRowsThatReadAChangedSourceRow) {
  constexpr std::uint32_t kUntouched = 0x12345678u;
  const Picture before = RandomPicture(64, 48, 13);
  Picture after = before;
  const std::vector<Rows> changed{{0, 1}, {20, 23}, {47, 48}};
  for (const Rows& rows : changed) {
    for (int row = rows.first; row < rows.last; ++row) after.pixels[static_cast<size_t>(row) * 64 + 30] ^= 0x00FF00FFu;
  }
  for (const double scale : {1.0, 1.5, 2.25, 3.0}) {
    for (const ScaleMode mode : {ScaleMode::Sharp, ScaleMode::Whole, ScaleMode::Stretch}) {
      SCOPED_TRACE(testing::Message() << "scale " << scale << ", mode " << static_cast<int>(mode));
      const Size size = Scaled({64, 48}, scale);
      const Placement placement = Place(mode, {64, 48}, size);
      Scaler scaler;
      const Window old = Draw(scaler, mode, before, size), whole = Draw(scaler, mode, after, size);
      Window window(size, kUntouched);
      const std::vector<Rows> drawn = scaler.Redraw(mode, placement, after.View(), window.View(), changed);
      std::vector<bool> inDrawn(static_cast<size_t>(size.height));
      for (const Rows& rows : drawn) std::fill(inDrawn.begin() + rows.first, inDrawn.begin() + rows.last, true);
      for (int y = 0; y < size.height; ++y) {
        // The picture's part of the row; its borders are no redraw's business.
        const auto row = [&](const Window& w) {
          const auto start = w.pixels.begin() + y * size.width + placement.picture.x;
          return std::vector(start, start + placement.picture.width);
        };
        if (!inDrawn[static_cast<size_t>(y)]) {
          ASSERT_EQ(row(old), row(whole)) << "changed row " << y << " not redrawn";
          ASSERT_EQ(row(window), std::vector(static_cast<size_t>(placement.picture.width), kUntouched))
              << "row " << y << " touched";
          continue;
        }
        ASSERT_EQ(row(window), row(whole)) << "row " << y;
        const int source = PictureFromWindow(placement, {64, 48}, placement.picture.x, y).y;
        ASSERT_TRUE(std::any_of(changed.begin(), changed.end(), [&](const Rows& rows) {
          return source >= rows.first - 1 && source <= rows.last;
        })) << "row " << y << " lies on picture row " << source << ", far from any change";
      }
      EXPECT_EQ(scaler.Redraw(mode, placement, after.View(), window.View(), {}), std::vector<Rows>{});
    }
  }
}

// Each picture pixel gets its own value, so the pixel drawn under the pointer names itself.
TEST(PointerMapping, NamesThePicturePixelDrawnUnderThePointer) {
  Picture source{640, 480, std::vector<std::uint32_t>(640 * 480)};
  for (size_t i = 0; i < source.pixels.size(); ++i) source.pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i);
  for (const double scale : {1.25, 1.5, 2.25}) {
    for (const ScaleMode mode : {ScaleMode::Sharp, ScaleMode::Stretch}) {
      SCOPED_TRACE(testing::Message() << "scale " << scale << ", mode " << static_cast<int>(mode));
      const Size size = Scaled({640, 480}, scale);
      Scaler scaler;
      const Window window = Draw(scaler, mode, source, size);
      const Placement placement = Place(mode, {640, 480}, size);
      std::vector<bool> reached(source.pixels.size());
      for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
          const Point at = PictureFromWindow(placement, {640, 480}, x, y);
          ASSERT_TRUE(at.x >= 0 && at.x < 640 && at.y >= 0 && at.y < 480) << x << "," << y;
          reached[static_cast<size_t>(at.y) * 640 + at.x] = true;
          if (window.At(x, y) == source.pixels[static_cast<size_t>(at.y) * 640 + at.x]) continue;
          // Only sharp blends, and only at the seam between two picture pixels.
          ASSERT_EQ(mode, ScaleMode::Sharp) << x << "," << y;
          const auto seam = [&](int dx, int dy) {
            const Point next = PictureFromWindow(placement, {640, 480}, x + dx, y + dy);
            return next.x != at.x || next.y != at.y;
          };
          ASSERT_TRUE(seam(-1, 0) || seam(1, 0) || seam(0, -1) || seam(0, 1)) << "blend away from a seam at " << x << "," << y;
        }
      }
      EXPECT_EQ(std::count(reached.begin(), reached.end(), false), 0) << "picture pixels the pointer cannot reach";
    }
  }
  // Beside the picture the pointer lies beside it too.
  const Placement wide = Place(ScaleMode::Sharp, {640, 480}, {1920, 1080});
  EXPECT_LT(PictureFromWindow(wide, {640, 480}, 0, 540).x, 0);
  EXPECT_GE(PictureFromWindow(wide, {640, 480}, 1919, 540).x, 640);
}

TEST(PresentChoice, SoftwareRasterisersTakeTheCpuPathAndTheVariableForcesEither) {
  EXPECT_EQ(ChoosePresentPath("software", ""), PresentPath::Cpu);
  EXPECT_EQ(ChoosePresentPath("opengl", "llvmpipe (LLVM 15.0.6, 256 bits)"), PresentPath::Cpu);
  EXPECT_EQ(ChoosePresentPath("opengles2", "Gallium 0.4 on softpipe"), PresentPath::Cpu);
  EXPECT_EQ(ChoosePresentPath("opengl", "Mesa DRI Intel(R) UHD Graphics 620"), PresentPath::Renderer);
  EXPECT_EQ(ChoosePresentPath("opengl", "AMD Radeon RX 6600 (radeonsi, navi23)"), PresentPath::Renderer);
  EXPECT_EQ(ForcedPresentPath("cpu"), PresentPath::Cpu);
  EXPECT_EQ(ForcedPresentPath("RENDERER"), PresentPath::Renderer);
  EXPECT_EQ(ForcedPresentPath("fast"), std::nullopt);
  EXPECT_EQ(ForcedPresentPath(nullptr), std::nullopt);
  // Xvfb's list: no direct rendering, so no renderer need be created to ask.
  EXPECT_EQ(PathFromXExtensions({"BIG-REQUESTS", "GLX", "MIT-SHM", "Present", "XFIXES"}), PresentPath::Cpu);
  EXPECT_EQ(PathFromXExtensions({"DRI2", "DRI3", "GLX"}), std::nullopt);
  EXPECT_EQ(PathFromXExtensions({"GLX", "NV-CONTROL", "NV-GLX"}), std::nullopt);
}

TEST(ScaleSetting, ReadFromTheDisplaySectionWithSharpByDefault) {
  headless::Reset();
  TempFolder folder;
  std::filesystem::create_directory(folder.Native("data"));
  headless::SetExeName(folder.Native("kotobune"));
  EXPECT_EQ(ScaleModeSetting(), ScaleMode::Sharp);
  folder.Write("data/settei.ini", "[BGM]\r\nSettei=0\r\n[Display]\r\nScale=Whole\r\n");
  EXPECT_EQ(ScaleModeSetting(), ScaleMode::Whole);
  folder.Write("data/settei.ini", "[Display]\r\nScale=stretch\r\n");
  EXPECT_EQ(ScaleModeSetting(), ScaleMode::Stretch);
  folder.Write("data/settei.ini", "[Display]\r\nScale=blurry\r\n");
  EXPECT_EQ(ScaleModeSetting(), ScaleMode::Sharp);
  headless::Reset();
}

// Written at every exit, so it must leave the player's lines alone and write nothing new
// when nothing changed (a read-only settings folder then costs nothing).
TEST(ScaleSetting, WindowSettingChangesOnlyItsOwnKeys) {
  headless::Reset();
  TempFolder folder;
  std::filesystem::create_directory(folder.Native("data"));
  headless::SetExeName(folder.Native("kotobune"));
  const std::string original = "; mine\r\n[BGM]\r\nSettei = 2 ; kept\r\n[Display]\r\nScale=whole\r\n\r\n[X]\r\nY=1";
  folder.Write("data/settei.ini", original);
  EXPECT_EQ(SavedWindowSetting(), WindowSetting{});
  EXPECT_TRUE(SaveWindowSetting({false, std::nullopt}));
  EXPECT_EQ(folder.Read("data/settei.ini"), original);

  EXPECT_TRUE(SaveWindowSetting({true, Size{1000, 600}}));
  EXPECT_EQ(folder.Read("data/settei.ini"), "; mine\r\n[BGM]\r\nSettei = 2 ; kept\r\n[Display]\r\nScale=whole\r\n"
                                            "Window=1\r\nWindowWidth=1000\r\nWindowHeight=600\r\n\r\n[X]\r\nY=1");
  EXPECT_EQ(SavedWindowSetting(), (WindowSetting{true, Size{1000, 600}}));
  {
    PermissionsEnforced enforced;
    std::filesystem::permissions(folder.Native("data"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_TRUE(SaveWindowSetting({true, Size{1000, 600}}));
    EXPECT_FALSE(SaveWindowSetting({false, Size{1000, 600}}));
    std::filesystem::permissions(folder.Native("data"), std::filesystem::perms::owner_all);
  }
  folder.Write("data/settei.ini", "[Display]\r\nWindow=yes\r\nWindowWidth=12\r\nWindowHeight=600\r\n");
  EXPECT_EQ(SavedWindowSetting(), WindowSetting{});
  headless::Reset();
}

TEST(FrameStats, OneLineWithPeriodsCpuAndPath) {
  platform::FrameStats stats;
  EXPECT_EQ(stats.Summary("cpu"),
            "frames 0, period median 0.0 ms, p99 0.0 ms, max 0.0 ms, CPU 0.00 ms per frame, first frame after 0 ms CPU, "
            "present cpu");
  std::int64_t wall = 1'000'000'000, cpu = 5'000'000;
  stats.Frame(wall, cpu);
  for (int i = 0; i < 200; ++i) {
    wall += (i == 150 ? 60 : i % 100 == 7 ? 30 : 25) * 1'000'000;
    cpu += 2'000'000;
    stats.Frame(wall, cpu);
  }
  EXPECT_EQ(stats.Summary("renderer (opengl)"),
            "frames 201, period median 25.0 ms, p99 30.0 ms, max 60.0 ms, CPU 2.00 ms per frame, first frame after 5 ms "
            "CPU, present renderer (opengl)");
}

}  // namespace
