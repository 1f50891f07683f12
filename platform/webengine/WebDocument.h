// The document a web browser object hands out for each page it shows (get_Document):
// the host installs its document-host UI handler on it (ICustomDoc::SetUIHandler).
//
// The engine draws and runs the page in its own process, so the document has nothing to
// give beyond the handler's seat (no parent window, no script objects). The browser
// detaches it when the next page takes its place or the browser closes: the handler is
// released then, whoever still holds the document. UI thread only.
#pragma once

#include "platform/com/BrowserInterfaces.h"
#include "platform/com/ComPtr.h"

namespace platform::webengine {

class WebDocument final : public IHTMLDocument2, public ICustomDoc {
public:
    static ComPtr<WebDocument> Create();

    void Detach();
    IDocHostUIHandler* UIHandler() const { return m_handler.Get(); }

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;
    HRESULT GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) noexcept override;
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) noexcept override;
    HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argumentError) noexcept override;
    // E_NOTIMPL: the page's window lives in the engine's process.
    HRESULT get_parentWindow(IHTMLWindow2** window) noexcept override;
    // Keeps `handler` (null lets the old one go); E_UNEXPECTED once detached.
    HRESULT SetUIHandler(IDocHostUIHandler* handler) noexcept override;

private:
    WebDocument() = default;
    ~WebDocument() = default;

    ULONG m_refs = 1;
    bool m_detached = false;
    ComPtr<IDocHostUIHandler> m_handler;
};

}  // namespace platform::webengine
