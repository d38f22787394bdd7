#pragma once
// Multimedia file I/O over RIFF files: descend into chunks, read, ascend; and the wave
// format record.
#include "platform/wintypes.h"

using FOURCC = DWORD;
using MMRESULT = UINT;
using HMMIO = struct MmioFile*;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
  return static_cast<FOURCC>(static_cast<BYTE>(a)) | (static_cast<FOURCC>(static_cast<BYTE>(b)) << 8) |
         (static_cast<FOURCC>(static_cast<BYTE>(c)) << 16) | (static_cast<FOURCC>(static_cast<BYTE>(d)) << 24);
}
constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMIOERR_BASE = 256;
constexpr MMRESULT MMIOERR_FILENOTFOUND = MMIOERR_BASE + 1;
constexpr MMRESULT MMIOERR_OUTOFMEMORY = MMIOERR_BASE + 2;
constexpr MMRESULT MMIOERR_CANNOTOPEN = MMIOERR_BASE + 3;
constexpr MMRESULT MMIOERR_CANNOTREAD = MMIOERR_BASE + 5;
constexpr MMRESULT MMIOERR_CANNOTSEEK = MMIOERR_BASE + 7;
constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = MMIOERR_BASE + 9;

constexpr DWORD MMIO_READ = 0x00000000;
constexpr DWORD MMIO_WRITE = 0x00000001;
constexpr DWORD MMIO_READWRITE = 0x00000002;
constexpr DWORD MMIO_CREATE = 0x00001000;
constexpr DWORD MMIO_ALLOCBUF = 0x00010000;
constexpr UINT MMIO_FINDCHUNK = 0x0010;
constexpr UINT MMIO_FINDRIFF = 0x0020;
constexpr UINT MMIO_FINDLIST = 0x0040;

struct MMCKINFO {
  FOURCC ckid = 0;
  DWORD cksize = 0;
  FOURCC fccType = 0;       // RIFF and LIST chunks only
  DWORD dwDataOffset = 0;   // file offset of the chunk's data
  DWORD dwFlags = 0;
};

struct MMIOINFO {
  DWORD dwFlags = 0;
  UINT wErrorRet = 0;  // why mmioOpenA failed
};

// Only reading is provided. nullptr on failure; `info`, if given, receives the reason.
HMMIO mmioOpenA(const char* fileName, MMIOINFO* info, DWORD openFlags);
MMRESULT mmioClose(HMMIO file, UINT flags);
// Bytes read: 0 at the end of the file, -1 on an error.
LONG mmioRead(HMMIO file, char* buffer, LONG count);
// origin: SEEK_SET, SEEK_CUR or SEEK_END of <cstdio>. The new position, or -1.
LONG mmioSeek(HMMIO file, LONG offset, int origin);
// Searches the chunks from the current position up to the end of `parent` (or the file).
MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags);
// Moves past the end of `chunk` and its pad byte.
MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags);

constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
