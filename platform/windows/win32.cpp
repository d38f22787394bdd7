#include "win32.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <set>

namespace platform::win32 {

namespace {

const wchar_t* Wide(std::u16string_view text) { return reinterpret_cast<const wchar_t*>(text.data()); }
wchar_t* Wide(std::u16string& text) { return reinterpret_cast<wchar_t*>(text.data()); }

}  // namespace

std::u16string ToWide(unsigned codePage, std::string_view bytes, bool strict) {
  if (bytes.empty()) return {};
  const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::u16string text(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(codePage, flags, bytes.data(), size, Wide(text), length);
  return text;
}

namespace {

// A character beyond the basic plane is one character, so it becomes one '?', not two.
std::u16string OneUnitPerCharacter(std::u16string_view text) {
  std::u16string units;
  units.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit < 0xD800 || unit > 0xDFFF) {
      units.push_back(unit);
      continue;
    }
    if (unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    units.push_back(u'?');
  }
  return units;
}

}  // namespace

std::optional<std::string> FromWide(unsigned codePage, std::u16string_view original, bool strict) {
  if (original.empty()) return std::string();
  const std::u16string units = codePage == CP_UTF8 ? std::u16string(original) : OneUnitPerCharacter(original);
  if (strict && units != original) return std::nullopt;
  const std::u16string_view text = units;
  const bool utf8 = codePage == CP_UTF8;
  // Best-fit mapping would turn 'é' into 'e'; an unknown character must show as '?'.
  const DWORD flags = utf8 ? (strict ? WC_ERR_INVALID_CHARS : 0) : WC_NO_BEST_FIT_CHARS;
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(codePage, flags, Wide(text), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(length), '\0');
  BOOL usedDefault = FALSE;
  WideCharToMultiByte(codePage, flags, Wide(text), size, bytes.data(), length, utf8 ? nullptr : "?",
                      utf8 ? nullptr : &usedDefault);
  if (strict && usedDefault) return std::nullopt;
  return bytes;
}

std::uint32_t TimeGetTime() { return ::timeGetTime(); }
unsigned TimeBeginPeriod(unsigned period) { return ::timeBeginPeriod(period); }
unsigned TimeEndPeriod(unsigned period) { return ::timeEndPeriod(period); }
void Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::u16string ModuleFileName() {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, Wide(path), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::optional<std::u16string> SendMci(std::u16string_view command) {
  std::u16string reply(128, u'\0');
  const std::u16string terminated(command);
  if (mciSendStringW(Wide(terminated), Wide(reply), static_cast<UINT>(reply.size()), nullptr) != 0) {
    return std::nullopt;
  }
  reply.resize(reply.find(u'\0'));
  return reply;
}

void* CreateFontHandle(const FontRequest& request) {
  std::u16string face = request.face.substr(0, LF_FACESIZE - 1);
  // Asking for the Japanese character set makes the font mapper fall back to a font with kana.
  return CreateFontW(request.height, 0, 0, 0, request.bold ? FW_BOLD : FW_NORMAL, request.italic,
                     request.underline, request.strikeOut, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Wide(face));
}

bool FontHasJapanese(void* font) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return false;
  HGDIOBJ previous = SelectObject(dc, static_cast<HFONT>(font));
  const bool japanese = GetTextCharset(dc) == SHIFTJIS_CHARSET;
  SelectObject(dc, previous);
  DeleteDC(dc);
  return japanese;
}

void* CreateMemoryDc() { return CreateCompatibleDC(nullptr); }
void* SelectFont(void* dc, void* font) { return SelectObject(static_cast<HDC>(dc), static_cast<HFONT>(font)); }
bool DeleteFontHandle(void* font) { return DeleteObject(static_cast<HFONT>(font)) != FALSE; }
bool DeleteMemoryDc(void* dc) { return DeleteDC(static_cast<HDC>(dc)) != FALSE; }

std::optional<TextMetrics> FontTextMetrics(void* dc) {
  TEXTMETRICW metrics{};
  if (!GetTextMetricsW(static_cast<HDC>(dc), &metrics)) return std::nullopt;
  return TextMetrics{metrics.tmHeight,       metrics.tmAscent,       metrics.tmDescent,
                     metrics.tmInternalLeading, metrics.tmExternalLeading, metrics.tmAveCharWidth,
                     metrics.tmMaxCharWidth, metrics.tmWeight};
}

std::optional<std::pair<long, long>> TextExtent(void* dc, std::u16string_view text) {
  SIZE size{};
  if (!GetTextExtentPoint32W(static_cast<HDC>(dc), Wide(text), static_cast<int>(text.size()), &size)) {
    return std::nullopt;
  }
  return std::pair<long, long>{size.cx, size.cy};
}

std::uint32_t GlyphOutline(void* dc, char16_t character, unsigned format, GlyphMetrics& metrics,
                       std::uint32_t bufferSize, void* buffer) {
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  GLYPHMETRICS glyph{};
  const DWORD result = GetGlyphOutlineW(static_cast<HDC>(dc), character, format, &glyph, bufferSize, buffer, &identity);
  metrics = {glyph.gmBlackBoxX, glyph.gmBlackBoxY, glyph.gmptGlyphOrigin.x, glyph.gmptGlyphOrigin.y,
             glyph.gmCellIncX, glyph.gmCellIncY};
  return result;
}

namespace {

int CALLBACK AddFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM families) {
  reinterpret_cast<std::set<std::u16string>*>(families)->insert(
      reinterpret_cast<const char16_t*>(font->lfFaceName));
  return 1;
}

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

}  // namespace

bool FamilyHasJapanese(std::u16string_view face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return false;
  LOGFONTW japanese{};
  japanese.lfCharSet = SHIFTJIS_CHARSET;
  std::copy(face.begin(), face.end(), japanese.lfFaceName);
  bool found = false;
  EnumFontFamiliesExW(dc, &japanese, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
  DeleteDC(dc);
  return found;
}

std::vector<std::u16string> FontFamilies() {
  std::set<std::u16string> families;
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return {};
  LOGFONTW all{};
  all.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExW(dc, &all, AddFamily, reinterpret_cast<LPARAM>(&families), 0);
  DeleteDC(dc);
  return {families.begin(), families.end()};
}

}  // namespace platform::win32
