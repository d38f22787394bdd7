#include "EdictPack.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>
#include <utility>

#include "platform/codepage.h"

namespace packmaker {
namespace {

constexpr std::size_t kIdiomLength = 4;
constexpr std::string_view kYojiTag = "(yoji)";
constexpr std::string_view kGlossJoint = "; ";
constexpr std::size_t kHeaderLines = 15;

// Tags of usage, register and field that the dictionary writes in parentheses before a gloss.
constexpr std::array<std::string_view, 56> kUsageTags{
    "yoji",  "P",      "uk",    "uK",   "arch",   "obs",   "obsc",   "col",   "id",     "iK",     "ik",    "io",
    "oK",    "ok",     "ateji", "abbr", "hon",    "hum",   "pol",    "fam",   "male",   "fem",    "vulg",  "sl",
    "derog", "sens",   "joc",   "poet", "rare",   "X",     "gikun",  "Buddh", "Shinto", "sumo",   "shogi", "mahj",
    "baseb", "law",    "math",  "ling", "med",    "comp",  "food",   "geom",  "gram",   "mil",    "physics",
    "chem",  "biol",   "bot",   "zool", "anat",   "music", "sports", "MA",    "on-mim"};
// Heads of part-of-speech tags: "n", "adj-na", "v5r", "n-adv" and the like.
constexpr std::array<std::string_view, 20> kSpeechParts{"n",   "vs",  "vt",   "vi",  "vk",   "vz",  "adj",
                                                        "adv", "aux", "conj", "ctr", "exp",  "int", "num",
                                                        "pn",  "pref", "prt", "suf", "cop", "unc"};

std::string Recode(std::string_view text, const char* from, const char* to) {
  const iconv_t handle = iconv_open(to, from);
  if (handle == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
  }
  const std::unique_ptr<void, decltype(&iconv_close)> converter(handle, &iconv_close);
  std::string out(text.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* outAt = out.data();
  std::size_t outLeft = out.size();
  // A line the converter refuses is no entry.
  if (iconv(converter.get(), &in, &inLeft, &outAt, &outLeft) == static_cast<std::size_t>(-1)) return {};
  out.resize(out.size() - outLeft);
  return out;
}

bool IsTagToken(std::string_view token) {
  if (!token.empty() && std::all_of(token.begin(), token.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return true;  // a sense number
  }
  if (std::find(kUsageTags.begin(), kUsageTags.end(), token) != kUsageTags.end()) return true;
  const std::string_view head = token.substr(0, token.find('-'));
  const bool verbClass = head.size() >= 2 && head[0] == 'v' && head[1] >= '0' && head[1] <= '9';
  return verbClass || std::find(kSpeechParts.begin(), kSpeechParts.end(), head) != kSpeechParts.end();
}

// "(n,adj-na)" or "(2)": every comma-separated token is a tag. "(of a person)" is gloss text.
bool IsTagGroup(std::string_view group) {
  if (group.empty()) return false;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = group.find(',', start);
    if (!IsTagToken(group.substr(start, comma - start))) return false;
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view StripLeadingTags(std::string_view gloss) {
  gloss = TrimBlanks(gloss);
  while (!gloss.empty() && gloss.front() == '(') {
    const std::size_t close = gloss.find(')');
    if (close == std::string_view::npos || !IsTagGroup(gloss.substr(1, close - 1))) break;
    gloss = TrimBlanks(gloss.substr(close + 1));
  }
  return gloss;
}

bool IsEntryNumber(std::string_view gloss) { return gloss.substr(0, 4) == "EntL"; }

bool IsKanji(char16_t c) {
  return c == u'々' || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF);
}

bool IsKana(char16_t c) { return c >= 0x3041 && c <= 0x30FF && c != u'・' && c != 0x30A0; }

// The UTF-16 form of a text that Shift-JIS can hold; empty when it cannot.
std::u16string ShownText(std::string_view utf8) {
  const auto sjis = platform::Utf8ToCp932(utf8);
  return sjis ? platform::Cp932ToUtf16(*sjis) : std::u16string();
}

struct Entry {
  std::string_view headword, reading, glosses;
};

// "HEADWORD [READING] /glosses/"; a kana headword has no reading.
bool ParseEntry(std::string_view line, Entry& entry) {
  const std::size_t space = line.find(' ');
  const std::size_t slash = line.find(" /");
  if (space == std::string_view::npos || slash == std::string_view::npos) return false;
  entry.headword = line.substr(0, space);
  const std::string_view between = TrimBlanks(line.substr(space, slash - space));
  entry.reading = between.size() > 2 && between.front() == '[' && between.back() == ']'
                      ? between.substr(1, between.size() - 2)
                      : std::string_view();
  entry.glosses = line.substr(slash + 2);
  return true;
}

bool Keeps(const Entry& entry) {
  const std::u16string idiom = ShownText(entry.headword);
  const std::u16string reading = ShownText(entry.reading);
  return idiom.size() == kIdiomLength && std::all_of(idiom.begin(), idiom.end(), IsKanji) && !reading.empty() &&
         std::all_of(reading.begin(), reading.end(), IsKana);
}

}  // namespace

std::string MeaningOfGlosses(std::string_view glosses) {
  std::string meaning;
  std::size_t start = 0;
  while (start < glosses.size()) {
    const std::size_t end = std::min(glosses.find('/', start), glosses.size());
    const std::string_view gloss = StripLeadingTags(glosses.substr(start, end - start));
    if (!gloss.empty() && !IsEntryNumber(gloss)) {
      if (!meaning.empty()) meaning += kGlossJoint;
      meaning += gloss;
    }
    start = end + 1;
  }
  return meaning;
}

Harvest HarvestIdioms(std::string_view eucJp) {
  Harvest harvest;
  bool first = true;
  for (std::size_t start = 0; start < eucJp.size();) {
    const std::size_t end = std::min(eucJp.find('\n', start), eucJp.size());
    const std::string_view raw = eucJp.substr(start, end - start);
    start = end + 1;
    // ASCII stays ASCII in EUC-JP: only the header and the idiom entries need converting.
    const bool header = std::exchange(first, false);
    if (!header && raw.find(kYojiTag) == std::string_view::npos) continue;
    const std::string line = Recode(raw, "EUC-JP", "UTF-8");
    Entry entry;
    if (!ParseEntry(line, entry)) continue;
    if (header) {
      harvest.sourceHeader = MeaningOfGlosses(entry.glosses);
      continue;
    }
    harvest.yojiEntries += 1;
    if (!Keeps(entry)) continue;
    const std::string meaning = MeaningOfGlosses(entry.glosses);
    if (meaning.empty() || !platform::Utf8ToCp932(meaning)) continue;
    harvest.idioms.push_back({std::string(entry.headword), meaning, std::string(entry.reading)});
  }
  return harvest;
}

std::string PackText(const Harvest& harvest) {
  const std::array<std::string, kHeaderLines> header{
      "ことぶね idiom pack: four-character idioms (四字熟語) with their meanings in English.",
      "Made from EDICT, the Japanese-English dictionary file of the Electronic Dictionary",
      "Research and Development Group (EDRDG), as the Debian package edict ships it:",
      harvest.sourceHeader,
      "This pack is licensed under the Creative Commons Attribution-ShareAlike 3.0 licence",
      "(CC BY-SA 3.0, https://creativecommons.org/licenses/by-sa/3.0/), as the dictionary is",
      "(https://www.edrdg.org/edrdg/licence.html), separately from the game's code (MIT).",
      "Changes: only the entries marked as four-character idioms whose headword is four kanji,",
      "without their grammar and usage tags, their glosses joined with \"; \".",
      "",
      "After these fifteen lines, each idiom takes three lines: the idiom, its meaning, its reading.",
  };
  std::string text;
  for (const std::string& line : header) text += line + "\r\n";
  for (const PackIdiom& idiom : harvest.idioms) text += idiom.idiom + "\r\n" + idiom.meaning + "\r\n" + idiom.reading + "\r\n";
  return text;
}

}  // namespace packmaker
