// Input devices over the backend's keyboard, mouse and controller state. A device is a list
// of objects (axes, buttons, points of view); a data format places some of them at offsets
// of the caller's record.
#include "platform/dinput.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "backend_input.h"
#include "gamepad.h"
#include "platform/codepage.h"

namespace {

namespace input = platform::backend::input;
using platform::com::IUnknown;

// ---- the standard data formats ----

constexpr DWORD kAnyOptional = DIDFT_ANYINSTANCE | DIDFT_OPTIONAL;

constexpr std::array<DIOBJECTDATAFORMAT, 256> KeyboardObjects() {
  std::array<DIOBJECTDATAFORMAT, 256> objects{};
  for (DWORD key = 0; key < 256; ++key) {
    objects[key] = {&GUID_Key, key, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(key) | DIDFT_OPTIONAL, 0};
  }
  return objects;
}
constexpr auto kKeyboardObjects = KeyboardObjects();

constexpr std::array<DIOBJECTDATAFORMAT, 44> JoystickObjects() {
  std::array<DIOBJECTDATAFORMAT, 44> objects{};
  const GUID* axes[] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis, &GUID_RxAxis, &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
  std::size_t next = 0;
  for (DWORD i = 0; i < 8; ++i) objects[next++] = {axes[i], i * 4, DIDFT_AXIS | kAnyOptional, 0};
  for (DWORD i = 0; i < 4; ++i) objects[next++] = {&GUID_POV, 32 + i * 4, DIDFT_POV | kAnyOptional, 0};
  for (DWORD i = 0; i < 32; ++i) objects[next++] = {nullptr, 48 + i, DIDFT_BUTTON | kAnyOptional, 0};
  return objects;
}
constexpr auto kJoystickObjects = JoystickObjects();

// ---- devices ----

enum class ValueKind { Axis, Button, Pov };

struct DeviceObject {
  const GUID* kind;
  DWORD type;  // DIDFT_* of the object, with its instance
  ValueKind value;
  std::size_t index;  // into the raw state's vector of that value kind
};

// Where the caller's data format put one object, and how its value is scaled.
struct Placement {
  static constexpr std::size_t kAbsentPov = SIZE_MAX;

  std::size_t object;
  DWORD offset;
  LONG min = 0, max = 65535;  // the axis range, for absolute axes
  bool accumulate = false;    // a relative axis read as a position
  LONG position = 0;
};

// The device's own values, read fresh on every state request.
class RawInput {
 public:
  virtual ~RawInput() = default;
  // False once the device is gone.
  virtual bool Read(input::JoystickState& raw) = 0;
};

class KeyboardInput final : public RawInput {
 public:
  bool Read(input::JoystickState& raw) override {
    input::ReadKeyboard(keys_);
    std::copy(keys_.begin(), keys_.end(), raw.buttons.begin());
    return true;
  }

 private:
  input::KeyboardState keys_{};
};

class MouseInput final : public RawInput {
 public:
  bool Read(input::JoystickState& raw) override {
    const input::MouseState mouse = input::ReadMouse();
    raw.axes = {mouse.dx, mouse.dy, mouse.dz};
    std::copy(mouse.buttons.begin(), mouse.buttons.end(), raw.buttons.begin());
    // A pad turns the shark as the two mouse buttons do.
    const auto& pads = platform::gamepad::Pads::Instance();
    if (pads.TurningLeft()) raw.buttons[0] = 0x80;
    if (pads.TurningRight()) raw.buttons[1] = 0x80;
    return true;
  }
};

class JoystickInput final : public RawInput {
 public:
  explicit JoystickInput(std::unique_ptr<input::Joystick> joystick) : joystick_(std::move(joystick)) {}
  bool Read(input::JoystickState& raw) override { return joystick_->Read(raw); }

