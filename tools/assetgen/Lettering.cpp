// Pictures made of lettering: the title, the logo, the judgements and the banners.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

#include "Pictures.h"

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

Picture Logo() {
  Canvas canvas(118, 36);
  cairo_t* cr = canvas.Cr();
  RoundedRect(cr, 1, 1, 116, 34, 7);
  SetColour(cr, Rgb255(240, 246, 250));
  cairo_fill_preserve(cr);
  SetColour(cr, Rgb255(30, 60, 110));
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  cairo_move_to(cr, 7, 19);  // folded paper boat
  cairo_line_to(cr, 33, 19);
  cairo_line_to(cr, 28, 27);
  cairo_line_to(cr, 12, 27);
  cairo_close_path(cr);
  cairo_move_to(cr, 14, 19);
  cairo_line_to(cr, 20, 7);
  cairo_line_to(cr, 26, 19);
  cairo_close_path(cr);
  SetColour(cr, Rgb255(240, 120, 40));
  cairo_fill(cr);
  SelectFont(cr, Face::Proportional, 14);
  const double room = 112 - 38;
  SelectFont(cr, Face::Proportional, 14 * std::min(1.0, room / MeasureText(cr, "KOTOBUNE").advance));
  TextPathOnBaseline(cr, "KOTOBUNE", 38, 23);
  SetColour(cr, Rgb255(30, 60, 110));
  cairo_set_line_width(cr, 0.7);
  cairo_stroke_preserve(cr);
  cairo_fill(cr);
  return {"rogo.bmp", canvas.Flatten(KeyColour::Black, kPanelMatte)};
}

}  // namespace

std::vector<Picture> LetteringPictures() {
  return {
      Lettered("seikai.bmp", 250, 96, {{"正解！", 66, 14, kSunset, 10}}),
      Lettered("renzokuseikai.bmp", 380, 104, {{"連続正解！", 64, 18, kGold, 10}},
               {{22, 22, 14}, {356, 26, 12}, {340, 86, 9}, {36, 84, 10}}),
      Lettered("fuseikai.bmp", 260, 96, {{"不正解…", 62, 16, kIce, 10}}),
      Lettered("StageClear.bmp", 420, 118, {{"STAGE CLEAR!", 56, 12, kGold, 10}, {"ステージクリア", 22, 84, kSea, 4}},
               {{18, 20, 12}, {402, 24, 10}}),
      Lettered("GameClear.bmp", 420, 118,
               {{"GAME CLEAR!!", 56, 12, kSunset, 10}, {"全ステージ制覇", 22, 84, kSea, 4}},
               {{16, 18, 13}, {404, 20, 12}, {30, 96, 8}, {392, 98, 9}}),
      Lettered("GameOver.bmp", 400, 118, {{"GAME OVER", 60, 12, kDusk, 10}, {"ゲームオーバー", 22, 86, kIce, 4}}),
      Title(),
      Logo(),
  };
}

}  // namespace assetgen
