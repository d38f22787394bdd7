#include "platform/ini.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/codepage.h"
#include "platform/files.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string_view StripQuotes(std::string_view value) {
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  return quoted ? value.substr(1, value.size() - 2) : value;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Names compare without regard to ASCII case. In CP932 the second byte of a character may
// be a letter ("ア" is 0x83 0x41, "ッ" 0x83 0x61), so only single-byte characters fold.
bool NamesEqual(std::string_view a, std::string_view b, bool cp932) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (cp932 && platform::IsCp932LeadByte(static_cast<unsigned char>(a[i]))) {
      if (a.substr(i, 2) != b.substr(i, 2)) return false;
      ++i;
    } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
      return false;
    }
  }
  return true;
}

struct IniLine {
  std::string text;
  std::string ending;  // "\r\n", "\n" or "" for a last line without one
};

struct KeyLine {
  std::string_view key;
  std::string_view value;
  std::size_t valueStart;  // where the value begins, after '=' and its blanks
};

std::optional<std::string_view> SectionHeaderName(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
  const std::size_t close = trimmed.rfind(']');
  if (close == std::string_view::npos || close == 0) return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

bool IsCommentOrHeader(std::string_view trimmed) {
  return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '[');
}

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos || IsCommentOrHeader(Trim(line))) return std::nullopt;
  const std::size_t valueStart = std::min(line.find_first_not_of(kBlanks, equals + 1), line.size());
  return KeyLine{Trim(line.substr(0, equals)), StripQuotes(Trim(line.substr(equals + 1))), valueStart};
}

// A private-profile file kept line by line, so that a write changes one line and leaves
// the rest of the file byte for byte as the user wrote it.
class IniDocument {
 public:
  explicit IniDocument(std::string_view content) {
    const platform::UserText text = platform::ClassifyUserText(content);
    utf8_ = text.utf8;
    byteOrderMark_ = text.byteOrderMark;
    SplitLines(text.body);
  }

  bool IsUtf8() const { return utf8_; }

  // Names and values arrive as CP932; a UTF-8 file holds them as UTF-8.
  std::string ToFileText(std::string_view cp932) const {
    return utf8_ ? platform::Cp932ToUtf8(cp932) : std::string(cp932);
  }
  std::string FromFileText(std::string_view text) const {
    return utf8_ ? platform::Utf8ToCp932Lossy(text) : std::string(text);
  }

  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const {
    const auto header = FindSection(section);
    if (!header) return std::nullopt;
    const auto line = FindKey(*header, key);
    if (!line) return std::nullopt;
    return ParseKeyLine(lines_[*line].text)->value;
  }

  // False when nothing changed.
  bool Set(std::string_view section, std::string_view key, std::optional<std::string_view> value) {
    const auto header = FindSection(section);
    if (!header) {
      if (!value) return false;
      InsertLine(lines_.size(), std::string("[").append(section).append("]"));
      InsertLine(lines_.size(), KeyValueText(key, *value));
      return true;
    }
    if (const auto line = FindKey(*header, key)) {
      if (value) {
        ReplaceValue(lines_[*line], *value);
      } else {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*line));
      }
      return true;
    }
    if (!value) return false;
    InsertLine(LastKeyLineOrHeader(*header) + 1, KeyValueText(key, *value));
    return true;
  }

  std::vector<std::uint8_t> Serialize() const {
    std::string text;
    if (byteOrderMark_) text.append(kUtf8Bom.begin(), kUtf8Bom.end());
    for (const IniLine& line : lines_) text += line.text + line.ending;
    return {text.begin(), text.end()};
  }

 private:
  void SplitLines(std::string_view content) {
    while (!content.empty()) {
      const std::size_t newline = content.find('\n');
      std::string_view text = content.substr(0, newline);
      std::string ending;
      if (newline != std::string_view::npos) {
        const bool crlf = text.ends_with('\r');
        if (crlf) text.remove_suffix(1);
        ending = crlf ? "\r\n" : "\n";
        if (newline_.empty()) newline_ = ending;
      }
      lines_.push_back({std::string(text), std::move(ending)});
      content.remove_prefix(newline == std::string_view::npos ? content.size() : newline + 1);
    }
    // A new file, or one with no line end yet, gets the Windows line end.
    if (newline_.empty()) newline_ = "\r\n";
  }

  bool IsCp932() const { return !utf8_; }

  std::optional<std::size_t> FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const auto name = SectionHeaderName(lines_[i].text);
      if (name && NamesEqual(*name, section, IsCp932())) return i;
    }
    return std::nullopt;
  }

  std::size_t SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && !SectionHeaderName(lines_[i].text)) ++i;
    return i;
  }

  // The first line of the key wins, as Windows reads it.
  std::optional<std::size_t> FindKey(std::size_t header, std::string_view key) const {
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
      const auto line = ParseKeyLine(lines_[i].text);
      if (line && NamesEqual(line->key, key, IsCp932())) return i;
    }
    return std::nullopt;
  }

  // A new key joins the section's keys rather than the blank lines that part it from the next.
  std::size_t LastKeyLineOrHeader(std::size_t header) const {
    std::size_t last = header;
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
      if (ParseKeyLine(lines_[i].text)) last = i;
    }
    return last;
  }

  void InsertLine(std::size_t position, std::string text) {
    if (position > 0 && lines_[position - 1].ending.empty()) lines_[position - 1].ending = newline_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(position), {std::move(text), newline_});
  }

  static std::string KeyValueText(std::string_view key, std::string_view value) {
    return std::string(key) + "=" + std::string(value);
  }

  // The key keeps its spelling and the blanks around '='.
  static void ReplaceValue(IniLine& line, std::string_view value) {
    const std::size_t valueStart = ParseKeyLine(line.text)->valueStart;
    line.text.replace(valueStart, std::string::npos, value);
  }

  bool utf8_ = false;
  bool byteOrderMark_ = false;
  std::vector<IniLine> lines_;
  std::string newline_;
};

