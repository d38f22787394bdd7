// packmaker: writes an idiom pack from the EDICT dictionary file.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "EdictPack.h"

namespace {

int Run(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "Usage: packmaker EDICT_FILE PACK_FILE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string dictionary((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in || dictionary.empty()) {
    std::fprintf(stderr, "packmaker: cannot read %s\n", argv[1]);
    return 1;
  }
  const packmaker::Harvest harvest = packmaker::HarvestIdioms(dictionary);
  if (harvest.idioms.empty()) {
    std::fprintf(stderr, "packmaker: %s holds no four-character idioms: is it the EDICT file?\n", argv[1]);
    return 1;
  }
  // A pack the build half wrote would be shipped as if whole.
  const std::string temporary = std::string(argv[2]) + ".new";
  {
    std::ofstream out(temporary, std::ios::binary);
    const std::string text = packmaker::PackText(harvest);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out.flush()) {
      std::fprintf(stderr, "packmaker: cannot write %s\n", temporary.c_str());
      return 1;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, argv[2], error);
  if (error) {
    std::fprintf(stderr, "packmaker: cannot write %s: %s\n", argv[2], error.message().c_str());
    return 1;
  }
  std::printf("packmaker: %zu idioms of %zu four-character idiom entries\n", harvest.idioms.size(),
              harvest.yojiEntries);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "packmaker: %s\n", error.what());
    return 1;
  }
}
