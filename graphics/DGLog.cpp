#include "DGLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/app.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace DGCarad9 {
bool HaltOnError = true;
bool DebugMessage = true;
bool DetailedLog = true;
std::int32_t LogIndent = 0;
std::int32_t LogLineCount = 0;
std::string LogFileName = "DGCarad_DebugLog.txt";
}  // namespace DGCarad9

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string NumberedLine(std::string_view message) {
  std::string line = DGText("#%.5d | ", DGCarad9::LogLineCount);
  for (std::int32_t i = 0; i < DGCarad9::LogIndent; ++i) line += "  ";
  line += message;
  line += "\r\n";
  return line;
}

// Losing the log must not take the program down with it: the line goes to standard error.
void WriteLine(const std::string& line) {
  const char* mode = DGCarad9::LogLineCount == 1 ? "wb" : "ab";
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(platform::NativePath(DGCarad9::LogFileName).c_str(), mode));
  if (file && std::fwrite(line.data(), 1, line.size(), file.get()) == line.size() && std::fflush(file.get()) == 0) {
    return;
  }
  std::fprintf(stderr, "DGCarad_DebugLog.txt: %s", platform::Cp932ToUtf8(line).c_str());
}

void Halt(const std::string& text) { HaltProgram(platform::Cp932ToUtf8(text)); }

}  // namespace

namespace dg_detail {

std::string FormatCp932(const char* utf8Format, ...) {
  const std::string format = platform::Utf8ToCp932Lossy(utf8Format);
  std::va_list arguments;
  va_start(arguments, utf8Format);
  std::va_list measuring;
  va_copy(measuring, arguments);
  const int length = std::vsnprintf(nullptr, 0, format.c_str(), measuring);
  va_end(measuring);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format.c_str(), arguments);
  va_end(arguments);
  return text;
}

}  // namespace dg_detail

void DGWriteLog(std::string_view Message) {
  if (!DGCarad9::DebugMessage) return;
  ++DGCarad9::LogLineCount;
  WriteLine(NumberedLine(Message));
}

void DGLog(std::string_view Message) {
  if (DGCarad9::DetailedLog) DGWriteLog(Message);
}

HRESULT DGCheckResult(HRESULT Code, std::string_view Message) {
  if (Code == D3D_OK) return Code;
  const std::string text = std::string(Message) + DGText("(Error Code = %s)", DGErrorName(Code));
  DGWriteLog(text);
  if (DGCarad9::HaltOnError) Halt(text);
  return Code;
}

void DGOpenLogSection(const char* utf8Title) {
  DGLog("");
  DGLogF(utf8Title);
  ++DGCarad9::LogIndent;
}

void DGCloseLogSection(const char* utf8Title) {
  --DGCarad9::LogIndent;
  DGLogF(utf8Title);
  DGLog("");
}

