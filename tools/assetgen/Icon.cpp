// The desktop icon: a ball carrying 言 floating in the pool, with the shark's fin circling it.
// One drawing on a 256-unit square, written as SVG and as PNGs of the sizes desktops ask for,
// as a Windows icon, and as the BMP the game sets on its own window.
#include <cairo-svg.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "Bmp.h"

#include "Canvas.h"
#include "Generate.h"

namespace assetgen {
namespace {

constexpr double kDesign = 256;
constexpr std::array<int, 4> kPngSizes{48, 64, 128, 256};
// Windows picks the nearest: small in title bars and lists, large in Explorer's views.
constexpr std::array<int, 4> kWindowsSizes{16, 32, 48, 256};
constexpr int kWindowIconSize = 64;

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

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

class IconCanvas {
 public:
  explicit IconCanvas(int size) : canvas_(size, size) {
    cairo_scale(canvas_.Cr(), size / kDesign, size / kDesign);
    DrawIcon(canvas_.Cr());
    cairo_surface_flush(canvas_.Surface());
  }

  std::vector<std::uint8_t> Png() const {
    std::vector<std::uint8_t> bytes;
    const auto append = [](void* closure, const unsigned char* data, unsigned int length) {
      auto& out = *static_cast<std::vector<std::uint8_t>*>(closure);
      out.insert(out.end(), data, data + length);
      return CAIRO_STATUS_SUCCESS;
    };
    if (cairo_surface_write_to_png_stream(canvas_.Surface(), append, &bytes) != CAIRO_STATUS_SUCCESS) {
      throw std::runtime_error("cannot encode the icon as PNG");
    }
    return bytes;
  }

  // 32 bits with straight alpha behind a V4 header, which carries the alpha mask.
  std::vector<std::uint8_t> BmpWithAlpha() const {
    constexpr std::uint32_t kHeaders = 14 + 108;
    const int size = canvas_.Width();
    const auto imageBytes = static_cast<std::uint32_t>(size * size * 4);
    std::vector<std::uint8_t> out{'B', 'M'};
    Put(out, kHeaders + imageBytes, 4);
    Put(out, 0, 4);
    Put(out, kHeaders, 4);
    for (const std::uint32_t field : {108u, static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(size)}) {
      Put(out, field, 4);
    }
    Put(out, 1, 2);
    Put(out, 32, 2);
    for (const std::uint32_t field : {3u /* BI_BITFIELDS */, imageBytes, 2835u, 2835u, 0u, 0u, 0x00FF0000u,
                                      0x0000FF00u, 0x000000FFu, 0xFF000000u, 0x73524742u /* sRGB */}) {
      Put(out, field, 4);
    }
    out.resize(kHeaders, 0);  // colour end points and gammas, unused for sRGB
    const unsigned char* data = cairo_image_surface_get_data(canvas_.Surface());
    const int stride = cairo_image_surface_get_stride(canvas_.Surface());
    for (int y = size - 1; y >= 0; --y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
      for (int x = 0; x < size; ++x) Put(out, Unpremultiplied(row[x]), 4);
    }
    return out;
  }

 private:
  // Cairo keeps colours multiplied by alpha; files keep them as they are.
  static std::uint32_t Unpremultiplied(std::uint32_t pixel) {
    const std::uint32_t alpha = pixel >> 24;
    if (alpha == 0) return 0;
    std::uint32_t result = alpha << 24;
    for (const int shift : {16, 8, 0}) {
      const std::uint32_t channel = (pixel >> shift) & 0xFF;
      result |= std::min<std::uint32_t>(255, (channel * 255 + alpha / 2) / alpha) << shift;
    }
    return result;
  }

  Canvas canvas_;
};

// An ICO of PNG images, which Windows reads since Vista.
std::vector<std::uint8_t> EncodeIco() {
  std::vector<std::vector<std::uint8_t>> images;
  for (const int size : kWindowsSizes) images.push_back(IconCanvas(size).Png());
  std::vector<std::uint8_t> out;
  Put(out, 0, 2);
  Put(out, 1, 2);  // an icon, not a cursor
  Put(out, static_cast<std::uint32_t>(images.size()), 2);
  auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int size = kWindowsSizes[i];
    Put(out, size >= 256 ? 0 : static_cast<std::uint32_t>(size), 1);  // 0 stands for 256
    Put(out, size >= 256 ? 0 : static_cast<std::uint32_t>(size), 1);
    Put(out, 0, 2);  // no palette, reserved
    Put(out, 1, 2);  // planes
    Put(out, 32, 2);
    Put(out, static_cast<std::uint32_t>(images[i].size()), 4);
    Put(out, offset, 4);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace

void GenerateIcon(const std::string& outDir) {
  WriteSvg(outDir + "/kotobune.svg");
  for (const int size : kPngSizes) WriteBytes(outDir + "/kotobune-" + std::to_string(size) + ".png", IconCanvas(size).Png());
  WriteBytes(outDir + "/kotobune.ico", EncodeIco());
  WriteBytes(outDir + "/kotobune.bmp", IconCanvas(kWindowIconSize).BmpWithAlpha());
}

}  // namespace assetgen
