#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <set>

#include "platform/codepage.h"
#include "platform/component_log.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/places.h"
#include "xdg_places.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kInstalledFromProgram = "../share/kotobune";

// Every file under a folder, relative to it.
std::set<std::string> FilesUnder(const fs::path& folder) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_directory()) files.insert(fs::relative(entry.path(), folder).string());
  }
  return files;
}

// A program installed under prefix/ (bin/kotobune, share/kotobune/...) and a home of its own.
class PlacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root.Native("prefix/bin"));
    fs::create_directories(root.Native("prefix/share/kotobune/music"));
    root.Write("prefix/share/kotobune/data.qda", "installed archive");
    root.Write("prefix/share/kotobune/settei.ini.sample", "[BGM]\r\nSettei=0\r\n");
    root.Write("prefix/share/kotobune/追加問題.txt", "sample idioms");
    root.Write("prefix/share/kotobune/music/a.mid", "tune");
    environment.home = root.Native("home");
  }
  void TearDown() override { platform::UsePlaces({}); }

  std::string Exe() const { return root.Native("prefix/bin/kotobune"); }
  // The name the game gives a file: its program folder, then a Shift-JIS name with '\'.
  std::string GameName(std::u16string_view name) const {
    return root.Native("prefix/bin/") + platform::Utf16ToCp932(name);
  }
  platform::Places Find() const { return platform::FindPlaces(Exe(), environment, kInstalledFromProgram); }
  platform::Places Install() {
    platform::Places places = Find();
    EXPECT_EQ(platform::PreparePlayerFolders(places), std::vector<std::string>{});
    platform::UsePlaces(places);
    return places;
  }

  TempFolder root;
  platform::PlayerEnvironment environment;
};

}  // namespace

TEST_F(PlacesTest, AWritableDataFolderBesideTheProgramKeepsEveryNameWhereTheGameSaysIt) {
  fs::create_directory(root.Native("prefix/bin/data"));
  const platform::Places places = Find();
  EXPECT_TRUE(places.Portable());
  platform::UsePlaces(places);
  EXPECT_EQ(platform::NativePath(GameName(u"data\\record1.dat")), root.Native("prefix/bin/data/record1.dat"));
  EXPECT_EQ(platform::NativePath(GameName(u"ddid.debug")), root.Native("prefix/bin/ddid.debug"));
}

TEST_F(PlacesTest, WithNothingInstalledNamesStayWhereTheGameSaysThem) {
  fs::remove_all(root.Native("prefix/share"));
  EXPECT_TRUE(Find().Portable());
}

TEST_F(PlacesTest, InstalledThePlayersFoldersFollowXdgOrTheHomeDefaults) {
  platform::Places places = Find();
  ASSERT_FALSE(places.Portable());
  EXPECT_EQ(places.installed, root.Native("prefix/share/kotobune/"));
  EXPECT_EQ(places.playerData, root.Native("home/.local/share/kotobune/"));
  EXPECT_EQ(places.playerConfig, root.Native("home/.config/kotobune/"));
  EXPECT_EQ(places.playerState, root.Native("home/.local/state/kotobune/"));

  environment.dataHome = root.Native("xdg/data");
  environment.configHome = root.Native("xdg/config");
  environment.stateHome = "relative/is/ignored";
  places = Find();
  EXPECT_EQ(places.playerData, root.Native("xdg/data/kotobune/"));
  EXPECT_EQ(places.playerConfig, root.Native("xdg/config/kotobune/"));
  EXPECT_EQ(places.playerState, root.Native("home/.local/state/kotobune/"));
}

// Said until the player has a record of their own, with where the earlier one stays.
TEST_F(PlacesTest, AReadOnlyDataFolderBesideTheProgramIsTheInstalledOneAndSaysSo) {
  fs::create_directory(root.Native("prefix/bin/data"));
  root.Write("prefix/bin/data/record1.dat", "old record");
  ::chmod(root.Native("prefix/bin/data").c_str(), 0555);
  const platform::Places places = Find();
  ::chmod(root.Native("prefix/bin/data").c_str(), 0755);
  EXPECT_EQ(places.installed, root.Native("prefix/bin/data/"));
  const std::vector<std::string> notices = platform::PreparePlayerFolders(places);
  ASSERT_EQ(notices.size(), 1u);
  for (const char* named : {"prefix/bin/data/ ", "home/.local/share/kotobune/", "home/.config/kotobune/",
                            "prefix/bin/data/record1.dat"}) {
    EXPECT_NE(notices[0].find(root.Native(named)), std::string::npos) << named << " in " << notices[0];
  }
  root.Write("home/.local/share/kotobune/record1.dat", "new record");
  EXPECT_EQ(platform::PreparePlayerFolders(places), std::vector<std::string>{});
}

