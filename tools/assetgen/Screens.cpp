// The background (play field and side panel) and the how-to-play panel.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

#include "Pictures.h"
#include "ScreenLayout.h"

namespace assetgen {
namespace {

constexpr double kTurn = 2 * std::numbers::pi;
constexpr double kCentre = 240;
constexpr double kWaterRadius = 213;  // balls bounce at 210
constexpr double kRimRadius = 231;
constexpr double kLaneRadius = 180;   // the shark's path
constexpr double kLaneInner = 148;

void Deck(cairo_t* cr) {
  cairo_rectangle(cr, 0, 0, 480, 480);
  SetColour(cr, Rgb255(34, 44, 60));
  cairo_fill(cr);
  SetColour(cr, Rgb255(26, 34, 48));
  cairo_set_line_width(cr, 2);
  for (int i = 0; i <= 480; i += 40) {
    cairo_move_to(cr, i, 0);
    cairo_line_to(cr, i, 480);
    cairo_move_to(cr, 0, i);
    cairo_line_to(cr, 480, i);
  }
  cairo_stroke(cr);
}

void Rim(cairo_t* cr) {
  cairo_arc(cr, kCentre, kCentre + 4, kRimRadius + 2, 0, kTurn);  // drop shadow on the deck
  SetColour(cr, Rgb255(14, 18, 26, 0.7));
  cairo_fill(cr);
  cairo_pattern_t* stone = cairo_pattern_create_radial(kCentre, kCentre, kWaterRadius, kCentre, kCentre, kRimRadius);
  cairo_pattern_add_color_stop_rgb(stone, 0, 0.62, 0.66, 0.68);
  cairo_pattern_add_color_stop_rgb(stone, 0.35, 0.90, 0.91, 0.88);
  cairo_pattern_add_color_stop_rgb(stone, 1, 0.70, 0.72, 0.70);
  cairo_arc(cr, kCentre, kCentre, kRimRadius, 0, kTurn);
  cairo_set_source(cr, stone);
  cairo_fill(cr);
  cairo_pattern_destroy(stone);
  SetColour(cr, Rgb255(120, 128, 130));  // joints between the coping stones
  cairo_set_line_width(cr, 1);
  for (int i = 0; i < 48; ++i) {
    const double a = kTurn * i / 48;
    cairo_move_to(cr, kCentre + kWaterRadius * std::cos(a), kCentre + kWaterRadius * std::sin(a));
    cairo_line_to(cr, kCentre + kRimRadius * std::cos(a), kCentre + kRimRadius * std::sin(a));
  }
  cairo_stroke(cr);
}

// Light network on the pool floor: where the sum of a few warped waves crosses zero.
double Caustic(double x, double y) {
  const double a = std::sin(0.047 * x + 1.9 * std::sin(0.031 * y + 0.4));
  const double b = std::sin(0.052 * y + 1.7 * std::sin(0.036 * x + 1.3));
  const double c = std::sin(0.033 * (x + y) + 1.5 * std::sin(0.041 * (x - y)));
  const double line = std::clamp(1.0 - std::abs(a + b + c) * 1.4, 0.0, 1.0);
  return line * line * line;
}

void Water(Canvas& canvas) {
  cairo_surface_flush(canvas.Surface());
  unsigned char* data = cairo_image_surface_get_data(canvas.Surface());
  const int stride = cairo_image_surface_get_stride(canvas.Surface());
  for (int y = 0; y < 480; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < 480; ++x) {
      const double r = std::hypot(x + 0.5 - kCentre, y + 0.5 - kCentre);
      if (r > kWaterRadius + 1) continue;
      const double depth = std::clamp(r / kWaterRadius, 0.0, 1.0);
      const double lane = std::clamp((r - kLaneInner) / 6.0, 0.0, 1.0);  // the lane is deeper
      double red = 96 - 60 * depth - 10 * lane;
      double green = 196 - 80 * depth - 16 * lane;
      double blue = 222 - 30 * depth - 10 * lane;
      const double light = Caustic(x, y) * (0.55 - 0.25 * depth);
      red += (255 - red) * light;
      green += (255 - green) * light;
      blue += (255 - blue) * light;
      const double cover = std::clamp(kWaterRadius + 0.5 - r, 0.0, 1.0);
      const std::uint32_t old = row[x];
      auto channel = [&](double value, int shift) {
        const double under = (old >> shift) & 0xFF;
        return static_cast<std::uint32_t>(std::lround(value * cover + under * (1 - cover))) << shift;
      };
      row[x] = 0xFF000000u | channel(red, 16) | channel(green, 8) | channel(blue, 0);
    }
  }
  cairo_surface_mark_dirty(canvas.Surface());
}

void LaneMarks(cairo_t* cr) {
  // A tiled stripe on the pool floor along the shark's path, and the lane's inner edge.
  cairo_arc(cr, kCentre, kCentre, kLaneRadius, 0, kTurn);
  SetColour(cr, Rgb255(20, 50, 120, 0.35));
  cairo_set_line_width(cr, 9);
  cairo_stroke(cr);
  const std::array<double, 2> dash{10, 8};
  cairo_set_dash(cr, dash.data(), 2, 0);
  cairo_arc(cr, kCentre, kCentre, kLaneInner, 0, kTurn);
  SetColour(cr, Rgb255(230, 250, 255, 0.45));
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
}

void BoxPath(cairo_t* cr, const layout::Box& box, double radius) {
  RoundedRect(cr, box.left + 0.5, box.top + 0.5, box.right - box.left - 1, box.bottom - box.top - 1, radius);
}

void PanelBackground(cairo_t* cr) {
  cairo_pattern_t* shade = cairo_pattern_create_linear(0, 0, 0, 480);
  cairo_pattern_add_color_stop_rgb(shade, 0, 0.10, 0.17, 0.32);
  cairo_pattern_add_color_stop_rgb(shade, 1, 0.05, 0.09, 0.19);
  cairo_rectangle(cr, layout::kPanelLeft, 0, layout::kScreenWidth - layout::kPanelLeft, 480);
  cairo_set_source(cr, shade);
  cairo_fill(cr);
  cairo_pattern_destroy(shade);
  const layout::Box& divider = layout::kDivider;
  cairo_rectangle(cr, divider.left, divider.top, divider.right - divider.left, divider.bottom - divider.top);
  SetColour(cr, Rgb255(96, 150, 210));
  cairo_fill(cr);
}

// A dark board with a thin light edge: texts in light colours read on it.
void Board(cairo_t* cr, const layout::Box& box, const Colour& fill, const Colour& edge) {
  BoxPath(cr, box, 6);
  SetColour(cr, fill);
  cairo_fill_preserve(cr);
  SetColour(cr, edge);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

// The counters and the score lines are drawn in light greens and yellows.
void HudBoards(cairo_t* cr) {
  const Colour fill = Rgb255(12, 20, 38, 0.92), edge = Rgb255(80, 130, 190);
  Board(cr, {layout::kCounterBoard.left - 8, layout::kCounterBoard.top - 8, layout::kCounterBoard.right,
             layout::kCounterBoard.bottom},
        fill, edge);
  Board(cr, {layout::kScoreBoard.left, layout::kScoreBoard.top - 8, layout::kScoreBoard.right,
             layout::kScoreBoard.bottom},
        fill, edge);
}

// The prompts are red, or dark green after the game is cleared: a pale strip reads for both.
// The picture's top is the band's top edge line; the game places it.
Picture PromptBand() {
  const layout::Box& band = layout::kPromptBand;
  const layout::Box& picture = layout::kPromptBandPicture;
  Canvas canvas(picture.right - picture.left, picture.bottom - picture.top);
  cairo_t* cr = canvas.Cr();
  cairo_translate(cr, -picture.left, -picture.top);
  cairo_pattern_t* pale = cairo_pattern_create_linear(0, band.top, 0, band.bottom);
  cairo_pattern_add_color_stop_rgb(pale, 0, 0.90, 0.95, 0.95);
  cairo_pattern_add_color_stop_rgb(pale, 0.5, 0.97, 0.99, 0.98);
  cairo_pattern_add_color_stop_rgb(pale, 1, 0.88, 0.94, 0.94);
  cairo_rectangle(cr, band.left, band.top, band.right - band.left, band.bottom - band.top);
  cairo_set_source(cr, pale);
  cairo_fill(cr);
  cairo_pattern_destroy(pale);
  SetColour(cr, Rgb255(120, 170, 200));
  cairo_set_line_width(cr, 2);
  for (const int y : {band.top, band.bottom}) {
    cairo_move_to(cr, band.left, y);
    cairo_line_to(cr, band.right, y);
  }
  cairo_stroke(cr);
  return {"PromptBand.bmp", canvas.Flatten(KeyColour::Black, kWaterMatte)};
}

// A new player should not have to guess what the bar at the bottom left is.
void GaugeLabel(cairo_t* cr) {
  const layout::Box& label = layout::kGaugeLabel;
  SelectFont(cr, Face::Proportional, 13);
  TextPathOnBaseline(cr, "サメの体力", label.left + 2, label.bottom - 4);
  SetColour(cr, Rgb255(10, 14, 22));
  cairo_set_line_width(cr, 3);
  cairo_stroke_preserve(cr);
  SetColour(cr, Rgb255(150, 255, 150));
  cairo_fill(cr);
}

// Four sockets per answer row, where the picked balls come to rest.
void AnswerTray(cairo_t* cr, int row) {
  const layout::Box& tray = layout::kAnswerTrays[row];
  BoxPath(cr, tray, 8);
  SetColour(cr, Rgb255(12, 22, 44));
  cairo_fill_preserve(cr);
  SetColour(cr, Rgb255(80, 130, 190));
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  const double half = layout::kBallSize / 2.0;
  const double y = layout::kSlotTop + layout::kSlotRowStep * row + half;
  for (int i = 0; i < 4; ++i) {
    const double cx = layout::kSlotLeft + layout::kSlotColumnStep * i + half;
    cairo_arc(cr, cx, y, half + 0.5, 0, kTurn);
    cairo_pattern_t* hollow = cairo_pattern_create_radial(cx, y - 3, 2, cx, y, half + 1);
    cairo_pattern_add_color_stop_rgb(hollow, 0, 0.16, 0.26, 0.44);
    cairo_pattern_add_color_stop_rgb(hollow, 1, 0.06, 0.10, 0.20);
    cairo_set_source(cr, hollow);
    cairo_fill(cr);
    cairo_pattern_destroy(hollow);
  }
}

// The meaning lines come with white plates of their own: a mid-blue board frames them.
void MeaningBoard(cairo_t* cr, int question) {
  Board(cr, layout::kMeaningBoards[question], Rgb255(30, 52, 92), Rgb255(110, 160, 220));
}

// The revealed idiom (yellow plate) and its reading (green plate) above each answer row.
void RowTextBoard(cairo_t* cr, int row) {
  Board(cr, layout::kRowTextBoards[row], Rgb255(18, 32, 62), Rgb255(70, 110, 170));
}

void ClockLabel(cairo_t* cr) {
  const double baseline = layout::kTimeTop + 12;
  cairo_arc(cr, 494, baseline - 5, 6, 0, kTurn);
  SetColour(cr, Rgb255(150, 220, 240));
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  cairo_move_to(cr, 494, baseline - 9);
  cairo_line_to(cr, 494, baseline - 5);
  cairo_line_to(cr, 497, baseline - 3);
  cairo_stroke(cr);
  SelectFont(cr, Face::Proportional, 13);
  TextPathOnBaseline(cr, "残り時間", 504, baseline);
  cairo_fill(cr);
}

Picture Background() {
  Canvas canvas(640, 480);
  cairo_t* cr = canvas.Cr();
  Deck(cr);
  Rim(cr);
  Water(canvas);
  LaneMarks(cr);
  PanelBackground(cr);
  GaugeLabel(cr);
  HudBoards(cr);
  for (int i = 0; i < 2; ++i) {
    MeaningBoard(cr, i);
    RowTextBoard(cr, i);
    AnswerTray(cr, i);
  }
  ClockLabel(cr);
  return {"Haikei.bmp", canvas.Flatten(KeyColour::Black, kPanelMatte)};
}

struct Control {
  std::string_view key, action;
};
using ControlRow = std::vector<Control>;
const std::array<ControlRow, 3> kControlRows{{{{"左/右ボタン", "旋回"}, {"中ボタン", "発射"}},
                                               {{"Space", "発射"}, {"Shift", "開始/次へ"}},
                                               {{"Ctrl", "一時停止"}, {"Z", "BGM"}, {"Esc", "終了"}}}};
constexpr double kKeyGap = 3, kPairGap = 8;

double RowWidth(cairo_t* cr, const ControlRow& row) {
  double width = kPairGap * static_cast<double>(row.size() - 1);
  for (const Control& control : row) {
    width += MeasureText(cr, control.key).advance + kKeyGap + MeasureText(cr, control.action).advance;
  }
  return width;
}

// One size for every row: the largest up to 11 px at which the widest row fits the grid.
void SelectControlsFont(cairo_t* cr) {
  const double room = layout::kControlsGrid.right - layout::kControlsGrid.left;
  double size = 11;
  SelectFont(cr, Face::Proportional, size);
  for (const ControlRow& row : kControlRows) size = std::min(size, size * room / RowWidth(cr, row));
  SelectFont(cr, Face::Proportional, size);
}

// Key in blue, action in white; the pairs spread over the row's width.
void ControlsRow(cairo_t* cr, const ControlRow& row, double baseline) {
  const layout::Box& grid = layout::kControlsGrid;
  const double spare = (grid.right - grid.left) - RowWidth(cr, row);
  const double gap = kPairGap + (row.size() > 1 ? spare / static_cast<double>(row.size() - 1) : 0);
  double x = grid.left;
  for (const Control& control : row) {
    TextPathOnBaseline(cr, control.key, x, baseline);
    SetColour(cr, Rgb255(150, 230, 255));
    cairo_fill(cr);
    x += MeasureText(cr, control.key).advance + kKeyGap;
    TextPathOnBaseline(cr, control.action, x, baseline);
    SetColour(cr, Rgb255(255, 255, 255));
    cairo_fill(cr);
    x += MeasureText(cr, control.action).advance + gap;
  }
}

// The largest size up to `size` at which `text` is no wider than `room`.
double FittingSize(cairo_t* cr, std::string_view text, double size, double room) {
  SelectFont(cr, Face::Proportional, size);
  const double width = MeasureText(cr, text).advance;
  return width <= room ? size : size * room / width;
}

Picture HowToPlay() {
  constexpr int kWidth = layout::kControlsWidth, kHeight = layout::kControlsHeight;
  Canvas canvas(kWidth, kHeight);
  cairo_t* cr = canvas.Cr();
  RoundedRect(cr, 1, 1, kWidth - 2, kHeight - 2, 8);
  SetColour(cr, Rgb255(20, 44, 88));
  cairo_fill_preserve(cr);
  SetColour(cr, Rgb255(130, 190, 240));
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  const layout::Box& heading = layout::kControlsHeading;
  SelectFont(cr, Face::Proportional, FittingSize(cr, "操作方法", 12, heading.right - heading.left));
  TextPathOnBaseline(cr, "操作方法", heading.left, heading.bottom - 4);
  SetColour(cr, Rgb255(255, 236, 140));
  cairo_set_line_width(cr, 0.5);  // a touch of weight: the face has no bold
  cairo_stroke_preserve(cr);
  cairo_fill(cr);
  const layout::Box& grid = layout::kControlsGrid;
  const double rowHeight = (grid.bottom - grid.top) / 3.0;
  SelectControlsFont(cr);
  for (std::size_t i = 0; i < kControlRows.size(); ++i) {
    ControlsRow(cr, kControlRows[i], grid.top + rowHeight * static_cast<double>(i + 1) - 4);
  }
  // A ripple in the corner that the title's logo covers, so the corner is not bare in play.
  cairo_move_to(cr, heading.right + 12, 11);
  for (int i = 0; i < 5; ++i) cairo_rel_curve_to(cr, 4, -4, 8, 4, 12, 0);
  SetColour(cr, Rgb255(90, 150, 210));
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  return {"SosaHoho.bmp", canvas.Flatten(KeyColour::Black, kPanelMatte)};
}

}  // namespace

// Behind every page: deep water and one board; the page's own lines carry all its text.
Picture PageBackdrop() {
  Canvas canvas(layout::kScreenWidth, layout::kScreenHeight);
  cairo_t* cr = canvas.Cr();
  cairo_pattern_t* deep = cairo_pattern_create_linear(0, 0, 0, layout::kScreenHeight);
  cairo_pattern_add_color_stop_rgb(deep, 0, 0.10, 0.30, 0.50);
  cairo_pattern_add_color_stop_rgb(deep, 1, 0.03, 0.10, 0.22);
  cairo_set_source(cr, deep);
  cairo_paint(cr);
  cairo_pattern_destroy(deep);
  SetColour(cr, Rgb255(120, 200, 240, 0.25));  // ripples in the margin
  cairo_set_line_width(cr, 2);
  for (int row = 0; row < 12; ++row) {
    const double y = 8 + 40 * row;
    cairo_move_to(cr, 0, y);
    for (int i = 0; i < 32; ++i) cairo_rel_curve_to(cr, 5, -4, 15, 4, 20, 0);
  }
  cairo_stroke(cr);
  Board(cr, layout::kPageBoard, Rgb255(12, 24, 48, 0.94), Rgb255(110, 170, 230));
  return {"PageBack.bmp", canvas.Flatten(KeyColour::Black, kPanelMatte)};
}

std::vector<Picture> ScreenPictures() { return {Background(), HowToPlay(), PromptBand(), PageBackdrop()}; }

}  // namespace assetgen
