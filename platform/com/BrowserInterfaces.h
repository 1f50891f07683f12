// The interfaces between a web browser object and the control that hosts it: the
// browser and its documents, the browser's events, and what the host offers the
// browser in return (document-host UI handler, services, command target, download
// manager).
//
// A browser object is an embedded object (OleEmbedding.h) that also answers
// IWebBrowser2 and IConnectionPointContainer with a point for DWebBrowserEvents2,
// whose events arrive as IDispatch::Invoke calls with the DISPID_* numbers below and
// their arguments in DISPPARAMS, last argument first. Same threading as the embedding
// interfaces: the host window's thread, one call at a time.
#pragma once

#include "platform/com/OleAuto.h"
#include "platform/com/OleEmbedding.h"

struct IBindCtx;
struct BINDINFO;
struct DOCHOSTUIINFO;

inline constexpr CLSID CLSID_WebBrowser = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
inline constexpr IID IID_IWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
inline constexpr IID DIID_DWebBrowserEvents2 = {
    0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
inline constexpr IID IID_IDocHostUIHandler = {
    0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
inline constexpr IID IID_ICustomDoc = {0x3050F3F0, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLDocument2 = {
    0x332C4425, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
inline constexpr IID IID_IHTMLWindow2 = {0x332C4427, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
inline constexpr IID IID_IHTMLEventObj = {0x3050F32D, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IServiceProvider = {
    0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};
inline constexpr IID IID_IOleCommandTarget = {
    0xB722BCCB, 0x4E68, 0x101B, {0xA2, 0xBC, 0x00, 0xAA, 0x00, 0x40, 0x47, 0x70}};
// Both the service and the interface of the download manager.
inline constexpr IID IID_IDownloadManager = {
    0x988934A4, 0x064B, 0x11D3, {0xBB, 0x80, 0x00, 0x10, 0x4B, 0x35, 0xE7, 0xF9}};
inline constexpr GUID SID_SDownloadManager = IID_IDownloadManager;
// The command group of document-host commands (IOleCommandTarget::Exec).
inline constexpr GUID CGID_DocHostCommandHandler = {
    0xF38BC242, 0xB950, 0x11D1, {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};

// DWebBrowserEvents2 members, with their arguments in call order.
inline constexpr DISPID DISPID_STATUSTEXTCHANGE = 102;    // BSTR text
inline constexpr DISPID DISPID_COMMANDSTATECHANGE = 105;  // VT_I4 command, VT_BOOL enable
inline constexpr DISPID DISPID_TITLECHANGE = 113;         // BSTR title
inline constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;     // VT_DISPATCH browser, VT_BYREF|VT_VARIANT url, flags,
                                                          // target frame, post data, headers, VT_BYREF|VT_BOOL cancel
inline constexpr DISPID DISPID_NAVIGATECOMPLETE2 = 252;   // VT_DISPATCH browser, VT_BYREF|VT_VARIANT url
inline constexpr DISPID DISPID_DOCUMENTCOMPLETE = 259;    // VT_DISPATCH browser, VT_BYREF|VT_VARIANT url
inline constexpr DISPID DISPID_NAVIGATEERROR = 271;       // VT_DISPATCH browser, VT_BYREF|VT_VARIANT url, target
                                                          // frame, status code, VT_BYREF|VT_BOOL cancel
inline constexpr DISPID DISPID_NEWWINDOW3 = 273;          // VT_BYREF|VT_DISPATCH new browser, VT_BYREF|VT_BOOL
                                                          // cancel, VT_I4 flags, VT_BSTR url context, VT_BSTR url

// The commands of DISPID_COMMANDSTATECHANGE.
inline constexpr LONG CSC_NAVIGATEFORWARD = 1;
inline constexpr LONG CSC_NAVIGATEBACK = 2;

// The menu IDocHostUIHandler::ShowContextMenu is asked for: a page's own.
inline constexpr DWORD CONTEXT_MENU_DEFAULT = 0;

// Status codes of NavigateError other than HTTP statuses (which it carries as they are).
inline constexpr HRESULT INET_E_RESOURCE_NOT_FOUND = static_cast<HRESULT>(0x800C0005);
inline constexpr HRESULT INET_E_DOWNLOAD_FAILURE = static_cast<HRESULT>(0x800C0008);

inline constexpr DWORD OLECMDID_SHOWSCRIPTERROR = 40;
inline constexpr HRESULT OLECMDERR_E_NOTSUPPORTED = static_cast<HRESULT>(0x80040100);
inline constexpr HRESULT OLECMDERR_E_UNKNOWNGROUP = static_cast<HRESULT>(0x80040104);

struct OLECMD {
    ULONG cmdID = 0;
    DWORD cmdf = 0;
};
struct OLECMDTEXT;

struct IHTMLEventObj : IDispatch {
protected:
    ~IHTMLEventObj() = default;
};

struct IHTMLWindow2 : IDispatch {
    // The event being handled (a script error among them); its properties are read
    // through IDispatch by name.
    virtual HRESULT get_event(IHTMLEventObj** event) noexcept = 0;

protected:
    ~IHTMLWindow2() = default;
};

struct IHTMLDocument2 : IDispatch {
    virtual HRESULT get_parentWindow(IHTMLWindow2** window) noexcept = 0;

protected:
    ~IHTMLDocument2() = default;
};

struct IWebBrowser2 : IDispatch {
    // `url` holds a VT_BSTR; the other arguments may be null.
    virtual HRESULT Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrame, VARIANT* postData,
                              VARIANT* headers) noexcept = 0;
    // The current document, or null before the first navigation completes.
    virtual HRESULT get_Document(IDispatch** document) noexcept = 0;
    // Moves through the history; E_FAIL when there is nothing to move to.
    virtual HRESULT GoBack() noexcept = 0;
    virtual HRESULT GoForward() noexcept = 0;
    virtual HRESULT Refresh() noexcept = 0;
    virtual HRESULT Stop() noexcept = 0;
    // The current page's title and address, for the caller to free; empty before the first page.
    virtual HRESULT get_LocationName(BSTR* name) noexcept = 0;
    virtual HRESULT get_LocationURL(BSTR* url) noexcept = 0;

protected:
    ~IWebBrowser2() = default;
};

struct IOleCommandTarget : IUnknown {
    virtual HRESULT QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) noexcept = 0;
    virtual HRESULT Exec(const GUID* group, DWORD command, DWORD options, VARIANT* in, VARIANT* out) noexcept = 0;

protected:
    ~IOleCommandTarget() = default;
};

struct IDocHostUIHandler : IUnknown {
    virtual HRESULT ShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget, IDispatch* object) noexcept = 0;
    virtual HRESULT GetHostInfo(DOCHOSTUIINFO* info) noexcept = 0;
    virtual HRESULT ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                           IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) noexcept = 0;
    virtual HRESULT HideUI() noexcept = 0;
    virtual HRESULT UpdateUI() noexcept = 0;
    virtual HRESULT EnableModeless(BOOL enable) noexcept = 0;
    virtual HRESULT OnDocWindowActivate(BOOL activate) noexcept = 0;
    virtual HRESULT OnFrameWindowActivate(BOOL activate) noexcept = 0;
    virtual HRESULT ResizeBorder(const RECT* border, IOleInPlaceUIWindow* window, BOOL frameWindow) noexcept = 0;
    virtual HRESULT TranslateAccelerator(MSG* message, const GUID* group, DWORD command) noexcept = 0;
    virtual HRESULT GetOptionKeyPath(LPOLESTR* key, DWORD reserved) noexcept = 0;
    virtual HRESULT GetDropTarget(IDropTarget* target, IDropTarget** replacement) noexcept = 0;
    virtual HRESULT GetExternal(IDispatch** external) noexcept = 0;
    virtual HRESULT TranslateUrl(DWORD translate, LPOLESTR url, LPOLESTR* translated) noexcept = 0;
    virtual HRESULT FilterDataObject(IDataObject* object, IDataObject** filtered) noexcept = 0;

protected:
    ~IDocHostUIHandler() = default;
};

struct ICustomDoc : IUnknown {
    virtual HRESULT SetUIHandler(IDocHostUIHandler* handler) noexcept = 0;

protected:
    ~ICustomDoc() = default;
};

struct IServiceProvider : IUnknown {
    virtual HRESULT QueryService(REFGUID service, REFIID iid, void** object) noexcept = 0;

protected:
    ~IServiceProvider() = default;
};

struct IDownloadManager : IUnknown {
    virtual HRESULT Download(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG bindFlags, BINDINFO* info,
                             LPCOLESTR headers, LPCOLESTR redirect, UINT codePage) noexcept = 0;

protected:
    ~IDownloadManager() = default;
};
