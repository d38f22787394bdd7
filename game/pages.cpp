// Pages beside the title (the review also over a game waiting for Shift): drawn over the
// whole picture with the game's own writers while what is underneath waits, frozen.
#include <algorithm>

#include "Unit1.h"

namespace {

using namespace layout::page_colour;

using PageLine = TForm1::PageLine;

const std::vector<PageLine>& HelpLines() {
  static const std::vector<PageLine> lines{
      {u"遊び方", kHeading, true},
      {u"・右の二つの文は、二つの四字熟語の意味です。", kWhite},
      {u"・熟語の文字の順にボールを撃って、右の四つの枠を二段とも埋めます。", kWhite},
      {u"・一段に使える時間は60秒。過ぎるとサメがやられます。", kWhite},
      {u"・左下のバーはサメの体力です。なくなるとサメがやられます。", kWhite},
      {u"・10問正解した後は、サメに触れたボールが体力を減らします。", kWhite},
      {u"・10問正解した後は、段の途中でShiftキーで飛ばすと体力が減ります。", kWhite},
      {u"・30問正解でステージクリア、2ステージでゲームクリアです。", kWhite},
      {u"操作", kHeading, true},
      {u"・マウスの左/右ボタン … サメの向きを変える", kKeyLine},
      {u"・マウス … 照準を動かす　中ボタン/Space … 発射", kKeyLine},
      {u"・Shift … 開始・次の問題へ　Ctrl … 一時停止　Z … BGMのオン/オフ", kKeyLine},
      {u"・Esc … 保存して終了（もう一度押すとゲームに戻る）", kKeyLine},
      {u"・タイトルで　F1/H … この説明　O … 設定（音量、画面）　R … 熟語の見直し", kKeyLine},
      {u"・パッド：左スティック/十字ボタン … 向き　右スティック … 照準　A/RT … 発射", kKeyLine},
      {u"・パッド：Start … Shift　Back … Ctrl（タイトルでは設定）　Y … Z　B … Esc", kKeyLine},
      {u"何かキーを押すとタイトルに戻ります。", kFooter},
  };
  return lines;
}

}  // namespace

void TForm1::OpenPage(Page page) {
  if (!(page == Page::Review ? CanOpenReview() : CanOpenPage())) return;
  if (page == Page::Help) ShowPageLines(HelpLines());
  if (page == Page::Settings) ShowSettingsPage();
  if (page == Page::Review) {
    reviewItems = studyRecord.Review();
    reviewOfSession = studyRecord.HasSession();
    reviewPage = 0;
    ShowReviewPage();
  }
  openPage = page;
}

void TForm1::ClosePage() { openPage = Page::None; }

void TForm1::ShowPageLines(const std::vector<PageLine>& lines) {
  pageLines.assign(lines.begin(), lines.begin() + std::min<std::ptrdiff_t>(std::ssize(lines), layout::kPageLineCount));
  for (std::size_t i = 0; i < pageLines.size(); ++i) {
    RenderText(*texPageLine[i], Sjis(pageLines[i].text), pageLines[i].heading ? *writerLarge : *writerSmall);
  }
}

void TForm1::PageKeyDown(WORD key) {
  if (openPage == Page::Settings) {
    SettingsKeyDown(key);
    return;
  }
  if (openPage == Page::Review && TurnReviewPage(key)) return;
  ClosePage();
}

// Keys arrive as in the game frame, in the pumping at the frame's start. A key that closes the
// page leaves this frame to the page still: the title's next frame follows on from its last.
void TForm1::PageFrame() {
  scene->Clear(D3DCLEAR_TARGET, 0, 1.0f, 0);
  Application.ProcessMessages();
  if (openPage == Page::Settings) FollowWindowSwitch();
  DrawSprite(*texPageBackdrop, 0, 0, kWhite);
  for (std::size_t i = 0; i < pageLines.size(); ++i) {
    // An empty line keeps the texture's old text: it only makes room.
    if (pageLines[i].text.empty()) continue;
    const auto y = static_cast<std::int32_t>(layout::kPageTextTop + layout::kPageLineStep * static_cast<int>(i));
    DrawSprite(*texPageLine[i], layout::kPageTextLeft, y, pageLines[i].colour);
  }
}
