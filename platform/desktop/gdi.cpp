// Fonts on FreeType and fontconfig, with the metrics and glyph bitmaps of a memory DC.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

#include "backend.h"
#include "platform/codepage.h"
#include "platform/wingdi.h"

namespace {

// fontconfig maps the usual Windows Japanese face names to fonts without kana, so they
// are resolved here to the IPA fonts that carry the same design.
constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kFaceAliases{{
    {"ＭＳ Ｐゴシック", "IPAPGothic"},
    {"MS PGothic", "IPAPGothic"},
    {"ＭＳ ゴシック", "IPAGothic"},
    {"MS Gothic", "IPAGothic"},
    {"ＭＳ Ｐ明朝", "IPAPMincho"},
    {"MS PMincho", "IPAPMincho"},
    {"ＭＳ 明朝", "IPAMincho"},
    {"MS Mincho", "IPAMincho"},
}};

constexpr const char* kJapaneseFontPackage = "fonts-ipafont-gothic";

struct FontFile {
  std::string path;
  int index = 0;
  bool bold = false, italic = false;  // what the file itself provides
};

struct FreeTypeLibrary {
  FT_Library library = nullptr;
  FreeTypeLibrary() {
    if (FT_Init_FreeType(&library) != 0) throw EPlatformError("the font engine could not start");
  }
  ~FreeTypeLibrary() { FT_Done_FreeType(library); }
};

FT_Library Library() {
  static FreeTypeLibrary library;
  return library.library;
}

struct FcPatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, FcPatternDeleter>;

std::optional<FontFile> MatchFontFile(PatternPtr pattern) {
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  const PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  if (!match || result != FcResultMatch) return std::nullopt;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) return std::nullopt;
  FontFile found{reinterpret_cast<const char*>(file)};
  FcPatternGetInteger(match.get(), FC_INDEX, 0, &found.index);
  int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  FcPatternGetInteger(match.get(), FC_WEIGHT, 0, &weight);
  FcPatternGetInteger(match.get(), FC_SLANT, 0, &slant);
  // fontconfig reports the weight asked for when it only suggests emboldening.
  FcBool embolden = FcFalse;
  FcPatternGetBool(match.get(), FC_EMBOLDEN, 0, &embolden);
  found.bold = weight >= FC_WEIGHT_BOLD && embolden == FcFalse;
  found.italic = slant != FC_SLANT_ROMAN;
  return found;
}

bool FamilyHasName(const std::string& family) {
  const PatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  const std::unique_ptr<FcObjectSet, decltype(&FcObjectSetDestroy)> objects(FcObjectSetBuild(FC_FAMILY, nullptr),
                                                                            FcObjectSetDestroy);
  const std::unique_ptr<FcFontSet, decltype(&FcFontSetDestroy)> fonts(
      FcFontList(nullptr, pattern.get(), objects.get()), FcFontSetDestroy);
  return fonts && fonts->nfont > 0;
}

std::optional<FontFile> FindFamily(const std::string& family, bool bold, bool italic) {
  if (family.empty() || !FamilyHasName(family)) return std::nullopt;
  PatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  return MatchFontFile(std::move(pattern));
}

// Hiragana, katakana and a kanji: a face without them would draw the game's text as boxes.
bool ShowsKana(const FontFile& file) {
  FT_Face face = nullptr;
  bool shows = FT_New_Face(Library(), file.path.c_str(), file.index, &face) == 0;
  for (const FT_ULong character : {0x3042ul, 0x30A2ul, 0x5B57ul}) {
    shows = shows && FT_Get_Char_Index(face, character) != 0;
  }
  if (face != nullptr) FT_Done_Face(face);
  return shows;
}

std::optional<FontFile> FindAnyJapaneseFont(bool bold, bool italic) {
  PatternPtr pattern(FcNameParse(reinterpret_cast<const FcChar8*>(":lang=ja")));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  auto found = MatchFontFile(std::move(pattern));
  // fontconfig always answers; make sure the answer can show kana.
  return found && ShowsKana(*found) ? found : std::nullopt;
}

std::string AliasedFamily(const std::string& faceUtf8) {
  for (const auto& [windowsName, installed] : kFaceAliases) {
    if (windowsName == faceUtf8) return std::string(installed);
  }
  return faceUtf8;
}

FontFile ResolveFace(const std::string& faceUtf8, bool bold, bool italic) {
  const std::string family = AliasedFamily(faceUtf8);
  if (auto found = FindFamily(family, bold, italic)) return *found;
  if (auto found = FindAnyJapaneseFont(bold, italic)) return *found;
  throw EPlatformError(std::string("no Japanese font is installed; install the Debian package ") +
                       kJapaneseFontPackage);
}

