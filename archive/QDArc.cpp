#include "QDArc.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/codepage.h"
#include "platform/files.h"

namespace {

constexpr const char* kUnusableData = "Quadruple D Archiveの扱えるデータではありません";

[[noreturn]] void RaiseUnusableData() { throw EQDAError(kUnusableData); }

[[noreturn]] void RaiseNotFound(std::string_view id) {
  throw EQDAError("アーカイブ内には指定されたID '" + platform::Cp932ToUtf8(id) +
                  "' を持つデータが見つかりません");
}

std::int32_t LoadInt32(const std::uint8_t* bytes) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) |
                                   static_cast<std::uint32_t>(bytes[1]) << 8 |
                                   static_cast<std::uint32_t>(bytes[2]) << 16 |
                                   static_cast<std::uint32_t>(bytes[3]) << 24);
}

bool IsShiftJisLeadByte(std::uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

void ReadExactly(TStream& stream, void* buffer, std::size_t count) {
  if (stream.Read(buffer, count) != count) RaiseUnusableData();
}

QDAEntry DecodeEntry(const std::uint8_t* bytes) {
  const auto* name = reinterpret_cast<const char*>(bytes + 12);
  const auto* end = static_cast<const char*>(std::memchr(name, '\0', QDANameSize));
  if (end == nullptr) RaiseUnusableData();
  return QDAEntry{static_cast<std::uint32_t>(LoadInt32(bytes)), LoadInt32(bytes + 4),
                  LoadInt32(bytes + 8), std::string(name, end)};
}

// The byte range a member occupies, checked against the archive's size.
struct MemberExtent {
  std::uint32_t Offset;
  std::int32_t Length;
};

MemberExtent CheckedExtent(const QDAEntry& entry, bool compressed, std::int64_t archiveSize) {
  const std::int32_t length = compressed ? entry.StoredSize : entry.OriginalSize;
  const bool fits = length >= 0 && entry.OriginalSize >= 0 &&
                    entry.OriginalSize <= QDAMaxMemberSize &&
                    static_cast<std::int64_t>(entry.Offset) + length <= archiveSize;
  if (!fits) RaiseUnusableData();
  return {entry.Offset, length};
}

std::unique_ptr<TMemoryStream> ReadBytes(TStream& stream, const MemberExtent& extent) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(extent.Length));
  stream.SetPosition(extent.Offset);
  ReadExactly(stream, bytes.data(), bytes.size());
  return std::make_unique<TMemoryStream>(std::move(bytes));
}

// One byte-pair block, read from the compressed member.
class BlockReader {
 public:
  explicit BlockReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool AtEnd() const { return position_ >= bytes_.size(); }
  std::size_t Consumed() const { return position_; }
  std::size_t Left() const { return bytes_.size() - position_; }

  std::uint8_t Byte() {
    if (AtEnd()) RaiseUnusableData();
    return bytes_[position_++];
  }

  std::uint32_t UInt32() {
    if (Left() < 4) RaiseUnusableData();
    const auto value = static_cast<std::uint32_t>(LoadInt32(bytes_.data() + position_));
    position_ += 4;
    return value;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// A code whose Left is itself stands for that byte; any other code for the pair Left, Right.
struct PairTable {
  std::array<std::uint8_t, 256> Left{};
  std::array<std::uint8_t, 256> Right{};

  bool IsLiteral(std::uint8_t code) const { return Left[code] == code; }
};

void ReadPairTable(BlockReader& in, PairTable& table) {
  for (int code = 0; code < 256; ++code) table.Left[code] = static_cast<std::uint8_t>(code);
  int k = 0;
  while (true) {
    int run = in.Byte();
    if (run > 127) {
      k += run - 127;
      run = 0;
    }
    if (k == 256) return;
    // A run that carries the code past 255 would write outside the table.
    if (k + run + 1 > 256) RaiseUnusableData();
    for (int i = 0; i <= run; ++i, ++k) {
      table.Left[k] = in.Byte();
      if (table.Left[k] != k) table.Right[k] = in.Byte();
    }
    if (k == 256) return;
  }
}

// Writes into the pre-sized result; more bytes than the member's size means forged data
// (a few codes can describe an astronomically long expansion), so that is refused.
class ExpandedBytes {
 public:
  explicit ExpandedBytes(std::int32_t size) : bytes_(static_cast<std::size_t>(size)) {}

  void Put(std::uint8_t byte) {
    if (written_ == bytes_.size()) RaiseUnusableData();
    bytes_[written_++] = byte;
  }

  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t written_ = 0;
};

void ExpandPackedData(BlockReader& in, std::uint32_t packedLength, const PairTable& table,
                      ExpandedBytes& out) {
  if (packedLength > in.Left()) RaiseUnusableData();
  std::array<std::uint8_t, 256> stack;
  std::size_t depth = 0;
  std::uint32_t unread = packedLength;
  while (true) {
    std::uint8_t code;
    if (depth != 0) {
      code = stack[--depth];
    } else if (unread != 0) {
      code = in.Byte();
      --unread;
    } else {
      return;
    }
    if (table.IsLiteral(code)) {
      out.Put(code);
    } else {
      if (depth + 2 > stack.size()) RaiseUnusableData();
      stack[depth++] = table.Right[code];
      stack[depth++] = table.Left[code];
    }
  }
}

}  // namespace

// The second byte of a double-byte character is left alone: it may look like an ASCII capital.
std::string QDAFoldID(std::string_view ID) {
  std::string folded(ID);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(folded[i]);
    if (IsShiftJisLeadByte(byte)) {
      ++i;
    } else if (byte >= 'A' && byte <= 'Z') {
      folded[i] = static_cast<char>(byte - 'A' + 'a');
    }
  }
  return folded;
}

