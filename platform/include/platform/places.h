#pragma once
// Where the game's names land. The game names every file beside its program ("data\..."
// and its logs); installed, those names are spread over the installed data folder and the
// player's own folders. Portable (a writable data folder beside the program, as in a build
// folder), every name stays where the game says.
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The folder name under the player's XDG folders.
inline constexpr std::string_view kPlayerFolderName = "kotobune";

// Native (UTF-8) folders, each ending in '/'.
struct Places {
  std::string program;       // the executable's folder
  std::string installed;     // the game's own files; empty in portable mode
  std::string playerData;    // record and saved idioms, and the player's replacements
  std::string playerConfig;  // settings and idiom file
  std::string playerState;   // logs

  bool Portable() const { return installed.empty(); }
};

// This program's installed layout, and the player's folders as the host names them.
Places FindPlaces(std::string_view exePathUtf8);

// Makes the player's folders and copies the editable samples there when missing. One line
// for each thing that could not be done, saying what the game does instead, and one when
// a read-only data folder beside the program sends the player's files elsewhere.
std::vector<std::string> PreparePlayerFolders(const Places& places);

// NativePath maps through these from now on.
void UsePlaces(Places places);
const Places& CurrentPlaces();

// A native path the game named, moved to where it lives.
std::string PlacedPath(const Places& places, std::string native);

}  // namespace platform
