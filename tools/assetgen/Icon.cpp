// The desktop icon: a ball carrying 言 floating in the pool, with the shark's fin circling it.
// One drawing on a 256-unit square, written as SVG and as PNGs of the sizes desktops ask for.
#include <cairo-svg.h>

#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "Canvas.h"
#include "Generate.h"

namespace assetgen {
namespace {

constexpr double kDesign = 256;
constexpr std::array<int, 4> kPngSizes{48, 64, 128, 256};

const Colour kDeepWater = Rgb255(18, 62, 128);
const Colour kShallowWater = Rgb255(40, 150, 196);
const Colour kRipple = Rgb255(255, 255, 255, 0.22);
const Colour kBall = Rgb255(250, 250, 246);
const Colour kBallShade = Rgb255(196, 210, 224);
const Colour kInk = Rgb255(200, 24, 36);
const Colour kOutline = Rgb255(16, 28, 48);
const Colour kFin = Rgb255(88, 116, 150);

void Pool(cairo_t* cr) {
  RoundedRect(cr, 8, 8, kDesign - 16, kDesign - 16, 44);
  cairo_pattern_t* water = cairo_pattern_create_linear(0, 8, 0, kDesign - 8);
  cairo_pattern_add_color_stop_rgb(water, 0, kShallowWater.r, kShallowWater.g, kShallowWater.b);
  cairo_pattern_add_color_stop_rgb(water, 1, kDeepWater.r, kDeepWater.g, kDeepWater.b);
  cairo_set_source(cr, water);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(water);
  SetColour(cr, kOutline);
  cairo_set_line_width(cr, 6);
  cairo_stroke(cr);
}

// The fin's wake: rings around the ball, open where the fin cuts through.
void Ripples(cairo_t* cr) {
  SetColour(cr, kRipple);
  cairo_set_line_width(cr, 5);
  for (const double radius : {86.0, 106.0}) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, 118, 108, radius, 0.6 * std::numbers::pi, 2.2 * std::numbers::pi);
    cairo_stroke(cr);
  }
}

void Ball(cairo_t* cr) {
  cairo_arc(cr, 118, 108, 66, 0, 2 * std::numbers::pi);
  cairo_pattern_t* shade = cairo_pattern_create_radial(98, 86, 8, 118, 108, 66);
  cairo_pattern_add_color_stop_rgb(shade, 0, kBall.r, kBall.g, kBall.b);
  cairo_pattern_add_color_stop_rgb(shade, 1, kBallShade.r, kBallShade.g, kBallShade.b);
  cairo_set_source(cr, shade);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(shade);
  SetColour(cr, kOutline);
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
}

void Character(cairo_t* cr) {
  constexpr std::string_view kWord = "言";
  SelectFont(cr, Face::Proportional, 92);
  const TextBox box = MeasureText(cr, kWord);
  TextPathAt(cr, kWord, 118 - box.width / 2, 108 - box.height / 2);
  SetColour(cr, kInk);
  cairo_fill(cr);
}

void Fin(cairo_t* cr) {
  cairo_move_to(cr, 146, 226);
  cairo_curve_to(cr, 168, 214, 190, 190, 198, 160);
  cairo_curve_to(cr, 206, 184, 214, 206, 230, 226);
  cairo_close_path(cr);
  SetColour(cr, kFin);
  cairo_fill_preserve(cr);
  SetColour(cr, kOutline);
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
}

void DrawIcon(cairo_t* cr) {
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  Pool(cr);
  Ripples(cr);
  Ball(cr);
  Character(cr);
  Fin(cr);
}

void WriteSvg(const std::string& path) {
  cairo_surface_t* surface = cairo_svg_surface_create(path.c_str(), kDesign, kDesign);
  cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
  cairo_t* cr = cairo_create(surface);
  DrawIcon(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  const cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) throw std::runtime_error("cannot write " + path + ": " + cairo_status_to_string(status));
}

void WritePng(const std::string& path, int size) {
  Canvas canvas(size, size);
  cairo_scale(canvas.Cr(), size / kDesign, size / kDesign);
  DrawIcon(canvas.Cr());
  cairo_surface_flush(canvas.Surface());
  if (cairo_surface_write_to_png(canvas.Surface(), path.c_str()) != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace

void GenerateIcon(const std::string& outDir) {
  WriteSvg(outDir + "/kotobune.svg");
  for (const int size : kPngSizes) WritePng(outDir + "/kotobune-" + std::to_string(size) + ".png", size);
}

}  // namespace assetgen
