#pragma once
// The generated runtime folder: where its files are, and their bytes.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace data_files {

using Bytes = std::vector<std::uint8_t>;

// A game path such as "data\\shoot.wav" inside the generated folder.
inline std::filesystem::path Path(std::string_view gamePath) {
  constexpr std::string_view kPrefix = "data\\";
  if (gamePath.starts_with(kPrefix)) gamePath.remove_prefix(kPrefix.size());
  std::string relative(gamePath);
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  return std::filesystem::path(KOTOBUNE_DATA_DIR) / std::filesystem::u8path(relative);
}

inline Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline std::uint32_t Little(std::span<const std::uint8_t> bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

}  // namespace data_files