 private:
  std::unique_ptr<input::Joystick> joystick_;
};

struct DeviceShape {
  std::vector<const GUID*> axisKinds;
  DWORD axisType;
  std::size_t buttons;
  const GUID* buttonKind;
  std::size_t povs;
};

std::vector<DeviceObject> DescribeObjects(const DeviceShape& shape) {
  std::vector<DeviceObject> objects;
  for (std::size_t i = 0; i < shape.axisKinds.size(); ++i) {
    objects.push_back({shape.axisKinds[i], shape.axisType | DIDFT_MAKEINSTANCE(static_cast<DWORD>(i)), ValueKind::Axis, i});
  }
  for (std::size_t i = 0; i < shape.buttons; ++i) {
    objects.push_back({shape.buttonKind, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(static_cast<DWORD>(i)), ValueKind::Button, i});
  }
  for (std::size_t i = 0; i < shape.povs; ++i) {
    objects.push_back({&GUID_POV, DIDFT_POV | DIDFT_MAKEINSTANCE(static_cast<DWORD>(i)), ValueKind::Pov, i});
  }
  return objects;
}

DeviceShape JoystickShape(const input::Joystick& joystick) {
  static const GUID* const kAxisKinds[] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis, &GUID_RxAxis, &GUID_RyAxis, &GUID_RzAxis};
  DeviceShape shape{{}, DIDFT_ABSAXIS, static_cast<std::size_t>(std::max(joystick.ButtonCount(), 0)), &GUID_Button,
                    static_cast<std::size_t>(std::max(joystick.PovCount(), 0))};
  for (int i = 0; i < joystick.AxisCount(); ++i) {
    shape.axisKinds.push_back(i < 6 ? kAxisKinds[i] : &GUID_Slider);
  }
  return shape;
}

bool ValidCooperativeLevel(DWORD flags) {
  const DWORD exclusivity = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
  const DWORD foreground = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
  const DWORD known = DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;
  return (flags & ~known) == 0 && (exclusivity == DISCL_EXCLUSIVE || exclusivity == DISCL_NONEXCLUSIVE) &&
         (foreground == DISCL_FOREGROUND || foreground == DISCL_BACKGROUND);
}

bool Matches(const DIOBJECTDATAFORMAT& wanted, const DeviceObject& object) {
  if (wanted.pguid != nullptr && !(*wanted.pguid == *object.kind)) return false;
  if ((wanted.dwType & object.type & 0xFF) == 0) return false;
  const DWORD instance = wanted.dwType & DIDFT_INSTANCEMASK;
  return instance == DIDFT_ANYINSTANCE || instance == (object.type & DIDFT_INSTANCEMASK);
}

LONG ScaleAxis(LONG raw, LONG min, LONG max) {
  const std::int64_t span = std::int64_t{max} - min;
  return static_cast<LONG>(min + (std::int64_t{raw} + 32768) * span / 65535);
}

class Device final : public IDirectInputDevice8A {
 public:
  Device(std::unique_ptr<RawInput> rawInput, const DeviceShape& shape, bool keyboard)
      : rawInput_(std::move(rawInput)), objects_(DescribeObjects(shape)), keyboard_(keyboard) {
    raw_.axes.assign(shape.axisKinds.size(), 0);
    raw_.buttons.assign(shape.buttons, 0);
    raw_.povs.assign(shape.povs, input::kPovCentred);
  }

  HRESULT SetDataFormat(const DIDATAFORMAT* format) override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT SetProperty(REFGUID property, const DIPROPHEADER* header) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT Poll() override;
  HRESULT GetDeviceState(DWORD size, void* data) override;

 protected:
  void* Interface(REFIID iid) override { return iid == IID_IDirectInputDevice8A ? this : nullptr; }

 private:
  bool Foreground() const { return (cooperativeLevel_ & DISCL_FOREGROUND) != 0; }
  bool FocusLostSinceAcquire() const {
    return !input::WindowFocused() || input::FocusLosses() != focusLossesAtAcquire_;
  }
  HRESULT PlaceObjects(const DIDATAFORMAT& format, std::vector<Placement>& placements) const;
  HRESULT SetRange(const DIPROPRANGE& range);
  void Write(Placement& placement, BYTE* record);

