// Saving when the disk, the folder or the files will not take it: nothing earlier is lost and
// the player is told.
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "game_fixture.h"
#include "platform/codepage.h"
#include "play_helpers.h"
#include "record_bytes.h"
#include "support/file_faults.h"

using namespace playtest;
using ::testing::HasSubstr;

namespace {

constexpr const char* kRecord = "data/record1.dat";
constexpr const char* kSavedIdioms = "data/tuika.ini";
constexpr WORD kKeyY = 'Y', kKeyN = 'N';

std::int32_t IntAt(const std::string& bytes, std::size_t at) {
  std::int32_t value = 0;
  std::memcpy(&value, &bytes[at], sizeof value);
  return value;
}

class SavingTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    LinkSoundEffects(folder);
  }

  void Press(WORD key) {
    headless::PostKeyDown(key);
    RunFrames(1);
  }

  // From the title into play, then Escape: the save question is open.
  TForm1& AskToQuit() {
    if (form == nullptr) Start();
    form->titleTicks = 99;
    RunFrames(1);
    Press(VK_SHIFT);
    RunFrames(2);
    Press(VK_ESCAPE);
    return *form;
  }

  // Y on the save question; what standard error said meanwhile.
  std::string AnswerYes() {
    ::testing::internal::CaptureStderr();
    Press(kKeyY);
    return ::testing::internal::GetCapturedStderr();
  }

  // A user idiom whose saved form is far longer than the record.
  void PutLongUserIdiomInTheRound() {
    std::string bytes;
    for (int i = 0; i < 15; ++i) bytes += "#\r\n";
    bytes += Sjis(u"長文熟語\r\n") + Sjis(std::u16string(300, u'意')) + "\r\n" + Sjis(u"ちょうぶん\r\n");
    folder.Write("data/追加問題.txt", bytes);
  }

  bool Closed() const { return application->Terminated(); }

  // The failure is told in the window, in the game's font, never in a system message box.
  void ExpectToldInTheWindow(std::string_view reason) const {
    EXPECT_TRUE(headless::TakeMessageBoxes().empty());
    EXPECT_THAT(platform::Cp932ToUtf8(form->promptNote), HasSubstr(reason));
  }

  std::vector<std::string> DataFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Native("data"))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

const std::string kEarlier = RecordWith(31000, -1);

}  // namespace

using SaveFailure = SavingTest;

TEST_F(SaveFailure, AFullDiskKeepsTheGameOpenAndTheEarlierRecordAndYTriesAgain) {
  folder.Write(kRecord, kEarlier);
  AskToQuit();
  const auto before = DataFolder();
  std::string said;
  {
    const FileSizeLimit full(100);
    said = AnswerYes();
  }
  EXPECT_THAT(said, HasSubstr("record1.dat"));
  EXPECT_THAT(said, HasSubstr(std::strerror(EFBIG)));
  ExpectToldInTheWindow("record1.dat");
  EXPECT_EQ(form->messageText[0], Sjis(u"ゲームを保存できませんでした。"));
  EXPECT_FALSE(Closed());
  EXPECT_EQ(folder.Read(kRecord), kEarlier);
  EXPECT_EQ(DataFolder(), before) << "no temporary file is left behind";

  AnswerYes();
  EXPECT_TRUE(Closed());
  EXPECT_GE(IntAt(folder.Read(kRecord), kSavedMarkerOffset), 0);
}

TEST_F(SaveFailure, AReadOnlyFolderIsReportedAndNQuitsWithoutSaving) {
  folder.Write(kRecord, kEarlier);
  AskToQuit();
  ::chmod(folder.Native("data").c_str(), 0555);
  std::string said;
  {
    const PermissionsEnforced enforced;
    said = AnswerYes();
  }
  ::chmod(folder.Native("data").c_str(), 0755);
  EXPECT_THAT(said, HasSubstr(std::strerror(EACCES)));
  ExpectToldInTheWindow(std::strerror(EACCES));
  EXPECT_FALSE(Closed());
  Press(kKeyN);
  EXPECT_TRUE(Closed());
  EXPECT_EQ(folder.Read(kRecord), kEarlier);
}

TEST_F(SaveFailure, ARecordThatIsAFolderIsReportedAndLeftAlone) {
  std::filesystem::create_directory(folder.Native(kRecord));
  AskToQuit();
  EXPECT_THAT(AnswerYes(), HasSubstr("record1.dat"));
  ExpectToldInTheWindow("record1.dat");
  EXPECT_FALSE(Closed());
  EXPECT_TRUE(std::filesystem::is_directory(folder.Native(kRecord)));
}

