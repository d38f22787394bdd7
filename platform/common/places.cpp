#include "platform/places.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDataFolder = "data/";

// The player's own files, always in the player's folders.
constexpr std::array<std::string_view, 2> kPlayerDataFiles{"record1.dat", "tuika.ini"};
// Files the player edits, copied from the installed samples on first start.
struct EditableFile {
  std::string_view name, sample;
};
constexpr std::array<EditableFile, 2> kEditableFiles{{{"settei.ini", "settei.ini.sample"},
                                                      {"追加問題.txt", "追加問題.txt"}}};

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// A folder without any write bit counts as read-only even for root, whom access() lets write
// anywhere: an unpacked read-only copy of the game must not be taken for a portable one.
bool IsWritableFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & 0222) != 0 &&
         ::access(path.c_str(), W_OK) == 0;
}

std::string AsFolder(const fs::path& path) {
  std::string folder = path.lexically_normal().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// An XDG variable that is unset or relative is ignored, as the base-directory rules say.
std::string PlayerFolder(const std::string& xdgValue, const std::string& home, std::string_view fallback) {
  const fs::path base = !xdgValue.empty() && xdgValue.front() == '/' ? fs::path(xdgValue) : fs::path(home) / fallback;
  return AsFolder(base / platform::kPlayerFolderName);
}

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
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
  const std::string temporary = to + ".new-" + std::to_string(::getpid());
  std::error_code error;
  if (!fs::copy_file(from, temporary, fs::copy_options::overwrite_existing, error)) {
    problem = "cannot copy " + from + " to " + to + ": " + error.message();
    return false;
  }
  const bool linked = ::link(temporary.c_str(), to.c_str()) == 0 || errno == EEXIST;
  const int linkError = errno;
  ::unlink(temporary.c_str());
  if (!linked) problem = "cannot copy " + from + " to " + to + ": " + std::generic_category().message(linkError);
  return linked;
}

platform::Places& StoredPlaces() {
  static platform::Places places;
  return places;
}

}  // namespace

namespace platform {

PlayerEnvironment PlayerEnvironment::FromProcess() {
  PlayerEnvironment environment{Variable("HOME"), Variable("XDG_DATA_HOME"), Variable("XDG_CONFIG_HOME"),
                                Variable("XDG_STATE_HOME")};
  if (environment.home.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
      environment.home = entry->pw_dir;
    }
  }
  return environment;
}

Places FindPlaces(std::string_view exePathUtf8, const PlayerEnvironment& environment,
                  std::string_view installedFromProgram) {
  Places places;
  const std::size_t slash = exePathUtf8.rfind('/');
  if (slash == std::string_view::npos) return places;
  places.program = std::string(exePathUtf8.substr(0, slash + 1));
  const std::string beside = places.program + std::string(kDataFolder);
  if (IsWritableFolder(beside)) return places;
  const std::string installed = AsFolder(fs::path(places.program) / installedFromProgram);
  if (IsFolder(beside)) {
    places.installed = beside;
  } else if (IsFolder(installed)) {
    places.installed = installed;
  } else {
    return places;  // nothing installed anywhere: names stay as the game says
  }
  places.playerData = PlayerFolder(environment.dataHome, environment.home, ".local/share");
  places.playerConfig = PlayerFolder(environment.configHome, environment.home, ".config");
  places.playerState = PlayerFolder(environment.stateHome, environment.home, ".local/state");
  return places;
}

Places FindPlaces(std::string_view exePathUtf8) {
  return FindPlaces(exePathUtf8, PlayerEnvironment::FromProcess(), KOTOBUNE_INSTALLED_DATA_FROM_PROGRAM);
}

bool PreparePlayerFolders(const Places& places, std::string& problem) {
  if (places.Portable()) return true;
  for (const std::string* folder : {&places.playerData, &places.playerConfig, &places.playerState}) {
    std::error_code error;
    fs::create_directories(*folder, error);
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
