#pragma once
// Helpers for tests that play.
#include <cstdint>
#include <string>
#include <string_view>

#include "Unit1.h"
#include "game_fixture.h"
#include "support/temp_folder.h"

namespace playtest {
// The state the start key leaves behind, with a fresh pair of idioms.
void BeginPlay(TForm1& game, std::int32_t stage);
void LinkSoundEffects(const TempFolder& folder);
void Hush(TForm1& game);
bool Played(TForm1& game, int channel);
bool ShowsPicture(TForm1& game, TDGTexture& texture, const std::string& picture);
bool ShowsText(TForm1& game, TDGTexture& texture, std::u16string_view text, TSXTextWriter& writer);
}  // namespace playtest

// A game with its sound effects, started straight into play.
class PlayTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    playtest::LinkSoundEffects(folder);
  }

  TForm1& StartPlay(std::int32_t stage = 1) {
    TForm1& game = Start();
    playtest::BeginPlay(game, stage);
    return game;
  }
};
