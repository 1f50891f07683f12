#include "platform/com/DragDrop.h"

#include <gtest/gtest.h>

#include "../window/DisplayTestSupport.h"

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

using DragDropTest = windowtest::DisplayFixture;

TEST_F(DragDropTest, ARegistrationHoldsItsTargetUntilRevokedAndOneWindowHasOne) {
    const HWND hwnd = cls.Create(&recorder);
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
}
