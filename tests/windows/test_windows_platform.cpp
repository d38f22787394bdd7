// The Windows implementations of files, fonts and the clock, where the POSIX tests' links and
// permission bits have no Windows counterpart.
#include <gtest/gtest.h>
#include <process.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/places.h"
#include "platform/timer.h"
#include "platform/wingdi.h"
#include "support/temp_folder.h"

namespace {

// "ソフト" in Shift-JIS: the first character's second byte is '\'.
const std::string kSoftSjis = "\x83\x5c\x83\x74\x83\x67";
// "曲.mp3" in Shift-JIS.
const std::string kTrackSjis = "\x8b\xc8.mp3";

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::map<std::string, int> FindAll(const std::string& pattern, int attr = faAnyFile) {
  std::map<std::string, int> found;
  TSearchRec rec;
  for (int result = FindFirst(pattern, attr, rec); result == 0; result = FindNext(rec)) found[rec.Name] = rec.Attr;
  FindClose(rec);
  return found;
}

}  // namespace

TEST(WindowsFiles, JapaneseNamesAreWrittenReadAndFoundInShiftJis) {
  TempFolder dir;
  const std::string folder = dir.Game(kSoftSjis);
  ASSERT_TRUE(platform::WriteFileAtomic(dir.Game(kTrackSjis), Bytes("mp3")));
  EXPECT_EQ(platform::ReadFileBytes(dir.Game(kTrackSjis)), Bytes("mp3"));
  EXPECT_TRUE(FileExists(dir.Game(kTrackSjis)));
  EXPECT_FALSE(DirectoryExists(dir.Game(kTrackSjis)));

  const auto found = FindAll(dir.Game("*.mp3"));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found.begin()->first, kTrackSjis);
  EXPECT_EQ(found.begin()->second & faDirectory, 0);
}

TEST(WindowsFiles, FindReportsFoldersOnlyWhenAskedAndMatchesWildcards) {
  TempFolder dir;
  dir.Write("a.mp3", "1");
  dir.Write("b.MP3", "22");
  dir.Write("readme", "x");
  std::filesystem::create_directory(dir.Native("sub"));
  EXPECT_EQ(FindAll(dir.Game("*.*"), faAnyFile & ~faDirectory),
            (std::map<std::string, int>{{"a.mp3", faArchive}, {"b.MP3", faArchive}, {"readme", faArchive}}));
  const auto everything = FindAll(dir.Game("*"));
  EXPECT_EQ(everything.at("sub"), faDirectory);
  EXPECT_EQ(FindAll(dir.Game("?.mp3")).size(), 1u) << "matching is case-sensitive, as on every host";

  TSearchRec rec;
  EXPECT_NE(FindFirst(dir.Game("none\\*.*"), faAnyFile, rec), 0);
  EXPECT_NE(FindNext(rec), 0);
}

TEST(WindowsFiles, AtomicWriteReplacesAndLeavesNothingBehind) {
  TempFolder dir;
  dir.Write("record1.dat", "old");
  ASSERT_TRUE(platform::WriteFileAtomic(dir.Game("record1.dat"), Bytes("new content")));
  EXPECT_EQ(dir.Read("record1.dat"), "new content");
  EXPECT_EQ(FindAll(dir.Game("*"), faAnyFile & ~faDirectory).size(), 1u);
  EXPECT_FALSE(platform::WriteFileAtomic(dir.Game("missing\\record1.dat"), Bytes("x")));
  EXPECT_FALSE(platform::ReadFileBytes(dir.Game("missing\\record1.dat")));
  EXPECT_FALSE(platform::ReadFileBytes(dir.Game("")));  // a folder is no file
}

TEST(WindowsFiles, ReadsOnlyDiskFilesAndNeverPastTheLimit) {
  TempFolder dir;
  dir.Write("settei.ini", "12345");
  EXPECT_EQ(*platform::ReadFile(dir.Game("settei.ini"), 5), Bytes("12345"));
  EXPECT_FALSE(platform::ReadFile(dir.Game("settei.ini"), 4));
  EXPECT_EQ(*platform::ReadFilePrefix(dir.Game("settei.ini"), 2), Bytes("12"));

  const auto missing = platform::ReadFile(dir.Game("none.ini"));
  EXPECT_TRUE(missing.Missing());
  EXPECT_NE(missing.Reason().find("none.ini"), std::string::npos) << missing.Reason();
  EXPECT_FALSE(platform::ReadFile(dir.Game("")));
  EXPECT_FALSE(platform::ReadFile(dir.Game("NUL"))) << "a device is no file";
  EXPECT_FALSE(platform::OpenRegularFile(dir.Native("NUL")));

  // Line ends arrive as written.
  dir.Write("crlf.txt", "a\r\nb\x1a");
  EXPECT_EQ(*platform::ReadFile(dir.Game("crlf.txt")), Bytes("a\r\nb\x1a"));
}

