// Fonts and glyphs from GDI itself: the faces the game names exist on Windows.
#include <algorithm>
#include <cmath>

#include "backend.h"
#include "platform/codepage.h"
#include "platform/wingdi.h"
#include "win32.h"

namespace {

void* Handle(HDC dc) { return static_cast<void*>(dc); }
void* Handle(HFONT font) { return static_cast<void*>(font); }

}  // namespace

int FontHeightForPointSize(int points) {
  return -static_cast<int>(std::lround(points * static_cast<double>(kScreenPixelsPerInch) / 72.0));
}

HFONT CreateFontFromDescription(const TFont& font) {
  const platform::win32::FontRequest request{font.Height, font.Bold, font.Italic, font.Underline, font.StrikeOut,
                                             platform::Cp932ToUtf16(font.Name)};
  void* handle = platform::win32::CreateFontHandle(request);
  if (handle == nullptr || !platform::win32::FontHasJapanese(handle)) {
    if (handle != nullptr) platform::win32::DeleteFontHandle(handle);
    throw EPlatformError("no Japanese font is installed; add the Japanese language support of Windows");
  }
  return static_cast<HFONT>(handle);
}

HDC CreateCompatibleDC(HDC) { return static_cast<HDC>(platform::win32::CreateMemoryDc()); }

HFONT SelectObject(HDC dc, HFONT font) {
  if (dc == nullptr) return nullptr;
  return static_cast<HFONT>(platform::win32::SelectFont(Handle(dc), Handle(font)));
}

BOOL DeleteObject(HFONT font) { return platform::win32::DeleteFontHandle(Handle(font)) ? TRUE : FALSE; }
BOOL DeleteDC(HDC dc) {
  platform::backend::TraceRelease("DeleteDC", dc);
  return platform::win32::DeleteMemoryDc(Handle(dc)) ? TRUE : FALSE;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
  if (dc == nullptr || metrics == nullptr) return FALSE;
  const auto found = platform::win32::FontTextMetrics(Handle(dc));
  if (!found) return FALSE;
  *metrics = {found->height,       found->ascent,       found->descent,      found->internalLeading,
              found->externalLeading, found->aveCharWidth, found->maxCharWidth, found->weight};
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size) {
  if (dc == nullptr || size == nullptr) return FALSE;
  const std::string_view bytes = text == nullptr ? std::string_view() : std::string_view(text, std::max(length, 0));
  const auto extent = platform::win32::TextExtent(Handle(dc), platform::Cp932ToUtf16(bytes));
  if (!extent) return FALSE;
  *size = {extent->first, extent->second};
  return TRUE;
}

DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, void* buffer,
                       const MAT2*) {
  if (dc == nullptr || metrics == nullptr) return GDI_ERROR;
  if (format != GGO_BITMAP && format != GGO_GRAY8_BITMAP) return GDI_ERROR;
  platform::win32::GlyphMetrics glyph;
  const DWORD result =
      platform::win32::GlyphOutline(Handle(dc), platform::UnicodeOfCp932Code(character), format, glyph, bufferSize, buffer);
  *metrics = {glyph.blackBoxX, glyph.blackBoxY, {glyph.originX, glyph.originY}, glyph.cellIncX, glyph.cellIncY};
  return result;
}

bool FontFaceShowsJapanese(const std::string& face) {
  return platform::win32::FamilyHasJapanese(platform::Cp932ToUtf16(face));
}

std::vector<std::string> InstalledFontFaces() {
  std::vector<std::string> faces;
  for (const std::u16string& family : platform::win32::FontFamilies()) {
    if (auto name = platform::win32::FromWide(platform::win32::kCodePageShiftJis, family, true)) {
      faces.push_back(std::move(*name));
    }
  }
  std::sort(faces.begin(), faces.end());
  faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
  return faces;
}
