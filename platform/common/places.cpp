#include "platform/places.h"

#include <array>
#include <filesystem>
#include <random>
#include <system_error>

#include "file_host.h"
#include "places_host.h"

namespace fs = std::filesystem;

namespace {

using platform::host::PathOfNative;

constexpr std::string_view kDataFolder = "data/";

// The player's own files, always in the player's folders.
constexpr std::array<std::string_view, 3> kPlayerDataFiles{"record1.dat", "tuika.ini", "study.tsv"};
// Files the player edits, copied from the installed samples on first start.
struct EditableFile {
  std::string_view name, sample;
};
constexpr std::array<EditableFile, 2> kEditableFiles{{{"settei.ini", "settei.ini.sample"},
                                                      {"追加問題.txt", "追加問題.txt"}}};

bool IsFolder(const std::string& path) {
  std::error_code error;
  return fs::is_directory(PathOfNative(path), error);
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(PathOfNative(path), error);
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool IsOneOf(std::string_view name, const auto& names) {
  for (const auto& candidate : names) {
    if (name == candidate) return true;
  }
  return false;
}

const EditableFile* FindEditable(std::string_view name) {
  for (const auto& file : kEditableFiles) {
    if (file.name == name) return &file;
  }
  return nullptr;
}

// A name under the game's data folder: the player's copy first, then the installed one.
std::string PlaceDataName(const platform::Places& places, std::string_view relative) {
  const std::string own(relative);
  if (IsOneOf(own, kPlayerDataFiles)) return places.playerData + own;
  const bool editable = FindEditable(own) != nullptr;
  const std::string playerCopy = (editable ? places.playerConfig : places.playerData) + own;
  if (Exists(playerCopy)) return playerCopy;
  const std::string installed = places.installed + own;
  return editable && !Exists(installed) ? playerCopy : installed;
}

// Linked into place rather than renamed, so a copy the player made in the meantime is kept.
bool CopyIfMissing(const std::string& from, const std::string& to, std::string& problem) {
  if (Exists(to) || !Exists(from)) return true;
  const fs::path temporary = PathOfNative(to + ".new-" + std::to_string(std::random_device{}()));
  std::error_code error;
  if (!fs::copy_file(PathOfNative(from), temporary, fs::copy_options::overwrite_existing, error)) {
    problem = "cannot copy " + from + " to " + to + ": " + error.message();
    return false;
  }
  fs::create_hard_link(temporary, PathOfNative(to), error);
  const bool linked = !error || error == std::errc::file_exists;
  std::error_code ignored;
  fs::remove(temporary, ignored);
  if (!linked) problem = "cannot copy " + from + " to " + to + ": " + error.message();
  return linked;
}

platform::Places& StoredPlaces() {
  static platform::Places places;
  return places;
}

}  // namespace

namespace platform {

namespace host {

std::string AsNativeFolder(const fs::path& path) {
  std::string folder = NativeOfPath(path.lexically_normal());
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

Places ArrangePlaces(std::string_view exePathUtf8, std::string_view installedFromProgram, PlayerFolders player) {
  Places places;
  const std::size_t slash = exePathUtf8.rfind('/');
  if (slash == std::string_view::npos) return places;
  places.program = std::string(exePathUtf8.substr(0, slash + 1));
  const std::string beside = places.program + std::string(kDataFolder);
  if (IsWritableFolder(beside)) return places;
  const std::string installed = AsNativeFolder(PathOfNative(places.program) / PathOfNative(installedFromProgram));
  if (IsFolder(beside)) {
    places.installed = beside;
  } else if (IsFolder(installed)) {
    places.installed = installed;
  } else {
    return places;  // nothing installed anywhere: names stay as the game says
  }
  places.playerData = std::move(player.data);
  places.playerConfig = std::move(player.config);
  places.playerState = std::move(player.state);
  return places;
}

}  // namespace host

bool PreparePlayerFolders(const Places& places, std::string& problem) {
  if (places.Portable()) return true;
  for (const std::string* folder : {&places.playerData, &places.playerConfig, &places.playerState}) {
    std::error_code error;
    fs::create_directories(PathOfNative(*folder), error);
    if (!IsFolder(*folder)) {
      problem = "cannot make the folder " + *folder + ": " + error.message();
      return false;
    }
  }
  for (const auto& file : kEditableFiles) {
    if (!CopyIfMissing(places.installed + std::string(file.sample), places.playerConfig + std::string(file.name),
                       problem)) {
      return false;
    }
  }
  return true;
}

void UsePlaces(Places places) { StoredPlaces() = std::move(places); }

const Places& CurrentPlaces() { return StoredPlaces(); }

std::string PlacedPath(const Places& places, std::string native) {
  if (places.Portable() || !StartsWith(native, places.program)) return native;
  const std::string_view inside = std::string_view(native).substr(places.program.size());
  if (inside == "data" || inside == kDataFolder) return places.installed;
  if (StartsWith(inside, kDataFolder)) return PlaceDataName(places, inside.substr(kDataFolder.size()));
  // The logs the components write beside the program.
  if (!inside.empty() && inside.find('/') == std::string_view::npos) return places.playerState + std::string(inside);
  return native;
}

}  // namespace platform
