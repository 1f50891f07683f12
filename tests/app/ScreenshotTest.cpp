// The windows as a person sees them, headless, against reference pictures
// (support/ReferenceImage.h: text smoothing may differ a little, nothing else). Every
// screenshot is also written to <build>/artifacts/screenshots for a person to look at.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/AppTestEnvironment.h"
#include "app/MainDlg.h"
#include "app/MsgBoxDlg.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "support/MessagePump.h"
#include "support/PngBytes.h"
#include "support/ReferenceImage.h"

namespace fs = std::filesystem;

namespace {

class QuietMainDlg : public CMainDlg {
protected:
    void StartSequence() override {}
};

std::vector<std::uint32_t> Capture(HWND hwnd, int* width, int* height) {
    RECT client{};
    GetClientRect(hwnd, &client);
    *width = client.right;
    *height = client.bottom;
    std::vector<std::uint32_t> pixels(static_cast<size_t>(*width) * *height);
    if (!platform::CopyShownPixels(hwnd, client, pixels.data())) pixels.clear();
    return pixels;
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Straight ARGB for the PNG: the windows are opaque but for their cut corners.
std::vector<std::uint32_t> Unpremultiplied(const std::vector<std::uint32_t>& pixels) {
    std::vector<std::uint32_t> out(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t a = pixels[i] >> 24;
        if (a == 0 || a == 255) {
            out[i] = a == 0 ? 0 : pixels[i];
            continue;
        }
        const auto channel = [&](int shift) { return ((((pixels[i] >> shift) & 0xFF) * 255 + a / 2) / a) & 0xFF; };
        out[i] = (a << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0);
    }
    return out;
}

void CheckAgainstReference(const std::string& name, HWND hwnd) {
    int width = 0;
    int height = 0;
    const std::vector<std::uint32_t> shown = Capture(hwnd, &width, &height);
    ASSERT_FALSE(shown.empty()) << "the window has no pixels";
    const std::vector<uint8_t> png = testsupport::PngBytes(width, height, Unpremultiplied(shown));
    WriteBytes(fs::path(XJ_ARTIFACT_DIR) / "screenshots" / (name + ".png"), png);
    EXPECT_TRUE(testsupport::MatchesReferenceImage("app/" + name + ".png", shown, width, height));
}

class ScreenshotTest : public AppTestEnvironment {
protected:
    void SetUp() override {
        WriteIni("[Debug]\nLog=0\n");
        StartApp();
    }
};

}  // namespace

TEST_F(ScreenshotTest, MainWindowFirstPage) {
    QuietMainDlg dialog;
    const HWND hwnd = dialog.CreateHwnd(nullptr, L"《Aldrune》安装程序", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0);
    ASSERT_NE(hwnd, nullptr);
    dialog.ShowHwnd(true, false);
    UpdateWindow(hwnd);
    CheckAgainstReference("main-window-first-page", hwnd);
    DestroyWindow(hwnd);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(10));
}

TEST_F(ScreenshotTest, RetryMessageBox) {
    auto* box = new CMsgBoxDlg(L"连接超时，请检查网络是否正常", L"提示信息", L"code:28 type:5");
    const HWND hwnd = box->CreateHwnd(nullptr, L"提示信息", WS_POPUP, 0);
    ASSERT_NE(hwnd, nullptr);
    box->SetButtonTexts(L"重试", L"");
    box->ShowControl(L"hlt_btn_0", false);
    box->ShowHwnd(true, false);
    UpdateWindow(hwnd);
    CheckAgainstReference("message-box-retry", hwnd);
    box->PostClose(CMsgBoxDlg::kResultCancel);
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return !IsWindow(hwnd); }));
}
