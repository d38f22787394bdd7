#pragma once
// Direct input devices: the system keyboard, the system mouse and attached game
// controllers, read as whole state records in the layout a data format asks for.
#include <cstdint>

#include "platform/objbase.h"

constexpr DWORD DIRECTINPUT_VERSION = 0x0800;

constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DI_NOEFFECT = S_FALSE;
constexpr HRESULT DI_POLLEDDEVICE = 2;
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = ComError(0x8007047E);
constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = ComError(0x80070481);
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOINTERFACE = E_NOINTERFACE;
constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DIERR_NOAGGREGATION = CLASS_E_NOAGGREGATION;
constexpr HRESULT DIERR_DEVICENOTREG = REGDB_E_CLASSNOTREG;
constexpr HRESULT DIERR_OBJECTNOTFOUND = ComError(0x80070002);
constexpr HRESULT DIERR_OTHERAPPHASPRIO = ComError(0x80070005);
constexpr HRESULT DIERR_NOTACQUIRED = ComError(0x8007000C);
constexpr HRESULT DIERR_INPUTLOST = ComError(0x8007001E);
constexpr HRESULT DIERR_ACQUIRED = ComError(0x800700AA);
constexpr HRESULT DIERR_OUTOFMEMORY = ComError(0x8007000E);

constexpr DWORD DISCL_EXCLUSIVE = 0x01;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x02;
constexpr DWORD DISCL_FOREGROUND = 0x04;
constexpr DWORD DISCL_BACKGROUND = 0x08;
constexpr DWORD DISCL_NOWINKEY = 0x10;

constexpr DWORD DI8DEVCLASS_ALL = 0;
constexpr DWORD DI8DEVCLASS_DEVICE = 1;
constexpr DWORD DI8DEVCLASS_POINTER = 2;
constexpr DWORD DI8DEVCLASS_KEYBOARD = 3;
constexpr DWORD DI8DEVCLASS_GAMECTRL = 4;
constexpr DWORD DI8DEVTYPE_MOUSE = 0x12;
constexpr DWORD DI8DEVTYPE_KEYBOARD = 0x13;
constexpr DWORD DI8DEVTYPE_JOYSTICK = 0x14;
constexpr DWORD DI8DEVTYPE_GAMEPAD = 0x15;

constexpr DWORD DIEDFL_ALLDEVICES = 0x000;
constexpr DWORD DIEDFL_ATTACHEDONLY = 0x001;
constexpr DWORD DIEDFL_FORCEFEEDBACK = 0x100;
constexpr BOOL DIENUM_STOP = 0;
constexpr BOOL DIENUM_CONTINUE = 1;

constexpr DWORD DIDF_ABSAXIS = 1;
constexpr DWORD DIDF_RELAXIS = 2;

constexpr DWORD DIDFT_RELAXIS = 0x01;
constexpr DWORD DIDFT_ABSAXIS = 0x02;
constexpr DWORD DIDFT_AXIS = 0x03;
constexpr DWORD DIDFT_PSHBUTTON = 0x04;
constexpr DWORD DIDFT_TGLBUTTON = 0x08;
constexpr DWORD DIDFT_BUTTON = 0x0C;
constexpr DWORD DIDFT_POV = 0x10;
constexpr DWORD DIDFT_ANYINSTANCE = 0x00FFFF00;
constexpr DWORD DIDFT_INSTANCEMASK = DIDFT_ANYINSTANCE;
constexpr DWORD DIDFT_OPTIONAL = 0x80000000;
constexpr DWORD DIDFT_MAKEINSTANCE(DWORD n) { return (n & 0xFFFF) << 8; }
constexpr DWORD DIDFT_GETINSTANCE(DWORD type) { return (type >> 8) & 0xFFFF; }

constexpr DWORD DIPH_DEVICE = 0;
constexpr DWORD DIPH_BYOFFSET = 1;

