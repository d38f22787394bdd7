// The player's folders on a POSIX host: the XDG base directories.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "places_host.h"
#include "xdg_places.h"

namespace fs = std::filesystem;

namespace {

// An XDG variable that is unset or relative is ignored, as the base-directory rules say.
std::string PlayerFolder(const std::string& xdgValue, const std::string& home, std::string_view fallback) {
  const fs::path base = !xdgValue.empty() && xdgValue.front() == '/' ? fs::path(xdgValue) : fs::path(home) / fallback;
  return platform::host::AsNativeFolder(base / platform::kPlayerFolderName);
}

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

namespace platform {

// A folder without any write bit counts as read-only even for root, whom access() lets write
// anywhere: an unpacked read-only copy of the game must not be taken for a portable one.
bool host::IsWritableFolder(const std::string& nativePath) {
  struct stat info {};
  return ::stat(nativePath.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & 0222) != 0 &&
         ::access(nativePath.c_str(), W_OK) == 0;
}

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
  return host::ArrangePlaces(exePathUtf8, installedFromProgram,
                             {PlayerFolder(environment.dataHome, environment.home, ".local/share"),
                              PlayerFolder(environment.configHome, environment.home, ".config"),
                              PlayerFolder(environment.stateHome, environment.home, ".local/state")});
}

Places FindPlaces(std::string_view exePathUtf8) {
  return FindPlaces(exePathUtf8, PlayerEnvironment::FromProcess(), KOTOBUNE_INSTALLED_DATA_FROM_PROGRAM);
}

}  // namespace platform
