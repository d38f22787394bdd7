#include <algorithm>

#include "backend.h"
#include "platform/app.h"
#include "platform/codepage.h"

int MessageBoxA(HWND, std::string_view text, std::string_view caption, UINT) {
  platform::backend::ShowErrorMessage(platform::Cp932ToUtf8(caption), platform::Cp932ToUtf8(text));
  return IDOK;
}

int ShowCursor(BOOL show) { return platform::backend::ShowCursor(show != FALSE); }

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return platform::backend::DisplayWidth();
    case SM_CYSCREEN:
      return platform::backend::DisplayHeight();
    default:
      return 0;
  }
}

BOOL SetWindowPos(HWND, HWND, int, int, int cx, int cy, UINT uFlags) {
  if ((uFlags & SWP_NOSIZE) == 0) platform::backend::ResizeWindow(cx, cy);
  return TRUE;
}

BOOL IntersectRect(RECT& dest, const RECT& a, const RECT& b) {
  dest = {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (dest.Left >= dest.Right || dest.Top >= dest.Bottom) {
    dest = {};
    return FALSE;
  }
  return TRUE;
}
