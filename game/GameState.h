#pragma once
// The whole state of the one game. The window owns it; every handler works on it by name.
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "StudyRecord.h"
#include "platform/vbmp3.h"
#include "platform/wintypes.h"

// One layout for balls, shots, the target, explosions and the shark; stored as is in the
// record file (28 bytes).
struct TGameObject {
  std::int32_t x = 0, y = 0, dx = 0, dy = 0;
  std::int32_t angle = 0;
  bool active = false;
  std::int32_t mode = 0;
};
static_assert(sizeof(TGameObject) == 28);

struct TAnswerSlot {
  std::int32_t x = 0, y = 0;
  std::u16string ch;
};

constexpr int kBuiltinIdiomCount = 170;
constexpr int kIdiomLength = 4;
constexpr int kRoundLength = 2 * kIdiomLength;  // two idioms, one character per ball
constexpr std::int32_t kCorrectPerStage = 30;
constexpr std::int32_t kGaugeFull = 50;
constexpr std::int32_t kAnswerTimeLimit = 60000;  // ms to answer a row before the shark is lost
constexpr int kRecordSize = 564;
constexpr int kBestScoreOffset = 524;
constexpr int kSavedMarkerOffset = 536;
constexpr std::int32_t kDefaultBestScore = 20000;
constexpr std::int32_t kFullVolume = 100;

