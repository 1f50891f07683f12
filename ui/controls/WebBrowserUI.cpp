#include "ui/controls/WebBrowserUI.h"

#include <initializer_list>
#include <string>

#include "platform/com/ComPtr.h"
#include "platform/window/WinMessages.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

namespace {

constexpr VARTYPE kVariantRef = VT_BYREF | VT_VARIANT;
constexpr VARTYPE kBoolRef = VT_BYREF | VT_BOOL;

// Argument `index` of an event in call order (the block stores them last first).
VARIANT& Argument(DISPPARAMS& params, UINT index) {
    return params.rgvarg[params.cArgs - 1 - index];
}

// S_OK when the block holds exactly these types in call order, references not null.
HRESULT CheckArguments(const DISPPARAMS* params, std::initializer_list<VARTYPE> types) {
    if (params == nullptr || params->cArgs != types.size() || (params->cArgs > 0 && params->rgvarg == nullptr)) {
        return DISP_E_BADPARAMCOUNT;
    }
    UINT index = 0;
    for (VARTYPE type : types) {
        const VARIANT& value = params->rgvarg[params->cArgs - 1 - index++];
        const bool accepted = value.vt == type || (type == VT_I4 && value.vt == VT_UI4);
        if (!accepted || ((type & VT_BYREF) && value.byref == nullptr)) return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

// Reads one property of a script's error event (the value itself is not kept).
HRESULT ReadErrorProperty(IDispatch* event, const wchar_t* name) {
    std::wstring text(name);
    LPOLESTR names[1] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT result = event->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
    if (FAILED(result)) return result;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT value;
    VariantInit(&value);
    result = event->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
    VariantClear(&value);
    return result;
}

}  // namespace

CWebBrowserUI::CWebBrowserUI() {
    m_clsid = CLSID_WebBrowser;
}

CWebBrowserUI::~CWebBrowserUI() {
    CWebBrowserUI::ReleaseControl();
}

const wchar_t* CWebBrowserUI::GetClassTag() const {
    return L"WebBrowserUI";
}

void* CWebBrowserUI::QueryFacet(std::wstring_view name) {
    if (name == L"WebBrowser") return this;
    return CActiveXUI::QueryFacet(name);
}

void CWebBrowserUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"homepage") {
        SetHomePage(value);
    } else if (name == L"autonavi") {
        SetAutoNavigate(value == L"true");
    } else {
        CActiveXUI::ApplyAttribute(name, value);
    }
}

void CWebBrowserUI::RemoveTranslator() {
    if (m_manager == nullptr) return;
    CUIPtrArray& translators = m_manager->Translators();
    const int index = translators.IndexOf(static_cast<ITranslateAccelerator*>(this));
    if (index >= 0) translators.RemoveAt(index);
}

void CWebBrowserUI::ReleaseControl() {
    m_created = false;
    RemoveTranslator();
    RegisterEventSink(false);
    if (IWebBrowser2* browser = m_browser) {
        m_browser = nullptr;
        browser->Release();
    }
    // The object, its site and the filter go too, or a new object would be made over them.
    CActiveXUI::ReleaseControl();
}

bool CWebBrowserUI::DoCreateControl() {
    if (!CActiveXUI::DoCreateControl()) return false;
    if (m_manager != nullptr) {
        CUIPtrArray& translators = m_manager->Translators();
        if (translators.IndexOf(static_cast<ITranslateAccelerator*>(this)) < 0) {
            translators.Append(static_cast<ITranslateAccelerator*>(this));
        }
    }
    GetControl(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser));
    // Connected before the first navigation, so its events arrive too.
    RegisterEventSink(true);
    if (m_autoNavigate && !m_homePage.IsEmpty()) NavigateTo(m_homePage.View());
    return true;
}

LRESULT CWebBrowserUI::FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message == WM_ERASEBKGND) {
        handled = true;
        return 1;
    }
    return CActiveXUI::FilterMessage(message, wParam, lParam, handled);
}

void CWebBrowserUI::NavigateTo(std::wstring_view url) {
    if (url.empty() || m_browser == nullptr) return;
    const std::wstring text(url);
    VARIANT target;
    VariantInit(&target);
    target.vt = VT_BSTR;
    target.bstrVal = SysAllocString(text.c_str());
    if (target.bstrVal == nullptr) return;
    VARIANT empty[4];
    for (VARIANT& each : empty)
        VariantInit(&each);
    const platform::ComPtr<IWebBrowser2> browser(m_browser);  // the browser's events may release it
    browser->Navigate2(&target, &empty[0], &empty[1], &empty[2], &empty[3]);
    VariantClear(&target);
}

