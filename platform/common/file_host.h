#pragma once
// What the file functions ask of the host; the rest of them is the same everywhere.
// Native paths are UTF-8 with '/' separators on every host.
#include <unistd.h>

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

// A C library file descriptor, closed with its owner.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  int Release() { return std::exchange(fd_, -1); }
  // A failed close can mean the data never reached the disk, so its result matters.
  bool Close() {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_;
};

inline std::string Reason(const std::string& nativePath, int error) { return nativePath + ": " + std::strerror(error); }

// Through char8_t, so Windows takes the bytes as UTF-8 rather than in its code page.
std::filesystem::path PathOfNative(std::string_view nativePath);
std::string NativeOfPath(const std::filesystem::path& path);

// Writes bytes in full to a new hidden file beside target named "." + name + "." + process
// id + "-" + number and flushes it to the disk. Its name, or nullopt with the reason (naming
// target) in error; then nothing is left behind.
std::optional<std::string> WriteTemporaryBeside(const std::string& target, std::span<const std::uint8_t> bytes,
                                                std::string& error);
// Renames temporary over target. "" on success, else the reason naming target.
std::string MoveIntoPlace(const std::string& temporary, const std::string& target);
using MoveFunction = std::function<std::string(const std::string& temporary, const std::string& target)>;
// ReplaceFiles with its renames made by `move`, so that a test can fail one part of the way.
std::string ReplaceFiles(std::span<const FileReplacement> files, const MoveFunction& move);
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
