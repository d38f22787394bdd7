#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "file_host.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// "ソフト" in Shift-JIS: the first character's second byte is '\'.
constexpr std::string_view kSoftSjis = "\x83\x5c\x83\x74\x83\x67";
// "曲.mp3" in Shift-JIS.
constexpr std::string_view kTrackSjis = "\x8b\xc8.mp3";

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// Every entry FindFirst/FindNext report, name → attributes.
std::map<std::string, int> FindAll(const std::string& pattern, int attr = faAnyFile) {
  std::map<std::string, int> found;
  TSearchRec rec;
  for (int result = FindFirst(pattern, attr, rec); result == 0; result = FindNext(rec)) {
    found[rec.Name] = rec.Attr;
  }
  FindClose(rec);
  return found;
}

std::size_t OpenDescriptorCount() {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

}  // namespace

TEST(FilesPath, NativePathConvertsNamesAndSeparators) {
  EXPECT_EQ(platform::NativePath("data\\settei.ini"), "data/settei.ini");
  EXPECT_EQ(platform::NativePath("/tmp/a\\b"), "/tmp/a/b");
  // The '\' inside "ソ" is part of the character, not a separator.
  EXPECT_EQ(platform::NativePath(std::string(kSoftSjis) + "\\x"), "ソフト/x");
}

TEST(FilesPath, ExtractPartsAcceptBothSeparatorsAndSkipSecondBytes) {
  EXPECT_EQ(ExtractFilePath("C:\\game\\data\\a.wav"), "C:\\game\\data\\");
  EXPECT_EQ(ExtractFilePath("/music/sub/b.mid"), "/music/sub/");
  EXPECT_EQ(ExtractFilePath("a\\b/c"), "a\\b/");
  EXPECT_EQ(ExtractFilePath("name.mp3"), "");
  EXPECT_EQ(ExtractFilePath(std::string(kSoftSjis)), "");

  EXPECT_EQ(ExtractFileExt("dir\\song.tar.mp3"), ".mp3");
  EXPECT_EQ(ExtractFileExt("dir.d\\song"), "");
  EXPECT_EQ(ExtractFileExt("dir.d/song"), "");
  EXPECT_EQ(ExtractFileExt("song."), ".");
  EXPECT_EQ(ExtractFileExt(std::string(kTrackSjis)), ".mp3");

  EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\music"), "C:\\music\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\music\\"), "C:\\music\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/music/"), "/music/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter(kSoftSjis.substr(0, 2)), std::string(kSoftSjis.substr(0, 2)) + "\\");
}

TEST(FilesExist, TellFilesFromFoldersThroughLinks) {
  TempFolder dir;
  dir.Write("a.txt", "x");
  fs::create_directory(dir.Native("sub"));
  fs::create_symlink(dir.Native("a.txt"), dir.Native("link.txt"));
  fs::create_directory_symlink(dir.Native("sub"), dir.Native("linkdir"));
  fs::create_symlink(dir.Native("gone"), dir.Native("dangling"));

  EXPECT_TRUE(FileExists(dir.Game("a.txt")));
  EXPECT_TRUE(FileExists(dir.Game("link.txt")));
  EXPECT_FALSE(FileExists(dir.Game("sub")));
  EXPECT_FALSE(FileExists(dir.Game("dangling")));
  EXPECT_FALSE(FileExists(dir.Game("missing")));
  EXPECT_FALSE(FileExists(""));

  EXPECT_TRUE(DirectoryExists(dir.Game("sub")));
  EXPECT_TRUE(DirectoryExists(dir.Game("sub\\")));
  EXPECT_TRUE(DirectoryExists(dir.Game("linkdir")));
  EXPECT_FALSE(DirectoryExists(dir.Game("a.txt")));
  EXPECT_FALSE(DirectoryExists(dir.Game("missing")));
}

