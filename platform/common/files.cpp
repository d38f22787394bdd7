#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <system_error>
#include <utility>

#include "file_host.h"
#include "file_names.h"
#include "platform/codepage.h"
#include "platform/places.h"

namespace fs = std::filesystem;

namespace {

// The codes Windows reports, so callers that log them see familiar numbers.
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorPathNotFound = 3;
constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorNoMoreFiles = 18;

using platform::Failure;
using platform::Result;
using platform::host::ErrnoFailure;

// A file written in full under a temporary name beside its target; the temporary file is
// removed unless it was moved into place.
class PendingReplacement {
 public:
  PendingReplacement(std::string target, std::string temporary)
      : target_(std::move(target)), temporary_(std::move(temporary)) {}
  ~PendingReplacement() {
    std::error_code ignored;
    if (!committed_) fs::remove(platform::host::PathOfNative(temporary_), ignored);
  }
  PendingReplacement(const PendingReplacement&) = delete;
  PendingReplacement& operator=(const PendingReplacement&) = delete;

  const std::string& Target() const { return target_; }
  Result<> Commit(const platform::host::MoveFunction& move) {
    Result<> moved = move(temporary_, target_);
    committed_ = moved.Ok();
    return moved;
  }

 private:
  std::string target_, temporary_;
  bool committed_ = false;
};

std::string NativeFolderOf(const std::string& nativePath) {
  const std::size_t slash = nativePath.rfind('/');
  return slash == std::string::npos ? std::string(".") : nativePath.substr(0, slash + 1);
}

std::string NativeNameOf(const std::string& nativePath) {
  const std::size_t slash = nativePath.rfind('/');
  return slash == std::string::npos ? nativePath : nativePath.substr(slash + 1);
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
  return pid <= 0 || platform::host::ProcessHasEnded(pid);
}

std::vector<std::string> RegularFilesIn(const std::string& nativeFolder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator entry(platform::host::PathOfNative(nativeFolder), error), end; !error && entry != end;
       entry.increment(error)) {
    std::error_code statusError;
    if (entry->symlink_status(statusError).type() == fs::file_type::regular) {
      names.push_back(platform::host::NativeOfPath(entry->path().filename()));
    }
  }
  return names;
}

std::optional<fs::file_type> TypeOf(const std::string& nativePath) {
  std::error_code error;
  const fs::file_status status = fs::status(platform::host::PathOfNative(nativePath), error);
  if (nativePath.empty() || error || !fs::exists(status)) return std::nullopt;
  return status.type();
}

// A target that is a folder would fail only at the rename, after other files were replaced.
Result<std::unique_ptr<PendingReplacement>> PrepareReplacement(const std::string& target,
                                                               std::span<const std::uint8_t> bytes) {
  if (target.empty() || target.back() == '/' || TypeOf(target) == fs::file_type::directory) {
    return ErrnoFailure(target, EISDIR);
  }
  auto temporary = platform::host::WriteTemporaryBeside(target, bytes);
  if (!temporary) return temporary.Why();
  return std::make_unique<PendingReplacement>(target, std::move(*temporary));
}

// What a target held before it was replaced, written aside beforehand, so that putting it
// back takes a rename and no space on a disk that may be full.
struct OldFile {
  std::string target;
  std::unique_ptr<PendingReplacement> copy;  // none when the target did not exist
};

Result<OldFile> KeepOldFile(const std::string& target) {
  const platform::FileContents contents = platform::ReadNativeFile(target, platform::kMediaFileLimit);
  if (contents.Missing()) return OldFile{target, nullptr};
  if (!contents) return contents.Why();
  auto copy = PrepareReplacement(target, *contents);
  if (!copy) return copy.Why();
  return OldFile{target, std::move(*copy)};
}

// The files replaced before a later rename failed get their old content back; "" or what
// could not be restored.
std::string PutBack(std::span<OldFile> replaced, const platform::host::MoveFunction& move) {
  std::string failures;
  for (OldFile& file : replaced) {
    std::string error;
    if (file.copy) {
      error = file.copy->Commit(move).Reason();
    } else {
      std::error_code removal;
      fs::remove(platform::host::PathOfNative(file.target), removal);
      if (removal) error = file.target + ": " + removal.message();
    }
    if (!error.empty()) failures += "; not restored: " + error;
  }
  return failures;
}

}  // namespace

