// Start-up names every unusable picture archive or sound effect in plain words.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "GameAssets.h"
#include "support/temp_folder.h"

namespace {

class GameDataCheck : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(folder.Native("data")); }

  void LinkBuilt(const std::string& name) const {
    std::filesystem::create_symlink(std::filesystem::path(KOTOBUNE_DATA_DIR) / name, folder.Native("data/" + name));
  }
  void LinkAllWaves() const {
    for (const std::string_view wave : kWaveFiles) LinkBuilt(std::string(wave.substr(wave.find('\\') + 1)));
  }

  std::string Report() const {
    ::testing::internal::CaptureStderr();
    ReportUnusableGameData(folder.Game());
    return ::testing::internal::GetCapturedStderr();
  }

  static long Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

  TempFolder folder;
};

TEST_F(GameDataCheck, SoundDataSaysNothing) {
  LinkBuilt("data.qda");
  LinkAllWaves();
  EXPECT_EQ(Report(), "");
}

TEST_F(GameDataCheck, EachMissingFileGetsOneLineWithItsRealPathAndWhatToDo) {
  LinkAllWaves();
  std::filesystem::remove(folder.Native("data/hit.wav"));
  const std::string report = Report();
  EXPECT_EQ(Lines(report), 2) << report;
  EXPECT_NE(report.find("ことぶね: " + folder.Native("data/data.qda") + " is missing or cannot be read; rebuild "
                        "the game's data (cmake --build) or reinstall ことぶね\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find(folder.Native("data/hit.wav") + " is missing"), std::string::npos) << report;
  EXPECT_EQ(report.find('\\'), std::string::npos) << "no Windows separators";
}

TEST_F(GameDataCheck, DamagedArchiveOrWaveIsCalledDamaged) {
  LinkAllWaves();
  std::ifstream in(std::filesystem::path(KOTOBUNE_DATA_DIR) / "data.qda", std::ios::binary);
  const std::string archive{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  for (const std::string& damaged : {archive.substr(0, archive.size() - 100), archive.substr(0, 300),
                                     std::string("not an archive at all")}) {
    folder.Write("data/data.qda", damaged);
    const std::string report = Report();
    EXPECT_EQ(Lines(report), 1) << report;
    EXPECT_NE(report.find("data.qda is damaged"), std::string::npos) << report;
  }
  std::filesystem::remove(folder.Native("data/shoot.wav"));
  using namespace std::string_literals;
  const struct {
    std::string bytes, said;
  } waves[] = {
      {"RIFX....WAVE", "shoot.wav is not a WAVE file"},
      {"RIFF\x16\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xac"s, "shoot.wav is damaged (its format chunk"},
      {"RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xac\0\0\x88\x58\x01\0\x02\0\x10\0data\0\0\0\0"s,
       "shoot.wav is damaged (it holds no sound)"},
  };
  for (const auto& wave : waves) {
    folder.Write("data/shoot.wav", wave.bytes);
    EXPECT_NE(Report().find(wave.said), std::string::npos) << wave.said;
  }
}

}  // namespace
