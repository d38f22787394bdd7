#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <random>

#include "game_fixture.h"
#include "record_bytes.h"
#include "platform/codepage.h"
#include "platform/ini.h"

namespace {

constexpr const char* kRecord = "data/record1.dat";
constexpr const char* kSavedIdioms = "data/tuika.ini";

std::int32_t IntAt(const std::string& bytes, std::size_t at) {
  std::int32_t value;
  std::memcpy(&value, &bytes[at], sizeof value);
  return value;
}


void ExpectSameObject(const TGameObject& a, const TGameObject& b) {
  EXPECT_EQ(a.x, b.x);
  EXPECT_EQ(a.y, b.y);
  EXPECT_EQ(a.dx, b.dx);
  EXPECT_EQ(a.dy, b.dy);
  EXPECT_EQ(a.angle, b.angle);
  EXPECT_EQ(a.active, b.active);
  EXPECT_EQ(a.mode, b.mode);
}

class RecordTest : public GameTest {
 protected:
  // Five balls picked in the order 3, 0, 6, 1, 7: row 0 judged wrong, row 1 under way.
  static constexpr std::array<int, 5> kPicked{3, 0, 6, 1, 7};

  TForm1& Restart() {
    application.reset();
    return Start();
  }

  static void PlayIntoRound(TForm1& game) {
    game.NewRound();
    for (int k = 0; k < static_cast<int>(kPicked.size()); ++k) {
      TGameObject& b = game.ball[kPicked[k]];
      TAnswerSlot& slot = game.answerSlot[k / 4][k % 4];
      b = {slot.x, slot.y, 0, 0, 0, false, 0};
      slot.ch = game.ballChar[kPicked[k]];
      game.slotBall[k / 4][k % 4] = kPicked[k];
    }
    game.ball[2] = {201, 187, -3, 4, 0, true, 0};
    game.pickCount = 5;
    game.sharkX = 77;
    game.sharkY = 301;
    game.sharkAngle = 233;
    game.sharkDir = 1;
    game.rowResult = {2, 0};
    game.score = 12345;
    game.bestScore = 45678;
    game.answerTime = 41234;
    game.clockTicks = 17;
    game.correctCount = 12;
    game.comboCount = 3;
    game.gauge = 33;
    game.stage = 2;
    game.stageStartScore = 9000;
    game.stageStartGauge = 25;
  }

  // A valid saved game, as the file holds it.
  std::string SavedRecord() {
    TForm1& game = Restart();
    PlayIntoRound(game);
    game.SaveGame();
    application.reset();
    return folder.Read(kRecord);
  }

  void WriteUserIdioms(const std::vector<std::u16string>& lines) const {
    std::string bytes;
    for (int i = 0; i < 15; ++i) bytes += "#\r\n";
    for (const auto& line : lines) bytes += Sjis(line) + "\r\n";
    folder.Write("data/追加問題.txt", bytes);
  }

  std::u16string SavedIdiomValue(const char* section, const char* key) const {
    return platform::Cp932ToUtf16(
        GetPrivateProfileStringA(section, key, "(none)", folder.Game(Sjis(u"data\\tuika.ini"))));
  }

  // Starts a game on the given record and loads its saved game, as Y on the title does.
  TForm1& ResumeFrom(const std::string& record) {
    folder.Write(kRecord, record);
    TForm1& game = Restart();
    game.LoadGame();
    return game;
  }
};

}  // namespace

using RecordFile = RecordTest;

