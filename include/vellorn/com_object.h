// RefCounted and ComObject: the reference counting and the identity of an
// object that implements one COM-style interface. ComObject's QueryInterface
// answers IUnknown and kIid with the object itself and one more reference.
#pragma once

#include <atomic>

#include "vellorn/unknown.h"

// Reference counting of an object implementing Interface: it starts with one
// reference, and the Release that drops the count to zero destroys it.
template <class Interface>
class RefCounted : public Interface {
  public:
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

  protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

  private:
    std::atomic<ULONG> references_{1};
};

// Counting is the reference counting the object uses: RefCounted unless the
// object's life is tied to something else.
template <class Interface, const IID& kIid, class Counting = RefCounted<Interface>>
class ComObject : public Counting {
  public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == kIid) {
            this->AddRef();
            *object = static_cast<Interface*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

  protected:
    ComObject() = default;
    using Counting::Counting;
};
