#include "platform/window/WindowObject.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/window/WindowSurface.h"

namespace platform {

namespace {

int UsableExtent(int value) {
    return value == CW_USEDEFAULT || value < 0 ? 0 : value;
}
int UsablePosition(int value) {
    return value == CW_USEDEFAULT ? 0 : value;
}

}  // namespace

WindowObject::WindowObject(HWND hwnd, std::shared_ptr<WindowClassEntry> windowClass,
                           std::shared_ptr<MessageQueue> queue, const CREATESTRUCTW& create, const Placement& placement)
    : m_hwnd(hwnd),
      m_class(std::move(windowClass)),
      m_queue(std::move(queue)),
      m_messageOnly(placement.messageOnly),
      m_instance(create.hInstance),
      m_procedure(m_class->info.lpfnWndProc),
      m_style(static_cast<DWORD>(create.style)),
      m_exStyle(create.dwExStyle),
      m_id(reinterpret_cast<LONG_PTR>(create.hMenu)),
      m_parent(placement.parent),
      m_owner(placement.owner),
      m_title(create.lpszName ? create.lpszName : L""),
      m_extraBytes(static_cast<size_t>(std::max(0, m_class->info.cbWndExtra)), 0) {
    const int x = UsablePosition(create.x);
    const int y = UsablePosition(create.y);
    m_rect = RECT{x, y, x + UsableExtent(create.cx), y + UsableExtent(create.cy)};
}

LRESULT WindowObject::Deliver(UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC procedure = Procedure();
    return procedure ? procedure(m_hwnd, message, wParam, lParam) : 0;
}

WNDPROC WindowObject::Procedure() const {
    std::lock_guard lock(m_mutex);
    return m_procedure;
}

DWORD WindowObject::Style() const {
    std::lock_guard lock(m_mutex);
    return m_style;
}

DWORD WindowObject::ExStyle() const {
    std::lock_guard lock(m_mutex);
    return m_exStyle;
}

HWND WindowObject::Parent() const {
    std::lock_guard lock(m_mutex);
    return m_parent;
}

HWND WindowObject::Owner() const {
    std::lock_guard lock(m_mutex);
    return m_owner;
}

std::vector<HWND> WindowObject::Children() const {
    std::lock_guard lock(m_mutex);
    return m_children;
}

void WindowObject::AddChild(HWND child) {
    std::lock_guard lock(m_mutex);
    m_children.push_back(child);
}

void WindowObject::RemoveChild(HWND child) {
    std::lock_guard lock(m_mutex);
    std::erase(m_children, child);
}

void WindowObject::DetachFromParent() {
    std::lock_guard lock(m_mutex);
    m_parent = nullptr;
}

std::optional<LONG_PTR> WindowObject::GetLong(int index, size_t size) const {
    std::lock_guard lock(m_mutex);
    if (index >= 0) {
        if (size > sizeof(LONG_PTR) || static_cast<size_t>(index) + size > m_extraBytes.size()) return std::nullopt;
        if (size == sizeof(LONG)) {
            LONG value = 0;
            std::memcpy(&value, m_extraBytes.data() + index, sizeof(value));
            return value;
        }
        LONG_PTR value = 0;
        std::memcpy(&value, m_extraBytes.data() + index, size);
        return value;
    }
    switch (index) {
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(m_procedure);
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(m_instance);
        case GWLP_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>((m_style & WS_CHILD) ? m_parent : m_owner);
        case GWLP_ID:
            return m_id;
        case GWL_STYLE:
            return static_cast<LONG>(m_style);
        case GWL_EXSTYLE:
            return static_cast<LONG>(m_exStyle);
        case GWLP_USERDATA:
            return m_userData;
        default:
            return std::nullopt;
    }
}

std::optional<LONG_PTR> WindowObject::SetLong(int index, LONG_PTR value, size_t size) {
    std::lock_guard lock(m_mutex);
    LONG_PTR previous = 0;
    if (index >= 0) {
        if (size > sizeof(LONG_PTR) || static_cast<size_t>(index) + size > m_extraBytes.size()) return std::nullopt;
        unsigned char* slot = m_extraBytes.data() + index;
        if (size == sizeof(LONG)) {
            LONG old = 0;
            std::memcpy(&old, slot, sizeof(old));
            const LONG narrow = static_cast<LONG>(value);
            std::memcpy(slot, &narrow, sizeof(narrow));
            return old;
        }
        std::memcpy(&previous, slot, size);
        std::memcpy(slot, &value, size);
        return previous;
    }
    switch (index) {
        case GWLP_WNDPROC:
            previous = reinterpret_cast<LONG_PTR>(m_procedure);
            m_procedure = reinterpret_cast<WNDPROC>(value);
            return previous;
        case GWLP_ID:
            previous = m_id;
            m_id = value;
            return previous;
        case GWL_STYLE:
            previous = static_cast<LONG>(m_style);
            m_style = static_cast<DWORD>(value);
            return previous;
        case GWL_EXSTYLE:
            previous = static_cast<LONG>(m_exStyle);
            m_exStyle = static_cast<DWORD>(value);
            return previous;
        case GWLP_USERDATA:
            previous = m_userData;
            m_userData = value;
            return previous;
        default:
            // The instance, and the parent (which only SetParent may change), are read-only here.
            return std::nullopt;
    }
}

bool WindowObject::SetEnabled(bool enabled) {
    std::lock_guard lock(m_mutex);
    const bool wasDisabled = (m_style & WS_DISABLED) != 0;
    if (enabled) {
        m_style &= ~WS_DISABLED;
    } else {
        m_style |= WS_DISABLED;
    }
    return wasDisabled;
}

RECT WindowObject::WindowRect() const {
    std::lock_guard lock(m_mutex);
    return m_rect;
}

RECT WindowObject::ClientRect() const {
    std::lock_guard lock(m_mutex);
    return RECT{0, 0, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top};
}

void WindowObject::SetWindowRect(const RECT& rect) {
    std::lock_guard lock(m_mutex);
    m_rect = rect;
    // What lay outside the new client area cannot be painted any more.
    m_invalid =
        Region::Combine(m_invalid, Region(RECT{0, 0, rect.right - rect.left, rect.bottom - rect.top}), Region::Op::And);
}

std::wstring WindowObject::Title() const {
    std::lock_guard lock(m_mutex);
    return m_title;
}

void WindowObject::SetTitle(std::wstring title) {
    std::lock_guard lock(m_mutex);
    m_title = std::move(title);
}

DWORD WindowObject::ModifyStyle(DWORD add, DWORD remove) {
    std::lock_guard lock(m_mutex);
    const DWORD before = m_style;
    m_style = (m_style & ~remove) | add;
    return before;
}

bool WindowObject::Invalidate(const RECT* rect, bool erase) {
    const RECT client = ClientRect();
    return InvalidateRegion(Region(rect ? *rect : client), erase);
}

bool WindowObject::InvalidateRegion(const Region& area, bool erase) {
    std::lock_guard lock(m_mutex);
    const RECT clientRect{0, 0, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top};
    // One rectangle, as most invalidations are, is cut to the client area without a region for it.
    const Region added = area.Rects().size() == 1 ? Region(RECT{std::max(area.Rects()[0].left, clientRect.left),
                                                                std::max(area.Rects()[0].top, clientRect.top),
                                                                std::min(area.Rects()[0].right, clientRect.right),
                                                                std::min(area.Rects()[0].bottom, clientRect.bottom)})
                                                  : Region::Combine(area, Region(clientRect), Region::Op::And);
    if (!added.IsEmpty()) {
        m_invalid = Region::Combine(m_invalid, added, Region::Op::Or);
        m_erase = m_erase || erase;
    }
    return !m_invalid.IsEmpty();
}

void WindowObject::Validate(const RECT* rect) {
    if (!rect) {
        std::lock_guard lock(m_mutex);
        m_invalid = Region();
        m_erase = false;
        return;
    }
    ValidateRegion(Region(*rect));
}

void WindowObject::ValidateRegion(const Region& area) {
    std::lock_guard lock(m_mutex);
    m_invalid = Region::Combine(m_invalid, area, Region::Op::Diff);
    if (m_invalid.IsEmpty()) m_erase = false;
}

bool WindowObject::NeedsPaint() const {
    std::lock_guard lock(m_mutex);
    return !m_invalid.IsEmpty();
}

std::optional<RECT> WindowObject::InvalidBounds() const {
    std::lock_guard lock(m_mutex);
    if (m_invalid.IsEmpty()) return std::nullopt;
    return m_invalid.Bounds();
}

Region WindowObject::InvalidRegion() const {
    std::lock_guard lock(m_mutex);
    return m_invalid;
}

bool WindowObject::TakeErase() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_erase, false);
}

