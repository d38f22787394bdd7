#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <set>
#include <string>

#include "DGCarad9.h"
#include "DGPixelFormat.h"
#include "DGTexture.h"
#include "DataFiles.h"
#include "GameAssets.h"
#include "QDArc.h"
#include "Streams.h"
#include "platform/app.h"
#include "platform/headless.h"
#include "platform/headless_graphics.h"
#include "support/temp_folder.h"

namespace {

struct Pixel {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Pixel&) const = default;
};

// A picture as the texture loader put it into video memory, top row first.
struct Bitmap {
  int width = 0, height = 0;
  int bitCount = 0;  // as the member's header states it
  std::vector<Pixel> pixels;
  Pixel At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

constexpr Pixel kBlack{0, 0, 0};
constexpr Pixel kBlue{0, 0, 255};

Bitmap ReadTexture(TDGTexture& texture) {
  Bitmap bitmap{static_cast<int>(texture.Width()), static_cast<int>(texture.Height()), 0, {}};
  D3DLOCKED_RECT locked;
  if (!texture.LockRect(0, nullptr, locked, D3DLOCK_READONLY)) return {};
  for (int y = 0; y < bitmap.height; ++y) {
    const auto* row = static_cast<const std::uint8_t*>(locked.pBits) + static_cast<std::ptrdiff_t>(y) * locked.Pitch;
    for (int x = 0; x < bitmap.width; ++x) {
      const D3DCOLOR colour = DGPixelToColor(DGReadPixel(row + x * texture.BytesPerPixel(), texture.BytesPerPixel()),
                                             texture.Format());
      bitmap.pixels.push_back({static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
                               static_cast<std::uint8_t>(colour)});
    }
  }
  texture.UnlockRect();
  return bitmap;
}

// Every member through the game's own loader, on a headless device that is gone again once
// the texels are copied out. A member the loader rejects is missing from the map.
std::map<std::string, Bitmap> LoadThroughTheGamesLoader() {
  const TempFolder logs;
  headless::Reset();
  headless::ResetGraphics();
  headless::SetExeName(logs.Native("kotobune"));
  std::map<std::string, Bitmap> pictures;
  {
    TApplication application;
    TForm form(application, TFormSettings{640, 480, false, {}});
    TDGCarad carad(form);
    carad.SetDebugOption(dgoDebugMessage);  // a bad member is logged, not fatal
    carad.Loaded();
    const std::string archive = data_files::Path(kPictureArchive).string();
    for (std::string_view name : kArchivePictures) {
      auto texture = std::make_unique<TDGTexture>(carad, DGAlphaFormats, 0, D3DPOOL_MANAGED, 0, "");
      texture->LoadBMP(std::string(name), archive);
      if (texture->Texture() == nullptr || texture->Width() == 0) continue;
      Bitmap bitmap = ReadTexture(*texture);
      bitmap.bitCount = static_cast<int>(data_files::Little(QDAReadMember(archive, name)->Memory(), 28, 2));
      pictures.emplace(name, std::move(bitmap));
    }
  }
  headless::ResetGraphics();
  headless::Reset();
  return pictures;
}

class Pictures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { pictures_ = new std::map<std::string, Bitmap>(LoadThroughTheGamesLoader()); }
  static void TearDownTestSuite() { delete pictures_; }

  static const Bitmap& Picture(const std::string& name) { return pictures_->at(name); }
  static const Bitmap& Shark(int index) { return Picture("same" + std::to_string(index) + ".bmp"); }

  static std::map<std::string, Bitmap>* pictures_;
};

std::map<std::string, Bitmap>* Pictures::pictures_ = nullptr;

TEST_F(Pictures, ArchiveHoldsExactlyTheMembersTheGameLoads) {
  TFileStream archive(data_files::Path(kPictureArchive).string());
  const QDAIndex index = QDAReadIndex(archive);
  EXPECT_TRUE(index.Compressed);
  std::multiset<std::string> stored;
  for (const QDAEntry& entry : index.Entries) stored.insert(entry.Name);
  const std::multiset<std::string> loaded(kArchivePictures.begin(), kArchivePictures.end());
  EXPECT_EQ(stored, loaded);
}

TEST_F(Pictures, EveryMemberLoadsAsA24BitBitmapOfASensibleSize) {
  for (std::string_view name : kArchivePictures) {
    ASSERT_TRUE(pictures_->contains(std::string(name))) << name << " does not load into a texture";
    EXPECT_EQ(Picture(std::string(name)).bitCount, 24) << name;
  }
  EXPECT_EQ(Picture("Haikei.bmp").width, 640);
  EXPECT_EQ(Picture("Haikei.bmp").height, 480);
  const Bitmap& panel = Picture("SosaHoho.bmp");
  EXPECT_LE(panel.width, 160) << "the panel sits right of the 480-pixel field";
  EXPECT_LE(panel.height, 480 - 330) << "the panel must stay below the clock at y 310";
  EXPECT_LE(Picture("Title.bmp").width, 480 - 23) << "the title is drawn at x 23 over the field";
}

// Black is see-through everywhere but on the balls; the background must show everywhere.
TEST_F(Pictures, BackgroundHasNoTransparentPixel) {
  const Bitmap& background = Picture("Haikei.bmp");
  EXPECT_EQ(std::count(background.pixels.begin(), background.pixels.end(), kBlack), 0);
}

