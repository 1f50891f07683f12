// The system's web browser object on this platform (the class CLSID_WebBrowser): an
// embedded object (IOleObject, IOleControl, in-place object and active object) with
// IWebBrowser2 and the DWebBrowserEvents2 connection point, whose pages WebKitGTK shows in
// a helper process of ours (WebHelperConnection.h), embedded into the host's window.
//
// Life: created with its helper already starting; in-place activation (DoVerb) takes the
// host window from the site (IOleWindow::GetWindow) and embeds the helper's view there as
// soon as both are known; Close leaves in-place activation (OnInPlaceDeactivate), gives
// back the frame, ends the helper and detaches the document with the UI handler the host
// put on it. SetClientSite(null) lets the site go.
//
// Events come from the helper while the UI thread pumps messages, never inside the
// object's own calls: BeforeNavigate2 (the sink may cancel; the navigation waits for it),
// NavigateComplete2 (with a new document), DocumentComplete, TitleChange, NavigateError
// (status INET_E_RESOURCE_NOT_FOUND or INET_E_DOWNLOAD_FAILURE, or the HTTP status of an
// error page, which is not shown), CommandStateChange when going back (CSC_NAVIGATEBACK)
// or forward (CSC_NAVIGATEFORWARD) becomes possible or impossible, and NewWindow3 for a
// page that wanted a window of its own, which it never gets. A page's context menu goes
// first to the UI handler the host put on the document (ShowContextMenu, at the screen
// point): S_OK means the host showed its own, anything else (or no handler) lets the
// engine show its menu. When the helper dies, the navigation under way reports
// NavigateError and later navigations fail the same way: the host makes a new object to
// show pages again.
//
// UI thread only (the thread that created it, which must pump messages). Sinks are
// called on it with IID_NULL and may release the object or call back into it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/com/BrowserInterfaces.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ConnectionPoint.h"
#include "platform/webengine/WebDocument.h"
#include "platform/webengine/WebHelperConnection.h"

namespace platform::webengine {

class WebBrowserObject final : public IOleObject,
                               public IOleControl,
                               public IOleInPlaceObject,
                               public IOleInPlaceActiveObject,
                               public IWebBrowser2,
                               public IConnectionPointContainer,
                               private WebHelperConnection::Listener {
public:
    // Starts `helperProgram` on `display`; null when it cannot start.
    static ComPtr<WebBrowserObject> Create(const std::string& helperProgram, const std::string& display);

    // IUnknown, for every interface.
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;

    // IOleObject
    HRESULT SetClientSite(IOleClientSite* site) noexcept override;
    HRESULT SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) noexcept override;
    HRESULT Close(DWORD saveOption) noexcept override;
    // In-place activation for OLEIVERB_INPLACEACTIVATE, OLEIVERB_SHOW, OLEIVERB_PRIMARY and
    // OLEIVERB_UIACTIVATE (which also tells the site OnUIActivate); OLEIVERB_HIDE does nothing.
    HRESULT DoVerb(LONG verb, MSG* message, IOleClientSite* site, LONG index, HWND parent,
                   const RECT* position) noexcept override;
    HRESULT SetExtent(DWORD aspect, SIZEL* size) noexcept override;
    HRESULT GetMiscStatus(DWORD aspect, DWORD* status) noexcept override;

    // IOleWindow: the host window the view is embedded in, while in-place active.
    HRESULT GetWindow(HWND* hwnd) noexcept override;
    HRESULT ContextSensitiveHelp(BOOL enterMode) noexcept override;
    // IOleInPlaceObject: the view always fills the host window.
    HRESULT SetObjectRects(const RECT* position, const RECT* clip) noexcept override;
    // IOleInPlaceActiveObject: S_FALSE; keys reach the engine through its own window.
    HRESULT TranslateAccelerator(MSG* message) noexcept override;

    // IDispatch (of IWebBrowser2): no members by name.
    HRESULT GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) noexcept override;
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) noexcept override;
    HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argumentError) noexcept override;
    // IWebBrowser2. Navigate2 takes a VT_BSTR URL (E_INVALIDARG otherwise) and ignores the
    // other arguments; E_FAIL, after a NavigateError, once the engine is gone.
    HRESULT Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrame, VARIANT* postData,
                      VARIANT* headers) noexcept override;
    HRESULT get_Document(IDispatch** document) noexcept override;
    HRESULT GoBack() noexcept override;
    HRESULT GoForward() noexcept override;
    HRESULT Refresh() noexcept override;
    HRESULT Stop() noexcept override;
    HRESULT get_LocationName(BSTR* name) noexcept override;
    HRESULT get_LocationURL(BSTR* url) noexcept override;

    // IConnectionPointContainer: DWebBrowserEvents2 only.
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept override;

private:
    explicit WebBrowserObject();
    ~WebBrowserObject();

    void OnHelperMessage(const Message& message) override;
    void OnHelperGone() override;

    // Close without holding a reference, as the destructor needs it.
    void Shut();
    HRESULT ActivateInPlace(IOleClientSite* site);
    void DeactivateInPlace();
    void Embed();
    // Sends a command that starts a navigation; a dead engine reports it failed at once.
    HRESULT StartNavigation(const Message& command, const std::wstring& url);
    void ReportFailure(const std::wstring& url, HRESULT status);

    // Fires CommandStateChange for what `history` changes.
    void SetHistory(std::int64_t history);
    // True when the document's UI handler showed a menu of its own.
    bool HostShowsContextMenu(POINT screen);

    // The events, arguments in call order as BrowserInterfaces.h lists them.
    bool FireBeforeNavigate(const std::wstring& url);  // true: cancelled
    void FireWithUrl(DISPID member, const std::wstring& url);
    void FireTitleChange(const std::wstring& title);
    void FireNewWindow(const std::wstring& url);
    void FireCommandState(LONG command, bool enabled);

    ULONG m_refs = 1;
    std::unique_ptr<WebHelperConnection> m_helper;
    bool m_helperGone = false;
    bool m_closed = false;
    ComPtr<CDispatchConnectionPoint> m_events;
    ComPtr<IOleClientSite> m_clientSite;
    ComPtr<IOleInPlaceSite> m_inPlaceSite;
    ComPtr<IOleInPlaceFrame> m_frame;
    bool m_uiActive = false;
    HWND m_hostWindow = nullptr;
    std::uint64_t m_view = 0;  // the helper's window, once it is ready
    bool m_embedded = false;
    ComPtr<WebDocument> m_document;
    std::wstring m_url;
    std::wstring m_title;
    std::int64_t m_history = 0;
    // The navigation under way (what a dying engine reports as failed).
    std::optional<std::wstring> m_pending;
};

}  // namespace platform::webengine
