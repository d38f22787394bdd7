#pragma once
// Drawing surfaces for the pictures: Cairo in ARGB, flattened to the game's keyed 24-bit
// pictures at the end. The game keys a whole colour out (black, or pure blue on the balls)
// and has no partial transparency, so edge pixels are blended over a matte colour close to
// what the sprite will be drawn on.
#include <cairo.h>

#include <memory>
#include <string>
#include <string_view>

#include "Bmp.h"

namespace assetgen {

struct Colour {
  double r = 0, g = 0, b = 0, a = 1;
};
Colour Rgb255(int r, int g, int b, double a = 1.0);
void SetColour(cairo_t* cr, const Colour& colour);

enum class KeyColour { Black, Blue };

class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* Cr() const { return cr_; }
  cairo_surface_t* Surface() const { return surface_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Pixels at least half covered become opaque, blended over `matte`; the rest take the key.
  Image Flatten(KeyColour key, const Colour& matte) const;

 private:
  int width_;
  int height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

// The IPA Gothic faces: proportional for most text, fixed-pitch where columns must line up.
enum class Face { Proportional, Fixed };
void SelectFont(cairo_t* cr, Face face, double pixelSize);

struct TextBox {
  double width = 0, height = 0, xBearing = 0, yBearing = 0, advance = 0;
};
TextBox MeasureText(cairo_t* cr, std::string_view utf8);
// Adds the text's outline to the current path with its ink box's top-left at (x, y).
void TextPathAt(cairo_t* cr, std::string_view utf8, double x, double y);
// Adds the text's outline starting at (x, baseline), so that lines of mixed glyphs align.
void TextPathOnBaseline(cairo_t* cr, std::string_view utf8, double x, double baseline);

// Layered lettering: outer stroke, inner stroke, then the fill (a colour or a pattern).
struct Lettering {
  double outer = 0;
  Colour outerColour;
  double inner = 0;
  Colour innerColour;
  Colour fill;
  cairo_pattern_t* pattern = nullptr;  // used instead of fill when set
};
void DrawLettering(cairo_t* cr, const Lettering& style);

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);

}  // namespace assetgen