LONG Round26Dot6(FT_Pos value) { return static_cast<LONG>((value + 32) >> 6); }
LONG Ceil26Dot6(FT_Pos value) { return static_cast<LONG>((value + 63) >> 6); }

// The text cell in font units. Windows takes it from the OS/2 table's Windows metrics, which
// cover every glyph's ink; the horizontal header's ascent and descent often do not (a comma or
// a 'g' would lose its lowest rows).
struct Cell {
  FT_Long ascent = 0, descent = 0;
};

Cell CellOf(FT_Face face) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    return {os2->usWinAscent, os2->usWinDescent};
  }
  return {face->ascender, -face->descender};
}

}  // namespace

struct HFONT__ {
  FT_Face face = nullptr;
  bool emboldenSynthetic = false, slantSynthetic = false;
  TFont description;
  // Measuring text is asked for far more often than glyphs change.
  std::unordered_map<UINT, LONG> advances;

  explicit HFONT__(const TFont& font) : description(font) {
    const FontFile file = ResolveFace(platform::Cp932ToUtf8(font.Name), font.Bold, font.Italic);
    if (FT_New_Face(Library(), file.path.c_str(), file.index, &face) != 0) {
      throw EPlatformError("cannot read the font file " + file.path);
    }
    emboldenSynthetic = font.Bold && !file.bold;
    slantSynthetic = font.Italic && !file.italic;
    SetHeight(font.Height);
  }
  ~HFONT__() { FT_Done_Face(face); }
  HFONT__(const HFONT__&) = delete;
  HFONT__& operator=(const HFONT__&) = delete;

  // Negative heights are character (em) heights; positive ones are cell heights.
  void SetHeight(int height) {
    if (height == 0) height = -16;
    FT_UInt pixels = static_cast<FT_UInt>(std::abs(height));
    if (height > 0) {
      const Cell units = CellOf(face);
      const double cell = static_cast<double>(units.ascent + units.descent);
      if (cell > 0) pixels = static_cast<FT_UInt>(std::lround(height * face->units_per_EM / cell));
    }
    FT_Set_Pixel_Sizes(face, 0, std::max<FT_UInt>(pixels, 1));
  }

  LONG Advance(UINT code);

  FT_GlyphSlot Load(FT_ULong unicode) const {
    const FT_UInt index = FT_Get_Char_Index(face, unicode);
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return nullptr;
    if (emboldenSynthetic) FT_GlyphSlot_Embolden(face->glyph);
    if (slantSynthetic) FT_GlyphSlot_Oblique(face->glyph);
    return face->glyph;
  }
};

struct HDC__ {
  HFONT font = nullptr;
};

namespace {

std::vector<UINT> CodesOf(const char* text, int length) {
  std::vector<UINT> codes;
  for (int i = 0; i < length; ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (platform::IsCp932LeadByte(lead) && i + 1 < length) {
      codes.push_back(lead * 256u + static_cast<unsigned char>(text[++i]));
    } else {
      codes.push_back(lead);
    }
  }
  return codes;
}

DWORD RowBytes(UINT format, UINT width) {
  return format == GGO_BITMAP ? ((width + 7) / 8 + 3) & ~3u : (width + 3) & ~3u;
}

void CopyGray(const FT_Bitmap& bitmap, DWORD rowBytes, std::uint8_t* out) {
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    const std::uint8_t* source = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
    for (unsigned column = 0; column < bitmap.width; ++column) {
      out[row * rowBytes + column] = static_cast<std::uint8_t>((source[column] * 64 + 127) / 255);
    }
  }
}

void CopyMono(const FT_Bitmap& bitmap, DWORD rowBytes, std::uint8_t* out) {
  const unsigned sourceBytes = (bitmap.width + 7) / 8;
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    std::memcpy(out + row * rowBytes, bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch, sourceBytes);
  }
}

}  // namespace

LONG HFONT__::Advance(UINT code) {
  if (const auto known = advances.find(code); known != advances.end()) return known->second;
  const FT_GlyphSlot slot = Load(platform::UnicodeOfCp932Code(code));
  const LONG advance = slot != nullptr ? Round26Dot6(slot->advance.x) : 0;
  advances.emplace(code, advance);
  return advance;
}

int FontHeightForPointSize(int points) {
  return -static_cast<int>(std::lround(points * static_cast<double>(kScreenPixelsPerInch) / 72.0));
}

