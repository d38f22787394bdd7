#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "IdiomTable.h"
#include "Unit1.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/ini.h"

namespace {

constexpr std::size_t kHeaderLines = 15;
constexpr std::size_t kLinesPerGroup = 3;
constexpr std::size_t kFewestUsefulLines = kHeaderLines + kLinesPerGroup;
constexpr std::size_t kMeaningLineLength = 13;
constexpr int kLinesPerMeaning = 3;
constexpr std::size_t kMeaningLines = kLinesPerMeaning;
// The report names the first few skipped groups; a player fixes those and runs again.
constexpr std::size_t kSkippedGroupsNamed = 3;
constexpr std::u16string_view kGlossJoint = u"; ";
constexpr std::u16string_view kEllipsis = u"...";
// The pack whose glosses Hints=en shows for the built-in idioms.
constexpr std::string_view kEnglishHintPack = "edict-en";

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
void ReportIdiomFile(const std::string& gamePath, const UserIdiomFile& file, const char* kind) {
  std::string skipped;
  for (std::size_t k = 0; k < file.skipped.size() && k < kSkippedGroupsNamed; ++k) {
    skipped += (k == 0 ? " (line " : "; line ") + std::to_string(file.skipped[k].line) + ": " + file.skipped[k].fault;
  }
  if (!skipped.empty()) skipped += file.skipped.size() > kSkippedGroupsNamed ? "; ...)" : ")";
  std::fprintf(stderr, "ことぶね: %s (%s): %zu %s idioms read, %zu groups skipped%s\n",
               platform::NativePath(gamePath).c_str(), file.utf8 ? "UTF-8" : "Shift-JIS", file.idioms.size(), kind,
               file.skipped.size(), skipped.c_str());
}

struct DictionarySettings {
  std::vector<std::string> packs;
  bool builtins = true;
  bool englishHints = false;
};

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A pack is named by its file name under data\packs without ".txt"; nothing that leaves the folder.
bool IsPackName(std::string_view name) {
  const auto allowed = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
  };
  return !name.empty() && name.front() != '.' && std::all_of(name.begin(), name.end(), allowed);
}

DictionarySettings ReadDictionarySettings(const std::string& settingsPath) {
  DictionarySettings settings;
  if (!FileExists(settingsPath)) return settings;
  const std::string packs = GetPrivateProfileStringA("Dictionary", "Pack", "", settingsPath);
  for (std::size_t start = 0; start <= packs.size();) {
    const std::size_t comma = std::min(packs.find(',', start), packs.size());
    const std::string_view name = TrimBlanks(std::string_view(packs).substr(start, comma - start));
    if (IsPackName(name)) {
      settings.packs.emplace_back(name);
    } else if (!name.empty()) {
      std::fprintf(stderr, "ことぶね: settei.ini [Dictionary] Pack: \"%s\" is no pack name; %s\n",
                   platform::Cp932ToUtf8(name).c_str(), "a name is a file under data/packs without .txt");
    }
    start = comma + 1;
  }
  settings.builtins = GetPrivateProfileIntA("Dictionary", "Builtin", 1, settingsPath) != 0;
  settings.englishHints = GetPrivateProfileStringA("Dictionary", "Hints", "", settingsPath) == "en";
  return settings;
}

std::optional<UserIdiomFile> ReadIdiomPack(const std::string& exeDir, std::string_view name) {
  const std::string gamePath = exeDir + "data\\packs\\" + std::string(name) + ".txt";
  auto pack = ReadUserIdiomFile(gamePath);
  if (pack) {
    ReportIdiomFile(gamePath, *pack, "pack");
  } else {
    std::fprintf(stderr, "ことぶね: %s: the idiom pack named in settei.ini cannot be read\n",
                 platform::NativePath(gamePath).c_str());
  }
  return pack;
}

void AppendIdioms(GameState& game, const std::vector<UserIdiom>& idioms) {
  for (const UserIdiom& idiom : idioms) {
    game.extraIdiom.push_back(idiom.idiom);
    game.extraMeaning.push_back(idiom.meaning);
    game.extraReading.push_back(idiom.reading);
  }
  game.extraUsed.resize(game.extraIdiom.size(), false);
  game.extraCount = static_cast<std::int32_t>(game.extraIdiom.size());
}

