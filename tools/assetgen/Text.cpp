#include <iconv.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "Generate.h"

namespace assetgen {
namespace {

// CP932 rather than SHIFT_JIS: the latter maps '\' and '~' to the yen sign and overline.
std::string ToCp932(const std::string& utf8) {
  iconv_t converter = iconv_open("CP932", "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv lacks CP932");
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* outAt = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(converter, &in, &inLeft, &outAt, &outLeft);
  iconv_close(converter);
  if (result == static_cast<std::size_t>(-1)) {
    throw std::runtime_error("text has a character Shift-JIS cannot hold, near: " +
                             utf8.substr(static_cast<std::size_t>(in - utf8.data()), 12));
  }
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

void GenerateShiftJisText(const std::string& source, const std::string& target) {
  std::ifstream in(source, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + source);
  std::string text, line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    text += line + "\r\n";
  }
  const std::string converted = ToCp932(text);
  std::ofstream out(target, std::ios::binary);
  out.write(converted.data(), static_cast<std::streamsize>(converted.size()));
  if (!out) throw std::runtime_error("cannot write " + target);
}

}  // namespace assetgen
