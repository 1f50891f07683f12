#include "platform/window/WindowBackend.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<IWindowBackend*> g_backend{nullptr};
}  // namespace

void SetWindowBackend(IWindowBackend* backend) {
    g_backend.store(backend);
}

IWindowBackend* CurrentWindowBackend() {
    return g_backend.load();
}

}  // namespace platform
