#pragma once
// The MP3 player library's six operations. Playback runs in the mixer; nothing here blocks.
#include "platform/wintypes.h"

constexpr int kVbmp3InfoSize = 272;
constexpr int kVbmp3LengthOffset = 268;  // int32: playing time in whole seconds

BOOL vbmp3_init();
// `info` points at a 272-byte record; the length lands at byte 268.
BOOL vbmp3_open(const char* fileName, void* info);
BOOL vbmp3_play();
BOOL vbmp3_stop();
BOOL vbmp3_close();
BOOL vbmp3_free();
