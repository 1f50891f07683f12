#include "ui/render/BackBuffer.h"

namespace SkinUI {

HDC CUIBackBuffer::Prepare(SIZE size) {
    if (size.cx <= 0 || size.cy <= 0) return nullptr;
    if (m_dc != nullptr && size.cx == m_size.cx && size.cy == m_size.cy) return m_dc;
    Release();
    m_dc = CreateCompatibleDC(nullptr);
    m_bitmap = m_dc != nullptr ? CreateCompatibleBitmap(m_dc, size.cx, size.cy) : nullptr;
    if (m_bitmap == nullptr) {
        Release();
        return nullptr;
    }
    m_previous = SelectObject(m_dc, m_bitmap);
    m_size = size;
    return m_dc;
}

void CUIBackBuffer::Release() {
    if (m_dc != nullptr && m_previous != nullptr) SelectObject(m_dc, m_previous);
    if (m_bitmap != nullptr) DeleteObject(m_bitmap);
    if (m_dc != nullptr) DeleteDC(m_dc);
    m_dc = nullptr;
    m_bitmap = nullptr;
    m_previous = nullptr;
    m_size = SIZE{};
}

}  // namespace SkinUI
