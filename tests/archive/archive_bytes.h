#pragma once
// Archives laid out byte by byte, so that tests can also write what no packer would.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "QDArc.h"

struct RawEntry {
  std::uint32_t Offset = 0;
  std::int32_t StoredSize = 0;
  std::int32_t OriginalSize = 0;
  std::string Name;
};

inline void StoreLittleEndian(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Where member data starts behind the index of `entries` entries.
inline std::uint32_t DataStart(std::size_t entries) {
  return static_cast<std::uint32_t>(QDAHeaderSize + entries * QDAEntrySize);
}

inline std::vector<std::uint8_t> RawArchive(std::int32_t flag, const std::vector<RawEntry>& entries,
                                            std::string_view data) {
  std::vector<std::uint8_t> bytes(DataStart(entries.size()), 0);
  StoreLittleEndian(bytes, 0, static_cast<std::uint32_t>(flag));
  std::copy(std::begin(QDASignature), std::end(QDASignature), bytes.begin() + 4);
  StoreLittleEndian(bytes, 8, static_cast<std::uint32_t>(entries.size()));
  std::size_t at = QDAHeaderSize;
  for (const RawEntry& entry : entries) {
    StoreLittleEndian(bytes, at, entry.Offset);
    StoreLittleEndian(bytes, at + 4, static_cast<std::uint32_t>(entry.StoredSize));
    StoreLittleEndian(bytes, at + 8, static_cast<std::uint32_t>(entry.OriginalSize));
    std::copy(entry.Name.begin(), entry.Name.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at + 12));
    at += QDAEntrySize;
  }
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

inline std::string AsString(std::span<const std::uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

inline std::string ReadMember(const std::vector<std::uint8_t>& archive, std::string_view id) {
  TMemoryStream stream(archive);
  return AsString(QDAReadMemberFromStream(stream, id)->Memory());
}
