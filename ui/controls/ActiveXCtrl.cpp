#include "ui/controls/ActiveXCtrl.h"

#include <new>

#include "platform/com/ComPtr.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/Focus.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/controls/ActiveXUI.h"
#include "ui/controls/ActiveXWnd.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

namespace {

template <typename T>
void ReleaseAndClear(T*& pointer) {
    if (T* held = pointer) {
        pointer = nullptr;
        held->Release();
    }
}

}  // namespace

CActiveXCtrl::CActiveXCtrl(CActiveXUI* owner) : m_owner(owner) {}

CActiveXCtrl::~CActiveXCtrl() {
    DestroyActiveXWnd();
    ReleaseAndClear(m_siteUnknown);
    ReleaseAndClear(m_view);
    ReleaseAndClear(m_inPlaceObject);
    if (m_accelerators != nullptr) DestroyAcceleratorTable(m_accelerators);
}

void CActiveXCtrl::Detach() {
    DestroyActiveXWnd();
    m_owner = nullptr;
    m_inPlaceActive = false;
    ReleaseInPlaceObject();
    ReleaseAndClear(m_view);
}

void CActiveXCtrl::SetView(IViewObject* view) {
    ReleaseAndClear(m_view);
    m_view = view;
}

IOleInPlaceObjectWindowless* CActiveXCtrl::GetWindowlessObject() const {
    // Only a pointer that came from the windowless query is stored while windowless.
    return m_windowless ? static_cast<IOleInPlaceObjectWindowless*>(m_inPlaceObject) : nullptr;
}

RECT CActiveXCtrl::ObjectRect() const {
    RECT rect = m_owner != nullptr ? m_owner->GetBounds() : RECT{};
    if (!m_windowless) rect = RECT{0, 0, rect.right - rect.left, rect.bottom - rect.top};
    return rect;
}

HWND CActiveXCtrl::HostWindow() const {
    return m_owner != nullptr ? m_owner->m_hostWindow : nullptr;
}

void CActiveXCtrl::ReleaseInPlaceObject() {
    ReleaseAndClear(m_inPlaceObject);
}

void CActiveXCtrl::DestroyActiveXWnd() {
    CActiveXWnd* window = m_window;
    if (window == nullptr) return;
    m_window = nullptr;
    if (m_owner != nullptr && m_owner->m_hostWindow == window->GetHWND()) m_owner->m_hostWindow = nullptr;
    delete window;  // destroys the window without calling the object again
}

HRESULT CActiveXCtrl::CreateActiveXWnd() {
    if (m_window != nullptr) return S_OK;
    if (m_owner == nullptr) return E_UNEXPECTED;
    auto* window = new (std::nothrow) CActiveXWnd(this);
    if (window == nullptr) return E_OUTOFMEMORY;
    const HWND hwnd = window->Init(m_owner->PaintWindow());
    if (hwnd == nullptr) {
        delete window;
        return E_FAIL;
    }
    m_window = window;
    m_owner->m_hostWindow = hwnd;
    return S_OK;
}

// ---- IUnknown ----

HRESULT CActiveXCtrl::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleInPlaceSiteWindowless || iid == IID_IOleInPlaceSiteEx ||
        iid == IID_IOleInPlaceSite || iid == IID_IOleWindow) {
        *object = static_cast<IOleInPlaceSiteWindowless*>(this);
    } else if (iid == IID_IOleClientSite) {
        *object = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleControlSite) {
        *object = static_cast<IOleControlSite*>(this);
    } else if (iid == IID_IObjectWithSite) {
        *object = static_cast<IObjectWithSite*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CActiveXCtrl::AddRef() noexcept {
    return ++m_refs;
}

ULONG CActiveXCtrl::Release() noexcept {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

// ---- IOleClientSite ----

HRESULT CActiveXCtrl::SaveObject() noexcept {
    return E_NOTIMPL;
}

HRESULT CActiveXCtrl::GetMoniker(DWORD /*assign*/, DWORD /*which*/, IMoniker** moniker) noexcept {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT CActiveXCtrl::GetContainer(IOleContainer** container) noexcept {
    if (container == nullptr) return E_POINTER;
    *container = nullptr;
    if (m_siteUnknown != nullptr)
        return m_siteUnknown->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(container));
    return QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(container));
}

HRESULT CActiveXCtrl::ShowObject() noexcept {
    if (m_owner == nullptr) return E_UNEXPECTED;
    const HWND host = HostWindow();
    HDC hdc = host != nullptr ? ::GetDC(host) : nullptr;
    if (hdc == nullptr) return E_FAIL;
    if (m_view != nullptr) {
        const RECT rect = ObjectRect();
        const RECTL bounds{rect.left, rect.top, rect.right, rect.bottom};
        m_view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, hdc, &bounds, &bounds, nullptr, 0);
    }
    ::ReleaseDC(host, hdc);
    return S_OK;
}

