#include "platform/webengine/WebBrowserObject.h"

#include "platform/strings/StringConv.h"
#include "platform/window/NativeWindow.h"

namespace platform::webengine {

namespace {

constexpr VARTYPE kVariantRef = VT_BYREF | VT_VARIANT;

VARIANT Empty() {
    VARIANT value;
    VariantInit(&value);
    return value;
}

// A variant owning a copy of `text`; VariantClear frees it.
VARIANT Text(const std::wstring& text) {
    VARIANT value = Empty();
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(text.c_str());
    return value;
}

VARIANT RefTo(VARIANT* target) {
    VARIANT value = Empty();
    value.vt = kVariantRef;
    value.pvarVal = target;
    return value;
}

Message Command(MessageType type) {
    Message message;
    message.type = type;
    return message;
}

// An HTTP status goes to the host as it is, as the system's browser gives it.
HRESULT StatusOf(std::int64_t failure) {
    if (failure >= kFirstHttpError && failure <= kLastHttpError) return static_cast<HRESULT>(failure);
    return failure == static_cast<std::int64_t>(LoadFailure::NotFound) ? INET_E_RESOURCE_NOT_FOUND
                                                                       : INET_E_DOWNLOAD_FAILURE;
}

HRESULT CopyOut(const std::wstring& text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = SysAllocString(text.c_str());
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

ComPtr<WebBrowserObject> WebBrowserObject::Create(const std::string& helperProgram, const std::string& display) {
    auto object = ComPtr<WebBrowserObject>::Adopt(new WebBrowserObject());
    object->m_helper = WebHelperConnection::Start(helperProgram, display, object.Get());
    if (!object->m_helper) return nullptr;
    return object;
}

WebBrowserObject::WebBrowserObject() : m_events(CDispatchConnectionPoint::Create(this, DIID_DWebBrowserEvents2)) {}

WebBrowserObject::~WebBrowserObject() {
    Shut();
    m_events->DetachContainer();
    m_events->DisconnectAll();
}

// ---- IUnknown ----

HRESULT WebBrowserObject::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleObject) {
        *object = static_cast<IOleObject*>(this);
    } else if (iid == IID_IOleControl) {
        *object = static_cast<IOleControl*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
        *object = static_cast<IOleInPlaceObject*>(this);
    } else if (iid == IID_IOleInPlaceActiveObject) {
        *object = static_cast<IOleInPlaceActiveObject*>(this);
    } else if (iid == IID_IWebBrowser2 || iid == IID_IDispatch) {
        *object = static_cast<IWebBrowser2*>(this);
    } else if (iid == IID_IConnectionPointContainer) {
        *object = static_cast<IConnectionPointContainer*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG WebBrowserObject::AddRef() noexcept {
    return ++m_refs;
}

ULONG WebBrowserObject::Release() noexcept {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

// ---- IOleObject ----

HRESULT WebBrowserObject::SetClientSite(IOleClientSite* site) noexcept {
    m_clientSite = ComPtr<IOleClientSite>(site);
    return S_OK;
}

HRESULT WebBrowserObject::SetHostNames(LPCOLESTR, LPCOLESTR) noexcept {
    return S_OK;
}

HRESULT WebBrowserObject::Close(DWORD) noexcept {
    const ComPtr<WebBrowserObject> self(this);  // the site's calls may release us
    Shut();
    return S_OK;
}

void WebBrowserObject::Shut() {
    if (m_closed) return;
    m_closed = true;
    DeactivateInPlace();
    m_helper.reset();
    m_pending.reset();
    if (m_document) m_document->Detach();
    m_document.Reset();
}

HRESULT WebBrowserObject::DoVerb(LONG verb, MSG*, IOleClientSite* site, LONG, HWND, const RECT*) noexcept {
    if (m_closed) return E_UNEXPECTED;
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
            return ActivateInPlace(site);
        case OLEIVERB_UIACTIVATE: {
            const HRESULT result = ActivateInPlace(site);
            if (FAILED(result) || m_uiActive || !m_inPlaceSite) return result;
            m_uiActive = true;
            const ComPtr<IOleInPlaceSite> inPlace = m_inPlaceSite;
            return inPlace->OnUIActivate();
        }
        case OLEIVERB_HIDE:
            return S_OK;  // the host hides its own window, and the view with it
        default:
            return E_NOTIMPL;
    }
}

HRESULT WebBrowserObject::SetExtent(DWORD, SIZEL* size) noexcept {
    return size != nullptr ? S_OK : E_INVALIDARG;  // the view takes the host window's size, whatever this says
}

HRESULT WebBrowserObject::GetMiscStatus(DWORD, DWORD* status) noexcept {
    if (status == nullptr) return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE;
    return S_OK;
}

HRESULT WebBrowserObject::ActivateInPlace(IOleClientSite* site) {
    if (m_inPlaceSite) return S_OK;
    const ComPtr<IOleClientSite> client = site != nullptr ? ComPtr<IOleClientSite>(site) : m_clientSite;
    if (!client) return E_UNEXPECTED;
    const auto inPlace = client.As<IOleInPlaceSite>(IID_IOleInPlaceSite);
    if (!inPlace) return E_NOINTERFACE;
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
    m_inPlaceSite = inPlace;
    HRESULT result = inPlace->OnInPlaceActivate();
    HWND hwnd = nullptr;
    if (SUCCEEDED(result)) result = inPlace->GetWindow(&hwnd);
    if (FAILED(result) || hwnd == nullptr || m_inPlaceSite.Get() != inPlace.Get()) {
        DeactivateInPlace();
        return FAILED(result) ? result : E_FAIL;
    }
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT position{};
    RECT clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof(info);
    if (SUCCEEDED(inPlace->GetWindowContext(&frame, &document, &position, &clip, &info))) {
        m_frame.Attach(frame);
        if (document != nullptr) document->Release();
    }
    if (m_frame) m_frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    m_hostWindow = hwnd;
    Embed();
    return S_OK;
}

void WebBrowserObject::DeactivateInPlace() {
    const ComPtr<IOleInPlaceSite> site = std::move(m_inPlaceSite);
    m_inPlaceSite.Reset();
    // The host's window goes now; the display hands the view back before it does.
    m_hostWindow = nullptr;
    m_embedded = false;
    if (site) {
        if (m_uiActive) site->OnUIDeactivate(FALSE);
        site->OnInPlaceDeactivate();
    }
    m_uiActive = false;
    if (const ComPtr<IOleInPlaceFrame> frame = std::move(m_frame)) frame->SetActiveObject(nullptr, nullptr);
    m_frame.Reset();
}

void WebBrowserObject::Embed() {
    if (m_embedded || m_hostWindow == nullptr || m_view == 0) return;
    m_embedded = EmbedNativeClient(m_hostWindow, m_view);
}

// ---- IOleInPlaceObject, IOleInPlaceActiveObject ----

HRESULT WebBrowserObject::GetWindow(HWND* hwnd) noexcept {
    if (hwnd == nullptr) return E_POINTER;
    *hwnd = m_hostWindow;
    return m_hostWindow != nullptr ? S_OK : E_FAIL;
}

HRESULT WebBrowserObject::ContextSensitiveHelp(BOOL) noexcept {
    return E_NOTIMPL;
}

HRESULT WebBrowserObject::SetObjectRects(const RECT* position, const RECT* clip) noexcept {
    return position != nullptr && clip != nullptr ? S_OK : E_INVALIDARG;
}

HRESULT WebBrowserObject::TranslateAccelerator(MSG*) noexcept {
    return S_FALSE;
}

// ---- IDispatch ----

HRESULT WebBrowserObject::GetTypeInfoCount(UINT* count) noexcept {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT WebBrowserObject::GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept {
    return E_NOTIMPL;
}

HRESULT WebBrowserObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept {
    return DISP_E_UNKNOWNNAME;
}

HRESULT WebBrowserObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept {
    return DISP_E_MEMBERNOTFOUND;
}

// ---- IWebBrowser2 ----

HRESULT WebBrowserObject::Navigate2(VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) noexcept {
    if (url == nullptr || url->vt != VT_BSTR || url->bstrVal == nullptr) return E_INVALIDARG;
    const std::wstring address(url->bstrVal, SysStringLen(url->bstrVal));
    return StartNavigation(Message{MessageType::Navigate, 0, 0, Utf8FromWide(address)}, address);
}

HRESULT WebBrowserObject::StartNavigation(const Message& command, const std::wstring& url) {
    if (m_closed) return E_UNEXPECTED;
    if (m_helperGone) {
        const ComPtr<WebBrowserObject> self(this);
        ReportFailure(url, INET_E_DOWNLOAD_FAILURE);
        return E_FAIL;
    }
    // Should the engine die before the page arrives, the notice of its end reports this one.
    m_pending = url;
    m_helper->Send(command);
    return S_OK;
}

HRESULT WebBrowserObject::get_Document(IDispatch** document) noexcept {
    if (document == nullptr) return E_POINTER;
    *document = m_document ? static_cast<IHTMLDocument2*>(m_document.Get()) : nullptr;
    if (*document != nullptr) (*document)->AddRef();
    return S_OK;
}

HRESULT WebBrowserObject::GoBack() noexcept {
    if (!(m_history & kCanGoBack) || m_helperGone || m_closed) return E_FAIL;
    return StartNavigation(Command(MessageType::GoBack), m_url);
}

HRESULT WebBrowserObject::GoForward() noexcept {
    if (!(m_history & kCanGoForward) || m_helperGone || m_closed) return E_FAIL;
    return StartNavigation(Command(MessageType::GoForward), m_url);
}

HRESULT WebBrowserObject::Refresh() noexcept {
    if (m_url.empty()) return S_OK;  // nothing shown yet, nothing to show again
    return StartNavigation(Command(MessageType::Refresh), m_url);
}

HRESULT WebBrowserObject::Stop() noexcept {
    if (m_closed) return E_UNEXPECTED;
    m_pending.reset();
    if (m_helper) m_helper->Send(Command(MessageType::Stop));
    return S_OK;
}

HRESULT WebBrowserObject::get_LocationName(BSTR* name) noexcept {
    return CopyOut(m_title, name);
}

HRESULT WebBrowserObject::get_LocationURL(BSTR* url) noexcept {
    return CopyOut(m_url, url);
}

// ---- IConnectionPointContainer ----

HRESULT WebBrowserObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    if (!(iid == DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
    m_events->AddRef();
    *point = m_events.Get();
    return S_OK;
}

// ---- the helper's messages ----

void WebBrowserObject::OnHelperMessage(const Message& message) {
    const ComPtr<WebBrowserObject> self(this);  // a sink may let the object go
    const std::wstring text = WideFromUtf8(message.text);
    switch (message.type) {
        case MessageType::Ready:
            m_view = static_cast<std::uint64_t>(message.value);
            Embed();
            break;
        case MessageType::BeforeNavigate: {
            const bool cancel = FireBeforeNavigate(text);
            if (cancel) {
                m_pending.reset();
            } else {
                m_pending = text;
            }
            if (m_helper) m_helper->Send(Message{MessageType::Decide, message.id, cancel ? 0 : 1, {}});
            break;
        }
        case MessageType::NavigateComplete:
            m_url = text;
            if (m_document) m_document->Detach();
            m_document = WebDocument::Create();
            FireWithUrl(DISPID_NAVIGATECOMPLETE2, text);
            break;
        case MessageType::DocumentComplete:
            m_pending.reset();
            FireWithUrl(DISPID_DOCUMENTCOMPLETE, text);
            break;
        case MessageType::TitleChange:
            m_title = text;
            FireTitleChange(text);
            break;
        case MessageType::NavigateError:
            m_pending.reset();
            ReportFailure(text, StatusOf(message.value));
            break;
        case MessageType::NewWindow:
            FireNewWindow(text);
            break;
        case MessageType::History:
            SetHistory(message.value);
            break;
        case MessageType::ContextMenu: {
            const bool engineShows = !HostShowsContextMenu(POINT{PointX(message.value), PointY(message.value)});
            if (m_helper) m_helper->Send(Message{MessageType::MenuAnswer, message.id, engineShows ? 1 : 0, {}});
            break;
        }
        default:
            break;  // commands are ours to send, never to receive
    }
}

void WebBrowserObject::OnHelperGone() {
    const ComPtr<WebBrowserObject> self(this);
    m_helperGone = true;
    m_helper.reset();
    SetHistory(0);
    if (const std::optional<std::wstring> pending = std::exchange(m_pending, std::nullopt)) {
        ReportFailure(*pending, INET_E_DOWNLOAD_FAILURE);
    }
}

void WebBrowserObject::SetHistory(std::int64_t history) {
    const std::int64_t changed = m_history ^ history;
    m_history = history;
    if (changed & kCanGoBack) FireCommandState(CSC_NAVIGATEBACK, (history & kCanGoBack) != 0);
    if (changed & kCanGoForward) FireCommandState(CSC_NAVIGATEFORWARD, (history & kCanGoForward) != 0);
}

bool WebBrowserObject::HostShowsContextMenu(POINT screen) {
    IDocHostUIHandler* handler = m_document ? m_document->UIHandler() : nullptr;
    if (handler == nullptr) return false;
    // The handler may put another one on the document, or let it go, while it runs.
    const ComPtr<IDocHostUIHandler> held(handler);
    return held->ShowContextMenu(CONTEXT_MENU_DEFAULT, &screen, nullptr, nullptr) == S_OK;
}

// ---- events ----

void WebBrowserObject::FireCommandState(LONG command, bool enabled) {
    VARIANT args[2] = {Empty(), Empty()};
    args[0].vt = VT_BOOL;
    args[0].boolVal = enabled ? VARIANT_TRUE : VARIANT_FALSE;
    args[1].vt = VT_I4;
    args[1].lVal = command;
    DISPPARAMS params{args, nullptr, 2, 0};
    m_events->Fire(DISPID_COMMANDSTATECHANGE, &params);
}

bool WebBrowserObject::FireBeforeNavigate(const std::wstring& url) {
    VARIANT address = Text(url);
    VARIANT flags = Empty();
    flags.vt = VT_I4;
    flags.lVal = 0;
    VARIANT frame = Empty();
    VARIANT postData = Empty();
    VARIANT headers = Empty();
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[7] = {Empty(),       RefTo(&headers), RefTo(&postData), RefTo(&frame),
                       RefTo(&flags), RefTo(&address), Empty()};
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = &cancel;
    args[6].vt = VT_DISPATCH;
    args[6].pdispVal = static_cast<IWebBrowser2*>(this);
    DISPPARAMS params{args, nullptr, 7, 0};
    m_events->Fire(DISPID_BEFORENAVIGATE2, &params);
    // A sink may have put other values into the referenced variants; they are ours to free.
    for (VARIANT* owned : {&address, &flags, &frame, &postData, &headers})
        VariantClear(owned);
    return cancel != VARIANT_FALSE;
}

void WebBrowserObject::FireWithUrl(DISPID member, const std::wstring& url) {
    VARIANT address = Text(url);
    VARIANT args[2] = {RefTo(&address), Empty()};
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = static_cast<IWebBrowser2*>(this);
    DISPPARAMS params{args, nullptr, 2, 0};
    m_events->Fire(member, &params);
    VariantClear(&address);
}

void WebBrowserObject::ReportFailure(const std::wstring& url, HRESULT status) {
    VARIANT address = Text(url);
    VARIANT frame = Empty();
    VARIANT code = Empty();
    code.vt = VT_I4;
    code.lVal = status;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[5] = {Empty(), RefTo(&code), RefTo(&frame), RefTo(&address), Empty()};
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = &cancel;
    args[4].vt = VT_DISPATCH;
    args[4].pdispVal = static_cast<IWebBrowser2*>(this);
    DISPPARAMS params{args, nullptr, 5, 0};
    m_events->Fire(DISPID_NAVIGATEERROR, &params);
    for (VARIANT* owned : {&address, &frame, &code})
        VariantClear(owned);
}

void WebBrowserObject::FireTitleChange(const std::wstring& title) {
    VARIANT args[1] = {Text(title)};
    DISPPARAMS params{args, nullptr, 1, 0};
    m_events->Fire(DISPID_TITLECHANGE, &params);
    VariantClear(&args[0]);
}

void WebBrowserObject::FireNewWindow(const std::wstring& url) {
    IDispatch* offered = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[5] = {Text(url), Text(m_url), Empty(), Empty(), Empty()};
    args[2].vt = VT_I4;
    args[2].lVal = 0;
    args[3].vt = VT_BYREF | VT_BOOL;
    args[3].pboolVal = &cancel;
    args[4].vt = VT_BYREF | VT_DISPATCH;
    args[4].ppdispVal = &offered;
    DISPPARAMS params{args, nullptr, 5, 0};
    m_events->Fire(DISPID_NEWWINDOW3, &params);
    // The page never gets its window, whatever the sink answered; a browser it offered goes back.
    if (offered != nullptr) offered->Release();
    VariantClear(&args[0]);
    VariantClear(&args[1]);
}

}  // namespace platform::webengine
