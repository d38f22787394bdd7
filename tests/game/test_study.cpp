// The study record: its file, the outcomes a session notes, and practice mode's picks.
#include <map>

#include "GameAssets.h"
#include "StudyRecord.h"
#include "phase_fixture.h"
#include "platform/codepage.h"

namespace {

constexpr std::string_view kStudy = "data/study.tsv";
constexpr std::string_view kHeader = "idiom\treading\tmeaning\tasked\tcorrect\twrong\tunanswered\tlast seen\n";

std::string Utf8(std::u16string_view text) { return platform::Cp932ToUtf8(Sjis(text)); }

std::optional<StudyRecord> Parsed(std::string_view text) {
  std::string fault;
  return StudyRecord::Parse(text, fault);
}

}  // namespace

TEST(StudyFile, KeepsWhatItWasGivenAndRefusesWhatItNeverWrites) {
  StudyRecord record;
  record.Note("一期一会", "いちごいちえ", "一生に\t一度", StudyOutcome::Wrong, "2026-03-04");
  record.Note("一期一会", "いちごいちえ", "一生に一度", StudyOutcome::Correct, "2026-03-05");
  record.Note("一期一会", "いちごいちえ", "一生に一度", StudyOutcome::Unanswered, "2026-03-06");
  record.Note("晴耕雨読", "せいこううどく", "悠々自適", StudyOutcome::Correct, "2026-03-06");
  const std::string text = record.Text();
  EXPECT_EQ(text, std::string(kHeader) + "一期一会\tいちごいちえ\t一生に一度\t3\t1\t1\t1\t2026-03-06\n" +
                      "晴耕雨読\tせいこううどく\t悠々自適\t1\t1\t0\t0\t2026-03-06\n");
  const auto again = Parsed(text);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->Text(), text);
  EXPECT_EQ(again->MissesOf(StudyRecord::KeyOf("一期一会", "いちごいちえ")), 2);
  EXPECT_EQ(again->MissesOf(StudyRecord::KeyOf("一期一会", "いちごいちえい")), 0) << "another reading is another idiom";

  const std::string good = "a\tb\tc\t3\t1\t1\t1\t2026-03-06";
  EXPECT_TRUE(Parsed(std::string(kHeader) + good + "\r\n")) << "a line end rewritten by an editor";
  for (const std::string& damaged : {std::string("garbage"), std::string(kHeader) + "a\tb\tc\t3\t1\t1\t1\n",
                                    std::string(kHeader) + "a\tb\tc\t3\t1\t1\t1\t2026-03-06\textra\n",
                                    std::string(kHeader) + "a\tb\tc\t3\t1\t1\t2\t2026-03-06\n",
                                    std::string(kHeader) + "a\tb\tc\t-1\t-1\t0\t0\t2026-03-06\n",
                                    std::string(kHeader) + "a\tb\tc\t3\t1\t1\tx\t2026-03-06\n",
                                    std::string(kHeader) + "a\tb\tc\t3000000000\t3000000000\t0\t0\t2026-03-06\n",
                                    std::string(kHeader) + "\tb\tc\t0\t0\t0\t0\t2026-03-06\n",
                                    std::string(kHeader) + "a\tb\tc\t3\t1\t1\t1\t6.3.2026\n",
                                    std::string(kHeader) + good + "\n" + good + "\n"}) {
    EXPECT_FALSE(Parsed(damaged)) << damaged;
  }
}

TEST(StudyFile, ReviewListsThisSessionsMissesFirstElseTheMostMissedEver) {
  const auto record = Parsed(std::string(kHeader) + "一\tいち\t1\t2\t1\t1\t0\t2026-01-01\n" +
                             "二\tに\t2\t5\t0\t2\t3\t2026-01-01\n" + "三\tさん\t3\t1\t1\t0\t0\t2026-01-01\n" +
                             "四\tよん\t4\t9\t0\t9\t0\t2026-01-01\n");
  ASSERT_TRUE(record);
  const auto idioms = [](const std::vector<ReviewItem>& items) {
    std::vector<std::string> names;
    for (const ReviewItem& item : items) names.push_back(item.idiom + (item.missed ? "x" : ""));
    return names;
  };
  EXPECT_EQ(idioms(record->Review()), (std::vector<std::string>{"四x", "二x", "一x"}));
  StudyRecord session = *record;
  session.Note("三", "さん", "3", StudyOutcome::Correct, "2026-01-02");
  session.Note("五", "ご", "5", StudyOutcome::Unanswered, "2026-01-02");
  session.Note("一", "いち", "1", StudyOutcome::Correct, "2026-01-02");
  session.Note("三", "さん", "3", StudyOutcome::Wrong, "2026-01-02");
  EXPECT_EQ(idioms(session.Review()), (std::vector<std::string>{"三x", "五x", "一"}));
}

namespace {

class StudySession : public PhaseTest {
 protected:
  std::map<std::string, StudyEntry> OnDisk() const {
    const auto record = Parsed(folder.Read(kStudy));
    EXPECT_TRUE(record);
    std::map<std::string, StudyEntry> entries;
    if (record) {
      for (const StudyEntry& entry : record->Entries()) entries[entry.idiom] = entry;
    }
    return entries;
  }

