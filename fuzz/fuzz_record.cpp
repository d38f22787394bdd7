// The record and the saved idioms beside it: a saved game that start-up accepts resumes, plays
// on, and, saved again, reads back as a saved game.
#include <algorithm>

#include "GameState.h"
#include "headless_game.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr int kFramesPlayed = 6;
  static fuzzing::HeadlessGame game;
  TForm1& form = game.Fresh();
  const std::string_view input = fuzzing::AsText(data, size);
  const std::size_t recordSize = std::min<std::size_t>(input.size(), kRecordSize);
  fuzzing::WriteInput("data/record1.dat", input.substr(0, recordSize));
  fuzzing::WriteInput("data/tuika.ini", input.substr(recordSize));
  form.ReadRecord();
  if (!form.IsResumeQuestionOpen()) return 0;
  game.Press('Y');
  game.Press(VK_SHIFT);
  game.RunFrames(kFramesPlayed);
  game.Press(VK_ESCAPE);
  if (!form.quitRequested) return 0;
  if (!form.SaveGame()) __builtin_trap();
  form.ReadRecord();
  if (!form.SavedGameIsValid()) __builtin_trap();
  return 0;
}
