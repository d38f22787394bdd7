#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

class TempFolder {
 public:
  // A fresh name, created atomically (the folder must not exist yet), on every host.
  TempFolder() {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = std::filesystem::temp_directory_path() / ("kotobune-" + std::to_string(entropy()));
      if (std::filesystem::create_directory(path_)) return;
    }
    throw std::runtime_error("no fresh temporary folder");
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The host path of a name given in UTF-8.
  std::string Native(std::string_view name = {}) const { return (path_ / name).string(); }
  // The same place as the game names it: Shift-JIS bytes and '\' separators (the folder
  // itself is ASCII, so only the name needs to be given in Shift-JIS).
  std::string Game(std::string_view sjisName = {}) const { return path_.string() + "\\" + std::string(sjisName); }

  void Write(std::string_view name, std::string_view bytes) const {
    std::ofstream(Native(name), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string Read(std::string_view name) const {
    std::ifstream in(Native(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path path_;
};
