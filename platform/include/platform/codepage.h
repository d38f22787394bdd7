#pragma once
// The game has two kinds of string: UTF-16 text and Shift-JIS (code page 932) bytes.
// The host file system speaks UTF-8.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Bytes that are not valid CP932 become U+30FB, as the Windows converter does.
std::u16string Cp932ToUtf16(std::string_view sjis);
// Characters CP932 cannot hold become '?'.
std::string Utf16ToCp932(std::u16string_view text);

std::string Cp932ToUtf8(std::string_view sjis);
// nullopt when any character has no CP932 form (such a name cannot reach the game).
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
// For text rather than names: characters with no CP932 form and broken UTF-8 become '?'.
std::string Utf8ToCp932Lossy(std::string_view utf8);

// How a file the player edits is written: a UTF-8 byte-order mark, or valid UTF-8 that holds
// multi-byte characters (which Shift-JIS text practically never is), makes it UTF-8;
// everything else is Shift-JIS. `body` is the text after any mark.
struct UserText {
  std::string_view body;
  bool utf8 = false;
  bool byteOrderMark = false;
};
UserText ClassifyUserText(std::string_view bytes);

// The first byte of a two-byte character. Its second byte may look like ASCII ('\', 'A'),
// so byte scans for separators or letters must step over it.
constexpr bool IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The character of a single-byte code or of lead × 256 + trail; 0 when there is none.
inline char16_t UnicodeOfCp932Code(unsigned code) {
  std::string bytes;
  if (code > 0xFF) bytes.push_back(static_cast<char>(code >> 8));
  bytes.push_back(static_cast<char>(code & 0xFF));
  const std::u16string text = Cp932ToUtf16(bytes);
  return text.empty() ? u'\0' : text[0];
}

}  // namespace platform
