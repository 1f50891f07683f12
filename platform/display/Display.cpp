#include "platform/display/Display.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/display/HeadlessDisplay.h"
#include "platform/display/X11Display.h"

namespace platform {

namespace {

struct Running {
    std::mutex mutex;
    std::unique_ptr<IWindowBackend> backend;
    DisplayKind kind = DisplayKind::Auto;
};

Running& Current() {
    static auto* running = new Running;
    return *running;
}

}  // namespace

DisplayKind ResolveDisplayKind(DisplayKind requested) {
    if (requested != DisplayKind::Auto) return requested;
    if (const char* chosen = std::getenv("XJ_DISPLAY_BACKEND")) {
        const std::string_view value(chosen);
        if (value == "headless") return DisplayKind::Headless;
        if (value == "x11") return DisplayKind::X11;
    }
    const char* display = std::getenv("DISPLAY");
    return display && *display ? DisplayKind::X11 : DisplayKind::Headless;
}

bool StartDisplay(DisplayKind requested, const std::string& x11Name) {
    auto& running = Current();
    std::lock_guard lock(running.mutex);
    if (running.backend) return false;
    const DisplayKind kind = ResolveDisplayKind(requested);
    if (kind == DisplayKind::X11) {
        auto x11 = std::make_unique<X11Display>();
        if (x11->Open(x11Name)) {
            running.backend = std::move(x11);
            running.kind = DisplayKind::X11;
        } else if (requested == DisplayKind::X11) {
            return false;
        }
    }
    if (!running.backend) {
        running.backend = std::make_unique<HeadlessDisplay>();
        running.kind = DisplayKind::Headless;
    }
    SetWindowBackend(running.backend.get());
    return true;
}

void StopDisplay() {
    auto& running = Current();
    std::lock_guard lock(running.mutex);
    SetWindowBackend(nullptr);
    running.backend.reset();
    running.kind = DisplayKind::Auto;
}

DisplayKind RunningDisplayKind() {
    auto& running = Current();
    std::lock_guard lock(running.mutex);
    return running.kind;
}

}  // namespace platform
