#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

#include "IdiomTable.h"
#include "Unit1.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace {

constexpr std::size_t kHeaderLines = 15;
constexpr std::size_t kLinesPerGroup = 3;
constexpr std::size_t kFewestUsefulLines = kHeaderLines + kLinesPerGroup;
constexpr std::size_t kMeaningLineLength = 13;
constexpr int kLinesPerMeaning = 3;
// The report names the first few skipped groups; a player fixes those and runs again.
constexpr std::size_t kSkippedGroupsNamed = 3;

// As a text list reads a file: CR LF, LF or a lone CR ends a line, and a break at the very
// end starts no further line. Neither byte can be the second byte of a Shift-JIS character.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
    const bool crlf = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n';
    start = end + (crlf ? 2 : 1);
  }
  return lines;
}

// The text is shown through Shift-JIS anyway, so a UTF-8 file goes the same way.
std::u16string LineText(std::string_view line, bool utf8) {
  return platform::Cp932ToUtf16(utf8 ? platform::Utf8ToCp932Lossy(line) : std::string(line));
}

bool IsBlankField(const std::u16string& text) { return text.empty() || text == u" " || text == u"　"; }

struct UserIdiom {
  std::u16string idiom, meaning, reading;
  // Why the group cannot be asked; nothing when it can.
  const char* Fault() const {
    if (idiom.size() != std::size_t{kIdiomLength}) return "the idiom is not four characters";
    if (IsBlankField(meaning) || IsBlankField(reading)) return "the meaning or reading is blank";
    return nullptr;
  }
};

struct SkippedGroup {
  std::size_t line;  // of the idiom, counted from 1
  const char* fault;
};

struct UserIdiomFile {
  bool utf8 = false;
  std::vector<UserIdiom> idioms;
  std::vector<SkippedGroup> skipped;
};

std::optional<UserIdiomFile> ReadUserIdiomFile(const std::string& gamePath) {
  const auto bytes = platform::ReadFileBytes(gamePath);
  if (!bytes) return std::nullopt;
  const platform::UserText text =
      platform::ClassifyUserText({reinterpret_cast<const char*>(bytes->data()), bytes->size()});
  UserIdiomFile file{text.utf8, {}, {}};
  const auto lines = SplitLines(text.body);
  if (lines.size() < kFewestUsefulLines) return file;
  // Trailing lines that do not make a whole group are ignored.
  for (std::size_t i = kHeaderLines; i + kLinesPerGroup <= lines.size(); i += kLinesPerGroup) {
    UserIdiom group{LineText(lines[i], file.utf8), LineText(lines[i + 1], file.utf8),
                    LineText(lines[i + 2], file.utf8)};
    if (const char* fault = group.Fault()) {
      file.skipped.push_back({i + 1, fault});
    } else {
      file.idioms.push_back(std::move(group));
    }
  }
  return file;
}

// Skipped groups are otherwise silent: a player who added idioms could not tell why some
// never come up.
void ReportUserIdioms(const std::string& gamePath, const UserIdiomFile& file) {
  std::string skipped;
  for (std::size_t k = 0; k < file.skipped.size() && k < kSkippedGroupsNamed; ++k) {
    skipped += (k == 0 ? " (line " : "; line ") + std::to_string(file.skipped[k].line) + ": " + file.skipped[k].fault;
  }
  if (!skipped.empty()) skipped += file.skipped.size() > kSkippedGroupsNamed ? "; ...)" : ")";
  std::fprintf(stderr, "ことぶね: %s (%s): %zu user idioms read, %zu groups skipped%s\n",
               platform::NativePath(gamePath).c_str(), file.utf8 ? "UTF-8" : "Shift-JIS", file.idioms.size(),
               file.skipped.size(), skipped.c_str());
}

template <class BuiltinColumn, class UserColumn>
const std::u16string& TextOf(const BuiltinColumn& builtin, const UserColumn& user, int index) {
  static const std::u16string kNone;
  if (index >= 0 && index < kBuiltinIdiomCount) return builtin[index];
  const auto k = static_cast<std::size_t>(index) - kBuiltinIdiomCount;
  return index >= kBuiltinIdiomCount && k < user.size() ? user[k] : kNone;
}

void StartNewCycle(GameState& game) {
  game.builtinUsed.fill(false);
  game.builtinUsedCount = 0;
  if (game.extraCount > 0) {
    std::fill(game.extraUsed.begin(), game.extraUsed.end(), false);
    game.extraUsedCount = 0;
  }
}

