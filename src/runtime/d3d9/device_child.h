// The life of an object the device hands out: a texture, a stand-alone
// surface, a vertex or index buffer, a vertex declaration or a state block.
//
// Two counts keep it alive. References are what the application (or any
// caller) holds through AddRef and Release; while there is at least one, the
// object holds a reference on its device, as Direct3D 9 objects do, so the
// device outlives everything handed out from it. Bindings are what the device
// itself holds: a bound texture, stream, index buffer or declaration, its back
// buffer, what a state block records. They keep the object but not the
// device, so an application that releases everything it holds releases the
// device too. The object is destroyed when both counts are zero.
#pragma once

#include <atomic>
#include <utility>

#include "vellorn/d3d9.h"

class DeviceChild {
  public:
    DeviceChild(const DeviceChild&) = delete;
    DeviceChild& operator=(const DeviceChild&) = delete;

    void Bind() noexcept { ++bindings_; }
    void Unbind() noexcept {
        if (--bindings_ == 0 && references_ == 0) {
            delete this;
        }
    }
    ULONG References() const noexcept { return references_; }
    IDirect3DDevice9* OwnerDevice() const noexcept { return device_; }

  protected:
    // device may be null (a device stand-in that counts nothing).
    explicit DeviceChild(IDirect3DDevice9* device) noexcept : device_(device) {
        if (device_ != nullptr) {
            device_->AddRef();
        }
    }
    // Destroyed without its last Release (a creation that failed half-way):
    // the device reference goes with it.
    virtual ~DeviceChild() {
        if (holdsDevice_ && device_ != nullptr) {
            device_->Release();
        }
    }

    ULONG AddReference() noexcept {
        const ULONG count = ++references_;
        if (count == 1) {
            // Handed out again from a binding (GetTexture and the like).
            holdsDevice_ = true;
            if (device_ != nullptr) {
                device_->AddRef();
            }
        }
        return count;
    }
    ULONG ReleaseReference() noexcept {
        const ULONG left = --references_;
        if (left == 0) {
            // The object goes first: its destructor still reports to the
            // device, which the last reference may destroy.
            IDirect3DDevice9* device = device_;
            holdsDevice_ = false;
            if (bindings_ == 0) {
                delete this;
            }
            if (device != nullptr) {
                device->Release();
            }
        }
        return left;
    }

  private:
    IDirect3DDevice9* device_;
    std::atomic<ULONG> references_{1};
    ULONG bindings_ = 0;
    bool holdsDevice_ = true;
};

// The reference counting of Interface through DeviceChild.
template <class Interface>
class DeviceChildObject : public Interface, public DeviceChild {
  public:
    ULONG AddRef() override { return AddReference(); }
    ULONG Release() override { return ReleaseReference(); }

  protected:
    explicit DeviceChildObject(IDirect3DDevice9* device) noexcept : DeviceChild(device) {}
};

// What the device binds: an object of this runtime, held by a binding rather
// than a reference. Null stays null.
template <class Interface>
class Binding {
  public:
    Binding() = default;
    Binding(Interface* object, DeviceChild* child) noexcept : object_(object), child_(child) {
        if (child_ != nullptr) {
            child_->Bind();
        }
    }
    Binding(const Binding& other) noexcept : Binding(other.object_, other.child_) {}
    Binding& operator=(const Binding& other) noexcept {
        Binding copy(other);
        std::swap(object_, copy.object_);
        std::swap(child_, copy.child_);
        return *this;
    }
    ~Binding() { Reset(); }

    void Reset() noexcept {
        DeviceChild* child = child_;
        object_ = nullptr;
        child_ = nullptr;
        if (child != nullptr) {
            child->Unbind();
        }
    }
    Interface* Get() const noexcept { return object_; }
    Interface* operator->() const noexcept { return object_; }
    DeviceChild* Child() const noexcept { return child_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

  private:
    Interface* object_ = nullptr;
    DeviceChild* child_ = nullptr;
};