TEST_F(RecordFile, EveryFieldSitsAtItsOffset) {
  TForm1& game = Start();
  PlayIntoRound(game);
  game.SaveGame();
  const std::string bytes = folder.Read(kRecord);
  ASSERT_EQ(bytes.size(), 564u);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    const TGameObject& b = game.ball[i];
    EXPECT_EQ(IntAt(bytes, 28 * i + 0), b.x);
    EXPECT_EQ(IntAt(bytes, 28 * i + 4), b.y);
    EXPECT_EQ(IntAt(bytes, 28 * i + 8), b.dx);
    EXPECT_EQ(IntAt(bytes, 28 * i + 12), b.dy);
    EXPECT_EQ(bytes[28 * i + 20], b.active ? 1 : 0);
    EXPECT_EQ(IntAt(bytes, 28 * i + 16), 0);
    EXPECT_EQ(IntAt(bytes, 28 * i + 24), 0);
  }
  const std::vector<std::int32_t> shark{77, 301, 0, 0, 233};
  for (std::size_t k = 0; k < shark.size(); ++k) EXPECT_EQ(IntAt(bytes, 224 + 4 * k), shark[k]);
  EXPECT_EQ(bytes[244], 1) << "shark shown";
  EXPECT_EQ(IntAt(bytes, 248), 1) << "shark direction";
  EXPECT_EQ(IntAt(bytes, 252), 5);
  EXPECT_EQ(IntAt(bytes, 256), game.questionIndex[0]);
  EXPECT_EQ(IntAt(bytes, 260), game.questionIndex[1]);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(IntAt(bytes, 264 + 4 * i), game.ballCharPos[i]);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(IntAt(bytes, 296 + 4 * k), k < 5 ? kPicked[k] : -1);
  for (int i = 0; i < kBuiltinIdiomCount; ++i) EXPECT_EQ(bytes[328 + i], game.builtinUsed[i] ? 1 : 0);
  EXPECT_EQ(IntAt(bytes, 500), 2);
  EXPECT_EQ(IntAt(bytes, 504), 2);
  EXPECT_EQ(IntAt(bytes, 508), 0);
  EXPECT_EQ(IntAt(bytes, 512), -1);
  EXPECT_EQ(IntAt(bytes, 516), -1);
  EXPECT_EQ(IntAt(bytes, 520), 12345);
  EXPECT_EQ(IntAt(bytes, 524), 45678) << "best score";
  EXPECT_EQ(IntAt(bytes, 528), 41234);
  EXPECT_EQ(IntAt(bytes, 532), 17);
  EXPECT_EQ(IntAt(bytes, 536), 12) << "the correct count is the saved-game marker";
  EXPECT_EQ(IntAt(bytes, 540), 3);
  EXPECT_EQ(IntAt(bytes, 544), 33);
  EXPECT_EQ(IntAt(bytes, 548), 2);
  EXPECT_EQ(bytes[552], 0);
  EXPECT_EQ(IntAt(bytes, 556), 9000);
  EXPECT_EQ(IntAt(bytes, 560), 25);
}

TEST_F(RecordFile, ReservedBytesAreWrittenAsZeroEvenWhenTheFileReadHadOthers) {
  std::string record = SavedRecord();
  for (std::size_t at : {21u, 22u, 23u, 245u, 498u, 499u, 553u, 555u}) record[at] = '\x5A';
  folder.Write(kRecord, record);
  TForm1& game = Restart();
  ASSERT_TRUE(game.SavedGameIsValid()) << "reserved bytes are not examined";
  game.SaveGame();
  const std::string bytes = folder.Read(kRecord);
  for (std::size_t at : {21u, 22u, 23u, 245u, 498u, 499u, 553u, 555u}) EXPECT_EQ(bytes[at], 0) << at;
}

TEST_F(RecordFile, WriteRecordCarriesTheBestScoreInForceAndKeepsTheRest) {
  const std::string saved = SavedRecord();
  folder.Write(kRecord, saved);
  TForm1& game = Restart();
  game.setSavedMarker(-1);
  EXPECT_TRUE(game.WriteRecord());
  std::string expected = saved;
  PutInt(expected, 536, -1);
  EXPECT_EQ(folder.Read(kRecord), expected);
  game.bestScore = 99999;
  EXPECT_TRUE(game.WriteRecord());
  PutInt(expected, 524, 99999);
  EXPECT_EQ(folder.Read(kRecord), expected);
}

TEST_F(RecordFile, WithoutARecordTheFirstWriteCarriesTheDefaultBestScore) {
  TForm1& game = Start();
  game.setSavedMarker(-1);
  EXPECT_TRUE(game.WriteRecord());
  const std::string bytes = folder.Read(kRecord);
  ASSERT_EQ(bytes.size(), 564u);
  EXPECT_EQ(IntAt(bytes, 524), 20000);
  EXPECT_EQ(IntAt(bytes, 536), -1);
}