TEST(WindowsFiles, FilesReplacedTogetherAreAllReplacedOrNoneIs) {
  TempFolder dir;
  dir.Write("record1.dat", "old record");
  dir.Write("tuika.ini", "old idioms");
  const auto record = Bytes("new record"), idioms = Bytes("new idioms");
  const std::string recordName = dir.Game("record1.dat"), idiomsName = dir.Game("tuika.ini");
  const std::array<platform::FileReplacement, 2> both{{{recordName, record}, {idiomsName, idioms}}};
  EXPECT_TRUE(platform::ReplaceFiles(both));
  EXPECT_EQ(dir.Read("record1.dat"), "new record");
  EXPECT_EQ(dir.Read("tuika.ini"), "new idioms");

  std::filesystem::create_directory(dir.Native("folder"));
  const std::string folderName = dir.Game("folder");
  const std::array<platform::FileReplacement, 2> broken{{{recordName, Bytes("lost")}, {folderName, idioms}}};
  EXPECT_NE(platform::ReplaceFiles(broken).Reason().find("folder"), std::string::npos);
  EXPECT_EQ(dir.Read("record1.dat"), "new record");
  EXPECT_EQ(FindAll(dir.Game("*"), faAnyFile & ~faDirectory).size(), 2u) << "no temporary file is left";
}

TEST(WindowsFiles, LeftoverTemporariesAreThoseOfEndedWriters) {
  TempFolder dir;
  // No process has an odd id on Windows.
  const std::string ended = ".record1.dat.4294967-1";
  const std::string running = ".record1.dat." + std::to_string(_getpid()) + "-2";
  dir.Write(ended, "half");
  dir.Write(running, "in progress");
  dir.Write(".other.dat.4294967-1", "not ours");
  EXPECT_EQ(platform::LeftoverTemporaries(dir.Game(), "record1.dat"), std::vector<std::string>{dir.Game(ended)});

  const std::array<std::string_view, 1> names{"record1.dat"};
  platform::RemoveLeftoverTemporaries(dir.Game(), names);
  EXPECT_FALSE(std::filesystem::exists(dir.Native(ended)));
  EXPECT_TRUE(std::filesystem::exists(dir.Native(running)));
}

TEST(WindowsPlaces, AProgramBesideAWritableDataFolderIsPortable) {
  TempFolder dir;
  std::filesystem::create_directory(dir.Native("data"));
  // Named as Windows names the program, with '\\', the folder matches the game's names.
  const platform::Places places = platform::FindPlaces(dir.Game("kotobune.exe"));
  EXPECT_TRUE(places.Portable());
  EXPECT_EQ(places.program, platform::NativePath(dir.Game()));
  EXPECT_TRUE(platform::FindPlaces(dir.Game("no-data\\kotobune.exe")).Portable()) << "nothing installed";
}

TEST(WindowsFonts, OnlyInstalledFamiliesWithJapaneseShowIt) {
  EXPECT_FALSE(FontFaceShowsJapanese("No Such Family"));
  const std::vector<std::string> faces = InstalledFontFaces();
  EXPECT_TRUE(std::any_of(faces.begin(), faces.end(), FontFaceShowsJapanese));
  EXPECT_FALSE(std::all_of(faces.begin(), faces.end(), FontFaceShowsJapanese)) << "Latin families do not";
}

TEST(WindowsClock, SleepAdvancesTheMillisecondClock) {
  ASSERT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
  const DWORD before = timeGetTime();
  Sleep(30);
  const DWORD elapsed = timeGetTime() - before;
  EXPECT_GE(elapsed, 29u);
  EXPECT_LT(elapsed, 1000u);
  EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
}

TEST(WindowsCodePage, CharactersBeyondTheBasicPlaneAreOneQuestionMark) {
  EXPECT_EQ(platform::Utf16ToCp932(u"a😀b"), "a?b");
  const char16_t loneSurrogate[] = {u'x', 0xD800, u'y', 0};
  EXPECT_EQ(platform::Utf16ToCp932(loneSurrogate), "x?y");
  EXPECT_EQ(platform::Utf8ToCp932Lossy("a😀あ"), "a?\x82\xa0");
  EXPECT_EQ(platform::Utf8ToCp932("😀.mp3"), std::nullopt);
  EXPECT_EQ(platform::Cp932ToUtf8("\x8a\xbf"), "漢");
}
