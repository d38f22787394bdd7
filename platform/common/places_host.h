#pragma once
// What finding the places asks of the host; the layout itself is the same everywhere.
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/places.h"

namespace platform::host {

// Whether the player may write into the folder (native path).
bool IsWritableFolder(const std::string& nativePath);

// The native form of a folder, ending in '/'.
std::string AsNativeFolder(const std::filesystem::path& path);

// Native folders, each ending in '/'.
struct PlayerFolders {
  std::string data, config, state;
};

// Portable when the data folder beside the program is writable; otherwise installed (beside
// the program, or at installedFromProgram from it) with the player's files in `player`.
Places ArrangePlaces(std::string_view exePathUtf8, std::string_view installedFromProgram, PlayerFolders player);

}  // namespace platform::host
