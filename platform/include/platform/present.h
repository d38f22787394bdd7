#pragma once
// How the fixed-size picture fills a window of any size: where it lands, which picture pixel
// lies under a window pixel, and a CPU scaler that draws it there. Both present paths share
// this, so the pointer maps the same way whichever draws the frame.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace platform::present {

// Sharp: the largest whole factor with nearest neighbour, the rest linear, so every picture
// pixel gets the same size on screen. Whole: only the whole factor, wider borders.
// Stretch: nearest neighbour to the largest rectangle of the picture's shape.
enum class ScaleMode { Sharp, Whole, Stretch };
inline constexpr std::array<ScaleMode, 3> kScaleModes{ScaleMode::Sharp, ScaleMode::Whole, ScaleMode::Stretch};

std::optional<ScaleMode> ParseScaleMode(std::string_view name);
// The name ParseScaleMode reads, as settei.ini holds it.
std::string_view ScaleModeName(ScaleMode mode);
// data\settei.ini beside the executable, as the game names it.
std::string SettingsFile();
// [Display] Scale in the settings; sharp when absent or unknown.
ScaleMode ScaleModeSetting();
// Writes [Display] Scale, the rest of the file kept as it is.
Result<> SaveScaleMode(ScaleMode mode);
// How the open window scales the picture: the setting's at first; set, from the next frame on.
ScaleMode CurrentScaleMode();
void SetScaleMode(ScaleMode mode);

// The renderer's copy on a real GPU; our own scaler into the window's surface where the
// renderer would rasterise in software anyway. `forced` is KOTOBUNE_PRESENT ("cpu" or
// "renderer"); the names are SDL's renderer name and OpenGL's renderer string.
enum class PresentPath { Renderer, Cpu };
std::optional<PresentPath> ForcedPresentPath(const char* forced);
PresentPath ChoosePresentPath(std::string_view rendererName, std::string_view glRenderer);
// An X server without direct rendering leaves OpenGL nothing but a software rasteriser: the
// CPU path is known before any renderer is created. Otherwise only the renderer can tell.
std::optional<PresentPath> PathFromXExtensions(const std::vector<std::string>& extensions);

struct Size {
  int width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

struct Placement {
  Rect picture;         // where the picture lands inside the window, centred
  int wholeFactor = 1;  // the nearest-neighbour step of sharp scaling
  bool operator==(const Placement&) const = default;
};

Placement Place(ScaleMode mode, Size picture, Size window);

// How the player last left the game: in a window or on the whole screen, and the window's
// size. Kept in [Display] of data\settei.ini (Window, WindowWidth, WindowHeight).
struct WindowSetting {
  std::optional<bool> windowed;
  std::optional<Size> size;
  bool operator==(const WindowSetting&) const = default;
};
WindowSetting SavedWindowSetting();
// Writes the keys that differ, the rest of the file kept as it is.
Result<> SaveWindowSetting(const WindowSetting& setting);

struct Point {
  int x = 0, y = 0;
};

// The picture pixel under window pixel (x, y): the one whose scaled footprint holds the
// pixel's centre. Outside the picture the result lies outside the picture too.
Point PictureFromWindow(const Placement& placement, Size picture, int x, int y);

// Rows of 32-bit pixels; pitch in pixels.
struct ConstImage {
  const std::uint32_t* pixels = nullptr;
  int width = 0, height = 0, pitch = 0;
};
struct Image {
  std::uint32_t* pixels = nullptr;
  int width = 0, height = 0, pitch = 0;
};

void FillBlack(Image window);

// Rows first to last - 1 of an image.
struct Rows {
  int first = 0, last = 0;
  bool operator==(const Rows&) const = default;
};

// The rows of each picture that differ from the picture before, found against a copy of it.
class ChangedRows {
 public:
  // Runs of changed rows, in order: every row the first time and whenever the size changes.
  std::vector<Rows> Next(ConstImage picture);

 private:
  std::vector<std::uint32_t> last_;
  Size size_{};
};

// Draws the source into the placement's rectangle of the window; nothing else is touched.
// Keeps its tables between frames: they change only when a size or the mode does.
class Scaler {
 public:
  enum class Kernel { Vectorised, Plain };
  explicit Scaler(Kernel kernel = Kernel::Vectorised) : kernel_(kernel) {}

  void Draw(ScaleMode mode, const Placement& placement, ConstImage source, Image window);
  // Draws only the window rows that read a source row of `changed` (runs in order), and
  // returns them as runs of window rows; the rest of the window is left as it was.
  std::vector<Rows> Redraw(ScaleMode mode, const Placement& placement, ConstImage source, Image window,
                           std::span<const Rows> changed);

  // One output coordinate: a blend of source pixels `first` and `second`, `weight`/256 of the second.
  struct Tap {
    int first = 0, second = 0;
    int weight = 0;
    bool operator==(const Tap&) const = default;
  };

 private:
  void Prepare(ScaleMode mode, const Placement& placement, Size source);
  void DrawNearestRow(const std::uint32_t* source, std::uint32_t* out) const;
  const std::uint16_t* FilteredRow(ConstImage source, int row);
  void FilterRow(const std::uint32_t* source, std::uint16_t* out) const;
  void NarrowRow(const std::uint16_t* filtered, std::uint32_t* out) const;
  void BlendRows(const std::uint16_t* top, const std::uint16_t* bottom, int weight, std::uint32_t* out) const;

  Kernel kernel_;
  ScaleMode mode_ = ScaleMode::Sharp;
  Placement placement_{};
  Size source_{};
  bool prepared_ = false;
  std::vector<Tap> columns_, rows_;
  std::vector<std::uint16_t> columnWeights_;  // the column weights, once per channel
  size_t pairedColumns_ = 0;                  // the first columns, whose next source pixel is in the row
  // Two source rows filtered across, in 8.7 fixed point, and which rows they hold.
  std::vector<std::uint16_t> filtered_[2];
  int filteredRow_[2] = {-1, -1};
};

// The taps of one axis, exposed for tests of the geometry.
std::vector<Scaler::Tap> NearestTaps(int source, int destination);
std::vector<Scaler::Tap> SharpTaps(int source, int destination, int wholeFactor);

}  // namespace platform::present
