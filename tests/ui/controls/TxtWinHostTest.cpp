#include "ui/controls/TxtWinHost.h"

#include "RichEditFixture.h"
#include "platform/com/DragDrop.h"
#include "platform/window/Screen.h"
#include "support/RectCheck.h"
#include "ui/basic/ScrollBarUI.h"

using SkinUI::CRichEditUI;
using SkinUI::CTxtWinHost;

namespace {

// A drop target that counts its references; it lives inside the text services below.
class CountedDropTarget final : public IDropTarget {
public:
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        *object = nullptr;
        if (!(iid == IID_IUnknown) && !(iid == IID_IDropTarget)) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<IDropTarget*>(this);
        return S_OK;
    }
    ULONG AddRef() noexcept override { return ++references; }
    ULONG Release() noexcept override { return --references; }
    HRESULT DragEnter(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
    HRESULT DragOver(DWORD, POINTL, DWORD*) override { return S_OK; }
    HRESULT DragLeave() override { return S_OK; }
    HRESULT Drop(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }

    ULONG references = 1;  // the text services' own
};

// The real text services with a drop target, as text services that take drops have.
class DropTextServices final : public ITextServices {
public:
    static inline PCreateTextServices s_realCreate = nullptr;
    static inline DropTextServices* s_live = nullptr;

    static HRESULT Create(IUnknown* outer, ITextHost* host, IUnknown** unknown) {
        IUnknown* real = nullptr;
        if (FAILED(s_realCreate(outer, host, &real))) return E_FAIL;
        void* services = nullptr;
        real->QueryInterface(IID_ITextServices, &services);
        real->Release();
        *unknown = new DropTextServices(static_cast<ITextServices*>(services));
        return S_OK;
    }

    explicit DropTextServices(ITextServices* real) : m_real(real) { s_live = this; }
    ~DropTextServices() {
        s_live = nullptr;
        m_real->Release();
    }

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        *object = nullptr;
        if (!(iid == IID_IUnknown) && !(iid == IID_ITextServices)) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<ITextServices*>(this);
        return S_OK;
    }
    ULONG AddRef() noexcept override { return ++m_references; }
    ULONG Release() noexcept override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }
    HRESULT TxSendMessage(UINT m, WPARAM w, LPARAM l, LRESULT* r) override { return m_real->TxSendMessage(m, w, l, r); }
    HRESULT TxDraw(DWORD a, LONG i, void* ai, void* td, HDC d, HDC t, const RECT* b, const RECT* mb, RECT* u,
                   BOOL (*c)(DWORD), DWORD cp, LONG v) override {
        return m_real->TxDraw(a, i, ai, td, d, t, b, mb, u, c, cp, v);
    }
    HRESULT OnTxSetCursor(DWORD a, LONG i, void* ai, void* td, HDC d, HDC t, const RECT* c, INT x, INT y) override {
        return m_real->OnTxSetCursor(a, i, ai, td, d, t, c, x, y);
    }
    HRESULT OnTxInPlaceActivate(const RECT* c) override { return m_real->OnTxInPlaceActivate(c); }
    HRESULT OnTxInPlaceDeactivate() override { return m_real->OnTxInPlaceDeactivate(); }
    HRESULT TxSetText(LPCWSTR t) override { return m_real->TxSetText(t); }
    HRESULT TxGetNaturalSize(DWORD a, HDC d, HDC t, void* td, DWORD m, const SIZEL* e, LONG* w, LONG* h) override {
        return m_real->TxGetNaturalSize(a, d, t, td, m, e, w, h);
    }
    HRESULT TxGetDropTarget(IDropTarget** target) override {
        target_.AddRef();
        *target = &target_;
        return S_OK;
    }
    HRESULT OnTxPropertyBitsChange(DWORD m, DWORD b) override { return m_real->OnTxPropertyBitsChange(m, b); }

    CountedDropTarget target_;

private:
    ITextServices* m_real;
    ULONG m_references = 1;
};

class TxtWinHostTest : public richedittest::RichEditTest {
protected:
    CTxtWinHost* Host(CRichEditUI* edit) { return edit->GetTextHost(); }
};

}  // namespace

TEST_F(TxtWinHostTest, ScrollBarCallbacksShowHideAndCreateTheControlsBars) {
    CRichEditUI* edit = BuildEdit("");
    CTxtWinHost* host = Host(edit);
    ASSERT_EQ(edit->GetVScrollBar(), nullptr);

    // Enabling creates a missing bar; disabled arrows leave it hidden.
    host->TxEnableScrollBar(SB_VERT, ESB_DISABLE_BOTH);
    ASSERT_NE(edit->GetVScrollBar(), nullptr);
    EXPECT_FALSE(edit->GetVScrollBar()->IsShown());
    EXPECT_EQ(edit->GetHScrollBar(), nullptr);
    host->TxEnableScrollBar(SB_BOTH, ESB_ENABLE_BOTH);
    EXPECT_TRUE(edit->GetVScrollBar()->IsShown());
    ASSERT_NE(edit->GetHScrollBar(), nullptr);
    EXPECT_TRUE(edit->GetHScrollBar()->IsShown());

    // Only TRUE shows.
    host->TxShowScrollBar(SB_BOTH, 2);
    EXPECT_FALSE(edit->GetVScrollBar()->IsShown());
    EXPECT_FALSE(edit->GetHScrollBar()->IsShown());
    host->TxShowScrollBar(SB_VERT, TRUE);
    EXPECT_TRUE(edit->GetVScrollBar()->IsShown());
    EXPECT_FALSE(edit->GetHScrollBar()->IsShown());

    // The range is what the content exceeds the client rectangle by.
    const RECT client = host->GetClientRect();
    const int height = client.bottom - client.top;
    host->TxSetScrollRange(SB_VERT, 0, height, TRUE);
    EXPECT_FALSE(edit->GetVScrollBar()->IsShown());
    host->TxSetScrollRange(SB_VERT, 10, height + 60, TRUE);
    EXPECT_TRUE(edit->GetVScrollBar()->IsShown());
    EXPECT_EQ(edit->GetVScrollBar()->GetExtent(), 50);
    host->TxSetScrollRange(SB_HORZ, 0, (client.right - client.left) + 30, TRUE);
    EXPECT_TRUE(edit->GetHScrollBar()->IsShown());
    EXPECT_EQ(edit->GetHScrollBar()->GetExtent(), 30);
    host->TxSetScrollPos(SB_HORZ, 12, TRUE);
    EXPECT_EQ(edit->GetHScrollBar()->GetOffset(), 12);
}

