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
platform::Result<> CopyIfMissing(const std::string& from, const std::string& to) {
  if (Exists(to) || !Exists(from)) return {};
  const fs::path temporary = PathOfNative(to + ".new-" + std::to_string(std::random_device{}()));
  std::error_code error;
  const auto failure = [&] { return platform::Failure{"cannot copy " + from + " to " + to + ": " + error.message()}; };
  if (!fs::copy_file(PathOfNative(from), temporary, fs::copy_options::overwrite_existing, error)) return failure();
  // The installed sample may be read-only; the player's copy is there to be edited.
  fs::permissions(temporary, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, error);
  fs::create_hard_link(temporary, PathOfNative(to), error);
  const bool linked = !error || error == std::errc::file_exists;
  std::error_code ignored;
  fs::remove(temporary, ignored);
  if (!linked) return failure();
  return {};
}

// Every folder made for the player, parents included, is theirs alone, as the XDG rules ask.
bool MakePrivateFolder(fs::path folder, std::error_code& error) {
  if (!folder.has_filename()) folder = folder.parent_path();
  if (fs::is_directory(folder, error)) return true;
  const fs::path parent = folder.parent_path();
  if (parent != folder && !parent.empty() && !MakePrivateFolder(parent, error)) return false;
  if (!fs::create_directory(folder, error) && error) return false;
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
  return !error;
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

std::vector<std::string> PreparePlayerFolders(const Places& places) {
  std::vector<std::string> notices;
  if (places.Portable()) return notices;
  const std::string record = places.playerData + std::string(kPlayerDataFiles[0]);
  if (places.installed == places.program + std::string(kDataFolder) && !Exists(record)) {
    std::string notice = "the folder " + places.installed + " beside the program is read-only, so your record is kept in " +
                         places.playerData + " and your settings in " + places.playerConfig;
    const std::string old = places.installed + std::string(kPlayerDataFiles[0]);
    if (Exists(old)) notice += "; the record saved before is " + old + ": copy it there to keep it";
    notices.push_back(std::move(notice));
  }
  const struct {
    const std::string& folder;
    const char* without;
  } folders[] = {{places.playerData, "nothing can be saved"},
                 {places.playerConfig, "the installed settings and idioms are used"},
                 {places.playerState, "the logs go to standard error"}};
  for (const auto& [folder, without] : folders) {
    std::error_code error;
    if (!MakePrivateFolder(PathOfNative(folder), error) || !IsFolder(folder)) {
      notices.push_back("cannot make the folder " + folder + ": " + error.message() + "; " + without);
    }
  }
  for (const auto& file : kEditableFiles) {
    if (!IsFolder(places.playerConfig)) continue;
    const auto copied =
        CopyIfMissing(places.installed + std::string(file.sample), places.playerConfig + std::string(file.name));
    if (!copied) notices.push_back(copied.Reason() + "; the installed one is used");
  }
  return notices;
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
