#pragma once
// Where the game draws its texts and pictures on the 640 x 480 picture, and the places our
// pictures keep for them. The positions are the frame routine's and never move; the pictures
// are drawn to fit them. The layout test checks the frames against the same numbers.
#include <cstdint>

namespace layout {

struct Box {
  int left, top, right, bottom;  // right and bottom exclusive
};

constexpr int kScreenWidth = 640, kScreenHeight = 480;
constexpr double kFieldCentre = 240;

// Where the game draws.
constexpr int kPanelLeft = 480;  // the side panel starts where the square field ends
constexpr int kSlotLeft = 480, kSlotTop = 48, kSlotColumnStep = 35, kSlotRowStep = 135, kBallSize = 30;
constexpr int kMeaningTops[2] = {85, 215};
constexpr int kMeaningLineStep = 20;
constexpr int kReadingTop = 28, kAnswerTop = 3, kRowTextStep = 140;
constexpr int kMeaningRightMargin = 3;  // the meanings and their plates end this far from the right
constexpr int kTimeTop = 310, kTimeRightMargin = 5;
constexpr int kPromptTops[2] = {350, 375};
constexpr int kLogoTop = 400, kLogoRightMargin = 10;
constexpr int kTitleLeft = 23, kTitleTop = 150;
// The score line is centred at the top, the best score right-aligned under it; the counters
// (correct, combo, stage) stack at the top left. Each line is its text's height plus the gap.
constexpr int kScoreTop = 5, kScoreLineGap = 5;
constexpr int kCounterLeft = 2, kCounterTop = 5, kCounterLineGap = 5;

// What the background paints for them.
constexpr Box kDivider{480, 0, 482, 480};
// The meanings are right-aligned and up to 13 characters wide: their boards reach over the
// divider into the field's corner.
constexpr Box kMeaningBoards[2] = {{450, 82, 640, 142}, {450, 213, 640, 277}};
// The revealed idiom above the reading, per answer row.
constexpr Box kRowTextBoards[2] = {{478, 0, 626, 47}, {478, 142, 626, 183}};
constexpr Box kAnswerTrays[2] = {{476, 44, 620, 82}, {476, 179, 620, 217}};
// Calm boards behind the score lines (top centre) and the counters (top left).
constexpr Box kScoreBoard{232, 0, 408, 46};
constexpr Box kCounterBoard{0, 0, 118, 68};
// A pale strip behind the two prompt lines, so red and dark green both read; a picture of
// its own, drawn only while a prompt is shown. Each line also gets a plate, drawn over the
// balls, so a ball passing behind a line never breaks it.
constexpr Box kPromptBand{0, 346, 640, 404};
constexpr Box kPromptBandPicture{0, 345, 640, 405};  // with its 2-pixel edge lines
// One short note centred just above the band: the first start's hint, or why a save failed.
constexpr int kPromptNoteTop = 326;

// The life bar (gage.bmp) at the bottom left, and the label the background paints above it.
constexpr int kGaugeLeft = 5, kGaugeTop = 450;
constexpr Box kGaugeLabel{5, 430, 160, 448};

// Pages cover the whole picture: one backdrop for every page, a board on it, and the page's
// lines from the board's top, one step apart, headings in the large writer.
constexpr Box kPageBoard{20, 14, 620, 466};
constexpr int kPageTextLeft = 44, kPageTextTop = 34, kPageLineStep = 24;
constexpr int kPageLineCount = 17;
// A page's plain lines, headings, keys and closing hint.
namespace page_colour {
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kHeading = 0xFFFFE88C;
constexpr std::uint32_t kKeyLine = 0xFF9CE6FF;
constexpr std::uint32_t kFooter = 0xFFB4D2E6;
}  // namespace page_colour

// The controls panel (SosaHoho.bmp) sits below the prompt band, at (480, 480 - height). The
// title's logo lands on its top right corner, so its text keeps to the cells below.
constexpr int kControlsLeft = 480, kControlsWidth = 160, kControlsHeight = 76;
constexpr Box kControlsHeading{6, 2, 52, 20};  // inside the panel
constexpr Box kControlsGrid{4, 22, 156, 74};
constexpr int kLogoWidth = 96, kLogoHeight = 22;

// Banners and judgements are centred on the picture and must stay inside the water.
constexpr double kWaterRadius = 213;
constexpr int kBannerWidth = 250, kBannerHeight = 100;

}  // namespace layout
