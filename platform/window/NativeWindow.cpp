#include "platform/window/NativeWindow.h"

#include "platform/window/MessageQueue.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowTree.h"

namespace platform {

namespace {

std::shared_ptr<WindowObject> OwnChild(HWND child) {
    auto window = LookUpWindow(child);
    if (!window || !(window->Style() & WS_CHILD) || !window->Queue()->IsOwnerThread()) return nullptr;
    return window;
}

}  // namespace

std::string NativeDisplayName() {
    IWindowBackend* backend = CurrentWindowBackend();
    return backend != nullptr ? backend->NativeDisplayName() : std::string();
}

std::uint64_t NativeChildWindow(HWND child) {
    auto window = OwnChild(child);
    IWindowBackend* backend = window ? BackendFor(*window) : nullptr;
    return backend != nullptr ? backend->AttachNativeWindow(*window) : 0;
}

bool EmbedNativeClient(HWND child, std::uint64_t client) {
    auto window = OwnChild(child);
    IWindowBackend* backend = window ? BackendFor(*window) : nullptr;
    return backend != nullptr && client != 0 && backend->EmbedNativeClient(*window, client);
}

}  // namespace platform
