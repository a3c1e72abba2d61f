#include "runtime/backend.h"

#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

std::optional<RuntimeBackend> selected;

}  // namespace

RuntimeBackend ActiveBackend() {
    if (!selected) {
        const char* choice = std::getenv("VELLORN_RUNTIME");
        selected = choice != nullptr && std::strcmp(choice, "headless") == 0
                       ? RuntimeBackend::Headless
                       : RuntimeBackend::Sdl;
    }
    return *selected;
}

void SelectBackend(RuntimeBackend backend) { selected = backend; }
