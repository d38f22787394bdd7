#pragma once
// The graphics debug log and the failure check every Direct3D result passes through.
// Messages are Shift-JIS, as every text of the program; the log file is Shift-JIS with CR LF.
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/d3d9.h"

// The unit-wide values shared by every caller of the helpers below.
namespace DGCarad9 {
extern bool HaltOnError;
extern bool DebugMessage;
extern bool DetailedLog;
extern std::int32_t LogIndent;
extern std::int32_t LogLineCount;
// Game path (Shift-JIS) of DGCarad_DebugLog.txt; the component places it beside the program.
extern std::string LogFileName;
}  // namespace DGCarad9

// A numbered line "#%.5d | " + indentation + Message, written only with DebugMessage. The
// first line of a run starts a new file. A log that cannot be written goes to standard error.
void DGWriteLog(std::string_view Message);
// A detailed line: needs DetailedLog as well.
void DGLog(std::string_view Message);
// 0 passes silently. Anything else is logged with its error name and, with HaltOnError, ends
// the program with exit status 1 (the line goes to standard error as well).
HRESULT DGCheckResult(HRESULT Code, std::string_view Message);
std::string DGErrorName(HRESULT Code);
std::string DGFormatName(D3DFORMAT Format);

constexpr D3DCOLOR DGColorARGB(int A, int R, int G, int B) {
  return (static_cast<D3DCOLOR>(A & 255) << 24) | (static_cast<D3DCOLOR>(R & 255) << 16) |
         (static_cast<D3DCOLOR>(G & 255) << 8) | static_cast<D3DCOLOR>(B & 255);
}

// printf-style text for the library's own messages: the format is UTF-8 source text and is
// converted before the arguments go in, so Shift-JIS string arguments arrive untouched.
namespace dg_detail {
std::string FormatCp932(const char* utf8Format, ...);
inline const char* PrintfArgument(const std::string& text) { return text.c_str(); }
template <class T>
  requires std::is_arithmetic_v<T>
T PrintfArgument(T value) {
  return value;
}
}  // namespace dg_detail

template <class... Args>
std::string DGText(const char* utf8Format, const Args&... args) {
  return dg_detail::FormatCp932(utf8Format, dg_detail::PrintfArgument(args)...);
}

inline bool DGDetailedLogging() { return DGCarad9::DetailedLog && DGCarad9::DebugMessage; }

// The text is built only when it will be written.
template <class... Args>
void DGLogF(const char* utf8Format, const Args&... args) {
  if (DGDetailedLogging()) DGWriteLog(DGText(utf8Format, args...));
}

template <class... Args>
HRESULT DGCheck(HRESULT Code, const char* utf8Format, const Args&... args) {
  if (Code == D3D_OK) return Code;
  return DGCheckResult(Code, DGText(utf8Format, args...));
}

// A section of the detailed log: an empty line and its title, then one level deeper.
void DGOpenLogSection(const char* utf8Title);
// One level back, the closing title and an empty line.
void DGCloseLogSection(const char* utf8Title);