inline constexpr GUID GUID_XAxis = KotobuneGuid(0x01000001);
inline constexpr GUID GUID_YAxis = KotobuneGuid(0x01000002);
inline constexpr GUID GUID_ZAxis = KotobuneGuid(0x01000003);
inline constexpr GUID GUID_RxAxis = KotobuneGuid(0x01000004);
inline constexpr GUID GUID_RyAxis = KotobuneGuid(0x01000005);
inline constexpr GUID GUID_RzAxis = KotobuneGuid(0x01000006);
inline constexpr GUID GUID_Slider = KotobuneGuid(0x01000007);
inline constexpr GUID GUID_Button = KotobuneGuid(0x01000008);
inline constexpr GUID GUID_Key = KotobuneGuid(0x01000009);
inline constexpr GUID GUID_POV = KotobuneGuid(0x0100000A);
inline constexpr GUID GUID_SysKeyboard = KotobuneGuid(0x01000100);
inline constexpr GUID GUID_SysMouse = KotobuneGuid(0x01000101);
inline constexpr GUID IID_IDirectInput8A = KotobuneGuid(0x01000200);
inline constexpr GUID IID_IDirectInputDevice8A = KotobuneGuid(0x01000201);
inline constexpr GUID DIPROP_RANGE = KotobuneGuid(0x01000300);

struct DIOBJECTDATAFORMAT {
  const GUID* pguid;  // nullptr: any kind of object
  DWORD dwOfs;
  DWORD dwType;
  DWORD dwFlags;
};

struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;
  DWORD dwNumObjs;
  const DIOBJECTDATAFORMAT* rgodf;
};

// The 256 key bytes, one per DIK code, bit 7 = down.
extern const DIDATAFORMAT c_dfDIKeyboard;
// DIJOYSTATE below.
extern const DIDATAFORMAT c_dfDIJoystick;

struct DIJOYSTATE {
  LONG lX, lY, lZ;
  LONG lRx, lRy, lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];  // hundredths of a degree clockwise from north; 0xFFFFFFFF centred
  BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

struct DIPROPHEADER {
  DWORD dwSize;
  DWORD dwHeaderSize;
  DWORD dwObj;
  DWORD dwHow;
};

struct DIPROPRANGE {
  DIPROPHEADER diph;
  LONG lMin;
  LONG lMax;
};
static_assert(sizeof(DIPROPRANGE) == 24);

constexpr int MAX_PATH = 260;

struct DIDEVICEINSTANCEA {
  DWORD dwSize;
  GUID guidInstance;
  GUID guidProduct;
  DWORD dwDevType;
  char tszInstanceName[MAX_PATH];
  char tszProductName[MAX_PATH];
  GUID guidFFDriver;
  WORD wUsagePage;
  WORD wUsage;
};

using LPDIENUMDEVICESCALLBACKA = BOOL (*)(const DIDEVICEINSTANCEA* instance, void* context);

class IDirectInputDevice8A : public platform::com::IUnknown {
 public:
  virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT SetProperty(REFGUID property, const DIPROPHEADER* header) = 0;
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;
  virtual HRESULT Poll() = 0;
  virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
};

class IDirectInput8A : public platform::com::IUnknown {
 public:
  virtual HRESULT CreateDevice(REFGUID instance, IDirectInputDevice8A** device, platform::com::IUnknown* outer) = 0;
  virtual HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD flags) = 0;
};

HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, void** object,
                           platform::com::IUnknown* outer);

