// Everything on screen is a texture: pictures from the archive, text rendered whenever it
// changes, each drawn as one sprite per frame.
#include <cstdio>
#include <limits>

#include "GameAssets.h"
#include "Unit1.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/wingdi.h"

namespace {

constexpr D3DCOLOR kMeaningPlate = 0x99FFFFFF;
constexpr D3DCOLOR kReadingPlate = 0x9900FF00;
constexpr D3DCOLOR kAnswerPlate = 0x99FFFF00;
// The prompt band's own pale, nearly opaque: a ball behind a prompt line cannot break it.
constexpr D3DCOLOR kPromptPlate = 0xF0F4FAFA;
constexpr D3DCOLOR kBlack = 0x00000000;
constexpr D3DCOLOR kPureBlue = 0x000000FF;
constexpr int kGlyphCacheCapacity = 16;
// Room beside a text's own width, so its last glyph is never clipped.
constexpr UINT kTextMargin = 3;

// The largest length up to `most` that fits; length 0 always does.
template <class Fits>
std::size_t LongestFitting(std::size_t most, Fits fits) {
  std::size_t low = 0, high = most;
  if (fits(high)) return high;
  while (high - low > 1) {
    const std::size_t middle = low + (high - low) / 2;
    (fits(middle) ? low : high) = middle;
  }
  return low;
}

UINT LineWidth(TSXTextWriter& writer, std::u16string_view text) {
  return static_cast<UINT>(writer.TextWidth(Sjis(text))) + kTextMargin;
}

RECT WholeImage(const TDGTexture& texture) {
  return {0, 0, static_cast<LONG>(texture.Width()), static_cast<LONG>(texture.Height())};
}

}  // namespace

std::string PadNumber(std::int32_t n) {
  const std::string digits = std::to_string(n);
  if (n >= 100000) return digits;
  const int zeros = n < 10 ? 5 : n < 100 ? 4 : n < 1000 ? 3 : n < 10000 ? 2 : 1;
  return std::string(static_cast<size_t>(zeros), '0') + digits;
}

std::unique_ptr<TDGTexture> TForm1::NewTexture() {
  return std::make_unique<TDGTexture>(DG, DGAlphaFormats, 0, D3DPOOL_MANAGED, 0, "");
}

std::unique_ptr<TDGTexture> TForm1::LoadedPicture(const std::string& name) {
  auto texture = NewTexture();
  LoadArchiveImage(*texture, name);
  return texture;
}

void TForm1::LoadArchiveImage(TDGTexture& texture, const std::string& name) {
  texture.ClearColor = 0x000000FF;
  texture.LoadBMP(name, exeDir + std::string(kPictureArchive));
  texture.SetColorKey(WholeImage(texture), kBlack);
}

void TForm1::DrawSprite(TDGTexture& texture, std::int32_t x, std::int32_t y, std::uint32_t colour) {
  const float w = static_cast<float>(texture.Width()), h = static_cast<float>(texture.Height());
  const float u = texture.ScaleU(), v = texture.ScaleV();
  const std::array<TSXVertex, 4> corners{{{0, 0, colour, 0, 0}, {w, 0, colour, u, 0}, {0, h, colour, 0, v},
                                          {w, h, colour, u, v}}};
  scene->QueueQuad(static_cast<float>(x), static_cast<float>(y), corners.data(), &texture, sxbAlphaBlend, 0, 1, 0);
}

void TForm1::RenderText(TDGTexture& texture, const std::string& text, TSXTextWriter& writer) {
  if (text.empty()) return;
  const UINT width = static_cast<UINT>(writer.TextWidth(text)) + kTextMargin;
  const UINT height = static_cast<UINT>(writer.TextHeight(text));
  using Texture = std::unique_ptr<TDGTexture>;
  const auto refillPlate = [&](const Texture& line, const Texture& plate, D3DCOLOR colour) {
    if (line.get() != &texture) return;
    plate->SetSize(width, height);
    plate->FillRect(WholeImage(*plate), colour, false);
  };
  for (size_t k = 0; k < texMeaningLine.size(); ++k) refillPlate(texMeaningLine[k], texMeaningPlate[k], kMeaningPlate);
  for (size_t r = 0; r < texReading.size(); ++r) {
    refillPlate(texReading[r], texReadingPlate[r], kReadingPlate);
    refillPlate(texAnswer[r], texAnswerPlate[r], kAnswerPlate);
    refillPlate(texMessage[r], texMessagePlate[r], kPromptPlate);
  }
  refillPlate(texPromptNote, texPromptNotePlate, kPromptPlate);
  texture.SetSize(width, height);
  texture.FillRect(WholeImage(texture), 0x00000000, false);
  writer.DrawText(0, 0, texture, text);
}