TEST_F(Pictures, BallsHaveBlueCornersAndOpaqueCentres) {
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const Bitmap& ball = Picture("ball" + std::to_string(i) + ".bmp");
    EXPECT_GE(ball.width, 24);
    EXPECT_LE(ball.width, 36);
    for (const auto& [x, y] : {std::pair{0, 0}, {ball.width - 1, 0}, {0, ball.height - 1},
                               {ball.width - 1, ball.height - 1}}) {
      EXPECT_EQ(ball.At(x, y), kBlue) << x << "," << y;
    }
    for (int y = ball.height / 2 - 5; y < ball.height / 2 + 5; ++y) {
      for (int x = ball.width / 2 - 5; x < ball.width / 2 + 5; ++x) ASSERT_NE(ball.At(x, y), kBlue);
    }
  }
}

double Brightness(const Bitmap& bitmap, int x, int y) {
  const Pixel p = bitmap.At(x, y);
  return 0.299 * p.r + 0.587 * p.g + 0.114 * p.b;
}

// Characters are drawn black on balls 0 and 1 and white on balls 2 and 3.
TEST_F(Pictures, BallsSuitTheColourOfTheirCharacters) {
  for (int i = 0; i < 4; ++i) {
    const Bitmap& ball = Picture("ball" + std::to_string(i) + ".bmp");
    const double centre = Brightness(ball, ball.width / 2, ball.height / 2);
    if (i < 2) {
      EXPECT_GT(centre, 160) << "ball " << i;
    } else {
      EXPECT_LT(centre, 110) << "ball " << i;
    }
  }
}

TEST_F(Pictures, SharkPicturesAllDiffer) {
  for (int a = 0; a < 16; ++a) {
    for (int b = a + 1; b < 16; ++b) {
      const bool sameSize = Shark(a).width == Shark(b).width && Shark(a).height == Shark(b).height;
      EXPECT_FALSE(sameSize && Shark(a).pixels == Shark(b).pixels) << "same" << a << " and same" << b;
    }
  }
}

TEST_F(Pictures, SharkSwimmingTheOtherWayIsTheMirrorImage) {
  for (int k = 0; k < 8; ++k) {
    const Bitmap& right = Shark(k);
    const Bitmap& left = Shark(8 + k);
    ASSERT_EQ(left.width, right.width);
    ASSERT_EQ(left.height, right.height);
    for (int y = 0; y < right.height; ++y) {
      for (int x = 0; x < right.width; ++x) {
        ASSERT_EQ(left.At(x, y), right.At(right.width - 1 - x, y)) << "same" << 8 + k << " at " << x << "," << y;
      }
    }
  }
}

// Shots leave from a corner or edge middle of the picture, the one ahead of the shark and
// toward the pool: (w, h) for same0, turning by 45° per picture; mirrored for same8..15.
struct MouthPoint {
  double x, y;  // fractions of width and height
};

MouthPoint Mouth(int picture) {
  const bool mirrored = picture >= 8;
  const double angle = (picture % 8) * std::numbers::pi / 4;
  const double ax = std::cos(angle) - std::sin(angle), ay = std::sin(angle) + std::cos(angle);
  auto fraction = [](double component) { return component > 0.5 ? 1.0 : component < -0.5 ? 0.0 : 0.5; };
  const MouthPoint point{fraction(ax), fraction(ay)};
  return mirrored ? MouthPoint{1 - point.x, point.y} : point;
}

TEST_F(Pictures, SharkMouthIsWhereShotsStart) {
  // Spot checks of the rule against the firing table.
  EXPECT_EQ(Mouth(0).x, 1.0);
  EXPECT_EQ(Mouth(0).y, 1.0);
  EXPECT_EQ(Mouth(4).x, 0.0);
  EXPECT_EQ(Mouth(4).y, 0.0);
  EXPECT_EQ(Mouth(15).x, 0.0);
  EXPECT_EQ(Mouth(15).y, 0.5);
  EXPECT_EQ(Mouth(9).x, 0.5);
  EXPECT_EQ(Mouth(9).y, 1.0);
  for (int i = 0; i < 16; ++i) {
    const Bitmap& shark = Shark(i);
    const int mx = static_cast<int>(Mouth(i).x * shark.width);
    const int my = static_cast<int>(Mouth(i).y * shark.height);
    int nearest = 1000;
    for (int y = 0; y < shark.height; ++y) {
      for (int x = 0; x < shark.width; ++x) {
        if (shark.At(x, y) == kBlack) continue;
        nearest = std::min(nearest, std::max(std::abs(x - mx), std::abs(y - my)));
      }
    }
    EXPECT_LE(nearest, 4) << "same" << i << ": the shark is not at its mouth point";
  }
}

// The game's hit box is the picture less 15 pixels on every side.
TEST_F(Pictures, SharkIsLargeEnoughToBeHit) {
  for (int i = 0; i < 16; ++i) {
    EXPECT_GT(Shark(i).width, 36) << i;
    EXPECT_GT(Shark(i).height, 36) << i;
  }
}

}  // namespace
