#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DataFiles.h"
#include "platform/codepage.h"

namespace {

// Lines as the game reads them: CR LF, LF or a lone CR ends a line.
std::vector<std::string> Lines(const data_files::Bytes& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = static_cast<char>(bytes[i]);
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// Valid Shift-JIS survives the way there and back; a stray byte comes back changed.
bool IsShiftJis(const std::string& line) {
  return platform::Utf16ToCp932(platform::Cp932ToUtf16(line)) == line;
}

std::string Utf8(const std::string& sjis) { return platform::Cp932ToUtf8(sjis); }

TEST(PlayerTextFiles, IdiomFileIsAFifteenLineShiftJisHeaderWithoutIdioms) {
  const auto lines = Lines(data_files::ReadAll(data_files::Path("data\\追加問題.txt")));
  ASSERT_EQ(lines.size(), 15u);
  std::string all;
  for (const std::string& line : lines) {
    EXPECT_TRUE(IsShiftJis(line)) << Utf8(line);
    all += Utf8(line) + "\n";
  }
  // It tells the player what the three lines of an entry hold.
  for (const char* word : {"四字熟語", "意味", "読み"}) EXPECT_NE(all.find(word), std::string::npos) << word;
}

TEST(PlayerTextFiles, SettingsSampleDocumentsTheKeysInShiftJis) {
  const auto lines = Lines(data_files::ReadAll(data_files::Path("data\\settei.ini.sample")));
  std::string all;
  for (const std::string& line : lines) {
    EXPECT_TRUE(IsShiftJis(line)) << Utf8(line);
    all += Utf8(line) + "\n";
  }
  for (const char* key : {"[BGM]", "Settei=", "MusicName=", "MusicFolda=", "[Font]", "Name=", "[Dictionary]", "Pack=",
                          "Builtin=", "Hints=", "[Sound]", "MusicVolume=", "EffectsVolume="}) {
    EXPECT_NE(all.find(key), std::string::npos) << key;
  }
}

// Made from the dictionary at build time: its idioms, with no grammar tag left in a meaning.
TEST(PlayerTextFiles, EnglishPackHoldsOverThreeThousandIdiomsUnderTheDictionarysLicence) {
  const auto lines = Lines(data_files::ReadAll(data_files::Path("data\\packs\\edict-en.txt")));
  ASSERT_GT(lines.size(), 15u + 3 * 3000);
  EXPECT_EQ((lines.size() - 15) % 3, 0u);
  std::string header;
  for (std::size_t i = 0; i < 15; ++i) header += lines[i] + "\n";
  for (const char* named : {"EDRDG", "CC BY-SA 3.0"}) EXPECT_NE(header.find(named), std::string::npos) << named;
  for (std::size_t i = 15; i < lines.size(); i += 3) {
    const std::u16string idiom = platform::Cp932ToUtf16(platform::Utf8ToCp932(lines[i]).value_or(""));
    ASSERT_EQ(idiom.size(), 4u) << lines[i];
    for (const char* tag : {"(P)", "(n)", "(yoji)", "(1)", "EntL", "/"}) {
      ASSERT_EQ(lines[i + 1].find(tag), std::string::npos) << lines[i + 1];
    }
  }
}

}  // namespace
