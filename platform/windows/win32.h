#pragma once
// The Windows calls the platform layer makes where Windows has the real interface. They live
// behind this header because <windows.h> and the game's own Windows-shaped declarations
// (BOOL, TRUE, Sleep, SIZE, ...) cannot meet in one translation unit.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::win32 {

// Conversions through the system's converter. nullopt when the input cannot be converted
// exactly (broken UTF-8, or a character the target code page lacks).
constexpr unsigned kCodePageShiftJis = 932;
constexpr unsigned kCodePageUtf8 = 65001;
std::u16string ToWide(unsigned codePage, std::string_view bytes, bool strict);
std::optional<std::string> FromWide(unsigned codePage, std::u16string_view text, bool strict);

std::uint32_t TimeGetTime();
unsigned TimeBeginPeriod(unsigned period);
unsigned TimeEndPeriod(unsigned period);
void Sleep(std::uint32_t milliseconds);
std::u16string ModuleFileName();

// MCI command strings; the device's reply, or nullopt when the command failed.
std::optional<std::u16string> SendMci(std::u16string_view command);

// GDI fonts. Handles are the real HDC and HFONT values.
struct FontRequest {
  int height = 0;
  bool bold = false, italic = false, underline = false, strikeOut = false;
  std::u16string face;
};
void* CreateFontHandle(const FontRequest& request);
bool FontHasJapanese(void* font);
void* CreateMemoryDc();
void* SelectFont(void* dc, void* font);
bool DeleteFontHandle(void* font);
bool DeleteMemoryDc(void* dc);

struct TextMetrics {
  long height = 0, ascent = 0, descent = 0, internalLeading = 0, externalLeading = 0;
  long aveCharWidth = 0, maxCharWidth = 0, weight = 0;
};
std::optional<TextMetrics> FontTextMetrics(void* dc);
std::optional<std::pair<long, long>> TextExtent(void* dc, std::u16string_view text);

struct GlyphMetrics {
  unsigned blackBoxX = 0, blackBoxY = 0;
  long originX = 0, originY = 0;
  short cellIncX = 0, cellIncY = 0;
};
constexpr std::uint32_t kGdiError = 0xFFFFFFFFu;
// format: GGO_BITMAP (1) or GGO_GRAY8_BITMAP (6), drawn with the identity matrix.
std::uint32_t GlyphOutline(void* dc, char16_t character, unsigned format, GlyphMetrics& metrics,
                       std::uint32_t bufferSize, void* buffer);
std::vector<std::u16string> FontFamilies();
// Whether an installed family of that name has the Japanese character set.
bool FamilyHasJapanese(std::u16string_view face);

}  // namespace platform::win32
