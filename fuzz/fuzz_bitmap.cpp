// Bitmaps loaded into a texture as the game loads its pictures: a damaged one is logged and
// leaves the texture as it was, whatever its headers claim.
#include <memory>

#include "DGCarad9.h"
#include "DGTexture.h"
#include "fuzz_input.h"
#include "platform/headless.h"

namespace {

// A window and the graphics component on the headless machine, logging without halting.
struct Graphics {
  Graphics() {
    headless::SetExeName(fuzzing::Folder().Native("kotobune"));
    TFormSettings settings;
    settings.ClientWidth = 640;
    settings.ClientHeight = 480;
    form = std::make_unique<TForm>(application, settings);
    carad = std::make_unique<TDGCarad>(*form);
    carad->SetDebugOption(dgoDebugMessage);
    carad->Loaded();
  }
  TApplication application;
  std::unique_ptr<TForm> form;
  std::unique_ptr<TDGCarad> carad;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Graphics graphics;
  TDGTexture texture(*graphics.carad, DGAlphaFormats, 0, D3DPOOL_MANAGED, 0, "");
  TMemoryStream bitmap(std::vector<std::uint8_t>(data, data + size));
  texture.LoadBMPFromStream(bitmap);
  return 0;
}
