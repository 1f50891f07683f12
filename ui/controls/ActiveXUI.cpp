#include "ui/controls/ActiveXUI.h"

#include <string>

#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ConnectionPoint.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/Focus.h"
#include "platform/window/Paint.h"
#include "platform/window/Screen.h"
#include "platform/window/WinMessages.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/controls/ActiveXCtrl.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

namespace {

// Longest class text that is read; a braced class id needs 38.
constexpr std::size_t kMaxClassText = 99;

// Message ranges the filter tells apart.
constexpr UINT kFirstMouseMessage = 0x200;
constexpr UINT kLastMouseMessage = 0x20D;
constexpr UINT kFirstKeyMessage = 0x100;
constexpr UINT kLastKeyMessage = 0x109;

bool IsMouseMessage(UINT message) {
    return message >= kFirstMouseMessage && message <= kLastMouseMessage;
}

// Frees a module that served an object once it says none of its objects is left; one
// without that answer stays loaded, as its objects may still be somewhere.
void FreeModuleWhenUnused(HMODULE module) {
    if (module == nullptr) return;
    auto canUnload = reinterpret_cast<DllCanUnloadNowFn>(GetProcAddress(module, "DllCanUnloadNow"));
    if (canUnload != nullptr && canUnload() == S_OK) FreeLibrary(module);
}

}  // namespace

CActiveXUI::CActiveXUI() = default;

CActiveXUI::~CActiveXUI() {
    CActiveXUI::ReleaseControl();
}

const wchar_t* CActiveXUI::GetClassTag() const {
    return L"ActiveXUI";
}

void* CActiveXUI::QueryFacet(std::wstring_view name) {
    if (name == L"ActiveX") return this;
    return CControlUI::QueryFacet(name);
}

HWND CActiveXUI::PaintWindow() const {
    return m_manager != nullptr ? m_manager->GetPaintWindow() : nullptr;
}

bool CActiveXUI::CanCreateNow() const {
    return !(m_clsid == CLSID_NULL) && PaintWindow() != nullptr;
}

bool CActiveXUI::IsFocusInHostWindow() const {
    if (m_hostWindow == nullptr) return false;
    constexpr int kMaxDepth = 256;  // window trees are never this deep; a loop must not hang us
    HWND window = GetFocus();
    for (int depth = 0; window != nullptr && depth < kMaxDepth; ++depth) {
        if (window == m_hostWindow) return true;
        window = GetParent(window);
    }
    return false;
}

HRESULT CActiveXUI::TranslateForObject(IUnknown* object, MSG* message) const {
    if (object == nullptr || message == nullptr || !IsFocusInHostWindow()) return S_FALSE;
    platform::ComPtr<IOleInPlaceActiveObject> active;
    if (FAILED(object->QueryInterface(IID_IOleInPlaceActiveObject, active.ReceiveVoid())) || !active) return S_FALSE;
    return active->TranslateAccelerator(message);
}

HRESULT CActiveXUI::AdviseEvents(IUnknown* object, REFIID events, IDispatch* sink, bool advise, DWORD& cookie) {
    platform::ComPtr<IConnectionPointContainer> container;
    HRESULT result = object->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid());
    if (FAILED(result)) return result;
    platform::ComPtr<IConnectionPoint> point;
    result = container->FindConnectionPoint(events, point.Receive());
    if (FAILED(result)) return result;
    if (advise) return point->Advise(sink, &cookie);
    const DWORD connection = cookie;
    cookie = 0;
    return point->Unadvise(connection);
}

SIZEL CActiveXUI::PixelToHiMetric(SIZE pixels) {
    constexpr int kHiMetricPerInch = 2540;
    HDC screen = GetDC(nullptr);
    const int dpiX = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    const int dpiY = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return SIZEL{MulDiv(pixels.cx, kHiMetricPerInch, dpiX > 0 ? dpiX : 96),
                 MulDiv(pixels.cy, kHiMetricPerInch, dpiY > 0 ? dpiY : 96)};
}

void CActiveXUI::SetBounds(const RECT& bounds) {
    CControlUI::SetBounds(bounds);
    if (!m_created && CanCreateNow()) DoCreateControl();
    ApplyPlacement();
}

