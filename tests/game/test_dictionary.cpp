#include <algorithm>
#include <filesystem>
#include <set>

#include "game_fixture.h"
#include "platform/codepage.h"

namespace {

constexpr int kUserBase = kBuiltinIdiomCount;

template <class Flags>
int TrueCount(const Flags& flags) {
  return static_cast<int>(std::count(flags.begin(), flags.end(), true));
}

bool IsHiragana(char16_t c) { return c >= u'ぁ' && c <= u'ゖ'; }

std::u16string Repeat(char16_t c, std::size_t n) { return std::u16string(n, c); }

class DictionaryTest : public GameTest {
 protected:
  TForm1& StartWithSeed(std::uint32_t seed) {
    headless::SetClockSeed(seed);
    TForm1& game = Start();
    game.BuildBuiltinTable();
    game.LoadUserIdioms();
    return game;
  }

  void WriteUserFileBytes(std::string_view bytes) const { folder.Write("data/追加問題.txt", bytes); }

  // A pack as the pack maker writes it: UTF-8, fifteen header lines, then groups of three.
  void WritePack(const std::string& name, const std::vector<std::u16string>& lines) const {
    std::filesystem::create_directories(folder.Native("data/packs"));
    std::string bytes;
    for (int i = 0; i < 15; ++i) bytes += "header\r\n";
    for (const auto& line : lines) bytes += platform::Cp932ToUtf8(Sjis(line)) + "\r\n";
    folder.Write("data/packs/" + name + ".txt", bytes);
  }

  void WriteDictionarySettings(const std::string& keys) const { folder.Write("data/settei.ini", "[Dictionary]\r\n" + keys); }

  // Start-up as the program makes it, packs included; what it said on standard error.
  std::string StartWithPacks(std::uint32_t seed) {
    headless::SetClockSeed(seed);
    ::testing::internal::CaptureStderr();
    Start();
    return ::testing::internal::GetCapturedStderr();
  }

  // Fifteen header lines, then the given lines, each ended by `eol`.
  void WriteUserFile(const std::vector<std::u16string>& lines, std::string_view eol = "\r\n") const {
    std::string bytes;
    for (int i = 0; i < 15; ++i) bytes += Sjis(u"説明の行") + std::string(eol);
    for (const auto& line : lines) bytes += Sjis(line) + std::string(eol);
    WriteUserFileBytes(bytes);
  }

  static void ExpectUserIdioms(const TForm1& game, const std::vector<std::u16string>& idioms) {
    EXPECT_EQ(game.extraCount, static_cast<int>(idioms.size()));
    EXPECT_EQ(game.extraIdiom, idioms);
    EXPECT_EQ(game.extraMeaning.size(), idioms.size());
    EXPECT_EQ(game.extraReading.size(), idioms.size());
    EXPECT_EQ(game.extraUsed, std::vector<bool>(idioms.size(), false));
    EXPECT_EQ(game.extraUsedCount, 0);
  }

  // Leaves exactly the given built-in idioms unasked.
  static void LeaveUnasked(TForm1& game, std::initializer_list<int> unasked) {
    game.builtinUsed.fill(true);
    for (int index : unasked) game.builtinUsed[index] = false;
    game.builtinUsedCount = kBuiltinIdiomCount - static_cast<int>(unasked.size());
  }

