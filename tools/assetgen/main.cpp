// assetgen: makes the game's runtime files from the sources in assets/.
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Generate.h"

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  assetgen pictures OUT_DIR ARCHIVE QDATOOL [OVERRIDE_DIR [PREVIEW.png]]\n"
    "  assetgen effects DESCRIPTION OUT_DIR\n"
    "  assetgen music SCORE OUT.mid OUT.wav SOUNDFONT\n"
    "  assetgen text UTF8_SOURCE SHIFT_JIS_TARGET\n"
    "  assetgen icon OUT_DIR\n";

int Run(const std::vector<std::string>& args) {
  if (args.empty()) throw std::invalid_argument("no command");
  const std::string& command = args[0];
  if (command == "pictures" && args.size() >= 4 && args.size() <= 6) {
    assetgen::GeneratePictures({args[1], args[2], args[3], args.size() > 4 ? args[4] : "",
                                args.size() > 5 ? args[5] : ""});
  } else if (command == "effects" && args.size() == 3) {
    assetgen::GenerateEffects(args[1], args[2]);
  } else if (command == "music" && args.size() == 5) {
    assetgen::GenerateMusic(args[1], args[2], args[3], args[4]);
  } else if (command == "text" && args.size() == 3) {
    assetgen::GenerateShiftJisText(args[1], args[2]);
  } else if (command == "icon" && args.size() == 2) {
    assetgen::GenerateIcon(args[1]);
  } else {
    throw std::invalid_argument("bad command line");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& error) {
    std::cerr << "assetgen: " << error.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "assetgen: " << error.what() << "\n";
    return 1;
  }
}
