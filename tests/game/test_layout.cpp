// The sprites a frame queues against the places our pictures keep for them: no text or
// banner covers the controls panel's text, an answer slot or the panel divider, and every
// panel text lies on the board painted for it.
#include <algorithm>
#include <functional>
#include <map>
#include <sstream>

#include "ScreenLayout.h"
#include "phase_fixture.h"

namespace {

using layout::Box;

bool Overlaps(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Inside(const Box& inner, const Box& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string Describe(const Box& box) {
  std::ostringstream out;
  out << "(" << box.left << ", " << box.top << ", " << box.right << ", " << box.bottom << ")";
  return out.str();
}

Box Offset(const Box& box, int x, int y) { return {box.left + x, box.top + y, box.right + x, box.bottom + y}; }

struct Sprite {
  std::string name;
  Box box;
};

// A named region nothing of the given kinds may touch.
struct Keepout {
  std::string name;
  Box box;
};

// The sprites of one more frame, as the frame routine queued them.
class QueuedSpritesTest : public PhaseTest {
 protected:
  // The sprites of one more frame, as the frame routine queued them, by the texture's name.
  std::vector<Sprite> QueuedSprites() {
    if (form->IsPageOpen()) {
      form->PageFrame();
    } else {
      form->RunFrame();
    }
    std::vector<std::pair<const TDGTexture*, std::string>> names{
        {form->texMessage[0].get(), "prompt 0"},   {form->texMessage[1].get(), "prompt 1"},
        {form->texScore.get(), "score"},           {form->texBestScore.get(), "best score"},
        {form->texTime.get(), "time"},      {form->texCorrect.get(), "correct count"},
        {form->texCombo.get(), "combo count"},     {form->texStage.get(), "stage"},
        {form->texBanner.get(), "banner"},         {form->texJudge.get(), "judgement"},
        {form->texTitle.get(), "title"},           {form->texRogo.get(), "logo"},
        {form->texSosaHoho.get(), "controls panel"}};
    for (int k = 0; k < 6; ++k) {
      names.emplace_back(form->texMeaningLine[k].get(), "meaning line " + std::to_string(k));
      names.emplace_back(form->texMeaningPlate[k].get(), "meaning plate " + std::to_string(k));
    }
    for (int r = 0; r < 2; ++r) {
      names.emplace_back(form->texReading[r].get(), "reading " + std::to_string(r));
      names.emplace_back(form->texReadingPlate[r].get(), "reading plate " + std::to_string(r));
      names.emplace_back(form->texAnswer[r].get(), "answer " + std::to_string(r));
      names.emplace_back(form->texAnswerPlate[r].get(), "answer plate " + std::to_string(r));
    }
    for (int i = 0; i < layout::kPageLineCount; ++i) {
      names.emplace_back(form->texPageLine[i].get(), "page line " + std::to_string(i));
    }
    std::vector<Sprite> sprites;
    for (const TSXQueuedQuad& quad : form->scene->OverlayQueue().Quads()) {
      const auto named = std::find_if(names.begin(), names.end(), [&](const auto& n) { return n.first == quad.texture; });
      if (named == names.end()) continue;
      const int x = static_cast<int>(quad.x), y = static_cast<int>(quad.y);
      sprites.push_back({named->second, {x, y, x + static_cast<int>(quad.texture->Width()),
                                         y + static_cast<int>(quad.texture->Height())}});
    }
    return sprites;
  }

  // Where each named sprite of one more frame stands, by name.
  std::map<std::string, Box> SpritesByName() {
    std::map<std::string, Box> byName;
    for (const Sprite& sprite : QueuedSprites()) byName[sprite.name] = sprite.box;
    return byName;
  }
};

class LayoutTest : public QueuedSpritesTest, public ::testing::WithParamInterface<PhaseName> {
 protected:
  // Where the divider shows: everywhere the boards and the prompt band do not cross it.
  static std::vector<Keepout> DividerSegments() {
    std::vector<Box> crossing{layout::kPromptBand};
    for (int i = 0; i < 2; ++i) {
      crossing.insert(crossing.end(), {layout::kMeaningBoards[i], layout::kRowTextBoards[i], layout::kAnswerTrays[i]});
    }
    std::vector<Keepout> segments;
    int top = layout::kDivider.top;
    for (int y = layout::kDivider.top; y <= layout::kDivider.bottom; ++y) {
      const Box row{layout::kDivider.left, y, layout::kDivider.right, y + 1};
      const bool covered = y == layout::kDivider.bottom ||
                           std::any_of(crossing.begin(), crossing.end(), [&](const Box& b) { return Inside(row, b); });
      if (covered) {
        if (y > top) segments.push_back({"panel divider", {layout::kDivider.left, top, layout::kDivider.right, y}});
        top = y + 1;
      }
    }
    return segments;
  }

  std::vector<Keepout> Keepouts() const {
    std::vector<Keepout> keepouts = DividerSegments();
    const int panelTop = layout::kScreenHeight - static_cast<int>(form->texSosaHoho->Height());
    keepouts.push_back({"controls heading", Offset(layout::kControlsHeading, layout::kPanelLeft, panelTop)});
    keepouts.push_back({"controls text", Offset(layout::kControlsGrid, layout::kPanelLeft, panelTop)});
    // The ball's disc: its outermost rows are transparent.
    for (int r = 0; r < 2; ++r) {
      for (int c = 0; c < 4; ++c) {
        const TAnswerSlot& slot = form->answerSlot[r][c];
        keepouts.push_back({"answer slot " + std::to_string(r) + "," + std::to_string(c),
                            {slot.x + 2, slot.y + 2, slot.x + layout::kBallSize - 2, slot.y + layout::kBallSize - 2}});
      }
    }
    return keepouts;
  }
};

// The boards a text may lie on; none for sprites that need no board.
std::vector<Box> BoardsOf(const std::string& name) {
  const auto startsWith = [&](std::string_view prefix) { return name.rfind(prefix, 0) == 0; };
  const auto row = static_cast<size_t>(name.back() - '0');
  // Either question's lines may sit on either board once the rows cross.
  if (startsWith("meaning")) return {layout::kMeaningBoards[0], layout::kMeaningBoards[1]};
  if (startsWith("reading") || startsWith("answer")) return {layout::kRowTextBoards[row]};
  if (startsWith("prompt")) return {layout::kPromptBand};
  if (startsWith("page line")) return {layout::kPageBoard};
  if (name == "score" || name == "best score") return {layout::kScoreBoard};
  if (name == "correct count" || name == "combo count" || name == "stage") return {layout::kCounterBoard};
  return {};
}

bool InsideWater(const Box& box) {
  const double r2 = layout::kWaterRadius * layout::kWaterRadius;
  for (const int x : {box.left, box.right}) {
    for (const int y : {box.top, box.bottom}) {
      const double dx = x - layout::kFieldCentre, dy = y - layout::kFieldCentre;
      if (dx * dx + dy * dy > r2) return false;
    }
  }
  return true;
}

}  // namespace

TEST_P(LayoutTest, NothingCoversPanelTextSlotsOrDividerAndEveryTextSitsOnItsBoard) {
  Reach(GetParam().phase);
  ASSERT_EQ(form->texSosaHoho->Width(), static_cast<UINT>(layout::kControlsWidth));
  ASSERT_EQ(form->texSosaHoho->Height(), static_cast<UINT>(layout::kControlsHeight));
  const std::vector<Sprite> sprites = QueuedSprites();
  // A page hides the field and the panel.
  const std::vector<Keepout> keepouts = form->IsPageOpen() ? std::vector<Keepout>{} : Keepouts();
  int texts = 0;
  for (const Sprite& sprite : sprites) {
    if (sprite.name == "controls panel") continue;
    SCOPED_TRACE(sprite.name + " at " + Describe(sprite.box));
    for (const Keepout& keepout : keepouts) {
      EXPECT_FALSE(Overlaps(sprite.box, keepout.box)) << "covers the " << keepout.name << " " << Describe(keepout.box);
    }
    if (sprite.name == "banner" || sprite.name == "judgement") {
      EXPECT_TRUE(InsideWater(sprite.box)) << "leaves the pool";
    }
    const std::vector<Box> boards = BoardsOf(sprite.name);
    if (boards.empty()) continue;
    ++texts;
    EXPECT_TRUE(std::any_of(boards.begin(), boards.end(), [&](const Box& b) { return Inside(sprite.box, b); }))
        << "off its board " << Describe(boards.front());
  }
  EXPECT_GE(texts, 5) << "the frame queued too few texts to judge";
}

INSTANTIATE_TEST_SUITE_P(EveryPhase, LayoutTest, ::testing::ValuesIn(kPhases),
                         [](const auto& param) { return std::string(param.param.name); });

using PanelTexts = PhaseTest;

// Every built-in meaning line, reading and idiom fits the width of its board, drawn where the
// frame routine draws it.
TEST_F(PanelTexts, EveryBuiltInIdiomFitsItsBoards) {
  TForm1& game = StartAtPrompt();
  const int right = layout::kScreenWidth - 3;
  for (int i = 0; i < kBuiltinIdiomCount; ++i) {
    SCOPED_TRACE(i);
    game.questionIndex = {i, i == 0 ? 1 : 0};
    game.SplitMeanings();
    for (int k = 0; k < 3; ++k) {
      if (game.meaningLine[k].empty()) continue;
      const int width = static_cast<int>(game.texMeaningLine[k]->Width());
      EXPECT_GE(right - width, layout::kMeaningBoards[0].left) << "line " << k;
    }
    game.RenderReading(0, 0);
    game.RenderText(*game.texAnswer[0], Sjis(game.IdiomOf(i)), *game.writerLarge);
    EXPECT_LE(layout::kPanelLeft + static_cast<int>(game.texReading[0]->Width()), layout::kRowTextBoards[0].right);
    EXPECT_LE(layout::kPanelLeft + static_cast<int>(game.texAnswer[0]->Width()), layout::kRowTextBoards[0].right);
  }
}

using PanelSprites = QueuedSpritesTest;

// A row that spells the other idiom swaps the meanings, so each stays beside its row, and an
// answered idiom's meaning turns purple.
TEST_F(PanelSprites, MeaningsFollowTheRowThatAnsweredThemAndTurnPurple) {
  StartPlaying();
  auto sprites = SpritesByName();
  EXPECT_EQ(sprites["meaning line 0"].top, layout::kMeaningTops[0]);
  EXPECT_EQ(sprites["meaning line 3"].top, layout::kMeaningTops[1]);
  PickPositions({4, 5, 6, 7});  // the second idiom in the first row
  ASSERT_EQ(form->rowMatch[0], 1);
  sprites = SpritesByName();
  EXPECT_EQ(sprites["meaning line 0"].top, layout::kMeaningTops[1]);
  EXPECT_EQ(sprites["meaning line 3"].top, layout::kMeaningTops[0]);
  std::map<std::string, std::uint32_t> colours;
  for (const TSXQueuedQuad& quad : form->scene->OverlayQueue().Quads()) {
    if (quad.texture == form->texMeaningLine[0].get()) colours["first"] = quad.corners[0].colour;
    if (quad.texture == form->texMeaningLine[3].get()) colours["second"] = quad.corners[0].colour;
  }
  EXPECT_EQ(colours["first"], 0xFF0000FFu) << "the first idiom is not answered yet";
  EXPECT_EQ(colours["second"], 0xFF800080u) << "the second idiom is answered";
}

// A wrong row shows its reading and the idiom it missed only once all eight are picked.
TEST_F(PanelSprites, WrongRowsShowTheirReadingsOnceTheRoundIsFull) {
  StartPlaying();
  PickPositions({0, 1, 2, 4});
  ASSERT_EQ(form->rowResult[0], 2);
  auto sprites = SpritesByName();
  EXPECT_EQ(sprites.count("reading 0"), 0u) << "shown before the round is full";
  PickPositions({3, 5, 6, 7});
  ASSERT_EQ(form->rowResult[1], 2);
  sprites = SpritesByName();
  for (const int r : {0, 1}) {
    SCOPED_TRACE(r);
    const std::string row = std::to_string(r);
    ASSERT_EQ(sprites.count("reading " + row), 1u);
    EXPECT_EQ(sprites["reading " + row].left, layout::kPanelLeft);
    EXPECT_EQ(sprites["reading " + row].top, layout::kReadingTop + layout::kRowTextStep * r);
    ASSERT_EQ(sprites.count("answer " + row), 1u);
    EXPECT_EQ(sprites["answer " + row].top, layout::kAnswerTop + layout::kRowTextStep * r);
  }
}

using DrawOrder = QueuedSpritesTest;

// The prompt band lies inside the pool, where the balls roam: at the resume question, whose
// balls show their characters, the prompt is queued after every ball and character, so a ball
// crossing the band passes under the text.
TEST_F(DrawOrder, PromptLinesAreDrawnOverTheBallsAtTheResumeQuestion) {
  Reach(Phase::ResumeQuestion);
  form->RunFrame();
  const auto oneOf = [](const auto& textures, const TDGTexture* texture) {
    return std::any_of(textures.begin(), textures.end(), [&](const auto& t) { return t.get() == texture; });
  };
  int lastBall = -1, firstPrompt = -1, characters = 0, index = 0;
  for (const TSXQueuedQuad& quad : form->scene->OverlayQueue().Quads()) {
    const bool character = oneOf(form->texBallChar, quad.texture);
    characters += character ? 1 : 0;
    if (character || oneOf(form->texBall, quad.texture)) lastBall = index;
    if (firstPrompt < 0 && oneOf(form->texMessage, quad.texture)) firstPrompt = index;
    ++index;
  }
  EXPECT_EQ(characters, 8) << "the balls show their characters at the resume question";
  ASSERT_GE(firstPrompt, 0) << "no prompt line queued";
  EXPECT_GT(firstPrompt, lastBall) << "a ball or its character is drawn over the prompt";
}
