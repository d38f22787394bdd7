#pragma once
// Component-object basics: interface identifiers, result codes, the reference-counted
// base of every object and the class factory the sound component starts from.
#include <cstring>
#include <utility>

#include "platform/wintypes.h"

using ULONG = std::uint32_t;
using HINSTANCE = struct HINSTANCE__*;

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

// Our identifiers: only this program compares them, so one family with distinct first words.
constexpr GUID KotobuneGuid(DWORD id) { return GUID{id, 0x4B6F, 0x746F, {0x62, 0x75, 0x6E, 0x65, 0x00, 0x00, 0x00, 0x01}}; }

constexpr HRESULT ComError(DWORD code) { return static_cast<HRESULT>(code); }
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = ComError(0x80004001);
constexpr HRESULT E_NOINTERFACE = ComError(0x80004002);
constexpr HRESULT E_POINTER = ComError(0x80004003);
constexpr HRESULT E_INVALIDARG = ComError(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = ComError(0x80040110);
constexpr HRESULT REGDB_E_CLASSNOTREG = ComError(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = ComError(0x800401F0);

constexpr bool SUCCEEDED(HRESULT result) { return result >= 0; }
constexpr bool FAILED(HRESULT result) { return result < 0; }

constexpr DWORD CLSCTX_INPROC_SERVER = 1;
constexpr DWORD COINIT_MULTITHREADED = 0;

inline constexpr IID IID_IUnknown = KotobuneGuid(0x00000000);

namespace platform::com {

// Release returns the count left and deletes at zero.
class IUnknown {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = iid == IID_IUnknown ? static_cast<void*>(this) : Interface(iid);
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  template <class Wanted>
  HRESULT QueryInterface(REFIID iid, Wanted** object) {
    if (object == nullptr) return E_POINTER;
    void* found = nullptr;
    const HRESULT result = QueryInterface(iid, &found);
    *object = static_cast<Wanted*>(found);
    return result;
  }
  ULONG AddRef() { return ++refCount_; }
  ULONG Release() {
    const ULONG left = --refCount_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  IUnknown() = default;
  virtual ~IUnknown() = default;
  IUnknown(const IUnknown&) = delete;
  IUnknown& operator=(const IUnknown&) = delete;
  // This object seen as the interface `iid`, or nullptr when it has no such face.
  virtual void* Interface(REFIID iid) = 0;

 private:
  ULONG refCount_ = 1;
};

// Holds one reference; Reset hands back what Release returned.
template <class Interface>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(Interface* adopted) : object_(adopted) {}
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }

  Interface* Get() const { return object_; }
  Interface* operator->() const { return object_; }
  Interface& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }
  ULONG Reset() {
    if (object_ == nullptr) return 0;
    return std::exchange(object_, nullptr)->Release();
  }
  // For out-parameters: drops the current reference first.
  Interface** Put() {
    Reset();
    return &object_;
  }
  void Adopt(Interface* object) {
    Reset();
    object_ = object;
  }

 private:
  Interface* object_ = nullptr;
};

}  // namespace platform::com

HRESULT CoInitializeEx(void* reserved, DWORD coInit);
void CoUninitialize();
// The only class this platform provides is CLSID_DirectSound8 (dsound.h).
HRESULT CoCreateInstance(REFCLSID clsid, platform::com::IUnknown* outer, DWORD context, REFIID iid, void** object);
