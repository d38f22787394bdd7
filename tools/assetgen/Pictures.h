#pragma once
// Every picture of the archive, drawn in code.
#include <functional>
#include <string>
#include <vector>

#include "Bmp.h"
#include "Canvas.h"

namespace assetgen {

struct Picture {
  std::string name;  // archive member ID
  Image image;
};

// What sprites are usually drawn on, for blending their edges (see Canvas::Flatten).
inline const Colour kWaterMatte = Rgb255(38, 118, 176);
inline const Colour kPanelMatte = Rgb255(22, 38, 72);

std::vector<Picture> SharkPictures();  // same0 .. same15
std::vector<Picture> SpritePictures();  // balls, shot, target, marks, gauge, explosions
std::vector<Picture> ScreenPictures();  // background and how-to-play panel
std::vector<Picture> LetteringPictures();  // title, logo, judgements, banners

}  // namespace assetgen
