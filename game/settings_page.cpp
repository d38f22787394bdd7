// The settings page: the volumes, the scaling and the window, changed at once and kept in
// settei.ini. The music's choice needs a file's or a folder's name, so the page only shows it.
#include <algorithm>
#include <cstdio>

#include "GameAssets.h"
#include "Unit1.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/present.h"

namespace {

using namespace layout::page_colour;
using platform::WindowMode;
using platform::audio::Bus;
using platform::present::ScaleMode;
using PageLine = TForm1::PageLine;

// The lines a player can change, top to bottom.
enum class Setting { MusicVolume, EffectsVolume, Scale, Window };
constexpr std::int32_t kSettingCount = static_cast<std::int32_t>(Setting::Window) + 1;
constexpr std::int32_t kVolumeStep = 10;
constexpr std::array<WindowMode, 2> kWindowModes{WindowMode::FullScreen, WindowMode::Window};
// Played at each change of the effects volume, so the new level is heard: the shot.
constexpr int kSampleEffect = 0;
constexpr std::uint32_t kWarning = 0xFFFF9C9C;
// The music's line stays inside the page's board, with the board's margin on its right too.
constexpr UINT kWidestLine = layout::kPageBoard.right - 2 * layout::kPageTextLeft + layout::kPageBoard.left;

// The value next to `now` in the step's direction; the ends stay where they are.
template <class Value, std::size_t N>
Value Neighbour(const std::array<Value, N>& values, Value now, int step) {
  const std::ptrdiff_t at = std::find(values.begin(), values.end(), now) - values.begin();
  return values[static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(at + step, 0, std::ssize(values) - 1))];
}

// A volume between two steps, as settei.ini may hold it, goes to the next step that way.
std::int32_t NeighbourVolume(std::int32_t volume, int step) {
  const std::int32_t below = volume / kVolumeStep * kVolumeStep;
  const std::int32_t next = step > 0 ? below + kVolumeStep : below == volume ? below - kVolumeStep : below;
  return std::clamp(next, 0, kFullVolume);
}

std::u16string Text(std::string_view sjis) { return platform::Cp932ToUtf16(sjis); }

std::u16string ScaleText(ScaleMode mode) {
  const std::u16string name = mode == ScaleMode::Sharp   ? u"シャープ"
                              : mode == ScaleMode::Whole ? u"整数倍"
                                                         : u"引き伸ばし";
  return name + u"（" + Text(platform::present::ScaleModeName(mode)) + u"）";
}

// One line that a key changes, marked when it is the chosen one.
PageLine Choice(std::int32_t chosen, Setting setting, std::u16string_view label, const std::u16string& value) {
  const bool isChosen = chosen == static_cast<std::int32_t>(setting);
  return {(isChosen ? u"→ " : u"　 ") + std::u16string(label) + u"：" + value, isChosen ? kHeading : kWhite};
}

PageLine WindowChoice(std::int32_t chosen) {
  const bool windowed = platform::CurrentWindowMode() == WindowMode::Window;
  return Choice(chosen, Setting::Window, u"表示", windowed ? u"ウィンドウ" : u"全画面");
}

// A file's own name; a folder named with its separator at the end keeps its whole path.
std::u16string PathName(const std::string& path) {
  const std::string name = path.substr(ExtractFilePath(path).size());
  return Text(name.empty() ? path : name);
}

}  // namespace

void TForm1::ShowSettingsPage() {
  chosenSetting = 0;
  settingsUnsaved = false;
  ShowPageLines(SettingsLines());
}

