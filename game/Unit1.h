#pragma once
// The game's one window: its components, its handlers and the whole game state.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DGCarad9.h"
#include "DGTexture.h"
#include "Ddidex.h"
#include "GameState.h"
#include "SXlib9.h"
#include "ScreenLayout.h"
#include "ddsd.h"
#include "platform/app.h"
#include "platform/audio.h"
#include "platform/mediaplayer.h"
#include "platform/result.h"

class TForm1 : public TForm, public GameState {
 public:
  explicit TForm1(TApplication& application);
  ~TForm1() override;

  // Components, in declaration order.
  TDGCarad DG;
  TApplicationEvents ApplicationEvents1;
  TDDIDEX DDIDEX1;
  TDDSD DDSD1;
  TMediaPlayer MediaPlayer1;

  void FormCreate() override;
  void FormDestroy() override;
  void FormClose(TCloseAction& Action) override;
  void ApplicationEvents1Idle(bool& Done);
  void FormKeyDown(WORD& Key, TShiftState Shift) override;
  void FormMouseMove(TShiftState Shift, int X, int Y) override;
  void FormMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void FormDeactivate() override;
  void FormPadDown(TPadButton Button) override;

  void DriveFrame();
  void ResetRound();
  void RunFrame();
  int Random(int n);

  // Idiom dictionary
  void BuildBuiltinTable();
  void LoadUserIdioms();
  // settei.ini [Dictionary]: idiom packs after the user's idioms, the built-ins left out, hints.
  void LoadIdiomPacks();
  void NewRound();
  void SplitMeanings();
  // Resume: question q refers to the user idiom of that text, added if the list lacks it.
  int AdoptSavedIdiom(int q, const std::u16string& idiom, const std::u16string& meaning,
                      const std::u16string& reading);
  // The texts of a dictionary index: built-in rows below 170, user idioms from 170 on.
  const std::u16string& IdiomOf(int index) const;
  const std::u16string& MeaningOf(int index) const;
  const std::u16string& ReadingOf(int index) const;
  // The meaning on the meaning lines: a built-in idiom's English hint where there is one.
  const std::u16string& ShownMeaningOf(int index) const;
  void RenderBallChar(int i);     // ballChar[i] into texBallChar[i]
  void RenderMeaningLine(int k);  // meaningLine[k] into texMeaningLine[k] and its plate
  // A meaning in the lines the panel shows it in: at most three, each as wide as 13
  // full-width characters; Japanese cut every 13 characters, Latin letters wrapped at words.
  std::vector<std::u16string> MeaningLinesOf(std::u16string_view meaning);
  // The longest start of line that a meaning texture can hold.
  std::u16string FittingMeaningLine(std::u16string_view line);
  // The longest start of line no wider than `widest` pixels in the writer.
  static std::u16string FittingLine(std::u16string_view line, TSXTextWriter& writer, UINT widest);

  // Field and judging
  void UpdateBall(int a);
  static bool RectsOverlap(const RECT& a, const RECT& b);
  void BounceBall(int i);
  void Shoot();
  void DestroyShark();
  void JudgeRow();
  // Writes recordBuffer to data\record1.dat.
  platform::Result<> WriteRecord();
  void PlayEffect(int channel);
  void TurnShark(std::int32_t degrees);
  void SteerShark();
  void PlaceShark();
  void DrawShark();
  void MoveShots();
  void DrawMeanings();
  void DrawReadingsAndMarks();
  void RunAnswerClock();
  void RenderAnswerClock();  // the seconds left to answer, into texTime
  void UpdateExplosions();
  void ShowGameOver();
  void DrawJudgementAndBanner();
  void DrawScoreLines();
  RECT BallRect(const TGameObject& b) const;
  void SeparateFromOtherBalls(int a);
  void KeepInsidePool(int a);
  bool SharkContactDestroysShark(int a);
  void StartHurtExplosion(std::int32_t x, std::int32_t y);
  void CatchShots(int a);
  void PickBall(int a);
  // True when the row was the stage's last correct answer.
  bool JudgeCorrectRow(int r, int j, DWORD now);
  void JudgeWrongRow(int r, DWORD now);
  void MarkCorrectRow(int r, int j);
  void RestartAnswerClock(DWORD now);
  void RevealMissedIdioms();
  void RenderReading(int r, int idiom);
  void RenderScore();
  void EndStage(DWORD now);
  void ClearGame(DWORD now);