  std::unique_ptr<RawInput> rawInput_;
  std::vector<DeviceObject> objects_;
  input::JoystickState raw_;
  bool keyboard_;
  bool formatSet_ = false;
  DWORD dataSize_ = 0;
  std::vector<Placement> placements_;
  DWORD cooperativeLevel_ = DISCL_BACKGROUND | DISCL_NONEXCLUSIVE;
  bool acquired_ = false;
  unsigned focusLossesAtAcquire_ = 0;
};

HRESULT Device::PlaceObjects(const DIDATAFORMAT& format, std::vector<Placement>& placements) const {
  std::vector<bool> used(objects_.size(), false);
  for (DWORD i = 0; i < format.dwNumObjs; ++i) {
    const DIOBJECTDATAFORMAT& wanted = format.rgodf[i];
    std::size_t found = 0;
    while (found < objects_.size() && (used[found] || !Matches(wanted, objects_[found]))) ++found;
    if (found == objects_.size()) {
      if ((wanted.dwType & DIDFT_OPTIONAL) == 0) return DIERR_INVALIDPARAM;
      // A point of view the device lacks reads as centred, not as pushed north.
      const bool pov = (wanted.dwType & DIDFT_POV) != 0 && wanted.dwOfs % 4 == 0 && wanted.dwOfs <= format.dwDataSize - 4;
      if (pov) placements.push_back(Placement{Placement::kAbsentPov, wanted.dwOfs});
      continue;
    }
    const DeviceObject& object = objects_[found];
    const DWORD size = object.value == ValueKind::Button ? 1 : 4;
    if (wanted.dwOfs > format.dwDataSize - size || (size == 4 && wanted.dwOfs % 4 != 0)) return DIERR_INVALIDPARAM;
    used[found] = true;
    Placement placement{found, wanted.dwOfs};
    placement.accumulate = (object.type & DIDFT_RELAXIS) != 0 && (format.dwFlags & DIDF_ABSAXIS) != 0;
    placements.push_back(placement);
  }
  return DI_OK;
}

HRESULT Device::SetDataFormat(const DIDATAFORMAT* format) {
  if (acquired_) return DIERR_ACQUIRED;
  if (format == nullptr || format->dwSize != sizeof(DIDATAFORMAT) || format->dwObjSize != sizeof(DIOBJECTDATAFORMAT) ||
      format->dwDataSize == 0 || format->dwDataSize % 4 != 0 || (format->dwNumObjs > 0 && format->rgodf == nullptr)) {
    return DIERR_INVALIDPARAM;
  }
  std::vector<Placement> placements;
  if (const HRESULT result = PlaceObjects(*format, placements); result != DI_OK) return result;
  placements_ = std::move(placements);
  dataSize_ = format->dwDataSize;
  formatSet_ = true;
  return DI_OK;
}

HRESULT Device::SetCooperativeLevel(HWND window, DWORD flags) {
  if (!ValidCooperativeLevel(flags)) return DIERR_INVALIDPARAM;
  if ((flags & DISCL_FOREGROUND) != 0 && window == nullptr) return DIERR_INVALIDPARAM;
  // Nobody may keep the keyboard to himself while in the background.
  if (keyboard_ && (flags & DISCL_EXCLUSIVE) != 0 && (flags & DISCL_BACKGROUND) != 0) return DIERR_UNSUPPORTED;
  cooperativeLevel_ = flags;
  return DI_OK;
}

HRESULT Device::SetRange(const DIPROPRANGE& range) {
  if (range.lMin >= range.lMax) return DIERR_INVALIDPARAM;
  bool changed = false;
  for (Placement& placement : placements_) {
    if (placement.object == Placement::kAbsentPov || objects_[placement.object].value != ValueKind::Axis) continue;
    if (range.diph.dwHow == DIPH_BYOFFSET && placement.offset != range.diph.dwObj) continue;
    placement.min = range.lMin;
    placement.max = range.lMax;
    changed = true;
  }
  return changed ? DI_OK : DIERR_OBJECTNOTFOUND;
}

