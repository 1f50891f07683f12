// A text host for the text-services tests: a fixed client rectangle, formats and property
// bits the test sets, and a record of every callback. A test may hook a callback to call
// back into the text services, as real hosts do.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/module/Module.h"
#include "platform/textservices/TextServices.h"

namespace textservicestest {

class FakeTextHost final : public ITextHost {
public:
    struct ScrollCall {
        std::string what;  // "range", "pos", "show", "enable"
        int bar = 0;
        int a = 0;
        int b = 0;
    };

    FakeTextHost() {
        m_dc = CreateCompatibleDC(nullptr);
        charFormat.cbSize = sizeof(charFormat);
        charFormat.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
        charFormat.yHeight = 180;  // 12 pixels
        charFormat.crTextColor = 0x00000000;
        paraFormat.cbSize = sizeof(paraFormat);
        paraFormat.dwMask = PFM_ALIGNMENT | PFM_TABSTOPS;
        paraFormat.wAlignment = PFA_LEFT;
    }
    ~FakeTextHost() { DeleteDC(m_dc); }

    // Creates the text services through the built-in module, as a real host does.
    ITextServices* Create() {
        platform::EnsureTextServicesModule();
        HMODULE module = LoadLibraryW(platform::kTextServicesModule);
        EXPECT_NE(module, nullptr);
        auto create = reinterpret_cast<PCreateTextServices>(GetProcAddress(module, "CreateTextServices"));
        EXPECT_NE(create, nullptr);
        IUnknown* unknown = nullptr;
        EXPECT_EQ(create(nullptr, this, &unknown), S_OK);
        void* services = nullptr;
        EXPECT_EQ(unknown->QueryInterface(IID_ITextServices, &services), S_OK);
        unknown->Release();
        FreeLibrary(module);
        return static_cast<ITextServices*>(services);
    }

    // --- what the test sets ---
    RECT client{10, 20, 210, 120};
    DWORD bits = TXTBIT_MULTILINE | TXTBIT_WORDWRAP | TXTBIT_HIDESELECTION;
    DWORD scrollBars = 0;
    LONG maxLength = 100000;
    CHARFORMAT2W charFormat;
    PARAFORMAT2 paraFormat;
    TXTBACKSTYLE backStyle = TXTBACK_TRANSPARENT;
    WCHAR passwordChar = 0;
    HRESULT notifyAnswer = S_OK;

    // --- what the host saw ---
    std::vector<ScrollCall> scrollCalls;
    std::vector<DWORD> notifications;
    std::vector<POINT> caretPositions;
    int caretShows = 0;
    int caretHides = 0;

    // Hooks that let a test call back into the text services from a callback.
    std::function<void(int bar, int position)> onSetScrollPos;
    std::function<void(int x, int y)> onSetCaretPos;
    std::function<void(DWORD code)> onNotify;

    int LastScroll(const std::string& what, int bar, int* b = nullptr) const {
        for (auto it = scrollCalls.rbegin(); it != scrollCalls.rend(); ++it) {
            if (it->what == what && it->bar == bar) {
                if (b != nullptr) *b = it->b;
                return it->a;
            }
        }
        return -1;
    }
    int Count(DWORD code) const {
        return static_cast<int>(std::count(notifications.begin(), notifications.end(), code));
    }

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        *object = nullptr;
        if (!(iid == IID_IUnknown) && !(iid == IID_ITextHost)) return E_NOINTERFACE;
        *object = static_cast<ITextHost*>(this);
        return S_OK;
    }
    ULONG AddRef() noexcept override { return 1; }
    ULONG Release() noexcept override { return 1; }

