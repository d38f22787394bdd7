// Settings files: whatever the file holds, reading ends, and a value written to a plain
// section and key reads back as written while the file is otherwise the player's.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_input.h"
#include "platform/ini.h"

namespace {

constexpr std::size_t kLongestName = 12, kLongestValue = 40;

// Names the game itself would use: letters, digits and a few marks.
std::string PlainName(FuzzedDataProvider& input) {
  static constexpr std::string_view kAlphabet = "abcXYZ019_.-";
  std::string name(1 + input.ConsumeIntegralInRange<std::size_t>(0, kLongestName - 1), 'a');
  for (char& c : name) c = kAlphabet[input.ConsumeIntegralInRange<std::size_t>(0, kAlphabet.size() - 1)];
  return name;
}

// Printable ASCII; a value the reader would trim or unquote is written quoted, as the game does.
std::pair<std::string, std::string> ValueAndItsWriting(FuzzedDataProvider& input) {
  std::string value = input.ConsumeRandomLengthString(kLongestValue);
  for (char& c : value) c = static_cast<char>(' ' + static_cast<unsigned char>(c) % 95);
  const bool edgeBlank = !value.empty() && (value.front() == ' ' || value.back() == ' ');
  const bool looksQuoted =
      value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
  return {value, edgeBlank || looksQuoted ? '"' + value + '"' : value};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string section = PlainName(input), key = PlainName(input);
  const auto [value, writing] = ValueAndItsWriting(input);
  const std::string file = fuzzing::WriteInput("settei.ini", input.ConsumeRemainingBytesAsString());
  GetPrivateProfileStringA(section, key, "", file);
  GetPrivateProfileIntA(section, key, 0, file);
  if (!WritePrivateProfileStringA(section, key, writing, file)) return 0;
  if (GetPrivateProfileStringA(section, key, "?", file) != value) __builtin_trap();
  return 0;
}
