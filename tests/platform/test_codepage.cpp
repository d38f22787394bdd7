#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/codepage.h"

using platform::Cp932ToUtf16;
using platform::Cp932ToUtf8;
using platform::Utf16ToCp932;
using platform::Utf8ToCp932;
using platform::Utf8ToCp932Lossy;

namespace {

struct Sample {
  std::string_view sjis;
  std::u16string_view utf16;
  std::string_view utf8;
};

// 0x5C and 0x7E stay backslash and tilde; 0x83 0x5C ("ソ") carries a backslash as its
// second byte; 0xB1 is a one-byte half-width katakana.
constexpr Sample kSamples[] = {
    {"", u"", ""},
    {"C:\\data\\~x", u"C:\\data\\~x", "C:\\data\\~x"},
    {"\x82\xa0\x82\xa2", u"あい", "あい"},
    {"\x8a\xbf\x8e\x9a", u"漢字", "漢字"},
    {"\xb1\xb2", u"ｱｲ", "ｱｲ"},
    {"\x83\x5c\x83\x74\x83\x67", u"ソフト", "ソフト"},
    {"\x81\x5b", u"ー", "ー"},
    {"\x87\x40", u"①", "①"},
};

}  // namespace

TEST(Cp932, RoundTripsThroughUtf16AndUtf8) {
  for (const Sample& s : kSamples) {
    SCOPED_TRACE(std::string(s.utf8));
    EXPECT_EQ(Cp932ToUtf16(s.sjis), s.utf16);
    EXPECT_EQ(Utf16ToCp932(s.utf16), s.sjis);
    EXPECT_EQ(Cp932ToUtf8(s.sjis), s.utf8);
    EXPECT_EQ(Utf8ToCp932(s.utf8), std::optional<std::string>(s.sjis));
  }
}

TEST(Cp932, LongTextSurvivesConversionInChunks) {
  std::string sjis;
  for (int i = 0; i < 5000; ++i) sjis += "\x82\xa0" "a";
  const std::u16string text = Cp932ToUtf16(sjis);
  ASSERT_EQ(text.size(), 10000u);
  EXPECT_EQ(text.substr(9998), u"あa");
  EXPECT_EQ(Utf16ToCp932(text), sjis);
  EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8(sjis)), std::optional<std::string>(sjis));
}

TEST(Cp932, InvalidBytesBecomeMiddleDots) {
  EXPECT_EQ(Cp932ToUtf16("a\x80" "b"), u"a・b");
  EXPECT_EQ(Cp932ToUtf16("\xfd\xfe\xff"), u"・・・");
  // An unassigned pair is one character.
  EXPECT_EQ(Cp932ToUtf16("a\x85\x40" "b"), u"a・b");
  // A lead byte with an impossible trail loses only itself.
  EXPECT_EQ(Cp932ToUtf16("\x81 x"), u"・ x");
  // A string cut after a lead byte.
  EXPECT_EQ(Cp932ToUtf16("ab\x82"), u"ab・");
  EXPECT_EQ(Cp932ToUtf8("ab\x82"), "ab・");
}

TEST(Cp932, CharactersWithoutCp932FormBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToCp932(u"aéb"), "a?b");
  EXPECT_EQ(Utf16ToCp932(u"a😀b"), "a?b");  // one mark for the whole surrogate pair
  const char16_t loneSurrogate[] = {u'x', 0xD800, u'y', 0};
  EXPECT_EQ(Utf16ToCp932(loneSurrogate), "x?y");
  EXPECT_EQ(Utf8ToCp932Lossy("aé😀\xff" "あ"), "a???\x82\xa0");
  EXPECT_EQ(Utf8ToCp932Lossy("\xe3\x81"), "??");
}

TEST(Cp932, NamesWithoutCp932FormHaveNoCp932Name) {
  EXPECT_EQ(Utf8ToCp932("café.mp3"), std::nullopt);
  EXPECT_EQ(Utf8ToCp932("bad\xff"), std::nullopt);
  EXPECT_EQ(Utf8ToCp932("\xe3\x81"), std::nullopt);  // cut inside a character
}

TEST(Cp932, ThreadsConvertIndependently) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        const bool ok = (t % 2 == 0) ? Cp932ToUtf16("\x8a\xbf\x80") == u"漢・"
                                     : Utf16ToCp932(u"漢é") == "\x8a\xbf?";
        if (!ok) ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

// Shift-JIS text of the same bytes must not pass for UTF-8: only well-formed sequences count.
TEST(UserText, OnlyWellFormedMultiByteUtf8IsReadAsUtf8) {
  const struct {
    std::string_view bytes;
    bool utf8;
  } cases[] = {
      {"plain", false},                      // ASCII: Shift-JIS, as the game writes
      {"\x82\xa0\x82\xa2", false},           // あい in Shift-JIS
      {"あい", true},
      {"\xe0\xa0\x80", true},                // U+0800, the first three-byte character
      {"\xe0\x80\x80", false},               // overlong three-byte forms
      {"\xe0\x9f\xbf", false},
      {"\xc0\xaf", false},                   // overlong two-byte form of '/'
      {"\xed\xa0\x80", false},               // a surrogate
      {"\xf0\x8f\xbf\xbf", false},           // overlong four-byte form
      {"\xf4\x90\x80\x80", false},           // past U+10FFFF
      {"\xe3\x81", false},                   // cut short
      {"\xef\xbb\xbf" "plain", true},        // the byte-order mark decides
  };
  for (const auto& c : cases) {
    const platform::UserText text = platform::ClassifyUserText(c.bytes);
    EXPECT_EQ(text.utf8, c.utf8) << testing::PrintToString(std::string(c.bytes));
  }
}