// A reader holding the old file still sees it whole: the new one replaces it by rename,
// and no temporary file is left beside it.
TEST_F(RecordFile, WritingReplacesTheFileAndNeverRewritesItInPlace) {
  const std::string old = SavedRecord();
  folder.Write(kRecord, old);
  std::ifstream reader(folder.Native(kRecord), std::ios::binary);
  TForm1& game = Restart();
  game.score = 777;
  game.SaveGame();
  const std::string current = folder.Read(kRecord);
  EXPECT_EQ(IntAt(current, 520), 777);
  const std::string seen{std::istreambuf_iterator<char>(reader), std::istreambuf_iterator<char>()};
  EXPECT_EQ(seen, old);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Native("data"))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"data.qda", "record1.dat"}));
}

using SavedGame = RecordTest;

TEST_F(SavedGame, ResumeRestoresEveryFieldAndSavesTheSameBytesAgain) {
  TForm1& before = Start();
  PlayIntoRound(before);
  before.SaveGame();
  const GameState saved = before;
  const std::string bytes = folder.Read(kRecord);

  TForm1& game = Restart();
  EXPECT_EQ(game.resumeState, -1);
  EXPECT_EQ(game.bestScore, 45678);
  game.LoadGame();
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    ExpectSameObject(game.ball[i], saved.ball[i]);
    EXPECT_EQ(game.ballChar[i], saved.ballChar[i]);
  }
  EXPECT_EQ(game.ballCharPos, saved.ballCharPos);
  EXPECT_EQ(game.question, saved.question);
  EXPECT_EQ(game.questionIndex, saved.questionIndex);
  EXPECT_EQ(game.meaningLine, saved.meaningLine);
  EXPECT_EQ(game.slotBall, saved.slotBall);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(game.answerSlot[k / 4][k % 4].ch, saved.answerSlot[k / 4][k % 4].ch) << k;
  EXPECT_EQ(game.sharkX, 77);
  EXPECT_EQ(game.sharkY, 301);
  EXPECT_EQ(game.sharkAngle, 233);
  EXPECT_EQ(game.sharkDir, 1);
  EXPECT_TRUE(game.sharkShown);
  EXPECT_EQ(game.pickCount, 5);
  EXPECT_EQ(game.builtinUsed, saved.builtinUsed);
  EXPECT_EQ(game.builtinUsedCount, 2);
  EXPECT_EQ(game.rowResult, saved.rowResult);
  EXPECT_EQ(game.rowMatch, saved.rowMatch);
  EXPECT_EQ(game.score, 12345);
  EXPECT_EQ(game.answerTime, 41234);
  EXPECT_EQ(game.clockTicks, 17);
  EXPECT_EQ(game.correctCount, 12);
  EXPECT_EQ(game.comboCount, 3);
  EXPECT_EQ(game.gauge, 33);
  EXPECT_EQ(game.stage, 2);
  EXPECT_FALSE(game.stageEnded);
  EXPECT_EQ(game.stageStartScore, 9000);
  EXPECT_EQ(game.stageStartGauge, 25);

  game.SaveGame();
  EXPECT_EQ(folder.Read(kRecord), bytes);
}

TEST_F(SavedGame, PickedBallsSitOnTheirSlotsAfterLoading) {
  std::string record = SavedRecord();
  PutInt(record, 28 * 6 + 4, 0);  // ball 6 is in row 1, column 0
  TForm1& game = ResumeFrom(record);
  EXPECT_EQ(game.ball[6].x, game.answerSlot[0][2].x);
  EXPECT_EQ(game.ball[6].y, game.answerSlot[0][2].y);
}

TEST_F(SavedGame, StageOneClearGoesOnToStageTwo) {
  TForm1& before = Start();
  PlayIntoRound(before);
  before.stage = 1;
  before.correctCount = 30;
  before.stageEnded = true;
  before.SaveGame();
  TForm1& game = ResumeFrom(folder.Read(kRecord));
  EXPECT_TRUE(game.stageEnded);
  EXPECT_EQ(game.pickCount, 8) << "so that Shift starts a new round";
}

// The gauge bar has an empty part at both ends of its range.
TEST_F(SavedGame, ResumeWithAnEmptyOrFullGauge) {
  for (const std::int32_t gauge : {0, 50}) {
    std::string record = SavedRecord();
    PutInt(record, 544, gauge);
    EXPECT_EQ(ResumeFrom(record).gauge, gauge);
  }
}

using SavedIdioms = RecordTest;