// The record's integers are little-endian on every host.
inline std::int32_t RecordInt(const std::uint8_t* bytes) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                   static_cast<std::uint32_t>(bytes[2]) << 16 |
                                   static_cast<std::uint32_t>(bytes[3]) << 24);
}
inline void PutRecordInt(std::uint8_t* bytes, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// Pages beside the title (the review also over a game waiting for Shift). While one is open,
// what lies under it waits exactly where it was: no frame of it runs, and no key or pointer
// reaches it.
enum class Page { None, Help, Settings, Review };

struct GameState {
  // System and timing
  std::string exeDir;
  DWORD lastFrameTime = 0;
  std::int32_t screenWidth = 0, screenHeight = 0;
  std::mt19937 randomGenerator;

  // Round and question
  std::array<TGameObject, 8> ball{};
  std::array<std::u16string, 8> ballChar;
  std::array<std::int32_t, 8> ballCharPos{};
  std::array<std::u16string, 2> question;
  std::array<std::int32_t, 2> questionIndex{};
  std::array<std::u16string, 6> meaningLine;
  std::array<std::array<TAnswerSlot, 4>, 2> answerSlot{};
  std::array<std::array<std::int32_t, 4>, 2> slotBall{};
  std::int32_t pickCount = 0;
  std::array<TGameObject, 8> shot{};
  std::int32_t targetX = 0, targetY = 0;
  bool targetShown = false;
  std::int32_t sharkX = 0, sharkY = 0, sharkAngle = 0;
  bool sharkShown = false;
  std::int32_t sharkDir = 0;

  // Dictionary
  std::array<std::u16string, kBuiltinIdiomCount> idiomText, idiomMeaning, idiomReading;
  std::array<bool, kBuiltinIdiomCount> builtinUsed{};
  std::int32_t builtinUsedCount = 0;
  std::int32_t extraCount = 0;
  std::vector<std::u16string> extraIdiom, extraMeaning, extraReading;
  std::vector<bool> extraUsed;
  std::int32_t extraUsedCount = 0;
  // settei.ini [Dictionary]: Builtin=0 asks only the user's and the packs' idioms.
  bool builtinsAsked = true;
  // Hints=en: the English gloss shown for a built-in idiom instead of its meaning; empty if none.
  std::array<std::u16string, kBuiltinIdiomCount> idiomHint;

  // Score, stage and flow
  std::int32_t score = 0;
  std::int32_t bestScore = 0;
  std::int32_t correctCount = 0;
  std::int32_t comboCount = 0;
  std::int32_t stage = 0;
  std::int32_t gauge = 20;
  bool titlePhase = false;
  std::int32_t titleTicks = 0;
  bool bgmReady = false;
  bool startPromptShown = false, startPromptLive = false;
  std::int32_t resumeState = 0;
  bool quitRequested = false;
  bool stageEnded = false;
  bool gameCleared = false;
  DWORD gameClearTime = 0;
  bool paradeStarted = false;
  std::array<std::string, 2> messageText;
  std::string promptNote;  // drawn above the prompt lines while not empty
  bool playing = false;
  bool paused = false;
  bool gameOver = false;
  bool sharkDying = false;
  std::array<std::int32_t, 2> rowResult{};
  std::array<std::int32_t, 2> rowMatch{-1, -1};
  bool judgeShown = false;
  DWORD judgeShownAt = 0;
  bool clockRunning = false;
  DWORD clockLast = 0;
  std::int32_t answerTime = 0;
  std::int32_t clockTicks = 0;
  std::array<TGameObject, 16> explosion{};
  std::array<DWORD, 16> explosionStart{};
  bool recordBlink = false, recordBlinkOn = false;
  DWORD recordBlinkAt = 0;
  std::int32_t stageStartScore = 0, stageStartGauge = 20;

  // Music
  bool musicOn = false;
  // 0..kFullVolume, from [Sound] of settei.ini; full plays each as loud as it was made.
  std::int32_t musicVolume = kFullVolume, effectsVolume = kFullVolume;
  // The settings page's chosen line, and whether its last change could not be written.
  std::int32_t chosenSetting = 0;
  bool settingsUnsaved = false;
  std::string bgmPath;
  std::string musicFolder;
  bool shuffleMode = false;
  std::vector<std::string> trackNames;
  std::vector<bool> trackPlayed;
  std::int32_t trackCount = 0;
  std::int32_t playedCount = 0;
  std::int32_t midiPollTicks = 0;
  std::array<std::uint8_t, kVbmp3InfoSize> mp3Info{};
  DWORD mp3StartTime = 0;

  // Record image of data\record1.dat
  std::array<std::uint8_t, kRecordSize> recordBuffer{};
  std::int32_t savedMarker() const;
  void setSavedMarker(std::int32_t marker);
  // Why a record file that exists could not be read at start-up; while set, the file is kept
  // as it is and nothing is saved over it.
  std::string recordUnreadable;
  bool RecordIsKept() const { return !recordUnreadable.empty(); }

  Page openPage = Page::None;
  bool IsPageOpen() const { return openPage != Page::None; }
  // Pages are reached from the title only; a game in progress is never left behind.
  bool CanOpenPage() const { return titlePhase && !IsPageOpen(); }
  // After a lost or cleared stage the game waits for Shift, unless the save question covers it.
  bool IsWaitingForShift() const { return (gameOver || stageEnded) && !IsSaveQuestionOpen(); }
  // The review also opens over a game that waits for Shift, once its prompt is up.
  bool CanOpenReview() const { return CanOpenPage() || (!IsPageOpen() && IsWaitingForShift() && IsPromptShown()); }
  // The review page's idioms, whether they are this session's, and the page of them shown.
  std::vector<ReviewItem> reviewItems;
  bool reviewOfSession = false;
  std::size_t reviewPage = 0;
  // No record existed at start-up: a new player, who is told where the rules are.
  bool firstStart = false;

  // The prompt lines are drawn while not playing, and after a game clear once the victory
  // music plays; an empty line is not drawn.
  bool IsPromptShown() const {
    const bool promptTime = (!gameCleared && !playing) || (gameCleared && paradeStarted);
    return promptTime && (!messageText[0].empty() || !messageText[1].empty());
  }

  // Escape closes the window at once at these times; otherwise it asks whether to save.
  bool EscapeQuitsAtOnce() const { return gameCleared || gameOver || sharkDying || titlePhase; }
  bool IsSaveQuestionOpen() const { return quitRequested && !EscapeQuitsAtOnce(); }
  // What the save question covers, so that Escape can go back to it.
  struct BeforeSaveQuestion {
    bool playing = false, paused = false, clockRunning = false;
    std::array<std::string, 2> messageText;
  } beforeSaveQuestion;

  // Study record: the round's two questions are noted once each, as their outcome is known.
  StudyRecord studyRecord;
  bool studyRoundOpen = false;
  std::array<bool, 2> studyNoted{};
  bool studyUnsaved = false;
  // Why a study file that could not be used was not set aside either; while set, nothing is
  // written over it.
  std::string studyKept;
  std::string studyWriteFailure;  // the last one, said once
  bool practiceMode = false;      // missed idioms come up more often
  std::vector<std::string> studyKeys;  // by dictionary index, made when practice first picks
  std::string SettingsFile() const { return exeDir + "data\\settei.ini"; }

  // The title before its prompt: the music is still being set up, no key starts play yet.
  bool IsBeforeStartPrompt() const { return titlePhase && !startPromptShown; }
  // The title's resume question waits for Y or N; it is answered once.
  bool IsResumeQuestionOpen() const { return startPromptShown && resumeState == -1; }
};