TEST(FilesFind, JapaneseNamesAreFoundAndReportedInShiftJis) {
  TempFolder dir;
  dir.Write("曲.mp3", "abc");
  dir.Write("ソフト", "");

  EXPECT_TRUE(FileExists(dir.Game(kTrackSjis)));
  EXPECT_TRUE(FileExists(dir.Game(kSoftSjis)));
  const auto found = FindAll(dir.Game("*.*"));
  EXPECT_EQ(found.count(std::string(kTrackSjis)), 1u);
  EXPECT_EQ(found.count(std::string(kSoftSjis)), 1u);

  TSearchRec rec;
  ASSERT_EQ(FindFirst(dir.Game(kTrackSjis), faAnyFile, rec), 0);
  EXPECT_EQ(rec.Name, kTrackSjis);
  EXPECT_EQ(rec.Attr, faArchive);
  EXPECT_EQ(rec.Size, 3);
  EXPECT_NE(FindNext(rec), 0);
  FindClose(rec);
}

TEST(FilesFind, ReportsEveryEntryWithItsAttributes) {
  TempFolder dir;
  dir.Write("a.mid", "");
  dir.Write("noext", "");
  dir.Write(".hidden", "");
  dir.Write("locked.mp3", "");
  fs::permissions(dir.Native("locked.mp3"), fs::perms::owner_read | fs::perms::group_read);
  fs::create_directory(dir.Native("sub"));
  dir.Write("café.mp3", "");  // no Shift-JIS form: skipped

  const std::map<std::string, int> expected = {
      {".", faDirectory},           {"..", faDirectory}, {"a.mid", faArchive},
      {"noext", faArchive},         {".hidden", faArchive | faHidden},
      {"locked.mp3", faArchive | faReadOnly}, {"sub", faDirectory},
  };
  EXPECT_EQ(FindAll(dir.Game("*.*")), expected);
  EXPECT_EQ(FindAll(dir.Game("*")), expected);
}

TEST(FilesFind, AttributeMaskLeavesOutFoldersAndHiddenEntries) {
  TempFolder dir;
  dir.Write("a.mid", "");
  dir.Write(".hidden", "");
  fs::create_directory(dir.Native("sub"));

  EXPECT_EQ(FindAll(dir.Game("*.*"), 0), (std::map<std::string, int>{{"a.mid", faArchive}}));
  const auto withFolders = FindAll(dir.Game("*.*"), faDirectory);
  EXPECT_EQ(withFolders.count("sub"), 1u);
  EXPECT_EQ(withFolders.count(".hidden"), 0u);
}

TEST(FilesFind, WildcardsMatchCharactersCaseSensitively) {
  TempFolder dir;
  for (const char* name : {"a.mp3", "ab.mp3", "x.MP3", "b.mid", "曲.mp3", "a.mp3.bak"}) dir.Write(name, "");

  auto names = [](const std::map<std::string, int>& found) {
    std::vector<std::string> result;
    for (const auto& entry : found) result.push_back(entry.first);
    return result;
  };
  EXPECT_EQ(names(FindAll(dir.Game("*.mp3"))), (std::vector<std::string>{"a.mp3", "ab.mp3", std::string(kTrackSjis)}));
  // '?' is one character, also when the character takes two bytes.
  EXPECT_EQ(names(FindAll(dir.Game("?.mp3"))), (std::vector<std::string>{"a.mp3", std::string(kTrackSjis)}));
  EXPECT_EQ(names(FindAll(dir.Game("a*"))), (std::vector<std::string>{"a.mp3", "a.mp3.bak", "ab.mp3"}));
  EXPECT_EQ(names(FindAll(dir.Game("b.mid"))), (std::vector<std::string>{"b.mid"}));
}

