#pragma once
// The input component: the keyboard, the mouse and every attached game controller, any one
// of them read on request into one joystick-shaped state.
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/app.h"
#include "platform/dinput.h"

enum TDDIDDebugOption : std::uint8_t { dioHaltOnError = 1, dioDebugMessage = 2, dioExceptOnError = 4 };
using TDDIDDebugOptions = std::uint8_t;

class EDDID : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The logging routine: writes the line to ddid.debug when logging is on, then raises EDDID
// when raising is on.
void DDIDLog(const std::string& message);
// A non-zero result is logged with its code and, under halt-on-error, ends the program.
HRESULT DDIDCheckResult(HRESULT result, const std::string& message);

// Writing it also sets the unit-wide error flags, whichever component writes.
class TDDIDDebugOptionProperty {
 public:
  TDDIDDebugOptionProperty& operator=(TDDIDDebugOptions options);
  operator TDDIDDebugOptions() const { return options_; }

 private:
  TDDIDDebugOptions options_ = dioHaltOnError;
};

// Key-map indices beyond the 32 buttons.
enum TDDIDDirection : int {
  ddidUp = 32, ddidDown, ddidLeft, ddidRight, ddidUpLeft, ddidUpRight, ddidDownLeft, ddidDownRight
};
constexpr int kDDIDButtonCount = 32;
constexpr int kDDIDKeyMapSize = 40;
constexpr int kDDIDControllerSlots = 16;
constexpr std::int32_t kDDIDKeyboard = 0;
constexpr std::int32_t kDDIDMouse = 1;
constexpr std::int32_t kDDIDFirstController = 2;
// DIK codes, 0 = none.
using TDDIDKeyMap = std::array<std::int32_t, kDDIDKeyMapSize>;

class TDDIDEX {
 public:
  explicit TDDIDEX(TForm& owner);
  ~TDDIDEX();
  TDDIDEX(const TDDIDEX&) = delete;
  TDDIDEX& operator=(const TDDIDEX&) = delete;

  TDDIDDebugOptionProperty DebugOption;
  std::int32_t DeadZone = 30;  // percent of each axis's half range
  bool AutoInitialize = true;
  bool BackGround = false;
  TDDIDKeyMap KeyMap1{};
  TDDIDKeyMap KeyMap2{};

  // Runs once the owner has set the properties: applies DebugOption, then Initialize
  // when AutoInitialize is set.
  void Loaded();
  // (Re)creates DirectInput, the keyboard, the mouse and every attached game controller.
  void Initialize();
  // Device 0 keyboard, 1 mouse, 2 + k controller k. False when the device does not exist
  // or could not be read.
  bool ReadDevice(bool merge, std::int32_t device);
  bool Poll(std::int32_t device) { return ReadDevice(false, device); }
  // Down at the last read (not newly pressed).
  bool Button(std::int32_t n) const;

  const DIJOYSTATE& State() const { return state_; }
  int ControllerCount() const { return controllerCount_; }
  const std::vector<std::string>& ControllerNames() const { return controllerNames_; }
  std::int32_t LastDevice() const { return lastDevice_; }

 private:
  struct MouseRecord {
    LONG lX, lY, lZ;
    BYTE buttons[8];
  };

  static BOOL EnumerateController(const DIDEVICEINSTANCEA* instance, void* component);
  void AddController(const DIDEVICEINSTANCEA& instance);
  bool SameProductFromForceFeedbackPass(const char* productName) const;
  void CreateDevice(platform::com::ComPtr<IDirectInputDevice8A>& device, const GUID& instance,
                    const DIDATAFORMAT& format, const char* deviceMessage, const char* formatMessage);
  void SetControllerCooperativeLevel(IDirectInputDevice8A& device);
  void ReleaseDevices();
  void SetDefaultKeyMaps();
  DWORD CooperativeLevel() const;

  BYTE KeyByte(const TDDIDKeyMap& map, int index) const;
  bool DirectionPressed(int direction) const;
  bool ReadKeyboard();
  bool ReadMouse();
  bool ReadController(bool merge, std::size_t slot);

  TForm& owner_;
  platform::com::ComPtr<IDirectInput8A> directInput_;
  platform::com::ComPtr<IDirectInputDevice8A> keyboard_;
  platform::com::ComPtr<IDirectInputDevice8A> mouse_;
  std::vector<std::string> controllerNames_;
  std::array<platform::com::ComPtr<IDirectInputDevice8A>, kDDIDControllerSlots> controllers_;
  DIJOYSTATE state_{};
  int controllerCount_ = 0;
  std::array<bool, kDDIDControllerSlots> forceFeedbackSlot_{};
  std::array<BYTE, 256> keyboardBuffer_{};
  bool forceFeedbackPass_ = false;
  std::int32_t lastDevice_ = 0;
};
