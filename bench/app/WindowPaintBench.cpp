// The installer's main window as the user sees it during a download: the installer's own
// skin on its progress page, painted through the window layer (invalidate, WM_PAINT,
// BeginPaint, the paint manager's back buffer, EndPaint handing the pixels to the display).
//   BM_PaintWholeWindow  the whole client area, as after a resize or an uncovering;
//   BM_ProgressTick      one download progress report through the window's own handler
//                        (CMainDlg::OnProgress): the bar grows a pixel and the percent bubble
//                        follows it, then the window paints what that invalidated.
// "of_full_paint" is the tick's time as a share of a full paint, measured in the same run.
// Headless by default; XJ_DISPLAY_BACKEND=x11 with DISPLAY set paints a real X window.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "app/MainDlg.h"
#include "platform/display/Display.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/core/TabLayoutUI.h"
#include "ui/window/WndShadow.h"

namespace {

// What the install click takes off the 434-pixel first page for the public edition: the
// band under the top bar (36) and the install row (84).
constexpr int kProgressPageHeight = 434 - 36 - 84;
// Bytes per pixel of bar: the download fills nine tenths of the 540-pixel bar.
constexpr std::int64_t kBytesPerPixel = 1000;
constexpr std::int64_t kTotal = kBytesPerPixel * 486;

// The main window without its start sequence (no version check, no download).
class BenchMainDlg : public CMainDlg {
protected:
    void StartSequence() override {}
};

class ProgressWindow {
public:
    ProgressWindow() {
        platform::StartDisplay(platform::DisplayKind::Auto);
        SkinUI::CWndShadow::RegisterShadowClass();
        m_hwnd = m_dialog.CreateHwnd(nullptr, L"《Aldrune》安装程序", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0);
        RECT rect{};
        GetWindowRect(m_hwnd, &rect);
        SetWindowPos(m_hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, kProgressPageHeight,
                     SWP_FRAMECHANGED);
        ShowWindow(m_hwnd, SW_SHOW);
        auto* tabs = static_cast<SkinUI::CTabLayoutUI*>(
            m_dialog.PaintManager().ControlByName(L"tb_main")->QueryFacet(L"TabLayout"));
        tabs->ShowPage(1);
        UpdateWindow(m_hwnd);  // lays the page out: the bar's width is known from here on
        m_completed = kTotal / 10;
        m_dialog.OnProgress(kTotal, m_completed, 0, 0);
        UpdateWindow(m_hwnd);
    }
    ~ProgressWindow() {
        DestroyWindow(m_hwnd);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        platform::StopDisplay();
    }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    void PaintWhole() {
        InvalidateRect(m_hwnd, nullptr, FALSE);
        UpdateWindow(m_hwnd);
    }
    // One report a pixel further on; from 90 % back to 10 % (one long jump in 390 ticks).
    void Tick() {
        m_completed += kBytesPerPixel;
        if (m_completed > kTotal * 9 / 10) m_completed = kTotal / 10;
        m_dialog.OnProgress(kTotal, m_completed, 0, 0);
        UpdateWindow(m_hwnd);
    }

private:
    BenchMainDlg m_dialog;
    HWND m_hwnd = nullptr;
    std::int64_t m_completed = 0;
};

double SecondsPerCall(int calls, void (ProgressWindow::*step)(), ProgressWindow& window) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i)
        (window.*step)();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / calls;
}

void BM_PaintWholeWindow(benchmark::State& state) {
    ProgressWindow window;
    for (auto _ : state)
        window.PaintWhole();
}
BENCHMARK(BM_PaintWholeWindow)->Unit(benchmark::kMillisecond);

void BM_ProgressTick(benchmark::State& state) {
    ProgressWindow window;
    for (auto _ : state)
        window.Tick();
    // The share, from runs of both side by side in this process.
    constexpr int kCalls = 300;
    const double whole = SecondsPerCall(kCalls, &ProgressWindow::PaintWhole, window);
    const double tick = SecondsPerCall(kCalls, &ProgressWindow::Tick, window);
    state.counters["of_full_paint"] = tick / whole;
}
BENCHMARK(BM_ProgressTick)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