HRESULT CWebBrowserUI::RegisterEventSink(bool advise) {
    if (!advise && m_cookie == 0) return S_FALSE;
    platform::ComPtr<IWebBrowser2> browser;
    HRESULT result = GetControl(IID_IWebBrowser2, browser.ReceiveVoid());
    if (FAILED(result)) return result;
    return AdviseEvents(browser.Get(), DIID_DWebBrowserEvents2, static_cast<IDispatch*>(this), advise, m_cookie);
}

HRESULT CWebBrowserUI::PreTranslate(MSG* message) {
    if (message == nullptr || message->message < WM_KEYFIRST || message->message > WM_KEYLAST) return S_FALSE;
    if (m_browser == nullptr) return E_NOTIMPL;
    return TranslateForObject(m_browser, message);
}

LRESULT CWebBrowserUI::TranslateAccelerator(MSG* message) {
    return PreTranslate(message);
}

HRESULT CWebBrowserUI::DownloadHook(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG bindFlags,
                                    BINDINFO* info, LPCOLESTR headers, LPCOLESTR redirect, UINT codePage) {
    if (m_handler == nullptr) return S_OK;
    return m_handler->Download(moniker, context, bindVerb, bindFlags, info, headers, redirect, codePage);
}

// ---- IUnknown ----

HRESULT CWebBrowserUI::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // One part answers for the object's identity, as every part must give the same one.
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
        *object = static_cast<IDispatch*>(this);
    } else if (iid == IID_IDocHostUIHandler) {
        *object = static_cast<IDocHostUIHandler*>(this);
    } else if (iid == IID_IServiceProvider) {
        *object = static_cast<IServiceProvider*>(this);
    } else if (iid == IID_IOleCommandTarget) {
        *object = static_cast<IOleCommandTarget*>(this);
    } else if (iid == IID_IDownloadManager) {
        *object = static_cast<IDownloadManager*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CWebBrowserUI::AddRef() noexcept {
    return ++m_refs;
}

ULONG CWebBrowserUI::Release() noexcept {
    return --m_refs;
}

// ---- IDocHostUIHandler ----

HRESULT CWebBrowserUI::ShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget, IDispatch* object) noexcept {
    return m_handler != nullptr ? m_handler->ShowContextMenu(id, point, commandTarget, object) : S_FALSE;
}

HRESULT CWebBrowserUI::GetHostInfo(DOCHOSTUIINFO* info) noexcept {
    return m_handler != nullptr ? m_handler->GetHostInfo(info) : E_NOTIMPL;
}

HRESULT CWebBrowserUI::ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                              IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) noexcept {
    return m_handler != nullptr ? m_handler->ShowUI(id, activeObject, commandTarget, frame, document) : E_NOTIMPL;
}

HRESULT CWebBrowserUI::HideUI() noexcept {
    return m_handler != nullptr ? m_handler->HideUI() : E_NOTIMPL;
}

HRESULT CWebBrowserUI::UpdateUI() noexcept {
    return m_handler != nullptr ? m_handler->UpdateUI() : E_NOTIMPL;
}

HRESULT CWebBrowserUI::EnableModeless(BOOL enable) noexcept {
    return m_handler != nullptr ? m_handler->EnableModeless(enable) : E_NOTIMPL;
}

HRESULT CWebBrowserUI::OnDocWindowActivate(BOOL activate) noexcept {
    return m_handler != nullptr ? m_handler->OnDocWindowActivate(activate) : E_NOTIMPL;
}

HRESULT CWebBrowserUI::OnFrameWindowActivate(BOOL activate) noexcept {
    return m_handler != nullptr ? m_handler->OnFrameWindowActivate(activate) : E_NOTIMPL;
}

HRESULT CWebBrowserUI::ResizeBorder(const RECT* border, IOleInPlaceUIWindow* window, BOOL frameWindow) noexcept {
    return m_handler != nullptr ? m_handler->ResizeBorder(border, window, frameWindow) : E_NOTIMPL;
}