  std::string Question(int q) const { return Utf8(form->question[q]); }

  static void ExpectCounts(const StudyEntry& entry, std::int32_t correct, std::int32_t wrong, std::int32_t unanswered) {
    EXPECT_EQ(entry.asked, correct + wrong + unanswered) << entry.idiom;
    EXPECT_EQ(entry.correct, correct) << entry.idiom;
    EXPECT_EQ(entry.wrong, wrong) << entry.idiom;
    EXPECT_EQ(entry.unanswered, unanswered) << entry.idiom;
  }
};

}  // namespace

TEST_F(StudySession, NotesEachRoundsOutcomesAndKeepsThemAcrossRestarts) {
  headless::SetLocalDate("2026-05-06");
  StartPlaying();
  const std::string rightFirst = Question(0), wrongSecond = Question(1);
  PickPositions({0, 1, 2, 3, 4, 6, 5, 7});  // the second idiom with two characters swapped
  auto disk = OnDisk();
  ASSERT_EQ(disk.size(), 2u) << "written once the round is judged";
  ExpectCounts(disk[rightFirst], 1, 0, 0);
  ExpectCounts(disk[wrongSecond], 0, 1, 0);
  EXPECT_EQ(disk[rightFirst].lastSeen, "2026-05-06");
  EXPECT_EQ(disk[wrongSecond].meaning, Utf8(form->MeaningOf(form->questionIndex[1])));

  Press(VK_SHIFT);
  const std::string wrongBeside = Question(0), skipped = Question(1);
  PickPositions({3, 2, 1, 0});
  Press(VK_SHIFT);  // the round is given up with one row wrong
  const std::string timedOut[2] = {Question(0), Question(1)};
  form->answerTime = kAnswerTimeLimit - 10;
  RunFrames(41);
  ASSERT_TRUE(form->sharkDying);
  disk = OnDisk();
  ASSERT_EQ(disk.size(), 6u);
  ExpectCounts(disk[wrongBeside], 0, 1, 0);
  ExpectCounts(disk[skipped], 0, 0, 1);
  for (const std::string& idiom : timedOut) ExpectCounts(disk[idiom], 0, 0, 1);

  Restart();
  EXPECT_EQ(form->studyRecord.Text(), folder.Read(kStudy));
  const std::vector<ReviewItem> review = form->studyRecord.Review();
  ASSERT_EQ(review.size(), 5u) << "all but the one answered right";
  EXPECT_EQ(review[0].idiom, wrongSecond);
}

