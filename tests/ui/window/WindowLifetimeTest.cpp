// Windows that end their own lives (the message box pattern), owners that go while a modal
// box runs, and the skin archive closed by the program while windows still use it. Run under
// AddressSanitizer, a use after free or a double free fails these tests.
#include <gtest/gtest.h>

#include <string>

#include "WindowTestScope.h"
#include "platform/resource/Resource.h"
#include "ui/skin/SkinZip.h"

using SkinUI::UINotifyMsg;
using SkinUI::WindowImplBase;
using windowtest::PumpUntil;
using windowtest::ScreenCentreOf;

namespace {

// Deletes itself on its last message, as the program's message box does; a click on "btn_ok"
// destroys the window at once, from inside the click's dispatch.
class CSelfDeletingBox : public WindowImplBase {
public:
    explicit CSelfDeletingBox(bool* gone) : m_gone(gone) {}

protected:
    LPCWSTR RegisteredClassName() const override { return L"LifetimeBox"; }
    std::wstring SkinFileName() const override { return L"CoreBox.xml"; }
    void OnNotify(UINotifyMsg& msg) override {
        if (msg.type == L"click") DestroyWindow(m_hwnd);
        WindowImplBase::OnNotify(msg);
    }
    void OnLastMessage(HWND hwnd) override {
        WindowImplBase::OnLastMessage(hwnd);
        *m_gone = true;
        delete this;
    }

private:
    bool* m_gone;
};

// An owner that also ends its life on its last message; a click on "btn_plain" runs a modal
// box, during which something closes the owner.
class COwnerWindow : public WindowImplBase {
public:
    COwnerWindow(bool* gone, bool* boxGone) : m_gone(gone), m_boxGone(boxGone) {}

    UINT modalResult = 0;

protected:
    LPCWSTR RegisteredClassName() const override { return L"LifetimeOwner"; }
    std::wstring SkinFileName() const override { return L"CoreWindow.xml"; }
    void OnNotify(UINotifyMsg& msg) override {
        if (msg.type == L"click" && msg.sender != nullptr && msg.sender->GetName() == L"btn_plain") {
            auto* box = new CSelfDeletingBox(m_boxGone);
            if (box->CreateHwnd(m_hwnd, L"box", WS_POPUP | WS_VISIBLE, 0) == nullptr) return;
            // Arrives while the box's loop runs, as a timer or a worker's message would.
            PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
            modalResult = box->RunModal();
            // The owner's window is gone by now; its object must still be whole.
            m_pm.GetRoot();
            return;
        }
        WindowImplBase::OnNotify(msg);
    }
    void OnLastMessage(HWND hwnd) override {
        WindowImplBase::OnLastMessage(hwnd);
        *m_gone = true;
        delete this;
    }

private:
    bool* m_gone;
    bool* m_boxGone;
};

}  // namespace

TEST(WindowLifetimeTest, WindowsThatEndTheirLivesFromTheirOwnHandlersOutliveTheDispatch) {
    windowtest::HeadlessScope scope;
    {
        // A box destroyed by its own click handler, deleting itself on its last message.
        bool gone = false;
        auto* box = new CSelfDeletingBox(&gone);
        const HWND hwnd = box->CreateHwnd(nullptr, L"box", WS_POPUP | WS_VISIBLE, 0);
        ASSERT_NE(hwnd, nullptr);
        const POINT pt = ScreenCentreOf(*box, L"btn_ok");
        scope.display.Click(pt.x, pt.y);
        EXPECT_TRUE(PumpUntil([&] { return gone; }));
        EXPECT_FALSE(IsWindow(hwnd));
    }
    {
        // An owner closed while the modal box of its click handler runs.
        bool ownerGone = false;
        bool boxGone = false;
        auto* owner = new COwnerWindow(&ownerGone, &boxGone);
        const HWND hwnd = owner->CreateHwnd(nullptr, L"owner", WS_POPUP | WS_VISIBLE, 0);
        ASSERT_NE(hwnd, nullptr);
        const POINT pt = ScreenCentreOf(*owner, L"btn_plain");
        scope.display.Click(pt.x, pt.y);
        EXPECT_TRUE(PumpUntil([&] { return ownerGone && boxGone; }));
        EXPECT_FALSE(IsWindow(hwnd));
    }
}

TEST(WindowLifetimeTest, TheProgramClosesItsSkinArchiveWhileWindowsStillUseIt) {
    windowtest::HeadlessScope scope;
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(WindowImplBase::kSkinResourceId), L"ZIPRES");
    ASSERT_NE(found, nullptr);
    const void* bytes = LockResource(LoadResource(nullptr, found));
    SkinUI::HSKINZIP zip = SkinUI::OpenSkinZip(bytes, SizeofResource(nullptr, found));
    ASSERT_NE(zip, nullptr);
    WindowImplBase::SetSkinArchive(zip);

    bool gone = false;
    auto* box = new CSelfDeletingBox(&gone);
    const HWND hwnd = box->CreateHwnd(nullptr, L"box", WS_POPUP | WS_VISIBLE, 0);
    ASSERT_NE(hwnd, nullptr);
    // The shut-down order: the program closes its handle, then the framework lets go of its
    // own, and the window still holds the archive until it is destroyed.
    SkinUI::CloseSkinZip(zip);
    WindowImplBase::ReleaseSkinArchive();
    EXPECT_NE(box->PaintManager().GetSkinArchive()->FindEntry(L"CoreBox.xml"), nullptr);
    DestroyWindow(hwnd);
    EXPECT_TRUE(gone);
}