TEST_F(SavedIdioms, OnlyUserIdiomsOfTheRoundAreWrittenUnderTheirPosition) {
  WriteUserIdioms({u"甲乙丙丁", u"順番を表す言葉", u"こうおつへいてい"});
  TForm1& game = Start();
  PlayIntoRound(game);
  game.questionIndex[1] = kBuiltinIdiomCount;  // the round's second idiom is the user's
  game.question[1] = u"甲乙丙丁";
  game.SaveGame();
  EXPECT_EQ(SavedIdiomValue("1", "Jukugo"), u"甲乙丙丁");
  EXPECT_EQ(SavedIdiomValue("1", "Imi"), u"順番を表す言葉");
  EXPECT_EQ(SavedIdiomValue("1", "Yomi"), u"こうおつへいてい");
  EXPECT_EQ(SavedIdiomValue("0", "Jukugo"), u"(none)") << "a built-in idiom needs no section";
  EXPECT_EQ(IntAt(folder.Read(kRecord), 260), kBuiltinIdiomCount);
}

TEST_F(SavedIdioms, AUserIdiomGoneFromTheUserFileComesBackFromTheSavedRound) {
  WriteUserIdioms(
      {u"甲乙丙丁", u"順番を表す言葉", u"こうおつへいてい", u"東西南北", u"四つの方角", u"とうざいなんぼく"});
  TForm1& before = Start();
  PlayIntoRound(before);
  before.questionIndex[0] = kBuiltinIdiomCount + 1;
  before.question[0] = u"東西南北";
  before.SaveGame();
  const std::u16string characters = before.question[0] + before.question[1];

  WriteUserIdioms({u"春夏秋冬", u"四つの季節", u"しゅんかしゅうとう"});
  TForm1& game = ResumeFrom(folder.Read(kRecord));
  EXPECT_EQ(game.question[0], u"東西南北");
  EXPECT_EQ(game.questionIndex[0], kBuiltinIdiomCount + 1) << "appended after the one user idiom left";
  EXPECT_EQ(game.extraCount, 2);
  EXPECT_EQ(game.extraMeaning[1], u"四つの方角");
  EXPECT_EQ(game.extraReading[1], u"とうざいなんぼく");
  EXPECT_EQ(game.extraUsed, (std::vector<bool>{false, true}));
  EXPECT_EQ(game.extraUsedCount, 1);
  EXPECT_EQ(game.meaningLine[0], u"四つの方角");
  for (int i = 0; i < 8; ++i) EXPECT_EQ(game.ballChar[i], characters.substr(game.ballCharPos[i], 1)) << i;
}

TEST_F(SavedIdioms, MissingFileOrKeysGiveThePlaceholders) {
  std::string record = SavedRecord();
  PutInt(record, 256, kBuiltinIdiomCount + 4);
  // A section left from an earlier save belongs to the other position and is not read.
  folder.Write(kSavedIdioms, Sjis(u"[1]\r\nJukugo=東西南北\r\n"));
  TForm1& game = ResumeFrom(record);
  EXPECT_EQ(game.question[0], u"ことぶね");
  EXPECT_EQ(game.MeaningOf(game.questionIndex[0]), u"このゲーム");
  EXPECT_EQ(game.ReadingOf(game.questionIndex[0]), u"ことぶね");

  folder.Write(kSavedIdioms, Sjis(u"[0]\r\nImi=残った説明\r\n"));
  TForm1& other = ResumeFrom(record);
  EXPECT_EQ(other.question[0], u"ことぶね");
  EXPECT_EQ(other.MeaningOf(other.questionIndex[0]), u"残った説明");
  EXPECT_EQ(other.ReadingOf(other.questionIndex[0]), u"ことぶね");
}

// Lines of the user file are taken as they are, blanks and quotes included.
TEST_F(SavedIdioms, BlanksAndQuotesAroundTheTextsSurviveTheSavedRound) {
  WriteUserIdioms({u" 甲乙丙", u"\"引用\"", u" よみ "});
  TForm1& before = Start();
  PlayIntoRound(before);
  before.questionIndex[0] = kBuiltinIdiomCount;
  before.question[0] = u" 甲乙丙";
  before.SaveGame();
  WriteUserIdioms({});
  TForm1& game = ResumeFrom(folder.Read(kRecord));
  EXPECT_EQ(game.question[0], u" 甲乙丙");
  EXPECT_EQ(game.MeaningOf(game.questionIndex[0]), u"\"引用\"");
  EXPECT_EQ(game.ReadingOf(game.questionIndex[0]), u" よみ ");
}

