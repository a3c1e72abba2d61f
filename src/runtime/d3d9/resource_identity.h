// How the device recognises its own resources behind a public interface
// pointer. Every resource object the device looks up (surfaces, textures,
// vertex and index buffers, vertex declarations) holds a ResourceIdentity,
// which registers the object's address and kind for as long as it lives. A
// checked cast looks the pointer up and hands back the object only when a
// live resource of the asked kind sits there. Nothing is called on the
// pointer, so an object of another implementation is refused untouched.
#pragma once

#include "vellorn/unknown.h"

enum class ResourceKind : unsigned char {
    Surface,
    Texture,
    CubeTexture,
    VolumeTexture,
    VertexBuffer,
    IndexBuffer,
    VertexDeclaration,
};

class ResourceIdentity {
  public:
    // object is the resource's own interface, as callers will hand it back.
    ResourceIdentity(const IUnknown* object, ResourceKind kind) noexcept;
    ~ResourceIdentity();
    ResourceIdentity(const ResourceIdentity&) = delete;
    ResourceIdentity& operator=(const ResourceIdentity&) = delete;

    // False when the registry had no memory for the entry: the resource
    // would not be recognised, so its creation must fail.
    bool Registered() const { return registered_; }

  private:
    const IUnknown* object_;
    bool registered_ = false;
};

// Whether a live resource sits at object; then *kind is its kind.
bool LiveResourceKind(const IUnknown* object, ResourceKind* kind);

// The resource object behind iface when it is a live Object (recognised by
// Object::kResourceKind), else null.
template <class Object, class Interface>
Object* ResourceCast(Interface* iface) {
    ResourceKind kind{};
    if (iface == nullptr || !LiveResourceKind(iface, &kind) || kind != Object::kResourceKind) {
        return nullptr;
    }
    return static_cast<Object*>(iface);
}
