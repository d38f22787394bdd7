#include "Unit1.h"

#include <algorithm>
#include <cstdio>

#include "GameAssets.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/timer.h"
#include "platform/vbmp3.h"

namespace {

constexpr DWORD kFramePeriod = 25;
constexpr std::int32_t kSleepMargin = 3;
constexpr DWORD kParadeDelay = 6000;
constexpr std::u16string_view kRecordUnreadableNotice = u"記録を読めないため、このゲームは保存できません。";
constexpr DWORD clWhite = 0xFFFFFF;

TFormSettings WindowResource() {
  TFormSettings settings;
  settings.ClientWidth = 632;
  settings.ClientHeight = 477;
  settings.KeyPreview = true;
  settings.Font.Charset = SHIFTJIS_CHARSET;
  settings.Font.Color = clWhite;
  settings.Font.Height = -21;
  settings.Font.Name = Sjis(u"ＭＳ Ｐゴシック");
  settings.Font.Bold = true;
  return settings;
}

}  // namespace

std::string Sjis(std::u16string_view text) { return platform::Utf16ToCp932(text); }

std::int32_t GameState::savedMarker() const { return RecordInt(&recordBuffer[kSavedMarkerOffset]); }

void GameState::setSavedMarker(std::int32_t marker) { PutRecordInt(&recordBuffer[kSavedMarkerOffset], marker); }

TForm1::TForm1(TApplication& application)
    : TForm(application, WindowResource()), DG(*this), ApplicationEvents1(application), DDIDEX1(*this), DDSD1(*this) {
  DG.UseREFDevice = false;
  DG.UseSoftwareVertexProcessing = false;
  DG.SetDebugOption(dgoHaltOnError | dgoDebugMessage);
  ApplicationEvents1.SetOnIdle([this](bool& Done) { ApplicationEvents1Idle(Done); });
  DDIDEX1.DebugOption = dioHaltOnError;
  DDSD1.DebugOption = dsoHaltOnError;
  DDSD1.ChannelCount = 10;
  MediaPlayer1.Visible = false;
  DG.Loaded();
  DDIDEX1.Loaded();
  DDSD1.Loaded();
}

TForm1::~TForm1() { ApplicationEvents1.SetOnIdle(nullptr); }

void TForm1::FormCreate() {
  DG.ToFullScreen(640, 480, D3DFMT_A8R8G8B8, {}, 0, D3DPRESENT_INTERVAL_IMMEDIATE, D3DSWAPEFFECT_DISCARD,
                  D3DMULTISAMPLE_NONE, 0);
  screenWidth = GetSystemMetrics(SM_CXSCREEN);
  screenHeight = GetSystemMetrics(SM_CYSCREEN);
  ShowCursor(FALSE);
  scene = std::make_unique<TSXScene>(DG, "");
  timeBeginPeriod(1);
  exeDir = IncludeTrailingPathDelimiter(ExtractFilePath(Application.ExeName()));
  ReportUnusableGameData(exeDir);
  CreateWriters();
  CreateTextTextures();
  LoadPictures();
  LoadWaves();
  ReadVolumeSettings();
  PlaceAnswerSlots();
  BuildBuiltinTable();
  LoadUserIdioms();
  LoadIdiomPacks();
  ApplyFontSetting();
  ReadStudySettings();
  ReadRecord();
  ReadStudyRecord();
  RenderText(*texBestScore, Sjis(u"最高得点:") + PadNumber(bestScore), *writerSmall);
  for (int i = 0; i < 8; ++i) {
    ballChar[i] = std::u16string(1, u"ことぶね"[i % 4]);
    RenderBallChar(i);
  }
  messageText[0] = Sjis(u"ＢＧＭ設定中．．．");
  RenderText(*texMessage[0], messageText[0], *writerLarge);
  if (firstStart) ShowPromptNote(u"F1キーで遊び方が見られます。");
  titlePhase = true;
  ShowReviewHint();
  randomGenerator.seed(platform::ClockSeed());
  ResetRound();
  gauge = 20;
  stageStartGauge = 20;
  DrawGauge();
  lastFrameTime = timeGetTime();
}

void TForm1::LoadWaves() {
  for (size_t i = 0; i < waves.size(); ++i) {
    waves[i] = std::make_unique<TDDSDWaveData>(DDSD1, exeDir + std::string(kWaveFiles[i]), false);
  }
  for (size_t i = 0; i < waves.size(); ++i) DDSD1.Channel(static_cast<std::int32_t>(i))->setWaveData(waves[i].get());
}

void TForm1::PlaceSharkAtStart() {
  sharkAngle = 0;
  PlaceShark();
  sharkShown = true;
}

void TForm1::PlaceAnswerSlots() {
  for (int row = 0; row < 2; ++row) {
    for (int i = 0; i < 4; ++i) {
      answerSlot[row][i].x = layout::kSlotColumnStep * i + layout::kSlotLeft;
      answerSlot[row][i].y = layout::kSlotRowStep * row + layout::kSlotTop;
    }
  }
}

