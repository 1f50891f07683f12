// A web browser host ("WebBrowser" in skins): an ActiveX host preset to CLSID_WebBrowser
// that is also the browser's document host (its UI handler, installed on every document
// whose navigation completes), service provider (download manager), command target
// (script errors are answered so that no dialog shows and scripts go on) and event sink
// (DWebBrowserEvents2), and that hands key messages to the browser while the focus is in
// the browser's window. It can navigate to a home page once created ("homepage",
// "autonavi").
//
// The browser is whatever class the program registers under CLSID_WebBrowser (see
// platform/com/ComApi.h); without one the control stays empty. UI thread only. The
// control's COM parts share one reference count that does not govern its life (the
// control tree does): ReleaseControl (first in every creation, and in the destructor)
// unregisters the translator, disconnects the sink and lets the browser go.
#pragma once

#include <atomic>
#include <string_view>

#include "platform/com/BrowserInterfaces.h"
#include "ui/controls/ActiveXUI.h"

namespace SkinUI {

// Hears the browser's events and may take over the document-host calls. Every method
// answers as the control does without a handler, so a handler overrides only what it
// needs. The control does not own it; it must outlive the control or be unset first.
class CWebBrowserEventHandler {
public:
    virtual ~CWebBrowserEventHandler() = default;

    virtual void BeforeNavigate2(IDispatch* /*browser*/, VARIANT* /*url*/, VARIANT* /*flags*/, VARIANT* /*targetFrame*/,
                                 VARIANT* /*postData*/, VARIANT* /*headers*/, VARIANT_BOOL* /*cancel*/) {}
    virtual void NavigateError(IDispatch* /*browser*/, VARIANT* /*url*/, VARIANT* /*targetFrame*/,
                               VARIANT* /*statusCode*/, VARIANT_BOOL* /*cancel*/) {}
    virtual void NavigateComplete2(IDispatch* /*browser*/, VARIANT* /*url*/) {}
    virtual void NewWindow3(IDispatch** /*browser*/, VARIANT_BOOL* /*cancel*/, DWORD /*flags*/, BSTR /*urlContext*/,
                            BSTR /*url*/) {}
    virtual void CommandStateChange(LONG /*command*/, VARIANT_BOOL /*enable*/) {}

    // The document-host calls, in the UI handler's order.
    virtual HRESULT ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return S_FALSE; }
    virtual HRESULT GetHostInfo(DOCHOSTUIINFO*) { return E_NOTIMPL; }
    virtual HRESULT ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                           IOleInPlaceUIWindow*) {
        return E_NOTIMPL;
    }
    virtual HRESULT HideUI() { return E_NOTIMPL; }
    virtual HRESULT UpdateUI() { return E_NOTIMPL; }
    virtual HRESULT EnableModeless(BOOL) { return E_NOTIMPL; }
    virtual HRESULT OnDocWindowActivate(BOOL) { return E_NOTIMPL; }
    virtual HRESULT OnFrameWindowActivate(BOOL) { return E_NOTIMPL; }
    virtual HRESULT ResizeBorder(const RECT*, IOleInPlaceUIWindow*, BOOL) { return E_NOTIMPL; }
    virtual HRESULT TranslateAccelerator(MSG*, const GUID*, DWORD) { return S_OK; }
    virtual HRESULT GetOptionKeyPath(LPOLESTR* key, DWORD) {
        if (key != nullptr) *key = nullptr;
        return E_NOTIMPL;
    }
    virtual HRESULT GetDropTarget(IDropTarget*, IDropTarget** replacement) {
        if (replacement != nullptr) *replacement = nullptr;
        return S_FALSE;
    }
    virtual HRESULT GetExternal(IDispatch** external) {
        if (external != nullptr) *external = nullptr;
        return S_FALSE;
    }
    virtual HRESULT TranslateUrl(DWORD, LPOLESTR, LPOLESTR* translated) {
        if (translated != nullptr) *translated = nullptr;
        return E_NOTIMPL;
    }
    virtual HRESULT FilterDataObject(IDataObject*, IDataObject** filtered) {
        if (filtered != nullptr) *filtered = nullptr;
        return E_NOTIMPL;
    }

    // A download the browser would start (the download manager's call).
    virtual HRESULT Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR, LPCOLESTR, UINT) { return S_OK; }
};

