// The apartment count and the one class this platform can create.
#include "platform/dsound.h"
#include "platform/objbase.h"

namespace platform::dsound {
HRESULT CreateInstance(REFIID iid, void** object);  // dsound.cpp
}

namespace {

int apartmentDepth = 0;

}  // namespace

HRESULT CoInitializeEx(void*, DWORD) { return apartmentDepth++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (apartmentDepth > 0) --apartmentDepth;
}

HRESULT CoCreateInstance(REFCLSID clsid, platform::com::IUnknown* outer, DWORD context, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (apartmentDepth == 0) return CO_E_NOTINITIALIZED;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  if ((context & CLSCTX_INPROC_SERVER) == 0 || !(clsid == CLSID_DirectSound8)) return REGDB_E_CLASSNOTREG;
  return platform::dsound::CreateInstance(iid, object);
}