namespace platform {

namespace host {

Result<> ReplaceFiles(std::span<const FileReplacement> files, const MoveFunction& move) {
  std::vector<std::unique_ptr<PendingReplacement>> pending;
  std::vector<OldFile> old;
  for (const FileReplacement& file : files) {
    const std::string target = NativePath(file.gamePath);
    // Only a file among others can be left changed by a later failure.
    if (files.size() > 1) {
      auto kept = KeepOldFile(target);
      if (!kept) return kept.Why();
      old.push_back(std::move(*kept));
    }
    auto prepared = PrepareReplacement(target, file.bytes);
    if (!prepared) return prepared.Why();
    pending.push_back(std::move(*prepared));
  }
  for (std::size_t i = 0; i < pending.size(); ++i) {
    if (Result<> moved = pending[i]->Commit(move); !moved) {
      return Failure{moved.Reason() + PutBack(std::span(old).first(i), move)};
    }
  }
  for (auto& replacement : pending) SyncFolder(NativeFolderOf(replacement->Target()));
  return {};
}

fs::path PathOfNative(std::string_view nativePath) {
  return fs::path(std::u8string(nativePath.begin(), nativePath.end()));
}

std::string NativeOfPath(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return {text.begin(), text.end()};
}

}  // namespace host

std::string NativePath(std::string_view gamePath) {
  // Converted first: in CP932 a '\' byte may be the second half of a character.
  std::string native = Cp932ToUtf8(gamePath);
  std::replace(native.begin(), native.end(), '\\', '/');
  return PlacedPath(CurrentPlaces(), std::move(native));
}

FileContents ReadNativePrefix(const std::string& path, std::size_t limit);

FileContents ReadFile(std::string_view gamePath, std::size_t limit) { return ReadNativeFile(NativePath(gamePath), limit); }

FileContents ReadNativeFile(const std::string& nativePath, std::size_t limit) {
  FileContents contents = ReadNativePrefix(nativePath, limit + 1);
  if (contents && contents->size() > limit) {
    return Failure{nativePath + ": larger than " + std::to_string(limit) + " bytes"};
  }
  return contents;
}

FileContents ReadFilePrefix(std::string_view gamePath, std::size_t limit) {
  return ReadNativePrefix(NativePath(gamePath), limit);
}

FileContents ReadNativePrefix(const std::string& path, std::size_t limit) {
  auto file = OpenRegularFile(path);
  if (!file) return file.Why();
  std::vector<std::uint8_t> bytes;
  if (const auto size = file->Size()) bytes.reserve(std::min(limit, static_cast<std::size_t>(*size)));
  std::uint8_t buffer[65536];
  while (bytes.size() < limit) {
    const auto count = file->Read(std::span(buffer).first(std::min(sizeof buffer, limit - bytes.size())));
    if (!count) return Failure{path + ": " + count.Reason()};
    if (*count == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + *count);
  }
  return bytes;
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(std::string_view gamePath, std::size_t limit) {
  FileContents contents = ReadFile(gamePath, limit);
  if (!contents) return std::nullopt;
  return std::move(*contents);
}

Result<> ReplaceFiles(std::span<const FileReplacement> files) { return host::ReplaceFiles(files, host::MoveIntoPlace); }

Result<> ReplaceNativeFile(const std::string& nativePath, std::span<const std::uint8_t> bytes) {
  auto pending = PrepareReplacement(nativePath, bytes);
  if (!pending) return pending.Why();
  if (Result<> moved = (*pending)->Commit(host::MoveIntoPlace); !moved) return moved;
  host::SyncFolder(NativeFolderOf(nativePath));
  return {};
}

Result<std::string> SetAside(std::string_view gamePath) {
  constexpr int kMostSetAside = 1000;
  const std::string native = NativePath(gamePath);
  for (int n = 1; n <= kMostSetAside; ++n) {
    std::string aside = native + ".damaged-" + std::to_string(n);
    if (TypeOf(aside)) continue;
    std::error_code renameError;
    fs::rename(host::PathOfNative(native), host::PathOfNative(aside), renameError);
    if (renameError) return Failure{native + ": " + renameError.message()};
    return aside;
  }
  return Failure{native + ": " + std::to_string(kMostSetAside) + " damaged copies are already set aside"};
}

Result<> WriteFileAtomic(std::string_view gamePath, std::span<const std::uint8_t> bytes) {
  const FileReplacement file{gamePath, bytes};
  return ReplaceFiles({&file, 1});
}

std::vector<std::string> LeftoverTemporaries(std::string_view gameFolder, std::string_view name) {
  const std::string gamePrefix = IncludeTrailingPathDelimiter(gameFolder);
  // Searched where the file itself lands, which need not be the folder the game names.
  const std::string nativeTarget = NativePath(gamePrefix + std::string(name));
  const std::string nativeName = NativeNameOf(nativeTarget);
  std::vector<std::string> found;
  for (const std::string& entry : RegularFilesIn(NativeFolderOf(nativeTarget))) {
    // Our temporary names are ASCII, the same in both encodings.
    if (IsLeftoverTemporaryOf(entry, nativeName)) found.push_back(gamePrefix + entry);
  }
  return found;
}

void RemoveLeftoverTemporaries(std::string_view gameFolder, std::span<const std::string_view> names) {
  for (const std::string_view name : names) {
    for (const std::string& leftover : LeftoverTemporaries(gameFolder, name)) {
      std::error_code ignored;
      fs::remove(host::PathOfNative(NativePath(leftover)), ignored);
    }
  }
}

}  // namespace platform

bool FileExists(std::string_view path) { return TypeOf(platform::NativePath(path)) == fs::file_type::regular; }

bool DirectoryExists(std::string_view path) {
  return TypeOf(platform::NativePath(path)) == fs::file_type::directory;
}

struct TSearchRec::Finder {
  platform::host::FolderListingPtr listing;
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
  const auto wanted = [&finder](std::string_view name) { return finder.NameMatches(name); };
  while (auto entry = platform::host::NextFolderEntry(*finder.listing, wanted)) {
    if ((entry->attr & finder.excludedAttr) != 0) continue;
    rec.Name = std::move(entry->name);
    rec.Attr = entry->attr;
    rec.Size = entry->size;
    return 0;
  }
  return kErrorNoMoreFiles;
}

}  // namespace

int FindFirst(std::string_view pattern, int attr, TSearchRec& rec) {
  FindClose(rec);
  const std::string folder = ExtractFilePath(pattern);
  const std::string_view mask = pattern.substr(folder.size());
  // Every entry, matched here by the same rules on every host (Windows would also match the
  // short 8.3 names).
  auto listing = platform::host::OpenFolderListing(folder.empty() ? std::string(".") : platform::NativePath(folder));
  if (!listing) return kErrorPathNotFound;

  auto finder = std::make_shared<TSearchRec::Finder>();
  finder->listing = std::move(listing);
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