TEST_F(SaveFailure, AGameClearThatCannotBeWrittenIsReportedOnceAndPlayGoesOn) {
  folder.Write(kRecord, kEarlier);
  TForm1& game = Start();
  BeginPlay(game, 2);
  game.score = 99999;
  std::string said;
  {
    const FileSizeLimit full(100);
    ::testing::internal::CaptureStderr();
    game.ClearGame(headless::Now());
    said = ::testing::internal::GetCapturedStderr();
  }
  EXPECT_THAT(said, HasSubstr("record1.dat"));
  ExpectToldInTheWindow("record1.dat");
  EXPECT_TRUE(game.gameCleared);
  EXPECT_EQ(game.bestScore, 99999);
  EXPECT_EQ(folder.Read(kRecord), kEarlier);
  RunFrames(2);
  EXPECT_FALSE(Closed());
}

using SavePair = SavingTest;

TEST_F(SavePair, WhenTheIdiomsCannotBeWrittenTheRecordIsNotWrittenEither) {
  folder.Write(kRecord, kEarlier);
  PutLongUserIdiomInTheRound();
  TForm1& game = AskToQuit();
  game.questionIndex[0] = kBuiltinIdiomCount;
  std::string said;
  {
    // The record would fit; the idiom file does not.
    const FileSizeLimit full(kRecordSize + 16);
    said = AnswerYes();
  }
  EXPECT_THAT(said, HasSubstr("tuika.ini"));
  EXPECT_FALSE(Closed());
  EXPECT_EQ(folder.Read(kRecord), kEarlier);
  EXPECT_FALSE(std::filesystem::exists(folder.Native(kSavedIdioms)));

  AnswerYes();
  EXPECT_TRUE(Closed());
  EXPECT_EQ(IntAt(folder.Read(kRecord), 256), kBuiltinIdiomCount);
  EXPECT_THAT(folder.Read(kSavedIdioms), HasSubstr(Sjis(u"長文熟語")));
}

TEST_F(SavePair, AnIdiomFileThatCannotBeReadIsNeitherReplacedNorPartedFromTheRecord) {
  folder.Write(kRecord, kEarlier);
  folder.Write(kSavedIdioms, "[1]\r\nJukugo=x\r\n");
  ::chmod(folder.Native(kSavedIdioms).c_str(), 0);
  PutLongUserIdiomInTheRound();
  TForm1& game = AskToQuit();
  game.questionIndex[1] = kBuiltinIdiomCount;
  std::string said;
  {
    const PermissionsEnforced enforced;
    said = AnswerYes();
  }
  ::chmod(folder.Native(kSavedIdioms).c_str(), 0644);
  EXPECT_THAT(said, HasSubstr("tuika.ini"));
  EXPECT_EQ(folder.Read(kRecord), kEarlier);
  EXPECT_EQ(folder.Read(kSavedIdioms), "[1]\r\nJukugo=x\r\n");
}

// A save killed between its two renames: the new record beside the old idioms, and the new
// idioms whole in their temporary file.
TEST_F(SavePair, StartUpFinishesASaveCutShortBetweenItsRenamesAndOnlySuchASave) {
  PutLongUserIdiomInTheRound();
  TForm1& game = Start();
  game.questionIndex[0] = kBuiltinIdiomCount;
  game.extraMeaning[0] = u"first";
  game.score = 1;
  ASSERT_TRUE(game.SaveGame());
  const std::string firstRecord = folder.Read(kRecord), firstIdioms = folder.Read(kSavedIdioms);
  game.extraMeaning[0] = u"second";
  game.score = 2;
  ASSERT_TRUE(game.SaveGame());
  const std::string secondRecord = folder.Read(kRecord), secondIdioms = folder.Read(kSavedIdioms);
  application.reset();
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string leftover = "data/.tuika.ini." + std::to_string(child) + "-1";

  folder.Write(kSavedIdioms, firstIdioms);
  folder.Write(leftover, secondIdioms);
  Start();
  EXPECT_EQ(folder.Read(kSavedIdioms), secondIdioms);
  EXPECT_FALSE(std::filesystem::exists(folder.Native(leftover)));
  application.reset();

  // Killed before either rename: both files are still the first save's.
  folder.Write(kRecord, firstRecord);
  folder.Write(kSavedIdioms, firstIdioms);
  folder.Write(leftover, secondIdioms);
  Start();
  EXPECT_EQ(folder.Read(kSavedIdioms), firstIdioms);
  EXPECT_FALSE(std::filesystem::exists(folder.Native(leftover)));
  application.reset();

  // Idioms that are not the record's, and the leftover of another record's save: the
  // leftover is not taken for the missing half.
  folder.Write(kSavedIdioms, "[0]\r\nJukugo=x\r\n");
  folder.Write(leftover, secondIdioms);
  Start();
  EXPECT_EQ(folder.Read(kSavedIdioms), "[0]\r\nJukugo=x\r\n");
}

using RecordKept = SavingTest;