  // Records and saved game (WriteRecord is declared with judging, its caller)
  // False when nothing was saved; the player has been told why.
  bool SaveGame();
  // Says on standard error and above the prompts that something could not be saved, and why.
  void ReportSaveFailure(const std::string& reason);
  platform::Failure KeptRecordFailure() const;
  // The record, and with it the saved game's user idioms, as one pair.
  platform::Result<> WriteRecordWithIdioms();
  // Completes a save that was cut short between writing the record and its idioms.
  void FinishInterruptedSave();
  // Does nothing unless SavedGameIsValid.
  void LoadGame();
  // The record holds a saved game that play could have produced; anything else counts as none.
  bool SavedGameIsValid() const;
  // data\record1.dat into recordBuffer, after finishing or clearing what a cut-short save left.
  void ReadRecord();

  // Study record
  void ReadStudyRecord();
  void ReadStudySettings();
  void OpenStudyRound();
  void NoteStudy(int q, StudyOutcome outcome);
  // Notes the questions not yet noted: one per row judged wrong as wrong, the rest as
  // unanswered when `countUnanswered`, else not at all (the stage ended first).
  void CloseStudyRound(bool countUnanswered);
  void WriteStudyRecord();
  std::int32_t MissesOf(int index);

  // Screens: pictures and text as textures, drawn as sprites
  void LoadArchiveImage(TDGTexture& texture, const std::string& name);
  void DrawSprite(TDGTexture& texture, std::int32_t x, std::int32_t y, std::uint32_t colour);
  void RenderText(TDGTexture& texture, const std::string& text, TSXTextWriter& writer);
  void ApplyFontSetting();
  void DrawGauge();

  std::unique_ptr<TSXScene> scene;
  std::unique_ptr<TSXTextWriter> writerLarge, writerSmall, writerBig;
  std::array<std::unique_ptr<TDGTexture>, 8> texBallChar;
  std::array<std::unique_ptr<TDGTexture>, 6> texMeaningLine, texMeaningPlate;
  std::array<std::unique_ptr<TDGTexture>, 2> texReading, texReadingPlate, texAnswer, texAnswerPlate;
  std::unique_ptr<TDGTexture> texScore, texBestScore, texTime, texCorrect, texCombo, texStage;
  std::array<std::unique_ptr<TDGTexture>, 2> texMessage;
  std::unique_ptr<TDGTexture> texBackground;
  std::array<std::unique_ptr<TDGTexture>, 4> texBall;
  std::unique_ptr<TDGTexture> texShark, texShot, texTarget, texMaru, texBatu, texJudge, texGage, texBakuhatu,
      texGOBakuhatu, texBanner, texSosaHoho, texTitle, texRogo;

  // Pages (pages.cpp), beside the title. Opening one freezes the title where it is; closing
  // it lets the title go on from exactly there.
  struct PageLine {
    std::u16string text;
    std::uint32_t colour = 0xFFFFFFFF;
    bool heading = false;  // drawn with the large writer
  };
  void OpenPage(Page page);
  void ClosePage();
  // Renders a page's lines, at most kPageLineCount; a page whose lines change calls it again.
  void ShowPageLines(const std::vector<PageLine>& lines);
  // Every key goes to the open page and to nothing else.
  void PageKeyDown(WORD key);
  // The frame of an open page, in place of the game frame.
  void PageFrame();
  // The settings page (settings_page.cpp): Up and Down choose a line, Left and Right change it.
  void ShowSettingsPage();  // from its first line
  void SettingsKeyDown(WORD key);
  // Alt+Enter switches the window under the page: its line follows.
  void FollowWindowSwitch();
  const std::vector<PageLine>& ShownPageLines() const { return pageLines; }
  // Review page (review_page.cpp): the study record's review list, a few idioms a page.
  void ShowReviewPage();
  // The arrows turn the review's pages; false for any other key.
  bool TurnReviewPage(WORD key);
  // Says above the prompts that R opens the review, where it can and there is something to see.
  void ShowReviewHint();
  std::unique_ptr<TDGTexture> texPageBackdrop;
  std::array<std::unique_ptr<TDGTexture>, layout::kPageLineCount> texPageLine;

