// Text textures with their plates, and where the title screen's pieces land on real pixels.
#include <functional>

#include "game_fixture.h"
#include "phase_fixture.h"
#include "platform/codepage.h"

namespace {

// What a texture shows: its image size and the texels of that area.
struct Look {
  UINT width = 0, height = 0;
  std::vector<D3DCOLOR> texels;
  bool operator==(const Look&) const = default;
};

Look LookOf(TDGTexture& texture) {
  Look look{texture.Width(), texture.Height(), {}};
  if (texture.Width() == 0 || texture.Height() == 0) return look;
  D3DLOCKED_RECT locked;
  if (!texture.LockRect(0, nullptr, locked, D3DLOCK_READONLY)) return look;
  for (UINT y = 0; y < texture.Height(); ++y) {
    const auto* row = static_cast<const std::uint8_t*>(locked.pBits) + std::size_t{y} * locked.Pitch;
    for (UINT x = 0; x < texture.Width(); ++x) {
      look.texels.push_back(DGPixelToColor(DGReadPixel(row + x * texture.BytesPerPixel(), texture.BytesPerPixel()),
                                           texture.Format()));
    }
  }
  texture.UnlockRect();
  return look;
}

std::vector<TDGTexture*> AllPlates(TForm1& game) {
  std::vector<TDGTexture*> plates;
  for (auto& plate : game.texMeaningPlate) plates.push_back(plate.get());
  for (auto& plate : game.texReadingPlate) plates.push_back(plate.get());
  for (auto& plate : game.texAnswerPlate) plates.push_back(plate.get());
  return plates;
}

std::vector<Look> Looks(const std::vector<TDGTexture*>& textures) {
  std::vector<Look> looks;
  for (TDGTexture* texture : textures) looks.push_back(LookOf(*texture));
  return looks;
}

}  // namespace

using RenderTextTest = GameTest;

TEST_F(RenderTextTest, ScoreLineIsSizedToItsTextAndNoPlateChanges) {
  TForm1& game = Start();
  const std::vector<Look> platesBefore = Looks(AllPlates(game));
  const std::string text = Sjis(u"得点:") + PadNumber(120);
  game.RenderText(*game.texScore, text, *game.writerSmall);
  EXPECT_EQ(game.texScore->Width(), static_cast<UINT>(game.writerSmall->TextWidth(text) + 3));
  EXPECT_EQ(game.texScore->Height(), static_cast<UINT>(game.writerSmall->TextHeight(text)));
  EXPECT_EQ(Looks(AllPlates(game)), platesBefore);
  bool inked = false;
  for (const D3DCOLOR texel : LookOf(*game.texScore).texels) {
    if ((texel >> 24) == 0) continue;
    inked = true;
    ASSERT_EQ(texel & 0xFFFFFF, 0xFFFFFFu) << "glyphs are white; the sprite colour tints them";
  }
  EXPECT_TRUE(inked);
}

TEST_F(RenderTextTest, PlatedTextsResizeAndRefillOnlyTheirOwnPlate) {
  TForm1& game = Start();
  struct Case {
    const char* group;
    std::function<TDGTexture&()> text, plate;
    TSXTextWriter* writer;
    D3DCOLOR colour;
  };
  const std::vector<Case> cases{
      {"meaning line", [&]() -> TDGTexture& { return *game.texMeaningLine[4]; },
       [&]() -> TDGTexture& { return *game.texMeaningPlate[4]; }, game.writerSmall.get(), 0x99FFFFFF},
      {"reading", [&]() -> TDGTexture& { return *game.texReading[1]; },
       [&]() -> TDGTexture& { return *game.texReadingPlate[1]; }, game.writerSmall.get(), 0x9900FF00},
      {"answer", [&]() -> TDGTexture& { return *game.texAnswer[0]; },
       [&]() -> TDGTexture& { return *game.texAnswerPlate[0]; }, game.writerLarge.get(), 0x99FFFF00},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.group);
    std::vector<TDGTexture*> others = AllPlates(game);
    std::erase(others, &c.plate());
    const std::vector<Look> othersBefore = Looks(others);
    const std::string text = Sjis(u"いろはにほへと");
    game.RenderText(c.text(), text, *c.writer);
    EXPECT_EQ(c.text().Width(), static_cast<UINT>(c.writer->TextWidth(text) + 3));
    EXPECT_EQ(c.plate().Width(), c.text().Width());
    EXPECT_EQ(c.plate().Height(), c.text().Height());
    const Look plate = LookOf(c.plate());
    ASSERT_FALSE(plate.texels.empty());
    EXPECT_EQ(std::count(plate.texels.begin(), plate.texels.end(), c.colour),
              static_cast<std::ptrdiff_t>(plate.texels.size()))
        << "the whole plate in its colour";
    EXPECT_EQ(Looks(others), othersBefore);
  }
}

