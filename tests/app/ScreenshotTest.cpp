// The windows as a person sees them, headless, against reference pictures
// (support/ReferenceImage.h: text smoothing may differ a little, nothing else). Every
// screenshot is also written to <build>/artifacts/screenshots for a person to look at.

#include "app/AppTestEnvironment.h"
#include "app/MsgBoxDlg.h"
#include "platform/window/Paint.h"
#include "support/ReferenceImage.h"

namespace {

void CheckAgainstReference(const std::string& name, HWND hwnd) {
    UpdateWindow(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    std::vector<std::uint32_t> shown(static_cast<size_t>(client.right) * client.bottom);
    ASSERT_TRUE(platform::CopyShownPixels(hwnd, client, shown.data())) << "the window has no pixels";
    testsupport::WriteArtifact("screenshots/" + name + ".png", shown, client.right, client.bottom);
    EXPECT_TRUE(testsupport::MatchesReferenceImage("app/" + name + ".png", shown, client.right, client.bottom));
}

class ScreenshotTest : public AppTestEnvironment {
protected:
    void SetUp() override {
        WriteIni("[Debug]\nLog=0\n");
        StartApp();
    }
};

}  // namespace

TEST_F(ScreenshotTest, MainWindowFirstPageAndRetryBox) {
    apptest::TestMainDlg dialog;
    const HWND hwnd = dialog.CreateHwnd(nullptr, L"《Aldrune》安装程序", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0);
    ASSERT_NE(hwnd, nullptr);
    dialog.ShowHwnd(true, false);
    CheckAgainstReference("main-window-first-page", hwnd);
    DestroyWindow(hwnd);

    auto* box = new CMsgBoxDlg(L"连接超时，请检查网络是否正常", L"提示信息", L"code:28 type:5");
    const HWND boxHwnd = box->CreateHwnd(nullptr, L"提示信息", WS_POPUP, 0);
    ASSERT_NE(boxHwnd, nullptr);
    box->SetButtonTexts(L"重试", L"");
    box->ShowControl(L"hlt_btn_0", false);
    box->ShowHwnd(true, false);
    CheckAgainstReference("message-box-retry", boxHwnd);
    box->PostClose(CMsgBoxDlg::kResultCancel);
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return !IsWindow(boxHwnd); }));
}
