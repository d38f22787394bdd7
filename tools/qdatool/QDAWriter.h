#pragma once
// Builds Quadruple D Archives and writes files so that a crash never leaves half of one.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

struct QDAMemberSource {
  std::string Name;  // Shift-JIS, at most 255 bytes
  std::vector<std::uint8_t> Bytes;
};

// Raises std::invalid_argument for names that do not fit or repeat (ignoring case), members
// larger than the reader accepts, and archives past 4 GB.
std::vector<std::uint8_t> QDABuildArchive(std::span<const QDAMemberSource> members, bool compress);

// Temporary file beside the target, flushed to disk, then renamed over it.
// Raises std::runtime_error with the host's reason.
void WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Raises std::runtime_error when the file cannot be read.
std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path);
