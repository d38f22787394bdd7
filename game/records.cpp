// The record file holds the best score and at most one saved game; its layout is fixed
// (564 bytes, little-endian 32-bit integers) and must stay readable by every earlier build.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <span>

#include "GameAssets.h"
#include "Unit1.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/ini.h"

namespace {

constexpr std::size_t kObjectSize = 28;
constexpr int kBallCount = 8;
constexpr std::int32_t kClockPeriod = 40;
constexpr std::int32_t kSharkFullTurn = 360;
// Far beyond anything play can reach, yet small enough that no later sum overflows.
constexpr std::int32_t kScoreCeiling = 99999999;
constexpr std::int32_t kAnswerTimeCeiling = 3600000;
constexpr std::int32_t kPositionFloor = -640, kPositionCeiling = 1280;
constexpr std::int32_t kBallSpeedLimit = 4;

// The saved game as the record stores it. The shark is kept in the object layout.
struct SavedGame {
  std::array<TGameObject, kBallCount> ball{};
  TGameObject shark{};
  std::int32_t pickCount = 0;
  std::array<std::int32_t, 2> questionIndex{};
  std::array<std::int32_t, kRoundLength> ballCharPos{};
  std::array<std::array<std::int32_t, kIdiomLength>, 2> slotBall{};
  std::array<bool, kBuiltinIdiomCount> builtinUsed{};
  std::int32_t builtinUsedCount = 0;
  std::array<std::int32_t, 2> rowResult{}, rowMatch{};
  std::int32_t score = 0, answerTime = 0, clockTicks = 0, correctCount = 0, comboCount = 0, gauge = 0, stage = 0;
  bool stageEnded = false;
  std::int32_t stageStartScore = 0, stageStartGauge = 0;
};

using RecordBytes = std::array<std::uint8_t, kRecordSize>;

class RecordWriter {
 public:
  explicit RecordWriter(RecordBytes& bytes) : bytes_(bytes) {}
  void Int(std::size_t at, std::int32_t value) { PutRecordInt(&bytes_[at], value); }
  void Flag(std::size_t at, bool value) { bytes_[at] = value ? 1 : 0; }

 private:
  RecordBytes& bytes_;
};

class RecordReader {
 public:
  explicit RecordReader(const RecordBytes& bytes) : bytes_(bytes) {}
  void Int(std::size_t at, std::int32_t& value) { value = RecordInt(&bytes_[at]); }
  // Only 0 and 1 were ever written; anything else means the bytes are not a saved game.
  void Flag(std::size_t at, bool& value) {
    value = bytes_[at] != 0;
    wellFormed_ = wellFormed_ && bytes_[at] <= 1;
  }
  bool WellFormed() const { return wellFormed_; }

