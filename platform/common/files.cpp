#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>
#include <utility>

#include "file_names.h"
#include "platform/codepage.h"
#include "platform/places.h"

namespace {

// The codes Windows reports, so callers that log them see familiar numbers.
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorPathNotFound = 3;
constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorNoMoreFiles = 18;

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

// A file written in full under a temporary name beside its target; the temporary file is
// removed unless it was renamed into place.
class PendingReplacement {
 public:
  PendingReplacement(std::string target, std::string temporary)
      : target_(std::move(target)), temporary_(std::move(temporary)) {}
  ~PendingReplacement() {
    if (!committed_) ::unlink(temporary_.c_str());
  }
  PendingReplacement(const PendingReplacement&) = delete;
  PendingReplacement& operator=(const PendingReplacement&) = delete;

  const std::string& Target() const { return target_; }
  bool Commit() {
    committed_ = ::rename(temporary_.c_str(), target_.c_str()) == 0;
    return committed_;
  }

 private:
  std::string target_, temporary_;
  bool committed_ = false;
};

std::string Reason(const std::string& nativePath, int error) {
  return nativePath + ": " + std::strerror(error);
}

std::optional<struct stat> StatNative(const std::string& nativePath) {
  struct stat info {};
  if (nativePath.empty() || ::stat(nativePath.c_str(), &info) != 0) return std::nullopt;
  return info;
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

std::string NativeFolderOf(const std::string& nativePath) {
  const std::size_t slash = nativePath.rfind('/');
  return slash == std::string::npos ? std::string(".") : nativePath.substr(0, slash + 1);
}

std::string NativeNameOf(const std::string& nativePath) {
  const std::size_t slash = nativePath.rfind('/');
  return slash == std::string::npos ? nativePath : nativePath.substr(slash + 1);
}

// A hidden name beside the target, so a folder scan in the meantime does not pick it up and
// the rename stays within one file system. O_EXCL with a random suffix avoids collisions.
std::string TemporaryPrefix(const std::string& target) {
  return NativeFolderOf(target) + "." + NativeNameOf(target) + ".";
}

std::optional<std::pair<std::string, int>> CreateTemporaryBeside(const std::string& target) {
  const std::string prefix = TemporaryPrefix(target);
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

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "." + name + "." + pid + "-" + number, from a writer whose process has ended.
bool IsLeftoverTemporaryOf(std::string_view entry, const std::string& name) {
  const std::string prefix = "." + name + ".";
  if (!entry.starts_with(prefix)) return false;
  entry.remove_prefix(prefix.size());
  const std::size_t dash = entry.find('-');
  if (dash == std::string_view::npos || !AllDigits(entry.substr(0, dash)) || !AllDigits(entry.substr(dash + 1))) {
    return false;
  }
  const long pid = std::strtol(std::string(entry.substr(0, dash)).c_str(), nullptr, 10);
  return pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
}

// A replaced file keeps its permissions.
bool KeepModeOf(const std::string& target, int fd) {
  struct stat existing {};
  if (::stat(target.c_str(), &existing) != 0) return true;
  return ::fchmod(fd, existing.st_mode & 07777) == 0;
}

// Makes the rename itself durable; a failure here does not undo the replacement.
void SyncFolder(const std::string& folder) {
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.IsOpen()) ::fsync(dir.get());
}

// A target that is a folder would fail only at the rename, after other files were replaced.
bool TargetIsFolder(const std::string& target) {
  struct stat info {};
  return ::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::unique_ptr<PendingReplacement> PrepareReplacement(const std::string& target, std::span<const std::uint8_t> bytes,
                                                       std::string& error) {
  if (target.empty() || target.back() == '/' || TargetIsFolder(target)) {
    error = Reason(target, EISDIR);
    return nullptr;
  }
  auto temporary = CreateTemporaryBeside(target);
  if (!temporary) {
    error = Reason(target, errno);
    return nullptr;
  }
  auto pending = std::make_unique<PendingReplacement>(target, temporary->first);
  FileDescriptor file(temporary->second);
  if (!WriteAll(file.get(), bytes) || !KeepModeOf(target, file.get()) || ::fsync(file.get()) != 0 || !file.Close()) {
    error = Reason(target, errno);
    return nullptr;
  }
  return pending;
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

struct TSearchRec::Finder {
  std::unique_ptr<DIR, DirCloser> dir;
  std::u16string mask;
  bool matchesEverything = false;
  // Entries carrying any of these are left out; an attr mask can only admit them.
  int excludedAttr = 0;

  bool NameMatches(std::string_view name) const {
    return matchesEverything || platform::WildcardMatches(mask, platform::Cp932ToUtf16(name));
  }
};

namespace {

int NextMatch(TSearchRec& rec) {
  TSearchRec::Finder& finder = *rec.finder;
  while (const dirent* entry = ::readdir(finder.dir.get())) {
    std::optional<std::string> name = platform::Utf8ToCp932(entry->d_name);
    if (!name || !finder.NameMatches(*name)) continue;
    const std::optional<EntryInfo> info = DescribeEntry(::dirfd(finder.dir.get()), entry->d_name);
    if (!info || (info->attr & finder.excludedAttr) != 0) continue;
    rec.Name = std::move(*name);
    rec.Attr = info->attr;
    rec.Size = info->size;
    return 0;
  }
  return kErrorNoMoreFiles;
}

}  // namespace

namespace platform {

std::string NativePath(std::string_view gamePath) {
  // Converted first: in CP932 a '\' byte may be the second half of a character.
  std::string native = Cp932ToUtf8(gamePath);
  std::replace(native.begin(), native.end(), '\\', '/');
  return PlacedPath(CurrentPlaces(), std::move(native));
}

FileContents ReadNativePrefix(const std::string& path, std::size_t limit);

int OpenRegularFile(const std::string& nativePath) {
  // Without O_NONBLOCK opening a FIFO waits for a writer that may never come.
  FileDescriptor file(::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat info {};
  if (!file.IsOpen() || ::fstat(file.get(), &info) != 0) return -1;
  if (!S_ISREG(info.st_mode)) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return -1;
  }
  const int flags = ::fcntl(file.get(), F_GETFL);
  if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return -1;
  return file.Release();
}

FileContents ReadFile(std::string_view gamePath, std::size_t limit) { return ReadNativeFile(NativePath(gamePath), limit); }

FileContents ReadNativeFile(const std::string& nativePath, std::size_t limit) {
  FileContents contents = ReadNativePrefix(nativePath, limit + 1);
  if (contents.Read() && contents.bytes.size() > limit) {
    contents.bytes.clear();
    contents.error = nativePath + ": larger than " + std::to_string(limit) + " bytes";
  }
  return contents;
}

FileContents ReadFilePrefix(std::string_view gamePath, std::size_t limit) {
  return ReadNativePrefix(NativePath(gamePath), limit);
}

FileContents ReadNativePrefix(const std::string& path, std::size_t limit) {
  FileContents contents;
  FileDescriptor file(OpenRegularFile(path));
  if (!file.IsOpen()) {
    contents.missing = errno == ENOENT || errno == ENOTDIR;
    contents.error = errno == EINVAL ? path + ": not a regular file" : Reason(path, errno);
    return contents;
  }
  std::vector<std::uint8_t>& bytes = contents.bytes;
  // The size only hints: the file may change while it is read.
  struct stat info {};
  if (::fstat(file.get(), &info) == 0) bytes.reserve(std::min(limit, static_cast<std::size_t>(info.st_size)));
  std::uint8_t buffer[65536];
  while (bytes.size() < limit) {
    const ssize_t count = ::read(file.get(), buffer, std::min(sizeof buffer, limit - bytes.size()));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      bytes.clear();
      contents.error = Reason(path, errno);
      break;
    }
    if (count == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + count);
  }
  return contents;
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(std::string_view gamePath, std::size_t limit) {
  FileContents contents = ReadFile(gamePath, limit);
  if (!contents.Read()) return std::nullopt;
  return std::move(contents.bytes);
}

std::string ReplaceFiles(std::span<const FileReplacement> files) {
  std::vector<std::unique_ptr<PendingReplacement>> pending;
  for (const FileReplacement& file : files) {
    std::string error;
    pending.push_back(PrepareReplacement(NativePath(file.gamePath), file.bytes, error));
    if (!pending.back()) return error;
  }
  for (auto& replacement : pending) {
    if (!replacement->Commit()) return Reason(replacement->Target(), errno);
  }
  for (auto& replacement : pending) SyncFolder(NativeFolderOf(replacement->Target()));
  return {};
}

bool WriteFileAtomic(std::string_view gamePath, std::span<const std::uint8_t> bytes) {
  const FileReplacement file{gamePath, bytes};
  return ReplaceFiles({&file, 1}).empty();
}

std::vector<std::string> LeftoverTemporaries(std::string_view gameFolder, std::string_view name) {
  const std::string gamePrefix = IncludeTrailingPathDelimiter(gameFolder);
  // Searched where the file itself lands, which need not be the folder the game names.
  const std::string nativeTarget = NativePath(gamePrefix + std::string(name));
  std::unique_ptr<DIR, DirCloser> dir(::opendir(NativeFolderOf(nativeTarget).c_str()));
  std::vector<std::string> found;
  if (!dir) return found;
  const std::string nativeName = NativeNameOf(nativeTarget);
  while (const dirent* entry = ::readdir(dir.get())) {
    struct stat info {};
    if (IsLeftoverTemporaryOf(entry->d_name, nativeName) &&
        ::fstatat(::dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
      // Our temporary names are ASCII, the same in both encodings.
      found.push_back(gamePrefix + entry->d_name);
    }
  }
  return found;
}

void RemoveLeftoverTemporaries(std::string_view gameFolder, std::span<const std::string_view> names) {
  for (const std::string_view name : names) {
    for (const std::string& leftover : LeftoverTemporaries(gameFolder, name)) ::unlink(NativePath(leftover).c_str());
  }
}

}  // namespace platform

bool FileExists(std::string_view path) {
  const auto info = StatNative(platform::NativePath(path));
  return info && S_ISREG(info->st_mode);
}

bool DirectoryExists(std::string_view path) {
  const auto info = StatNative(platform::NativePath(path));
  return info && S_ISDIR(info->st_mode);
}

int FindFirst(std::string_view pattern, int attr, TSearchRec& rec) {
  FindClose(rec);
  const std::string folder = ExtractFilePath(pattern);
  const std::string_view mask = pattern.substr(folder.size());
  const std::string nativeFolder = folder.empty() ? std::string(".") : platform::NativePath(folder);
  std::unique_ptr<DIR, DirCloser> dir(::opendir(nativeFolder.c_str()));
  if (!dir) return kErrorPathNotFound;

  auto finder = std::make_shared<TSearchRec::Finder>();
  finder->dir = std::move(dir);
  finder->mask = platform::Cp932ToUtf16(mask);
  // As on Windows, "*.*" also takes names without a dot.
  finder->matchesEverything = mask == "*.*" || mask == "*";
  finder->excludedAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  rec.finder = std::move(finder);
  if (NextMatch(rec) != 0) {
    FindClose(rec);
    return kErrorFileNotFound;
  }
  return 0;
}

int FindNext(TSearchRec& rec) {
  if (!rec.finder) return kErrorInvalidHandle;
  return NextMatch(rec);
}

void FindClose(TSearchRec& rec) { rec.finder.reset(); }
