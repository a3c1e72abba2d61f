// COM initialisation and creation of the DirectMusic classes.
#include "vellorn/com.h"

#include "runtime/dmusic/objects.h"

namespace {

thread_local bool comInitialised = false;

template <class Object>
HRESULT CreateAndQuery(REFIID iid, LPVOID* object) {
    auto* created = new (std::nothrow) Object();
    if (created == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

}  // namespace

HRESULT CoInitialize(LPVOID /*reserved*/) {
    if (comInitialised) {
        return S_FALSE;
    }
    comInitialised = true;
    return S_OK;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         LPVOID* object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!comInitialised) {
        return CO_E_NOTINITIALIZED;
    }
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    if ((context & CLSCTX_INPROC_SERVER) == 0) {
        return REGDB_E_CLASSNOTREG;
    }
    if (clsid == CLSID_DirectMusicPerformance) {
        if (DirectMusicFaultActive(DirectMusicFault::kCreatePerformance)) {
            return E_OUTOFMEMORY;
        }
        return CreateAndQuery<Performance>(iid, object);
    }
    if (clsid == CLSID_DirectMusicLoader) {
        if (DirectMusicFaultActive(DirectMusicFault::kCreateLoader)) {
            return E_OUTOFMEMORY;
        }
        return CreateAndQuery<Loader>(iid, object);
    }
    return REGDB_E_CLASSNOTREG;
}