TEST_F(StudySession, ADamagedFileIsSetAsideAndANewOneBegins) {
  folder.Write(kStudy, "not a study record\n");
  ::testing::internal::CaptureStderr();
  StartPlaying();
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("set aside as " + folder.Native("data/study.tsv.damaged-1")), std::string::npos) << said;
  EXPECT_EQ(folder.Read("data/study.tsv.damaged-1"), "not a study record\n");
  EXPECT_TRUE(form->studyRecord.Entries().empty());
  PickPositions({0, 1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(OnDisk().size(), 2u);
}

TEST_F(StudySession, PracticeBringsMissedIdiomsBackMoreOftenAndIsOffByDefault) {
  // Ten idioms missed often; uniform picks would find one of them in 6 % of first picks.
  std::string text(kHeader);
  std::vector<std::uint32_t> missedIndices;
  const auto firstPicks = [&](bool practice, bool withRecord) {
    folder.Write("data/settei.ini", practice ? "[Study]\r\nPractice=1\r\n" : "[Study]\r\nPractice=0\r\n");
    if (withRecord) {
      folder.Write(kStudy, text);
    } else {
      std::filesystem::remove(folder.Native(kStudy));
    }
    Restart();
    std::vector<int> picks;
    for (std::uint32_t seed = 1; seed <= 100; ++seed) {
      form->randomGenerator.seed(seed);
      form->builtinUsed.fill(false);
      form->builtinUsedCount = 0;
      form->NewRound();
      picks.insert(picks.end(), form->questionIndex.begin(), form->questionIndex.end());
    }
    return picks;
  };
  Start();
  for (int index = 0; index < 10; ++index) {
    text += Utf8(form->IdiomOf(index)) + "\t" + Utf8(form->ReadingOf(index)) + "\tm\t9\t0\t9\t0\t2026-01-01\n";
  }
  const auto missedShare = [](const std::vector<int>& picks) {
    return std::count_if(picks.begin(), picks.end(), [](int index) { return index < 10; });
  };
  const auto practised = missedShare(firstPicks(true, true));
  EXPECT_GT(practised, 50) << "of 200: about 38 % with weight 10";
  EXPECT_EQ(firstPicks(false, true), firstPicks(false, false)) << "without practice, misses change nothing";
}

namespace {

class ReviewPage : public StudySession {
 protected:
  // The idiom lines of the page shown: the large lines below its heading.
  std::vector<std::u16string> IdiomLines() const {
    std::vector<std::u16string> texts;
    const auto& lines = form->ShownPageLines();
    for (std::size_t i = 1; i < lines.size(); ++i) {
      if (lines[i].heading) texts.push_back(lines[i].text);
    }
    return texts;
  }

  // Which of these idioms each idiom line names, in the page's order.
  std::vector<std::string> Named(const std::vector<std::string>& idioms) const {
    std::vector<std::string> named;
    for (const std::u16string& line : IdiomLines()) {
      const std::string text = Utf8(line);
      for (const std::string& idiom : idioms) {
        if (text.find(idiom) != std::string::npos) named.push_back(idiom);
      }
    }
    return named;
  }
};

class ReviewOver : public ReviewPage, public ::testing::WithParamInterface<Phase> {};

}  // namespace

TEST_F(ReviewPage, ListsTheSessionsMissesFirstAndTurnsItsPagesWithTheArrows) {
  StartPlaying();
  const std::string right = Question(0), wrong = Question(1);
  PickPositions({0, 1, 2, 3, 4, 6, 5, 7});
  Press(VK_SHIFT);
  const std::string lost[2] = {Question(0), Question(1)};
  form->DestroyShark();
  RunUntilGameOver();
  RunFrames(1);
  EXPECT_FALSE(form->promptNote.empty()) << "no hint that R opens the review";

  Press(kKeyR);
  ASSERT_EQ(form->openPage, Page::Review);
  const std::vector<std::string> all{right, wrong, lost[0], lost[1]};
  EXPECT_EQ(Named(all), (std::vector<std::string>{wrong, lost[0], lost[1]}));
  Press(VK_RIGHT);
  EXPECT_EQ(Named(all), (std::vector<std::string>{right})) << "the one answered right comes last";
  Press(VK_DOWN);
  EXPECT_EQ(Named(all), (std::vector<std::string>{right})) << "past the last page";
  Press(VK_LEFT);
  EXPECT_EQ(Named(all), (std::vector<std::string>{wrong, lost[0], lost[1]}));
  EXPECT_TRUE(form->IsPageOpen()) << "an arrow closed the page";
}

// The page shows a meaning in the lines the panel gives it: an English hint too.
TEST_F(ReviewPage, ShowsAMeaningInThePanelsLines) {
  folder.Write("data/settei.ini", "[Dictionary]\r\nHints=en\r\n");
  std::filesystem::create_directories(folder.Native("data/packs"));
  std::string pack;
  for (int i = 0; i < 15; ++i) pack += "header\r\n";
  pack += "挙措進退\r\nbearing; deportment; manner; the way one carries oneself in company and alone\r\nきょそしんたい\r\n";
  folder.Write("data/packs/edict-en.txt", pack);
  StartAtPrompt();
  form->questionIndex = {0, 169};
  form->SplitMeanings();
  form->studyRecord.Note(Utf8(form->IdiomOf(0)), Utf8(form->ReadingOf(0)), Utf8(form->MeaningOf(0)),
                         StudyOutcome::Wrong, "2026-01-01");
  Press(kKeyR);
  ASSERT_EQ(form->openPage, Page::Review);
  const auto& lines = form->ShownPageLines();
  ASSERT_GT(lines.size(), 5u);
  ASSERT_FALSE(form->meaningLine[1].empty()) << "the gloss should need more than one line";
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(Utf8(lines[2 + k].text), Utf8(form->meaningLine[k].empty() ? u"" : u"　　" + form->meaningLine[k])) << k;
  }
}

// Open, paged and closed, the review leaves no trace: after as many game frames the picture
// is the one a game without it shows, and Shift goes on from there as it would have.
TEST_P(ReviewOver, ClosingItLeavesTheGameWhereItWas) {
  constexpr int kFramesAfter = 20;
  const auto frame = [] {
    int width = 0, height = 0;
    return headless::ReadFrame(width, height);
  };
  Reach(GetParam());
  RunFrames(1 + kFramesAfter);
  const auto withoutPage = frame();

  application.reset();
  Reach(GetParam());
  Press(kKeyR);  // taken in a game frame, the page drawn from the next
  ASSERT_EQ(form->openPage, Page::Review);
  RunFrames(30);
  Press(VK_RIGHT);
  Press(VK_ESCAPE);
  ASSERT_FALSE(form->IsPageOpen());
  EXPECT_FALSE(form->quitRequested) << "the key that closed the page did more";
  RunFrames(kFramesAfter);
  EXPECT_TRUE(frame() == withoutPage) << "the frame differs from one without the page";
  const std::int32_t stage = form->stage;
  Press(VK_SHIFT);
  EXPECT_TRUE(form->playing);
  EXPECT_EQ(form->stage, GetParam() == Phase::StageClear ? stage + 1 : stage);
}

INSTANTIATE_TEST_SUITE_P(WaitingScreens, ReviewOver, ::testing::Values(Phase::Title, Phase::StageClear, Phase::GameOver),
                         [](const auto& param) {
                           return std::string(std::find_if(kPhases.begin(), kPhases.end(), [&](const PhaseName& p) {
                                                return p.phase == param.param;
                                              })->name);
                         });
