#include "ui/controls/FlashUI.h"

#include "platform/com/ComPtr.h"
#include "platform/window/WinMessages.h"

namespace SkinUI {

namespace {

// Argument `index` of an event in call order (the block stores them last first).
const VARIANT& Argument(const DISPPARAMS& params, UINT index) {
    return params.rgvarg[params.cArgs - 1 - index];
}

// A whole number, passed by value or, as the progress event does, by reference.
bool ReadLong(const VARIANT& value, LONG* out) {
    switch (value.vt) {
        case VT_I4:
        case VT_INT:
            *out = value.lVal;
            return true;
        case VT_I4 | VT_BYREF:
        case VT_INT | VT_BYREF:
            if (value.plVal == nullptr) return false;
            *out = *value.plVal;
            return true;
        default:
            return false;
    }
}

LPCWSTR TextOf(const VARIANT& value) {
    return value.bstrVal != nullptr ? value.bstrVal : L"";
}

}  // namespace

CFlashUI::CFlashUI() {
    m_clsid = CLSID_ShockwaveFlash;
}

CFlashUI::~CFlashUI() {
    if (IFlashEventHandler* handler = m_handler) {
        m_handler = nullptr;
        handler->Release();
    }
    CFlashUI::ReleaseControl();
}

const wchar_t* CFlashUI::GetClassTag() const {
    return L"Flash";
}

void* CFlashUI::QueryFacet(std::wstring_view name) {
    if (name == L"Flash") return this;
    return CActiveXUI::QueryFacet(name);
}

void CFlashUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"homepage" || name == L"autonavi") return;
    CActiveXUI::ApplyAttribute(name, value);
}

void CFlashUI::ReleaseControl() {
    RegisterEventSink(false);
    if (IShockwaveFlash* flash = m_flash) {
        m_flash = nullptr;
        flash->Release();
    }
    // The object, its site and the filter go too, or a new object would be made over them.
    CActiveXUI::ReleaseControl();
}

bool CFlashUI::DoCreateControl() {
    const bool created = CActiveXUI::DoCreateControl();
    if (created) {
        GetControl(IID_IShockwaveFlash, reinterpret_cast<void**>(&m_flash));
        RegisterEventSink(true);
    }
    return created;
}

void CFlashUI::SetEventHandler(IFlashEventHandler* handler) {
    if (handler == m_handler) return;
    IFlashEventHandler* old = m_handler;
    m_handler = handler;
    if (old != nullptr) old->Release();
}

HRESULT CFlashUI::RegisterEventSink(bool advise) {
    if (m_flash == nullptr) return S_FALSE;
    if (!advise && m_cookie == 0) return S_FALSE;
    return AdviseEvents(m_flash, DIID__IShockwaveFlashEvents, static_cast<IDispatch*>(this), advise, m_cookie);
}

HRESULT CFlashUI::PreTranslate(MSG* message) {
    if (message == nullptr || message->message < WM_KEYFIRST || message->message > WM_KEYLAST) return S_FALSE;
    if (m_flash == nullptr) return E_NOTIMPL;
    return TranslateForObject(m_flash, message);
}

LRESULT CFlashUI::TranslateAccelerator(MSG* message) {
    return PreTranslate(message);
}

HRESULT CFlashUI::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID__IShockwaveFlashEvents) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CFlashUI::AddRef() noexcept {
    return ++m_refs;
}

ULONG CFlashUI::Release() noexcept {
    return --m_refs;
}

HRESULT CFlashUI::GetTypeInfoCount(UINT* /*count*/) noexcept {
    return E_NOTIMPL;
}

HRESULT CFlashUI::GetTypeInfo(UINT /*index*/, LCID /*locale*/, ITypeInfo** /*info*/) noexcept {
    return E_NOTIMPL;
}

HRESULT CFlashUI::GetIDsOfNames(REFIID /*iid*/, LPOLESTR* /*names*/, UINT /*nameCount*/, LCID /*locale*/,
                                DISPID* /*ids*/) noexcept {
    return E_NOTIMPL;
}

HRESULT CFlashUI::Invoke(DISPID member, REFIID /*iid*/, LCID /*locale*/, WORD /*flags*/, DISPPARAMS* params,
                         VARIANT* /*result*/, EXCEPINFO* /*exception*/, UINT* /*argumentError*/) noexcept {
    const UINT count = params != nullptr && params->rgvarg != nullptr ? params->cArgs : 0;
    switch (member) {
        case DISPID_FLASH_READYSTATECHANGE:
        case DISPID_FLASH_PROGRESS: {
            if (count != 1) return DISP_E_BADPARAMCOUNT;
            LONG value = 0;
            if (!ReadLong(Argument(*params, 0), &value)) return DISP_E_TYPEMISMATCH;
            if (m_handler == nullptr) return S_OK;
            return member == DISPID_FLASH_PROGRESS ? m_handler->OnProgress(value)
                                                   : m_handler->OnReadyStateChange(value);
        }
        case DISPID_FLASH_FSCOMMAND:
            if (count != 2) return DISP_E_BADPARAMCOUNT;
            if (Argument(*params, 0).vt != VT_BSTR || Argument(*params, 1).vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
            return OnFSCommand(TextOf(Argument(*params, 0)), TextOf(Argument(*params, 1)));
        case DISPID_FLASH_FLASHCALL:
            if (count != 1 || Argument(*params, 0).vt != VT_BSTR) return E_INVALIDARG;
            return OnFlashCall(TextOf(Argument(*params, 0)));
        default:
            return S_OK;
    }
}

HRESULT CFlashUI::OnFSCommand(LPCWSTR command, LPCWSTR arguments) {
    return m_handler != nullptr ? m_handler->FSCommand(command, arguments) : S_OK;
}

HRESULT CFlashUI::OnFlashCall(LPCWSTR request) {
    return m_handler != nullptr ? m_handler->FlashCall(request) : S_OK;
}

}  // namespace SkinUI