// Marks the idiom asked and sets question q to it, unless it was asked in this cycle.
bool TakeIfUnasked(GameState& game, int q, int index) {
  if (index < kBuiltinIdiomCount) {
    if (game.builtinUsed[index]) return false;
    game.builtinUsed[index] = true;
    game.builtinUsedCount += 1;
    game.question[q] = game.idiomText[index];
    return true;
  }
  const auto k = static_cast<std::size_t>(index - kBuiltinIdiomCount);
  if (game.extraUsed[k]) return false;
  game.extraUsed[k] = true;
  game.extraUsedCount += 1;
  game.question[q] = game.extraIdiom[k];
  return true;
}

// Every idiom, built-in or user, has the same chance.
int PickUnasked(TForm1& game, int q) {
  int x;
  do {
    x = game.Random(kBuiltinIdiomCount + game.extraCount);
  } while (!TakeIfUnasked(game, q, x));
  return x;
}

// The balls carry a uniformly random permutation of the round's eight characters.
void DealCharacters(TForm1& game) {
  const std::u16string s = game.question[0] + game.question[1];
  std::array<bool, kRoundLength> taken{};
  for (int i = 0; i < kRoundLength; ++i) {
    int p;
    do {
      p = game.Random(kRoundLength);
    } while (taken[p]);
    taken[p] = true;
    game.ballCharPos[i] = p;
    // An idiom restored from a hand-edited saved round may be short: its ball stays blank.
    game.ballChar[i] = static_cast<std::size_t>(p) < s.size() ? s.substr(p, 1) : std::u16string();
    game.RenderBallChar(i);
  }
}

}  // namespace

void TForm1::BuildBuiltinTable() {
  for (int i = 0; i < kBuiltinIdiomCount; ++i) {
    idiomMeaning[i] = kIdiomTable[i].meaning;
    idiomText[i] = kIdiomTable[i].idiom;
    idiomReading[i] = kIdiomTable[i].reading;
  }
}

void TForm1::LoadUserIdioms() {
  const std::string gamePath = exeDir + Sjis(u"data\\追加問題.txt");
  const auto file = ReadUserIdiomFile(gamePath);
  if (file) ReportUserIdioms(gamePath, *file);
  const std::vector<UserIdiom> idioms = file ? file->idioms : std::vector<UserIdiom>{};
  extraIdiom.clear();
  extraMeaning.clear();
  extraReading.clear();
  for (const UserIdiom& idiom : idioms) {
    extraIdiom.push_back(idiom.idiom);
    extraMeaning.push_back(idiom.meaning);
    extraReading.push_back(idiom.reading);
  }
  extraUsed.assign(idioms.size(), false);
  extraCount = static_cast<std::int32_t>(idioms.size());
  extraUsedCount = 0;
}

void TForm1::NewRound() {
  if (builtinUsedCount + extraUsedCount > kBuiltinIdiomCount + extraCount - 2) StartNewCycle(*this);
  for (int q = 0; q < 2; ++q) questionIndex[q] = PickUnasked(*this, q);
  DealCharacters(*this);
  SplitMeanings();
}

void TForm1::SplitMeanings() {
  for (int q = 0; q < 2; ++q) {
    const std::u16string& meaning = MeaningOf(questionIndex[q]);
    for (int k = 0; k < kLinesPerMeaning; ++k) {
      const std::size_t start = std::min(k * kMeaningLineLength, meaning.size());
      // The last line takes whatever is left, however long.
      const std::size_t length = k + 1 < kLinesPerMeaning ? kMeaningLineLength : std::u16string::npos;
      meaningLine[kLinesPerMeaning * q + k] = FittingMeaningLine(std::u16string_view(meaning).substr(start, length));
      RenderMeaningLine(kLinesPerMeaning * q + k);
    }
  }
}

int TForm1::AdoptSavedIdiom(int q, const std::u16string& idiom, const std::u16string& meaning,
                            const std::u16string& reading) {
  question[q] = idiom;
  const auto k = static_cast<std::size_t>(std::find(extraIdiom.begin(), extraIdiom.end(), idiom) - extraIdiom.begin());
  if (k == extraIdiom.size()) {
    extraCount += 1;
    extraIdiom.push_back(idiom);
    extraMeaning.push_back(meaning);
    extraReading.push_back(reading);
    extraUsed.push_back(false);
  }
  // Both questions may name the same text (both fell back to the placeholder): count it once.
  if (!extraUsed[k]) {
    extraUsed[k] = true;
    extraUsedCount += 1;
  }
  questionIndex[q] = kBuiltinIdiomCount + static_cast<int>(k);
  return questionIndex[q];
}

const std::u16string& TForm1::IdiomOf(int index) const { return TextOf(idiomText, extraIdiom, index); }
const std::u16string& TForm1::MeaningOf(int index) const { return TextOf(idiomMeaning, extraMeaning, index); }
const std::u16string& TForm1::ReadingOf(int index) const { return TextOf(idiomReading, extraReading, index); }