TEST_F(SavedIdioms, AShortIdiomFromAnEditedFileLeavesItsBallsBlank) {
  std::string record = SavedRecord();
  PutInt(record, 260, kBuiltinIdiomCount);
  folder.Write(kSavedIdioms, Sjis(u"[1]\r\nJukugo=一\r\n"));
  TForm1& game = ResumeFrom(record);
  EXPECT_EQ(game.question[1], u"一");
  for (int i = 0; i < 8; ++i) {
    const int p = game.ballCharPos[i];
    EXPECT_EQ(game.ballChar[i].size(), p < 5 ? 1u : 0u) << i;
  }
}

using SavedGameValidity = RecordTest;

TEST_F(SavedGameValidity, ASavedGameOfPlayIsValidAndNoSavedGameIsNot) {
  const std::string record = SavedRecord();
  folder.Write(kRecord, record);
  EXPECT_TRUE(Restart().SavedGameIsValid());
  std::string none = record;
  PutInt(none, 536, -1);
  folder.Write(kRecord, none);
  EXPECT_FALSE(Restart().SavedGameIsValid());
}

TEST_F(SavedGameValidity, FieldsOutOfRangeOrDisagreeingMakeItInvalid) {
  const std::string valid = SavedRecord();
  const std::vector<std::pair<const char*, std::function<void(std::string&)>>> faults{
      {"ball far off the screen", [](std::string& r) { PutInt(r, 28 * 2, 1 << 30); }},
      {"ball too fast", [](std::string& r) { PutInt(r, 28 * 2 + 8, 5); }},
      {"active flag neither 0 nor 1", [](std::string& r) { r[28 * 2 + 20] = 2; }},
      {"shark angle beyond a turn", [](std::string& r) { PutInt(r, 224 + 16, 361); }},
      {"shark direction", [](std::string& r) { PutInt(r, 224 + 24, 2); }},
      {"pick count 9", [](std::string& r) { PutInt(r, 252, 9); }},
      {"pick count against the slots", [](std::string& r) { PutInt(r, 252, 4); }},
      {"question index negative", [](std::string& r) { PutInt(r, 256, -3); }},
      {"built-in question not marked asked",
       [](std::string& r) {
         r[328 + IntAt(r, 256)] = 0;
         PutInt(r, 500, 1);
       }},
      {"same built-in question twice", [](std::string& r) { PutInt(r, 260, IntAt(r, 256)); }},
      {"character position repeated", [](std::string& r) { PutInt(r, 264 + 4, IntAt(r, 264)); }},
      {"slot holds no ball", [](std::string& r) { PutInt(r, 296, 8); }},
      {"ball in two slots", [](std::string& r) { PutInt(r, 300, IntAt(r, 296)); }},
      {"picked ball still in the pool", [](std::string& r) { r[28 * 3 + 20] = 1; }},
      {"used count below its flags", [](std::string& r) { PutInt(r, 500, 1); }},
      {"used flag neither 0 nor 1", [](std::string& r) { r[328 + IntAt(r, 256)] = 7; }},
      {"row result 3", [](std::string& r) { PutInt(r, 504, 3); }},
      {"row match 2", [](std::string& r) { PutInt(r, 512, 2); }},
      {"score absurd", [](std::string& r) { PutInt(r, 520, 2000000000); }},
      {"answer time negative", [](std::string& r) { PutInt(r, 528, -5); }},
      {"clock ticks 40", [](std::string& r) { PutInt(r, 532, 40); }},
      {"correct count 31", [](std::string& r) { PutInt(r, 536, 31); }},
      {"thirty correct without the stage ended", [](std::string& r) { PutInt(r, 536, 30); }},
      {"stage ended before thirty", [](std::string& r) { r[552] = 1; }},
      {"stage 2 ended",
       [](std::string& r) {
         PutInt(r, 536, 30);
         r[552] = 1;
       }},
      {"combo negative", [](std::string& r) { PutInt(r, 540, -1); }},
      {"gauge 51", [](std::string& r) { PutInt(r, 544, 51); }},
      {"stage 3", [](std::string& r) { PutInt(r, 548, 3); }},
      {"stage-start gauge 60", [](std::string& r) { PutInt(r, 560, 60); }},
  };
  TForm1& game = Restart();
  for (const auto& [name, corrupt] : faults) {
    std::string record = valid;
    corrupt(record);
    std::memcpy(game.recordBuffer.data(), record.data(), kRecordSize);
    EXPECT_FALSE(game.SavedGameIsValid()) << name;
    // Loading it anyway leaves the fresh game as it was.
    const auto score = game.score;
    const auto pickCount = game.pickCount;
    game.LoadGame();
    EXPECT_EQ(game.score, score) << name;
    EXPECT_EQ(game.pickCount, pickCount) << name;
  }
}

