// Files and folders through the wide-character Windows calls, so Japanese names work whatever
// the system's code page.
#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <random>

#include "file_names.h"
#include "platform/codepage.h"
#include "win32.h"

namespace {

// The codes Windows reports, so callers that log them see familiar numbers.
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorPathNotFound = 3;
constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorNoMoreFiles = 18;

std::wstring WideOf(std::string_view utf8) {
  const std::u16string text = platform::win32::ToWide(platform::win32::kCodePageUtf8, utf8, false);
  return {text.begin(), text.end()};
}

std::wstring WidePath(std::string_view gamePath) { return WideOf(platform::NativePath(gamePath)); }

std::wstring WithBackslashes(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
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

// Removes a temporary file unless it was moved into place.
class TemporaryFileGuard {
 public:
  explicit TemporaryFileGuard(std::wstring path) : path_(std::move(path)) {}
  ~TemporaryFileGuard() {
    if (!committed_) DeleteFileW(path_.c_str());
  }
  TemporaryFileGuard(const TemporaryFileGuard&) = delete;
  TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;
  void Commit() { committed_ = true; }

 private:
  std::wstring path_;
  bool committed_ = false;
};

DWORD AttributesOf(std::string_view gamePath) {
  const std::wstring path = WidePath(gamePath);
  return path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
}

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

// Installed where the player may not write (Program Files), the game keeps the player's files
// under %APPDATA%\kotobune instead of its data folder; a copy there overrides the installed one.
struct Placement {
  std::wstring dataFolder;    // "<folder of the executable>\data\"
  std::wstring playerFolder;  // empty in portable mode: everything stays in dataFolder
};

bool FolderIsWritable(const std::wstring& folder) {
  const std::wstring probe = folder + L".kotobune-write-probe";
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

Placement FindPlacement() {
  const std::u16string exe = platform::win32::ModuleFileName();
  Placement placement;
  placement.dataFolder = std::wstring(exe.begin(), exe.begin() + static_cast<std::ptrdiff_t>(exe.find_last_of(u'\\') + 1)) + L"data\\";
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (!FolderIsWritable(placement.dataFolder) && appData != nullptr && *appData != L'\0') {
    placement.playerFolder = std::wstring(appData) + L"\\kotobune\\";
  }
  return placement;
}

const Placement& ThePlacement() {
  static const Placement placement = FindPlacement();
  return placement;
}

// Where a file of the data folder lives for this player; nullopt for any other path.
std::optional<std::wstring> PlayerCopy(const std::wstring& path) {
  const Placement& placement = ThePlacement();
  if (placement.playerFolder.empty() || path.size() <= placement.dataFolder.size() ||
      _wcsnicmp(path.c_str(), placement.dataFolder.c_str(), placement.dataFolder.size()) != 0) {
    return std::nullopt;
  }
  return placement.playerFolder + path.substr(placement.dataFolder.size());
}

// Creates every missing folder on the way to a file.
void CreateFoldersFor(const std::wstring& file) {
  for (std::size_t at = file.find(L'\\', 3); at != std::wstring::npos; at = file.find(L'\\', at + 1)) {
    CreateDirectoryW(file.substr(0, at).c_str(), nullptr);
  }
}

struct FindCloser {
  void operator()(HANDLE find) const { ::FindClose(find); }
};

}  // namespace

struct TSearchRec::Finder {
  std::unique_ptr<void, FindCloser> find;
  WIN32_FIND_DATAW pending{};  // the entry FindFirstFileW returned, not yet looked at
  bool hasPending = false;
  std::u16string mask;
  bool matchesEverything = false;
  // Entries carrying any of these are left out; an attr mask can only admit them.
  int excludedAttr = 0;

  bool Next(WIN32_FIND_DATAW& entry) {
    if (hasPending) {
      entry = pending;
      hasPending = false;
      return true;
    }
    return FindNextFileW(find.get(), &entry) != FALSE;
  }
};

namespace {

int NextMatch(TSearchRec& rec) {
  TSearchRec::Finder& finder = *rec.finder;
  WIN32_FIND_DATAW entry{};
  while (finder.Next(entry)) {
    std::optional<std::string> name = Cp932Of(entry.cFileName);
    if (!name) continue;
    if (!finder.matchesEverything && !platform::WildcardMatches(finder.mask, platform::Cp932ToUtf16(*name))) continue;
    const int attr = AttrOf(entry);
    if ((attr & finder.excludedAttr) != 0) continue;
    rec.Name = std::move(*name);
    rec.Attr = attr;
    rec.Size = (attr & faDirectory) ? 0
                                     : static_cast<std::int64_t>((static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) |
                                                                 entry.nFileSizeLow);
    return 0;
  }
  return kErrorNoMoreFiles;
}

}  // namespace

namespace platform {

std::string NativePath(std::string_view gamePath) {
  const std::string native = Cp932ToUtf8(gamePath);
  const auto player = PlayerCopy(WithBackslashes(WideOf(native)));
  if (!player || GetFileAttributesW(player->c_str()) == INVALID_FILE_ATTRIBUTES) return native;
  const std::u16string wide(player->begin(), player->end());
  return win32::FromWide(win32::kCodePageUtf8, wide, false).value_or(native);
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(std::string_view gamePath) {
  const std::wstring path = WidePath(gamePath);
  if (path.empty()) return std::nullopt;
  Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen() || GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[65536];
  for (;;) {
    DWORD count = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr)) return std::nullopt;
    if (count == 0) return bytes;
    bytes.insert(bytes.end(), buffer, buffer + count);
  }
}

bool WriteFileAtomic(std::string_view gamePath, std::span<const std::uint8_t> bytes) {
  std::wstring target = WithBackslashes(WideOf(Cp932ToUtf8(gamePath)));
  if (target.empty() || target.back() == L'\\') return false;
  if (auto player = PlayerCopy(target)) {
    target = std::move(*player);
    CreateFoldersFor(target);
  }
  auto temporary = CreateTemporaryBeside(target);
  if (!temporary) return false;
  TemporaryFileGuard guard(temporary->first);
  Handle file(temporary->second);
  if (!WriteAll(file.get(), bytes) || !FlushFileBuffers(file.get()) || !file.Close()) return false;
  SetFileAttributesW(temporary->first.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!MoveFileExW(temporary->first.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return false;
  }
  guard.Commit();
  return true;
}

}  // namespace platform

bool FileExists(std::string_view path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(std::string_view path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int FindFirst(std::string_view pattern, int attr, TSearchRec& rec) {
  FindClose(rec);
  const std::string folder = ExtractFilePath(pattern);
  const std::string_view mask = pattern.substr(folder.size());
  // Every entry, matched here by the same rules as on every host (Windows would also match
  // the short 8.3 names).
  auto finder = std::make_shared<TSearchRec::Finder>();
  const std::wstring everything = (folder.empty() ? std::wstring(L".\\") : WidePath(folder)) + L"*";
  HANDLE find = FindFirstFileExW(everything.c_str(), FindExInfoBasic, &finder->pending, FindExSearchNameMatch,
                                 nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return kErrorPathNotFound;
  finder->find.reset(find);
  finder->hasPending = true;
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