    HDC TxGetDC() override { return m_dc; }
    INT TxReleaseDC(HDC) override { return TRUE; }
    BOOL TxShowScrollBar(INT bar, BOOL show) override {
        scrollCalls.push_back({"show", bar, show, 0});
        return TRUE;
    }
    BOOL TxEnableScrollBar(INT bars, INT arrows) override {
        scrollCalls.push_back({"enable", bars, arrows, 0});
        return TRUE;
    }
    BOOL TxSetScrollRange(INT bar, LONG minPosition, INT maxPosition, BOOL) override {
        scrollCalls.push_back({"range", bar, minPosition, maxPosition});
        return TRUE;
    }
    BOOL TxSetScrollPos(INT bar, INT position, BOOL) override {
        scrollCalls.push_back({"pos", bar, position, 0});
        if (onSetScrollPos) onSetScrollPos(bar, position);
        return TRUE;
    }
    void TxInvalidateRect(const RECT*, BOOL) override {}
    void TxViewChange(BOOL) override {}
    BOOL TxCreateCaret(HBITMAP, INT, INT) override { return TRUE; }
    BOOL TxShowCaret(BOOL show) override {
        ++(show ? caretShows : caretHides);
        return TRUE;
    }
    BOOL TxSetCaretPos(INT x, INT y) override {
        caretPositions.push_back(POINT{x, y});
        if (onSetCaretPos) onSetCaretPos(x, y);
        return TRUE;
    }
    BOOL TxSetTimer(UINT, UINT) override { return TRUE; }
    void TxKillTimer(UINT) override {}
    void TxScrollWindowEx(INT, INT, const RECT*, const RECT*, HRGN, RECT*, UINT) override {}
    void TxSetCapture(BOOL) override {}
    void TxSetFocus() override {}
    void TxSetCursor(HCURSOR, BOOL) override {}
    BOOL TxScreenToClient(POINT*) override { return TRUE; }
    BOOL TxClientToScreen(POINT*) override { return TRUE; }
    HRESULT TxActivate(LONG*) override { return S_OK; }
    HRESULT TxDeactivate(LONG) override { return S_OK; }
    HRESULT TxGetClientRect(RECT* rect) override {
        *rect = client;
        return S_OK;
    }
    HRESULT TxGetViewInset(RECT* inset) override {
        *inset = RECT{};
        return S_OK;
    }
    HRESULT TxGetCharFormat(const CHARFORMAT2W** format) override {
        *format = &charFormat;
        return S_OK;
    }
    HRESULT TxGetParaFormat(const PARAFORMAT2** format) override {
        *format = &paraFormat;
        return S_OK;
    }
    COLORREF TxGetSysColor(int index) override { return GetSysColor(index); }
    HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override {
        *style = backStyle;
        return S_OK;
    }
    HRESULT TxGetMaxLength(DWORD* length) override {
        *length = static_cast<DWORD>(maxLength);
        return S_OK;
    }
    HRESULT TxGetScrollBars(DWORD* bars) override {
        *bars = scrollBars;
        return S_OK;
    }
    HRESULT TxGetPasswordChar(WCHAR* character) override {
        *character = passwordChar;
        return S_OK;
    }
    HRESULT TxGetAcceleratorPos(LONG* position) override {
        *position = -1;
        return S_OK;
    }
    HRESULT TxGetExtent(SIZEL* extent) override {
        *extent = SIZEL{};
        return S_OK;
    }
    HRESULT OnTxCharFormatChange(const CHARFORMAT2W*) override { return S_OK; }
    HRESULT OnTxParaFormatChange(const PARAFORMAT2*) override { return S_OK; }
    HRESULT TxGetPropertyBits(DWORD mask, DWORD* out) override {
        *out = bits & mask;
        return S_OK;
    }
    HRESULT TxNotify(DWORD code, void*) override {
        notifications.push_back(code);
        if (onNotify) onNotify(code);
        return code == EN_MSGFILTER ? notifyAnswer : S_OK;
    }
    HIMC TxImmGetContext() override { return nullptr; }
    void TxImmReleaseContext(HIMC) override {}
    HRESULT TxGetSelectionBarWidth(LONG* width) override {
        *width = 0;
        return S_OK;
    }

private:
    HDC m_dc = nullptr;
};

}  // namespace textservicestest
