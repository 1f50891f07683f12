#include "platform/webengine/WebDocument.h"

namespace platform::webengine {

ComPtr<WebDocument> WebDocument::Create() {
    return ComPtr<WebDocument>::Adopt(new WebDocument());
}

void WebDocument::Detach() {
    m_detached = true;
    m_handler.Reset();
}

HRESULT WebDocument::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLDocument2) {
        *object = static_cast<IHTMLDocument2*>(this);
    } else if (iid == IID_ICustomDoc) {
        *object = static_cast<ICustomDoc*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG WebDocument::AddRef() noexcept {
    return ++m_refs;
}

ULONG WebDocument::Release() noexcept {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT WebDocument::GetTypeInfoCount(UINT* count) noexcept {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT WebDocument::GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept {
    return E_NOTIMPL;
}

HRESULT WebDocument::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept {
    return DISP_E_UNKNOWNNAME;
}

HRESULT WebDocument::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT WebDocument::get_parentWindow(IHTMLWindow2** window) noexcept {
    if (window != nullptr) *window = nullptr;
    return E_NOTIMPL;
}

HRESULT WebDocument::SetUIHandler(IDocHostUIHandler* handler) noexcept {
    if (m_detached) return E_UNEXPECTED;
    m_handler = ComPtr<IDocHostUIHandler>(handler);
    return S_OK;
}

}  // namespace platform::webengine
