// The components that load pictures and sound effects end the program with their own
// message, which names the file the Windows way with an error code. Before they run, this
// says in plain words which file is unusable and what to do about it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "GameAssets.h"
#include "QDArc.h"
#include "platform/files.h"

namespace {

constexpr const char* kRemedy = "rebuild the game's data (cmake --build) or reinstall ことぶね";
constexpr const char* kUnreadable = "is missing or cannot be read";
constexpr std::size_t kWaveFormatSize = 16;

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

std::uint32_t LittleEndian(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

// The sound component plays silence for a wave it cannot load, so a wave cut short would
// otherwise go unnoticed: it needs a whole format chunk and some sound.
std::optional<std::string> WaveFault(const std::string& gamePath) {
  const auto bytes = platform::ReadFileBytes(gamePath);
  if (!bytes) return kUnreadable;
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  if (text.size() < 12 || text.substr(0, 4) != "RIFF" || text.substr(8, 4) != "WAVE") return "is not a WAVE file";
  bool format = false, sound = false;
  for (std::size_t at = 12; at + 8 <= text.size();) {
    const std::string_view id = text.substr(at, 4);
    const std::size_t size = LittleEndian(&(*bytes)[at + 4]), body = at + 8;
    if (id == "fmt ") format = size >= kWaveFormatSize && body + kWaveFormatSize <= text.size();
    if (id == "data") sound = size > 0 && body < text.size();
    at = body + size + (size & 1);
  }
  if (!format) return "is damaged (its format chunk is missing or cut short)";
  if (!sound) return "is damaged (it holds no sound)";
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
