#pragma once
// What the file functions ask of the host; the rest of them is the same everywhere.
// Native paths are UTF-8 with '/' separators on every host.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/files.h"

namespace platform::host {

// errno's reason, naming the file.
inline Failure ErrnoFailure(const std::string& nativePath, int error) {
  return {nativePath + ": " + std::strerror(error), error == ENOENT || error == ENOTDIR};
}

// Through char8_t, so Windows takes the bytes as UTF-8 rather than in its code page.
std::filesystem::path PathOfNative(std::string_view nativePath);
std::string NativeOfPath(const std::filesystem::path& path);

// Writes bytes in full to a new hidden file beside target named "." + name + "." + process
// id + "-" + number and flushes it to the disk. Its name; when it fails (naming target),
// nothing is left behind.
Result<std::string> WriteTemporaryBeside(const std::string& target, std::span<const std::uint8_t> bytes);
// Renames temporary over target; a failure names target.
Result<> MoveIntoPlace(const std::string& temporary, const std::string& target);
using MoveFunction = std::function<Result<>(const std::string& temporary, const std::string& target)>;
// ReplaceFiles with its renames made by `move`, so that a test can fail one part of the way.
Result<> ReplaceFiles(std::span<const FileReplacement> files, const MoveFunction& move);
// Makes renames in folder durable where the host needs it.
void SyncFolder(const std::string& folder);
// Whether the process that wrote a temporary file has ended.
bool ProcessHasEnded(long processId);

// An open listing of a folder's entries.
struct FolderListing;
struct FolderListingCloser {
  void operator()(FolderListing* listing) const;
};
using FolderListingPtr = std::unique_ptr<FolderListing, FolderListingCloser>;
FolderListingPtr OpenFolderListing(const std::string& nativeFolder);  // null when it cannot be read

struct FolderEntry {
  std::string name;  // Shift-JIS
  int attr = 0;
  std::int64_t size = 0;
};
// The next entry whose name `wanted` takes, asked before anything else is looked up; names
// without a Shift-JIS form are skipped. nullopt at the end.
std::optional<FolderEntry> NextFolderEntry(FolderListing& listing, const std::function<bool(std::string_view)>& wanted);

}  // namespace platform::host