 private:
  const RecordBytes& bytes_;
  bool wellFormed_ = true;
};

template <class Io, class Object>
void ObjectLayout(Io& io, std::size_t at, Object& object) {
  io.Int(at + 0, object.x);
  io.Int(at + 4, object.y);
  io.Int(at + 8, object.dx);
  io.Int(at + 12, object.dy);
  io.Int(at + 16, object.angle);
  io.Flag(at + 20, object.active);
  io.Int(at + 24, object.mode);
}

template <class Io, class Values>
void IntsLayout(Io& io, std::size_t at, Values& values) {
  for (std::size_t i = 0; i < values.size(); ++i) io.Int(at + 4 * i, values[i]);
}

// The one description of where each field lives; saving and loading both walk it. The best
// score (524) belongs to the record rather than to the saved game and is not listed here.
template <class Io, class Saved>
void SavedGameLayout(Io& io, Saved& saved) {
  for (std::size_t i = 0; i < saved.ball.size(); ++i) ObjectLayout(io, kObjectSize * i, saved.ball[i]);
  ObjectLayout(io, 224, saved.shark);
  io.Int(252, saved.pickCount);
  IntsLayout(io, 256, saved.questionIndex);
  IntsLayout(io, 264, saved.ballCharPos);
  IntsLayout(io, 296, saved.slotBall[0]);
  IntsLayout(io, 312, saved.slotBall[1]);
  for (std::size_t i = 0; i < saved.builtinUsed.size(); ++i) io.Flag(328 + i, saved.builtinUsed[i]);
  io.Int(500, saved.builtinUsedCount);
  IntsLayout(io, 504, saved.rowResult);
  IntsLayout(io, 512, saved.rowMatch);
  io.Int(520, saved.score);
  io.Int(528, saved.answerTime);
  io.Int(532, saved.clockTicks);
  io.Int(kSavedMarkerOffset, saved.correctCount);
  io.Int(540, saved.comboCount);
  io.Int(544, saved.gauge);
  io.Int(548, saved.stage);
  io.Flag(552, saved.stageEnded);
  io.Int(556, saved.stageStartScore);
  io.Int(560, saved.stageStartGauge);
}

// Earlier builds saved a game begun before the title prompt as stage 0, and a stage that a
// late row ended a second time with 31 correct rows; both go on as the game they were.
void MendEarlierSaves(SavedGame& saved) {
  if (saved.stage == 0) saved.stage = 1;
  if (saved.stageEnded && saved.correctCount == kCorrectPerStage + 1) saved.correctCount = kCorrectPerStage;
}

std::optional<SavedGame> DecodeSavedGame(const RecordBytes& bytes) {
  SavedGame saved;
  RecordReader reader(bytes);
  SavedGameLayout(reader, saved);
  if (!reader.WellFormed()) return std::nullopt;
  MendEarlierSaves(saved);
  return saved;
}

SavedGame CaptureSavedGame(const GameState& game) {
  SavedGame saved;
  saved.ball = game.ball;
  // The shark never moves by dx and dy, so they are stored as 0.
  saved.shark = {game.sharkX, game.sharkY, 0, 0, game.sharkAngle, game.sharkShown, game.sharkDir};
  saved.pickCount = game.pickCount;
  saved.questionIndex = game.questionIndex;
  saved.ballCharPos = game.ballCharPos;
  saved.slotBall = game.slotBall;
  saved.builtinUsed = game.builtinUsed;
  saved.builtinUsedCount = game.builtinUsedCount;
  saved.rowResult = game.rowResult;
  saved.rowMatch = game.rowMatch;
  saved.score = game.score;
  saved.answerTime = game.answerTime;
  saved.clockTicks = game.clockTicks;
  saved.correctCount = game.correctCount;
  saved.comboCount = game.comboCount;
  saved.gauge = game.gauge;
  saved.stage = game.stage;
  saved.stageEnded = game.stageEnded;
  saved.stageStartScore = game.stageStartScore;
  saved.stageStartGauge = game.stageStartGauge;
  return saved;
}

bool InRange(std::int32_t value, std::int32_t low, std::int32_t high) { return value >= low && value <= high; }

// Positions far off the screen would overflow the squared distances of the collision tests.
bool PositionIsSane(const TGameObject& object) {
  return InRange(object.x, kPositionFloor, kPositionCeiling) && InRange(object.y, kPositionFloor, kPositionCeiling);
}

bool BallsAreSane(const SavedGame& saved) {
  return std::all_of(saved.ball.begin(), saved.ball.end(), [](const TGameObject& ball) {
    return PositionIsSane(ball) && InRange(ball.dx, -kBallSpeedLimit, kBallSpeedLimit) &&
           InRange(ball.dy, -kBallSpeedLimit, kBallSpeedLimit);
  });
}

bool SharkIsSane(const TGameObject& shark) {
  return PositionIsSane(shark) && InRange(shark.angle, 0, kSharkFullTurn) && InRange(shark.mode, 0, 1);
}

bool IsPermutationOfRound(const std::array<std::int32_t, kRoundLength>& positions) {
  std::array<bool, kRoundLength> seen{};
  for (const std::int32_t p : positions) {
    if (!InRange(p, 0, kRoundLength - 1) || seen[p]) return false;
    seen[p] = true;
  }
  return true;
}

// Picks fill the slots in order, each with a different ball, and exactly the picked balls
// have left the pool.
bool SlotsAgreeWithPicks(const SavedGame& saved) {
  if (!InRange(saved.pickCount, 0, kRoundLength)) return false;
  std::array<bool, kBallCount> picked{};
  for (int k = 0; k < kRoundLength; ++k) {
    const std::int32_t b = saved.slotBall[k / kIdiomLength][k % kIdiomLength];
    if (k >= saved.pickCount) {
      if (b != -1) return false;
      continue;
    }
    if (!InRange(b, 0, kBallCount - 1) || picked[b]) return false;
    picked[b] = true;
  }
  for (int i = 0; i < kBallCount; ++i) {
    if (saved.ball[i].active == picked[i]) return false;
  }
  return true;
}

// A count below its true flags would leave the question picker looking for an unasked
// idiom that does not exist.
bool QuestionsAgreeWithFlags(const SavedGame& saved) {
  const auto asked = std::count(saved.builtinUsed.begin(), saved.builtinUsed.end(), true);
  if (saved.builtinUsedCount != asked) return false;
  for (const std::int32_t index : saved.questionIndex) {
    if (index < 0) return false;
    // User idioms come back by their text, whatever their number was.
    if (index < kBuiltinIdiomCount && !saved.builtinUsed[index]) return false;
  }
  const bool bothBuiltin = saved.questionIndex[0] < kBuiltinIdiomCount && saved.questionIndex[1] < kBuiltinIdiomCount;
  return !(bothBuiltin && saved.questionIndex[0] == saved.questionIndex[1]);
}

bool RowsAreSane(const SavedGame& saved) {
  return std::all_of(saved.rowResult.begin(), saved.rowResult.end(), [](auto r) { return InRange(r, 0, 2); }) &&
         std::all_of(saved.rowMatch.begin(), saved.rowMatch.end(), [](auto m) { return InRange(m, -1, 1); });
}

// A stage ends at exactly the thirtieth correct row; any other pairing would never end the
// stage again. A cleared stage 2 is a cleared game, which cannot be saved.
bool StageIsSane(const SavedGame& saved) {
  return InRange(saved.stage, 1, 2) && InRange(saved.correctCount, 0, kCorrectPerStage) &&
         saved.stageEnded == (saved.correctCount == kCorrectPerStage) && (!saved.stageEnded || saved.stage == 1) &&
         InRange(saved.comboCount, 0, kCorrectPerStage) && InRange(saved.gauge, 0, kGaugeFull) &&
         InRange(saved.stageStartGauge, 0, kGaugeFull) && InRange(saved.score, 0, kScoreCeiling) &&
         InRange(saved.stageStartScore, 0, kScoreCeiling);
}

bool ClockIsSane(const SavedGame& saved) {
  return InRange(saved.answerTime, 0, kAnswerTimeCeiling) && InRange(saved.clockTicks, 0, kClockPeriod - 1);
}

bool IsPlayable(const SavedGame& saved) {
  return BallsAreSane(saved) && SharkIsSane(saved.shark) && IsPermutationOfRound(saved.ballCharPos) &&
         SlotsAgreeWithPicks(saved) && QuestionsAgreeWithFlags(saved) && RowsAreSane(saved) && StageIsSane(saved) &&
         ClockIsSane(saved);
}

// Nothing when the record holds no saved game (its marker, the correct count, is negative)
// or one that play could not have produced.
std::optional<SavedGame> PlayableSavedGame(const RecordBytes& bytes) {
  auto saved = DecodeSavedGame(bytes);
  if (saved && !IsPlayable(*saved)) saved.reset();
  return saved;
}

// The profile reader strips blanks and one pair of quotes around a value: quote a value
// that would otherwise lose them.
std::string ProfileValue(const std::u16string& text) {
  std::string value = Sjis(text);
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  const bool looksQuoted =
      value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
  if (!value.empty() && (isBlank(value.front()) || isBlank(value.back()) || looksQuoted)) value = '"' + value + '"';
  return value;
}

std::u16string ProfileText(const std::string& section, const char* key, std::u16string_view fallback,
                           const std::string& fileName) {
  return platform::Cp932ToUtf16(GetPrivateProfileStringA(section, key, Sjis(fallback), fileName));
}

// The saved idioms carry a check of the record saved with them, so that start-up can tell
// whether the two are still one pair.
constexpr const char* kPairSection = "Kiroku";
constexpr const char* kPairKey = "Check";

std::string PairCheck(std::span<const std::uint8_t> record) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const std::uint8_t byte : record) hash = (hash ^ byte) * 1099511628211ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

