#pragma once
// Sound buffers that play into the program's one mixer. Secondary buffers hold PCM; a
// duplicate shares its original's samples and keeps its own position, volume and rate.
// Without an audio device DirectSound cannot be initialised. An object with several faces
// (a buffer and its 3D controls) shares one reference count through the virtual base.
#include "platform/mmsystem.h"
#include "platform/objbase.h"

constexpr HRESULT DS_OK = S_OK;
constexpr HRESULT DSERR_ALLOCATED = ComError(0x8878000A);
constexpr HRESULT DSERR_CONTROLUNAVAIL = ComError(0x8878001E);
constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DSERR_INVALIDCALL = ComError(0x88780032);
constexpr HRESULT DSERR_GENERIC = ComError(0x80004005);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = ComError(0x88780046);
constexpr HRESULT DSERR_OUTOFMEMORY = ComError(0x8007000E);
constexpr HRESULT DSERR_BADFORMAT = ComError(0x88780064);
constexpr HRESULT DSERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DSERR_NODRIVER = ComError(0x88780078);
constexpr HRESULT DSERR_ALREADYINITIALIZED = ComError(0x88780082);
constexpr HRESULT DSERR_NOAGGREGATION = CLASS_E_NOAGGREGATION;
constexpr HRESULT DSERR_BUFFERLOST = ComError(0x88780096);
constexpr HRESULT DSERR_UNINITIALIZED = ComError(0x887800AA);
constexpr HRESULT DSERR_NOINTERFACE = E_NOINTERFACE;

constexpr DWORD DSSCL_NORMAL = 1;
constexpr DWORD DSSCL_PRIORITY = 2;
constexpr DWORD DSSCL_EXCLUSIVE = 3;
constexpr DWORD DSSCL_WRITEPRIMARY = 4;

constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x00000001;
constexpr DWORD DSBCAPS_STATIC = 0x00000002;
constexpr DWORD DSBCAPS_LOCHARDWARE = 0x00000004;
constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x00000008;
constexpr DWORD DSBCAPS_CTRL3D = 0x00000010;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x00000020;
constexpr DWORD DSBCAPS_CTRLPAN = 0x00000040;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x00000080;
constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x00000100;
constexpr DWORD DSBCAPS_CTRLFX = 0x00000200;
constexpr DWORD DSBCAPS_STICKYFOCUS = 0x00004000;
constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x00008000;
constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x00010000;

constexpr DWORD DSBPLAY_LOOPING = 0x00000001;
constexpr DWORD DSBSTATUS_PLAYING = 0x00000001;
constexpr DWORD DSBSTATUS_LOOPING = 0x00000004;
constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x00000001;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x00000002;

constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;
constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;
constexpr DWORD DSBFREQUENCY_MIN = 100;
constexpr DWORD DSBFREQUENCY_MAX = 200000;
constexpr LONG DSBVOLUME_MIN = -10000;  // hundredths of a decibel
constexpr LONG DSBVOLUME_MAX = 0;
constexpr LONG DSBPAN_LEFT = -10000;
constexpr LONG DSBPAN_CENTER = 0;
constexpr LONG DSBPAN_RIGHT = 10000;

constexpr DWORD DS3D_IMMEDIATE = 0;
constexpr DWORD DS3D_DEFERRED = 1;
constexpr DWORD DS3DMODE_NORMAL = 0;
constexpr DWORD DS3DMODE_HEADRELATIVE = 1;
constexpr DWORD DS3DMODE_DISABLE = 2;

inline constexpr GUID CLSID_DirectSound8 = KotobuneGuid(0x02000001);
inline constexpr GUID IID_IDirectSound8 = KotobuneGuid(0x02000002);
inline constexpr GUID IID_IDirectSoundBuffer = KotobuneGuid(0x02000003);
inline constexpr GUID IID_IDirectSoundBuffer8 = KotobuneGuid(0x02000004);
inline constexpr GUID IID_IDirectSound3DListener = KotobuneGuid(0x02000005);
inline constexpr GUID IID_IDirectSound3DBuffer = KotobuneGuid(0x02000006);

// Callers written for 32-bit pointers state 36 bytes; both sizes are accepted.
constexpr DWORD DSBUFFERDESC_SIZE32 = 36;
struct DSBUFFERDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwReserved;
  WAVEFORMATEX* lpwfxFormat;
  GUID guid3DAlgorithm;
};

// A point or direction in the listener's space.
struct DS3DVECTOR {
  float x, y, z;
};

struct DS3DBUFFER {
  DWORD dwSize;
  DS3DVECTOR vPosition;
  DS3DVECTOR vVelocity;
  DWORD dwInsideConeAngle;
  DWORD dwOutsideConeAngle;
  DS3DVECTOR vConeOrientation;
  LONG lConeOutsideVolume;
  float flMinDistance;
  float flMaxDistance;
  DWORD dwMode;
};
static_assert(sizeof(DS3DBUFFER) == 64);

struct DS3DLISTENER {
  DWORD dwSize;
  DS3DVECTOR vPosition;
  DS3DVECTOR vVelocity;
  DS3DVECTOR vOrientFront;
  DS3DVECTOR vOrientTop;
  float flDistanceFactor;
  float flRolloffFactor;
  float flDopplerFactor;
};
static_assert(sizeof(DS3DLISTENER) == 64);

class IDirectSoundBuffer : public virtual platform::com::IUnknown {
 public:
  virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
  virtual HRESULT GetStatus(DWORD* status) = 0;
  virtual HRESULT GetVolume(LONG* volume) = 0;
  virtual HRESULT GetPan(LONG* pan) = 0;
  virtual HRESULT GetFrequency(DWORD* frequency) = 0;
  virtual HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                       DWORD flags) = 0;
  virtual HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;
  virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT SetCurrentPosition(DWORD position) = 0;
  virtual HRESULT SetVolume(LONG volume) = 0;
  virtual HRESULT SetPan(LONG pan) = 0;
  virtual HRESULT SetFrequency(DWORD frequency) = 0;
};

class IDirectSoundBuffer8 : public IDirectSoundBuffer {};

class IDirectSound3DListener : public virtual platform::com::IUnknown {
 public:
  virtual HRESULT GetAllParameters(DS3DLISTENER* parameters) = 0;
  virtual HRESULT SetAllParameters(const DS3DLISTENER* parameters, DWORD apply) = 0;
};

class IDirectSound3DBuffer : public virtual platform::com::IUnknown {
 public:
  virtual HRESULT GetAllParameters(DS3DBUFFER* parameters) = 0;
  virtual HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) = 0;
};

class IDirectSound8 : public virtual platform::com::IUnknown {
 public:
  // device: nullptr for the default device.
  virtual HRESULT Initialize(const GUID* device) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
  virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer,
                                    platform::com::IUnknown* outer) = 0;
  virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) = 0;
};