  static void ExpectConsistentRound(const TForm1& game) {
    ASSERT_NE(game.questionIndex[0], game.questionIndex[1]);
    for (int q = 0; q < 2; ++q) EXPECT_EQ(game.question[q], game.IdiomOf(game.questionIndex[q]));
    const std::u16string s = game.question[0] + game.question[1];
    std::set<int> positions(game.ballCharPos.begin(), game.ballCharPos.end());
    EXPECT_EQ(positions, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(game.ballChar[i], s.substr(game.ballCharPos[i], 1)) << "ball " << i;
    EXPECT_EQ(game.builtinUsedCount, TrueCount(game.builtinUsed));
    EXPECT_EQ(game.extraUsedCount, TrueCount(game.extraUsed));
  }
};

}  // namespace

using IdiomTable = DictionaryTest;

TEST_F(IdiomTable, EveryRowIsAFourCharacterIdiomWithAHiraganaReadingAndAOneLineMeaning) {
  TForm1& game = StartWithSeed(1);
  std::set<std::u16string> distinct;
  for (int i = 0; i < kBuiltinIdiomCount; ++i) {
    SCOPED_TRACE(i);
    const auto& idiom = game.idiomText[i];
    const auto& reading = game.idiomReading[i];
    const auto& meaning = game.idiomMeaning[i];
    EXPECT_EQ(idiom.size(), 4u);
    EXPECT_TRUE(distinct.insert(idiom).second);
    EXPECT_GE(reading.size(), 5u);
    EXPECT_LE(reading.size(), 10u);
    EXPECT_TRUE(std::all_of(reading.begin(), reading.end(), IsHiragana));
    EXPECT_GE(meaning.size(), 7u);
    EXPECT_LE(meaning.size(), 38u);
    EXPECT_EQ(meaning.find_first_of(u"\r\n"), std::u16string::npos);
    // The writers take Shift-JIS: a character outside it would show as '?'.
    for (const auto* text : {&idiom, &reading, &meaning})
      EXPECT_EQ(platform::Cp932ToUtf16(Sjis(*text)), *text);
  }
}

TEST_F(IdiomTable, KnownRowsStandAtTheirIndices) {
  TForm1& game = StartWithSeed(1);
  EXPECT_EQ(game.idiomText[0], u"挙措進退");
  EXPECT_EQ(game.idiomReading[0], u"きょそしんたい");
  EXPECT_EQ(game.idiomMeaning[0], u"日常のちょっとした動作、身のこなし");
  EXPECT_EQ(game.idiomText[7], u"同床異夢");
  EXPECT_EQ(game.idiomReading[7], u"どうしょういむ");
  EXPECT_EQ(game.idiomMeaning[7], u"同じ仲間や同じ仕事をしている者でも、考え方や目的などが異なることのたとえ");
  EXPECT_EQ(game.idiomText[99], u"焼肉定食");
  EXPECT_EQ(game.idiomText[168], u"不倶戴天");
  EXPECT_EQ(game.idiomText[169], u"晴耕雨読");
  EXPECT_EQ(game.idiomReading[169], u"せいこううどく");
  EXPECT_EQ(game.idiomMeaning[169], u"悠々自適の生活");
}

// Saved games store row numbers: a row that moves or changes changes what a saved game asks.
TEST_F(IdiomTable, AllRowsArePinnedByOneDigest) {
  TForm1& game = StartWithSeed(1);
  std::uint64_t digest = 14695981039346656037u;  // 64-bit FNV-1a over every row's three texts
  const auto add = [&](const std::u16string& text) {
    for (const char16_t unit : text + u'\u0001') {
      digest = (digest ^ static_cast<std::uint64_t>(unit)) * 1099511628211u;
    }
  };
  for (int i = 0; i < kBuiltinIdiomCount; ++i) {
    add(game.idiomText[i]);
    add(game.idiomReading[i]);
    add(game.idiomMeaning[i]);
  }
  EXPECT_EQ(digest, 13180177865978598211u) << "The built-in idiom table changed (digest " << digest
                        << "). Update the digest only when the table is changed on purpose.";
}

using IdiomUserFile = DictionaryTest;

TEST_F(IdiomUserFile, MissingOrShortFileAddsNothing) {
  EXPECT_EQ(StartWithSeed(1).extraCount, 0);
  WriteUserFile({u"温故知新", u"意味"});  // 17 lines
  TForm1& game = *form;
  game.LoadUserIdioms();
  ExpectUserIdioms(game, {});
}

TEST_F(IdiomUserFile, EighteenLinesMakeOneIdiomAndTrailingPartialGroupsAreIgnored) {
  WriteUserFile({u"一期一会", u"一生に一度の機会", u"いちごいちえ"});
  TForm1& game = StartWithSeed(1);
  ExpectUserIdioms(game, {u"一期一会"});
  EXPECT_EQ(game.extraMeaning[0], u"一生に一度の機会");
  EXPECT_EQ(game.extraReading[0], u"いちごいちえ");

  WriteUserFile({u"一期一会", u"意味", u"よみ", u"以心伝心", u"意味", u"よみ", u"日進月歩"});
  game.LoadUserIdioms();
  ExpectUserIdioms(game, {u"一期一会", u"以心伝心"});
  WriteUserFile({u"一期一会", u"意味", u"よみ", u"日進月歩", u"意味"});
  game.LoadUserIdioms();
  ExpectUserIdioms(game, {u"一期一会"});
}

TEST_F(IdiomUserFile, InvalidGroupsAreSkippedAndTheRestKeepFileOrder) {
  WriteUserFile({
      u"三字熟", u"意味", u"よみ",          // three characters
      u"五文字熟語", u"意味", u"よみ",      // five characters
      u"一日千秋", u"", u"よみ",            // empty meaning
      u"一騎当千", u"　", u"よみ",          // full-width space meaning
      u"一刀両断", u"意味", u" ",           // half-width space reading
      u"日進月歩", u"意味", u"　",          // full-width space reading
      u"起死回生", u"  ", u" きしかいせい ",  // two spaces and padded text are kept as they are
      u"天衣無縫", u"　意味　", u"てんいむほう",
  });
  TForm1& game = StartWithSeed(1);
  ExpectUserIdioms(game, {u"起死回生", u"天衣無縫"});
  EXPECT_EQ(game.extraMeaning[0], u"  ");
  EXPECT_EQ(game.extraReading[0], u" きしかいせい ");
  EXPECT_EQ(game.extraMeaning[1], u"　意味　");
}

TEST_F(IdiomUserFile, AnyLineEndEndsALine) {
  std::string bytes;
  for (int i = 0; i < 15; ++i) bytes += i % 3 == 0 ? "head\r\n" : i % 3 == 1 ? "head\n" : "head\r";
  bytes += Sjis(u"一期一会\r\n一生に一度\rいちごいちえ\n");
  bytes += Sjis(u"以心伝心\n心が通じる\r\nいしんでんしん");  // the last line has no end at all
  WriteUserFileBytes(bytes);
  TForm1& game = StartWithSeed(1);
  ExpectUserIdioms(game, {u"一期一会", u"以心伝心"});
  EXPECT_EQ(game.extraMeaning, (std::vector<std::u16string>{u"一生に一度", u"心が通じる"}));
  EXPECT_EQ(game.extraReading, (std::vector<std::u16string>{u"いちごいちえ", u"いしんでんしん"}));
}

TEST_F(IdiomUserFile, FileWithUtf8ByteOrderMarkIsReadAsUtf8) {
  std::string bytes = "\xEF\xBB\xBF";
  for (int i = 0; i < 15; ++i) bytes += "説明\r\n";
  bytes += "一期一会\r\n一生に一度\r\nいちごいちえ\r\n";
  WriteUserFileBytes(bytes);
  TForm1& game = StartWithSeed(1);
  ExpectUserIdioms(game, {u"一期一会"});
  EXPECT_EQ(game.extraReading[0], u"いちごいちえ");
}

// A Linux editor writes UTF-8 without the mark; the same idioms must come out either way.
TEST_F(IdiomUserFile, Utf8WithoutTheMarkAndShiftJisGiveTheSameIdiomsAndTheCountLine) {
  const std::vector<std::u16string> lines{u"一期一会", u"一生に一度の機会", u"いちごいちえ", u"三字熟",
                                          u"意味",     u"よみ",             u"以心伝心",     u"心が通じる",
                                          u"いしんでんしん", u"日進月歩", u"",              u"よみ"};
  WriteUserFile(lines);
  ::testing::internal::CaptureStderr();
  TForm1& game = StartWithSeed(1);
  const std::string shiftJisReport = ::testing::internal::GetCapturedStderr();
  const auto idioms = game.extraIdiom;
  const auto meanings = game.extraMeaning;
  const auto readings = game.extraReading;
  ExpectUserIdioms(game, {u"一期一会", u"以心伝心"});

  std::string utf8;
  for (int i = 0; i < 15; ++i) utf8 += "説明の行\n";
  for (const auto& line : lines) utf8 += platform::Cp932ToUtf8(Sjis(line)) + "\n";
  WriteUserFileBytes(utf8);
  ::testing::internal::CaptureStderr();
  game.LoadUserIdioms();
  const std::string utf8Report = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(game.extraIdiom, idioms);
  EXPECT_EQ(game.extraMeaning, meanings);
  EXPECT_EQ(game.extraReading, readings);

  const std::string counts =
      ": 2 user idioms read, 2 groups skipped (line 19: the idiom is not four characters; line 25: the "
      "meaning or reading is blank)\n";
  EXPECT_NE(shiftJisReport.find("追加問題.txt (Shift-JIS)" + counts), std::string::npos) << shiftJisReport;
  EXPECT_NE(utf8Report.find("追加問題.txt (UTF-8)" + counts), std::string::npos) << utf8Report;
  EXPECT_EQ(std::count(utf8Report.begin(), utf8Report.end(), '\n'), 1) << "one line";
}

// Shift-JIS bytes that happen to form a few valid UTF-8 sequences, or broken UTF-8, stay Shift-JIS.
TEST_F(IdiomUserFile, OnlyWholeValidUtf8IsReadAsUtf8) {
  for (const std::string& odd : {std::string("\xE3\x81"), std::string("\xC0\xAF"), std::string("\xED\xA0\x80")}) {
    std::string bytes;
    for (int i = 0; i < 15; ++i) bytes += "head\n";
    bytes += "一期一会\n意味" + odd + "\nよみ\n";  // UTF-8, but for one broken sequence
    WriteUserFileBytes(bytes);
    TForm1& game = Start();
    EXPECT_EQ(game.extraCount, 0) << "read as Shift-JIS, the idiom is not four characters";
    application.reset();
  }
  std::filesystem::remove(folder.Native("data/追加問題.txt"));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(StartWithSeed(1).extraCount, 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr().find("user idioms"), std::string::npos)
      << "no file, no report";
}

using IdiomRound = DictionaryTest;

TEST_F(IdiomRound, DealsTheTwoIdiomsAsAPermutationAndMarksThemAsked) {
  TForm1& game = StartWithSeed(1);
  std::set<std::vector<int>> deals;
  for (int round = 1; round <= 10; ++round) {
    SCOPED_TRACE(round);
    game.NewRound();
    ExpectConsistentRound(game);
    EXPECT_EQ(game.builtinUsedCount, 2 * round);
    for (int q = 0; q < 2; ++q) EXPECT_TRUE(game.builtinUsed[game.questionIndex[q]]);
    deals.emplace(game.ballCharPos.begin(), game.ballCharPos.end());
  }
  EXPECT_GT(deals.size(), 1u);  // the order is shuffled, not fixed
}

TEST_F(IdiomRound, RepeatedCharactersRideOnSeparateBalls) {
  TForm1& game = StartWithSeed(5);
  LeaveUnasked(game, {5, 75});  // 一心不乱, 一心同体
  game.NewRound();
  ExpectConsistentRound(game);
  EXPECT_EQ((std::set<int>{game.questionIndex[0], game.questionIndex[1]}), (std::set<int>{5, 75}));
  EXPECT_EQ(std::count(game.ballChar.begin(), game.ballChar.end(), u"一"), 2);
  EXPECT_EQ(std::count(game.ballChar.begin(), game.ballChar.end(), u"心"), 2);
  EXPECT_EQ(game.builtinUsedCount, kBuiltinIdiomCount);
}

TEST_F(IdiomRound, CycleRestartsWhenFewerThanTwoIdiomsRemain) {
  WriteUserFile({u"一期一会", u"意味", u"よみ"});
  TForm1& game = StartWithSeed(3);
  LeaveUnasked(game, {42});
  game.extraUsed[0] = true;
  game.extraUsedCount = 1;
  game.NewRound();
  ExpectConsistentRound(game);
  EXPECT_EQ(game.builtinUsedCount + game.extraUsedCount, 2);
}

TEST_F(IdiomRound, EveryIdiomIsAskedOnceBeforeTheCycleRestarts) {
  WriteUserFile({u"一期一会", u"意味", u"よみ", u"以心伝心", u"意味", u"よみ"});
  TForm1& game = StartWithSeed(9);
  std::set<int> asked;
  for (int round = 0; round < 86; ++round) {
    game.NewRound();
    asked.insert(game.questionIndex.begin(), game.questionIndex.end());
  }
  EXPECT_EQ(asked.size(), 172u);
  EXPECT_EQ(*asked.rbegin(), kUserBase + 1);
  game.NewRound();
  ExpectConsistentRound(game);
  EXPECT_EQ(game.builtinUsedCount + game.extraUsedCount, 2);
}

TEST_F(IdiomRound, OddTotalRestartsWithOneIdiomStillUnasked) {
  WriteUserFile({u"一期一会", u"意味", u"よみ"});
  TForm1& game = StartWithSeed(4);
  for (int round = 0; round < 85; ++round) game.NewRound();
  EXPECT_EQ(game.builtinUsedCount + game.extraUsedCount, 170);
  game.NewRound();
  EXPECT_EQ(game.builtinUsedCount + game.extraUsedCount, 2);
  ExpectConsistentRound(game);
}

using IdiomMeaning = DictionaryTest;

TEST_F(IdiomMeaning, LongMeaningFillsThreeLinesAndShortOneLine) {
  TForm1& game = StartWithSeed(1);
  game.questionIndex = {7, 169};
  game.SplitMeanings();
  EXPECT_EQ(game.meaningLine[0], u"同じ仲間や同じ仕事をしてい");
  EXPECT_EQ(game.meaningLine[1], u"る者でも、考え方や目的など");
  EXPECT_EQ(game.meaningLine[2], u"が異なることのたとえ");
  EXPECT_EQ(game.meaningLine[3], u"悠々自適の生活");
  EXPECT_EQ(game.meaningLine[4], u"");
  EXPECT_EQ(game.meaningLine[5], u"");
}

TEST_F(IdiomMeaning, LinesBreakAfterThirteenAndTwentySixCharacters) {
  const std::vector<std::size_t> lengths{13, 14, 26, 27, 45};
  std::vector<std::u16string> file;
  for (std::size_t length : lengths) {
    file.insert(file.end(), {Repeat(u'字', 3) + char16_t(u'ぁ' + length), Repeat(u'あ', length), u"よみ"});
  }
  WriteUserFile(file);
  TForm1& game = StartWithSeed(1);
  ASSERT_EQ(game.extraCount, 5);
  const std::vector<std::array<std::size_t, 3>> expected{
      {13, 0, 0}, {13, 1, 0}, {13, 13, 0}, {13, 13, 1}, {13, 13, 19}};
  for (std::size_t k = 0; k < lengths.size(); ++k) {
    SCOPED_TRACE(lengths[k]);
    game.questionIndex = {kUserBase + static_cast<int>(k), 0};
    game.SplitMeanings();
    for (int line = 0; line < 3; ++line) EXPECT_EQ(game.meaningLine[line].size(), expected[k][line]);
    EXPECT_EQ(game.meaningLine[3], u"日常のちょっとした動作、身");
  }
}

// Latin letters wrap at words into lines as wide as 13 full-width characters are drawn;
// anything else is cut every 13 characters as before.
TEST_F(IdiomMeaning, EnglishWrapsAtWordsAndIsCutAtItsLastFittingSenseOrWithAnEllipsis) {
  const std::u16string longGloss =
      u"the quick brown fox jumps over the lazy dog and runs far away into the deeper dark woods";
  const std::vector<std::pair<std::u16string, std::array<std::u16string, 3>>> cases{
      {Repeat(u'字', 13), {Repeat(u'字', 13), u"", u""}},  // as wide as a line gets
      {u"a bird in the hand", {u"a bird in the hand", u"", u""}},
      {u"abcde fghij klmno pqrst uv", {u"abcde fghij klmno pqrst", u"uv", u""}},
      {u"everything has its season and its reason", {u"everything has its season", u"and its reason", u""}},
      {u"supercalifragilisticexpialidocious", {u"supercalifragilisticexpiali", u"docious", u""}},
      {u"telepathy; tacit understanding; thought transference; communion of mind with mind",
       {u"telepathy; tacit", u"understanding; thought", u"transference"}},
      {longGloss + u"; and back", {u"the quick brown fox", u"jumps over the lazy dog", u"and runs far away into..."}},
      {u"英語 and Japanese mixed", {u"英語 and Japane", u"se mixed", u""}},
  };
  std::vector<std::u16string> file;
  for (std::size_t k = 0; k < cases.size(); ++k) {
    file.insert(file.end(), {Repeat(u'字', 3) + char16_t(u'ぁ' + k), cases[k].first, u"よみ"});
  }
  WriteUserFile(file);
  TForm1& game = StartWithSeed(1);
  ASSERT_EQ(game.extraCount, static_cast<int>(cases.size()));
  game.questionIndex = {kUserBase, 169};
  game.SplitMeanings();
  const UINT widest = game.texMeaningLine[0]->Width();
  for (std::size_t k = 0; k < cases.size(); ++k) {
    SCOPED_TRACE(platform::Cp932ToUtf8(Sjis(cases[k].first)));
    game.questionIndex = {kUserBase + static_cast<int>(k), 169};
    game.SplitMeanings();
    for (int line = 0; line < 3; ++line) {
      EXPECT_EQ(platform::Cp932ToUtf8(Sjis(game.meaningLine[line])), platform::Cp932ToUtf8(Sjis(cases[k].second[line])));
      if (!game.meaningLine[line].empty()) {
        EXPECT_LE(game.texMeaningLine[line]->Width(), widest) << line;
      }
    }
    EXPECT_EQ(game.meaningLine[3], u"悠々自適の生活");
  }
}

// The meanings are ours, written for the game's 13-character lines: split where the game
// splits them, every line must read as the start of a line.
TEST_F(IdiomMeaning, EveryBuiltInMeaningBreaksWellIntoItsLines) {
  // Punctuation, closing brackets, small kana and the long mark never open a line.
  const std::u16string neverFirst = u"、。，．・ー）」』ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮ";
  TForm1& game = StartWithSeed(1);
  for (int i = 0; i < kBuiltinIdiomCount; ++i) {
    SCOPED_TRACE(i);
    game.questionIndex = {i, i == 0 ? 1 : 0};
    game.SplitMeanings();
    int used = 0;
    for (int line = 0; line < 3; ++line) {
      const std::u16string& text = game.meaningLine[line];
      if (text.empty()) break;
      ++used;
      EXPECT_EQ(neverFirst.find(text.front()), std::u16string::npos) << "line " << line << " opens with a mark";
    }
    ASSERT_GT(used, 0);
    EXPECT_GT(game.meaningLine[used - 1].size(), 1u) << "a last line of a single character";
    EXPECT_EQ(game.meaningLine[0] + game.meaningLine[1] + game.meaningLine[2], game.idiomMeaning[i])
        << "the meaning does not fit three lines";
  }
}

using IdiomResume = DictionaryTest;

TEST_F(IdiomResume, SavedIdiomStillInTheListIsMarkedAskedThere) {
  WriteUserFile({u"一期一会", u"意味一", u"よみいち", u"以心伝心", u"意味二", u"よみに"});
  TForm1& game = StartWithSeed(1);
  EXPECT_EQ(game.AdoptSavedIdiom(1, u"以心伝心", u"古い意味", u"ふるいよみ"), kUserBase + 1);
  EXPECT_EQ(game.question[1], u"以心伝心");
  EXPECT_EQ(game.questionIndex[1], kUserBase + 1);
  EXPECT_EQ(game.extraCount, 2);
  EXPECT_EQ(game.extraMeaning[1], u"意味二");
  EXPECT_EQ(game.extraUsed, (std::vector<bool>{false, true}));
  EXPECT_EQ(game.extraUsedCount, 1);
}

TEST_F(IdiomResume, SavedIdiomGoneFromTheListIsAppendedAndMarkedAsked) {
  WriteUserFile({u"一期一会", u"意味一", u"よみいち"});
  TForm1& game = StartWithSeed(1);
  EXPECT_EQ(game.AdoptSavedIdiom(0, u"日進月歩", u"絶えず進歩すること", u"にっしんげっぽ"), kUserBase + 1);
  EXPECT_EQ(game.question[0], u"日進月歩");
  EXPECT_EQ(game.extraCount, 2);
  EXPECT_EQ(game.extraIdiom[1], u"日進月歩");
  EXPECT_EQ(game.MeaningOf(kUserBase + 1), u"絶えず進歩すること");
  EXPECT_EQ(game.ReadingOf(kUserBase + 1), u"にっしんげっぽ");
  EXPECT_EQ(game.extraUsed, (std::vector<bool>{false, true}));
  EXPECT_EQ(game.extraUsedCount, 1);
}

// Both questions fall back to the same placeholder when the saved idiom file is lost.
TEST_F(IdiomResume, SameIdiomForBothQuestionsIsCountedOnce) {
  TForm1& game = StartWithSeed(1);
  EXPECT_EQ(game.AdoptSavedIdiom(0, u"ことぶね", u"このゲーム", u"ことぶね"), kUserBase);
  EXPECT_EQ(game.AdoptSavedIdiom(1, u"ことぶね", u"このゲーム", u"ことぶね"), kUserBase);
  EXPECT_EQ(game.extraCount, 1);
  EXPECT_EQ(game.extraUsedCount, 1);
  game.NewRound();
  ExpectConsistentRound(game);
}

TEST_F(IdiomResume, ShortSavedIdiomLeavesItsBallsBlankInsteadOfFailing) {
  TForm1& game = StartWithSeed(2);
  game.AdoptSavedIdiom(0, u"短い", u"手で書き換えた", u"みじかい");
  LeaveUnasked(game, {10});  // with the short user idiom, the last two
  game.extraUsed[0] = false;
  game.extraUsedCount = 0;
  game.NewRound();
  EXPECT_EQ((std::set<int>{game.questionIndex[0], game.questionIndex[1]}), (std::set<int>{10, kUserBase}));
  EXPECT_EQ(std::count(game.ballChar.begin(), game.ballChar.end(), u""), 2);
}

using IdiomPack = DictionaryTest;

TEST_F(IdiomPack, PacksJoinTheUserIdiomsAndBuiltinZeroAsksOnlyThem) {
  WriteUserFile({u"一期一会", u"一生に一度の機会", u"いちごいちえ"});
  WritePack("edict-en", {u"花鳥風月", u"beauties of nature", u"かちょうふうげつ", u"時々刻々", u"hour by hour",
                         u"じじこっこく"});
  WriteDictionarySettings("Pack = edict-en, ../secret, missing\r\nBuiltin=0\r\n");
  const std::string report = StartWithPacks(7);
  EXPECT_NE(report.find("edict-en.txt (UTF-8): 2 pack idioms read, 0 groups skipped"), std::string::npos) << report;
  EXPECT_NE(report.find("\"../secret\" is no pack name"), std::string::npos) << report;
  EXPECT_NE(report.find("missing.txt: the idiom pack named in settei.ini cannot be read"), std::string::npos);
  TForm1& game = *form;
  EXPECT_EQ(game.extraIdiom, (std::vector<std::u16string>{u"一期一会", u"花鳥風月", u"時々刻々"}));
  EXPECT_FALSE(game.builtinsAsked);
  std::set<int> asked;
  for (int round = 0; round < 6; ++round) {
    game.NewRound();
    ExpectConsistentRound(game);
    asked.insert(game.questionIndex.begin(), game.questionIndex.end());
  }
  EXPECT_EQ(asked, (std::set<int>{kUserBase, kUserBase + 1, kUserBase + 2}));
  EXPECT_EQ(game.builtinUsedCount, 0);
}

TEST_F(IdiomPack, BuiltinZeroWithFewerThanTwoOtherIdiomsStillAsksTheBuiltIns) {
  WritePack("edict-en", {u"花鳥風月", u"beauties of nature", u"かちょうふうげつ"});
  WriteDictionarySettings("Pack=edict-en\r\nBuiltin=0\r\n");
  EXPECT_NE(StartWithPacks(1).find("the built-in idioms are asked too"), std::string::npos);
  EXPECT_TRUE(form->builtinsAsked);
}

TEST_F(IdiomPack, EnglishHintsReplaceBuiltInMeaningsOfTheSameIdiomAndReadingOnly) {
  WritePack("edict-en", {u"挙措進退", u"bearing; deportment", u"きょそしんたい", u"晴耕雨読", u"a quiet life",
                         u"はれたらたがやす"});
  WriteDictionarySettings("Hints=en\r\n");
  StartWithPacks(1);
  TForm1& game = *form;
  EXPECT_EQ(game.extraCount, 0) << "hints alone add no questions";
  game.questionIndex = {0, 169};
  game.SplitMeanings();
  EXPECT_EQ(game.meaningLine[0], u"bearing; deportment");
  EXPECT_EQ(game.meaningLine[3], u"悠々自適の生活");
  EXPECT_EQ(game.MeaningOf(0), u"日常のちょっとした動作、身のこなし") << "the table itself is kept";
}
