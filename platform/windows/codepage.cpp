// Code page 932 through the system's own converter.
#include "platform/codepage.h"

#include "win32.h"

namespace platform {

namespace {
using win32::kCodePageShiftJis;
using win32::kCodePageUtf8;
}  // namespace

std::u16string Cp932ToUtf16(std::string_view sjis) { return win32::ToWide(kCodePageShiftJis, sjis, false); }

std::string Utf16ToCp932(std::u16string_view text) {
  return win32::FromWide(kCodePageShiftJis, text, false).value_or(std::string());
}

std::string Cp932ToUtf8(std::string_view sjis) {
  return win32::FromWide(kCodePageUtf8, Cp932ToUtf16(sjis), false).value_or(std::string());
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  const std::u16string text = win32::ToWide(kCodePageUtf8, utf8, true);
  if (text.empty() && !utf8.empty()) return std::nullopt;
  return win32::FromWide(kCodePageShiftJis, text, true);
}

std::string Utf8ToCp932Lossy(std::string_view utf8) {
  return Utf16ToCp932(win32::ToWide(kCodePageUtf8, utf8, false));
}

}  // namespace platform