TEST(FilesFind, LinksCarryTheSymLinkFlagBesideTheirTarget) {
  TempFolder dir;
  fs::create_directory(dir.Native("music"));
  dir.Write("music/a.mp3", "12345");
  fs::create_directory_symlink("..", dir.Native("music/up"));
  fs::create_symlink("a.mp3", dir.Native("music/again.mp3"));

  TSearchRec rec;
  ASSERT_EQ(FindFirst(dir.Game("music\\up"), faAnyFile, rec), 0);
  EXPECT_EQ(rec.Attr, faDirectory | faSymLink);
  ASSERT_EQ(FindFirst(dir.Game("music\\again.mp3"), faAnyFile, rec), 0);
  EXPECT_EQ(rec.Attr, faArchive | faSymLink);
  EXPECT_EQ(rec.Size, 5);
  FindClose(rec);
}

TEST(FilesFind, FailuresAndTheEndAreNonZero) {
  TempFolder dir;
  dir.Write("a.mid", "");
  TSearchRec rec;
  EXPECT_NE(FindFirst(dir.Game("missing\\*.*"), faAnyFile, rec), 0);
  EXPECT_EQ(rec.finder, nullptr);
  EXPECT_NE(FindFirst(dir.Game("*.wav"), faAnyFile, rec), 0);
  EXPECT_EQ(rec.finder, nullptr);
  EXPECT_NE(FindNext(rec), 0);

  ASSERT_EQ(FindFirst(dir.Game("a.mid"), faAnyFile, rec), 0);
  EXPECT_NE(FindNext(rec), 0);
  EXPECT_NE(FindNext(rec), 0);
  FindClose(rec);
  EXPECT_EQ(rec.finder, nullptr);
  EXPECT_NE(FindNext(rec), 0);
}

TEST(FilesFind, EnumerationIsReleasedWhenTheRecordDies) {
  TempFolder dir;
  const std::size_t before = OpenDescriptorCount();
  {
    TSearchRec rec;
    ASSERT_EQ(FindFirst(dir.Game("*.*"), faAnyFile, rec), 0);
    EXPECT_GT(OpenDescriptorCount(), before);
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(FilesReadWrite, ReadFileBytesReturnsContentOrNothing) {
  TempFolder dir;
  dir.Write("data.bin", std::string_view("a\0b\xff", 4));
  fs::create_directory(dir.Native("sub"));
  EXPECT_EQ(platform::ReadFileBytes(dir.Game("data.bin")), Bytes(std::string_view("a\0b\xff", 4)));
  EXPECT_EQ(platform::ReadFileBytes(dir.Game("missing")), std::nullopt);
  EXPECT_EQ(platform::ReadFileBytes(dir.Game("sub")), std::nullopt);
  dir.Write("empty", "");
  EXPECT_EQ(platform::ReadFileBytes(dir.Game("empty")), std::vector<std::uint8_t>{});
}

TEST(FilesReadWrite, WriteFileAtomicReplacesAndLeavesNoTemporaryBehind) {
  TempFolder dir;
  ASSERT_TRUE(platform::WriteFileAtomic(dir.Game(kTrackSjis), Bytes("first")));
  EXPECT_EQ(dir.Read("曲.mp3"), "first");
  fs::permissions(dir.Native("曲.mp3"), fs::perms::owner_read | fs::perms::owner_write);

  ASSERT_TRUE(platform::WriteFileAtomic(dir.Game(kTrackSjis), Bytes("second, longer")));
  EXPECT_EQ(dir.Read("曲.mp3"), "second, longer");
  EXPECT_EQ(fs::status(dir.Native("曲.mp3")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Native()), {}), 1);
}

TEST(FilesReadWrite, WriteFileAtomicFailsCleanly) {
  TempFolder dir;
  fs::create_directory(dir.Native("sub"));
  dir.Write("sub/keep", "old");
  EXPECT_FALSE(platform::WriteFileAtomic(dir.Game("missing\\x.dat"), Bytes("x")));
  // Replacing a folder by a file fails, and the folder and its content stay as they were.
  EXPECT_FALSE(platform::WriteFileAtomic(dir.Game("sub"), Bytes("x")));
  EXPECT_TRUE(DirectoryExists(dir.Game("sub")));
  EXPECT_EQ(dir.Read("sub/keep"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Native()), {}), 1);
}