TEST_F(RecordKept, AnUnreadableRecordIsNeverOverwritten) {
  const std::string best = RecordWith(54321, -1);
  folder.Write(kRecord, best);
  ::chmod(folder.Native(kRecord).c_str(), 0);
  std::string said;
  {
    const PermissionsEnforced enforced;
    ::testing::internal::CaptureStderr();
    Start();
    said = ::testing::internal::GetCapturedStderr();
  }
  EXPECT_THAT(said, HasSubstr("record1.dat"));
  EXPECT_THAT(said, HasSubstr(std::strerror(EACCES)));
  form->titleTicks = 99;
  RunFrames(1);
  EXPECT_THAT(form->messageText[1], HasSubstr(Sjis(u"記録を読めない"))) << "the title says it too";
  TForm1& game = AskToQuit();
  EXPECT_THAT(AnswerYes(), HasSubstr("record1.dat"));
  EXPECT_FALSE(Closed());
  game.score = 99999;
  game.ClearGame(headless::Now());
  ::chmod(folder.Native(kRecord).c_str(), 0644);
  EXPECT_EQ(folder.Read(kRecord), best);
}

TEST_F(RecordKept, AHugeSparseRecordIsReadByItsFirstBytes) {
  folder.Write(kRecord, RecordWith(54321, -1));
  std::filesystem::resize_file(folder.Native(kRecord), std::uintmax_t{40} << 30);
  EXPECT_EQ(Start().bestScore, 54321);
}

TEST_F(RecordKept, IntegersAreStoredLittleEndian) {
  TForm1& game = AskToQuit();
  game.score = 0x01020304;
  game.bestScore = -2;
  AnswerYes();
  const std::string bytes = folder.Read(kRecord);
  EXPECT_EQ(bytes.substr(520, 8), std::string("\x04\x03\x02\x01\xFE\xFF\xFF\xFF", 8));

  std::string record = RecordWith(0, -1);
  record.replace(kBestScoreOffset, 4, "\x31\xD4\x00\x00", 4);  // 54321
  folder.Write(kRecord, record);
  application.reset();
  EXPECT_EQ(Start().bestScore, 54321);
}

using LeftoverTemporaries = SavingTest;

TEST_F(LeftoverTemporaries, OnlyOurOwnRegularFilesFromEndedWritersAreRemoved) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string ended = std::to_string(child), running = std::to_string(::getpid());
  for (const std::string& name : {".record1.dat." + ended + "-123", ".tuika.ini." + ended + "-9",
                                 ".record1.dat." + running + "-5", std::string(".record1.dat.backup"), ".other.dat." + ended + "-1"}) {
    folder.Write("data/" + name, "x");
  }
  std::filesystem::create_directory(folder.Native("data/.tuika.ini." + ended + "-7"));
  Start();
  const std::vector<std::string> expected{".other.dat." + ended + "-1", ".record1.dat." + running + "-5",
                                          ".record1.dat.backup", ".tuika.ini." + ended + "-7", "data.qda"};
  std::vector<std::string> names = DataFolder();
  std::erase_if(names, [](const std::string& name) { return name.ends_with(".wav"); });
  EXPECT_EQ(names, expected);
}

using PackSave = SavingTest;

// To the saved game a pack idiom is a user idiom: its round comes back through tuika.ini even
// when the pack is gone.
TEST_F(PackSave, OnlyPackIdiomsAreAskedAndASavedRoundOfThemResumesWithoutThePack) {
  std::filesystem::create_directories(folder.Native("data/packs"));
  std::string pack;
  for (int i = 0; i < 15; ++i) pack += "header\r\n";
  pack += "花鳥風月\r\nbeauties of nature\r\nかちょうふうげつ\r\n時々刻々\r\nhour by hour\r\nじじこっこく\r\n"
          "一石二鳥\r\ntwo birds with one stone; a double gain\r\nいっせきにちょう\r\n";
  folder.Write("data/packs/edict-en.txt", pack);
  folder.Write("data/settei.ini", "[Dictionary]\r\nPack=edict-en\r\nBuiltin=0\r\n");
  headless::SetClockSeed(11);
  TForm1& game = AskToQuit();
  for (int q = 0; q < 2; ++q) EXPECT_GE(game.questionIndex[q], kBuiltinIdiomCount);
  const auto asked = game.question;
  const auto lines = game.meaningLine;
  AnswerYes();
  ASSERT_TRUE(Closed());

  std::filesystem::remove(folder.Native("data/packs/edict-en.txt"));
  application.reset();
  ::testing::internal::CaptureStderr();
  Start();
  ::testing::internal::GetCapturedStderr();
  form->titleTicks = 99;
  RunFrames(1);
  Press(kKeyY);
  EXPECT_EQ(form->question, asked);
  EXPECT_EQ(form->meaningLine, lines);
  EXPECT_EQ(form->extraCount, 2);
}
