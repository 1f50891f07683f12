#include "ui/window/WindowWnd.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "WindowTestScope.h"
#include "platform/resource/Resource.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowClass.h"

using SkinUI::CWindowWnd;
using windowtest::PumpUntil;

namespace {

constexpr UINT kRunInner = WM_USER + 1;
constexpr UINT kCloseWith = WM_USER + 2;
constexpr UINT kAnswer = WM_USER + 3;

// A plain window that records its messages and lets a test hook any of them.
class CRecordingWnd : public CWindowWnd {
public:
    explicit CRecordingWnd(std::wstring className = L"RecordingWnd", UINT classStyle = 0,
                           const wchar_t* superclass = nullptr)
        : m_className(std::move(className)), m_classStyle(classStyle), m_superclass(superclass) {}

    std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> hook;
    std::vector<UINT> messages;
    HWND hwndAtCreate = nullptr;
    HWND lastMessageFor = nullptr;
    int lastMessages = 0;
    bool deleteOnLastMessage = false;
    bool* deletedFlag = nullptr;

    ~CRecordingWnd() override {
        if (deletedFlag != nullptr) *deletedFlag = true;
    }

protected:
    LPCWSTR RegisteredClassName() const override { return m_className.c_str(); }
    LPCWSTR SuperclassName() const override { return m_superclass; }
    UINT ClassStyleBits() const override { return m_classStyle; }

    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        if (message == WM_CREATE) hwndAtCreate = m_hwnd;
        LRESULT result = 0;
        if (hook && hook(message, wParam, lParam, result)) return result;
        return CWindowWnd::OnWindowMessage(message, wParam, lParam);
    }
    void OnLastMessage(HWND hwnd) override {
        lastMessageFor = hwnd;
        ++lastMessages;
        if (deleteOnLastMessage) delete this;
    }

private:
    std::wstring m_className;
    UINT m_classStyle;
    const wchar_t* m_superclass;
};

LRESULT AnsweringProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kAnswer) return 42;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

RECT WindowRect(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

}  // namespace

TEST(WindowWndTest, CreationBindsTheObjectAndTheLastMessageReleasesIt) {
    windowtest::HeadlessScope scope;
    CRecordingWnd first(L"RecordingWndClassStyle", CS_DBLCLKS);
    const HWND hwnd = first.CreateHwnd(nullptr, L"first", WS_POPUP, 0, 10, 20, 100, 50);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(first.GetHWND(), hwnd);
    EXPECT_EQ(first.hwndAtCreate, hwnd) << "the handle is known while WM_CREATE runs";
    ASSERT_GE(first.messages.size(), 2u);
    EXPECT_EQ(first.messages[0], WM_NCCREATE);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(GetClassInfoExW(nullptr, L"RecordingWndClassStyle", &wc));
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_DBLCLKS));

    // A second object of the same class shares the registration; one object, one window.
    CRecordingWnd second(L"RecordingWndClassStyle", CS_DBLCLKS);
    ASSERT_NE(second.CreateHwnd(nullptr, L"second", WS_POPUP, 0, 0, 0, 10, 10), nullptr);
    EXPECT_EQ(first.CreateHwnd(nullptr, L"again", WS_POPUP, 0, 0, 0, 10, 10), nullptr);

    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(first.lastMessages, 1);
    EXPECT_EQ(first.lastMessageFor, hwnd);
    EXPECT_EQ(first.GetHWND(), nullptr);
    EXPECT_EQ(first.messages.back(), WM_NCDESTROY) << "the last message comes after WM_NCDESTROY";
    EXPECT_EQ(second.lastMessages, 0);

    // An object that dies first takes its window with it and is never called again.
    {
        auto* shortLived = new CRecordingWnd(L"RecordingWndClassStyle");
        ASSERT_NE(shortLived->CreateHwnd(nullptr, L"", WS_POPUP, 0, 0, 0, 10, 10), nullptr);
        const HWND gone = shortLived->GetHWND();
        delete shortLived;
        EXPECT_FALSE(IsWindow(gone));
    }
}

