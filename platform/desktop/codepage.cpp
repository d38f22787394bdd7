#include "platform/codepage.h"

#include <iconv.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

namespace platform {
namespace {

// glibc's "SHIFT_JIS" turns 0x5C and 0x7E into yen and overline; paths need the backslash.
constexpr const char* kCp932 = "CP932";
constexpr const char* kUtf8 = "UTF-8";
constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

constexpr std::string_view kMiddleDotUtf16 =
    std::endian::native == std::endian::little ? std::string_view("\xFB\x30", 2)
                                               : std::string_view("\x30\xFB", 2);
constexpr std::string_view kMiddleDotUtf8 = "\xE3\x83\xBB";
constexpr std::string_view kQuestionMark = "?";

// What to do with an input sequence the converter refused: skip that many bytes, emit this.
struct Recovery {
  std::size_t skip;
  std::string_view replacement;
};
using RecoveryPolicy = std::optional<Recovery> (*)(std::string_view rest);

class IconvConverter {
 public:
  IconvConverter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~IconvConverter() {
    if (IsOpen()) iconv_close(handle_);
  }
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;

  // False when the converter is unavailable or the policy gives up on a sequence.
  bool Convert(std::string_view input, std::string& output, RecoveryPolicy recover) {
    if (!IsOpen()) return false;
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // a previous failure may have left state
    // iconv never writes through its input pointer despite the signature.
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
      if (RunChunk(in, inLeft, output)) continue;
      if (errno != EILSEQ && errno != EINVAL) return false;
      const auto recovery = recover(std::string_view(in, inLeft));
      if (!recovery) return false;
      output.append(recovery->replacement);
      const std::size_t skip = std::min(std::max<std::size_t>(recovery->skip, 1), inLeft);
      in += skip;
      inLeft -= skip;
    }
    return true;
  }

 private:
  bool IsOpen() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as one output chunk holds; false on a sequence iconv refuses.
  bool RunChunk(char*& in, std::size_t& inLeft, std::string& output) {
    std::array<char, 4096> chunk;
    char* out = chunk.data();
    std::size_t outLeft = chunk.size();
    const std::size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
    const int error = errno;
    output.append(chunk.data(), chunk.size() - outLeft);
    errno = error;
    return result != static_cast<std::size_t>(-1) || error == E2BIG;
  }

  iconv_t handle_;
};

// Opening a converter loads a module and allocates; each thread keeps its own for each
// direction, because a converter carries state and must not be shared.
template <const char* const& To, const char* const& From>
IconvConverter& Converter() {
  thread_local IconvConverter converter(To, From);
  return converter;
}

bool IsCp932TrailByte(unsigned char byte) {
  return byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
}

// An unassigned pair is one bad character; a lead byte with a bad trail loses only itself,
// so the trail byte is read again as a character of its own.
std::size_t BadCp932Length(std::string_view rest) {
  const auto lead = static_cast<unsigned char>(rest[0]);
  if (IsCp932LeadByte(lead) && rest.size() >= 2 && IsCp932TrailByte(static_cast<unsigned char>(rest[1]))) {
    return 2;
  }
  return 1;
}

std::optional<Recovery> Cp932ToUtf16Recovery(std::string_view rest) {
  return Recovery{BadCp932Length(rest), kMiddleDotUtf16};
}

std::optional<Recovery> Cp932ToUtf8Recovery(std::string_view rest) {
  return Recovery{BadCp932Length(rest), kMiddleDotUtf8};
}

char16_t CodeUnitAt(std::string_view bytes, std::size_t index) {
  char16_t unit = 0;
  std::memcpy(&unit, bytes.data() + index * sizeof(char16_t), sizeof(char16_t));
  return unit;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A whole surrogate pair is one character and so one '?'.
std::optional<Recovery> Utf16ToCp932Recovery(std::string_view rest) {
  const std::size_t units = rest.size() / sizeof(char16_t);
  const bool isPair = units >= 2 && IsHighSurrogate(CodeUnitAt(rest, 0)) && IsLowSurrogate(CodeUnitAt(rest, 1));
  return Recovery{isPair ? 2 * sizeof(char16_t) : sizeof(char16_t), kQuestionMark};
}

// Length of the well-formed UTF-8 sequence starting rest, 1 when it is broken.
std::size_t Utf8SequenceLength(std::string_view rest) {
  const auto lead = static_cast<unsigned char>(rest[0]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (length > rest.size()) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

std::optional<Recovery> Utf8ToCp932Recovery(std::string_view rest) {
  return Recovery{Utf8SequenceLength(rest), kQuestionMark};
}

std::optional<Recovery> GiveUp(std::string_view) { return std::nullopt; }

std::string_view AsBytes(std::u16string_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

}  // namespace

std::u16string Cp932ToUtf16(std::string_view sjis) {
  std::string bytes;
  Converter<kUtf16, kCp932>().Convert(sjis, bytes, Cp932ToUtf16Recovery);
  std::u16string text(bytes.size() / sizeof(char16_t), u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * sizeof(char16_t));
  return text;
}

std::string Utf16ToCp932(std::u16string_view text) {
  std::string sjis;
  Converter<kCp932, kUtf16>().Convert(AsBytes(text), sjis, Utf16ToCp932Recovery);
  return sjis;
}

std::string Cp932ToUtf8(std::string_view sjis) {
  std::string utf8;
  Converter<kUtf8, kCp932>().Convert(sjis, utf8, Cp932ToUtf8Recovery);
  return utf8;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  std::string sjis;
  if (!Converter<kCp932, kUtf8>().Convert(utf8, sjis, GiveUp)) return std::nullopt;
  return sjis;
}

std::string Utf8ToCp932Lossy(std::string_view utf8) {
  std::string sjis;
  Converter<kCp932, kUtf8>().Convert(utf8, sjis, Utf8ToCp932Recovery);
  return sjis;
}

}  // namespace platform
