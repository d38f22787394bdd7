#pragma once
// What every fuzz target shares: a private folder the input is written into as the game
// would find it on disk, and a way to split one input into the files a reader takes together.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/temp_folder.h"

namespace fuzzing {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The folder lives as long as the process; libFuzzer never returns from its loop.
inline TempFolder& Folder() {
  static TempFolder folder;
  return folder;
}

// Writes the bytes under the name (UTF-8) and returns the game's path to them.
inline std::string WriteInput(std::string_view name, std::string_view bytes) {
  Folder().Write(name, bytes);
  return Folder().Game(name);
}

}  // namespace fuzzing
