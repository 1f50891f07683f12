#include "platform/display/HeadlessDisplay.h"

#include <cairo.h>

#include <cstring>
#include <vector>

#include "platform/strings/StringConv.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowTree.h"

namespace platform {

HeadlessDisplay::HeadlessDisplay(ScreenGeometry screen) : m_screen(screen), m_time(MessageQueue::TickCount()) {}

void HeadlessDisplay::WindowCreated(WindowObject& window) {
    std::lock_guard lock(m_mutex);
    m_presents[window.Handle()] = 0;
}

void HeadlessDisplay::WindowDestroyed(WindowObject& window) {
    std::lock_guard lock(m_mutex);
    m_presents.erase(window.Handle());
}

void HeadlessDisplay::Present(WindowObject& window, const RECT& /*area*/) {
    std::lock_guard lock(m_mutex);
    ++m_presents[window.Handle()];
}

void HeadlessDisplay::CursorChanged(HCURSOR cursor) {
    std::lock_guard lock(m_mutex);
    m_cursor = cursor;
}

ScreenGeometry HeadlessDisplay::Screen() const {
    std::lock_guard lock(m_mutex);
    return m_screen;
}

void HeadlessDisplay::SetScreen(const ScreenGeometry& screen) {
    std::lock_guard lock(m_mutex);
    m_screen = screen;
}

void HeadlessDisplay::Send(RawInput input) {
    {
        std::lock_guard lock(m_mutex);
        if (input.kind != RawInput::Kind::KeyDown && input.kind != RawInput::Kind::KeyUp) input.screen = m_mouse;
        input.time = m_time;
    }
    RouteInput(std::move(input));
}

void HeadlessDisplay::MoveMouse(int x, int y) {
    {
        std::lock_guard lock(m_mutex);
        m_mouse = POINT{x, y};
    }
    RawInput input;
    input.kind = RawInput::Kind::MouseMove;
    Send(std::move(input));
}

void HeadlessDisplay::PressButton(RawInput::Button button) {
    RawInput input;
    input.kind = RawInput::Kind::ButtonDown;
    input.button = button;
    Send(std::move(input));
}

void HeadlessDisplay::ReleaseButton(RawInput::Button button) {
    RawInput input;
    input.kind = RawInput::Kind::ButtonUp;
    input.button = button;
    Send(std::move(input));
}

void HeadlessDisplay::Click(int x, int y, RawInput::Button button) {
    MoveMouse(x, y);
    PressButton(button);
    ReleaseButton(button);
}

void HeadlessDisplay::Wheel(int delta) {
    RawInput input;
    input.kind = RawInput::Kind::Wheel;
    input.wheelDelta = delta;
    Send(std::move(input));
}

void HeadlessDisplay::KeyDown(UINT virtualKey, const std::string& text) {
    RawInput input;
    input.kind = RawInput::Kind::KeyDown;
    input.virtualKey = virtualKey;
    input.text = text;
    Send(std::move(input));
}

void HeadlessDisplay::KeyUp(UINT virtualKey) {
    RawInput input;
    input.kind = RawInput::Kind::KeyUp;
    input.virtualKey = virtualKey;
    Send(std::move(input));
}

void HeadlessDisplay::TypeText(const std::string& utf8) {
    for (wchar_t c : WideFromUtf8(utf8)) {
        KeyDown(VK_PACKET, Utf8FromWide(std::wstring(1, c)));
        KeyUp(VK_PACKET);
    }
}

void HeadlessDisplay::LeaveScreen() {
    RawInput input;
    input.kind = RawInput::Kind::PointerLeft;
    Send(std::move(input));
}

void HeadlessDisplay::AdvanceTime(DWORD milliseconds) {
    std::lock_guard lock(m_mutex);
    m_time += milliseconds;
}

DWORD HeadlessDisplay::Pixel(HWND topLevel, int x, int y) const {
    return ShownPixel(topLevel, x, y);
}

bool HeadlessDisplay::WritePng(HWND topLevel, const std::string& path) const {
    auto window = LookUpWindow(topLevel);
    auto surface = window ? window->Surface() : nullptr;
    if (!surface || !surface->Valid()) return false;
    cairo_surface_t* shown = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, surface->Width(), surface->Height());
    bool written = false;
    if (cairo_surface_status(shown) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(shown);
        auto* data = cairo_image_surface_get_data(shown);
        const int stride = cairo_image_surface_get_stride(shown);
        for (int y = 0; y < surface->Height(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<size_t>(y) * stride);
            for (int x = 0; x < surface->Width(); ++x)
                row[x] = ShownPixel(topLevel, x, y);
        }
        cairo_surface_mark_dirty(shown);
        written = cairo_surface_write_to_png(shown, path.c_str()) == CAIRO_STATUS_SUCCESS;
    }
    cairo_surface_destroy(shown);
    return written;
}

int HeadlessDisplay::PresentCount(HWND topLevel) const {
    std::lock_guard lock(m_mutex);
    auto it = m_presents.find(topLevel);
    return it == m_presents.end() ? 0 : it->second;
}

HCURSOR HeadlessDisplay::Cursor() const {
    std::lock_guard lock(m_mutex);
    return m_cursor;
}

}  // namespace platform
