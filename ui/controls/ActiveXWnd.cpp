#include "ui/controls/ActiveXWnd.h"

#include "platform/com/ComPtr.h"
#include "platform/window/Paint.h"
#include "platform/window/WinMessages.h"
#include "platform/window/WindowApi.h"
#include "ui/controls/ActiveXCtrl.h"
#include "ui/controls/ActiveXUI.h"

namespace SkinUI {

HWND CActiveXWnd::Init(HWND parent) {
    if (parent == nullptr) return nullptr;
    constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    return CreateHwnd(parent, L"UIActiveX", kStyle, 0, 0, 0, 0, 0);
}

bool CActiveXWnd::DoVerb(LONG verb) {
    CActiveXUI* owner = m_site->GetOwner();
    if (owner == nullptr) return true;
    platform::ComPtr<IOleObject> object;
    if (FAILED(owner->GetControl(IID_IOleObject, object.ReceiveVoid())) || !object) return true;
    platform::ComPtr<IOleClientSite> clientSite;
    if (FAILED(m_site->QueryInterface(IID_IOleClientSite, clientSite.ReceiveVoid()))) return true;
    // The reference keeps the site alive through the call, so it can be asked afterwards
    // whether this window still exists: an object may leave in-place activation meanwhile.
    CActiveXCtrl* site = m_site;
    const RECT bounds = owner->GetBounds();
    object->DoVerb(verb, nullptr, clientSite.Get(), 0, m_hwnd, &bounds);
    return site->GetHostWindowObject() == this;
}

LRESULT CActiveXWnd::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = m_hwnd;  // `this` may be gone after a verb
    switch (message) {
        case WM_SETFOCUS:
            m_site->SetFocused(true);
            if (!m_site->IsUIActivated() && !DoVerb(OLEIVERB_UIACTIVATE))
                return DefWindowProcW(hwnd, message, wParam, lParam);
            break;
        case WM_KILLFOCUS:
            m_site->SetFocused(false);
            break;
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            BeginPaint(m_hwnd, &paint);
            EndPaint(m_hwnd, &paint);
            return 1;
        }
        case WM_ERASEBKGND:
            if (m_site->GetView() != nullptr) return 1;
            break;
        case WM_MOUSEACTIVATE: {
            CActiveXUI* owner = m_site->GetOwner();
            platform::ComPtr<IOleObject> object;
            if (owner == nullptr || FAILED(owner->GetControl(IID_IOleObject, object.ReceiveVoid())) || !object) {
                return 0;
            }
            DWORD status = 0;
            object->GetMiscStatus(DVASPECT_CONTENT, &status);
            if (status & OLEMISC_NOUIACTIVATE) return 0;
            if (!m_site->IsInPlaceActive() && !DoVerb(OLEIVERB_INPLACEACTIVATE)) {
                return DefWindowProcW(hwnd, message, wParam, lParam);
            }
            break;
        }
        case WM_MOUSEWHEEL:
            return 0;
        default:
            break;
    }
    return CWindowWnd::OnWindowMessage(message, wParam, lParam);
}

}  // namespace SkinUI
