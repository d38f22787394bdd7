#include "file_names.h"

#include <string>

#include "platform/codepage.h"
#include "platform/files.h"

namespace {

// Position of the last single-byte character of path that is one of chars. The second byte
// of a double-byte character can be '\' (as in "ソ"), so those are stepped over.
std::size_t FindLastSingleByte(std::string_view path, std::string_view chars) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (platform::IsCp932LeadByte(static_cast<unsigned char>(path[i]))) {
      ++i;
    } else if (chars.find(path[i]) != std::string_view::npos) {
      found = i;
    }
  }
  return found;
}

constexpr std::string_view kDelimiters = "\\/";

}  // namespace

namespace platform {

// '?' stands for one character, so matching works on UTF-16 rather than on the bytes.
bool WildcardMatches(std::u16string_view mask, std::u16string_view name) {
  std::size_t m = 0, n = 0;
  std::size_t starMask = std::u16string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == u'?' || mask[m] == name[n])) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == u'*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::u16string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == u'*') ++m;
  return m == mask.size();
}

}  // namespace platform

std::string ExtractFilePath(std::string_view path) {
  const std::size_t delimiter = FindLastSingleByte(path, kDelimiters);
  return delimiter == std::string_view::npos ? std::string() : std::string(path.substr(0, delimiter + 1));
}

std::string ExtractFileExt(std::string_view path) {
  const std::size_t found = FindLastSingleByte(path, "\\/.");
  if (found == std::string_view::npos || path[found] != '.') return {};
  return std::string(path.substr(found));
}

std::string IncludeTrailingPathDelimiter(std::string_view path) {
  std::string result(path);
  if (path.empty() || FindLastSingleByte(path, kDelimiters) != path.size() - 1) result += '\\';
  return result;
}
