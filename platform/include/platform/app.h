#pragma once
// The application object, the form base and the window-system calls the game makes.
// Events reach the form between frames, or inside ProcessMessages.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/wintypes.h"

using TShiftState = unsigned;
constexpr TShiftState ssShift = 0x01;
constexpr TShiftState ssAlt = 0x02;
constexpr TShiftState ssCtrl = 0x04;
constexpr TShiftState ssLeft = 0x08;
constexpr TShiftState ssRight = 0x10;
constexpr TShiftState ssMiddle = 0x20;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
// A game controller's buttons as the window sees them; the sticks arrive as the mouse does.
enum TPadButton { pbA, pbB, pbY, pbBack, pbStart, pbRightTrigger, pbUp, pbDown, pbLeft, pbRight };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

// Virtual-key codes.
constexpr WORD VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17,
               VK_MENU = 18, VK_PAUSE = 19, VK_CAPITAL = 20, VK_ESCAPE = 27, VK_SPACE = 32,
               VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36, VK_LEFT = 37, VK_UP = 38,
               VK_RIGHT = 39, VK_DOWN = 40, VK_SNAPSHOT = 44, VK_INSERT = 45, VK_DELETE = 46,
               VK_LWIN = 91, VK_RWIN = 92, VK_APPS = 93, VK_NUMPAD0 = 96, VK_MULTIPLY = 106,
               VK_ADD = 107, VK_SUBTRACT = 109, VK_DECIMAL = 110, VK_DIVIDE = 111, VK_F1 = 112,
               VK_NUMLOCK = 144, VK_SCROLL = 145, VK_OEM_1 = 186, VK_OEM_PLUS = 187,
               VK_OEM_COMMA = 188, VK_OEM_MINUS = 189, VK_OEM_PERIOD = 190, VK_OEM_2 = 191,
               VK_OEM_3 = 192, VK_OEM_4 = 219, VK_OEM_5 = 220, VK_OEM_6 = 221, VK_OEM_7 = 222;
// Letters and digits are their upper-case ASCII codes: 'Y' = 89, 'N' = 78, 'Z' = 90.

struct TFont {
  int Charset = 1;  // DEFAULT_CHARSET
  DWORD Color = 0;
  int Height = -12;
  std::string Name;  // Shift-JIS face name
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
};
constexpr int SHIFTJIS_CHARSET = 128;

class TForm;

namespace platform {
// How the player wants the game shown: on the whole screen, as the game asks, or in a window
// of the picture's size times a whole factor. Before the window opens it is the command line's
// choice; afterwards the window changes at once.
enum class WindowMode { FullScreen, Window };
void SetWindowMode(WindowMode mode);
// The player's choice as it stands: the saved one, until something changes it.
WindowMode CurrentWindowMode();

// The program file's full path, Shift-JIS, as the game names files.
std::string ProgramPath();
// Where the game's names land, decided as TApplication::Initialize decides it, but without a
// display and without making any folder: for a run that only reads the player's files.
void UseProgramPlaces();
}  // namespace platform

class TApplication {
 public:
  TApplication();
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  void Initialize();
  std::string Title;
  std::string ExeName() const;  // Shift-JIS full path of the program file

  // Builds the form (the constructor creates its components), then runs its creation
  // handler; the first form created is the main form.
  template <class Form>
  Form& CreateForm() {
    auto form = std::make_unique<Form>(*this);
    Form& created = *form;
    AdoptMainForm(std::move(form));
    return created;
  }

  // Dispatches messages and idles until Terminate; then destroys the main form.
  void Run();
  // Lets every pending message run, then returns.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // The application-events component hangs its idle handler here.
  std::function<void(bool& Done)> OnIdle;

 private:
  void AdoptMainForm(std::unique_ptr<TForm> form);
  void DestroyMainForm();
  bool DispatchNextMessage(int waitMicroseconds);
  void Idle();

  std::unique_ptr<TForm> mainForm_;
  bool terminated_ = false;
};

// The component that carries the idle event.
class TApplicationEvents {
 public:
  explicit TApplicationEvents(TApplication& application) : application_(application) {}
  void SetOnIdle(std::function<void(bool& Done)> handler) { application_.OnIdle = std::move(handler); }

 private:
  TApplication& application_;
};

struct TFormSettings {
  int ClientWidth = 0, ClientHeight = 0;
  bool KeyPreview = false;
  TFont Font;
};

class TForm {
 public:
  TForm(TApplication& application, const TFormSettings& settings);
  virtual ~TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  TApplication& Application;
  HWND Handle() const;
  int ClientWidth, ClientHeight;
  bool KeyPreview;
  TFont Font;

  // Runs the close handler; unless it answers caNone the window closes and the
  // application ends.
  void Close();

  // Called once by the application after construction.
  void DoCreate() { FormCreate(); }
  void DoDestroy() { FormDestroy(); }
  virtual void FormCreate() {}
  virtual void FormDestroy() {}
  virtual void FormClose(TCloseAction& /*Action*/) {}
  virtual void FormKeyDown(WORD& /*Key*/, TShiftState /*Shift*/) {}
  virtual void FormMouseDown(TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {}
  virtual void FormMouseMove(TShiftState /*Shift*/, int /*X*/, int /*Y*/) {}
  virtual void FormPadDown(TPadButton /*Button*/) {}
  // The window lost the keyboard focus or was minimised.
  virtual void FormDeactivate() {}
};

// A component ended the program on an error. It leaves through main, so that the window's
// shutdown runs on the way; main then exits with status 1. Not a std::exception, so that no
// handler for ordinary errors on the way takes it for one of its own.
class EProgramHalt {
 public:
  explicit EProgramHalt(std::string line) : line_(std::move(line)) {}
  const std::string& Line() const { return line_; }

 private:
  std::string line_;
};

// Puts the line (UTF-8) on standard error and raises EProgramHalt. While the program is
// already leaving that way, only the line is written.
void HaltProgram(std::string_view utf8Line);

// The last way to tell a player who started the game from a menu why it stopped, once its
// window is gone: the whole line goes to kotobune-error.txt among the player's logs, and a
// system message box in plain ASCII names that file (such a box may have no Japanese font).
void TellWhyTheGameStopped(std::string_view utf8Line);

class EPlatformError : public std::exception {
 public:
  explicit EPlatformError(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A modal message over the window; text and caption are Shift-JIS. Returns IDOK.
constexpr UINT MB_OK = 0x00, MB_ICONERROR = 0x10;
constexpr int IDOK = 1;
int MessageBoxA(HWND hWnd, std::string_view text, std::string_view caption, UINT type);

int ShowCursor(BOOL show);  // returns the display count; the cursor shows while it is >= 0
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
int GetSystemMetrics(int index);
constexpr UINT SWP_NOSIZE = 0x0001, SWP_NOMOVE = 0x0002, SWP_NOZORDER = 0x0004,
               SWP_SHOWWINDOW = 0x0040;
inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);
// Our windows have no frame of their own, so outer size and client size are the same.
BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
BOOL IntersectRect(RECT& dest, const RECT& a, const RECT& b);
