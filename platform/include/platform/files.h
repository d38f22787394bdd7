#pragma once
// File names reach these functions as the game writes them: Shift-JIS bytes with '\'
// separators. They are mapped onto the host's UTF-8 names with '/'.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

std::string NativePath(std::string_view gamePath);

std::optional<std::vector<std::uint8_t>> ReadFileBytes(std::string_view gamePath);
// Replaces the file atomically (temporary file, fsync, rename): a crash never leaves half a file.
bool WriteFileAtomic(std::string_view gamePath, std::span<const std::uint8_t> bytes);

}  // namespace platform

bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);
// Both take '\' and '/' as separators.
std::string ExtractFilePath(std::string_view path);  // up to and including the last separator
std::string ExtractFileExt(std::string_view path);   // from the last '.' of the name, "" if none
std::string IncludeTrailingPathDelimiter(std::string_view path);

constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faAnyFile = 0x3F;
constexpr int faSymLink = 0x400;

struct TSearchRec {
  std::string Name;  // Shift-JIS; entries whose names have no Shift-JIS form are skipped
  int Attr = 0;      // a symbolic link carries faSymLink besides what its target is
  std::int64_t Size = 0;

  struct Finder;
  std::shared_ptr<Finder> finder;  // the open enumeration, released by FindClose
};

// Pattern: folder + "*.*" or folder + "*" (every entry) or a wildcard name. 0 on success.
int FindFirst(std::string_view pattern, int attr, TSearchRec& rec);
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);
