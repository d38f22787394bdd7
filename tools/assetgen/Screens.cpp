// The background (play field and side panel) and the how-to-play panel.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string_view>

#include "Pictures.h"

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

void PanelBackground(cairo_t* cr) {
  cairo_pattern_t* shade = cairo_pattern_create_linear(0, 0, 0, 480);
  cairo_pattern_add_color_stop_rgb(shade, 0, 0.10, 0.17, 0.32);
  cairo_pattern_add_color_stop_rgb(shade, 1, 0.05, 0.09, 0.19);
  cairo_rectangle(cr, 480, 0, 160, 480);
  cairo_set_source(cr, shade);
  cairo_fill(cr);
  cairo_pattern_destroy(shade);
  cairo_rectangle(cr, 480, 0, 2, 480);
  SetColour(cr, Rgb255(96, 150, 210));
  cairo_fill(cr);
}

// Four sockets per answer row, where the picked balls come to rest.
void AnswerTray(cairo_t* cr, double y) {
  RoundedRect(cr, 476, y - 4, 144, 38, 8);
  SetColour(cr, Rgb255(12, 22, 44));
  cairo_fill_preserve(cr);
  SetColour(cr, Rgb255(80, 130, 190));
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  for (int i = 0; i < 4; ++i) {
    const double cx = 480 + 35 * i + 15;
    cairo_arc(cr, cx, y + 15, 15.5, 0, kTurn);
    cairo_pattern_t* hollow = cairo_pattern_create_radial(cx, y + 12, 2, cx, y + 15, 16);
    cairo_pattern_add_color_stop_rgb(hollow, 0, 0.16, 0.26, 0.44);
    cairo_pattern_add_color_stop_rgb(hollow, 1, 0.06, 0.10, 0.20);
    cairo_set_source(cr, hollow);
    cairo_fill(cr);
    cairo_pattern_destroy(hollow);
  }
}

// One board per idiom's meaning, clear of the answer trays and the plates above them.
void MeaningBoard(cairo_t* cr, double top, double height) {
  RoundedRect(cr, 486, top, 150, height, 8);
  SetColour(cr, Rgb255(30, 52, 92));
  cairo_fill_preserve(cr);
  SetColour(cr, Rgb255(70, 110, 170));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

void ClockLabel(cairo_t* cr) {
  cairo_arc(cr, 494, 317, 6, 0, kTurn);
  SetColour(cr, Rgb255(150, 220, 240));
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  cairo_move_to(cr, 494, 313);
  cairo_line_to(cr, 494, 317);
  cairo_line_to(cr, 497, 319);
  cairo_stroke(cr);
  SelectFont(cr, Face::Proportional, 13);
  TextPathOnBaseline(cr, "残り時間", 504, 322);
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
  MeaningBoard(cr, 82, 62);
  MeaningBoard(cr, 220, 58);
  AnswerTray(cr, 48);
  AnswerTray(cr, 183);
  ClockLabel(cr);
  return {"Haikei.bmp", canvas.Flatten(KeyColour::Black, kPanelMatte)};
}

struct Control {
  std::string_view key, action;
};
constexpr std::array<Control, 6> kControls{{{"左/右ボタン", "旋回"},
                                             {"中ボタン/Space", "発射"},
                                             {"Shift", "開始/次へ"},
                                             {"Ctrl", "一時停止"},
                                             {"Z", "BGM切替"},
                                             {"Esc", "終了"}}};

Picture HowToPlay() {
  constexpr int kWidth = 160, kHeight = 146;
  constexpr double kMargin = 10;
  Canvas canvas(kWidth, kHeight);
  cairo_t* cr = canvas.Cr();
  RoundedRect(cr, 2, 2, kWidth - 4, kHeight - 4, 9);
  SetColour(cr, Rgb255(20, 44, 88));
  cairo_fill_preserve(cr);
  SetColour(cr, Rgb255(130, 190, 240));
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  SelectFont(cr, Face::Proportional, 15);
  const TextBox title = MeasureText(cr, "操作方法");
  TextPathOnBaseline(cr, "操作方法", (kWidth - title.advance) / 2, 24);
  SetColour(cr, Rgb255(255, 236, 140));
  cairo_set_line_width(cr, 0.6);  // a touch of weight: the face has no bold
  cairo_stroke_preserve(cr);
  cairo_fill(cr);
  cairo_move_to(cr, 12, 31);
  cairo_line_to(cr, kWidth - 12, 31);
  SetColour(cr, Rgb255(130, 190, 240));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  SelectFont(cr, Face::Proportional, 12);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const double baseline = 50 + 17.5 * static_cast<double>(i);
    TextPathOnBaseline(cr, kControls[i].key, kMargin, baseline);
    SetColour(cr, Rgb255(150, 230, 255));
    cairo_fill(cr);
    const double actionWidth = MeasureText(cr, kControls[i].action).advance;
    TextPathOnBaseline(cr, kControls[i].action, kWidth - kMargin - actionWidth, baseline);
    SetColour(cr, Rgb255(255, 255, 255));
    cairo_fill(cr);
  }
  return {"SosaHoho.bmp", canvas.Flatten(KeyColour::Black, kPanelMatte)};
}

}  // namespace

std::vector<Picture> ScreenPictures() { return {Background(), HowToPlay()}; }

}  // namespace assetgen