HRESULT Device::SetProperty(REFGUID property, const DIPROPHEADER* header) {
  if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
  if (!(property == DIPROP_RANGE)) return DIERR_UNSUPPORTED;
  if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
  if (header->dwHow != DIPH_BYOFFSET && !(header->dwHow == DIPH_DEVICE && header->dwObj == 0)) return DIERR_INVALIDPARAM;
  if (acquired_) return DIERR_ACQUIRED;
  return SetRange(*reinterpret_cast<const DIPROPRANGE*>(header));
}

HRESULT Device::Acquire() {
  if (!formatSet_) return DIERR_INVALIDPARAM;
  if (acquired_) return DI_NOEFFECT;
  if (Foreground() && !input::WindowFocused()) return DIERR_OTHERAPPHASPRIO;
  acquired_ = true;
  focusLossesAtAcquire_ = input::FocusLosses();
  return DI_OK;
}

HRESULT Device::Unacquire() {
  if (!acquired_) return DI_NOEFFECT;
  acquired_ = false;
  return DI_OK;
}

HRESULT Device::Poll() {
  // Every device here is read afresh by GetDeviceState, so none needs polling.
  return acquired_ ? DI_NOEFFECT : DIERR_NOTACQUIRED;
}

void Device::Write(Placement& placement, BYTE* record) {
  if (placement.object == Placement::kAbsentPov) {
    const DWORD centred = input::kPovCentred;
    std::memcpy(record + placement.offset, &centred, sizeof centred);
    return;
  }
  const DeviceObject& object = objects_[placement.object];
  if (object.value == ValueKind::Button) {
    record[placement.offset] = raw_.buttons[object.index];
    return;
  }
  LONG value = 0;
  if (object.value == ValueKind::Pov) {
    value = static_cast<LONG>(raw_.povs[object.index]);
  } else if (placement.accumulate) {
    value = placement.position += raw_.axes[object.index];
  } else {
    const bool relative = (object.type & DIDFT_RELAXIS) != 0;
    value = relative ? raw_.axes[object.index] : ScaleAxis(raw_.axes[object.index], placement.min, placement.max);
  }
  std::memcpy(record + placement.offset, &value, sizeof value);
}

HRESULT Device::GetDeviceState(DWORD size, void* data) {
  if (data == nullptr || !formatSet_ || size != dataSize_) return DIERR_INVALIDPARAM;
  if (!acquired_) return DIERR_NOTACQUIRED;
  if ((Foreground() && FocusLostSinceAcquire()) || !rawInput_->Read(raw_)) {
    acquired_ = false;
    return DIERR_INPUTLOST;
  }
  auto* record = static_cast<BYTE*>(data);
  std::memset(record, 0, size);
  for (Placement& placement : placements_) Write(placement, record);
  return DI_OK;
}

// ---- the DirectInput object ----

constexpr GUID JoystickInstanceGuid(std::int32_t id) {
  return GUID{static_cast<DWORD>(id), 0x6A6F, 0x7973, {'t', 'i', 'c', 'k', 0, 0, 0, 0}};
}

bool IsJoystickInstance(const GUID& guid) {
  const GUID pattern = JoystickInstanceGuid(0);
  return guid.Data2 == pattern.Data2 && guid.Data3 == pattern.Data3 &&
         std::memcmp(guid.Data4, pattern.Data4, sizeof guid.Data4) == 0;
}

void CopyName(const std::string& utf8, char (&name)[MAX_PATH]) {
  const std::string sjis = platform::Utf8ToCp932Lossy(utf8);
  const std::size_t length = std::min(sjis.size(), sizeof name - 1);
  std::memcpy(name, sjis.data(), length);
  name[length] = '\0';
}

DIDEVICEINSTANCEA DescribeInstance(const GUID& instance, DWORD productId, DWORD devType, const std::string& name) {
  DIDEVICEINSTANCEA described{};
  described.dwSize = sizeof described;
  described.guidInstance = instance;
  described.guidProduct = KotobuneGuid(0x01000400 + productId);
  described.dwDevType = devType;
  CopyName(name, described.tszInstanceName);
  CopyName(name, described.tszProductName);
  return described;
}