std::optional<IniDocument> LoadDocument(std::string_view fileName) {
  const auto bytes = platform::ReadFileBytes(fileName);
  if (!bytes) return std::nullopt;
  return IniDocument(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

// The document to change: the file's, or an empty one when there is no file. An existing
// file we cannot read must not be replaced by one holding a few keys.
platform::Result<IniDocument> DocumentToChange(std::string_view fileName) {
  const platform::FileContents contents = platform::ReadFile(fileName);
  if (contents.Missing()) return IniDocument("");
  if (!contents) return contents.Why();
  return IniDocument(std::string_view(reinterpret_cast<const char*>(contents->data()), contents->size()));
}

bool SetValue(IniDocument& document, std::string_view section, std::string_view key,
              std::optional<std::string_view> value) {
  std::optional<std::string> fileValue;
  if (value) fileValue = document.ToFileText(*value);
  return document.Set(document.ToFileText(section), document.ToFileText(key),
                      fileValue ? std::optional<std::string_view>(*fileValue) : std::nullopt);
}

// Windows drops trailing blanks from the default.
std::string_view DefaultWithoutTrailingBlanks(std::string_view defaultValue) {
  const std::size_t last = defaultValue.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : defaultValue.substr(0, last + 1);
}

// Optional sign and leading digits, wrapping like the 32-bit arithmetic Windows uses.
UINT LeadingInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  UINT result = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    result = result * 10 + static_cast<UINT>(c - '0');
  }
  return negative ? 0u - result : result;
}

}  // namespace

std::string GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::string_view fileName) {
  const std::string fallback(DefaultWithoutTrailingBlanks(defaultValue));
  const auto document = LoadDocument(fileName);
  if (!document) return fallback;
  const auto value = document->Find(document->ToFileText(section), document->ToFileText(key));
  return value ? document->FromFileText(*value) : fallback;
}

UINT GetPrivateProfileIntA(std::string_view section, std::string_view key, int defaultValue,
                           std::string_view fileName) {
  const std::string value = GetPrivateProfileStringA(section, key, "", fileName);
  // An empty value counts as missing, as on Windows.
  if (value.empty()) return static_cast<UINT>(defaultValue);
  return LeadingInteger(value);
}

BOOL WritePrivateProfileStringA(std::string_view section, std::string_view key,
                                std::optional<std::string_view> value, std::string_view fileName) {
  auto document = DocumentToChange(fileName);
  if (!document) return FALSE;
  if (!SetValue(*document, section, key, value)) return TRUE;
  return platform::WriteFileAtomic(fileName, document->Serialize()) ? TRUE : FALSE;
}

platform::Result<std::vector<std::uint8_t>> ProfileWithEntries(std::string_view fileName,
                                                               std::span<const ProfileEntry> entries) {
  auto document = DocumentToChange(fileName);
  if (!document) return document.Why();
  for (const ProfileEntry& entry : entries) SetValue(*document, entry.section, entry.key, entry.value);
  return document->Serialize();
}