class CWebBrowserUI : public CActiveXUI,
                      public IDocHostUIHandler,
                      public IServiceProvider,
                      public IOleCommandTarget,
                      public IDispatch,
                      public IDownloadManager,
                      public ITranslateAccelerator {
public:
    CWebBrowserUI();
    ~CWebBrowserUI() override;

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    // "homepage", "autonavi" ("true"); others go to the ActiveX host.
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    void ReleaseControl() override;
    bool DoCreateControl() override;
    // The browser's own window paints its background.
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    void SetHomePage(std::wstring_view url) { m_homePage = CUIString(url); }
    const CUIString& GetHomePage() const { return m_homePage; }
    void SetAutoNavigate(bool navigate) { m_autoNavigate = navigate; }
    void SetEventHandler(CWebBrowserEventHandler* handler) { m_handler = handler; }
    IWebBrowser2* GetWebBrowser2() const { return m_browser; }

    // Nothing without a browser or for an empty URL.
    void NavigateTo(std::wstring_view url);
    // Connects (true) or disconnects the event sink; the first failure on the way.
    HRESULT RegisterEventSink(bool advise);
    // Key messages go to the browser while the focus is inside its window: E_NOTIMPL
    // without a browser, else the browser's answer (S_OK: consumed) or S_FALSE.
    HRESULT PreTranslate(MSG* message);
    // The download manager's Download.
    HRESULT DownloadHook(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG bindFlags, BINDINFO* info,
                         LPCOLESTR headers, LPCOLESTR redirect, UINT codePage);

    // IUnknown, shared by every COM part.
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;

    // IDocHostUIHandler
    HRESULT ShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget, IDispatch* object) noexcept override;
    HRESULT GetHostInfo(DOCHOSTUIINFO* info) noexcept override;
    HRESULT ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                   IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) noexcept override;
    HRESULT HideUI() noexcept override;
    HRESULT UpdateUI() noexcept override;
    HRESULT EnableModeless(BOOL enable) noexcept override;
    HRESULT OnDocWindowActivate(BOOL activate) noexcept override;
    HRESULT OnFrameWindowActivate(BOOL activate) noexcept override;
    HRESULT ResizeBorder(const RECT* border, IOleInPlaceUIWindow* window, BOOL frameWindow) noexcept override;
    HRESULT TranslateAccelerator(MSG* message, const GUID* group, DWORD command) noexcept override;
    HRESULT GetOptionKeyPath(LPOLESTR* key, DWORD reserved) noexcept override;
    HRESULT GetDropTarget(IDropTarget* target, IDropTarget** replacement) noexcept override;
    HRESULT GetExternal(IDispatch** external) noexcept override;
    HRESULT TranslateUrl(DWORD translate, LPOLESTR url, LPOLESTR* translated) noexcept override;
    HRESULT FilterDataObject(IDataObject* object, IDataObject** filtered) noexcept override;

    // IServiceProvider: only the download manager.
    HRESULT QueryService(REFGUID service, REFIID iid, void** object) noexcept override;

    // IOleCommandTarget: Exec answers the script-error command (see OnScriptError).
    HRESULT QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) noexcept override;
    HRESULT Exec(const GUID* group, DWORD command, DWORD options, VARIANT* in, VARIANT* out) noexcept override;

    // IDispatch: the DWebBrowserEvents2 sink. E_INVALIDARG for an IID other than IID_NULL,
    // DISP_E_MEMBERNOTFOUND for events it does not know; arguments are checked before
    // they are read (DISP_E_BADPARAMCOUNT, DISP_E_TYPEMISMATCH).
    HRESULT GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) noexcept override;
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID locale, DISPID* ids) noexcept override;
    HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argumentError) noexcept override;

    // IDownloadManager
    HRESULT Download(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG bindFlags, BINDINFO* info,
                     LPCOLESTR headers, LPCOLESTR redirect, UINT codePage) noexcept override;

    // ITranslateAccelerator: PreTranslate.
    LRESULT TranslateAccelerator(MSG* message) override;

private:
    // Installs the UI handler on the browser's current document, then tells the handler.
    void OnNavigateComplete(IDispatch* browser, VARIANT* url);
    // Exec of CGID_DocHostCommandHandler: a script error is answered with VARIANT_TRUE
    // (scripts go on, no dialog) once its details have been read from the document's
    // event; S_OK then, E_INVALIDARG without an output variant.
    HRESULT OnScriptError(const GUID* group, DWORD command, VARIANT* in, VARIANT* out);
    void RemoveTranslator();

    IWebBrowser2* m_browser = nullptr;
    std::atomic<ULONG> m_refs{0};
    DWORD m_cookie = 0;
    CUIString m_homePage;
    bool m_autoNavigate = false;
    CWebBrowserEventHandler* m_handler = nullptr;
};

}  // namespace SkinUI