// Neither may hang or flood the reader: a FIFO without a writer, a link to an endless device.
TEST(FilesReadWrite, OnlyRegularFilesAreReadAndNeverPastTheLimit) {
  TempFolder dir;
  ASSERT_EQ(::mkfifo(dir.Native("pipe.mp3").c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", dir.Native("z.mid"));
  for (const char* name : {"pipe.mp3", "z.mid"}) {
    const platform::FileContents contents = platform::ReadFile(dir.Game(name));
    EXPECT_FALSE(contents.Ok()) << name;
    EXPECT_FALSE(contents.Missing()) << name;
    EXPECT_NE(contents.Reason().find(name), std::string::npos) << contents.Reason();
    EXPECT_FALSE(platform::OpenRegularFile(dir.Native(name))) << name;
  }
  EXPECT_TRUE(platform::ReadFile(dir.Game("absent")).Missing());

  dir.Write("big.ini", std::string(101, 'x'));
  EXPECT_FALSE(platform::ReadFile(dir.Game("big.ini"), 100).Ok());
  EXPECT_EQ(platform::ReadFile(dir.Game("big.ini"), 101)->size(), 101u);
  EXPECT_EQ(*platform::ReadFilePrefix(dir.Game("big.ini"), 10), Bytes("xxxxxxxxxx"));
}

TEST(FilesReadWrite, FilesReplacedTogetherAreAllReplacedOrNoneIs) {
  TempFolder dir;
  dir.Write("a.ini", "old a");
  dir.Write("b.dat", "old b");
  fs::create_directory(dir.Native("c.dat"));
  const std::string a = dir.Game("a.ini"), b = dir.Game("b.dat"), c = dir.Game("c.dat");
  const std::vector<std::uint8_t> newA = Bytes("new a"), newB = Bytes("new b");
  const std::vector<platform::FileReplacement> failing{{a, newA}, {b, newB}, {c, newB}};
  const std::string error = platform::ReplaceFiles(failing).Reason();
  EXPECT_NE(error.find("c.dat"), std::string::npos) << error;
  EXPECT_EQ(dir.Read("a.ini"), "old a");
  EXPECT_EQ(dir.Read("b.dat"), "old b");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Native()), {}), 3) << "temporary files are removed";

  const std::vector<platform::FileReplacement> both{{a, newA}, {b, newB}};
  EXPECT_TRUE(platform::ReplaceFiles(both));
  EXPECT_EQ(dir.Read("a.ini"), "new a");
  EXPECT_EQ(dir.Read("b.dat"), "new b");
}

// A rename refused part of the way (the folder taken away, a file locked on Windows): the
// files already renamed get their old content back, a new one goes, no temporary stays.
TEST(FilesReadWrite, ARenameFailingPartOfTheWayPutsTheEarlierFilesBack) {
  TempFolder dir;
  dir.Write("a.ini", "old a");
  dir.Write("b.dat", "old b");
  const std::string a = dir.Game("a.ini"), b = dir.Game("b.dat"), c = dir.Game("c.new");
  const std::vector<std::uint8_t> newA = Bytes("new a"), newB = Bytes("new b"), newC = Bytes("new c");
  const std::vector<platform::FileReplacement> files{{a, newA}, {c, newC}, {b, newB}};
  for (const int failing : {1, 2}) {
    int renames = 0;
    const auto move = [&](const std::string& temporary, const std::string& target) -> platform::Result<> {
      if (renames++ == failing) return platform::Failure{target + ": refused"};
      return platform::host::MoveIntoPlace(temporary, target);
    };
    const std::string error = platform::host::ReplaceFiles(files, move).Reason();
    EXPECT_NE(error.find("refused"), std::string::npos) << failing << ": " << error;
    EXPECT_EQ(dir.Read("a.ini"), "old a") << failing;
    EXPECT_EQ(dir.Read("b.dat"), "old b") << failing;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Native()), {}), 2) << failing;
  }
}
