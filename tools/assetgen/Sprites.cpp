// Small sprites of the play field.
#include <cmath>
#include <array>
#include <cstdint>
#include <numbers>

#include "Pictures.h"

namespace assetgen {
namespace {

constexpr double kTurn = 2 * std::numbers::pi;

struct BallStyle {
  Colour light, base, rim;
};

// Balls 0 and 1 carry black characters, 2 and 3 white ones: two light balls, two dark.
const BallStyle kBalls[4] = {
    {Rgb255(255, 252, 228), Rgb255(255, 222, 110), Rgb255(196, 140, 30)},
    {Rgb255(255, 240, 244), Rgb255(255, 178, 196), Rgb255(196, 96, 126)},
    {Rgb255(214, 84, 84), Rgb255(168, 28, 40), Rgb255(96, 10, 20)},
    {Rgb255(64, 150, 92), Rgb255(22, 104, 58), Rgb255(8, 60, 30)},
};

Picture Ball(int index) {
  const BallStyle& style = kBalls[index];
  constexpr int kSize = 30;
  Canvas canvas(kSize, kSize);
  cairo_t* cr = canvas.Cr();
  cairo_pattern_t* shade = cairo_pattern_create_radial(11, 10, 1, 15, 15, 15);
  cairo_pattern_add_color_stop_rgb(shade, 0, style.light.r, style.light.g, style.light.b);
  cairo_pattern_add_color_stop_rgb(shade, 0.55, style.base.r, style.base.g, style.base.b);
  cairo_pattern_add_color_stop_rgb(shade, 1, style.rim.r, style.rim.g, style.rim.b);
  cairo_arc(cr, 15, 15, 14.2, 0, kTurn);
  cairo_set_source(cr, shade);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(shade);
  SetColour(cr, style.rim);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  cairo_arc(cr, 9.5, 8.5, 3, 0, kTurn);  // specular glint, away from where the glyph sits
  SetColour(cr, Rgb255(255, 255, 255, 0.7));
  cairo_fill(cr);
  return {"ball" + std::to_string(index) + ".bmp", canvas.Flatten(KeyColour::Blue, kWaterMatte)};
}

Picture Shot() {
  Canvas canvas(12, 12);
  cairo_t* cr = canvas.Cr();
  cairo_pattern_t* glow = cairo_pattern_create_radial(6, 6, 0, 6, 6, 6);
  cairo_pattern_add_color_stop_rgb(glow, 0, 1, 1, 1);
  cairo_pattern_add_color_stop_rgb(glow, 0.45, 1, 0.95, 0.45);
  cairo_pattern_add_color_stop_rgb(glow, 1, 1, 0.5, 0.1);
  cairo_arc(cr, 6, 6, 5.6, 0, kTurn);
  cairo_set_source(cr, glow);
  cairo_fill(cr);
  cairo_pattern_destroy(glow);
  return {"tama.bmp", canvas.Flatten(KeyColour::Black, kWaterMatte)};
}

Picture Target() {
  Canvas canvas(32, 32);
  cairo_t* cr = canvas.Cr();
  auto crosshair = [cr] {
    cairo_arc(cr, 16, 16, 11, 0, kTurn);
    for (const auto& [x0, y0, x1, y1] : {std::array{16, 1, 16, 9}, std::array{16, 23, 16, 31},
                                         std::array{1, 16, 9, 16}, std::array{23, 16, 31, 16}}) {
      cairo_move_to(cr, x0, y0);
      cairo_line_to(cr, x1, y1);
    }
  };
  crosshair();
  SetColour(cr, Rgb255(255, 255, 255));
  cairo_set_line_width(cr, 4.5);
  cairo_stroke(cr);
  crosshair();
  SetColour(cr, Rgb255(230, 30, 40));
  cairo_set_line_width(cr, 2.2);
  cairo_stroke(cr);
  cairo_arc(cr, 16, 16, 2, 0, kTurn);
  cairo_fill(cr);
  return {"target.bmp", canvas.Flatten(KeyColour::Black, kWaterMatte)};
}

Picture Maru() {
  Canvas canvas(30, 30);
  cairo_t* cr = canvas.Cr();
  cairo_arc(cr, 15, 15, 10.5, 0, kTurn);
  SetColour(cr, Rgb255(255, 255, 255));
  cairo_set_line_width(cr, 8);
  cairo_stroke_preserve(cr);
  SetColour(cr, Rgb255(232, 36, 48));
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
  return {"maru.bmp", canvas.Flatten(KeyColour::Black, kPanelMatte)};
}

Picture Batu() {
  Canvas canvas(30, 30);
  cairo_t* cr = canvas.Cr();
  auto cross = [cr] {
    cairo_move_to(cr, 6, 6);
    cairo_line_to(cr, 24, 24);
    cairo_move_to(cr, 24, 6);
    cairo_line_to(cr, 6, 24);
  };
  cross();
  SetColour(cr, Rgb255(255, 255, 255));
  cairo_set_line_width(cr, 8);
  cairo_stroke(cr);
  cross();
  SetColour(cr, Rgb255(40, 90, 230));
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
  return {"batu.bmp", canvas.Flatten(KeyColour::Black, kPanelMatte)};
}

// The game paints the gauge over this picture; only its size matters in play.
Picture Gauge() {
  Canvas canvas(160, 16);
  cairo_t* cr = canvas.Cr();
  cairo_rectangle(cr, 0, 0, 160, 16);
  SetColour(cr, Rgb255(0, 255, 0));
  cairo_fill(cr);
  cairo_rectangle(cr, 3, 3, 154, 10);
  SetColour(cr, Rgb255(255, 0, 0));
  cairo_fill(cr);
  return {"gage.bmp", canvas.Flatten(KeyColour::Black, kPanelMatte)};
}

// A fixed generator: the explosions' ragged edges come out the same on every build.
class Lcg {
 public:
  explicit Lcg(std::uint32_t seed) : state_(seed) {}
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) / 16777216.0;
  }

