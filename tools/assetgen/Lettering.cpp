// Pictures made of lettering: the title, the logo, the judgements and the banners.
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

struct Palette {
  Colour top, bottom, outline;
};

struct Line {
  std::string_view text;
  double size;
  double top;  // top of the line's ink
  Palette palette;
  double outer;  // width of the dark outline; a white rim half as wide sits inside it
};

void DrawLine(Canvas& canvas, const Line& line) {
  cairo_t* cr = canvas.Cr();
  SelectFont(cr, Face::Proportional, line.size);
  TextBox box = MeasureText(cr, line.text);
  const double room = canvas.Width() - 2 * line.outer - 8;  // outline and shadow stay inside
  if (box.width > room) {
    SelectFont(cr, Face::Proportional, line.size * room / box.width);
    box = MeasureText(cr, line.text);
  }
  cairo_pattern_t* fill = cairo_pattern_create_linear(0, line.top, 0, line.top + box.height);
  cairo_pattern_add_color_stop_rgb(fill, 0, line.palette.top.r, line.palette.top.g, line.palette.top.b);
  cairo_pattern_add_color_stop_rgb(fill, 1, line.palette.bottom.r, line.palette.bottom.g, line.palette.bottom.b);
  const double x = (canvas.Width() - box.width) / 2;
  cairo_save(cr);  // soft shadow below and right
  cairo_translate(cr, 3, 4);
  TextPathAt(cr, line.text, x, line.top);
  SetColour(cr, Rgb255(10, 12, 24));
  cairo_set_line_width(cr, line.outer);
  cairo_stroke_preserve(cr);
  cairo_fill(cr);
  cairo_restore(cr);
  TextPathAt(cr, line.text, x, line.top);
  DrawLettering(cr, {line.outer, line.palette.outline, line.outer / 2, Rgb255(255, 255, 255), {}, fill});
  cairo_pattern_destroy(fill);
}

void Star(cairo_t* cr, double cx, double cy, double radius, const Colour& colour) {
  for (int i = 0; i < 8; ++i) {
    const double angle = kTurn * i / 8 - kTurn / 4;
    const double r = (i % 2 == 0) ? radius : radius * 0.28;
    const double x = cx + r * std::cos(angle), y = cy + r * std::sin(angle);
    if (i == 0) {
      cairo_move_to(cr, x, y);
    } else {
      cairo_line_to(cr, x, y);
    }
  }
  cairo_close_path(cr);
  SetColour(cr, colour);
  cairo_fill(cr);
}

const Palette kGold{Rgb255(255, 250, 190), Rgb255(255, 160, 20), Rgb255(150, 50, 10)};
const Palette kSunset{Rgb255(255, 236, 120), Rgb255(250, 90, 40), Rgb255(140, 20, 20)};
const Palette kIce{Rgb255(220, 240, 255), Rgb255(60, 110, 240), Rgb255(16, 24, 90)};
const Palette kDusk{Rgb255(230, 210, 255), Rgb255(110, 60, 170), Rgb255(40, 14, 60)};
const Palette kSea{Rgb255(255, 255, 255), Rgb255(110, 220, 255), Rgb255(10, 50, 110)};

Picture Lettered(const char* name, int width, int height, const std::vector<Line>& lines,
                 const std::vector<std::array<double, 3>>& stars = {}) {
  Canvas canvas(width, height);
  for (const auto& [x, y, r] : stars) Star(canvas.Cr(), x, y, r, Rgb255(255, 246, 170));
  for (const Line& line : lines) DrawLine(canvas, line);
  return {name, canvas.Flatten(KeyColour::Black, kWaterMatte)};
}

Picture Title() {
  Canvas canvas(434, 150);
  cairo_t* cr = canvas.Cr();
  // A wave under the name: the game is set in a pool.
  cairo_move_to(cr, 10, 112);
  for (int i = 0; i < 13; ++i) {
    cairo_curve_to(cr, 10 + 32 * i + 8, 104, 10 + 32 * i + 24, 120, 10 + 32 * (i + 1), 112);
  }
  SetColour(cr, Rgb255(200, 240, 255, 0.9));
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
  DrawLine(canvas, {"ことぶね", 104, 8, kSunset, 12});
  DrawLine(canvas, {"四字熟語シューティング", 22, 122, kSea, 5});
  return {"Title.bmp", canvas.Flatten(KeyColour::Black, kWaterMatte)};
}

// Small enough to sit on the controls panel's corner without covering its text.
Picture Logo() {
  constexpr int kWidth = layout::kLogoWidth, kHeight = layout::kLogoHeight;
  Canvas canvas(kWidth, kHeight);
  cairo_t* cr = canvas.Cr();
  RoundedRect(cr, 1, 1, kWidth - 2, kHeight - 2, 5);
  SetColour(cr, Rgb255(240, 246, 250));
  cairo_fill_preserve(cr);
  SetColour(cr, Rgb255(30, 60, 110));
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  cairo_move_to(cr, 5, 12);  // folded paper boat
  cairo_line_to(cr, 23, 12);
  cairo_line_to(cr, 19, 18);
  cairo_line_to(cr, 9, 18);
  cairo_close_path(cr);
  cairo_move_to(cr, 10, 12);
  cairo_line_to(cr, 14, 4);
  cairo_line_to(cr, 18, 12);
  cairo_close_path(cr);
  SetColour(cr, Rgb255(240, 120, 40));
  cairo_fill(cr);
  constexpr double kTextLeft = 27;
  SelectFont(cr, Face::Proportional, 12);
  const double room = kWidth - kTextLeft - 4;
  SelectFont(cr, Face::Proportional, 12 * std::min(1.0, room / MeasureText(cr, "KOTOBUNE").advance));
  TextPathOnBaseline(cr, "KOTOBUNE", kTextLeft, 15.5);
  SetColour(cr, Rgb255(30, 60, 110));
  cairo_set_line_width(cr, 0.6);
  cairo_stroke_preserve(cr);
  cairo_fill(cr);
  return {"rogo.bmp", canvas.Flatten(KeyColour::Black, kPanelMatte)};
}

}  // namespace

// Judgements and banners are drawn centred on the picture, over the water: no wider or
// taller than the banner box, which stays inside the pool.
std::vector<Picture> LetteringPictures() {
  constexpr int kW = layout::kBannerWidth, kH = layout::kBannerHeight;
  return {
      Lettered("seikai.bmp", 200, 80, {{"正解！", 56, 10, kSunset, 8}}),
      Lettered("renzokuseikai.bmp", kW, 84, {{"連続正解！", 48, 16, kGold, 8}},
               {{16, 16, 10}, {234, 18, 9}, {224, 70, 7}, {24, 70, 8}}),
      Lettered("fuseikai.bmp", 210, 80, {{"不正解…", 52, 12, kIce, 8}}),
      Lettered("StageClear.bmp", kW, kH, {{"STAGE CLEAR!", 40, 14, kGold, 8}, {"ステージクリア", 20, 70, kSea, 4}},
               {{14, 16, 9}, {236, 20, 8}}),
      Lettered("GameClear.bmp", kW, kH,
               {{"GAME CLEAR!!", 40, 14, kSunset, 8}, {"全ステージ制覇", 20, 70, kSea, 4}},
               {{12, 14, 10}, {238, 16, 9}, {20, 84, 6}, {230, 86, 7}}),
      Lettered("GameOver.bmp", kW, kH, {{"GAME OVER", 44, 14, kDusk, 8}, {"ゲームオーバー", 20, 70, kIce, 4}}),
      Title(),
      Logo(),
  };
}

}  // namespace assetgen