// A file shorter than the record cannot be trusted: it counts as no record at all. Only the
// record's own bytes are read, however large the file claims to be.
void TForm1::ReadRecord() {
  // What a crash in the middle of saving left behind.
  FinishInterruptedSave();
  const std::array<std::string_view, 2> savedFiles{"record1.dat", "tuika.ini"};
  platform::RemoveLeftoverTemporaries(exeDir + "data", savedFiles);
  const platform::FileContents file = platform::ReadFilePrefix(exeDir + kRecordFile, recordBuffer.size());
  firstStart = file.Missing();
  if (!file && !file.Missing()) {
    recordUnreadable = file.Reason();
    std::fprintf(stderr, "ことぶね: %s: the record is kept as it is, and this game will not be saved\n",
                 recordUnreadable.c_str());
  }
  if (file && file->size() == recordBuffer.size()) {
    std::copy(file->begin(), file->end(), recordBuffer.begin());
    bestScore = RecordInt(&recordBuffer[kBestScoreOffset]);
    // A damaged saved game is no saved game: it could not be played safely.
    if (!SavedGameIsValid()) setSavedMarker(-1);
    resumeState = savedMarker() >= 0 ? -1 : 0;
    return;
  }
  bestScore = kDefaultBestScore;
  setSavedMarker(-1);
  resumeState = 0;
}

void TForm1::ApplicationEvents1Idle(bool& Done) {
  if (timeGetTime() >= lastFrameTime + kFramePeriod) {
    lastFrameTime = timeGetTime();
    bool passEnded = false;
    TitlePhaseHousekeeping(passEnded);
    if (passEnded) return;
    DriveFrame();
    if (gameCleared && timeGetTime() >= gameClearTime + kParadeDelay && !paradeStarted) StartParade();
    PaceFrame();
  }
  if (musicOn && !stageEnded) MusicMonitor();
  Done = false;
}

void TForm1::TitlePhaseHousekeeping(bool& passEnded) {
  if (!IsBeforeStartPrompt() || IsPageOpen()) return;
  titleTicks += 1;
  if (titleTicks >= 20 && !bgmReady && !MusicSetUp()) {
    passEnded = true;
    return;
  }
  if (titleTicks >= 100 && bgmReady) ShowStartPrompt();
}

void TForm1::ShowStartPrompt() {
  if (savedMarker() >= 0) {
    messageText[0] = Sjis(u"前回の続きからゲームを始めますか？");
    messageText[1] = Sjis(u"はい・・・Yキー,いいえ・・・Nキー");
  } else {
    messageText[0] = Sjis(u"準備ができたらShiftキーを押してください。");
    // Standard error has the reason; a player who started from the menu sees only this.
    if (RecordIsKept()) messageText[1] = Sjis(kRecordUnreadableNotice);
    stage = 1;
    RenderCounter(*texStage, u"STAGE ", stage);
  }
  RenderMessages();
  startPromptShown = true;
  startPromptLive = true;
}

void TForm1::PaceFrame() {
  const auto remaining = static_cast<std::int32_t>(lastFrameTime + kFramePeriod - timeGetTime());
  if (remaining > kSleepMargin) Sleep(static_cast<DWORD>(remaining - kSleepMargin));
}

void TForm1::DriveFrame() {
  IDirect3DDevice9* device = DG.Device();
  if (device == nullptr || device->TestCooperativeLevel() != D3D_OK) {
    Application.Terminate();
    return;
  }
  device->BeginScene();
  if (IsPageOpen()) {
    PageFrame();
  } else {
    RunFrame();
  }
  scene->Render(nullptr);
  device->EndScene();
  device->Present(nullptr, nullptr, nullptr, nullptr);
}

int TForm1::Random(int n) {
  if (n <= 0) return 0;
  return std::uniform_int_distribution<int>(0, n - 1)(randomGenerator);
}

void TForm1::ResetRound() {
  sharkShown = true;
  for (int i = 0; i < 8; ++i) {
    TGameObject& b = ball[i];
    b.x = (i % 3) * 60 + 150;
    b.y = (i / 3) * 60 + 150;
    b.dx = Random(5) - 2;
    b.dy = Random(5) - 2;
    if (b.dx == 0 && b.dy == 0) {
      b.dx = Random(2) + 1;
      b.dy = Random(2) + 1;
    }
    b.active = true;
    shot[i].dx = 0;
    shot[i].dy = 0;
    shot[i].active = false;
  }
  if (pickCount < 8) {
    comboCount = 0;
    RenderCounter(*texCombo, u"連続正解:", comboCount);
  }
  pickCount = 0;
  rowResult = {0, 0};
  rowMatch = {-1, -1};
  for (auto& row : slotBall) row.fill(-1);
  targetShown = true;
  targetX = 240;
  targetY = 240;
  for (auto& e : explosion) e.active = false;
  judgeShown = false;
  gameCleared = false;
  stageEnded = false;
  gameOver = false;
  recordBlink = false;
  sharkDying = false;
}

void TForm1::StartParade() {
  vbmp3_close();
  vbmp3_open((exeDir + std::string(kVictoryMusic)).c_str(), mp3Info.data());
  vbmp3_play();
  paradeStarted = true;
}

void TForm1::FormClose(TCloseAction&) {
  WriteStudyRecord();
  if (musicOn && !stageEnded && BgmIsMidi()) MediaPlayer1.Stop();
  if (BgmIsMidi()) MediaPlayer1.Close();
  vbmp3_free();
}

void TForm1::FormDestroy() {
  timeEndPeriod(1);
  scene.reset();
  for (auto& wave : waves) wave.reset();
  writerLarge.reset();
  writerSmall.reset();
  writerBig.reset();
  ReleaseTextures();
  ShowCursor(TRUE);
}