 private:
  std::uint32_t state_;
};

void Starburst(cairo_t* cr, double cx, double cy, double inner, double outer, int spikes, Lcg& random) {
  for (int i = 0; i < 2 * spikes; ++i) {
    const double angle = kTurn * (i + 0.3 * random.Next()) / (2 * spikes);
    const double radius = (i % 2 == 0) ? outer * (0.75 + 0.25 * random.Next()) : inner;
    const double x = cx + radius * std::cos(angle);
    const double y = cy + radius * std::sin(angle);
    if (i == 0) {
      cairo_move_to(cr, x, y);
    } else {
      cairo_line_to(cr, x, y);
    }
  }
  cairo_close_path(cr);
}

void Explosion(cairo_t* cr, double c, double size, std::uint32_t seed) {
  Lcg random(seed);
  const struct {
    double inner, outer;
    Colour colour;
  } layers[] = {{0.30, 0.50, Rgb255(200, 40, 20)},
                {0.26, 0.40, Rgb255(255, 130, 20)},
                {0.18, 0.29, Rgb255(255, 220, 60)},
                {0.08, 0.15, Rgb255(255, 255, 230)}};
  for (const auto& layer : layers) {
    Starburst(cr, c, c, layer.inner * size, layer.outer * size, 11, random);
    SetColour(cr, layer.colour);
    cairo_fill(cr);
  }
}

Picture SmallExplosion() {
  Canvas canvas(32, 32);
  Explosion(canvas.Cr(), 16, 32, 7);
  return {"bakuhatu.bmp", canvas.Flatten(KeyColour::Black, kWaterMatte)};
}

Picture BigExplosion() {
  constexpr double kSize = 96;
  Canvas canvas(96, 96);
  cairo_t* cr = canvas.Cr();
  Lcg random(21);
  for (int i = 0; i < 9; ++i) {  // smoke puffs behind the blast
    const double angle = kTurn * i / 9 + random.Next();
    const double distance = 26 + 8 * random.Next();
    cairo_arc(cr, 48 + distance * std::cos(angle), 48 + distance * std::sin(angle), 11 + 5 * random.Next(), 0,
              kTurn);
    SetColour(cr, Rgb255(90, 84, 80));
    cairo_fill(cr);
  }
  Explosion(cr, kSize / 2, kSize * 0.9, 33);
  return {"GOBakuhatu.bmp", canvas.Flatten(KeyColour::Black, kWaterMatte)};
}

}  // namespace

std::vector<Picture> SpritePictures() {
  std::vector<Picture> pictures;
  for (int i = 0; i < 4; ++i) pictures.push_back(Ball(i));
  for (auto draw : {Shot, Target, Maru, Batu, Gauge, SmallExplosion, BigExplosion}) pictures.push_back(draw());
  return pictures;
}

}  // namespace assetgen