std::string PairCheckOf(const std::string& idiomFile) {
  return GetPrivateProfileStringA(kPairSection, kPairKey, "", idiomFile);
}

std::vector<ProfileEntry> SavedIdiomEntries(const TForm1& game) {
  std::vector<ProfileEntry> entries;
  for (int j = 0; j < 2; ++j) {
    const std::int32_t index = game.questionIndex[j];
    if (index < kBuiltinIdiomCount) continue;
    const std::string section = std::to_string(j);
    entries.push_back({section, "Jukugo", ProfileValue(game.IdiomOf(index))});
    entries.push_back({section, "Imi", ProfileValue(game.MeaningOf(index))});
    entries.push_back({section, "Yomi", ProfileValue(game.ReadingOf(index))});
  }
  return entries;
}

void RestoreField(TForm1& game, const SavedGame& saved) {
  game.ball = saved.ball;
  game.ballCharPos = saved.ballCharPos;
  game.sharkX = saved.shark.x;
  game.sharkY = saved.shark.y;
  game.sharkAngle = saved.shark.angle;
  game.sharkShown = saved.shark.active;
  game.sharkDir = saved.shark.mode;
  game.pickCount = saved.pickCount;
  game.slotBall = saved.slotBall;
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < kIdiomLength; ++c) {
      const std::int32_t b = game.slotBall[r][c];
      if (b < 0 || game.ball[b].active) continue;
      // The x is the slot's already; taking both keeps a ball on its slot if the layout moved.
      game.ball[b].x = game.answerSlot[r][c].x;
      game.ball[b].y = game.answerSlot[r][c].y;
    }
  }
}