  // The prompt band and the note above it (the first start's hint, or why a save failed).
  std::unique_ptr<TDGTexture> texPromptBand, texPromptNote, texPromptNotePlate;
  std::array<std::unique_ptr<TDGTexture>, 2> texMessagePlate;
  // Empty, the note goes away.
  void ShowPromptNote(std::u16string_view lead, std::u16string_view detail = {});

  // Background music
  // False when the player quit while the set-up let messages through.
  bool MusicSetUp();
  void ScanMusicFolder(const std::string& folder, std::vector<std::string>& scanList);
  void ScanMusicSubfolder(const std::string& folder, int depth, std::size_t& visited,
                          std::vector<std::string>& scanList);
  void StartMp3();
  void StartMidi();
  void NextShuffleTrack();
  void MusicMonitor();
  void ToggleMusic();
  void ReadVolumeSettings();
  // Hands musicVolume and effectsVolume to the mixer.
  void ApplyVolumes();
  std::int32_t& Volume(platform::audio::Bus bus);
  // Sets a volume, heard at once and written to settei.ini; false when the file was not written.
  bool ChangeVolume(platform::audio::Bus bus, std::int32_t volume);
  void StopMusicAtStageEnd();
  void RestartMusicAfterStage();
  void StartParade();

 private:
  std::string sharkPicture;  // the archive picture texShark holds
  // The lines the open page shows, as ShowPageLines rendered them.
  std::vector<PageLine> pageLines;

  std::vector<PageLine> SettingsLines() const;
  std::u16string MusicSettingLine() const;
  // The chosen line one step along; false when it stays as it was.
  bool ChangeSetting(int step);
  void NoteSettingsWritten(bool written);

  // The key a pad button stands for now; 0 for none.
  WORD PadKey(TPadButton button) const;
  void EscapeKey();
  void ReturnFromSaveQuestion();
  bool ShiftKey();
  void ContinueAfterStage();
  void ControlKey();
  void PauseAnswering();
  void YesKey();
  void NoKey();
  void ShowReadyPrompt();
  void ShowMessages(std::u16string_view first, std::u16string_view second);
  void StopAnswerClock();

  // The ten sound effects; channel i plays waves[i].
  std::array<std::unique_ptr<TDDSDWaveData>, 10> waves;

  std::unique_ptr<TDGTexture> NewTexture();
  std::unique_ptr<TDGTexture> LoadedPicture(const std::string& name);
  void CreateWriters();
  void CreateTextTextures();
  void LoadPictures();
  void ReleaseTextures();
  void RenderCounter(TDGTexture& texture, std::u16string_view label, std::int32_t value);
  void RenderMessages();
  void DrawBalls();
  void DrawBallChars();
  void DrawLeftPanel();
  void DrawPrompts();
  void DrawTitle();
  void LoadWaves();
  void PlaceSharkAtStart();
  void PlaceAnswerSlots();
  void TitlePhaseHousekeeping(bool& passEnded);
  void ShowStartPrompt();
  void PaceFrame();
  bool ChooseFirstShuffleTrack(const std::string& ownMusic);
  bool BgmIsMidi() const;
  void StopCurrentTrack();
  void StartCurrentTrack();
};

// Shift-JIS form of a text written in the source.
std::string Sjis(std::u16string_view text);

// The study record in the data folder of the program in exeDir: empty when there is none;
// a failure when it cannot be read or is damaged.
platform::Result<StudyRecord> ReadStudyFile(const std::string& exeDir);

// n in decimal, zero-padded to six characters.
std::string PadNumber(std::int32_t n);