void CActiveXUI::ApplyPlacement() {
    if (m_object == nullptr || m_site == nullptr) return;
    const RECT& rect = GetBounds();
    SIZEL extent = PixelToHiMetric(SIZE{rect.right - rect.left, rect.bottom - rect.top});
    m_object->SetExtent(DVASPECT_CONTENT, &extent);
    if (m_site == nullptr) return;  // the object may have let us go meanwhile
    if (IOleInPlaceObject* inPlace = m_site->GetInPlaceObject()) {
        RECT position = rect;
        if (!m_site->IsWindowless()) position = RECT{0, 0, rect.right - rect.left, rect.bottom - rect.top};
        inPlace->SetObjectRects(&position, &position);
    }
    if (m_site != nullptr && !m_site->IsWindowless() && m_hostWindow != nullptr) {
        MoveWindow(m_hostWindow, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }
}

void CActiveXUI::ShowHostWindow() {
    if (m_site != nullptr && !m_site->IsWindowless() && m_hostWindow != nullptr) {
        ShowWindow(m_hostWindow, IsShown() ? SW_SHOW : SW_HIDE);
    }
}

void CActiveXUI::Show(bool show) {
    CControlUI::Show(show);
    ShowHostWindow();
}

void CActiveXUI::SetShownByParent(bool shown) {
    CControlUI::SetShownByParent(shown);
    ShowHostWindow();
}

void CActiveXUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"clsid") {
        SetCLSID(value);
    } else if (name == L"modulename") {
        SetModuleName(value);
    } else if (name == L"delaycreate") {
        SetDelayCreate(value == L"true");
    } else {
        CControlUI::ApplyAttribute(name, value);
    }
}

bool CActiveXUI::Render(HDC hdc, const RECT& paintRect) {
    if (!IntersectRects(&m_paintRect, paintRect, m_bounds)) return false;
    if (m_site != nullptr && m_site->IsWindowless() && m_site->GetView() != nullptr) {
        const RECTL bounds{m_bounds.left, m_bounds.top, m_bounds.right, m_bounds.bottom};
        m_site->GetView()->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, hdc, &bounds, &bounds, nullptr, 0);
    }
    return true;
}

bool CActiveXUI::SetCLSID(std::wstring_view text) {
    const std::wstring limited(text.substr(0, kMaxClassText));
    CLSID clsid = CLSID_NULL;
    if (!limited.empty() && limited[0] == L'{') {
        CLSIDFromString(limited.c_str(), &clsid);
    } else {
        CLSIDFromProgID(limited.c_str(), &clsid);
    }
    return CreateControl(clsid);
}

bool CActiveXUI::CreateControl(const CLSID& clsid) {
    if (clsid == CLSID_NULL) return false;
    m_clsid = clsid;
    m_created = false;
    if (!m_delayCreate && CanCreateNow()) DoCreateControl();
    return true;
}

void CActiveXUI::SetDelayCreate(bool delay) {
    if (m_delayCreate == delay) return;
    m_delayCreate = delay;
    if (!delay && !m_created && CanCreateNow()) DoCreateControl();
}

HRESULT CActiveXUI::GetControl(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (m_object == nullptr) return E_PENDING;
    return m_object->QueryInterface(iid, object);
}

bool CActiveXUI::CreateFromModule(IOleObject** object) {
    *object = nullptr;
    if (m_moduleName.IsEmpty()) return false;
    const std::wstring name(m_moduleName.View());
    HMODULE module = LoadLibraryW(name.c_str());
    if (module == nullptr) return false;
    auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(GetProcAddress(module, "DllGetClassObject"));
    platform::ComPtr<IClassFactory> factory;
    if (getClassObject == nullptr || FAILED(getClassObject(m_clsid, IID_IClassFactory, factory.ReceiveVoid())) ||
        !factory) {
        factory.Reset();
        FreeModuleWhenUnused(module);
        return false;
    }
    const HRESULT created = factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(object));
    factory.Reset();
    if (FAILED(created) || *object == nullptr) {
        *object = nullptr;
        FreeModuleWhenUnused(module);
        return false;
    }
    m_module = module;
    return true;
}

