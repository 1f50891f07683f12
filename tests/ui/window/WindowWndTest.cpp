#include "ui/window/WindowWnd.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "WindowTestScope.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowClass.h"

using SkinUI::CWindowWnd;
using windowtest::RectOf;

namespace {

constexpr UINT kRunInner = WM_USER + 1;
constexpr UINT kCloseWith = WM_USER + 2;
constexpr UINT kAnswer = WM_USER + 3;

// A plain window that records its messages and lets a test hook any of them.
class CRecordingWnd : public CWindowWnd {
public:
    explicit CRecordingWnd(std::wstring className = L"RecordingWnd", const wchar_t* superclass = nullptr)
        : m_className(std::move(className)), m_superclass(superclass) {}
    ~CRecordingWnd() override {
        if (deletedFlag != nullptr) *deletedFlag = true;
    }

    std::function<bool(UINT, WPARAM)> hook;
    std::vector<UINT> messages;
    HWND hwndAtCreate = nullptr;
    int lastMessages = 0;
    bool deleteOnLastMessage = false;
    bool* deletedFlag = nullptr;

    HWND Create(HWND owner, int width = 50, int height = 50) {
        return CreateHwnd(owner, L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, width, height);
    }

protected:
    LPCWSTR RegisteredClassName() const override { return m_className.c_str(); }
    LPCWSTR SuperclassName() const override { return m_superclass; }

    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        if (message == WM_CREATE) hwndAtCreate = m_hwnd;
        if (hook && hook(message, wParam)) return 0;
        return CWindowWnd::OnWindowMessage(message, wParam, lParam);
    }
    void OnLastMessage(HWND) override {
        ++lastMessages;
        if (deleteOnLastMessage) delete this;
    }

private:
    std::wstring m_className;
    const wchar_t* m_superclass;
};

LRESULT AnsweringProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == kAnswer ? 42 : DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

