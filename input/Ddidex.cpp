#include "Ddidex.h"

#include <algorithm>
#include <cstring>

#include "platform/component_log.h"

namespace {

platform::ComponentLog& UnitLog() {
  static platform::ComponentLog log("ddid.debug");
  return log;
}

// The mouse record: X at 0, eight optional buttons at 12..19.
constexpr DIOBJECTDATAFORMAT kMouseObjects[] = {
    {nullptr, 0, DIDFT_RELAXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_Button, 12, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {&GUID_Button, 13, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {&GUID_Button, 14, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {&GUID_Button, 15, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {&GUID_Button, 16, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {&GUID_Button, 17, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {&GUID_Button, 18, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {&GUID_Button, 19, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
};
constexpr DIDATAFORMAT kMouseFormat{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 20,
                                    static_cast<DWORD>(std::size(kMouseObjects)), kMouseObjects};

constexpr LONG kFullDeflection = 32767;

struct DefaultKey {
  int index;
  std::int32_t map1, map2;
};
constexpr DefaultKey kDefaultKeys[] = {
    {0, DIK_Z, DIK_SPACE},        {1, DIK_X, DIK_ESCAPE},         {2, DIK_C, 0},        {3, DIK_A, 0},
    {4, DIK_S, 0},                {5, DIK_D, 0},                  {6, DIK_1, 0},        {7, DIK_2, 0},
    {8, DIK_3, 0},                {9, DIK_4, 0},                  {10, DIK_5, 0},       {11, DIK_6, 0},
    {12, DIK_7, 0},               {13, DIK_8, 0},                 {14, DIK_9, 0},       {15, DIK_0, 0},
    {ddidUp, DIK_UP, DIK_NUMPAD8}, {ddidDown, DIK_DOWN, DIK_NUMPAD2}, {ddidLeft, DIK_LEFT, DIK_NUMPAD4},
    {ddidRight, DIK_RIGHT, DIK_NUMPAD6}, {ddidUpLeft, 0, DIK_NUMPAD7}, {ddidUpRight, 0, DIK_NUMPAD9},
    {ddidDownLeft, 0, DIK_NUMPAD1}, {ddidDownRight, 0, DIK_NUMPAD3},
};

// Values inside the dead zone become 0; the rest is stretched back to the full range.
LONG ApplyDeadZone(LONG value, std::int32_t deadZone) {
  if (deadZone == 0) return value;
  // 64 bits: a property set to anything must not overflow.
  const std::int64_t zone = deadZone;
  const std::int64_t lo = -(zone * 32768) / 100;
  const std::int64_t hi = (zone * 32767) / 100;
  if ((lo <= value && value <= hi) || zone >= 100) return 0;
  const std::int64_t edge = value < 0 ? lo : hi;
  return static_cast<LONG>((value - edge) * 100 / (100 - zone));
}

void ApplyDeadZone(DIJOYSTATE& record, std::int32_t deadZone) {
  for (LONG* axis : {&record.lX, &record.lY, &record.lZ, &record.lRx, &record.lRy, &record.lRz, &record.rglSlider[0],
                     &record.rglSlider[1]}) {
    *axis = ApplyDeadZone(*axis, deadZone);
  }
}

void MergeInto(DIJOYSTATE& state, const DIJOYSTATE& record) {
  state.lX |= record.lX;
  state.lY |= record.lY;
  state.lZ |= record.lZ;
  state.lRx |= record.lRx;
  state.lRy |= record.lRy;
  state.lRz |= record.lRz;
  for (int i = 0; i < 2; ++i) state.rglSlider[i] |= record.rglSlider[i];
  for (int i = 0; i < 4; ++i) state.rgdwPOV[i] |= record.rgdwPOV[i];
  for (int i = 0; i < kDDIDButtonCount; ++i) state.rgbButtons[i] |= record.rgbButtons[i];
}

}  // namespace

void DDIDLog(const std::string& message) {
  UnitLog().Write(message);
  if (UnitLog().Raises()) throw EDDID(message);
}

HRESULT DDIDCheckResult(HRESULT result, const std::string& message) {
  if (result == 0) return result;
  const std::string line = platform::ComponentLog::WithErrorCode(message, result);
  DDIDLog(line);
  if (UnitLog().Halts()) UnitLog().Halt(line);
  return result;
}

TDDIDDebugOptionProperty& TDDIDDebugOptionProperty::operator=(TDDIDDebugOptions options) {
  options_ = options;
  UnitLog().SetFlags(options);
  return *this;
}

TDDIDEX::TDDIDEX(TForm& owner) : owner_(owner) {
  DebugOption = dioHaltOnError;
  UnitLog().SetExeName(owner.Application.ExeName());
}

TDDIDEX::~TDDIDEX() { ReleaseDevices(); }

void TDDIDEX::Loaded() {
  DebugOption = TDDIDDebugOptions{DebugOption};
  if (AutoInitialize) Initialize();
}

void TDDIDEX::ReleaseDevices() {
  for (auto* device : {&keyboard_, &mouse_}) {
    if (*device) (*device)->Unacquire();
    device->Reset();
  }
  for (auto& controller : controllers_) {
    if (controller) controller->Unacquire();
    controller.Reset();
  }
  directInput_.Reset();
}

void TDDIDEX::SetDefaultKeyMaps() {
  KeyMap1.fill(0);
  KeyMap2.fill(0);
  for (const DefaultKey& key : kDefaultKeys) {
    KeyMap1[static_cast<std::size_t>(key.index)] = key.map1;
    KeyMap2[static_cast<std::size_t>(key.index)] = key.map2;
  }
}

DWORD TDDIDEX::CooperativeLevel() const {
  return (BackGround ? DISCL_BACKGROUND : DISCL_FOREGROUND) | DISCL_NONEXCLUSIVE;
}

void TDDIDEX::CreateDevice(platform::com::ComPtr<IDirectInputDevice8A>& device, const GUID& instance,
                           const DIDATAFORMAT& format, const char* deviceMessage, const char* formatMessage) {
  DDIDCheckResult(directInput_->CreateDevice(instance, device.Put(), nullptr), deviceMessage);
  if (!device) return;
  DDIDCheckResult(device->SetDataFormat(&format), formatMessage);
  DDIDCheckResult(device->SetCooperativeLevel(owner_.Handle(), CooperativeLevel()),
                  "DirectInputDeviceの協調レベルの設定に失敗しました");
}

void TDDIDEX::Initialize() {
  ReleaseDevices();
  SetDefaultKeyMaps();
  void* created = nullptr;
  DDIDCheckResult(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created, nullptr),
                  "DirectInputの作成に失敗しました");
  directInput_.Adopt(static_cast<IDirectInput8A*>(created));
  if (!directInput_) return;
  CreateDevice(keyboard_, GUID_SysKeyboard, c_dfDIKeyboard, "DirectInputDevice(キーボード)の作成に失敗しました",
               "DirectInputDeviceのデータフォーマット(キーボード)の指定に失敗しました");
  CreateDevice(mouse_, GUID_SysMouse, kMouseFormat, "DirectInputDevice(マウス)の作成に失敗しました",
               "DirectInputDeviceのデータフォーマット(マウス)の指定に失敗しました");

  forceFeedbackSlot_.fill(false);
  controllerNames_.clear();
  controllerCount_ = 0;
  forceFeedbackPass_ = true;
  directInput_->EnumDevices(DI8DEVCLASS_GAMECTRL, EnumerateController, this, DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK);
  forceFeedbackPass_ = false;
  directInput_->EnumDevices(DI8DEVCLASS_GAMECTRL, EnumerateController, this, DIEDFL_ATTACHEDONLY);

  if (keyboard_) keyboard_->Acquire();
  if (mouse_) mouse_->Acquire();
}

BOOL TDDIDEX::EnumerateController(const DIDEVICEINSTANCEA* instance, void* component) {
  if (instance != nullptr) static_cast<TDDIDEX*>(component)->AddController(*instance);
  return DIENUM_CONTINUE;
}

bool TDDIDEX::SameProductFromForceFeedbackPass(const char* productName) const {
  for (int slot = 0; slot < controllerCount_; ++slot) {
    if (forceFeedbackSlot_[static_cast<std::size_t>(slot)] && controllerNames_[static_cast<std::size_t>(slot)] == productName) return true;
  }
  return false;
}

void TDDIDEX::SetControllerCooperativeLevel(IDirectInputDevice8A& device) {
  const DWORD foreground = BackGround ? DISCL_BACKGROUND : DISCL_FOREGROUND;
  if (device.SetCooperativeLevel(owner_.Handle(), foreground | DISCL_EXCLUSIVE) == DI_OK) return;
  DDIDCheckResult(device.SetCooperativeLevel(owner_.Handle(), foreground | DISCL_NONEXCLUSIVE),
                  "DirectInputDeviceの協調レベルの設定に失敗しました");
}

void TDDIDEX::AddController(const DIDEVICEINSTANCEA& instance) {
  // Every slot is taken: further controllers are left out.
  if (controllerCount_ >= kDDIDControllerSlots) return;
  if (!forceFeedbackPass_ && SameProductFromForceFeedbackPass(instance.tszProductName)) return;
  const auto slot = static_cast<std::size_t>(controllerCount_);
  platform::com::ComPtr<IDirectInputDevice8A>& device = controllers_[slot];
  if (directInput_->CreateDevice(instance.guidInstance, device.Put(), nullptr) != DI_OK || !device) return;
  DDIDCheckResult(device->SetDataFormat(&c_dfDIJoystick), "DirectInputDeviceのデータフォーマット(ジョイスティック)の指定に失敗しました");
  SetControllerCooperativeLevel(*device);
  for (DWORD offset = 0; offset < 32; offset += 4) {
    DIPROPRANGE range{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), offset, DIPH_BYOFFSET}, -32768, 32767};
    device->SetProperty(DIPROP_RANGE, &range.diph);
  }
  controllerNames_.emplace_back(instance.tszProductName);
  device->Acquire();
  forceFeedbackSlot_[slot] = forceFeedbackPass_;
  ++controllerCount_;
}

BYTE TDDIDEX::KeyByte(const TDDIDKeyMap& map, int index) const {
  const std::int32_t key = map[static_cast<std::size_t>(index)];
  // Byte 0 is never set, so a map entry outside the buffer reads as "not pressed".
  return key >= 0 && key < static_cast<std::int32_t>(keyboardBuffer_.size()) ? keyboardBuffer_[static_cast<std::size_t>(key)] : 0;
}

bool TDDIDEX::DirectionPressed(int direction) const {
  return (KeyByte(KeyMap1, direction) | KeyByte(KeyMap2, direction)) >= 0x80;
}

bool TDDIDEX::ReadKeyboard() {
  if (!keyboard_) return false;
  if (keyboard_->GetDeviceState(256, keyboardBuffer_.data()) != DI_OK) {
    keyboard_->Acquire();
    if (keyboard_->GetDeviceState(256, keyboardBuffer_.data()) != DI_OK) return false;
  }
  for (int i = 0; i < kDDIDButtonCount; ++i) state_.rgbButtons[i] |= KeyByte(KeyMap1, i) | KeyByte(KeyMap2, i);
  const bool up = DirectionPressed(ddidUp) || DirectionPressed(ddidUpLeft) || DirectionPressed(ddidUpRight);
  const bool down = DirectionPressed(ddidDown) || DirectionPressed(ddidDownLeft) || DirectionPressed(ddidDownRight);
  const bool left = DirectionPressed(ddidLeft) || DirectionPressed(ddidUpLeft) || DirectionPressed(ddidDownLeft);
  const bool right = DirectionPressed(ddidRight) || DirectionPressed(ddidUpRight) || DirectionPressed(ddidDownRight);
  const LONG y = (up ? -kFullDeflection : 0) + (down ? kFullDeflection : 0);
  const LONG x = (left ? -kFullDeflection : 0) + (right ? kFullDeflection : 0);
  state_.lX |= x;
  state_.lY |= y;
  return true;
}

bool TDDIDEX::ReadMouse() {
  if (!mouse_) return false;
  MouseRecord record{};
  if (mouse_->GetDeviceState(sizeof record, &record) != DI_OK) {
    mouse_->Acquire();
    return false;
  }
  state_.lX = record.lX;
  state_.lY = record.lY;
  state_.lZ = record.lZ;
  for (int i = 0; i < 8; ++i) state_.rgbButtons[i] |= record.buttons[i];
  return true;
}

bool TDDIDEX::ReadController(bool merge, std::size_t slot) {
  if (slot >= controllers_.size() || !controllers_[slot]) return false;
  IDirectInputDevice8A& device = *controllers_[slot];
  device.Poll();
  DIJOYSTATE record{};
  if (device.GetDeviceState(sizeof record, &record) != DI_OK) {
    device.Acquire();
    return false;
  }
  ApplyDeadZone(record, DeadZone);
  if (merge) {
    MergeInto(state_, record);
  } else {
    state_ = record;
  }
  return true;
}

bool TDDIDEX::ReadDevice(bool merge, std::int32_t device) {
  lastDevice_ = device;
  if (!merge) state_ = DIJOYSTATE{};
  switch (device) {
    case kDDIDKeyboard: return ReadKeyboard();
    case kDDIDMouse: return ReadMouse();
    default:
      return device >= kDDIDFirstController && ReadController(merge, static_cast<std::size_t>(device - kDDIDFirstController));
  }
}

bool TDDIDEX::Button(std::int32_t n) const {
  return n >= 0 && n < kDDIDButtonCount && (state_.rgbButtons[n] & 0x80) != 0;
}