bool CActiveXUI::DoCreateControl() {
    ReleaseControl();
    m_created = true;

    IOleObject* object = nullptr;
    if (!CreateFromModule(&object)) {
        platform::ComPtr<IUnknown> control;
        if (FAILED(CoCreateInstance(m_clsid, nullptr, CLSCTX_ALL, IID_IOleControl, control.ReceiveVoid())) ||
            !control) {
            return false;
        }
        if (FAILED(control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object))) || object == nullptr) {
            return false;
        }
    }
    m_object = object;

    m_site = new CActiveXCtrl(this);
    DWORD status = 0;
    m_object->GetMiscStatus(DVASPECT_CONTENT, &status);
    platform::ComPtr<IOleClientSite> clientSite;
    m_site->QueryInterface(IID_IOleClientSite, clientSite.ReceiveVoid());
    const platform::ComPtr<IOleObject> keepObject(m_object);  // the calls below may reach ReleaseControl

    HRESULT result = S_OK;
    if (status & OLEMISC_SETCLIENTSITEFIRST) result = m_object->SetClientSite(clientSite.Get());
    if (platform::ComPtr<IPersistStreamInit> persist = keepObject.As<IPersistStreamInit>(IID_IPersistStreamInit)) {
        result = persist->InitNew();
        if (FAILED(result)) return false;
    }
    if (!(status & OLEMISC_SETCLIENTSITEFIRST)) result = m_object->SetClientSite(clientSite.Get());

    IViewObject* view = nullptr;
    if (FAILED(m_object->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&view))) &&
        FAILED(m_object->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view))) &&
        FAILED(m_object->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)))) {
        view = nullptr;
    }
    m_site->SetView(view);

    result = m_object->SetHostNames(L"UIActiveX", nullptr);
    if (m_manager != nullptr) m_manager->RaiseNotify(this, L"showactivex");
    // A receiver may have released or replaced the object.
    if (m_object != keepObject.Get() || m_site == nullptr) return false;

    if (!(status & OLEMISC_INVISIBLEATRUNTIME)) {
        const RECT bounds = GetBounds();
        result = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite.Get(), 0, PaintWindow(), &bounds);
        if (m_object != keepObject.Get() || m_site == nullptr) return false;
    }
    if (platform::ComPtr<IObjectWithSite> withSite = keepObject.As<IObjectWithSite>(IID_IObjectWithSite)) {
        withSite->SetSite(clientSite.Get());
    }
    return SUCCEEDED(result);
}

void CActiveXUI::ReleaseControl() {
    m_hostWindow = nullptr;
    if (IOleObject* object = m_object) {
        m_object = nullptr;
        if (platform::ComPtr<IObjectWithSite> withSite =
                platform::ComPtr<IOleObject>(object).As<IObjectWithSite>(IID_IObjectWithSite)) {
            withSite->SetSite(nullptr);
        }
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
        object->Release();
    }
    if (CActiveXCtrl* site = m_site) {
        m_site = nullptr;
        site->Detach();
        site->Release();
    }
    if (m_manager != nullptr) m_manager->RemoveMessageFilter(this);
    if (HMODULE module = m_module) {
        m_module = nullptr;
        FreeModuleWhenUnused(module);
    }
}

LRESULT CActiveXUI::FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (m_site == nullptr || !m_site->IsInPlaceActive()) return 0;
    // A hidden object keeps its old place, where other controls may be now.
    if (!IsShown()) return 0;
    // Held through the call: the object may leave in-place activation while it handles it.
    const platform::ComPtr<IOleInPlaceObjectWindowless> windowless(m_site->GetWindowlessObject());
    if (!windowless) return 0;
    const bool mouse = IsMouseMessage(message);
    if (mouse && !AcceptsMouse()) return 0;

    bool markHandled = true;
    if (mouse || message == WM_SETCURSOR) {
        bool hit = m_site->IsCaptured();
        if (!hit) {
            platform::ComPtr<IViewObjectEx> view;
            if (m_site->GetView() != nullptr) {
                m_site->GetView()->QueryInterface(IID_IViewObjectEx, view.ReceiveVoid());
            }
            if (view) {
                POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                // These carry no client point: the set-cursor message carries a hit-test
                // code, the wheel a screen position.
                if (message == WM_SETCURSOR) {
                    GetCursorPos(&point);
                    ScreenToClient(PaintWindow(), &point);
                } else if (message == WM_MOUSEWHEEL) {
                    ScreenToClient(PaintWindow(), &point);
                }
                DWORD result = HITRESULT_OUTSIDE;
                view->QueryHitPoint(DVASPECT_CONTENT, &m_bounds, point, 0, &result);
                hit = result == HITRESULT_HIT;
            }
        }
        if (!hit) return 0;
        if (message == WM_SETCURSOR) markHandled = false;
    } else if (message >= kFirstKeyMessage && message <= kLastKeyMessage) {
        if (!HasFocus()) return 0;
    } else if (message == WM_HELP || message == WM_CONTEXTMENU) {
        markHandled = false;
    } else {
        return 0;
    }

    LRESULT result = 0;
    const HRESULT answer = windowless->OnWindowMessage(message, wParam, lParam, &result);
    if (answer == S_OK && markHandled) handled = true;
    return result;
}

}  // namespace SkinUI