void RestoreQuestions(TForm1& game, const SavedGame& saved) {
  const std::string fileName = game.exeDir + kSavedIdiomFile;
  for (int j = 0; j < 2; ++j) {
    const std::int32_t index = saved.questionIndex[j];
    game.questionIndex[j] = index;
    if (index < kBuiltinIdiomCount) {
      game.question[j] = game.idiomText[index];
      continue;
    }
    const std::string section = std::to_string(j);
    game.AdoptSavedIdiom(j, ProfileText(section, "Jukugo", u"ことぶね", fileName),
                         ProfileText(section, "Imi", u"このゲーム", fileName),
                         ProfileText(section, "Yomi", u"ことぶね", fileName));
  }
}

// An idiom from a hand-edited saved-idiom file may be short; its missing characters stay blank.
void DealSavedCharacters(TForm1& game) {
  const std::u16string s = game.question[0] + game.question[1];
  for (int k = 0; k < kBallCount; ++k) {
    const auto p = static_cast<std::size_t>(game.ballCharPos[k]);
    game.ballChar[k] = p < s.size() ? s.substr(p, 1) : std::u16string();
    game.RenderBallChar(k);
  }
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < kIdiomLength; ++c) {
      const std::int32_t b = game.slotBall[r][c];
      game.answerSlot[r][c].ch = b < 0 ? std::u16string() : game.ballChar[b];
    }
  }
}

void RestoreCounters(GameState& game, const SavedGame& saved) {
  game.builtinUsed = saved.builtinUsed;
  game.builtinUsedCount = saved.builtinUsedCount;
  game.rowResult = saved.rowResult;
  game.rowMatch = saved.rowMatch;
  game.score = saved.score;
  game.answerTime = saved.answerTime;
  game.clockTicks = saved.clockTicks;
  game.correctCount = saved.correctCount;
  game.comboCount = saved.comboCount;
  game.gauge = saved.gauge;
  game.stage = saved.stage;
  game.stageEnded = saved.stageEnded;
  // Shift then goes on to stage 2 with a new round.
  if (game.stage == 1 && game.stageEnded) game.pickCount = kRoundLength;
  game.stageStartScore = saved.stageStartScore;
  game.stageStartGauge = saved.stageStartGauge;
}

}  // namespace