HRESULT CActiveXCtrl::OnShowWindow(BOOL /*show*/) noexcept {
    return E_NOTIMPL;
}

HRESULT CActiveXCtrl::RequestNewObjectLayout() noexcept {
    return E_NOTIMPL;
}

// ---- IOleWindow ----

HRESULT CActiveXCtrl::GetWindow(HWND* hwnd) noexcept {
    if (hwnd == nullptr) return E_POINTER;
    *hwnd = nullptr;
    if (m_owner == nullptr) return E_UNEXPECTED;
    if (m_owner->m_hostWindow == nullptr) CreateActiveXWnd();
    if (m_owner->m_hostWindow == nullptr) return E_FAIL;
    *hwnd = m_owner->m_hostWindow;
    return S_OK;
}

HRESULT CActiveXCtrl::ContextSensitiveHelp(BOOL /*enterMode*/) noexcept {
    return S_OK;
}

// ---- IOleInPlaceSite ----

HRESULT CActiveXCtrl::CanInPlaceActivate() noexcept {
    return S_OK;
}

HRESULT CActiveXCtrl::OnInPlaceActivate() noexcept {
    return OnInPlaceActivateEx(nullptr, 0);
}

HRESULT CActiveXCtrl::OnUIActivate() noexcept {
    m_uiActivated = true;
    return S_OK;
}

HRESULT CActiveXCtrl::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                       RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) noexcept {
    if (frame != nullptr) *frame = nullptr;
    if (document != nullptr) *document = nullptr;
    if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr) return E_POINTER;
    if (m_owner == nullptr) return E_UNEXPECTED;
    if (m_window != nullptr) {
        ::GetClientRect(m_window->GetHWND(), position);
        ::GetClientRect(m_window->GetHWND(), clip);
    }
    auto* made = new (std::nothrow) CActiveXFrameWnd(this);
    if (made == nullptr) return E_OUTOFMEMORY;
    *frame = made;
    if (frameInfo != nullptr) {
        if (m_accelerators == nullptr) {
            const ACCEL none{};
            m_accelerators = CreateAcceleratorTableW(&none, 1);
        }
        frameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
        frameInfo->fMDIApp = FALSE;
        frameInfo->hwndFrame = m_owner->PaintWindow();
        frameInfo->haccel = m_accelerators;
        frameInfo->cAccelEntries = 1;
    }
    return S_OK;
}

HRESULT CActiveXCtrl::Scroll(SIZE /*extent*/) noexcept {
    return E_NOTIMPL;
}

HRESULT CActiveXCtrl::OnUIDeactivate(BOOL /*undoable*/) noexcept {
    m_uiActivated = false;
    return S_OK;
}

HRESULT CActiveXCtrl::OnInPlaceDeactivate() noexcept {
    return OnInPlaceDeactivateEx(TRUE);
}

HRESULT CActiveXCtrl::DiscardUndoState() noexcept {
    return E_NOTIMPL;
}

HRESULT CActiveXCtrl::DeactivateAndUndo() noexcept {
    return E_NOTIMPL;
}

HRESULT CActiveXCtrl::OnPosRectChange(const RECT* /*position*/) noexcept {
    return E_NOTIMPL;
}

// ---- IOleInPlaceSiteEx ----

