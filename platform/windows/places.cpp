// The player's folder on Windows: %APPDATA%\kotobune holds every file the player writes.
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "file_host.h"
#include "places_host.h"
#include "win32.h"

namespace platform {

// Asked by writing, since permissions on Windows are more than a mode to look at.
bool host::IsWritableFolder(const std::string& nativePath) {
  std::u16string probe = win32::ToWide(win32::kCodePageUtf8, nativePath + ".kotobune-write-probe", false);
  std::replace(probe.begin(), probe.end(), u'/', u'\\');
  HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(probe.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

Places FindPlaces(std::string_view exePathUtf8) {
  // The game names its files with '\', which the native paths turn into '/'.
  std::string exe(exePathUtf8);
  std::replace(exe.begin(), exe.end(), '\\', '/');
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (appData == nullptr || *appData == L'\0') return {};  // nowhere else to write: portable
  const std::filesystem::path player = std::filesystem::path(appData) / host::PathOfNative(kPlayerFolderName);
  const std::string folder = host::AsNativeFolder(player);
  return host::ArrangePlaces(exe, "data", {folder, folder, folder});
}

}  // namespace platform
