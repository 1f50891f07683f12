#include "platform/window/WindowObject.h"

#include <algorithm>

namespace platform {

namespace {

int UsableExtent(int value) {
    return value == CW_USEDEFAULT || value < 0 ? 0 : value;
}
int UsablePosition(int value) {
    return value == CW_USEDEFAULT ? 0 : value;
}

bool IsEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

RECT Intersection(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

RECT Union(const RECT& a, const RECT& b) {
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

bool Covers(const RECT& outer, const RECT& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

}  // namespace

WindowObject::WindowObject(HWND hwnd, std::shared_ptr<WindowClassEntry> windowClass,
                           std::shared_ptr<MessageQueue> queue, const CREATESTRUCTW& create, const Placement& placement)
    : m_hwnd(hwnd),
      m_class(std::move(windowClass)),
      m_queue(std::move(queue)),
      m_messageOnly(placement.messageOnly),
      m_instance(create.hInstance),
      m_title(create.lpszName ? create.lpszName : L""),
      m_procedure(m_class->info.lpfnWndProc),
      m_style(static_cast<DWORD>(create.style)),
      m_exStyle(create.dwExStyle),
      m_id(reinterpret_cast<LONG_PTR>(create.hMenu)),
      m_parent(placement.parent),
      m_owner(placement.owner) {
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

std::optional<LONG_PTR> WindowObject::GetLong(int index) const {
    std::lock_guard lock(m_mutex);
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

std::optional<LONG_PTR> WindowObject::SetLong(int index, LONG_PTR value) {
    std::lock_guard lock(m_mutex);
    LONG_PTR previous = 0;
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

bool WindowObject::Invalidate(const RECT* rect) {
    std::lock_guard lock(m_mutex);
    const RECT client{0, 0, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top};
    const RECT area = rect ? Intersection(*rect, client) : client;
    if (!IsEmpty(area)) m_invalid = m_invalid ? Union(*m_invalid, area) : area;
    return m_invalid.has_value();
}

void WindowObject::Validate(const RECT* rect) {
    std::lock_guard lock(m_mutex);
    // A part cut out of the bounding rectangle cannot be represented, so only a
    // rectangle covering all of it validates; a spare WM_PAINT is harmless.
    if (!rect || (m_invalid && Covers(*rect, *m_invalid))) m_invalid.reset();
}

bool WindowObject::NeedsPaint() const {
    std::lock_guard lock(m_mutex);
    return m_invalid.has_value();
}

std::optional<RECT> WindowObject::InvalidBounds() const {
    std::lock_guard lock(m_mutex);
    return m_invalid;
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
