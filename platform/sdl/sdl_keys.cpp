#include "sdl_keys.h"

#include <utility>

namespace {

constexpr std::pair<SDL_Keycode, WORD> kNamedKeys[] = {
    {SDLK_BACKSPACE, VK_BACK},     {SDLK_TAB, VK_TAB},
    {SDLK_RETURN, VK_RETURN},      {SDLK_KP_ENTER, VK_RETURN},
    {SDLK_LSHIFT, VK_SHIFT},       {SDLK_RSHIFT, VK_SHIFT},
    {SDLK_LCTRL, VK_CONTROL},      {SDLK_RCTRL, VK_CONTROL},
    {SDLK_LALT, VK_MENU},          {SDLK_RALT, VK_MENU},
    {SDLK_PAUSE, VK_PAUSE},        {SDLK_CAPSLOCK, VK_CAPITAL},
    {SDLK_ESCAPE, VK_ESCAPE},      {SDLK_SPACE, VK_SPACE},
    {SDLK_PAGEUP, VK_PRIOR},       {SDLK_PAGEDOWN, VK_NEXT},
    {SDLK_END, VK_END},            {SDLK_HOME, VK_HOME},
    {SDLK_LEFT, VK_LEFT},          {SDLK_UP, VK_UP},
    {SDLK_RIGHT, VK_RIGHT},        {SDLK_DOWN, VK_DOWN},
    {SDLK_PRINTSCREEN, VK_SNAPSHOT}, {SDLK_INSERT, VK_INSERT},
    {SDLK_DELETE, VK_DELETE},      {SDLK_LGUI, VK_LWIN},
    {SDLK_RGUI, VK_RWIN},          {SDLK_APPLICATION, VK_APPS},
    {SDLK_KP_MULTIPLY, VK_MULTIPLY}, {SDLK_KP_PLUS, VK_ADD},
    {SDLK_KP_MINUS, VK_SUBTRACT},  {SDLK_KP_PERIOD, VK_DECIMAL},
    {SDLK_KP_DIVIDE, VK_DIVIDE},   {SDLK_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDLK_SCROLLLOCK, VK_SCROLL},  {SDLK_SEMICOLON, VK_OEM_1},
    {SDLK_EQUALS, VK_OEM_PLUS},    {SDLK_COMMA, VK_OEM_COMMA},
    {SDLK_MINUS, VK_OEM_MINUS},    {SDLK_PERIOD, VK_OEM_PERIOD},
    {SDLK_SLASH, VK_OEM_2},        {SDLK_BACKQUOTE, VK_OEM_3},
    {SDLK_LEFTBRACKET, VK_OEM_4},  {SDLK_BACKSLASH, VK_OEM_5},
    {SDLK_RIGHTBRACKET, VK_OEM_6}, {SDLK_QUOTE, VK_OEM_7},
    {SDLK_KP_0, VK_NUMPAD0},       {SDLK_KP_1, VK_NUMPAD0 + 1},
    {SDLK_KP_2, VK_NUMPAD0 + 2},   {SDLK_KP_3, VK_NUMPAD0 + 3},
    {SDLK_KP_4, VK_NUMPAD0 + 4},   {SDLK_KP_5, VK_NUMPAD0 + 5},
    {SDLK_KP_6, VK_NUMPAD0 + 6},   {SDLK_KP_7, VK_NUMPAD0 + 7},
    {SDLK_KP_8, VK_NUMPAD0 + 8},   {SDLK_KP_9, VK_NUMPAD0 + 9},
};

}  // namespace

WORD VirtualKeyFromSdl(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<WORD>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<WORD>('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<WORD>(VK_F1 + (key - SDLK_F1));
  for (const auto& [sdl, vk] : kNamedKeys) {
    if (sdl == key) return vk;
  }
  return 0;
}

TShiftState ShiftStateFromSdl(Uint16 modifiers, Uint32 buttons) {
  TShiftState shift = 0;
  if (modifiers & KMOD_SHIFT) shift |= ssShift;
  if (modifiers & KMOD_ALT) shift |= ssAlt;
  if (modifiers & KMOD_CTRL) shift |= ssCtrl;
  if (buttons & SDL_BUTTON_LMASK) shift |= ssLeft;
  if (buttons & SDL_BUTTON_RMASK) shift |= ssRight;
  if (buttons & SDL_BUTTON_MMASK) shift |= ssMiddle;
  return shift;
}
