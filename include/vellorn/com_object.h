// ComObject: the identity and reference counting of an object that implements
// one COM-style interface. QueryInterface answers IUnknown and kIid with the
// object itself and one more reference; the Release that drops the count to
// zero destroys the object.
#pragma once

#include <atomic>

#include "vellorn/unknown.h"

template <class Interface, const IID& kIid>
class ComObject : public Interface {
  public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == kIid) {
            AddRef();
            *object = static_cast<Interface*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

  protected:
    ComObject() = default;
    virtual ~ComObject() = default;

  private:
    std::atomic<ULONG> references_{1};
};
