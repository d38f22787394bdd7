// RIFF file reading. Chunk sizes come from the file and are never trusted: every search
// stays inside its parent and the file, and positions are computed in 64 bits.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <span>
#include <utility>

#include "platform/files.h"
#include "platform/mmsystem.h"

struct MmioFile {
  platform::ReadableFile file;
  std::int64_t size = 0;
  std::int64_t position = 0;
};

namespace {

constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr std::int64_t kChunkHeaderBytes = 8;
constexpr std::int64_t kFormTypeBytes = 4;

// What is there of count bytes at offset, or -1 when the file cannot be read.
std::int64_t ReadAt(MmioFile& file, std::int64_t offset, void* buffer, std::int64_t count) {
  if (count <= 0 || offset >= file.size) return 0;
  const std::span into(static_cast<std::uint8_t*>(buffer), static_cast<std::size_t>(std::min(count, file.size - offset)));
  std::size_t done = 0;
  while (done < into.size()) {
    const auto read = file.file.ReadAt(offset + static_cast<std::int64_t>(done), into.subspan(done));
    if (!read) return -1;
    if (*read == 0) break;
    done += *read;
  }
  return static_cast<std::int64_t>(done);
}

bool ReadFourCC(MmioFile& file, std::int64_t offset, FOURCC& value) {
  BYTE bytes[4];
  if (ReadAt(file, offset, bytes, 4) != 4) return false;
  value = static_cast<FOURCC>(bytes[0]) | (static_cast<FOURCC>(bytes[1]) << 8) | (static_cast<FOURCC>(bytes[2]) << 16) |
          (static_cast<FOURCC>(bytes[3]) << 24);
  return true;
}

bool HasFormType(FOURCC id) { return id == FOURCC_RIFF || id == FOURCC_LIST; }

bool IsWanted(const MMCKINFO& wanted, UINT flags, FOURCC id, FOURCC formType) {
  if ((flags & MMIO_FINDRIFF) != 0) return id == FOURCC_RIFF && formType == wanted.fccType;
  if ((flags & MMIO_FINDLIST) != 0) return id == FOURCC_LIST && formType == wanted.fccType;
  if ((flags & MMIO_FINDCHUNK) != 0) return id == wanted.ckid;
  return true;
}

// A chunk's data is padded to an even length.
std::int64_t ChunkEnd(std::int64_t dataOffset, DWORD size) { return dataOffset + size + (size & 1); }

}  // namespace

HMMIO mmioOpenA(const char* fileName, MMIOINFO* info, DWORD openFlags) {
  const auto fail = [info](UINT reason) -> HMMIO {
    if (info != nullptr) info->wErrorRet = reason;
    return nullptr;
  };
  if (fileName == nullptr) return fail(MMIOERR_FILENOTFOUND);
  if ((openFlags & (MMIO_WRITE | MMIO_READWRITE | MMIO_CREATE)) != 0) return fail(MMIOERR_CANNOTOPEN);
  auto regular = platform::OpenRegularFile(platform::NativePath(fileName));
  if (!regular) return fail(regular.Missing() ? MMIOERR_FILENOTFOUND : MMIOERR_CANNOTOPEN);
  const std::optional<std::int64_t> size = regular->Size();
  if (!size) return fail(MMIOERR_CANNOTOPEN);
  std::unique_ptr<MmioFile> opened(new (std::nothrow) MmioFile{std::move(*regular), *size});
  if (!opened) return fail(MMIOERR_OUTOFMEMORY);
  if (info != nullptr) info->wErrorRet = MMSYSERR_NOERROR;
  return opened.release();
}

MMRESULT mmioClose(HMMIO file, UINT) {
  if (file == nullptr) return MMSYSERR_INVALPARAM;
  delete file;
  return MMSYSERR_NOERROR;
}

LONG mmioRead(HMMIO file, char* buffer, LONG count) {
  if (file == nullptr || buffer == nullptr || count < 0) return -1;
  const std::int64_t read = ReadAt(*file, file->position, buffer, count);
  if (read < 0) return -1;
  file->position += read;
  return static_cast<LONG>(read);
}

LONG mmioSeek(HMMIO file, LONG offset, int origin) {
  if (file == nullptr || (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END)) return -1;
  const std::int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? file->position : file->size;
  const std::int64_t target = base + offset;
  if (target < 0 || target > INT32_MAX) return -1;
  file->position = target;
  return static_cast<LONG>(target);
}

MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags) {
  if (file == nullptr || chunk == nullptr) return MMSYSERR_INVALPARAM;
  const std::int64_t end =
      parent != nullptr ? std::min<std::int64_t>(std::int64_t{parent->dwDataOffset} + parent->cksize, file->size) : file->size;
  // Each step moves on by at least a chunk header, so the search always ends.
  for (std::int64_t start = file->position; start + kChunkHeaderBytes <= end;) {
    FOURCC id = 0, size = 0, formType = 0;
    if (!ReadFourCC(*file, start, id) || !ReadFourCC(*file, start + 4, size)) break;
    const std::int64_t dataOffset = start + kChunkHeaderBytes;
    const bool hasFormType = HasFormType(id);
    if (hasFormType && (dataOffset + kFormTypeBytes > end || !ReadFourCC(*file, dataOffset, formType))) break;
    if (IsWanted(*chunk, flags, id, formType)) {
      if (dataOffset > UINT32_MAX) break;
      *chunk = MMCKINFO{id, size, hasFormType ? formType : 0, static_cast<DWORD>(dataOffset), 0};
      file->position = dataOffset + (hasFormType ? kFormTypeBytes : 0);
      return MMSYSERR_NOERROR;
    }
    start = ChunkEnd(dataOffset, size);
  }
  file->position = std::max(file->position, end);
  return MMIOERR_CHUNKNOTFOUND;
}

MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT) {
  if (file == nullptr || chunk == nullptr) return MMSYSERR_INVALPARAM;
  file->position = ChunkEnd(chunk->dwDataOffset, chunk->cksize);
  return MMSYSERR_NOERROR;
}
