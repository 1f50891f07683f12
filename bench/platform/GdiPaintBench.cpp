// One paint of the installer's main window size (540x434) into an offscreen
// surface: background, images blended from a decoded PNG (stretched and 1:1),
// a progress bar and a screenful of Latin and Chinese text. Headless.
#include <benchmark/benchmark.h>

#include "PaintScene.h"

namespace {

using paintbench::kHeight;
using paintbench::kWidth;

// The frame drawn into an offscreen bitmap of the window's size.
class Scene {
public:
    Scene() {
        m_target = CreateCompatibleDC(nullptr);
        m_targetBitmap = CreateCompatibleBitmap(m_target, kWidth, kHeight);
        m_oldTarget = SelectObject(m_target, m_targetBitmap);
    }
    ~Scene() {
        SelectObject(m_target, m_oldTarget);
        DeleteObject(m_targetBitmap);
        DeleteDC(m_target);
    }
    void Paint() { m_resources.DrawFrame(m_target); }

private:
    paintbench::PaintResources m_resources;
    HDC m_target = nullptr;
    HBITMAP m_targetBitmap = nullptr;
    HGDIOBJ m_oldTarget = nullptr;
};

void BM_PaintMainWindow(benchmark::State& state) {
    Scene scene;
    for (auto _ : state)
        scene.Paint();
}
BENCHMARK(BM_PaintMainWindow)->Unit(benchmark::kMillisecond);

void BM_DrawTextLine(benchmark::State& state) {
    Scene scene;  // keeps fonts warm
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 540, 20);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (auto _ : state) {
        RECT row{0, 0, 540, 20};
        DrawTextW(dc, L"正在下载游戏客户端 Downloading the game client", -1, &row, DT_SINGLELINE | DT_VCENTER);
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}
BENCHMARK(BM_DrawTextLine)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