std::string DGErrorName(HRESULT Code) {
  switch (Code) {
    case D3D_OK: return "D3D_OK";
    case D3DERR_WRONGTEXTUREFORMAT: return "D3DERR_WRONGTEXTUREFORMAT";
    case D3DERR_UNSUPPORTEDCOLOROPERATION: return "D3DERR_UNSUPPORTEDCOLOROPERATION ";
    case D3DERR_UNSUPPORTEDCOLORARG: return "D3DERR_UNSUPPORTEDCOLORARG ";
    case D3DERR_UNSUPPORTEDALPHAOPERATION: return "D3DERR_UNSUPPORTEDALPHAOPERATION ";
    case D3DERR_UNSUPPORTEDALPHAARG: return "D3DERR_UNSUPPORTEDALPHAARG ";
    case D3DERR_TOOMANYOPERATIONS: return "D3DERR_TOOMANYOPERATIONS ";
    case D3DERR_CONFLICTINGTEXTUREFILTER: return "D3DERR_CONFLICTINGTEXTUREFILTER";
    case D3DERR_UNSUPPORTEDFACTORVALUE: return "D3DERR_UNSUPPORTEDFACTORVALUE";
    case D3DERR_CONFLICTINGRENDERSTATE: return "D3DERR_CONFLICTINGRENDERSTATE";
    case D3DERR_UNSUPPORTEDTEXTUREFILTER: return "D3DERR_UNSUPPORTEDTEXTUREFILTER";
    case D3DERR_CONFLICTINGTEXTUREPALETTE: return "D3DERR_CONFLICTINGTEXTUREPALETTE ";
    case D3DERR_DRIVERINTERNALERROR: return "D3DERR_DRIVERINTERNALERROR ";
    case D3DERR_NOTFOUND: return "D3DERR_NOTFOUND";
    case D3DERR_MOREDATA: return "D3DERR_MOREDATA";
    case D3DERR_DEVICELOST: return "D3DERR_DEVICELOST";
    case D3DERR_DEVICENOTRESET: return "D3DERR_DEVICENOTRESET";
    case D3DERR_NOTAVAILABLE: return "D3DERR_NOTAVAILABLE";
    case D3DERR_OUTOFVIDEOMEMORY: return "D3DERR_OUTOFVIDEOMEMORY";
    case D3DERR_INVALIDDEVICE: return "D3DERR_INVALIDDEVICE ";
    case D3DERR_INVALIDCALL: return "D3DERR_INVALIDCALL ";
    case D3DERR_DRIVERINVALIDCALL: return "D3DERR_DRIVERINVALIDCALL ";
    default: return DGText("UNKNOWN ERROR ... $%.8X", static_cast<std::uint32_t>(Code));
  }
}

std::string DGFormatName(D3DFORMAT Format) {
  switch (Format) {
    case D3DFMT_R8G8B8: return "R8G8B8";
    case D3DFMT_A8R8G8B8: return "A8R8G8B8";
    case D3DFMT_X8R8G8B8: return "X8R8G8B8";
    case D3DFMT_R5G6B5: return "R5G6B5";
    case D3DFMT_X1R5G5B5: return "X1R5G5B5";
    case D3DFMT_A1R5G5B5: return "A1R5G5B5";
    case D3DFMT_A4R4G4B4: return "A4R4G4B4";
    case D3DFMT_R3G3B2: return "R3G3B2";
    case D3DFMT_A8: return "A8";
    case D3DFMT_A8R3G3B2: return "A8R3G3B2";
    case D3DFMT_X4R4G4B4: return "X4R4G4B4";
    case D3DFMT_A8P8: return "A8P8";
    case D3DFMT_P8: return "P8";
    case D3DFMT_L8: return "L8";
    case D3DFMT_A8L8: return "A8L8";
    case D3DFMT_A4L4: return "A4L4";
    case D3DFMT_V8U8: return "V8U8";
    case D3DFMT_L6V5U5: return "L6V5U5";
    case D3DFMT_X8L8V8U8: return "X8L8V8U8";
    case D3DFMT_Q8W8V8U8: return "Q8W8V8U8";
    case D3DFMT_V16U16: return "V16U16";
    case D3DFMT_D16_LOCKABLE: return "D16_LOCKABLE";
    case D3DFMT_D32: return "D32";
    case D3DFMT_D15S1: return "D15S1";
    case D3DFMT_D24S8: return "D24S8";
    case D3DFMT_D24X8: return "D24X8";
    case D3DFMT_D24X4S4: return "D24X4S4";
    case D3DFMT_D16: return "D16";
    case D3DFMT_VERTEXDATA: return "VERTEXDATA";
    case D3DFMT_INDEX16: return "INDEX16";
    case D3DFMT_INDEX32: return "INDEX32";
    case D3DFMT_DXT1: return "DXT1";
    case D3DFMT_DXT2: return "DXT2";
    case D3DFMT_DXT3: return "DXT3";
    case D3DFMT_DXT4: return "DXT4";
    case D3DFMT_DXT5: return "DXT5";
    case D3DFMT_YUY2: return "YUY2";
    case D3DFMT_UYVY: return "UYVY";
    default: return "UNKNOWN";
  }
}