TEST(WindowWndTest, SuperclassKeepsTheBaseProcedureAndRectCreationUsesTheRect) {
    windowtest::HeadlessScope scope;
    WNDCLASSEXW base{};
    base.cbSize = sizeof(base);
    base.lpfnWndProc = &AnsweringProc;
    base.lpszClassName = L"AnsweringBase";
    ASSERT_NE(RegisterClassExW(&base), 0);

    CRecordingWnd super(L"AnsweringSuper", 0, L"AnsweringBase");
    ASSERT_NE(super.CreateHwndInRect(nullptr, WS_POPUP, 0, RECT{30, 40, 130, 100}), nullptr);
    EXPECT_EQ(SendMessageW(super.GetHWND(), kAnswer, 0, 0), 42) << "unhandled messages reach the base procedure";
    const RECT rect = WindowRect(super.GetHWND());
    EXPECT_EQ(rect.left, 30);
    EXPECT_EQ(rect.top, 40);
    EXPECT_EQ(rect.right, 130);
    EXPECT_EQ(rect.bottom, 100);

    // A superclass of a class that does not exist makes no window.
    CRecordingWnd orphan(L"OrphanSuper", 0, L"NoSuchBaseClass");
    EXPECT_EQ(orphan.CreateHwnd(nullptr, L"", WS_POPUP, 0, 0, 0, 10, 10), nullptr);
    // A name taken by a class with another procedure is refused rather than shared.
    CRecordingWnd clash(L"AnsweringBase");
    EXPECT_EQ(clash.CreateHwnd(nullptr, L"", WS_POPUP, 0, 0, 0, 10, 10), nullptr);
}

TEST(WindowWndTest, NestedModalLoopsEndWithTheirCloseCodes) {
    windowtest::HeadlessScope scope;
    CRecordingWnd outer(L"ModalOuter");
    CRecordingWnd* inner = new CRecordingWnd(L"ModalInner");
    inner->deleteOnLastMessage = true;
    bool innerDeleted = false;
    inner->deletedFlag = &innerDeleted;

    UINT innerResult = 0;
    bool outerDisabledInside = false;
    bool outerEnabledAfter = false;
    int outerMessagesAfterInner = 0;
    ASSERT_NE(outer.CreateHwnd(nullptr, L"outer", WS_POPUP | WS_VISIBLE, 0, 0, 0, 200, 100), nullptr);
    const HWND outerHwnd = outer.GetHWND();
    outer.hook = [&](UINT message, WPARAM, LPARAM, LRESULT& result) -> bool {
        if (message == kRunInner) {
            if (inner->CreateHwnd(outerHwnd, L"inner", WS_POPUP | WS_VISIBLE, 0, 0, 0, 80, 40) == nullptr) {
                ADD_FAILURE() << "no inner window";
                return false;
            }
            inner->hook = [&](UINT m, WPARAM w, LPARAM, LRESULT&) {
                if (m == kCloseWith) {
                    outerDisabledInside = !IsWindowEnabled(outerHwnd);
                    inner->PostClose(static_cast<UINT>(w));
                }
                return false;
            };
            PostMessageW(inner->GetHWND(), kCloseWith, 7, 0);
            innerResult = inner->RunModal();  // `inner` deletes itself on its way out
            outerEnabledAfter = IsWindowEnabled(outerHwnd) != FALSE;
            // The outer loop goes on after the inner one ended.
            PostMessageW(outerHwnd, kCloseWith, 3, 0);
            result = 0;
            return true;
        }
        if (message == kCloseWith) {
            ++outerMessagesAfterInner;
            outer.PostClose(static_cast<UINT>(3));
        }
        return false;
    };
    PostMessageW(outerHwnd, kRunInner, 0, 0);
    EXPECT_EQ(outer.RunModal(), 3u);
    EXPECT_EQ(innerResult, 7u);
    EXPECT_TRUE(innerDeleted);
    EXPECT_TRUE(outerDisabledInside) << "the owner is disabled while its modal window runs";
    EXPECT_TRUE(outerEnabledAfter);
    EXPECT_EQ(outerMessagesAfterInner, 1);
    EXPECT_FALSE(IsWindow(outerHwnd)) << "WM_CLOSE went on to destroy the window";
}

TEST(WindowWndTest, ModalLoopEndsWhenTheWindowDiesOrTheProgramQuits) {
    windowtest::HeadlessScope scope;
    CRecordingWnd owner(L"ModalOwner");
    ASSERT_NE(owner.CreateHwnd(nullptr, L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 0, 200, 100), nullptr);

    // Destroyed without WM_CLOSE: no code to return, and the owner is usable again.
    {
        CRecordingWnd box(L"ModalBox");
        ASSERT_NE(box.CreateHwnd(owner.GetHWND(), L"box", WS_POPUP | WS_VISIBLE, 0, 0, 0, 50, 50), nullptr);
        box.hook = [&](UINT m, WPARAM, LPARAM, LRESULT&) {
            if (m == kCloseWith) DestroyWindow(box.GetHWND());
            return false;
        };
        PostMessageW(box.GetHWND(), kCloseWith, 0, 0);
        EXPECT_EQ(box.RunModal(), CWindowWnd::kModalAborted);
        EXPECT_TRUE(IsWindowEnabled(owner.GetHWND()));
    }
    // WM_QUIT ends the modal loop and stays for the outer loop.
    {
        CRecordingWnd box(L"ModalBox");
        ASSERT_NE(box.CreateHwnd(owner.GetHWND(), L"box", WS_POPUP | WS_VISIBLE, 0, 0, 0, 50, 50), nullptr);
        PostQuitMessage(9);
        EXPECT_EQ(box.RunModal(), CWindowWnd::kModalAborted);
        EXPECT_TRUE(IsWindowEnabled(owner.GetHWND()));
        MSG msg{};
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 9u);
    }
    // A window without a handle cannot run.
    CRecordingWnd none(L"ModalBox");
    EXPECT_EQ(none.RunModal(), CWindowWnd::kModalAborted);
    // A close sent (not posted) ends the loop with its code as well.
    {
        CRecordingWnd box(L"ModalBox");
        ASSERT_NE(box.CreateHwnd(owner.GetHWND(), L"box", WS_POPUP | WS_VISIBLE, 0, 0, 0, 50, 50), nullptr);
        box.hook = [&](UINT m, WPARAM, LPARAM, LRESULT&) {
            if (m == kCloseWith) SendMessageW(box.GetHWND(), WM_CLOSE, 5, 0);
            return false;
        };
        PostMessageW(box.GetHWND(), kCloseWith, 0, 0);
        EXPECT_EQ(box.RunModal(), 5u);
    }
}

