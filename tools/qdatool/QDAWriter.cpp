#include "QDAWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Created beside the target; removed again unless committed.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::filesystem::path& target)
      : target_(target), path_(target.string() + ".XXXXXX"), descriptor_(::mkstemp(path_.data())) {
    if (descriptor_ < 0) Fail("cannot create a file beside");
  }
  ~TemporaryFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!committed_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void Write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
      const ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) Fail("cannot write");
      bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
  }

  void Commit() {
    // mkstemp makes the file private; an archive is an ordinary file.
    if (::fchmod(descriptor_, 0644) != 0 || ::fsync(descriptor_) != 0) Fail("cannot write");
    const int descriptor = std::exchange(descriptor_, -1);
    if (::close(descriptor) != 0) Fail("cannot write");
    if (::rename(path_.c_str(), target_.c_str()) != 0) Fail("cannot replace");
    committed_ = true;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    const std::string reason = HostReason();
    throw std::runtime_error(what + " '" + target_.string() + "': " + reason);
  }

  std::filesystem::path target_;
  std::string path_;
  int descriptor_;
  bool committed_ = false;
};

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
  TemporaryFile temporary(path);
  temporary.Write(bytes);
  temporary.Commit();
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
