#pragma once
// The integer kinds the game and its components were written against.
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using HWND = struct HWND__*;  // the one window

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct TRect {
  LONG Left = 0, Top = 0, Right = 0, Bottom = 0;
};
using RECT = TRect;

struct TPoint {
  LONG X = 0, Y = 0;
};
