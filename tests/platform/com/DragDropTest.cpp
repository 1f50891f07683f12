#include "platform/com/DragDrop.h"

#include <gtest/gtest.h>

#include "platform/display/HeadlessDisplay.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowClass.h"

namespace {

class CountedTarget final : public IDropTarget {
public:
    HRESULT QueryInterface(REFIID, void** object) noexcept override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() noexcept override { return ++references; }
    ULONG Release() noexcept override { return --references; }
    HRESULT DragEnter(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
    HRESULT DragOver(DWORD, POINTL, DWORD*) override { return S_OK; }
    HRESULT DragLeave() override { return S_OK; }
    HRESULT Drop(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }

    ULONG references = 1;
};

}  // namespace

TEST(DragDropTest, ARegistrationHoldsItsTargetUntilRevokedAndOneWindowHasOne) {
    platform::HeadlessDisplay display;
    platform::SetWindowBackend(&display);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"DragDropTestWindow";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);

    CountedTarget first, second;
    EXPECT_EQ(RegisterDragDrop(hwnd, nullptr), E_INVALIDARG);
    EXPECT_EQ(RevokeDragDrop(hwnd), DRAGDROP_E_NOTREGISTERED);
    ASSERT_EQ(RegisterDragDrop(hwnd, &first), S_OK);
    EXPECT_EQ(first.references, 2u);
    EXPECT_EQ(RegisterDragDrop(hwnd, &second), DRAGDROP_E_ALREADYREGISTERED);
    EXPECT_EQ(second.references, 1u);
    EXPECT_EQ(platform::RegisteredDropTarget(hwnd), &first);
    EXPECT_EQ(RevokeDragDrop(hwnd), S_OK);
    EXPECT_EQ(first.references, 1u);
    EXPECT_EQ(platform::RegisteredDropTarget(hwnd), nullptr);

    DestroyWindow(hwnd);
    EXPECT_EQ(RegisterDragDrop(hwnd, &first), DRAGDROP_E_INVALIDHWND);
    UnregisterClassW(wc.lpszClassName, nullptr);
    platform::SetWindowBackend(nullptr);
}