HRESULT CActiveXCtrl::OnInPlaceActivateEx(BOOL* /*noRedraw*/, DWORD flags) noexcept {
    if (m_owner == nullptr || m_owner->m_object == nullptr) return E_UNEXPECTED;
    HRESULT result = OleLockRunning(m_owner->m_object, TRUE, FALSE);
    // A second activation replaces what the first one handed over.
    ReleaseInPlaceObject();
    if (flags & ACTIVATE_WINDOWLESS) {
        m_windowless = true;
        IOleInPlaceObjectWindowless* windowless = nullptr;
        result =
            m_owner->m_object->QueryInterface(IID_IOleInPlaceObjectWindowless, reinterpret_cast<void**>(&windowless));
        m_inPlaceObject = SUCCEEDED(result) ? windowless : nullptr;
        if (m_inPlaceObject != nullptr) {
            m_owner->m_hostWindow = m_owner->PaintWindow();
            // Once per control, however often the object activates.
            if (CUIPaintManager* manager = m_owner->GetOwnerManager()) manager->AddMessageFilter(m_owner);
        }
    }
    if (!(flags & ACTIVATE_WINDOWLESS) || m_inPlaceObject == nullptr) {
        m_windowless = false;
        result = CreateActiveXWnd();
        if (FAILED(result)) return result;
        result = m_owner->m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_inPlaceObject));
        if (FAILED(result)) m_inPlaceObject = nullptr;
    }
    if (m_inPlaceObject != nullptr) {
        const RECT rect = ObjectRect();
        result = m_inPlaceObject->SetObjectRects(&rect, &rect);
    }
    m_inPlaceActive = SUCCEEDED(result);
    return result;
}

HRESULT CActiveXCtrl::OnInPlaceDeactivateEx(BOOL /*noRedraw*/) noexcept {
    m_inPlaceActive = false;
    ReleaseInPlaceObject();
    DestroyActiveXWnd();
    return S_OK;
}

HRESULT CActiveXCtrl::RequestUIActivate() noexcept {
    return S_OK;
}

// ---- IOleInPlaceSiteWindowless ----

HRESULT CActiveXCtrl::CanWindowlessActivate() noexcept {
    return S_OK;
}

HRESULT CActiveXCtrl::GetCapture() noexcept {
    return m_captured ? S_OK : S_FALSE;
}

HRESULT CActiveXCtrl::SetCapture(BOOL capture) noexcept {
    if (m_owner == nullptr) return E_UNEXPECTED;
    m_captured = capture == TRUE;
    if (capture) {
        ::SetCapture(HostWindow());
    } else {
        ::ReleaseCapture();
    }
    return S_OK;
}

HRESULT CActiveXCtrl::GetFocus() noexcept {
    return m_focused ? S_OK : S_FALSE;
}

HRESULT CActiveXCtrl::SetFocus(BOOL focus) noexcept {
    if (m_owner == nullptr) return E_UNEXPECTED;
    if (focus) m_owner->TakeFocus();
    m_focused = focus == TRUE;
    return S_OK;
}

HRESULT CActiveXCtrl::GetDC(const RECT* /*rect*/, DWORD flags, HDC* hdc) noexcept {
    if (hdc == nullptr) return E_POINTER;
    *hdc = nullptr;
    if (m_owner == nullptr) return E_UNEXPECTED;
    const HWND host = HostWindow();
    *hdc = host != nullptr ? ::GetDC(host) : nullptr;
    if (*hdc == nullptr) return E_FAIL;
    m_dcWindow = host;
    if (flags & OLEDC_PAINTBKGND) {
        const RECT rect = ObjectRect();
        FillRect(*hdc, &rect, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
    }
    return S_OK;
}

HRESULT CActiveXCtrl::ReleaseDC(HDC hdc) noexcept {
    // The window the DC came from, even when the control has let the site go since.
    const HWND window = m_dcWindow;
    m_dcWindow = nullptr;
    ::ReleaseDC(window, hdc);
    return S_OK;
}

HRESULT CActiveXCtrl::InvalidateRect(const RECT* rect, BOOL erase) noexcept {
    if (m_owner == nullptr) return E_UNEXPECTED;
    const HWND host = HostWindow();
    if (host == nullptr) return E_FAIL;
    return ::InvalidateRect(host, rect, erase) ? S_OK : E_FAIL;
}

HRESULT CActiveXCtrl::InvalidateRgn(HRGN region, BOOL erase) noexcept {
    if (m_owner == nullptr) return E_UNEXPECTED;
    const HWND host = HostWindow();
    if (host == nullptr) return E_FAIL;
    return ::InvalidateRgn(host, region, erase) ? S_OK : E_FAIL;
}

HRESULT CActiveXCtrl::ScrollRect(INT /*dx*/, INT /*dy*/, const RECT* /*scroll*/, const RECT* /*clip*/) noexcept {
    return S_OK;
}

HRESULT CActiveXCtrl::AdjustRect(RECT* /*rect*/) noexcept {
    return S_OK;
}

HRESULT CActiveXCtrl::OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) noexcept {
    if (result == nullptr) return E_POINTER;
    *result = 0;
    if (m_owner == nullptr) return E_UNEXPECTED;
    *result = ::DefWindowProcW(HostWindow(), message, wParam, lParam);
    return S_OK;
}

