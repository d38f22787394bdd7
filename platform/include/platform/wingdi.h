#pragma once
// Fonts and glyphs: a memory device context with a font selected, its text metrics, text
// extents and glyph bitmaps. Text and face names are Shift-JIS.
#include <string>
#include <string_view>
#include <vector>

#include "platform/app.h"
#include "platform/wintypes.h"

using HDC = struct HDC__*;
using HFONT = struct HFONT__*;

struct SIZE {
  LONG cx = 0, cy = 0;
};

struct POINT {
  LONG x = 0, y = 0;
};

struct TEXTMETRICA {
  LONG tmHeight = 0, tmAscent = 0, tmDescent = 0, tmInternalLeading = 0, tmExternalLeading = 0;
  LONG tmAveCharWidth = 0, tmMaxCharWidth = 0, tmWeight = 0;
};

struct GLYPHMETRICS {
  UINT gmBlackBoxX = 0, gmBlackBoxY = 0;
  POINT gmptGlyphOrigin;
  short gmCellIncX = 0, gmCellIncY = 0;
};

struct FIXED {
  WORD fract = 0;
  short value = 0;
};

struct MAT2 {
  FIXED eM11, eM12, eM21, eM22;
};

constexpr UINT GGO_BITMAP = 1;
constexpr UINT GGO_GRAY8_BITMAP = 6;
constexpr DWORD GDI_ERROR = 0xFFFFFFFFu;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

// Point sizes convert at this many pixels per inch.
constexpr int kScreenPixelsPerInch = 96;
// Height for a point size: negative, the character height in pixels (10 pt -> -13).
int FontHeightForPointSize(int points);

// A font as the font object describes it; throws EPlatformError when no Japanese font is
// installed at all.
HFONT CreateFontFromDescription(const TFont& font);
HDC CreateCompatibleDC(HDC);
HFONT SelectObject(HDC dc, HFONT font);  // returns the font selected before
BOOL DeleteObject(HFONT font);
BOOL DeleteDC(HDC dc);

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size);
// Without a buffer, the size the bitmap needs. Gray bitmaps hold levels 0..64.
DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, void* buffer,
                       const MAT2* matrix);

// Every installed family name, localised ones included, in Shift-JIS, sorted.
std::vector<std::string> InstalledFontFaces();
// False for a face (Shift-JIS name) that is not installed or has no kana and kanji.
bool FontFaceShowsJapanese(const std::string& face);
