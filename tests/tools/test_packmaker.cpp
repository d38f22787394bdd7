// The pack maker on sample lines of the dictionary's own shapes (made up, not taken from it).
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "EdictPack.h"

namespace {

using packmaker::PackIdiom;

std::string EucJp(const std::string& utf8) {
  iconv_t converter = iconv_open("EUC-JP", "UTF-8");
  std::string out(utf8.size() * 2, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size(), outLeft = out.size();
  char* at = out.data();
  iconv(converter, &in, &inLeft, &at, &outLeft);
  iconv_close(converter);
  out.resize(out.size() - outLeft);
  return out;
}

const std::string kSample =
    "　？？？ /EDICT sample/Copyright Sample Group - 2024/Created: 2024-01-01/\n"
    "花鳥風月 [かちょうふうげつ] /(n) (yoji) beauties of nature/(P)/\n"
    "一石二鳥 [いっせきにちょう] /(n,adj-no) (1) (yoji) two birds with one stone/double gain/(n) (2) (arch) lucky "
    "shot/\n"
    "試行錯誤 [しこうさくご] /(n,vs) (yoji) (of a person) trial and error/EntL1234567X/\n"
    "時々刻々 [じじこっこく] /(adv,n) (yoji) hour by hour/\n"
    "ムチャクチャ /(adj-na) (uk) (yoji) absurd/\n"
    "一朝一夕事 [いっちょういっせきごと] /(n) (yoji) five characters/\n"
    "お先真暗 [おさきまっくら] /(n) (yoji) mixed script/\n"
    "不言実行 [ふげんじっこう] /(n) action before words/(P)/\n"
    "無茶苦茶 [むちゃくちゃ] /(adj-na) (uK) (yoji) nonsense/";  // no line end at the very end

TEST(PackMaker, KeepsTheFourKanjiIdiomsWithReadingsAndTheirGlossesWithoutTags) {
  const packmaker::Harvest harvest = packmaker::HarvestIdioms(EucJp(kSample));
  EXPECT_EQ(harvest.sourceHeader, "EDICT sample; Copyright Sample Group - 2024; Created: 2024-01-01");
  EXPECT_EQ(harvest.yojiEntries, 8u);
  const std::vector<PackIdiom> expected{
      {"花鳥風月", "beauties of nature", "かちょうふうげつ"},
      {"一石二鳥", "two birds with one stone; double gain; lucky shot", "いっせきにちょう"},
      {"試行錯誤", "(of a person) trial and error", "しこうさくご"},
      {"時々刻々", "hour by hour", "じじこっこく"},
      {"無茶苦茶", "nonsense", "むちゃくちゃ"},
  };
  EXPECT_EQ(harvest.idioms, expected);
}

TEST(PackMaker, PackIsFifteenHeaderLinesNamingSourceAndLicenceThenGroupsOfThree) {
  const std::string text = packmaker::PackText(packmaker::HarvestIdioms(EucJp(kSample)));
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), 15u + 3 * 5);
  std::string header;
  for (std::size_t i = 0; i < 15; ++i) header += lines[i] + " ";
  for (const char* named : {"Electronic Dictionary Research and Development Group", "EDRDG",
                            "Creative Commons Attribution-ShareAlike 3.0", "CC BY-SA 3.0",
                            "Copyright Sample Group - 2024", "edict"}) {
    EXPECT_NE(header.find(named), std::string::npos) << named;
  }
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 15, lines.begin() + 18),
            (std::vector<std::string>{"花鳥風月", "beauties of nature", "かちょうふうげつ"}));
}

}  // namespace