void TForm1::RenderBallChar(int i) { RenderText(*texBallChar[i], Sjis(ballChar[i]), *writerLarge); }
// A texture wider than the device allows would end the program; the player's own meaning
// may be that long, so the rest of the line is left out.
std::u16string TForm1::FittingMeaningLine(std::u16string_view line) {
  UINT widest = std::numeric_limits<UINT>::max();
  D3DCAPS9 caps;
  if (DG.Direct3D() != nullptr && DG.Direct3D()->GetDeviceCaps(DG.Adapter(), DG.DeviceType(), &caps) == D3D_OK) {
    widest = caps.MaxTextureWidth;
  }
  return FittingLine(line, *writerSmall, widest);
}

std::u16string TForm1::FittingLine(std::u16string_view line, TSXTextWriter& writer, UINT widest) {
  const auto fits = [&](std::size_t length) { return LineWidth(writer, line.substr(0, length)) <= widest; };
  return std::u16string(line.substr(0, LongestFitting(line.size(), fits)));
}

void TForm1::RenderMeaningLine(int k) { RenderText(*texMeaningLine[k], Sjis(meaningLine[k]), *writerSmall); }

void TForm1::RenderCounter(TDGTexture& texture, std::u16string_view label, std::int32_t value) {
  RenderText(texture, Sjis(label) + std::to_string(value), *writerSmall);
}

// A long detail (a path, then the system's reason) loses its start: its end says most.
void TForm1::ShowPromptNote(std::u16string_view lead, std::u16string_view detail) {
  const auto widest = static_cast<UINT>(screenWidth);
  const auto withEnd = [&](std::size_t length) {
    return std::u16string(lead) + (length < detail.size() ? u"…" : u"") + std::u16string(detail.substr(detail.size() - length));
  };
  const std::size_t kept =
      LongestFitting(detail.size(), [&](std::size_t length) { return LineWidth(*writerSmall, withEnd(length)) <= widest; });
  promptNote = Sjis(withEnd(kept));
  RenderText(*texPromptNote, promptNote, *writerSmall);
}

void TForm1::RenderMessages() {
  RenderText(*texMessage[0], messageText[0], *writerLarge);
  RenderText(*texMessage[1], messageText[1], *writerLarge);
}

void TForm1::DrawGauge() {
  TDGTexture& bar = *texGage;
  const auto w = static_cast<LONG>(bar.Width()), h = static_cast<LONG>(bar.Height());
  const LONG filled = (w - 6) * gauge / kGaugeFull;
  bar.FillRect(WholeImage(bar), 0xFF00FF00, false);
  bar.FillRect({3, 3, 3 + filled, h - 3}, 0xFFFF0000, false);
  bar.FillRect({3 + filled, 3, w - 3, h - 3}, 0xFF000000, false);
}

void TForm1::CreateWriters() {
  for (auto* writer : {&writerLarge, &writerSmall, &writerBig}) {
    *writer = std::make_unique<TSXTextWriter>(DG, D3DFMT_A8R8G8B8, kGlyphCacheCapacity);
    (*writer)->SetFont(Font);
  }
  writerSmall->SetFontSize(10);
  writerBig->SetFontSize(20);
}

