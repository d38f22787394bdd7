#include "Canvas.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <stdexcept>

namespace assetgen {

Colour Rgb255(int r, int g, int b, double a) { return {r / 255.0, g / 255.0, b / 255.0, a}; }

void SetColour(cairo_t* cr, const Colour& c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

Canvas::Canvas(int width, int height)
    : width_(width),
      height_(height),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      cr_(cairo_create(surface_)) {
  cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
}

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

namespace {

std::uint8_t Mix(double premultiplied, double alpha, double matte) {
  // Premultiplied colour plus the matte behind the uncovered part.
  const double value = premultiplied + matte * 255.0 * (1.0 - alpha);
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

Rgb AvoidKey(Rgb pixel, KeyColour key) {
  if (key == KeyColour::Black && pixel == Rgb{0, 0, 0}) return {8, 8, 8};
  if (key == KeyColour::Blue && pixel == Rgb{0, 0, 255}) return {0, 0, 248};
  return pixel;
}

}  // namespace

Image Canvas::Flatten(KeyColour key, const Colour& matte) const {
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  const Rgb keyPixel = key == KeyColour::Black ? Rgb{0, 0, 0} : Rgb{0, 0, 255};
  Image image{width_, height_, std::vector<Rgb>(static_cast<std::size_t>(width_) * height_)};
  for (int y = 0; y < height_; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < width_; ++x) {
      const std::uint32_t argb = row[x];
      const double alpha = (argb >> 24) / 255.0;
      if (alpha < 0.5) {
        image.At(x, y) = keyPixel;
        continue;
      }
      const Rgb blended{Mix((argb >> 16) & 0xFF, alpha, matte.r), Mix((argb >> 8) & 0xFF, alpha, matte.g),
                        Mix(argb & 0xFF, alpha, matte.b)};
      image.At(x, y) = AvoidKey(blended, key);
    }
  }
  return image;
}

namespace {

std::string FindFontFile(const char* family) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  std::string file;
  FcChar8* matchedFamily = nullptr;
  FcChar8* matchedFile = nullptr;
  if (match && FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
      std::string_view(reinterpret_cast<char*>(matchedFamily)) == family &&
      FcPatternGetString(match, FC_FILE, 0, &matchedFile) == FcResultMatch) {
    file = reinterpret_cast<char*>(matchedFile);
  }
  if (match) FcPatternDestroy(match);
  if (file.empty()) {
    throw std::runtime_error(std::string("font ") + family + " not found: install fonts-ipafont-gothic");
  }
  return file;
}

// Faces live as long as the program; Cairo keeps its own reference to each.
cairo_font_face_t* LoadFace(Face face) {
  static FT_Library library = [] {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) throw std::runtime_error("FreeType cannot start");
    return lib;
  }();
  static std::map<Face, cairo_font_face_t*> faces;
  if (auto found = faces.find(face); found != faces.end()) return found->second;
  const std::string file = FindFontFile(face == Face::Proportional ? "IPAPGothic" : "IPAGothic");
  FT_Face ftFace = nullptr;
  if (FT_New_Face(library, file.c_str(), 0, &ftFace) != 0) throw std::runtime_error("cannot open " + file);
  cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(ftFace, 0);
  faces[face] = cairoFace;
  return cairoFace;
}

}  // namespace

void SelectFont(cairo_t* cr, Face face, double pixelSize) {
  cairo_set_font_face(cr, LoadFace(face));
  cairo_set_font_size(cr, pixelSize);
  // Unhinted outlines: the same glyph shapes whatever the host's font settings.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

TextBox MeasureText(cairo_t* cr, std::string_view utf8) {
  const std::string text(utf8);
  cairo_text_extents_t e;
  cairo_text_extents(cr, text.c_str(), &e);
  return {e.width, e.height, e.x_bearing, e.y_bearing, e.x_advance};
}

void TextPathAt(cairo_t* cr, std::string_view utf8, double x, double y) {
  const TextBox box = MeasureText(cr, utf8);
  const std::string text(utf8);
  cairo_move_to(cr, x - box.xBearing, y - box.yBearing);
  cairo_text_path(cr, text.c_str());
}

void TextPathOnBaseline(cairo_t* cr, std::string_view utf8, double x, double baseline) {
  const std::string text(utf8);
  cairo_move_to(cr, x, baseline);
  cairo_text_path(cr, text.c_str());
}

void DrawLettering(cairo_t* cr, const Lettering& style) {
  cairo_path_t* path = cairo_copy_path(cr);
  auto strokeWith = [&](double width, const Colour& colour) {
    if (width <= 0) return;
    cairo_new_path(cr);
    cairo_append_path(cr, path);
    cairo_set_line_width(cr, width);
    SetColour(cr, colour);
    cairo_stroke(cr);
  };
  strokeWith(style.outer, style.outerColour);
  strokeWith(style.inner, style.innerColour);
  cairo_new_path(cr);
  cairo_append_path(cr, path);
  if (style.pattern) {
    cairo_set_source(cr, style.pattern);
  } else {
    SetColour(cr, style.fill);
  }
  cairo_fill(cr);
  cairo_path_destroy(path);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius) {
  constexpr double kQuarter = std::numbers::pi / 2;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - radius, y + radius, radius, -kQuarter, 0);
  cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, kQuarter);
  cairo_arc(cr, x + radius, y + h - radius, radius, kQuarter, 2 * kQuarter);
  cairo_arc(cr, x + radius, y + radius, radius, 2 * kQuarter, 3 * kQuarter);
  cairo_close_path(cr);
}

}  // namespace assetgen