// ---- IOleControlSite ----

HRESULT CActiveXCtrl::OnControlInfoChanged() noexcept {
    return S_OK;
}

HRESULT CActiveXCtrl::LockInPlaceActive(BOOL /*lock*/) noexcept {
    return S_OK;
}

HRESULT CActiveXCtrl::GetExtendedControl(IDispatch** control) noexcept {
    if (control == nullptr) return E_POINTER;
    *control = nullptr;
    if (m_owner == nullptr || m_owner->m_object == nullptr) return E_UNEXPECTED;
    return m_owner->m_object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(control));
}

HRESULT CActiveXCtrl::TransformCoords(POINTL* /*himetric*/, POINTF* /*container*/, DWORD /*flags*/) noexcept {
    return S_OK;
}

HRESULT CActiveXCtrl::TranslateAccelerator(MSG* /*message*/, DWORD /*modifiers*/) noexcept {
    return S_FALSE;
}

HRESULT CActiveXCtrl::OnFocus(BOOL gotFocus) noexcept {
    m_focused = gotFocus == TRUE;
    return S_OK;
}

HRESULT CActiveXCtrl::ShowPropertyFrame() noexcept {
    return E_NOTIMPL;
}

// ---- IObjectWithSite ----

HRESULT CActiveXCtrl::SetSite(IUnknown* site) noexcept {
    if (site != nullptr) site->AddRef();
    ReleaseAndClear(m_siteUnknown);
    m_siteUnknown = site;
    return S_OK;
}

HRESULT CActiveXCtrl::GetSite(REFIID iid, void** site) noexcept {
    if (site == nullptr) return E_POINTER;
    *site = nullptr;
    if (m_siteUnknown == nullptr) return E_FAIL;
    return m_siteUnknown->QueryInterface(iid, site);
}

// ---- CActiveXFrameWnd ----

CActiveXFrameWnd::CActiveXFrameWnd(CActiveXCtrl* site) : m_site(site) {
    m_site->AddRef();
}

CActiveXFrameWnd::~CActiveXFrameWnd() {
    ReleaseAndClear(m_activeObject);
    m_site->Release();
}

HRESULT CActiveXFrameWnd::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleWindow || iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
        *object = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG CActiveXFrameWnd::AddRef() noexcept {
    return ++m_refs;
}

ULONG CActiveXFrameWnd::Release() noexcept {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT CActiveXFrameWnd::GetWindow(HWND* hwnd) noexcept {
    if (hwnd == nullptr) return E_POINTER;
    *hwnd = nullptr;
    CActiveXUI* owner = m_site->GetOwner();
    if (owner == nullptr) return E_UNEXPECTED;
    *hwnd = owner->PaintWindow();
    return S_OK;
}

HRESULT CActiveXFrameWnd::ContextSensitiveHelp(BOOL /*enterMode*/) noexcept {
    return S_OK;
}

HRESULT CActiveXFrameWnd::GetBorder(RECT* /*border*/) noexcept {
    return S_OK;
}

HRESULT CActiveXFrameWnd::RequestBorderSpace(const RECT* /*widths*/) noexcept {
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT CActiveXFrameWnd::SetBorderSpace(const RECT* /*widths*/) noexcept {
    return S_OK;
}

HRESULT CActiveXFrameWnd::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR /*name*/) noexcept {
    if (object != nullptr) object->AddRef();
    ReleaseAndClear(m_activeObject);
    m_activeObject = object;
    return S_OK;
}

HRESULT CActiveXFrameWnd::InsertMenus(HMENU /*shared*/, OLEMENUGROUPWIDTHS* /*widths*/) noexcept {
    return S_OK;
}

HRESULT CActiveXFrameWnd::SetMenu(HMENU /*shared*/, HOLEMENU /*descriptor*/, HWND /*activeObject*/) noexcept {
    return S_OK;
}

HRESULT CActiveXFrameWnd::RemoveMenus(HMENU /*shared*/) noexcept {
    return S_OK;
}

HRESULT CActiveXFrameWnd::SetStatusText(LPCOLESTR /*text*/) noexcept {
    return S_OK;
}

HRESULT CActiveXFrameWnd::EnableModeless(BOOL /*enable*/) noexcept {
    return S_OK;
}

HRESULT CActiveXFrameWnd::TranslateAccelerator(MSG* /*message*/, WORD /*id*/) noexcept {
    return S_FALSE;
}

}  // namespace SkinUI
