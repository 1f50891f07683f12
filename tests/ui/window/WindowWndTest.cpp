#include "ui/window/WindowWnd.h"

#include <gtest/gtest.h>

#include <functional>

#include "WindowTestScope.h"

using SkinUI::CWindowWnd;

namespace {

constexpr UINT kRunInner = WM_USER + 1;
constexpr UINT kCloseWith = WM_USER + 2;

// A plain window that lets a test hook any of its messages.
class CHookedWnd : public CWindowWnd {
public:
    ~CHookedWnd() override {
        if (deletedFlag != nullptr) *deletedFlag = true;
    }

    std::function<bool(UINT, WPARAM)> hook;
    bool deleteOnLastMessage = false;
    bool* deletedFlag = nullptr;

    HWND Create(HWND owner, int width = 50, int height = 50) {
        return CreateHwnd(owner, L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, width, height);
    }

protected:
    LPCWSTR RegisteredClassName() const override { return L"HookedWnd"; }

    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (hook && hook(message, wParam)) return 0;
        return CWindowWnd::OnWindowMessage(message, wParam, lParam);
    }
    void OnLastMessage(HWND) override {
        if (deleteOnLastMessage) delete this;
    }
};

}  // namespace

TEST(WindowWndTest, NestedModalLoopsEndWithTheirCloseCodes) {
    windowtest::HeadlessScope scope;
    CHookedWnd outer;
    auto* inner = new CHookedWnd;
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

TEST(WindowWndTest, ModalLoopEndsWhenTheWindowIsDestroyedWithoutClose) {
    windowtest::HeadlessScope scope;
    CHookedWnd owner;
    ASSERT_NE(owner.Create(nullptr, 200, 100), nullptr);
    CHookedWnd box;
    ASSERT_NE(box.Create(owner.GetHWND()), nullptr);
    box.hook = [&](UINT m, WPARAM) {
        if (m == kCloseWith) DestroyWindow(box.GetHWND());
        return false;
    };
    PostMessageW(box.GetHWND(), kCloseWith, 0, 0);
    EXPECT_EQ(box.RunModal(), CWindowWnd::kModalAborted);
    EXPECT_TRUE(IsWindowEnabled(owner.GetHWND()));
}
