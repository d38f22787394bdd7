#pragma once
// What the shared platform code asks of a backend. Exactly one backend library is
// linked into a program: sdl/ for the game, headless/ for tests.
#include <SDL.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/app.h"
#include "platform/present.h"

namespace platform::backend {

struct Message {
  enum class Kind { KeyDown, MouseDown, MouseMove, Close, Deactivate, PadDown,
                    // raw controller events, which gamepad::Pads turns into the kinds above
                    PadAttached, PadRemoved, PadButton, PadAxis };
  Kind kind = Kind::KeyDown;
  WORD key = 0;  // a virtual key, a TPadButton, or the controller's own button or axis
  TShiftState shift = 0;
  TMouseButton button = mbLeft;
  int x = 0, y = 0;
  std::int32_t pad = 0;  // which controller
  int value = 0;         // an axis position, or 1 for a button pressed
};

void Initialize();
// Stops the audio device for good; the mixer is no longer read once this returns.
void CloseAudio();
void Shutdown();
std::string ExeNameUtf8();

// Throws EPlatformError when no display can be reached.
void OpenWindow(std::string_view titleUtf8, int clientWidth, int clientHeight);
void CloseWindow();
void ResizeWindow(int width, int height);

// waitMicroseconds: 0 polls, > 0 waits at most that long (the real backend no further than
// the next tick of the millisecond clock), < 0 waits for a message.
std::optional<Message> NextMessage(int waitMicroseconds);

// The graphics device draws with this renderer into a picture of the back-buffer size.
SDL_Renderer* Renderer();
// Makes the picture surface, where there is one, the display mode's size, replacing the
// renderer that draws into it: the caller has released everything made with that renderer.
void FitPictureSurface();
// Its name, known without making it.
std::string RendererName();
void SetDisplayMode(bool fullScreen, int width, int height);
// The player's choice, applied whenever the game asks for full screen, and at once to an open
// window.
void SetWindowMode(WindowMode mode);
WindowMode CurrentWindowMode();
// Read from the settings when the window opens; set, the next frame is scaled so.
void SetScaleMode(present::ScaleMode mode);
present::ScaleMode CurrentScaleMode();
int DisplayWidth();
int DisplayHeight();
// Memory the renderer draws into that the device may also write and that is presented
// without a copy (SDL's software renderer on a surface of its own); null where there is none.
SDL_Surface* PictureSurface();
// A null picture is the picture surface.
void PresentPicture(SDL_Texture* picture);
bool DeviceLost();

int ShowCursor(bool show);
// A modal error message over the window (UTF-8).
void ShowErrorMessage(std::string_view captionUtf8, std::string_view textUtf8);

// Records a call for tests that check the order of platform calls; the real backend ignores it.
void Trace(std::string_view call);
// The release of a platform object, named by its address so that a test can tell which.
void TraceRelease(std::string_view kind, const void* object);

}  // namespace platform::backend
