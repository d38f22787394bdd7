// The player's idiom file: every group it yields can be asked, its meaning cut into lines and
// drawn, its reading drawn, without ending the game.
#include "GameState.h"
#include "headless_game.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Rounds made of the first idioms read; each draws two idioms' texts.
  constexpr int kRoundsAsked = 4;
  static fuzzing::HeadlessGame game;
  TForm1& form = game.Fresh();
  fuzzing::WriteInput("data/追加問題.txt", fuzzing::AsText(data, size));
  form.LoadUserIdioms();
  for (int round = 0; round < kRoundsAsked && round < form.extraCount; ++round) {
    for (int q = 0; q < 2; ++q) {
      form.questionIndex[q] = kBuiltinIdiomCount + (round + q) % form.extraCount;
      form.question[q] = form.IdiomOf(form.questionIndex[q]);
      form.RenderReading(q, q);
    }
    form.SplitMeanings();
  }
  form.NewRound();
  return 0;
}
