// A 540x434 window full of text and images painted through the window layer,
// headless: invalidate, WM_PAINT, BeginPaint, a frame drawn into a memory DC
// as the UI framework double-buffers, BitBlt to the window, EndPaint handing
// the pixels to the display. Also a small dirty area, as a progress tick is.
#include <benchmark/benchmark.h>

#include "PaintScene.h"
#include "platform/display/HeadlessDisplay.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "platform/window/WindowPos.h"

namespace {

using paintbench::kHeight;
using paintbench::kWidth;

const paintbench::PaintResources* g_resources = nullptr;

LRESULT PaintProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(hwnd, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    HDC buffer = CreateCompatibleDC(hdc);
    HBITMAP bitmap = CreateCompatibleBitmap(hdc, kWidth, kHeight);
    HGDIOBJ old = SelectObject(buffer, bitmap);
    g_resources->DrawFrame(buffer);
    const RECT& dirty = paint.rcPaint;
    BitBlt(hdc, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, buffer, dirty.left,
           dirty.top, SRCCOPY);
    SelectObject(buffer, old);
    DeleteObject(bitmap);
    DeleteDC(buffer);
    EndPaint(hwnd, &paint);
    return 0;
}

class WindowScene {
public:
    WindowScene() {
        platform::SetWindowBackend(&m_display);
        g_resources = &m_resources;
        WNDCLASSEXW wc;
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PaintProc;
        wc.lpszClassName = L"WindowPaintBench";
        RegisterClassExW(&wc);
        m_hwnd = CreateWindowExW(0, L"WindowPaintBench", L"bench", WS_POPUP | WS_VISIBLE, 100, 100, kWidth, kHeight,
                                 nullptr, nullptr, nullptr, nullptr);
        UpdateWindow(m_hwnd);
    }
    ~WindowScene() {
        DestroyWindow(m_hwnd);
        UnregisterClassW(L"WindowPaintBench", nullptr);
        g_resources = nullptr;
        platform::SetWindowBackend(nullptr);
    }
    void Repaint(const RECT* area) {
        InvalidateRect(m_hwnd, area, FALSE);
        UpdateWindow(m_hwnd);
    }

private:
    platform::HeadlessDisplay m_display;
    paintbench::PaintResources m_resources;
    HWND m_hwnd = nullptr;
};

void BM_PaintWholeWindow(benchmark::State& state) {
    WindowScene scene;
    for (auto _ : state)
        scene.Repaint(nullptr);
}
BENCHMARK(BM_PaintWholeWindow)->Unit(benchmark::kMillisecond);

void BM_PaintProgressTick(benchmark::State& state) {
    WindowScene scene;
    const RECT bar{20, 210, 520, 216};
    for (auto _ : state)
        scene.Repaint(&bar);
}
BENCHMARK(BM_PaintProgressTick)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