TEST(WindowWndTest, CentresOnTheOwnerOrTheWorkArea) {
    windowtest::HeadlessScope scope;
    const RECT work = platform::WorkArea();
    CRecordingWnd owner(L"CentreOwner");
    ASSERT_NE(owner.CreateHwnd(nullptr, L"owner", WS_POPUP, 0, 100, 100, 400, 300), nullptr);
    CRecordingWnd box(L"CentreBox");
    ASSERT_NE(box.CreateHwnd(owner.GetHWND(), L"box", WS_POPUP, 0, 0, 0, 100, 50), nullptr);
    box.CenterOnOwner();
    RECT rect = WindowRect(box.GetHWND());
    EXPECT_EQ(rect.left, 250);
    EXPECT_EQ(rect.top, 225);
    EXPECT_EQ(rect.right - rect.left, 100);

    // An owner hanging off the screen's edge cannot push the box off the work area.
    SetWindowPos(owner.GetHWND(), nullptr, work.right - 50, work.bottom - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    box.CenterOnOwner();
    rect = WindowRect(box.GetHWND());
    EXPECT_EQ(rect.right, work.right);
    EXPECT_EQ(rect.bottom, work.bottom);

    CRecordingWnd alone(L"CentreBox");
    ASSERT_NE(alone.CreateHwnd(nullptr, L"alone", WS_POPUP, 0, 0, 0, 200, 100), nullptr);
    alone.CenterOnOwner();
    rect = WindowRect(alone.GetHWND());
    EXPECT_EQ(rect.left, work.left + (work.right - work.left - 200) / 2);
    EXPECT_EQ(rect.top, work.top + (work.bottom - work.top - 100) / 2);
}

TEST(WindowWndTest, ShowHwndShowsWithOrWithoutActivation) {
    windowtest::HeadlessScope scope;
    CRecordingWnd first(L"ShowWnd");
    CRecordingWnd second(L"ShowWnd");
    ASSERT_NE(first.CreateHwnd(nullptr, L"first", WS_POPUP, 0, 0, 0, 100, 100), nullptr);
    ASSERT_NE(second.CreateHwnd(nullptr, L"second", WS_POPUP, 0, 200, 0, 100, 100), nullptr);

    first.ShowHwnd(true, true);
    EXPECT_TRUE(IsWindowVisible(first.GetHWND()));
    EXPECT_EQ(GetActiveWindow(), first.GetHWND());
    second.ShowHwnd(true, false);
    EXPECT_TRUE(IsWindowVisible(second.GetHWND()));
    EXPECT_EQ(GetActiveWindow(), first.GetHWND()) << "shown without taking the focus";
    first.ShowHwnd(false);
    EXPECT_FALSE(IsWindowVisible(first.GetHWND()));

    CRecordingWnd none(L"ShowWnd");
    none.ShowHwnd();  // no window: nothing happens
    none.CenterOnOwner();
    EXPECT_FALSE(none.SetWindowIcon());
}

TEST(WindowWndTest, WindowIconNeedsTheIconResource) {
    windowtest::HeadlessScope scope;
    CRecordingWnd wnd(L"IconWnd");
    ASSERT_NE(wnd.CreateHwnd(nullptr, L"", WS_POPUP, 0, 0, 0, 10, 10), nullptr);
    EXPECT_FALSE(wnd.SetWindowIcon()) << "the test program carries no icon";
    EXPECT_TRUE(IsWindow(wnd.GetHWND()));
    ASSERT_TRUE(
        platform::RegisterResource(RT_GROUP_ICON, static_cast<int>(CWindowWnd::kWindowIconId), std::string(6, '\0')));
    EXPECT_TRUE(wnd.SetWindowIcon());
}