// Only where the pack has the same idiom with the same reading: a gloss of another reading
// may be another word.
void TakeHints(GameState& game, const std::vector<UserIdiom>& pack) {
  std::unordered_map<std::u16string, const std::u16string*> glosses;
  for (const UserIdiom& idiom : pack) glosses.emplace(idiom.idiom + u'\n' + idiom.reading, &idiom.meaning);
  for (int i = 0; i < kBuiltinIdiomCount; ++i) {
    const auto found = glosses.find(game.idiomText[i] + u'\n' + game.idiomReading[i]);
    game.idiomHint[i] = found != glosses.end() ? *found->second : std::u16string();
  }
}

// Whether a line of a meaning is no wider than the panel's boards are drawn for.
using LineFits = std::function<bool(std::u16string_view)>;

bool IsLatin(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u' ' && c <= u'~'; });
}

// The longest start of a word that fits a line of its own; at least one character.
std::size_t FittingStart(std::u16string_view word, const LineFits& fits) {
  std::size_t length = 1;
  while (length < word.size() && fits(word.substr(0, length + 1))) ++length;
  return length;
}

// Word by word; a word longer than a line is broken where the line ends.
std::vector<std::u16string> WrapWords(std::u16string_view text, const LineFits& fits) {
  std::vector<std::u16string> lines;
  std::u16string line;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(u' ', start), text.size());
    std::u16string_view word = text.substr(start, end - start);
    start = end + 1;
    while (!word.empty()) {
      const std::u16string joined = line.empty() ? std::u16string(word) : line + u' ' + std::u16string(word);
      if (fits(joined)) {
        line = joined;
        word = {};
      } else if (line.empty()) {
        const std::size_t length = FittingStart(word, fits);
        lines.emplace_back(word.substr(0, length));
        word.remove_prefix(length);
      } else {
        lines.push_back(std::exchange(line, {}));
      }
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// A gloss too long for the lines loses its last senses, or failing that ends in an ellipsis.
std::vector<std::u16string> LatinMeaningLines(std::u16string_view text, const LineFits& fits) {
  std::vector<std::u16string> lines = WrapWords(text, fits);
  if (lines.size() <= kMeaningLines) return lines;
  for (std::size_t joint = text.rfind(kGlossJoint); joint != std::u16string_view::npos && joint > 0;
       joint = text.rfind(kGlossJoint, joint - 1)) {
    std::vector<std::u16string> shorter = WrapWords(text.substr(0, joint), fits);
    if (shorter.size() <= kMeaningLines) return shorter;
  }
  lines.resize(kMeaningLines);
  std::u16string& last = lines.back();
  while (!last.empty() && !fits(last + std::u16string(kEllipsis))) {
    const std::size_t space = last.rfind(u' ');
    last.resize(space != std::u16string::npos && space > 0 ? space : last.size() - 1);
  }
  last += kEllipsis;
  return lines;
}

// Japanese meanings are cut every 13 characters, the last line taking whatever is left.
std::vector<std::u16string> MeaningLines(std::u16string_view meaning, const LineFits& fits) {
  if (IsLatin(meaning)) return LatinMeaningLines(meaning, fits);
  std::vector<std::u16string> lines;
  for (int k = 0; k < kLinesPerMeaning; ++k) {
    const std::size_t start = std::min(k * kMeaningLineLength, meaning.size());
    const std::size_t length = k + 1 < kLinesPerMeaning ? kMeaningLineLength : std::u16string::npos;
    lines.emplace_back(meaning.substr(start, length));
  }
  return lines;
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

int FirstAskedIndex(const GameState& game) { return game.builtinsAsked ? 0 : kBuiltinIdiomCount; }
int AskableCount(const GameState& game) { return kBuiltinIdiomCount - FirstAskedIndex(game) + game.extraCount; }
int AskedCount(const GameState& game) { return (game.builtinsAsked ? game.builtinUsedCount : 0) + game.extraUsedCount; }

// Unasked idioms only, each as likely as 1 + its misses (up to a ceiling, so that no
// idiom crowds out the rest).
int PickPractice(TForm1& game, int q) {
  constexpr std::int32_t kMostExtraWeight = 9;
  std::vector<std::int32_t> weights(static_cast<std::size_t>(kBuiltinIdiomCount + game.extraCount));
  std::int32_t total = 0;
  for (int x = FirstAskedIndex(game); x < static_cast<int>(weights.size()); ++x) {
    const bool asked = x < kBuiltinIdiomCount ? game.builtinUsed[x] : game.extraUsed[x - kBuiltinIdiomCount];
    weights[x] = asked ? 0 : 1 + std::min(game.MissesOf(x), kMostExtraWeight);
    total += weights[x];
  }
  std::int32_t r = game.Random(total);
  int x = 0;
  while (r >= weights[x]) r -= weights[x++];
  TakeIfUnasked(game, q, x);
  return x;
}

// Every idiom, built-in or user, has the same chance.
int PickUnasked(TForm1& game, int q) {
  if (game.practiceMode) return PickPractice(game, q);
  int x;
  do {
    x = FirstAskedIndex(game) + game.Random(AskableCount(game));
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
  if (file) ReportIdiomFile(gamePath, *file, "user");
  extraIdiom.clear();
  extraMeaning.clear();
  extraReading.clear();
  extraUsed.clear();
  AppendIdioms(*this, file ? file->idioms : std::vector<UserIdiom>{});
  extraUsedCount = 0;
}

void TForm1::LoadIdiomPacks() {
  const DictionarySettings settings = ReadDictionarySettings(exeDir + "data\\settei.ini");
  std::optional<UserIdiomFile> hintPack;
  for (const std::string& name : settings.packs) {
    auto pack = ReadIdiomPack(exeDir, name);
    if (!pack) continue;
    AppendIdioms(*this, pack->idioms);
    if (name == kEnglishHintPack) hintPack = std::move(pack);
  }
  if (settings.englishHints && !hintPack) hintPack = ReadIdiomPack(exeDir, kEnglishHintPack);
  if (settings.englishHints && hintPack) TakeHints(*this, hintPack->idioms);
  // A round needs two idioms.
  builtinsAsked = settings.builtins || extraCount < 2;
  if (builtinsAsked != settings.builtins) {
    std::fprintf(stderr, "ことぶね: settei.ini [Dictionary] Builtin=0, but %s; the built-in idioms are asked too\n",
                 "fewer than two other idioms were read");
  }
}

void TForm1::NewRound() {
  if (AskedCount(*this) > AskableCount(*this) - 2) StartNewCycle(*this);
  for (int q = 0; q < 2; ++q) questionIndex[q] = PickUnasked(*this, q);
  DealCharacters(*this);
  SplitMeanings();
  OpenStudyRound();
}

std::vector<std::u16string> TForm1::MeaningLinesOf(std::u16string_view meaning) {
  // Lines in Latin letters are measured as drawn: as wide as 13 full-width characters.
  const std::int32_t widest = writerSmall->TextWidth(Sjis(std::u16string(kMeaningLineLength, u'字')));
  const LineFits fits = [&](std::u16string_view line) { return writerSmall->TextWidth(Sjis(line)) <= widest; };
  return MeaningLines(meaning, fits);
}

void TForm1::SplitMeanings() {
  for (int q = 0; q < 2; ++q) {
    std::vector<std::u16string> lines = MeaningLinesOf(ShownMeaningOf(questionIndex[q]));
    lines.resize(kLinesPerMeaning);
    for (int k = 0; k < kLinesPerMeaning; ++k) {
      meaningLine[kLinesPerMeaning * q + k] = FittingMeaningLine(lines[k]);
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
const std::u16string& TForm1::ShownMeaningOf(int index) const {
  const bool hinted = index >= 0 && index < kBuiltinIdiomCount && !idiomHint[index].empty();
  return hinted ? idiomHint[index] : MeaningOf(index);
}
