#pragma once
#include <SDL.h>

#include "platform/app.h"

// 0 for keys that have no virtual-key code.
WORD VirtualKeyFromSdl(SDL_Keycode key);
TShiftState ShiftStateFromSdl(Uint16 modifiers, Uint32 buttons);