platform::Result<> TForm1::WriteRecord() {
  PutRecordInt(&recordBuffer[kBestScoreOffset], bestScore);
  if (RecordIsKept()) return KeptRecordFailure();
  const std::string fileName = exeDir + kRecordFile;
  const platform::FileReplacement record{fileName, recordBuffer};
  return platform::ReplaceFiles({&record, 1});
}

platform::Failure TForm1::KeptRecordFailure() const {
  return {recordUnreadable + ": kept as it is, since it could not be read"};
}

// The round and its user idioms are written as one pair: both files in full before either
// replaces its old one, so a resumed round never meets another round's idioms.
bool TForm1::SaveGame() {
  const SavedGame saved = CaptureSavedGame(*this);
  recordBuffer.fill(0);
  RecordWriter writer(recordBuffer);
  SavedGameLayout(writer, saved);
  PutRecordInt(&recordBuffer[kBestScoreOffset], bestScore);
  const platform::Result<> written = WriteRecordWithIdioms();
  if (written) return true;
  ReportSaveFailure(written.Reason());
  return false;
}

platform::Result<> TForm1::WriteRecordWithIdioms() {
  if (RecordIsKept()) return KeptRecordFailure();
  const std::string idiomFile = exeDir + kSavedIdiomFile, recordFile = exeDir + kRecordFile;
  // The record goes first: should the idioms' rename never happen, start-up finishes it.
  std::vector<platform::FileReplacement> files{{recordFile, recordBuffer}};
  std::vector<ProfileEntry> entries = SavedIdiomEntries(*this);
  if (entries.empty()) return platform::ReplaceFiles(files);
  entries.push_back({kPairSection, kPairKey, PairCheck(recordBuffer)});
  const auto idioms = ProfileWithEntries(idiomFile, entries);
  if (!idioms) return idioms.Why();
  files.push_back({idiomFile, *idioms});
  return platform::ReplaceFiles(files);
}

void TForm1::ReportSaveFailure(const std::string& reason) {
  std::fprintf(stderr, "ことぶね: could not save: %s\n", reason.c_str());
  std::fflush(stderr);
  ShowPromptNote(u"保存できませんでした：", platform::Cp932ToUtf16(platform::Utf8ToCp932Lossy(reason)));
}

// A save ended between its two renames leaves the new record beside the old idioms, and the
// new idioms, written in full, in a temporary file: that file is put in place.
void TForm1::FinishInterruptedSave() {
  const platform::FileContents record = platform::ReadFilePrefix(exeDir + kRecordFile, kRecordSize);
  if (!record || record->size() != static_cast<std::size_t>(kRecordSize)) return;
  const std::string check = PairCheck(*record), idiomFile = exeDir + kSavedIdiomFile;
  if (PairCheckOf(idiomFile) == check) return;
  for (const std::string& leftover : platform::LeftoverTemporaries(exeDir + "data", "tuika.ini")) {
    if (PairCheckOf(leftover) != check) continue;
    // Should this fail too, the next start tries again.
    if (const auto bytes = platform::ReadFileBytes(leftover)) (void)platform::WriteFileAtomic(idiomFile, *bytes);
    return;
  }
}

bool TForm1::SavedGameIsValid() const { return PlayableSavedGame(recordBuffer).has_value(); }

void TForm1::LoadGame() {
  const auto saved = PlayableSavedGame(recordBuffer);
  if (!saved) return;
  RestoreField(*this, *saved);
  RestoreQuestions(*this, *saved);
  SplitMeanings();
  DealSavedCharacters(*this);
  RestoreCounters(*this, *saved);
  RenderText(*texScore, Sjis(u"得点:") + PadNumber(score), *writerSmall);
  RenderAnswerClock();
  RenderCounter(*texCorrect, u"正解:", correctCount);
  RenderCounter(*texCombo, u"連続正解:", comboCount);
  DrawGauge();
  RenderCounter(*texStage, u"STAGE ", stage);
  if (pickCount < kRoundLength && !stageEnded) OpenStudyRound();
}