QDAIndex QDAReadIndex(TStream& Stream) {
  std::array<std::uint8_t, QDAHeaderSize> header;
  ReadExactly(Stream, header.data(), header.size());
  if (std::memcmp(header.data() + 4, QDASignature, sizeof QDASignature) != 0) {
    RaiseUnusableData();
  }
  const std::int32_t entryCount = LoadInt32(header.data() + 8);
  const std::int64_t indexEnd =
      static_cast<std::int64_t>(QDAHeaderSize) + std::int64_t{entryCount} * QDAEntrySize;
  if (entryCount < 0 || indexEnd > Stream.Size()) RaiseUnusableData();

  std::vector<std::uint8_t> indexBytes(static_cast<std::size_t>(entryCount) * QDAEntrySize);
  ReadExactly(Stream, indexBytes.data(), indexBytes.size());
  QDAIndex index;
  index.Compressed = LoadInt32(header.data()) == QDACompressedFlag;
  index.Entries.reserve(static_cast<std::size_t>(entryCount));
  for (std::size_t at = 0; at < indexBytes.size(); at += QDAEntrySize) {
    index.Entries.push_back(DecodeEntry(indexBytes.data() + at));
  }
  return index;
}

std::unique_ptr<TMemoryStream> QDAReadMemberFromStream(TStream& Stream, std::string_view ID) {
  const QDAIndex index = QDAReadIndex(Stream);
  const std::string wanted = QDAFoldID(ID);
  const auto match =
      std::find_if(index.Entries.begin(), index.Entries.end(),
                   [&](const QDAEntry& entry) { return QDAFoldID(entry.Name) == wanted; });
  // An entry at offset 0 would point into the header: the format treats it as absent.
  if (match == index.Entries.end() || match->Offset == 0) RaiseNotFound(ID);

  const MemberExtent extent = CheckedExtent(*match, index.Compressed, Stream.Size());
  std::unique_ptr<TMemoryStream> stored = ReadBytes(Stream, extent);
  if (!index.Compressed) return stored;
  return QDAExpand(*stored, match->OriginalSize);
}

std::unique_ptr<TMemoryStream> QDAReadMember(std::string_view ArchiveFileName, std::string_view ID) {
  TFileStream archive(platform::NativePath(ArchiveFileName));
  return QDAReadMemberFromStream(archive, ID);
}

std::unique_ptr<TMemoryStream> QDAExpand(TMemoryStream& Source, std::int32_t OriginalSize) {
  if (OriginalSize < 0 || OriginalSize > QDAMaxMemberSize) RaiseUnusableData();
  BlockReader in(Source.Remaining());
  ExpandedBytes out(OriginalSize);
  PairTable table;
  while (!in.AtEnd()) {
    ReadPairTable(in, table);
    ExpandPackedData(in, in.UInt32(), table, out);
  }
  Source.Seek(static_cast<std::int64_t>(in.Consumed()), TSeekOrigin::soCurrent);
  return std::make_unique<TMemoryStream>(out.Take());
}