// Key codes: the keyboard's scan codes, extended keys with bit 7 set.
constexpr BYTE DIK_ESCAPE = 0x01, DIK_1 = 0x02, DIK_2 = 0x03, DIK_3 = 0x04, DIK_4 = 0x05, DIK_5 = 0x06,
               DIK_6 = 0x07, DIK_7 = 0x08, DIK_8 = 0x09, DIK_9 = 0x0A, DIK_0 = 0x0B, DIK_MINUS = 0x0C,
               DIK_EQUALS = 0x0D, DIK_BACK = 0x0E, DIK_TAB = 0x0F, DIK_Q = 0x10, DIK_W = 0x11, DIK_E = 0x12,
               DIK_R = 0x13, DIK_T = 0x14, DIK_Y = 0x15, DIK_U = 0x16, DIK_I = 0x17, DIK_O = 0x18, DIK_P = 0x19,
               DIK_LBRACKET = 0x1A, DIK_RBRACKET = 0x1B, DIK_RETURN = 0x1C, DIK_LCONTROL = 0x1D, DIK_A = 0x1E,
               DIK_S = 0x1F, DIK_D = 0x20, DIK_F = 0x21, DIK_G = 0x22, DIK_H = 0x23, DIK_J = 0x24, DIK_K = 0x25,
               DIK_L = 0x26, DIK_SEMICOLON = 0x27, DIK_APOSTROPHE = 0x28, DIK_GRAVE = 0x29, DIK_LSHIFT = 0x2A,
               DIK_BACKSLASH = 0x2B, DIK_Z = 0x2C, DIK_X = 0x2D, DIK_C = 0x2E, DIK_V = 0x2F, DIK_B = 0x30,
               DIK_N = 0x31, DIK_M = 0x32, DIK_COMMA = 0x33, DIK_PERIOD = 0x34, DIK_SLASH = 0x35,
               DIK_RSHIFT = 0x36, DIK_MULTIPLY = 0x37, DIK_LMENU = 0x38, DIK_SPACE = 0x39, DIK_CAPITAL = 0x3A,
               DIK_F1 = 0x3B, DIK_F2 = 0x3C, DIK_F3 = 0x3D, DIK_F4 = 0x3E, DIK_F5 = 0x3F, DIK_F6 = 0x40,
               DIK_F7 = 0x41, DIK_F8 = 0x42, DIK_F9 = 0x43, DIK_F10 = 0x44, DIK_NUMLOCK = 0x45, DIK_SCROLL = 0x46,
               DIK_NUMPAD7 = 0x47, DIK_NUMPAD8 = 0x48, DIK_NUMPAD9 = 0x49, DIK_SUBTRACT = 0x4A,
               DIK_NUMPAD4 = 0x4B, DIK_NUMPAD5 = 0x4C, DIK_NUMPAD6 = 0x4D, DIK_ADD = 0x4E, DIK_NUMPAD1 = 0x4F,
               DIK_NUMPAD2 = 0x50, DIK_NUMPAD3 = 0x51, DIK_NUMPAD0 = 0x52, DIK_DECIMAL = 0x53,
               DIK_OEM_102 = 0x56, DIK_F11 = 0x57, DIK_F12 = 0x58, DIK_F13 = 0x64, DIK_F14 = 0x65,
               DIK_F15 = 0x66, DIK_KANA = 0x70, DIK_ABNT_C1 = 0x73, DIK_CONVERT = 0x79, DIK_NOCONVERT = 0x7B,
               DIK_YEN = 0x7D, DIK_ABNT_C2 = 0x7E, DIK_NUMPADEQUALS = 0x8D, DIK_PREVTRACK = 0x90, DIK_AT = 0x91,
               DIK_COLON = 0x92, DIK_UNDERLINE = 0x93, DIK_KANJI = 0x94, DIK_STOP = 0x95, DIK_AX = 0x96,
               DIK_UNLABELED = 0x97, DIK_NEXTTRACK = 0x99, DIK_NUMPADENTER = 0x9C, DIK_RCONTROL = 0x9D,
               DIK_MUTE = 0xA0, DIK_CALCULATOR = 0xA1, DIK_PLAYPAUSE = 0xA2, DIK_MEDIASTOP = 0xA4,
               DIK_VOLUMEDOWN = 0xAE, DIK_VOLUMEUP = 0xB0, DIK_WEBHOME = 0xB2, DIK_NUMPADCOMMA = 0xB3,
               DIK_DIVIDE = 0xB5, DIK_SYSRQ = 0xB7, DIK_RMENU = 0xB8, DIK_PAUSE = 0xC5, DIK_HOME = 0xC7,
               DIK_UP = 0xC8, DIK_PRIOR = 0xC9, DIK_LEFT = 0xCB, DIK_RIGHT = 0xCD, DIK_END = 0xCF,
               DIK_DOWN = 0xD0, DIK_NEXT = 0xD1, DIK_INSERT = 0xD2, DIK_DELETE = 0xD3, DIK_LWIN = 0xDB,
               DIK_RWIN = 0xDC, DIK_APPS = 0xDD, DIK_POWER = 0xDE, DIK_SLEEP = 0xDF, DIK_WAKE = 0xE3,
               DIK_WEBSEARCH = 0xE5, DIK_WEBFAVORITES = 0xE6, DIK_WEBREFRESH = 0xE7, DIK_WEBSTOP = 0xE8,
               DIK_WEBFORWARD = 0xE9, DIK_WEBBACK = 0xEA, DIK_MYCOMPUTER = 0xEB, DIK_MAIL = 0xEC,
               DIK_MEDIASELECT = 0xED;