TEST_F(SavedGameValidity, UserIdiomNumbersNeedNotExistAnyMore) {
  std::string record = SavedRecord();
  PutInt(record, 256, kBuiltinIdiomCount + 5000);
  folder.Write(kRecord, record);
  EXPECT_TRUE(Restart().SavedGameIsValid());
}

// Earlier builds let Shift start a first game at stage 0, and let a late row end a stage a
// second time; such saves are games of stage 1 with thirty correct rows.
TEST_F(SavedGameValidity, SavesOfEarlierFaultsAreResumedAsTheGameTheyWere) {
  std::string stageZero = SavedRecord();
  PutInt(stageZero, 548, 0);
  TForm1& fresh = ResumeFrom(stageZero);
  EXPECT_EQ(fresh.stage, 1);
  EXPECT_EQ(fresh.score, 12345);

  std::string endedTwice = SavedRecord();
  PutInt(endedTwice, 548, 1);
  PutInt(endedTwice, 536, 31);
  endedTwice[552] = 1;
  TForm1& ended = ResumeFrom(endedTwice);
  EXPECT_EQ(ended.correctCount, 30);
  EXPECT_TRUE(ended.stageEnded);
}

// What start-up does with the record it reads.
using SavedGameAtStartUp = RecordTest;

TEST_F(SavedGameAtStartUp, OversizedRecordIsReadByItsFirst564Bytes) {
  folder.Write(kRecord, SavedRecord() + std::string(100, '\xFF'));
  TForm1& game = Restart();
  EXPECT_EQ(game.resumeState, -1);
  EXPECT_EQ(game.bestScore, 45678);
  game.LoadGame();
  EXPECT_EQ(game.score, 12345);
}

TEST_F(SavedGameAtStartUp, InvalidSavedGameGivesNoResumeQuestionButKeepsTheBestScore) {
  std::string record = SavedRecord();
  PutInt(record, 500, 0);  // the used count no longer matches its flags
  folder.Write(kRecord, record);
  TForm1& game = Restart();
  EXPECT_EQ(game.resumeState, 0);
  EXPECT_LT(game.savedMarker(), 0);
  EXPECT_EQ(game.bestScore, 45678);
  RunFrames(100);
  EXPECT_EQ(game.messageText[0], Sjis(u"準備ができたらShiftキーを押してください。"));
}

// Whatever the bytes, loading is refused or yields a game whose next round can be drawn.
TEST_F(SavedGameValidity, DamagedRecordsNeverCrashOrHangTheNextRound) {
  const std::string valid = SavedRecord();
  TForm1& game = Restart();
  std::mt19937 random(5);
  int loaded = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    std::string record = valid;
    const bool noise = trial % 10 == 0;
    for (char& c : record) c = noise ? static_cast<char>(random()) : c;
    for (int flips = static_cast<int>(random() % 4) + 1; !noise && flips > 0; --flips) {
      // Small values keep more of the damaged records valid, which reaches further.
      record[random() % kRecordSize] = static_cast<char>(random() % 3 == 0 ? random() : random() % 3);
    }
    std::memcpy(game.recordBuffer.data(), record.data(), kRecordSize);
    if (!game.SavedGameIsValid()) continue;
    game.LoadGame();
    game.ResetRound();
    game.NewRound();
    ASSERT_EQ(game.builtinUsedCount, std::count(game.builtinUsed.begin(), game.builtinUsed.end(), true)) << trial;
    ++loaded;
  }
  EXPECT_GT(loaded, 100) << "too few damaged records were loadable to exercise loading";
}

// The least a hand-made record needs to be a saved game: a fresh round in stage 1.
TEST_F(SavedGameValidity, AHandMadeFreshRoundIsValid) {
  folder.Write(kRecord, RecordWith(20000, 7));
  EXPECT_TRUE(Start().SavedGameIsValid());
}
