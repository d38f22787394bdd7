#pragma once
// Reads members of a Quadruple D Archive: a 256-byte header, an index of 268-byte entries and
// the members, either all raw or all byte-pair compressed. Nothing is cached between calls.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Streams.h"

inline constexpr std::size_t QDAHeaderSize = 256;
inline constexpr std::size_t QDAEntrySize = 268;
inline constexpr std::size_t QDANameSize = 256;
inline constexpr std::int32_t QDACompressedFlag = 1;
inline constexpr char QDASignature[4] = {'Q', 'D', 'A', '0'};
// Larger members are refused as malformed: the biggest picture is well under this, and a
// forged size must not make the reader allocate gigabytes.
inline constexpr std::int32_t QDAMaxMemberSize = 64 * 1024 * 1024;

// The message is UTF-8.
class EQDAError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ArchiveFileName is a game path (Shift-JIS, '\' separators). A file that cannot be opened
// raises EFOpenError; a malformed archive or a missing ID raises EQDAError. The result is
// positioned at 0.
std::unique_ptr<TMemoryStream> QDAReadMember(std::string_view ArchiveFileName, std::string_view ID);

// Stream holds an archive and is positioned at its start; it is left at the end of the
// member's data.
std::unique_ptr<TMemoryStream> QDAReadMemberFromStream(TStream& Stream, std::string_view ID);

// Source is positioned at a member's compressed data and ends where the member ends. The
// expanded bytes are OriginalSize long (zero-padded if the blocks give fewer).
std::unique_ptr<TMemoryStream> QDAExpand(TMemoryStream& Source, std::int32_t OriginalSize);

// The index as stored, for tools that list an archive.
struct QDAEntry {
  std::uint32_t Offset = 0;
  std::int32_t StoredSize = 0;
  std::int32_t OriginalSize = 0;
  std::string Name;  // Shift-JIS
};

struct QDAIndex {
  bool Compressed = false;
  std::vector<QDAEntry> Entries;
};

// IDs match when their folded forms are equal: ASCII letters ignore case.
std::string QDAFoldID(std::string_view ID);

// Reads the header and the index from the stream's position; raises EQDAError when they are
// malformed.
QDAIndex QDAReadIndex(TStream& Stream);
