// A 540x434 window full of text and images painted through the window layer,
// headless: invalidate, WM_PAINT, BeginPaint, a frame drawn into a memory DC
// as the UI framework double-buffers, BitBlt to the window, EndPaint handing
// the pixels to the display. Also a small dirty area, as a progress tick is.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <vector>

#include "platform/display/HeadlessDisplay.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ImageDecode.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "platform/window/WindowPos.h"

namespace {

constexpr int kWidth = 540;
constexpr int kHeight = 434;

std::vector<uint8_t> MakePng(int width, int height) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, width, height);
    cairo_pattern_add_color_stop_rgba(gradient, 0, 0.2, 0.4, 0.8, 1);
    cairo_pattern_add_color_stop_rgba(gradient, 1, 0.9, 0.5, 0.1, 0.5);
    cairo_set_source(cr, gradient);
    cairo_paint(cr);
    cairo_pattern_destroy(gradient);
    cairo_destroy(cr);
    std::vector<uint8_t> bytes;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<std::vector<uint8_t>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    cairo_surface_destroy(surface);
    return bytes;
}

struct Resources {
    HDC imageDc = nullptr;
    HBITMAP image = nullptr;
    HFONT font = nullptr;
    HFONT bold = nullptr;
};

Resources* g_resources = nullptr;

void DrawFrame(HDC dc, const Resources& r) {
    platform::FillRectAlpha(dc, RECT{0, 0, kWidth, kHeight}, 0xFFF4F6FA);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, 0, 0, kWidth, 120, r.imageDc, 0, 0, 64, 64, blend);
    for (int i = 0; i < 6; ++i)
        AlphaBlend(dc, 20 + i * 84, 140, 64, 64, r.imageDc, 0, 0, 64, 64, blend);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, r.bold);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT title{20, 20, 520, 60};
    DrawTextW(dc, L"Quorvel 安装程序", -1, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, r.font);
    SetTextColor(dc, RGB(40, 40, 40));
    for (int line = 0; line < 10; ++line) {
        RECT row{20, 220 + line * 18, 520, 238 + line * 18};
        DrawTextW(dc, L"正在下载游戏客户端 Downloading the game client, please wait… 剩余时间 3 分钟", -1, &row,
                  DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX | (line % 2 ? DT_RIGHT : DT_LEFT));
    }
    SelectObject(dc, old);
    platform::FillRectAlpha(dc, RECT{20, 210, 520, 216}, 0xFFDDE3EE);
    platform::FillRectAlpha(dc, RECT{20, 210, 330, 216}, 0xFF2F80ED);
}

LRESULT PaintProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(hwnd, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    HDC buffer = CreateCompatibleDC(hdc);
    HBITMAP bitmap = CreateCompatibleBitmap(hdc, kWidth, kHeight);
    HGDIOBJ old = SelectObject(buffer, bitmap);
    DrawFrame(buffer, *g_resources);
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
        m_resources.imageDc = CreateCompatibleDC(nullptr);
        m_resources.image = platform::DecodeImage(MakePng(64, 64))->bitmap;
        m_oldImage = SelectObject(m_resources.imageDc, m_resources.image);
        m_resources.font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"微软雅黑");
        m_resources.bold = CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"微软雅黑");
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
        SelectObject(m_resources.imageDc, m_oldImage);
        DeleteObject(m_resources.image);
        DeleteObject(m_resources.font);
        DeleteObject(m_resources.bold);
        DeleteDC(m_resources.imageDc);
        g_resources = nullptr;
        platform::SetWindowBackend(nullptr);
    }
    void Repaint(const RECT* area) {
        InvalidateRect(m_hwnd, area, FALSE);
        UpdateWindow(m_hwnd);
    }

private:
    platform::HeadlessDisplay m_display;
    Resources m_resources;
    HGDIOBJ m_oldImage = nullptr;
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
