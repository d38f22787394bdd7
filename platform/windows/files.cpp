// Files and folders through the wide-character Windows calls, so Japanese names work whatever
// the system's code page.
#include "platform/files.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#include "file_host.h"
#include "platform/codepage.h"
#include "win32.h"

namespace {

std::wstring WideOf(std::string_view utf8) {
  const std::u16string text = platform::win32::ToWide(platform::win32::kCodePageUtf8, utf8, false);
  return {text.begin(), text.end()};
}

// The native path as Windows takes it: UTF-16 with '\\'.
std::wstring WideNative(std::string_view nativePath) {
  std::wstring path = WideOf(nativePath);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

platform::Failure WindowsFailure(const std::string& nativePath, DWORD error) {
  return {nativePath + ": " + std::system_category().message(static_cast<int>(error)),
          error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND};
}

platform::Result<std::size_t> ReadResult(int count) {
  if (count < 0) return platform::Failure{std::strerror(errno)};
  return static_cast<std::size_t>(count);
}

unsigned ChunkOf(std::span<std::uint8_t> into) {
  return static_cast<unsigned>(std::min<std::size_t>(into.size(), 1u << 30));
}

std::optional<std::string> Cp932Of(const wchar_t* name) {
  return platform::win32::FromWide(platform::win32::kCodePageShiftJis,
                                   reinterpret_cast<const char16_t*>(name), true);
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HANDLE get() const { return handle_; }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (!IsOpen()) return true;
    const bool closed = CloseHandle(handle_) != FALSE;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

bool WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes = bytes.subspan(written);
  }
  return true;
}

// A hidden name beside the target, so a folder scan in the meantime does not pick it up and
// the move stays within one volume.
std::optional<std::pair<std::wstring, HANDLE>> CreateTemporaryBeside(const std::wstring& target) {
  const std::size_t slash = target.find_last_of(L"\\/");
  const std::size_t nameAt = slash == std::wstring::npos ? 0 : slash + 1;
  const std::wstring prefix = target.substr(0, nameAt) + L"." + target.substr(nameAt) + L".";
  std::random_device entropy;
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::wstring candidate = prefix + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(entropy());
    HANDLE file = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file != INVALID_HANDLE_VALUE) return std::pair{std::move(candidate), file};
    if (GetLastError() != ERROR_FILE_EXISTS) return std::nullopt;
  }
  return std::nullopt;
}

int AttrOf(const WIN32_FIND_DATAW& entry) {
  int attr = 0;
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    attr |= faDirectory;
  } else {
    attr |= faArchive;
  }
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) attr |= faReadOnly;
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) attr |= faHidden;
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) attr |= faSysFile;
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && entry.dwReserved0 == IO_REPARSE_TAG_SYMLINK) {
    attr |= faSymLink;
  }
  return attr;
}

struct FindCloser {
  void operator()(HANDLE find) const { ::FindClose(find); }
};

}  // namespace

namespace platform {

Result<ReadableFile> OpenRegularFile(const std::string& nativePath) {
  const std::wstring path = WideNative(nativePath);
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return host::ErrnoFailure(nativePath, EISDIR);
  }
  if (path.empty()) return host::ErrnoFailure(nativePath, ENOENT);
  // Binary, or the C library would turn line ends round.
  const int descriptor = ::_wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (descriptor < 0) return host::ErrnoFailure(nativePath, errno);
  ReadableFile file(descriptor);
  // A device name (CON, NUL, COM1) opens a device, not a file.
  if (GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor))) != FILE_TYPE_DISK) {
    return Failure{nativePath + ": not a regular file"};
  }
  return file;
}

ReadableFile::~ReadableFile() {
  if (descriptor_ >= 0) ::_close(descriptor_);
}

std::optional<std::int64_t> ReadableFile::Size() const {
  struct _stati64 info {};
  if (descriptor_ < 0 || ::_fstati64(descriptor_, &info) != 0) return std::nullopt;
  return info.st_size;
}

Result<std::size_t> ReadableFile::Read(std::span<std::uint8_t> into) {
  return ReadResult(::_read(descriptor_, into.data(), ChunkOf(into)));
}

Result<std::size_t> ReadableFile::ReadAt(std::int64_t offset, std::span<std::uint8_t> into) {
  if (::_lseeki64(descriptor_, offset, SEEK_SET) < 0) return ReadResult(-1);
  return Read(into);
}

namespace host {

Result<std::string> WriteTemporaryBeside(const std::string& target, std::span<const std::uint8_t> bytes) {
  auto temporary = CreateTemporaryBeside(WideNative(target));
  if (!temporary) return WindowsFailure(target, GetLastError());
  Handle file(temporary->second);
  // Shown again before the move, so the replaced file is not hidden.
  if (!WriteAll(file.get(), bytes) || !FlushFileBuffers(file.get()) || !file.Close() ||
      !SetFileAttributesW(temporary->first.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    Failure failure = WindowsFailure(target, GetLastError());
    DeleteFileW(temporary->first.c_str());
    return failure;
  }
  const std::u16string name(temporary->first.begin(), temporary->first.end());
  std::optional<std::string> utf8 = win32::FromWide(win32::kCodePageUtf8, name, false);
  if (!utf8) {
    DeleteFileW(temporary->first.c_str());
    return Failure{target + ": the temporary file's name has no UTF-8 form"};
  }
  return std::move(*utf8);
}

Result<> MoveIntoPlace(const std::string& temporary, const std::string& target) {
  if (MoveFileExW(WideNative(temporary).c_str(), WideNative(target).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return {};
  }
  return WindowsFailure(target, GetLastError());
}

// MOVEFILE_WRITE_THROUGH already waited for the move to reach the disk.
void SyncFolder(const std::string&) {}

bool ProcessHasEnded(long processId) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId));
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

struct FolderListing {
  std::unique_ptr<void, FindCloser> find;
  WIN32_FIND_DATAW pending{};  // the entry FindFirstFileExW returned, not yet looked at
  bool hasPending = false;

  bool Next(WIN32_FIND_DATAW& entry) {
    if (hasPending) {
      entry = pending;
      hasPending = false;
      return true;
    }
    return FindNextFileW(find.get(), &entry) != FALSE;
  }
};

void FolderListingCloser::operator()(FolderListing* listing) const { delete listing; }

FolderListingPtr OpenFolderListing(const std::string& nativeFolder) {
  std::wstring everything = WideNative(nativeFolder);
  if (!everything.ends_with(L'\\')) everything += L'\\';
  everything += L'*';
  FolderListingPtr listing(new FolderListing);
  HANDLE find = FindFirstFileExW(everything.c_str(), FindExInfoBasic, &listing->pending, FindExSearchNameMatch,
                                 nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return nullptr;
  listing->find.reset(find);
  listing->hasPending = true;
  return listing;
}

std::optional<FolderEntry> NextFolderEntry(FolderListing& listing, const std::function<bool(std::string_view)>& wanted) {
  WIN32_FIND_DATAW entry{};
  while (listing.Next(entry)) {
    std::optional<std::string> name = Cp932Of(entry.cFileName);
    if (!name || !wanted(*name)) continue;
    const int attr = AttrOf(entry);
    const std::int64_t size = (attr & faDirectory) ? 0
        : static_cast<std::int64_t>((static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
    return FolderEntry{std::move(*name), attr, size};
  }
  return std::nullopt;
}

}  // namespace host

}  // namespace platform

