// Files and folders on a POSIX host.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>
#include <utility>

#include "file_host.h"
#include "platform/codepage.h"

namespace {

using platform::Failure;
using platform::Result;
using platform::host::ErrnoFailure;

// A file descriptor, closed with its owner.
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
  bool Close() { return fd_ < 0 || ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

Result<std::size_t> ReadResult(ssize_t count) {
  if (count < 0) return Failure{std::strerror(errno)};
  return static_cast<std::size_t>(count);
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

// Hidden, so a folder scan in the meantime does not pick it up, and beside the target, so the
// rename stays within one file system. O_EXCL with a random suffix avoids collisions.
std::optional<std::pair<std::string, int>> CreateTemporaryBeside(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  const std::string prefix = target.substr(0, nameAt) + "." + target.substr(nameAt) + ".";
  std::random_device entropy;
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string candidate = prefix + std::to_string(::getpid()) + "-" + std::to_string(entropy());
    // 0666 lets the umask decide, as for any file the program creates.
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return std::pair{std::move(candidate), fd};
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

// A replaced file keeps its permissions.
bool KeepModeOf(const std::string& target, int fd) {
  struct stat existing {};
  if (::stat(target.c_str(), &existing) != 0) return true;
  return ::fchmod(fd, existing.st_mode & 07777) == 0;
}

struct EntryInfo {
  int attr = 0;
  std::int64_t size = 0;
};

bool IsDotEntry(std::string_view name) { return name == "." || name == ".."; }

// Windows' read-only flag belongs to the file, not to the reader, so it follows the
// permission bits rather than access(): a file nobody may write to.
std::optional<EntryInfo> DescribeEntry(int folderFd, const char* name) {
  struct stat info {};
  if (::fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  EntryInfo entry;
  if (S_ISLNK(info.st_mode)) {
    entry.attr |= faSymLink;
    struct stat target {};
    if (::fstatat(folderFd, name, &target, 0) == 0) info = target;
  }
  if (S_ISDIR(info.st_mode)) {
    entry.attr |= faDirectory;
  } else {
    entry.attr |= faArchive;
    if (!S_ISLNK(info.st_mode)) entry.size = info.st_size;
  }
  if ((info.st_mode & 0222) == 0) entry.attr |= faReadOnly;
  if (name[0] == '.' && !IsDotEntry(name)) entry.attr |= faHidden;
  return entry;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

namespace platform {

Result<ReadableFile> OpenRegularFile(const std::string& nativePath) {
  // Without O_NONBLOCK opening a FIFO waits for a writer that may never come.
  FileDescriptor file(::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat info {};
  if (!file.IsOpen() || ::fstat(file.get(), &info) != 0) return ErrnoFailure(nativePath, errno);
  if (S_ISDIR(info.st_mode)) return ErrnoFailure(nativePath, EISDIR);
  if (!S_ISREG(info.st_mode)) return Failure{nativePath + ": not a regular file"};
  const int flags = ::fcntl(file.get(), F_GETFL);
  if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return ErrnoFailure(nativePath, errno);
  return ReadableFile(file.Release());
}

ReadableFile::~ReadableFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

std::optional<std::int64_t> ReadableFile::Size() const {
  struct stat info {};
  if (::fstat(descriptor_, &info) != 0) return std::nullopt;
  return info.st_size;
}

Result<std::size_t> ReadableFile::Read(std::span<std::uint8_t> into) {
  ssize_t count = 0;
  do {
    count = ::read(descriptor_, into.data(), into.size());
  } while (count < 0 && errno == EINTR);
  return ReadResult(count);
}

Result<std::size_t> ReadableFile::ReadAt(std::int64_t offset, std::span<std::uint8_t> into) {
  ssize_t count = 0;
  do {
    count = ::pread(descriptor_, into.data(), into.size(), static_cast<off_t>(offset));
  } while (count < 0 && errno == EINTR);
  return ReadResult(count);
}

namespace host {

Result<std::string> WriteTemporaryBeside(const std::string& target, std::span<const std::uint8_t> bytes) {
  auto temporary = CreateTemporaryBeside(target);
  if (!temporary) return ErrnoFailure(target, errno);
  FileDescriptor file(temporary->second);
  if (!WriteAll(file.get(), bytes) || !KeepModeOf(target, file.get()) || ::fsync(file.get()) != 0 || !file.Close()) {
    Failure failure = ErrnoFailure(target, errno);
    ::unlink(temporary->first.c_str());
    return failure;
  }
  return std::move(temporary->first);
}

Result<> MoveIntoPlace(const std::string& temporary, const std::string& target) {
  if (::rename(temporary.c_str(), target.c_str()) != 0) return ErrnoFailure(target, errno);
  return {};
}

void SyncFolder(const std::string& folder) {
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.IsOpen()) ::fsync(dir.get());
}

bool ProcessHasEnded(long processId) { return ::kill(static_cast<pid_t>(processId), 0) != 0 && errno == ESRCH; }

struct FolderListing {
  std::unique_ptr<DIR, DirCloser> dir;
};

void FolderListingCloser::operator()(FolderListing* listing) const { delete listing; }

FolderListingPtr OpenFolderListing(const std::string& nativeFolder) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(nativeFolder.c_str()));
  if (!dir) return nullptr;
  return FolderListingPtr(new FolderListing{std::move(dir)});
}

std::optional<FolderEntry> NextFolderEntry(FolderListing& listing, const std::function<bool(std::string_view)>& wanted) {
  while (const dirent* entry = ::readdir(listing.dir.get())) {
    std::optional<std::string> name = Utf8ToCp932(entry->d_name);
    if (!name || !wanted(*name)) continue;
    const std::optional<EntryInfo> info = DescribeEntry(::dirfd(listing.dir.get()), entry->d_name);
    if (info) return FolderEntry{std::move(*name), info->attr, info->size};
  }
  return std::nullopt;
}

}  // namespace host

}  // namespace platform

