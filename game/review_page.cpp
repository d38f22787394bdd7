// The review page: the idioms of the study record's review list, a few to a page, each with
// its reading and its meaning in the lines the panel showed it in.
#include <algorithm>

#include "Unit1.h"
#include "platform/codepage.h"

namespace {

constexpr std::size_t kIdiomsPerPage = 3;
constexpr std::uint32_t kMissedInk = 0xFFFF9C8C;
constexpr std::uint32_t kRightInk = 0xFF9FF283;
// The board's inner width: its margins are those of the page's text.
constexpr UINT kLineWidth = layout::kPageBoard.right - layout::kPageTextLeft - (layout::kPageTextLeft - layout::kPageBoard.left);

constexpr std::u16string_view kSessionHeading = u"今回の熟語（まちがえたものから）";
constexpr std::u16string_view kOverallHeading = u"まちがえることの多い熟語";
constexpr std::u16string_view kNothingYet = u"まだ見直す熟語はありません。";
constexpr std::u16string_view kReviewFooter = u"←→ … ページをめくる　ほかのキー … 戻る";
constexpr std::u16string_view kReviewHint = u"Rキーで熟語を見直せます。";
constexpr std::u16string_view kMissedMark = u"×　";
constexpr std::u16string_view kRightMark = u"○　";
constexpr std::u16string_view kMeaningIndent = u"　　";

using PageLine = TForm1::PageLine;

// The study record keeps UTF-8; the game's texts go through Shift-JIS.
std::u16string GameText(std::string_view utf8) { return platform::Cp932ToUtf16(platform::Utf8ToCp932Lossy(utf8)); }

// As the panel shows it now (a built-in idiom's English hint where there is one); the
// record's own meaning for an idiom no longer in the dictionary.
std::u16string MeaningShown(const TForm1& game, const ReviewItem& item) {
  const std::u16string idiom = GameText(item.idiom), reading = GameText(item.reading);
  for (int index = 0; index < kBuiltinIdiomCount + game.extraCount; ++index) {
    if (game.IdiomOf(index) == idiom && game.ReadingOf(index) == reading) return game.ShownMeaningOf(index);
  }
  return GameText(item.meaning);
}

void AppendItem(TForm1& game, const ReviewItem& item, std::vector<PageLine>& lines) {
  const std::u16string title = std::u16string(item.missed ? kMissedMark : kRightMark) + GameText(item.idiom) + u"（" +
                               GameText(item.reading) + u"）";
  lines.push_back({TForm1::FittingLine(title, *game.writerLarge, kLineWidth), item.missed ? kMissedInk : kRightInk, true});
  for (const std::u16string& line : game.MeaningLinesOf(MeaningShown(game, item))) {
    if (line.empty()) continue;
    lines.push_back({TForm1::FittingLine(std::u16string(kMeaningIndent) + line, *game.writerSmall, kLineWidth),
                     layout::page_colour::kWhite});
  }
}

std::size_t PageCount(std::size_t items) { return std::max<std::size_t>(1, (items + kIdiomsPerPage - 1) / kIdiomsPerPage); }

}  // namespace

// The footer keeps the board's last line, however many lines the idioms above it take.
void TForm1::ShowReviewPage() {
  std::u16string heading(reviewOfSession ? kSessionHeading : kOverallHeading);
  const std::size_t pages = PageCount(reviewItems.size());
  if (pages > 1) heading += u"　" + GameText(std::to_string(reviewPage + 1) + "/" + std::to_string(pages));
  std::vector<PageLine> lines{{heading, layout::page_colour::kHeading, true}};
  if (reviewItems.empty()) lines.push_back({std::u16string(kNothingYet), layout::page_colour::kWhite});
  const std::size_t first = reviewPage * kIdiomsPerPage;
  for (std::size_t i = first; i < std::min(first + kIdiomsPerPage, reviewItems.size()); ++i) {
    AppendItem(*this, reviewItems[i], lines);
  }
  lines.resize(static_cast<std::size_t>(layout::kPageLineCount - 1), {u"", layout::page_colour::kWhite});
  lines.push_back({std::u16string(kReviewFooter), layout::page_colour::kFooter});
  ShowPageLines(lines);
}

bool TForm1::TurnReviewPage(WORD key) {
  const bool back = key == VK_LEFT || key == VK_UP, forward = key == VK_RIGHT || key == VK_DOWN;
  if (!back && !forward) return false;
  const std::size_t last = PageCount(reviewItems.size()) - 1;
  const std::size_t page = back ? (reviewPage == 0 ? 0 : reviewPage - 1) : std::min(reviewPage + 1, last);
  if (page != reviewPage) {
    reviewPage = page;
    ShowReviewPage();
  }
  return true;
}

// Another note (why a save failed, or the first start's) says more than this one.
void TForm1::ShowReviewHint() {
  if (!promptNote.empty() || !(titlePhase || IsWaitingForShift()) || studyRecord.Review().empty()) return;
  ShowPromptNote(kReviewHint);
}
