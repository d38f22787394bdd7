#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ini.h"
#include "support/temp_folder.h"

namespace {

// "曲" and "名前" in Shift-JIS; "ア" and "ッ" differ only in a second byte that is an
// ASCII letter in upper and lower case.
constexpr std::string_view kKyokuSjis = "\x8b\xc8";
constexpr std::string_view kNamaeSjis = "\x96\xbc\x91\x4f";
constexpr std::string_view kASjis = "\x83\x41";
constexpr std::string_view kTsuSjis = "\x83\x61";

std::string WithLineEnds(std::string_view lfText, std::string_view ending) {
  std::string result;
  for (const char c : lfText) {
    if (c == '\n') result += ending;
    else result += c;
  }
  return result;
}

class IniTest : public ::testing::Test {
 protected:
  std::string Get(std::string_view section, std::string_view key, std::string_view def = "DEF") const {
    return GetPrivateProfileStringA(section, key, def, File());
  }
  int GetInt(std::string_view section, std::string_view key, int def = 77) const {
    return static_cast<int>(GetPrivateProfileIntA(section, key, def, File()));
  }
  BOOL Write(std::string_view section, std::string_view key, std::optional<std::string_view> value) const {
    return WritePrivateProfileStringA(section, key, value, File());
  }
  std::string File() const { return dir_.Game("settei.ini"); }
  void SetFile(std::string_view content) const { dir_.Write("settei.ini", content); }
  std::string FileText() const { return dir_.Read("settei.ini"); }
  bool FileCreated() const { return std::filesystem::exists(dir_.Native("settei.ini")); }

  TempFolder dir_;
};

constexpr std::string_view kSettings =
    "; music settings\n"
    "orphan=before any section\n"
    "[BGM]\n"
    "Settei=2\n"
    "  MusicFolda  =  C:\\music\\  \n"
    "\tQuoted = \"  padded  \"\n"
    "Single='x'\n"
    "Half=\"open\n"
    "no equals sign here\n"
    ";Commented=1\n"
    "settei=9\n"
    "Empty=\n"
    "[ Font ]\n"
    "Name=IPAPGothic\n";

}  // namespace

TEST_F(IniTest, ReadsWithWindowsRulesFromLfAndCrlfFiles) {
  for (const std::string_view ending : {"\n", "\r\n"}) {
    SCOPED_TRACE(ending.size());
    SetFile(WithLineEnds(kSettings, ending));
    EXPECT_EQ(Get("BGM", "Settei"), "2");
    EXPECT_EQ(Get("bgm", "SETTEI"), "2");  // case-insensitive; the first of duplicates wins
    EXPECT_EQ(Get("BGM", "MusicFolda"), "C:\\music\\");
    EXPECT_EQ(Get("BGM", "Quoted"), "  padded  ");
    EXPECT_EQ(Get("BGM", "Single"), "x");
    EXPECT_EQ(Get("BGM", "Half"), "\"open");
    EXPECT_EQ(Get("BGM", "Empty"), "");
    EXPECT_EQ(Get("BGM", "Commented"), "DEF");
    EXPECT_EQ(Get("BGM", "no equals sign here"), "DEF");
    EXPECT_EQ(Get("BGM", "Name"), "DEF");  // belongs to the next section
    EXPECT_EQ(Get("font", "name"), "IPAPGothic");
    EXPECT_EQ(Get("BGM", "orphan"), "DEF");
    EXPECT_EQ(Get("Missing", "Settei"), "DEF");
  }
}

TEST_F(IniTest, MissingFileGivesTheDefaultWithoutTrailingBlanks) {
  EXPECT_EQ(Get("BGM", "MusicName", "C:\\data\\tamsu01.mp3  "), "C:\\data\\tamsu01.mp3");
  EXPECT_EQ(Get("BGM", "MusicName", "   "), "");
  EXPECT_EQ(GetInt("BGM", "Settei", 5), 5);
}

TEST_F(IniTest, IntegersReadLeadingDigitsWithSign) {
  SetFile(
      "[N]\nplain=12\nplus=+7\nminus=-3\ntail=42abc\nword=abc\nblank= 5 \nquoted=\"9\"\n"
      "empty=\nbig=4294967297\n");
  EXPECT_EQ(GetInt("N", "plain"), 12);
  EXPECT_EQ(GetInt("N", "plus"), 7);
  EXPECT_EQ(GetInt("N", "minus"), -3);
  EXPECT_EQ(GetInt("N", "tail"), 42);
  EXPECT_EQ(GetInt("N", "word"), 0);
  EXPECT_EQ(GetInt("N", "blank"), 5);
  EXPECT_EQ(GetInt("N", "quoted"), 9);
  EXPECT_EQ(GetInt("N", "empty"), 77);
  EXPECT_EQ(GetInt("N", "missing"), 77);
  EXPECT_EQ(GetInt("N", "big"), 1);  // 32-bit wrap
}

TEST_F(IniTest, JapaneseNamesCompareByWholeCharacters) {
  SetFile(std::string("[") + std::string(kKyokuSjis) + "]\r\n" + std::string(kASjis) + "=a\r\n" +
          std::string(kTsuSjis) + "=tsu\r\n");
  EXPECT_EQ(Get(kKyokuSjis, kASjis), "a");
  EXPECT_EQ(Get(kKyokuSjis, kTsuSjis), "tsu");
}