std::optional<RECT> WindowObject::RestoreRect() const {
    std::lock_guard lock(m_mutex);
    return m_restoreRect;
}

void WindowObject::SetRestoreRect(std::optional<RECT> rect) {
    std::lock_guard lock(m_mutex);
    m_restoreRect = rect;
}

std::optional<Region> WindowObject::WindowRegion() const {
    std::lock_guard lock(m_mutex);
    return m_windowRegion;
}

void WindowObject::SetWindowRegion(std::optional<Region> region) {
    std::lock_guard lock(m_mutex);
    m_windowRegion = std::move(region);
}

WindowObject::Layered WindowObject::LayeredState() const {
    std::lock_guard lock(m_mutex);
    return m_layered;
}

void WindowObject::SetLayeredState(const Layered& state) {
    std::lock_guard lock(m_mutex);
    m_layered = state;
}

std::shared_ptr<WindowSurface> WindowObject::Surface() const {
    std::lock_guard lock(m_mutex);
    return m_surface;
}

void WindowObject::SetSurface(std::shared_ptr<WindowSurface> surface) {
    std::lock_guard lock(m_mutex);
    m_surface = std::move(surface);
}

bool WindowObject::TakeFirstShow() {
    std::lock_guard lock(m_mutex);
    return !std::exchange(m_shownOnce, true);
}

bool WindowObject::BeginDestroy() {
    bool expected = false;
    return m_destroying.compare_exchange_strong(expected, true, std::memory_order_acq_rel);
}

IWindowBackendState* WindowObject::BackendState() const {
    std::lock_guard lock(m_mutex);
    return m_backend.get();
}

void WindowObject::SetBackendState(std::unique_ptr<IWindowBackendState> state) {
    std::lock_guard lock(m_mutex);
    m_backend = std::move(state);
}

}  // namespace platform