HRESULT CWebBrowserUI::TranslateAccelerator(MSG* message, const GUID* group, DWORD command) noexcept {
    return m_handler != nullptr ? m_handler->TranslateAccelerator(message, group, command) : S_OK;
}

HRESULT CWebBrowserUI::GetOptionKeyPath(LPOLESTR* key, DWORD reserved) noexcept {
    if (m_handler != nullptr) return m_handler->GetOptionKeyPath(key, reserved);
    if (key != nullptr) *key = nullptr;
    return E_NOTIMPL;
}

HRESULT CWebBrowserUI::GetDropTarget(IDropTarget* target, IDropTarget** replacement) noexcept {
    if (m_handler != nullptr) return m_handler->GetDropTarget(target, replacement);
    if (replacement != nullptr) *replacement = nullptr;
    return S_FALSE;
}

HRESULT CWebBrowserUI::GetExternal(IDispatch** external) noexcept {
    if (m_handler != nullptr) return m_handler->GetExternal(external);
    if (external != nullptr) *external = nullptr;
    return S_FALSE;
}

HRESULT CWebBrowserUI::TranslateUrl(DWORD translate, LPOLESTR url, LPOLESTR* translated) noexcept {
    if (m_handler != nullptr) return m_handler->TranslateUrl(translate, url, translated);
    if (translated != nullptr) *translated = nullptr;
    return E_NOTIMPL;
}

HRESULT CWebBrowserUI::FilterDataObject(IDataObject* object, IDataObject** filtered) noexcept {
    if (m_handler != nullptr) return m_handler->FilterDataObject(object, filtered);
    if (filtered != nullptr) *filtered = nullptr;
    return E_NOTIMPL;
}

// ---- IServiceProvider ----