std::vector<PageLine> TForm1::SettingsLines() const {
  return {
      {u"設定", kHeading, true},
      {MusicSettingLine(), kWhite},
      {u"　曲は settei.ini の [BGM] で選びます。オン/オフは Z キー（パッドの Y）。", kFooter},
      {u"", kWhite},
      Choice(chosenSetting, Setting::MusicVolume, u"BGMの音量", Text(std::to_string(musicVolume))),
      Choice(chosenSetting, Setting::EffectsVolume, u"効果音の音量", Text(std::to_string(effectsVolume))),
      Choice(chosenSetting, Setting::Scale, u"画面の拡大", ScaleText(platform::present::CurrentScaleMode())),
      WindowChoice(chosenSetting),
      {u"", kWhite},
      {u"↑↓ … 項目を選ぶ　←→ … 変える　Esc … タイトルに戻る", kKeyLine},
      settingsUnsaved ? PageLine{u"settei.ini に書き込めませんでした。変更は今回だけ有効です。", kWarning}
                      : PageLine{u"変えた値はすぐに settei.ini に保存されます。", kFooter},
  };
}

// What plays, as the title's music set-up found it.
std::u16string TForm1::MusicSettingLine() const {
  if (!bgmReady) return u"BGM：準備中";
  std::u16string line = musicOn ? u"BGM：オン（" : u"BGM：オフ（";
  if (trackCount > 0) {
    line += u"フォルダ " + PathName(musicFolder);
  } else if (bgmPath == exeDir + std::string(kOwnMusic)) {
    line += u"ゲームの曲";
  } else {
    line += u"ファイル " + PathName(bgmPath);
  }
  return FittingLine(line + u"）", *writerSmall, kWidestLine);
}

// Asked every frame, so only the window's line is made to compare.
void TForm1::FollowWindowSwitch() {
  const std::u16string shown = WindowChoice(chosenSetting).text;
  const auto showsIt = [&shown](const PageLine& line) { return line.text == shown; };
  if (std::none_of(pageLines.begin(), pageLines.end(), showsIt)) ShowPageLines(SettingsLines());
}

void TForm1::SettingsKeyDown(WORD key) {
  if (key == VK_ESCAPE) {
    ClosePage();
    return;
  }
  const bool moved = key == VK_UP || key == VK_DOWN;
  if (moved) chosenSetting = (chosenSetting + (key == VK_DOWN ? 1 : kSettingCount - 1)) % kSettingCount;
  const bool changed = (key == VK_LEFT || key == VK_RIGHT) && ChangeSetting(key == VK_RIGHT ? 1 : -1);
  if (moved || changed) ShowPageLines(SettingsLines());
}

bool TForm1::ChangeSetting(int step) {
  const auto setting = static_cast<Setting>(chosenSetting);
  if (setting == Setting::MusicVolume || setting == Setting::EffectsVolume) {
    const Bus bus = setting == Setting::MusicVolume ? Bus::Music : Bus::Effects;
    const std::int32_t volume = NeighbourVolume(Volume(bus), step);
    if (volume == Volume(bus)) return false;
    NoteSettingsWritten(ChangeVolume(bus, volume));
    if (bus == Bus::Effects) PlayEffect(kSampleEffect);
    return true;
  }
  if (setting == Setting::Scale) {
    const ScaleMode now = platform::present::CurrentScaleMode();
    const ScaleMode mode = Neighbour(platform::present::kScaleModes, now, step);
    if (mode == now) return false;
    platform::present::SetScaleMode(mode);
    NoteSettingsWritten(platform::present::SaveScaleMode(mode).Ok());
    return true;
  }
  const WindowMode now = platform::CurrentWindowMode();
  const WindowMode mode = Neighbour(kWindowModes, now, step);
  if (mode == now) return false;
  platform::SetWindowMode(mode);
  NoteSettingsWritten(platform::present::SaveWindowSetting({mode == WindowMode::Window, std::nullopt}).Ok());
  return true;
}

// The change stays in effect either way; only the next start would not see it.
void TForm1::NoteSettingsWritten(bool written) {
  settingsUnsaved = !written;
  if (!written) std::fprintf(stderr, "ことぶね: settei.ini could not be written; the change lasts until the game ends\n");
}
