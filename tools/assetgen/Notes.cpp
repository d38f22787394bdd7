#include "Notes.h"

#include <cctype>
#include <cmath>
#include <stdexcept>

namespace assetgen {

std::string StripComment(const std::string& line) {
  for (std::size_t at = 0; at < line.size(); ++at) {
    if (line[at] == '#' && (at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t')) return line.substr(0, at);
  }
  return line;
}

int NoteNumber(const std::string& name) {
  static constexpr int kSemitone[] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
  if (name.size() < 2) return -1;
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
  if (letter < 'a' || letter > 'g') return -1;
  int key = kSemitone[letter - 'a'];
  std::size_t at = 1;
  if (name[at] == '#') {
    ++key;
    ++at;
  } else if (name[at] == 'b' && at + 1 < name.size()) {
    --key;
    ++at;
  }
  if (at + 1 != name.size() || !std::isdigit(static_cast<unsigned char>(name[at]))) return -1;
  return key + 12 * (name[at] - '0' + 1);
}

double ParsePitch(const std::string& text) {
  const int key = NoteNumber(text);
  if (key >= 0) return 440.0 * std::pow(2.0, (key - 69) / 12.0);
  std::size_t used = 0;
  const double hertz = std::stod(text, &used);
  if (used != text.size()) throw std::runtime_error("not a pitch: " + text);
  return hertz;
}

}  // namespace assetgen
