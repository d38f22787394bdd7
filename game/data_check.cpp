// The components that load pictures and sound effects end the program with their own
// message, which names the file the Windows way with an error code. Before they run, this
// says in plain words which file is unusable and what to do about it.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "GameAssets.h"
#include "QDArc.h"
#include "platform/files.h"

namespace {

constexpr const char* kRemedy = "rebuild the game's data (cmake --build) or reinstall ことぶね";
constexpr const char* kUnreadable = "is missing or cannot be read";

void Report(const std::string& gamePath, const std::string& fault) {
  std::fprintf(stderr, "ことぶね: %s %s; %s\n", platform::NativePath(gamePath).c_str(), fault.c_str(), kRemedy);
}

bool HoldsPicture(const QDAIndex& index, std::int64_t archiveSize, std::string_view picture) {
  const std::string wanted = QDAFoldID(picture);
  return std::any_of(index.Entries.begin(), index.Entries.end(), [&](const QDAEntry& entry) {
    return QDAFoldID(entry.Name) == wanted && std::int64_t{entry.Offset} + entry.StoredSize <= archiveSize;
  });
}

// Only the index is read: a member cut off or missing is found without unpacking them all.
std::optional<std::string> ArchiveFault(const std::string& gamePath) {
  try {
    TFileStream archive(platform::NativePath(gamePath));
    const QDAIndex index = QDAReadIndex(archive);
    const std::int64_t size = archive.Size();
    for (const std::string_view picture : kArchivePictures) {
      if (!HoldsPicture(index, size, picture)) return "is damaged (" + std::string(picture) + " is missing or cut short)";
    }
  } catch (const EFOpenError&) {
    return kUnreadable;
  } catch (const std::exception&) {
    return "is damaged";
  }
  return std::nullopt;
}

std::optional<std::string> WaveFault(const std::string& gamePath) {
  const auto bytes = platform::ReadFileBytes(gamePath);
  if (!bytes) return kUnreadable;
  const std::string_view head(reinterpret_cast<const char*>(bytes->data()), std::min<std::size_t>(bytes->size(), 12));
  if (head.size() < 12 || head.substr(0, 4) != "RIFF" || head.substr(8, 4) != "WAVE") return "is not a WAVE file";
  return std::nullopt;
}

}  // namespace

void ReportUnusableGameData(const std::string& exeDir) {
  const std::string archive = exeDir + std::string(kPictureArchive);
  if (const auto fault = ArchiveFault(archive)) Report(archive, *fault);
  for (const std::string_view wave : kWaveFiles) {
    const std::string path = exeDir + std::string(wave);
    if (const auto fault = WaveFault(path)) Report(path, *fault);
  }
}