TEST_F(IniTest, WriteReplacesAValueInPlaceAndKeepsEverythingElse) {
  SetFile("; top\r\n[BGM]\r\n  Settei = 0\r\nMusicName=a.mp3\r\n\r\n[Font]\r\nName=x\r\n");
  EXPECT_TRUE(Write("bgm", "SETTEI", "2"));
  EXPECT_EQ(FileText(), "; top\r\n[BGM]\r\n  Settei = 2\r\nMusicName=a.mp3\r\n\r\n[Font]\r\nName=x\r\n");
  EXPECT_EQ(Get("BGM", "Settei"), "2");
}

TEST_F(IniTest, WriteAppendsANewKeyAfterTheSectionsLastKey) {
  SetFile("[0]\nJukugo=a\n; note\n\n[1]\nImi=b\n");
  EXPECT_TRUE(Write("0", "Yomi", "c"));
  EXPECT_EQ(FileText(), "[0]\nJukugo=a\nYomi=c\n; note\n\n[1]\nImi=b\n");
  EXPECT_TRUE(Write("1", "Yomi", "d"));
  EXPECT_EQ(FileText(), "[0]\nJukugo=a\nYomi=c\n; note\n\n[1]\nImi=b\nYomi=d\n");
}

TEST_F(IniTest, WriteCreatesMissingSectionsAndFiles) {
  EXPECT_TRUE(Write("0", "Jukugo", kNamaeSjis));
  EXPECT_EQ(FileText(), "[0]\r\nJukugo=" + std::string(kNamaeSjis) + "\r\n");
  EXPECT_TRUE(Write("1", "Imi", "b"));
  EXPECT_EQ(FileText(), "[0]\r\nJukugo=" + std::string(kNamaeSjis) + "\r\n[1]\r\nImi=b\r\n");
  EXPECT_EQ(Get("0", "Jukugo"), kNamaeSjis);

  SetFile("[A]\nk=v");  // LF file without a final line end
  EXPECT_TRUE(Write("B", "k", "w"));
  EXPECT_EQ(FileText(), "[A]\nk=v\n[B]\nk=w\n");
}

TEST_F(IniTest, MissingValueDeletesTheKey) {
  SetFile("[0]\r\nJukugo=a\r\nImi=b\r\n[1]\r\nJukugo=c\r\n");
  EXPECT_TRUE(Write("0", "jukugo", std::nullopt));
  EXPECT_EQ(FileText(), "[0]\r\nImi=b\r\n[1]\r\nJukugo=c\r\n");
  EXPECT_EQ(Get("0", "Jukugo"), "DEF");
  EXPECT_EQ(Get("1", "Jukugo"), "c");

  EXPECT_TRUE(Write("9", "Jukugo", std::nullopt));
  EXPECT_EQ(FileText(), "[0]\r\nImi=b\r\n[1]\r\nJukugo=c\r\n");
}

TEST_F(IniTest, DeletingFromAMissingFileCreatesNothing) {
  EXPECT_TRUE(Write("0", "Jukugo", std::nullopt));
  EXPECT_FALSE(FileCreated());
}

TEST_F(IniTest, Utf8FileWithByteOrderMarkIsReadAndWrittenAsUtf8) {
  SetFile("\xEF\xBB\xBF[曲]\nName=ＭＳ Ｐゴシック\nOdd=café\n");
  EXPECT_EQ(Get(kKyokuSjis, "name"), "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e");
  EXPECT_EQ(Get(kKyokuSjis, "Odd"), "caf?");

  EXPECT_TRUE(Write(kKyokuSjis, kNamaeSjis, kKyokuSjis));
  EXPECT_EQ(FileText(), "\xEF\xBB\xBF[曲]\nName=ＭＳ Ｐゴシック\nOdd=café\n名前=曲\n");
  EXPECT_EQ(Get(kKyokuSjis, kNamaeSjis), kKyokuSjis);
}

// As an editor on Linux saves it: no mark, and a write keeps it that way.
TEST_F(IniTest, Utf8FileWithoutTheMarkIsReadAndWrittenAsUtf8) {
  SetFile("[曲]\nName=ＭＳ Ｐゴシック\n");
  EXPECT_EQ(Get(kKyokuSjis, "name"), "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e");
  EXPECT_TRUE(Write(kKyokuSjis, kNamaeSjis, kKyokuSjis));
  EXPECT_EQ(FileText(), "[曲]\nName=ＭＳ Ｐゴシック\n名前=曲\n");

  SetFile("[BGM]\nName=plain\n");  // nothing but ASCII: Shift-JIS, as the game writes
  EXPECT_TRUE(Write("BGM", kNamaeSjis, kKyokuSjis));
  EXPECT_EQ(FileText(), "[BGM]\nName=plain\n" + std::string(kNamaeSjis) + "=" + std::string(kKyokuSjis) + "\n");
}

TEST_F(IniTest, MalformedFilesGiveDefaults) {
  constexpr char kJunk[] = "\x00\xff[\x00]=\x81\n[BGM\n=x\n[]\n";
  SetFile(std::string_view(kJunk, sizeof kJunk - 1));
  EXPECT_EQ(Get("BGM", "Settei"), "DEF");
  EXPECT_EQ(Get("", ""), "DEF");

}

// Far larger than any settings file: read as absent, and never replaced by a few keys.
TEST_F(IniTest, AnOversizedFileGivesDefaultsAndIsNotReplaced) {
  const std::string huge = "[BGM]\nSettei=" + std::string(10 * 1024 * 1024, '7');
  SetFile(huge);
  EXPECT_EQ(Get("BGM", "Settei"), "DEF");
  EXPECT_FALSE(Write("BGM", "Other", "1"));
  EXPECT_EQ(dir_.Read("settei.ini"), huge);
}