TEST_F(TxtWinHostTest, AShrinkingRangeMovesTheChildrenWithTheText) {
    Build(R"(<VerticalLayout><RichEdit name="re" height="100" vscrollbar="true"><Control name="child"/></RichEdit>)"
          R"(<Control/></VerticalLayout>)");
    auto* edit = Find<CRichEditUI>(L"re");
    CTxtWinHost* host = Host(edit);
    auto* child = Find<SkinUI::CControlUI>(L"child");
    host->TxSetScrollRange(SB_VERT, 0, 100 + 80, TRUE);
    Pump();
    edit->ScrollTo(SIZE{0, 80});
    const LONG top = child->GetBounds().top;
    host->TxSetScrollRange(SB_VERT, 0, 100 + 30, TRUE);
    EXPECT_EQ(edit->GetVScrollBar()->GetOffset(), 30);
    EXPECT_EQ(child->GetBounds().top, top + 50);
}

TEST_F(TxtWinHostTest, OnlyTheArrowAndTheIBeamAreShownAsCursors) {
    CRichEditUI* edit = BuildEdit("");
    CTxtWinHost* host = Host(edit);
    host->TxSetCursor(LoadCursorW(nullptr, IDC_IBEAM), TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM));
    host->TxSetCursor(LoadCursorW(nullptr, IDC_HAND), TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));

    // Over the text the text services choose the I-beam; outside it nothing happens.
    const RECT client = host->GetClientRect();
    POINT inside{client.left + 5, client.top + 5};
    EXPECT_TRUE(host->DoSetCursor(&inside));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM));
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    POINT outside{client.left + 5, client.bottom + 5};
    EXPECT_FALSE(host->DoSetCursor(&outside));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(TxtWinHostTest, AnswersOnlyItsOwnInterfacesAndFollowsResizeRequests) {
    CRichEditUI* edit = BuildEdit("");
    CTxtWinHost* host = Host(edit);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(host->QueryInterface(IID_ITextServices, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(host->QueryInterface(IID_ITextHost, &object), S_OK);
    EXPECT_EQ(object, static_cast<ITextHost*>(host));
    EXPECT_EQ(host->Release(), 1u);

    const RECT client = host->GetClientRect();
    REQRESIZE request;
    request.rc = RECT{0, 0, 40, 25};
    host->TxNotify(EN_REQUESTRESIZE, &request);
    EXPECT_EQ(host->GetClientRect(), (RECT{client.left, client.top, client.left + 40, client.top + 25}));
    EXPECT_TRUE(m_codes.empty()) << "a resize request is the host's own business";
    SIZEL extent;
    host->TxGetExtent(&extent);
    EXPECT_EQ(extent.cx, 40 * 2540 / 96);
}

TEST_F(TxtWinHostTest, ADropTargetIsRegisteredOnceAndWithdrawnWithTheControl) {
    HMODULE real = LoadLibraryW(platform::kTextServicesModule);
    DropTextServices::s_realCreate = reinterpret_cast<PCreateTextServices>(GetProcAddress(real, "CreateTextServices"));
    const PCreateTextServices create = &DropTextServices::Create;
    platform::RegisterBuiltinModule(platform::kTextServicesModule, {{"CreateTextServices", platform::AsProc(create)}});

    CRichEditUI* edit = BuildEdit("");
    ASSERT_NE(DropTextServices::s_live, nullptr);
    CountedDropTarget& target = DropTextServices::s_live->target_;
    edit->SetDragDropEnabled(true);
    edit->SetDragDropEnabled(true);
    EXPECT_EQ(platform::RegisteredDropTarget(m_hwnd), &target);
    edit->SetDragDropEnabled(false);
    EXPECT_EQ(platform::RegisteredDropTarget(m_hwnd), nullptr);
    EXPECT_EQ(target.references, 1u) << "every reference taken was given back";

    edit->SetDragDropEnabled(true);
    auto* parent = dynamic_cast<SkinUI::CContainerUI*>(edit->GetParentControl());
    ASSERT_TRUE(parent->RemoveChild(edit));
    EXPECT_EQ(DropTextServices::s_live, nullptr);
    EXPECT_EQ(platform::RegisteredDropTarget(m_hwnd), nullptr) << "no registration points into the freed services";
    FreeLibrary(real);
}