TEST_F(PlacesTest, FirstStartMakesThePlayersFoldersAndCopiesTheEditableFilesOnce) {
  // Installed files are read-only; other players must not see into the player's folders.
  for (const char* sample : {"prefix/share/kotobune/settei.ini.sample", "prefix/share/kotobune/追加問題.txt"}) {
    fs::permissions(root.Native(sample), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }
  Install();
  for (const char* folder : {"home/.local", "home/.local/share", "home/.local/share/kotobune",
                             "home/.local/state/kotobune", "home/.config/kotobune"}) {
    EXPECT_EQ(fs::status(root.Native(folder)).permissions(), fs::perms::owner_all) << folder;
  }
  for (const char* copy : {"home/.config/kotobune/settei.ini", "home/.config/kotobune/追加問題.txt"}) {
    EXPECT_NE(fs::status(root.Native(copy)).permissions() & fs::perms::owner_write, fs::perms::none) << copy;
  }
  EXPECT_EQ(root.Read("home/.config/kotobune/settei.ini"), "[BGM]\r\nSettei=0\r\n");
  EXPECT_EQ(root.Read("home/.config/kotobune/追加問題.txt"), "sample idioms");

  // The player's edits survive the next start.
  root.Write("home/.config/kotobune/settei.ini", "[BGM]\r\nSettei=2\r\n");
  Install();
  EXPECT_EQ(root.Read("home/.config/kotobune/settei.ini"), "[BGM]\r\nSettei=2\r\n");
  EXPECT_EQ(FilesUnder(root.Native("home/.config/kotobune")),
            (std::set<std::string>{"settei.ini", "追加問題.txt"}));
}

// Only the record's folder decides whether anything can be saved.
TEST_F(PlacesTest, AFolderThatCannotBeMadeIsReportedWithWhatItCosts) {
  fs::create_directory(root.Native("home"));
  root.Write("home/.config", "a file where the settings folder should be");
  std::vector<std::string> notices = platform::PreparePlayerFolders(Find());
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find(root.Native("home/.config/kotobune")), std::string::npos) << notices[0];
  EXPECT_NE(notices[0].find("installed settings"), std::string::npos) << notices[0];

  fs::remove(root.Native("home/.config"));
  fs::remove_all(root.Native("home/.local"));
  root.Write("home/.local", "a file where the data folder should be");
  notices = platform::PreparePlayerFolders(Find());
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_NE(notices[0].find(root.Native("home/.local/share/kotobune")), std::string::npos) << notices[0];
  EXPECT_NE(notices[0].find("nothing can be saved"), std::string::npos) << notices[0];
  EXPECT_NE(notices[1].find("standard error"), std::string::npos) << notices[1];
}

TEST_F(PlacesTest, InstalledNamesLandInThePlayersFoldersOrTheInstalledOne) {
  Install();
  EXPECT_EQ(platform::NativePath(GameName(u"data\\record1.dat")), root.Native("home/.local/share/kotobune/record1.dat"));
  EXPECT_EQ(platform::NativePath(GameName(u"data\\tuika.ini")), root.Native("home/.local/share/kotobune/tuika.ini"));
  EXPECT_EQ(platform::NativePath(GameName(u"data\\settei.ini")), root.Native("home/.config/kotobune/settei.ini"));
  EXPECT_EQ(platform::NativePath(GameName(u"data\\追加問題.txt")), root.Native("home/.config/kotobune/追加問題.txt"));
  EXPECT_EQ(platform::NativePath(GameName(u"data\\data.qda")), root.Native("prefix/share/kotobune/data.qda"));
  EXPECT_EQ(platform::NativePath(GameName(u"DDSD_DebugLog.txt")), root.Native("home/.local/state/kotobune/DDSD_DebugLog.txt"));
  EXPECT_EQ(platform::NativePath("/elsewhere\\song.mp3"), "/elsewhere/song.mp3");
  EXPECT_TRUE(DirectoryExists(GameName(u"data\\music\\")));
  EXPECT_TRUE(FileExists(GameName(u"data\\music\\a.mid")));
}

TEST_F(PlacesTest, APlayersOwnFileReplacesTheInstalledOneOfTheSameName) {
  Install();
  root.Write("home/.local/share/kotobune/data.qda", "player's archive");
  const auto bytes = platform::ReadFileBytes(GameName(u"data\\data.qda"));
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "player's archive");
}

TEST_F(PlacesTest, WithoutThePlayersCopyTheInstalledIdiomFileIsRead) {
  const platform::Places places = Find();  // folders never prepared
  platform::UsePlaces(places);
  EXPECT_EQ(platform::NativePath(GameName(u"data\\追加問題.txt")), root.Native("prefix/share/kotobune/追加問題.txt"));
  EXPECT_EQ(platform::NativePath(GameName(u"data\\settei.ini")), root.Native("home/.config/kotobune/settei.ini"));
}

TEST_F(PlacesTest, SavingNeverWritesIntoTheInstalledFolder) {
  const std::set<std::string> installedBefore = FilesUnder(root.Native("prefix"));
  Install();
  const std::vector<std::uint8_t> record(564, 7);
  EXPECT_TRUE(platform::WriteFileAtomic(GameName(u"data\\record1.dat"), record));
  EXPECT_TRUE(WritePrivateProfileStringA("Mondai", "Kazu", "3", GameName(u"data\\tuika.ini")));
  platform::ComponentLog log("ddid.debug");
  log.SetFlags(platform::ComponentLog::kLog);
  log.SetExeName(GameName(u"kotobune"));
  log.Write("opened");

  EXPECT_EQ(FilesUnder(root.Native("prefix")), installedBefore);
  EXPECT_EQ(root.Read("home/.local/share/kotobune/record1.dat").size(), 564u);
  EXPECT_NE(root.Read("home/.local/share/kotobune/tuika.ini").find("Kazu=3"), std::string::npos);
  EXPECT_NE(root.Read("home/.local/state/kotobune/ddid.debug").find("opened"), std::string::npos);
}

TEST_F(PlacesTest, AnInterruptedSaveIsFoundAndClearedInThePlayersFolder) {
  Install();
  root.Write("home/.local/share/kotobune/.tuika.ini.0-1", "half a save");
  const auto leftovers = platform::LeftoverTemporaries(GameName(u"data"), "tuika.ini");
  ASSERT_EQ(leftovers.size(), 1u);
  const auto bytes = platform::ReadFileBytes(leftovers[0]);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "half a save");

  const std::array<std::string_view, 1> names{"tuika.ini"};
  platform::RemoveLeftoverTemporaries(GameName(u"data"), names);
  EXPECT_FALSE(fs::exists(root.Native("home/.local/share/kotobune/.tuika.ini.0-1")));
}
