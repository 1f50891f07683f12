// A Flash player host ("Flash" in skins): an ActiveX host preset to the Shockwave Flash
// class that connects itself to the player's events and passes them to an optional
// application event handler.
//
// No Flash player exists on this platform, so unless the program registers a class
// under CLSID_ShockwaveFlash the control stays empty: nothing is created, drawn or
// connected. UI thread only. The control is its own event sink; its reference count
// does not govern its life (the control tree does), so ReleaseControl disconnects the
// sink from the player before either goes.
#pragma once

#include <atomic>
#include <string_view>

#include "platform/com/OleAuto.h"
#include "ui/controls/ActiveXUI.h"

inline constexpr CLSID CLSID_ShockwaveFlash = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID IID_IShockwaveFlash = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID DIID__IShockwaveFlashEvents = {
    0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// The player's events (dispatch ids of _IShockwaveFlashEvents).
inline constexpr DISPID DISPID_FLASH_READYSTATECHANGE = -609;  // VT_I4 new state
inline constexpr DISPID DISPID_FLASH_PROGRESS = 1958;          // VT_BYREF|VT_I4 percent done
inline constexpr DISPID DISPID_FLASH_FSCOMMAND = 150;          // VT_BSTR command, VT_BSTR arguments
inline constexpr DISPID DISPID_FLASH_FLASHCALL = 197;          // VT_BSTR request

// The player's own interface; the host only holds it.
struct IShockwaveFlash : IDispatch {
protected:
    ~IShockwaveFlash() = default;
};

namespace SkinUI {

// What an application hands the control to hear the player's events. The control takes
// over one reference and gives it back (Release) when it is destroyed or given another
// handler. Strings live only for the call.
class IFlashEventHandler {
public:
    virtual ULONG Release() = 0;
    virtual ULONG AddRef() = 0;
    virtual HRESULT OnReadyStateChange(LONG newState) = 0;
    virtual HRESULT OnProgress(LONG percentDone) = 0;
    virtual HRESULT FSCommand(LPCWSTR command, LPCWSTR arguments) = 0;
    virtual HRESULT FlashCall(LPCWSTR request) = 0;

protected:
    ~IFlashEventHandler() = default;
};

class CFlashUI : public CActiveXUI, public IDispatch, public ITranslateAccelerator {
public:
    CFlashUI();
    ~CFlashUI() override;

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    // "homepage" and "autonavi" mean nothing to a player and are ignored.
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    // Disconnects the sink and drops the player's interface, then the object itself.
    void ReleaseControl() override;
    bool DoCreateControl() override;

    void SetEventHandler(IFlashEventHandler* handler);
    // Connects (true) or disconnects the sink; S_FALSE without a player, else the first
    // failure on the way.
    HRESULT RegisterEventSink(bool advise);
    // Key messages to the player while the focus is inside its window: E_NOTIMPL without a
    // player, else the player's answer or S_FALSE. The control does not register itself
    // as a translator with its paint manager.
    HRESULT PreTranslate(MSG* message);

    // The event sink (IDispatch for _IShockwaveFlashEvents).
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;
    HRESULT GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) noexcept override;
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID locale, DISPID* ids) noexcept override;
    // Checks each event's arguments before it reads them: DISP_E_BADPARAMCOUNT or
    // DISP_E_TYPEMISMATCH (E_INVALIDARG for FlashCall); S_OK for events it does not know
    // and, without a handler, for the ones it does; else the handler's answer.
    HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argumentError) noexcept override;

    LRESULT TranslateAccelerator(MSG* message) override;

private:
    HRESULT OnFSCommand(LPCWSTR command, LPCWSTR arguments);
    HRESULT OnFlashCall(LPCWSTR request);

    IShockwaveFlash* m_flash = nullptr;
    std::atomic<ULONG> m_refs{0};
    DWORD m_cookie = 0;
    IFlashEventHandler* m_handler = nullptr;
};

}  // namespace SkinUI