HFONT CreateFontFromDescription(const TFont& font) { return new HFONT__(font); }
HDC CreateCompatibleDC(HDC) { return new HDC__; }

HFONT SelectObject(HDC dc, HFONT font) {
  if (dc == nullptr) return nullptr;
  return std::exchange(dc->font, font);
}

BOOL DeleteObject(HFONT font) {
  delete font;
  return TRUE;
}

BOOL DeleteDC(HDC dc) {
  platform::backend::TraceRelease("DeleteDC", dc);
  delete dc;
  return TRUE;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
  if (dc == nullptr || dc->font == nullptr || metrics == nullptr) return FALSE;
  const FT_Size_Metrics& size = dc->font->face->size->metrics;
  const Cell cell = CellOf(dc->font->face);
  *metrics = {};
  metrics->tmAscent = Ceil26Dot6(FT_MulFix(cell.ascent, size.y_scale));
  metrics->tmDescent = Ceil26Dot6(FT_MulFix(cell.descent, size.y_scale));
  metrics->tmHeight = metrics->tmAscent + metrics->tmDescent;
  metrics->tmInternalLeading = std::max<LONG>(0, metrics->tmHeight - static_cast<LONG>(size.y_ppem));
  metrics->tmMaxCharWidth = Round26Dot6(size.max_advance);
  metrics->tmAveCharWidth = static_cast<LONG>(size.x_ppem / 2);
  metrics->tmWeight = dc->font->description.Bold ? FW_BOLD : FW_NORMAL;
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size) {
  TEXTMETRICA metrics;
  if (size == nullptr || !GetTextMetricsA(dc, &metrics)) return FALSE;
  LONG width = 0;
  for (const UINT code : CodesOf(text, std::max(length, 0))) width += dc->font->Advance(code);
  *size = {width, metrics.tmHeight};
  return TRUE;
}

DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, void* buffer,
                       const MAT2*) {
  if (dc == nullptr || dc->font == nullptr || metrics == nullptr) return GDI_ERROR;
  if (format != GGO_BITMAP && format != GGO_GRAY8_BITMAP) return GDI_ERROR;
  const FT_GlyphSlot slot = dc->font->Load(platform::UnicodeOfCp932Code(character));
  if (slot == nullptr) return GDI_ERROR;
  if (FT_Render_Glyph(slot, format == GGO_BITMAP ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return GDI_ERROR;
  const FT_Bitmap& bitmap = slot->bitmap;
  const bool ink = bitmap.width > 0 && bitmap.rows > 0;
  // A glyph without ink still has a one-pixel box, and needs no bitmap.
  *metrics = {ink ? bitmap.width : 1, ink ? bitmap.rows : 1, {slot->bitmap_left, slot->bitmap_top},
              static_cast<short>(Round26Dot6(slot->advance.x)), 0};
  if (!ink) return 0;
  const DWORD rowBytes = RowBytes(format, bitmap.width);
  const DWORD needed = rowBytes * bitmap.rows;
  if (buffer == nullptr || bufferSize == 0) return needed;
  if (bufferSize < needed) return GDI_ERROR;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::memset(out, 0, needed);
  if (format == GGO_BITMAP) {
    CopyMono(bitmap, rowBytes, out);
  } else {
    CopyGray(bitmap, rowBytes, out);
  }
  return needed;
}

bool FontFaceShowsJapanese(const std::string& face) {
  const auto found = FindFamily(AliasedFamily(platform::Cp932ToUtf8(face)), false, false);
  return found && ShowsKana(*found);
}

std::vector<std::string> InstalledFontFaces() {
  const PatternPtr pattern(FcPatternCreate());
  const std::unique_ptr<FcObjectSet, decltype(&FcObjectSetDestroy)> objects(FcObjectSetBuild(FC_FAMILY, nullptr),
                                                                            FcObjectSetDestroy);
  const std::unique_ptr<FcFontSet, decltype(&FcFontSetDestroy)> fonts(
      FcFontList(nullptr, pattern.get(), objects.get()), FcFontSetDestroy);
  std::set<std::string> faces;
  for (int i = 0; fonts && i < fonts->nfont; ++i) {
    FcChar8* family = nullptr;
    for (int n = 0; FcPatternGetString(fonts->fonts[i], FC_FAMILY, n, &family) == FcResultMatch; ++n) {
      if (auto name = platform::Utf8ToCp932(reinterpret_cast<const char*>(family))) faces.insert(*name);
    }
  }
  return {faces.begin(), faces.end()};
}