TEST(WindowWndTest, CreationBindsTheObjectAndTheLastMessageReleasesIt) {
    windowtest::HeadlessScope scope;
    CRecordingWnd first;
    const HWND hwnd = first.Create(nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(first.hwndAtCreate, hwnd) << "the handle is known while WM_CREATE runs";
    EXPECT_EQ(first.messages.front(), static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(first.Create(nullptr), nullptr) << "one object, one window";

    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(first.lastMessages, 1);
    EXPECT_EQ(first.GetHWND(), nullptr);
    EXPECT_EQ(first.messages.back(), static_cast<UINT>(WM_NCDESTROY)) << "the last message follows WM_NCDESTROY";

    // An object that dies first takes its window with it and is never called again.
    auto* shortLived = new CRecordingWnd;
    const HWND gone = shortLived->Create(nullptr);
    ASSERT_NE(gone, nullptr);
    delete shortLived;
    EXPECT_FALSE(IsWindow(gone));
}

TEST(WindowWndTest, SuperclassKeepsTheBaseProcedure) {
    windowtest::HeadlessScope scope;
    WNDCLASSEXW base{};
    base.cbSize = sizeof(base);
    base.lpfnWndProc = &AnsweringProc;
    base.lpszClassName = L"AnsweringBase";
    ASSERT_NE(RegisterClassExW(&base), 0);

    CRecordingWnd super(L"AnsweringSuper", L"AnsweringBase");
    ASSERT_NE(super.CreateHwndInRect(nullptr, WS_POPUP, 0, RECT{30, 40, 130, 100}), nullptr);
    EXPECT_EQ(SendMessageW(super.GetHWND(), kAnswer, 0, 0), 42) << "unhandled messages reach the base procedure";
    EXPECT_EQ(RectOf(super.GetHWND()).bottom, 100);
    // No window for a superclass of a missing class, nor under a name another procedure holds.
    CRecordingWnd orphan(L"OrphanSuper", L"NoSuchBaseClass");
    EXPECT_EQ(orphan.Create(nullptr), nullptr);
    CRecordingWnd clash(L"AnsweringBase");
    EXPECT_EQ(clash.Create(nullptr), nullptr);
}

TEST(WindowWndTest, NestedModalLoopsEndWithTheirCloseCodes) {
    windowtest::HeadlessScope scope;
    CRecordingWnd outer;
    auto* inner = new CRecordingWnd;
    inner->deleteOnLastMessage = true;
    bool innerDeleted = false;
    inner->deletedFlag = &innerDeleted;
    ASSERT_NE(outer.Create(nullptr, 200, 100), nullptr);
    const HWND outerHwnd = outer.GetHWND();

    UINT innerResult = 0;
    bool outerDisabledInside = false;
    bool outerEnabledAfter = false;
    outer.hook = [&](UINT message, WPARAM) {
        if (message == kRunInner) {
            if (inner->Create(outerHwnd) == nullptr) return false;
            inner->hook = [&](UINT m, WPARAM w) {
                if (m == kCloseWith) {
                    outerDisabledInside = !IsWindowEnabled(outerHwnd);
                    inner->PostClose(static_cast<UINT>(w));
                }
                return false;
            };
            PostMessageW(inner->GetHWND(), kCloseWith, 7, 0);
            innerResult = inner->RunModal();  // `inner` deletes itself on its way out
            outerEnabledAfter = IsWindowEnabled(outerHwnd) != FALSE;
            PostMessageW(outerHwnd, kCloseWith, 3, 0);
            return true;
        }
        if (message == kCloseWith) outer.PostClose(3);
        return false;
    };
    PostMessageW(outerHwnd, kRunInner, 0, 0);
    EXPECT_EQ(outer.RunModal(), 3u) << "the outer loop goes on after the inner one";
    EXPECT_EQ(innerResult, 7u);
    EXPECT_TRUE(innerDeleted);
    EXPECT_TRUE(outerDisabledInside) << "the owner is disabled while its modal window runs";
    EXPECT_TRUE(outerEnabledAfter);
    EXPECT_FALSE(IsWindow(outerHwnd)) << "WM_CLOSE went on to destroy the window";
}

TEST(WindowWndTest, ModalLoopEndsWhenTheWindowDiesOrTheProgramQuits) {
    windowtest::HeadlessScope scope;
    CRecordingWnd owner;
    ASSERT_NE(owner.Create(nullptr, 200, 100), nullptr);
    const struct {
        const char* how;
        std::function<void(HWND)> end;
        UINT expected;
    } cases[] = {
        {"destroyed without WM_CLOSE", [](HWND box) { DestroyWindow(box); }, CWindowWnd::kModalAborted},
        {"WM_CLOSE sent, not posted", [](HWND box) { SendMessageW(box, WM_CLOSE, 5, 0); }, 5u},
        {"WM_QUIT", [](HWND) { PostQuitMessage(9); }, CWindowWnd::kModalAborted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        CRecordingWnd box;
        ASSERT_NE(box.Create(owner.GetHWND()), nullptr);
        box.hook = [&](UINT m, WPARAM) {
            if (m == kCloseWith) c.end(box.GetHWND());
            return false;
        };
        PostMessageW(box.GetHWND(), kCloseWith, 0, 0);
        EXPECT_EQ(box.RunModal(), c.expected);
        EXPECT_TRUE(IsWindowEnabled(owner.GetHWND()));
    }
    // The quit, which came last, stays for the outer loop.
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 9u);
    CRecordingWnd none;
    EXPECT_EQ(none.RunModal(), CWindowWnd::kModalAborted);
}

TEST(WindowWndTest, CentresOnTheOwnerWithinTheWorkArea) {
    windowtest::HeadlessScope scope;
    const RECT work = platform::WorkArea();
    CRecordingWnd owner;
    ASSERT_NE(owner.CreateHwnd(nullptr, L"", WS_POPUP, 0, 100, 100, 400, 300), nullptr);
    CRecordingWnd box;
    ASSERT_NE(box.CreateHwnd(owner.GetHWND(), L"", WS_POPUP, 0, 0, 0, 100, 50), nullptr);
    box.CenterOnOwner();
    EXPECT_EQ(RectOf(box.GetHWND()).left, 250);
    EXPECT_EQ(RectOf(box.GetHWND()).top, 225);
    // An owner hanging off the screen's edge cannot push the box off the work area.
    SetWindowPos(owner.GetHWND(), nullptr, work.right - 50, work.bottom - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    box.CenterOnOwner();
    EXPECT_EQ(RectOf(box.GetHWND()).right, work.right);
    EXPECT_EQ(RectOf(box.GetHWND()).bottom, work.bottom);

    // Shown without activation, the active window stays.
    owner.ShowHwnd(true, true);
    box.ShowHwnd(true, false);
    EXPECT_EQ(GetActiveWindow(), owner.GetHWND());
}
