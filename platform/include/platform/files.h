#pragma once
// File names reach these functions as the game writes them: Shift-JIS bytes with '\'
// separators. They are mapped onto the host's UTF-8 names with '/'.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/result.h"

namespace platform {

std::string NativePath(std::string_view gamePath);

// Sizes past which a file of that kind cannot be ours: a bigger one is refused unread.
constexpr std::size_t kTextFileLimit = 4 << 20;  // settings, INI and idiom files
constexpr std::size_t kMediaFileLimit = 64 << 20;

// A read of one file: its bytes, or why not, naming the file (Missing() when there was
// nothing by that name). Only regular files are read, opened without blocking, so a FIFO or
// a device under a data name can neither hang nor flood the program.
using FileContents = Result<std::vector<std::uint8_t>>;
FileContents ReadFile(std::string_view gamePath, std::size_t limit = kTextFileLimit);
// At most the first limit bytes, whatever the file's size.
FileContents ReadFilePrefix(std::string_view gamePath, std::size_t limit);
// ReadFile for a host path (UTF-8, '/').
FileContents ReadNativeFile(const std::string& nativePath, std::size_t limit);
std::optional<std::vector<std::uint8_t>> ReadFileBytes(std::string_view gamePath, std::size_t limit = kTextFileLimit);

// A regular file open for reading, closed with its owner. The host's calls behind it.
class ReadableFile {
 public:
  explicit ReadableFile(int descriptor) : descriptor_(descriptor) {}
  ~ReadableFile();
  ReadableFile(ReadableFile&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
  ReadableFile& operator=(ReadableFile&&) = delete;
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;

  // Only a hint: the file may change while it is read.
  std::optional<std::int64_t> Size() const;
  // Up to into.size() bytes from where the last read ended, or from offset; 0 at the end.
  Result<std::size_t> Read(std::span<std::uint8_t> into);
  Result<std::size_t> ReadAt(std::int64_t offset, std::span<std::uint8_t> into);

 private:
  int descriptor_;
};
// Opens a regular file for reading without blocking; anything else fails ("not a regular
// file", or Missing() when nothing is there).
Result<ReadableFile> OpenRegularFile(const std::string& nativePath);

struct FileReplacement {
  std::string_view gamePath;
  std::span<const std::uint8_t> bytes;
};
// Writes every file in full (temporary file beside it, fsync) before renaming any into
// place, so a crash leaves either file old or new, and only the instant between two renames
// can part them. When it fails, nothing was replaced: when a rename fails, the files renamed
// before it get their old content back.
Result<> ReplaceFiles(std::span<const FileReplacement> files);
Result<> WriteFileAtomic(std::string_view gamePath, std::span<const std::uint8_t> bytes);
// ReplaceFiles for one file named by a host path (UTF-8, '/'), such as one the player typed.
Result<> ReplaceNativeFile(const std::string& nativePath, std::span<const std::uint8_t> bytes);

// Renames a file that cannot be used to the first free "NAME.damaged-N" beside it, so that a
// new one can start while the old one stays for the player to look at. The new host path.
Result<std::string> SetAside(std::string_view gamePath);

// What a crash while writing left in the folder: our own hidden temporary files for name,
// regular files only, from writers that have ended (game paths).
std::vector<std::string> LeftoverTemporaries(std::string_view gameFolder, std::string_view name);
void RemoveLeftoverTemporaries(std::string_view gameFolder, std::span<const std::string_view> names);

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
