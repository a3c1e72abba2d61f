#include "runtime/d3d9/resource_identity.h"

#include <mutex>
#include <new>
#include <unordered_map>

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<const IUnknown*, ResourceKind> live;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

ResourceIdentity::ResourceIdentity(const IUnknown* object, ResourceKind kind) noexcept
    : object_(object) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    try {
        registry.live.emplace(object, kind);
        registered_ = true;
    } catch (const std::bad_alloc&) {
        registered_ = false;
    }
}

ResourceIdentity::~ResourceIdentity() {
    if (registered_) {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.live.erase(object_);
    }
}

bool LiveResourceKind(const IUnknown* object, ResourceKind* kind) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const auto found = registry.live.find(object);
    if (found == registry.live.end()) {
        return false;
    }
    *kind = found->second;
    return true;
}
