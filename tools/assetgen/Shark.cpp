// The player's shark, in profile with its belly toward the pool. Every picture is the same
// drawing turned in 45° steps, boxed so that the mouth sits exactly on the point the game
// fires from: the box corner or edge middle lying in the direction "ahead and toward the pool".
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "Pictures.h"

namespace assetgen {
namespace {

constexpr double kDegree = std::numbers::pi / 180;
// Nose down toward the pool, so that the open jaw is the body's front-and-lowest point.
constexpr double kTilt = 16 * kDegree;

const Colour kOutline = Rgb255(16, 28, 48);
const Colour kBack = Rgb255(88, 116, 150);
const Colour kBackLight = Rgb255(128, 156, 188);
const Colour kBelly = Rgb255(236, 240, 244);

// Heading +x, belly +y, nose near (34, 2); the mouth opens under the snout.
void BodyPath(cairo_t* cr) {
  cairo_move_to(cr, 35, 3);
  cairo_curve_to(cr, 31, -5, 18, -10, 2, -10);
  cairo_curve_to(cr, -12, -10, -20, -5, -26, -2);
  cairo_line_to(cr, -27, 4);
  cairo_curve_to(cr, -18, 8, -6, 12, 8, 12);
  cairo_curve_to(cr, 18, 12, 24, 11, 28, 10);
  cairo_close_path(cr);
}

void TailPath(cairo_t* cr) {
  cairo_move_to(cr, -23, -2);
  cairo_curve_to(cr, -30, -8, -35, -15, -37, -21);
  cairo_curve_to(cr, -36, -12, -34, -5, -32, 1);
  cairo_curve_to(cr, -35, 5, -37, 9, -38, 12);
  cairo_curve_to(cr, -32, 9, -27, 6, -23, 4);
  cairo_close_path(cr);
}

void DorsalFinPath(cairo_t* cr) {
  cairo_move_to(cr, 10, -9);
  cairo_curve_to(cr, 4, -14, 0, -20, -3, -25);
  cairo_curve_to(cr, -4, -18, -6, -13, -9, -9);
  cairo_close_path(cr);
}

void PectoralFinPath(cairo_t* cr) {
  cairo_move_to(cr, 14, 10);
  cairo_curve_to(cr, 9, 14, 4, 17, -2, 19);
  cairo_curve_to(cr, 1, 15, 3, 13, 4, 11);
  cairo_close_path(cr);
}

void SmallFinsPath(cairo_t* cr) {
  cairo_move_to(cr, -10, 10);
  cairo_curve_to(cr, -13, 12, -16, 14, -19, 14);
  cairo_curve_to(cr, -17, 12, -16, 10, -15, 9);
  cairo_close_path(cr);
  cairo_move_to(cr, -15, -8);
  cairo_curve_to(cr, -17, -10, -19, -12, -21, -12);
  cairo_line_to(cr, -20, -6);
  cairo_close_path(cr);
}

void FillOutlined(cairo_t* cr, void (*path)(cairo_t*), const Colour& fill) {
  path(cr);
  SetColour(cr, fill);
  cairo_fill_preserve(cr);
  SetColour(cr, kOutline);
  cairo_set_line_width(cr, 1.6);
  cairo_stroke(cr);
}

// Countershading: a wavy line along the flank; the belly below it is white.
void Belly(cairo_t* cr) {
  cairo_save(cr);
  BodyPath(cr);
  cairo_clip(cr);
  cairo_move_to(cr, 36, 5);
  cairo_curve_to(cr, 26, 3, 20, 6, 12, 4);
  cairo_curve_to(cr, 0, 3, -12, 5, -30, 1);
  cairo_line_to(cr, -30, 20);
  cairo_line_to(cr, 36, 20);
  cairo_close_path(cr);
  SetColour(cr, kBelly);
  cairo_fill(cr);
  // A highlight along the back.
  cairo_move_to(cr, 26, -5);
  cairo_curve_to(cr, 16, -9, 0, -9, -16, -5);
  cairo_set_line_width(cr, 2.2);
  SetColour(cr, kBackLight);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void Mouth(cairo_t* cr) {
  // Open jaw: dark red wedge under the snout.
  cairo_move_to(cr, 34, 6);
  cairo_curve_to(cr, 29, 6, 22, 6, 18, 7);
  cairo_curve_to(cr, 22, 9, 28, 10.5, 33, 10);
  cairo_close_path(cr);
  SetColour(cr, Rgb255(150, 28, 40));
  cairo_fill_preserve(cr);
  SetColour(cr, kOutline);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  SetColour(cr, Rgb255(255, 255, 255));
  for (double x = 21; x < 33; x += 3) {  // upper teeth
    cairo_move_to(cr, x, 6.4);
    cairo_line_to(cr, x + 1.5, 8.6);
    cairo_line_to(cr, x + 3, 6.4);
    cairo_close_path(cr);
  }
  for (double x = 22.5; x < 31; x += 3) {  // lower teeth
    cairo_move_to(cr, x, 10.2);
    cairo_line_to(cr, x + 1.5, 8.4);
    cairo_line_to(cr, x + 3, 10.2);
    cairo_close_path(cr);
  }
  cairo_fill(cr);
}

void Face(cairo_t* cr) {
  cairo_arc(cr, 25, -1.5, 2.6, 0, 2 * std::numbers::pi);
  SetColour(cr, Rgb255(255, 255, 255));
  cairo_fill_preserve(cr);
  SetColour(cr, kOutline);
  cairo_set_line_width(cr, 0.9);
  cairo_stroke(cr);
  cairo_arc(cr, 25.6, -1.3, 1.4, 0, 2 * std::numbers::pi);
  SetColour(cr, Rgb255(12, 14, 20));
  cairo_fill(cr);
  SetColour(cr, kOutline);  // gill slits
  cairo_set_line_width(cr, 1.0);
  for (double x : {15.0, 12.0, 9.0}) {
    cairo_move_to(cr, x, -3);
    cairo_curve_to(cr, x - 1.5, 0, x - 1.5, 3, x, 6);
  }
  cairo_stroke(cr);
}

void DrawShark(cairo_t* cr) {
  FillOutlined(cr, TailPath, kBack);
  FillOutlined(cr, DorsalFinPath, kBack);
  FillOutlined(cr, SmallFinsPath, kBack);
  FillOutlined(cr, BodyPath, kBack);
  Belly(cr);
  BodyPath(cr);
  SetColour(cr, kOutline);
  cairo_set_line_width(cr, 1.6);
  cairo_stroke(cr);
  FillOutlined(cr, PectoralFinPath, kBack);
  Mouth(cr);
  Face(cr);
}

// The turned shark on a roomy canvas, centred; cropped afterwards.
constexpr int kRoom = 200;

Image TurnedOnRoom(double angle) {
  Canvas canvas(kRoom, kRoom);
  cairo_translate(canvas.Cr(), kRoom / 2.0, kRoom / 2.0);
  cairo_rotate(canvas.Cr(), angle);
  DrawShark(canvas.Cr());
  return canvas.Flatten(KeyColour::Black, kWaterMatte);
}

struct Box {
  int left = kRoom, top = kRoom, right = 0, bottom = 0;  // right and bottom exclusive
};

Box InkBox(const Image& image) {
  Box box;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (image.At(x, y) == Rgb{}) continue;
      box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
    }
  }
  return box;
}

// The middle of the shark's outermost pixels on one side: where the mouth is when the
// firing point is an edge middle.
int MiddleOfEdge(const Image& image, bool row, int line) {
  int first = -1, last = -1;
  for (int i = 0; i < kRoom; ++i) {
    if ((row ? image.At(i, line) : image.At(line, i)) == Rgb{}) continue;
    if (first < 0) first = i;
    last = i;
  }
  return (first + last + 1) / 2;
}

// One axis of the picture's box. With the mouth at a start or end the box is the ink's own
// extent; with the mouth in the middle it widens to centre on the mouth.
struct Span {
  int start = 0, length = 0;
};

Span Around(int mouth, int low, int high, double anchor) {
  if (anchor != 0.5) return {low, high - low};
  const int half = std::max(mouth - low, high - mouth);
  return {mouth - half, 2 * half};
}

Image Crop(const Image& image, Span across, Span down) {
  Image cropped{across.length, down.length, std::vector<Rgb>(static_cast<std::size_t>(across.length) * down.length)};
  for (int y = 0; y < down.length; ++y) {
    for (int x = 0; x < across.length; ++x) {
      const int sx = across.start + x, sy = down.start + y;
      const bool inside = sx >= 0 && sy >= 0 && sx < image.width && sy < image.height;
      cropped.At(x, y) = inside ? image.At(sx, sy) : Rgb{};
    }
  }
  return cropped;
}

double Anchor(double component) { return component > 0.5 ? 1.0 : component < -0.5 ? 0.0 : 0.5; }

// Ahead and toward the pool is (1, 1) for the upright picture, turning with the shark.
Picture Turned(int step) {
  const double turn = step * 45 * kDegree;
  const double ax = Anchor(std::cos(turn) - std::sin(turn));
  const double ay = Anchor(std::sin(turn) + std::cos(turn));
  const Image room = TurnedOnRoom(kTilt + turn);
  const Box ink = InkBox(room);
  const int edgeY = ay > 0.75 ? ink.bottom - 1 : ink.top;
  const int edgeX = ax > 0.75 ? ink.right - 1 : ink.left;
  const int mouthX = ax == 0.5 ? MiddleOfEdge(room, true, edgeY) : 0;
  const int mouthY = ay == 0.5 ? MiddleOfEdge(room, false, edgeX) : 0;
  const Span across = Around(mouthX, ink.left, ink.right, ax);
  const Span down = Around(mouthY, ink.top, ink.bottom, ay);
  return {"same" + std::to_string(step) + ".bmp", Crop(room, across, down)};
}

}  // namespace

std::vector<Picture> SharkPictures() {
  std::vector<Picture> pictures;
  for (int step = 0; step < 8; ++step) pictures.push_back(Turned(step));
  // Swimming the other way round the ring is the mirror image.
  for (int step = 0; step < 8; ++step) {
    pictures.push_back({"same" + std::to_string(8 + step) + ".bmp", MirrorHorizontally(pictures[step].image)});
  }
  return pictures;
}

}  // namespace assetgen
