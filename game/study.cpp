// The study record in play: each round's two idioms are noted as their outcome becomes
// known, and the file is replaced when a round closes and when the game quits.
#include <cstdio>

#include "GameAssets.h"
#include "Unit1.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/timer.h"

namespace {

std::string Utf8(std::u16string_view text) { return platform::Cp932ToUtf8(Sjis(text)); }

}  // namespace

platform::Result<StudyRecord> ReadStudyFile(const std::string& exeDir) {
  const platform::FileContents file = platform::ReadFile(exeDir + kStudyFile);
  if (file.Missing()) return StudyRecord{};
  if (!file) return file.Why();
  std::string fault;
  auto record = StudyRecord::Parse({reinterpret_cast<const char*>(file->data()), file->size()}, fault);
  if (!record) return platform::Failure{platform::NativePath(exeDir + kStudyFile) + ": " + fault};
  return std::move(*record);
}

// A study file that cannot be used never stops play: it is moved aside and a new one begins.
void TForm1::ReadStudyRecord() {
  const std::array<std::string_view, 1> studyFile{"study.tsv"};
  platform::RemoveLeftoverTemporaries(exeDir + "data", studyFile);
  auto record = ReadStudyFile(exeDir);
  if (record) {
    studyRecord = std::move(*record);
    return;
  }
  const std::string& fault = record.Reason();
  const platform::Result<std::string> aside = platform::SetAside(exeDir + kStudyFile);
  if (!aside) {
    studyKept = aside.Reason();
    std::fprintf(stderr, "ことぶね: %s; it is kept as it is, and this game's study is not saved (%s)\n", fault.c_str(),
                 studyKept.c_str());
    return;
  }
  std::fprintf(stderr, "ことぶね: %s; it is set aside as %s and a new study record begins\n", fault.c_str(),
               aside->c_str());
}

void TForm1::ReadStudySettings() {
  const std::string settings = exeDir + "data\\settei.ini";
  practiceMode = FileExists(settings) && GetPrivateProfileIntA("Study", "Practice", 0, settings) == 1;
}

void TForm1::OpenStudyRound() {
  studyRoundOpen = true;
  for (int q = 0; q < 2; ++q) studyNoted[q] = rowMatch[0] == q || rowMatch[1] == q;
}

void TForm1::NoteStudy(int q, StudyOutcome outcome) {
  if (!studyRoundOpen || studyNoted[q]) return;
  studyNoted[q] = true;
  const std::int32_t index = questionIndex[q];
  studyRecord.Note(Utf8(IdiomOf(index)), Utf8(ReadingOf(index)), Utf8(MeaningOf(index)), outcome,
                   platform::LocalDate());
  studyUnsaved = true;
}

// Which idiom a wrong row missed is not always known; the count of misses is, and with one
// wrong row and one open question the two belong together.
void TForm1::CloseStudyRound(bool countUnanswered) {
  if (!studyRoundOpen) return;
  int wrongRows = (rowResult[0] == 2) + (rowResult[1] == 2);
  for (int q = 0; q < 2; ++q) {
    if (studyNoted[q]) continue;
    if (wrongRows > 0) {
      wrongRows -= 1;
      NoteStudy(q, StudyOutcome::Wrong);
    } else if (countUnanswered) {
      NoteStudy(q, StudyOutcome::Unanswered);
    }
  }
  studyRoundOpen = false;
  WriteStudyRecord();
}

void TForm1::WriteStudyRecord() {
  if (!studyUnsaved || !studyKept.empty()) return;
  const std::string text = studyRecord.Text();
  const std::string fileName = exeDir + kStudyFile;
  const platform::FileReplacement file{fileName, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}};
  const platform::Result<> written = platform::ReplaceFiles({&file, 1});
  std::string failure = written.Reason();
  studyUnsaved = !written;
  // Said once: the same failure would otherwise repeat after every round.
  if (!failure.empty() && failure != studyWriteFailure) {
    std::fprintf(stderr, "ことぶね: could not save the study record: %s\n", failure.c_str());
  }
  studyWriteFailure = std::move(failure);
}

// Idioms are only ever added, so a key list of the right length is up to date.
std::int32_t TForm1::MissesOf(int index) {
  const auto count = static_cast<std::size_t>(kBuiltinIdiomCount + extraCount);
  if (studyKeys.size() != count) {
    studyKeys.clear();
    for (int i = 0; i < static_cast<int>(count); ++i) {
      studyKeys.push_back(StudyRecord::KeyOf(Utf8(IdiomOf(i)), Utf8(ReadingOf(i))));
    }
  }
  return studyRecord.MissesOf(studyKeys[static_cast<std::size_t>(index)]);
}
