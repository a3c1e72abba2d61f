// ComPtr: an owning pointer to a COM-style interface. It holds one reference
// and releases it on every path out of its scope, so an interface obtained
// inside a call cannot leak on an early return.
#pragma once

#include <utility>

#include "vellorn/unknown.h"

template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}

    // Adds a reference of its own; the caller keeps its reference.
    explicit ComPtr(T* object) : object_(object) {
        if (object_ != nullptr) {
            object_->AddRef();
        }
    }

    ComPtr(const ComPtr& other) : ComPtr(other.object_) {}
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}

    ComPtr& operator=(const ComPtr& other) {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }

    ~ComPtr() { Reset(); }

    // Takes over a reference the caller already owns (a freshly created
    // object, or one handed out through an out-parameter).
    static ComPtr Adopt(T* object) {
        ComPtr result;
        result.object_ = object;
        return result;
    }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    void Reset() {
        if (T* old = std::exchange(object_, nullptr)) {
            old->Release();
        }
    }

    // Gives up ownership: the caller becomes responsible for the reference.
    T* Detach() { return std::exchange(object_, nullptr); }

    // For out-parameters: releases what is held and returns the slot.
    T** ReleaseAndGetAddressOf() {
        Reset();
        return &object_;
    }

    // Asks the object for another interface; fills target only on success.
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>* target) const {
        if (object_ == nullptr) {
            return E_POINTER;
        }
        void* raw = nullptr;
        const HRESULT hr = object_->QueryInterface(iid, &raw);
        if (SUCCEEDED(hr)) {
            *target = ComPtr<U>::Adopt(static_cast<U*>(raw));
        }
        return hr;
    }

    void Swap(ComPtr& other) noexcept { std::swap(object_, other.object_); }

  private:
    T* object_ = nullptr;
};