HRESULT CWebBrowserUI::QueryService(REFGUID service, REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (service == SID_SDownloadManager && iid == IID_IDownloadManager) {
        *object = static_cast<IDownloadManager*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

// ---- IOleCommandTarget ----

HRESULT CWebBrowserUI::QueryStatus(const GUID* /*group*/, ULONG /*count*/, OLECMD* /*commands*/,
                                   OLECMDTEXT* /*text*/) noexcept {
    return OLECMDERR_E_NOTSUPPORTED;
}

HRESULT CWebBrowserUI::Exec(const GUID* group, DWORD command, DWORD /*options*/, VARIANT* in, VARIANT* out) noexcept {
    return OnScriptError(group, command, in, out);
}

HRESULT CWebBrowserUI::OnScriptError(const GUID* group, DWORD command, VARIANT* in, VARIANT* out) {
    if (group == nullptr || !(*group == CGID_DocHostCommandHandler)) return OLECMDERR_E_UNKNOWNGROUP;
    if (command != OLECMDID_SHOWSCRIPTERROR) return OLECMDERR_E_NOTSUPPORTED;
    if (out == nullptr) return E_INVALIDARG;
    // The error's details are read as the browser expects its host to; only a document
    // that really came with the command is asked.
    IUnknown* document = nullptr;
    if (in != nullptr && (in->vt == VT_UNKNOWN || in->vt == VT_DISPATCH)) document = in->punkVal;
    platform::ComPtr<IHTMLDocument2> html;
    if (document != nullptr) document->QueryInterface(IID_IHTMLDocument2, html.ReceiveVoid());
    platform::ComPtr<IHTMLWindow2> window;
    if (html) html->get_parentWindow(window.Receive());
    platform::ComPtr<IHTMLEventObj> event;
    if (window) window->get_event(event.Receive());
    if (event) {
        for (const wchar_t* name : {L"errorLine", L"errorCharacter", L"errorCode", L"errorMessage", L"errorUrl"}) {
            ReadErrorProperty(event.Get(), name);
        }
    }
    out->vt = VT_BOOL;
    out->boolVal = VARIANT_TRUE;
    return S_OK;
}

// ---- IDispatch ----

HRESULT CWebBrowserUI::GetTypeInfoCount(UINT* count) noexcept {
    if (count != nullptr) *count = 0;
    return E_NOTIMPL;
}

HRESULT CWebBrowserUI::GetTypeInfo(UINT /*index*/, LCID /*locale*/, ITypeInfo** /*info*/) noexcept {
    return E_NOTIMPL;
}

HRESULT CWebBrowserUI::GetIDsOfNames(REFIID /*iid*/, LPOLESTR* /*names*/, UINT /*nameCount*/, LCID /*locale*/,
                                     DISPID* /*ids*/) noexcept {
    return E_NOTIMPL;
}

HRESULT CWebBrowserUI::Invoke(DISPID member, REFIID iid, LCID /*locale*/, WORD /*flags*/, DISPPARAMS* params,
                              VARIANT* /*result*/, EXCEPINFO* /*exception*/, UINT* /*argumentError*/) noexcept {
    if (!(iid == IID_NULL)) return E_INVALIDARG;
    HRESULT checked = S_OK;
    switch (member) {
        case DISPID_STATUSTEXTCHANGE:
            return E_NOTIMPL;
        case DISPID_COMMANDSTATECHANGE:
            if (m_handler == nullptr) return S_OK;
            checked = CheckArguments(params, {VT_I4, VT_BOOL});
            if (FAILED(checked)) return checked;
            m_handler->CommandStateChange(Argument(*params, 0).lVal, Argument(*params, 1).boolVal);
            return S_OK;
        case DISPID_BEFORENAVIGATE2:
            if (m_handler == nullptr) return S_OK;
            checked = CheckArguments(
                params, {VT_DISPATCH, kVariantRef, kVariantRef, kVariantRef, kVariantRef, kVariantRef, kBoolRef});
            if (FAILED(checked)) return checked;
            m_handler->BeforeNavigate2(Argument(*params, 0).pdispVal, Argument(*params, 1).pvarVal,
                                       Argument(*params, 2).pvarVal, Argument(*params, 3).pvarVal,
                                       Argument(*params, 4).pvarVal, Argument(*params, 5).pvarVal,
                                       Argument(*params, 6).pboolVal);
            return S_OK;
        case DISPID_NAVIGATECOMPLETE2:
            if (m_handler == nullptr) {
                OnNavigateComplete(nullptr, nullptr);
                return S_OK;
            }
            checked = CheckArguments(params, {VT_DISPATCH, kVariantRef});
            if (FAILED(checked)) return checked;
            OnNavigateComplete(Argument(*params, 0).pdispVal, Argument(*params, 1).pvarVal);
            return S_OK;
        case DISPID_NAVIGATEERROR:
            if (m_handler == nullptr) return S_OK;
            checked = CheckArguments(params, {VT_DISPATCH, kVariantRef, kVariantRef, kVariantRef, kBoolRef});
            if (FAILED(checked)) return checked;
            m_handler->NavigateError(Argument(*params, 0).pdispVal, Argument(*params, 1).pvarVal,
                                     Argument(*params, 2).pvarVal, Argument(*params, 3).pvarVal,
                                     Argument(*params, 4).pboolVal);
            return S_OK;
        case DISPID_NEWWINDOW3:
            if (m_handler == nullptr) return S_OK;
            checked = CheckArguments(params, {VT_BYREF | VT_DISPATCH, kBoolRef, VT_I4, VT_BSTR, VT_BSTR});
            if (FAILED(checked)) return checked;
            m_handler->NewWindow3(Argument(*params, 0).ppdispVal, Argument(*params, 1).pboolVal,
                                  static_cast<DWORD>(Argument(*params, 2).lVal), Argument(*params, 3).bstrVal,
                                  Argument(*params, 4).bstrVal);
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

void CWebBrowserUI::OnNavigateComplete(IDispatch* browser, VARIANT* url) {
    if (m_browser != nullptr) {
        platform::ComPtr<IDispatch> document;
        if (SUCCEEDED(m_browser->get_Document(document.Receive())) && document) {
            if (platform::ComPtr<ICustomDoc> custom = document.As<ICustomDoc>(IID_ICustomDoc)) {
                custom->SetUIHandler(static_cast<IDocHostUIHandler*>(this));
            }
        }
    }
    if (m_handler != nullptr) m_handler->NavigateComplete2(browser, url);
}

// ---- IDownloadManager ----

HRESULT CWebBrowserUI::Download(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG bindFlags, BINDINFO* info,
                                LPCOLESTR headers, LPCOLESTR redirect, UINT codePage) noexcept {
    return DownloadHook(moniker, context, bindVerb, bindFlags, info, headers, redirect, codePage);
}

}  // namespace SkinUI
