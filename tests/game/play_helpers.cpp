// The helpers of play_helpers.h.
#include "play_helpers.h"

#include "GameAssets.h"
#include "platform/codepage.h"

namespace playtest {

// The state the start key leaves behind, with a fresh pair of idioms.
void BeginPlay(TForm1& game, std::int32_t stage) {
  game.titlePhase = false;
  game.resumeState = 2;
  game.playing = true;
  game.stage = stage;
  game.messageText = {};
  game.NewRound();
}

// The built sound effects, so that a played channel can be seen playing.
void LinkSoundEffects(const TempFolder& folder) {
  for (const std::string_view file : kWaveFiles) {
    const std::string name(file.substr(file.find('\\') + 1));
    std::filesystem::create_symlink(std::filesystem::path(KOTOBUNE_DATA_DIR) / name, folder.Native("data/" + name));
  }
}

void Hush(TForm1& game) {
  for (int n = 0; n < 10; ++n) game.DDSD1.Channel(n)->Stop();
}

bool Played(TForm1& game, int channel) {
  IDirectSoundBuffer8* buffer = game.DDSD1.Channel(channel)->Buffer();
  DWORD status = 0;
  if (buffer == nullptr || buffer->GetStatus(&status) != DS_OK) return false;
  return (status & DSBSTATUS_PLAYING) != 0;
}

std::vector<std::uint8_t> Bitmap(TDGTexture& texture) {
  TMemoryStream stream;
  texture.SaveToBMPStream(stream);
  return {stream.Memory().begin(), stream.Memory().end()};
}

bool ShowsPicture(TForm1& game, TDGTexture& texture, const std::string& picture) {
  TDGTexture reference(game.DG, DGAlphaFormats, 0, D3DPOOL_MANAGED, 0, "");
  game.LoadArchiveImage(reference, picture);
  return Bitmap(texture) == Bitmap(reference);
}

bool ShowsText(TForm1& game, TDGTexture& texture, std::u16string_view text, TSXTextWriter& writer) {
  TDGTexture reference(game.DG, DGAlphaFormats, 0, D3DPOOL_MANAGED, 0, "");
  game.RenderText(reference, Sjis(text), writer);
  return Bitmap(texture) == Bitmap(reference);
}

}  // namespace playtest