TEST_F(RenderTextTest, EmptyTextLeavesTextAndPlateAsTheyWere) {
  TForm1& game = Start();
  game.RenderText(*game.texMeaningLine[0], Sjis(u"四字熟語"), *game.writerSmall);
  const Look text = LookOf(*game.texMeaningLine[0]);
  const Look plate = LookOf(*game.texMeaningPlate[0]);
  game.RenderText(*game.texMeaningLine[0], "", *game.writerSmall);
  EXPECT_EQ(LookOf(*game.texMeaningLine[0]), text);
  EXPECT_EQ(LookOf(*game.texMeaningPlate[0]), plate);
}

TEST_F(RenderTextTest, ShorterTextKeepsNothingOfTheLongerOne) {
  TForm1& game = Start();
  const std::string shorter = Sjis(u"はい");
  game.RenderText(*game.texMessage[0], Sjis(u"■■■■■■■■■■"), *game.writerLarge);
  game.RenderText(*game.texMessage[0], shorter, *game.writerLarge);
  game.RenderText(*game.texMessage[1], shorter, *game.writerLarge);
  EXPECT_EQ(LookOf(*game.texMessage[0]), LookOf(*game.texMessage[1]));
}

// The player's own meaning can be far longer than a line: the game cuts it, never ends over it.
TEST_F(RenderTextTest, AMeaningOfFourHundredCharactersIsCutToTheWidestTexture) {
  TForm1& game = Start();
  game.AdoptSavedIdiom(0, u"長文熟語", std::u16string(400, u'意'), u"ちょうぶん");
  game.SplitMeanings();
  D3DCAPS9 caps;
  ASSERT_EQ(game.DG.Direct3D()->GetDeviceCaps(game.DG.Adapter(), game.DG.DeviceType(), &caps), D3D_OK);
  EXPECT_LE(game.texMeaningLine[2]->Width(), caps.MaxTextureWidth);
  EXPECT_GT(game.texMeaningLine[2]->Width() + 40, caps.MaxTextureWidth) << "cut no shorter than needed";
  EXPECT_LT(game.meaningLine[2].size(), 400u - 26u);
  EXPECT_EQ(game.meaningLine[0], std::u16string(13, u'意'));
  RunFrames(2);
}

using TitleScreen = GameTest;

