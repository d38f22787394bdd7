#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "game_fixture.h"
#include "platform/wingdi.h"

namespace {

std::string WindowFace() { return Sjis(u"ＭＳ Ｐゴシック"); }

bool Installed(const std::string& face) {
  const std::vector<std::string> faces = InstalledFontFaces();
  return std::find(faces.begin(), faces.end(), face) != faces.end();
}

}  // namespace

class FontSetting : public GameTest {
 protected:
  // Starts the game with data/settei.ini holding `bytes`, or with no settings file at all.
  void StartWithSettings(const std::optional<std::string>& bytes) {
    if (bytes) folder.Write("data/settei.ini", *bytes);
    Start();
  }

  // The window font stays on every writer; only the sizes differ.
  void ExpectWindowFontEverywhere() const {
    EXPECT_EQ(form->writerLarge->Font().Name, WindowFace());
    EXPECT_EQ(form->writerSmall->Font().Name, WindowFace());
    EXPECT_EQ(form->writerBig->Font().Name, WindowFace());
  }

  void ExpectSizesAndStyleKept() const {
    EXPECT_EQ(form->writerLarge->Font().Height, form->Font.Height);
    EXPECT_EQ(form->writerSmall->Font().Height, -13);
    EXPECT_EQ(form->writerBig->Font().Height, -27);
    for (const auto* writer : {form->writerLarge.get(), form->writerSmall.get(), form->writerBig.get()}) {
      EXPECT_TRUE(writer->Font().Bold);
    }
  }
};

// The face names are given in UTF-8 here and written to the settings file in Shift-JIS.
class InstalledFace : public FontSetting, public ::testing::WithParamInterface<std::u16string> {};

TEST_P(InstalledFace, GoesToTheLargeAndSmallWritersOnly) {
  const std::string face = Sjis(GetParam());
  ASSERT_TRUE(Installed(face)) << "fonts-ipafont-gothic is needed for this test";
  StartWithSettings("[Font]\r\nName=" + face + "\r\n");
  EXPECT_EQ(form->writerLarge->Font().Name, face);
  EXPECT_EQ(form->writerSmall->Font().Name, face);
  EXPECT_EQ(form->writerBig->Font().Name, WindowFace());
  ExpectSizesAndStyleKept();
}

// fontconfig knows each IPA family by an English and a Japanese name; both are faces.
INSTANTIATE_TEST_SUITE_P(EveryFamilyName, InstalledFace,
                         ::testing::Values(u"IPAGothic", u"IPAゴシック", u"IPAPGothic", u"IPA Pゴシック"));

// A Latin-only family has no kana: it is refused with one line, and the text stays readable.
TEST_F(FontSetting, FamilyWithoutJapaneseIsRefusedWithOneLine) {
  const std::vector<std::string> latin{"DejaVu Sans", "Liberation Sans", "Bitstream Vera Sans"};
  const auto family = std::find_if(latin.begin(), latin.end(), Installed);
  if (family == latin.end()) GTEST_SKIP() << "no Latin-only family is installed";
  ::testing::internal::CaptureStderr();
  StartWithSettings("[Font]\r\nName=" + *family + "\r\n");
  const std::string said = ::testing::internal::GetCapturedStderr();
  ExpectWindowFontEverywhere();
  EXPECT_NE(said.find("ことぶね: the font \"" + *family +
                      "\" set in settei.ini has no Japanese characters; the default font is used\n"),
            std::string::npos)
      << said;
  EXPECT_TRUE(FontFaceShowsJapanese(Sjis(u"IPAゴシック")));
  EXPECT_TRUE(FontFaceShowsJapanese(WindowFace()));
  EXPECT_FALSE(FontFaceShowsJapanese("NoSuchFace"));
}

TEST_F(FontSetting, SectionAndKeyNamesAreCaseInsensitive) {
  StartWithSettings("[font]\r\nNAME=IPAGothic\r\n");
  EXPECT_EQ(form->writerLarge->Font().Name, "IPAGothic");
  EXPECT_EQ(form->writerSmall->Font().Name, "IPAGothic");
}

// The window font resolves to a proportional face; IPAGothic is fixed-pitch, so narrow and
// wide letters measure alike only once the chosen face is the one that draws.
TEST_F(FontSetting, TheChosenFaceIsTheOneThatMeasuresAndDraws) {
  StartWithSettings("[Font]\r\nName=IPAGothic\r\n");
  for (auto* writer : {form->writerLarge.get(), form->writerSmall.get()}) {
    EXPECT_EQ(writer->TextWidth("iiii"), writer->TextWidth("MMMM"));
  }
  EXPECT_LT(form->writerBig->TextWidth("iiii"), form->writerBig->TextWidth("MMMM"));
}

class FaceLeftAlone : public FontSetting, public ::testing::WithParamInterface<std::optional<std::string>> {};

TEST_P(FaceLeftAlone, KeepsTheWindowFontOnEveryWriter) {
  StartWithSettings(GetParam());
  ExpectWindowFontEverywhere();
  ExpectSizesAndStyleKept();
}

INSTANTIATE_TEST_SUITE_P(
    Settings, FaceLeftAlone,
    ::testing::Values(std::nullopt,                                         // no settings file
                      std::string("[BGM]\r\nSettei=0\r\n"),                  // no [Font] section
                      std::string("[Font]\r\nSize=12\r\n"),                  // no Name key
                      std::string("[BGM]\r\nName=IPAGothic\r\n"),            // Name in another section
                      std::string("[Font]\r\nName=\r\n"),                    // empty name
                      std::string("[Font]\r\nName=NoSuchFace\r\n"),          // not installed
                      std::string("[Font]\r\nName=ipagothic\r\n"),           // case differs
                      std::string("[Font]\r\nName=IPA Gothic\r\n"),          // close is not equal
                      std::string("[Font]\r\nName=IPA\r\n")));               // a prefix of a face

TEST_F(FontSetting, Utf8FileWithByteOrderMarkNamesAJapaneseFace) {
  StartWithSettings("\xEF\xBB\xBF[Font]\r\nName=IPAゴシック\r\n");
  EXPECT_EQ(form->writerLarge->Font().Name, Sjis(u"IPAゴシック"));
  EXPECT_EQ(form->writerSmall->Font().Name, Sjis(u"IPAゴシック"));
  EXPECT_EQ(form->writerBig->Font().Name, WindowFace());
}

// A Linux editor leaves the mark out; valid UTF-8 with Japanese in it is still UTF-8.
TEST_F(FontSetting, Utf8FileWithoutByteOrderMarkNamesTheSameFace) {
  StartWithSettings("[Font]\r\nName=IPAゴシック\r\n");
  EXPECT_EQ(form->writerLarge->Font().Name, Sjis(u"IPAゴシック"));
}