void TForm1::CreateTextTextures() {
  for (auto& glyph : texBallChar) {
    glyph = writerLarge->CreateTextTexture(Sjis(u"四"), DGAlphaFormats, "");
    glyph->SetColorKey(WholeImage(*glyph), kBlack);
  }
  for (size_t k = 0; k < texMeaningLine.size(); ++k) {
    texMeaningLine[k] = NewTexture();
    texMeaningPlate[k] = NewTexture();
  }
  for (size_t r = 0; r < texReading.size(); ++r) {
    texReading[r] = NewTexture();
    texReadingPlate[r] = NewTexture();
    texAnswer[r] = NewTexture();
    texAnswerPlate[r] = NewTexture();
  }
  texScore = NewTexture();
  RenderText(*texScore, Sjis(u"得点:") + PadNumber(0), *writerSmall);
  texBestScore = NewTexture();
  texTime = NewTexture();
  RenderText(*texTime, PadNumber(0), *writerSmall);
  texCorrect = NewTexture();
  RenderCounter(*texCorrect, u"正解:", correctCount);
  texCombo = NewTexture();
  RenderCounter(*texCombo, u"連続正解:", comboCount);
  texStage = NewTexture();
  RenderCounter(*texStage, u"STAGE ", stage);
  for (size_t r = 0; r < texMessage.size(); ++r) {
    texMessagePlate[r] = NewTexture();
    texMessage[r] = NewTexture();
  }
  texPromptNotePlate = NewTexture();
  texPromptNote = NewTexture();
  for (auto& line : texPageLine) line = NewTexture();
}

void TForm1::LoadPictures() {
  texBackground = LoadedPicture("Haikei.bmp");
  for (size_t i = 0; i < texBall.size(); ++i) {
    texBall[i] = LoadedPicture("ball" + std::to_string(i) + ".bmp");
    // Balls are keyed with blue instead: black ink on them must stay.
    texBall[i]->SetColorKey(WholeImage(*texBall[i]), kPureBlue);
  }
  sharkPicture = "same0.bmp";
  texShark = LoadedPicture(sharkPicture);
  PlaceSharkAtStart();
  texShot = LoadedPicture("tama.bmp");
  texTarget = LoadedPicture("target.bmp");
  texMaru = LoadedPicture("maru.bmp");
  texBatu = LoadedPicture("batu.bmp");
  texJudge = LoadedPicture("seikai.bmp");
  texGage = LoadedPicture("gage.bmp");
  texBakuhatu = LoadedPicture("bakuhatu.bmp");
  texGOBakuhatu = LoadedPicture("GOBakuhatu.bmp");
  texBanner = NewTexture();
  texSosaHoho = LoadedPicture("SosaHoho.bmp");
  texTitle = LoadedPicture("Title.bmp");
  texRogo = LoadedPicture("rogo.bmp");
  texPromptBand = LoadedPicture("PromptBand.bmp");
  texPageBackdrop = LoadedPicture("PageBack.bmp");
}

// In the order start-up made them, last the ones it made last.
void TForm1::ReleaseTextures() {
  texBackground.reset();
  for (auto& picture : texBall) picture.reset();
  texShark.reset();
  texShot.reset();
  for (auto& glyph : texBallChar) glyph.reset();
  for (size_t k = 0; k < texMeaningLine.size(); ++k) {
    texMeaningLine[k].reset();
    texMeaningPlate[k].reset();
  }
  for (size_t r = 0; r < texReading.size(); ++r) {
    texReading[r].reset();
    texReadingPlate[r].reset();
    texAnswer[r].reset();
    texAnswerPlate[r].reset();
  }
  for (auto* texture : {&texTarget, &texMaru, &texBatu, &texTime, &texJudge, &texCombo, &texScore, &texBestScore,
                        &texCorrect, &texMessage[0], &texMessage[1], &texGage, &texBakuhatu, &texGOBakuhatu,
                        &texBanner, &texSosaHoho, &texTitle, &texRogo, &texStage}) {
    texture->reset();
  }
  for (auto* texture : {&texMessagePlate[0], &texMessagePlate[1], &texPromptNotePlate, &texPromptNote, &texPromptBand,
                        &texPageBackdrop}) {
    texture->reset();
  }
  for (auto& line : texPageLine) line.reset();
}

void TForm1::ApplyFontSetting() {
  const std::string settings = SettingsFile();
  if (!FileExists(settings)) return;
  const std::string name = GetPrivateProfileStringA("Font", "Name", Sjis(u"ＭＳ Ｐゴシック"), settings);
  for (const std::string& face : InstalledFontFaces()) {
    if (face != name) continue;
    // A Latin-only family would turn every later text into empty boxes.
    if (!FontFaceShowsJapanese(face)) {
      std::fprintf(stderr, "ことぶね: the font \"%s\" set in settei.ini has no Japanese characters; %s\n",
                   platform::Cp932ToUtf8(face).c_str(), "the default font is used");
      return;
    }
    writerLarge->SetFontName(face);
    writerSmall->SetFontName(face);
    return;
  }
}
