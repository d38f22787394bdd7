#pragma once
// Private-profile (INI) files with the Windows rules: section and key names compare
// case-insensitively, blanks around names and values are ignored, one pair of
// surrounding quotes is stripped, and the default answers for anything missing.
// A file that starts with a UTF-8 byte-order mark is read as UTF-8; values come back
// as Shift-JIS either way.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "platform/wintypes.h"

std::string GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::string_view fileName);
// Leading decimal digits with an optional sign; a value that is no number reads as 0.
UINT GetPrivateProfileIntA(std::string_view section, std::string_view key, int defaultValue,
                           std::string_view fileName);
// A missing value deletes the key. The rest of the file is kept; the file is replaced atomically.
BOOL WritePrivateProfileStringA(std::string_view section, std::string_view key,
                                std::optional<std::string_view> value, std::string_view fileName);

struct ProfileEntry {
  std::string section, key, value;
};
// What fileName would hold with every entry written, to be written in one replacement (maybe
// together with other files). A failure when an existing file cannot be read: replacing it
// would lose what it holds.
platform::Result<std::vector<std::uint8_t>> ProfileWithEntries(std::string_view fileName,
                                                               std::span<const ProfileEntry> entries);
