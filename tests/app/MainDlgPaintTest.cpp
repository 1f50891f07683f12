// What a download progress report repaints on the main window: the bar and the percent
// bubble where it was and where it goes, nothing else; and what the window then shows is
// what a full repaint shows.
#include <algorithm>
#include <vector>

#include "app/AppTestEnvironment.h"
#include "commonlib/util/Md5.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/Paint.h"
#include "support/ReferenceImage.h"
#include "ui/core/ControlUI.h"
#include "ui/core/TabLayoutUI.h"

namespace {

class MainDlgPaintTest : public AppTestEnvironment {
protected:
    void SetUp() override {
        WriteIni("[Debug]\nLog=0\n");
        StartApp();
    }
};

// The window's invalid region less `expected`, and `expected` less it: both empty when equal.
bool InvalidRegionIs(HWND hwnd, HRGN expected) {
    HRGN invalid = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(hwnd, invalid, FALSE);
    HRGN difference = CreateRectRgn(0, 0, 0, 0);
    const bool same = CombineRgn(difference, invalid, expected, RGN_XOR) == NULLREGION;
    DeleteObject(difference);
    DeleteObject(invalid);
    return same;
}

}  // namespace

TEST_F(MainDlgPaintTest, AProgressReportRepaintsOnlyTheBarAndTheBubble) {
    apptest::TestMainDlg dialog;
    const HWND hwnd = dialog.CreateHwnd(nullptr, L"test", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0);
    ASSERT_NE(hwnd, nullptr);
    SkinUI::CUIPaintManager& pm = dialog.PaintManager();
    static_cast<SkinUI::CTabLayoutUI*>(pm.ControlByName(L"tb_main")->QueryFacet(L"TabLayout"))->ShowPage(1);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    Md5SharedPercent() = 0;
    SkinUI::CControlUI* bar = pm.ControlByName(L"pro_InstallProgress");
    SkinUI::CControlUI* bubble = pm.ControlByName(L"lb_tip1");
    dialog.OnProgress(1000, 300, 0, 0);
    UpdateWindow(hwnd);
    ASSERT_TRUE(bubble->IsShown());
    for (const std::int64_t completed : {310, 450, 451}) {
        SCOPED_TRACE(completed);
        const RECT before = bubble->GetBounds();
        dialog.OnProgress(1000, completed, 0, 0);
        const RECT after = bubble->GetBounds();
        HRGN expected =
            CreateRectRgn(bar->GetBounds().left, bar->GetBounds().top, bar->GetBounds().right, bar->GetBounds().bottom);
        for (const RECT& place : {before, after}) {
            HRGN part = CreateRectRgn(place.left, place.top, place.right, place.bottom);
            CombineRgn(expected, expected, part, RGN_OR);
            DeleteObject(part);
        }
        EXPECT_TRUE(InvalidRegionIs(hwnd, expected));
        DeleteObject(expected);
        UpdateWindow(hwnd);
        const std::vector<std::uint32_t> partial = testsupport::ShownClientPixels(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
        EXPECT_FALSE(partial.empty());
        EXPECT_TRUE(partial == testsupport::ShownClientPixels(hwnd)) << "the repainted parts match a full repaint";
    }
    DestroyWindow(hwnd);
}
