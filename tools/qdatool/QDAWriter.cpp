#include "QDAWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <set>
#include <stdexcept>
#include <utility>

#include "BytePair.h"
#include "QDArc.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace {

void PutInt32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void CheckMembers(std::span<const QDAMemberSource> members) {
  std::set<std::string> folded;
  for (const QDAMemberSource& member : members) {
    if (member.Name.empty() || member.Name.size() >= QDANameSize ||
        member.Name.find('\0') != std::string::npos) {
      throw std::invalid_argument("ID '" + member.Name + "' must be 1 to " +
                                  std::to_string(QDANameSize - 1) + " bytes without NUL");
    }
    if (!folded.insert(QDAFoldID(member.Name)).second) {
      throw std::invalid_argument("ID '" + member.Name + "' appears twice (IDs ignore case)");
    }
    if (member.Bytes.size() > static_cast<std::size_t>(QDAMaxMemberSize)) {
      throw std::invalid_argument("'" + member.Name + "' is larger than " +
                                  std::to_string(QDAMaxMemberSize) + " bytes");
    }
  }
}

std::string HostReason() { return std::strerror(errno); }

}  // namespace

std::vector<std::uint8_t> QDABuildArchive(std::span<const QDAMemberSource> members, bool compress) {
  CheckMembers(members);
  std::vector<std::uint8_t> archive(QDAHeaderSize + members.size() * QDAEntrySize, 0);
  PutInt32(archive, 0, compress ? QDACompressedFlag : 0);
  std::copy(std::begin(QDASignature), std::end(QDASignature), archive.begin() + 4);
  PutInt32(archive, 8, static_cast<std::uint32_t>(members.size()));

  std::size_t entry = QDAHeaderSize;
  for (const QDAMemberSource& member : members) {
    const std::vector<std::uint8_t> stored = compress ? BytePairCompress(member.Bytes) : member.Bytes;
    if (archive.size() + stored.size() > std::numeric_limits<std::uint32_t>::max()) {
      throw std::invalid_argument("the archive would be larger than 4 GB");
    }
    PutInt32(archive, entry, static_cast<std::uint32_t>(archive.size()));
    PutInt32(archive, entry + 4, static_cast<std::uint32_t>(stored.size()));
    PutInt32(archive, entry + 8, static_cast<std::uint32_t>(member.Bytes.size()));
    std::copy(member.Name.begin(), member.Name.end(), archive.begin() + static_cast<std::ptrdiff_t>(entry + 12));
    archive.insert(archive.end(), stored.begin(), stored.end());
    entry += QDAEntrySize;
  }
  return archive;
}

void WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  const std::u8string utf8 = path.u8string();
  const auto name = platform::Utf8ToCp932(std::string(utf8.begin(), utf8.end()));
  if (!name) throw std::runtime_error("cannot write '" + path.string() + "': the name has no Shift-JIS form");
  if (const auto written = platform::WriteFileAtomic(*name, bytes); !written) {
    throw std::runtime_error("cannot write " + written.Reason());
  }
}

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::error_code error;
  const bool regular = std::filesystem::is_regular_file(path, error);
  if (error) throw std::runtime_error("cannot read '" + path.string() + "': " + error.message());
  if (!regular) throw std::runtime_error("'" + path.string() + "' is not a regular file");
  const auto size = static_cast<std::size_t>(std::filesystem::file_size(path, error));
  std::ifstream in(path, std::ios::binary);
  if (error || !in) throw std::runtime_error("cannot open '" + path.string() + "': " + HostReason());
  std::vector<std::uint8_t> bytes(size);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  if (static_cast<std::size_t>(in.gcount()) != size) throw std::runtime_error("cannot read '" + path.string() + "'");
  return bytes;
}