// Every text sprite's fully covered texels show its colour exactly, wherever no later sprite
// covers them; that pins position and colour without depending on the art.
TEST_F(TitleScreen, PromptAndBallCharactersStandWhereTheFrameRoutinePutsThem) {
  TForm1& game = Start();
  RunFrames(100);
  ASSERT_TRUE(game.startPromptShown);
  int width = 0, height = 0;
  const auto frame = headless::ReadFrame(width, height);
  ASSERT_EQ(width, 640);

  struct Placed {
    TDGTexture* texture;
    int x, y;
    Look look;
  };
  const auto place = [](TDGTexture& texture, int x, int y) { return Placed{&texture, x, y, LookOf(texture)}; };
  const auto centred = [&](TDGTexture& texture, int y) {
    return place(texture, (640 - static_cast<int>(texture.Width())) / 2, y);
  };
  const auto alphaAt = [](const Placed& p, int x, int y) -> D3DCOLOR {
    const int i = x - p.x, j = y - p.y;
    if (i < 0 || j < 0 || i >= static_cast<int>(p.look.width) || j >= static_cast<int>(p.look.height)) return 0;
    return p.look.texels[static_cast<size_t>(j) * p.look.width + static_cast<size_t>(i)] >> 24;
  };
  // Checks the fully covered texels that none of `over` hides; returns how many there were.
  int wrong = 0;
  const auto expectInk = [&](const Placed& sprite, D3DCOLOR colour, const std::vector<Placed>& over) {
    int checked = 0;
    for (int j = 0; j < static_cast<int>(sprite.look.height); ++j) {
      for (int i = 0; i < static_cast<int>(sprite.look.width); ++i) {
        const int x = sprite.x + i, y = sprite.y + j;
        if (alphaAt(sprite, x, y) != 255) continue;
        if (std::any_of(over.begin(), over.end(), [&](const Placed& p) { return alphaAt(p, x, y) != 0; })) continue;
        ++checked;
        const D3DCOLOR shown = frame[static_cast<size_t>(y * 640 + x)] & 0xFFFFFF;
        if (shown != colour && wrong++ == 0) ADD_FAILURE() << "at " << x << "," << y << ": " << std::hex << shown;
      }
    }
    return checked;
  };

  const Placed prompt = centred(*game.texMessage[0], 350);
  const Placed title = place(*game.texTitle, 23, 150);
  const Placed rogo = place(*game.texRogo, 640 - static_cast<int>(game.texRogo->Width()) - 10, 400);
  EXPECT_GT(expectInk(prompt, 0xFF0000, {title, rogo}), 50) << "the prompt in red";

  std::vector<Placed> glyphs;
  for (size_t i = 0; i < 8; ++i) glyphs.push_back(place(*game.texBallChar[i], game.ball[i].x + 3, game.ball[i].y + 3));
  // What the frame draws after the ball characters, where it can reach them.
  // The prompt's and the first start's note's plates hide what passes behind them.
  std::vector<Placed> afterGlyphs{place(*game.texTarget, game.targetX, game.targetY), centred(*game.texScore, 5),
                                  centred(*game.texMessagePlate[0], 350), centred(*game.texPromptNotePlate, 326),
                                  prompt, title, rogo};
  if (game.sharkShown) afterGlyphs.push_back(place(*game.texShark, game.sharkX, game.sharkY));
  int black = 0, white = 0;
  for (size_t i = 0; i < 8; ++i) {
    SCOPED_TRACE("ball character " + std::to_string(i));
    std::vector<Placed> over(glyphs.begin() + static_cast<std::ptrdiff_t>(i) + 1, glyphs.end());
    over.insert(over.end(), afterGlyphs.begin(), afterGlyphs.end());
    (i % 4 < 2 ? black : white) += expectInk(glyphs[i], i % 4 < 2 ? 0x000000u : 0xFFFFFFu, over);
  }
  EXPECT_GT(black, 10) << "too little of the black characters shows to judge them";
  EXPECT_GT(white, 10) << "too little of the white characters shows to judge them";
  EXPECT_EQ(wrong, 0) << "texels in the wrong colour";
}

using ScoreBlink = PhaseTest;

// A new best score makes the score line blink through the game-clear screen; the next game
// shows it steadily again.
TEST_F(ScoreBlink, ANewBestBlinksUntilShiftStartsTheNextGame) {
  StartPlaying();
  form->score = kDefaultBestScore + 1;
  form->stage = 2;
  form->correctCount = 29;
  PickFirstIdiom();
  RunFrames(20);
  ASSERT_TRUE(form->gameCleared);
  EXPECT_TRUE(form->recordBlink);
  Press(VK_SHIFT);
  ASSERT_TRUE(form->playing);
  EXPECT_FALSE(form->recordBlink) << "the next game's score would blink on";
}
