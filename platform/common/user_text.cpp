#include <string_view>

#include "platform/codepage.h"

namespace platform {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at the front of `rest`, 0 if there is none
// (overlong forms, surrogates and code points past U+10FFFF are not well-formed).
std::size_t SequenceLength(std::string_view rest) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(rest[i]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) return 1;
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || rest.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if (!IsContinuation(at(i))) return 0;
  }
  const unsigned char second = at(1);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
      (lead == 0xF4 && second > 0x8F)) {
    return 0;
  }
  return length;
}

bool IsMultiByteUtf8(std::string_view text) {
  bool multiByte = false;
  while (!text.empty()) {
    const std::size_t length = SequenceLength(text);
    if (length == 0) return false;
    multiByte = multiByte || length > 1;
    text.remove_prefix(length);
  }
  return multiByte;
}

}  // namespace

UserText ClassifyUserText(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) return {bytes.substr(kUtf8Bom.size()), true, true};
  return {bytes, IsMultiByteUtf8(bytes), false};
}

}  // namespace platform