std::vector<DIDEVICEINSTANCEA> ListDevices(DWORD devType, DWORD flags) {
  std::vector<DIDEVICEINSTANCEA> devices;
  const bool forceFeedbackOnly = (flags & DIEDFL_FORCEFEEDBACK) != 0;
  if (!forceFeedbackOnly && (devType == DI8DEVCLASS_ALL || devType == DI8DEVCLASS_KEYBOARD)) {
    devices.push_back(DescribeInstance(GUID_SysKeyboard, 0, DI8DEVTYPE_KEYBOARD, "Keyboard"));
  }
  if (!forceFeedbackOnly && (devType == DI8DEVCLASS_ALL || devType == DI8DEVCLASS_POINTER)) {
    devices.push_back(DescribeInstance(GUID_SysMouse, 1, DI8DEVTYPE_MOUSE, "Mouse"));
  }
  if (devType == DI8DEVCLASS_ALL || devType == DI8DEVCLASS_GAMECTRL) {
    for (const input::JoystickInfo& joystick : input::Joysticks()) {
      if (forceFeedbackOnly && !joystick.forceFeedback) continue;
      devices.push_back(DescribeInstance(JoystickInstanceGuid(joystick.id), 2, joystick.gamepad ? DI8DEVTYPE_GAMEPAD : DI8DEVTYPE_JOYSTICK,
                                         joystick.productName));
    }
  }
  return devices;
}

class DirectInput final : public IDirectInput8A {
 public:
  HRESULT CreateDevice(REFGUID instance, IDirectInputDevice8A** device, IUnknown* outer) override {
    if (device == nullptr) return DIERR_INVALIDPARAM;
    *device = nullptr;
    if (outer != nullptr) return DIERR_NOAGGREGATION;
    try {
      *device = NewDevice(instance);
    } catch (const std::bad_alloc&) {
      return DIERR_OUTOFMEMORY;
    }
    return *device != nullptr ? DI_OK : DIERR_DEVICENOTREG;
  }

  HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD flags) override {
    if (callback == nullptr || devType > DI8DEVCLASS_GAMECTRL) return DIERR_INVALIDPARAM;
    for (const DIDEVICEINSTANCEA& device : ListDevices(devType, flags)) {
      if (callback(&device, context) == DIENUM_STOP) break;
    }
    return DI_OK;
  }

 protected:
  void* Interface(REFIID iid) override { return iid == IID_IDirectInput8A ? this : nullptr; }

 private:
  static Device* NewDevice(REFGUID instance) {
    if (instance == GUID_SysKeyboard) {
      return new Device(std::make_unique<KeyboardInput>(), DeviceShape{{}, DIDFT_RELAXIS, 256, &GUID_Key, 0}, true);
    }
    if (instance == GUID_SysMouse) {
      const DeviceShape shape{{&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis}, DIDFT_RELAXIS, input::kMouseButtons, &GUID_Button, 0};
      return new Device(std::make_unique<MouseInput>(), shape, false);
    }
    if (!IsJoystickInstance(instance)) return nullptr;
    auto joystick = input::OpenJoystick(static_cast<std::int32_t>(instance.Data1));
    if (!joystick) return nullptr;
    const DeviceShape shape = JoystickShape(*joystick);
    return new Device(std::make_unique<JoystickInput>(std::move(joystick)), shape, false);
  }
};

}  // namespace

const DIDATAFORMAT c_dfDIKeyboard{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256,
                                  static_cast<DWORD>(kKeyboardObjects.size()), kKeyboardObjects.data()};
const DIDATAFORMAT c_dfDIJoystick{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS, sizeof(DIJOYSTATE),
                                  static_cast<DWORD>(kJoystickObjects.size()), kJoystickObjects.data()};

HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFIID iid, void** object, IUnknown* outer) {
  if (object == nullptr) return DIERR_INVALIDPARAM;
  *object = nullptr;
  if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
  if (outer != nullptr) return DIERR_NOAGGREGATION;
  if (!(iid == IID_IDirectInput8A)) return DIERR_NOINTERFACE;
  try {
    *object = static_cast<IDirectInput8A*>(new DirectInput);
  } catch (const std::bad_alloc&) {
    return DIERR_OUTOFMEMORY;
  }
  return DI_OK;
}
