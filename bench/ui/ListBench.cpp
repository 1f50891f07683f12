// A list of text rows in a 500x400 window on the headless display: building it from skin XML,
// its first layout and paint, and one wheel step of scrolling (a 20-pixel move and the
// repaint of the window). Run with 1,000 and 10,000 rows; "per_row" is the time divided by the
// row count, so a figure that stays flat from one size to the other means linear growth.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "BenchWindow.h"
#include "platform/gdi/Gdi.h"
#include "ui/controls/ControlTags.h"
#include "ui/controls/ListUI.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"

namespace {

constexpr int kWidth = 500;
constexpr int kHeight = 400;
constexpr int kScrollStep = 20;

class CCellTexts : public SkinUI::IListTextProvider {
public:
    std::wstring GetItemText(SkinUI::CControlUI* /*row*/, int index, int column) override {
        return L"row " + std::to_wstring(index) + L" cell " + std::to_wstring(column);
    }
};

std::string ListXml(int rows) {
    std::string xml = R"(<VerticalLayout><List name="list" vscrollbar="true" itemlinecolor="#FFE0E0E0">
        <ListHeader><ListHeaderItem width="160" text="Name"/><ListHeaderItem width="160" text="Size"/>
        <ListHeaderItem width="160" text="Date"/></ListHeader>)";
    for (int i = 0; i < rows; ++i)
        xml += R"(<ListTextElement height="22"/>)";
    return xml + "</List></VerticalLayout>";
}

// A window bound to a paint manager, and an off-screen target to paint into.
class Scene {
public:
    Scene() {
        manager.Bind(m_window.Handle());
        manager.SetClientSize(SIZE{kWidth, kHeight});
        m_target = CreateCompatibleDC(nullptr);
        m_bitmap = CreateCompatibleBitmap(m_target, kWidth, kHeight);
        m_old = SelectObject(m_target, m_bitmap);
    }
    ~Scene() {
        manager.AttachRoot(new SkinUI::CContainerUI());
        manager.Bind(nullptr);
        SelectObject(m_target, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_target);
    }

    SkinUI::CListUI* Build(const std::string& xml) {
        SkinUI::RegisterControlTags();
        SkinUI::CUIDialogBuilder builder;
        manager.AttachRoot(builder.BuildFromText(xml, &manager));
        auto* list = static_cast<SkinUI::CListUI*>(manager.ControlByName(L"list"));
        list->SetTextProvider(&m_texts);
        return list;
    }
    // Frees the list outside the measured time.
    void Drop() { manager.AttachRoot(new SkinUI::CContainerUI()); }
    void Paint() { manager.PaintInto(m_target, RECT{0, 0, kWidth, kHeight}); }

private:
    benchui::BenchWindow m_window{L"ListBench", kWidth, kHeight};

public:
    SkinUI::CUIPaintManager manager;

private:
    HDC m_target = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    CCellTexts m_texts;
};

void PerRow(benchmark::State& state) {
    state.counters["per_row"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ListBuild(benchmark::State& state) {
    Scene scene;
    const std::string xml = ListXml(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        scene.Build(xml);
        state.PauseTiming();
        scene.Drop();
        state.ResumeTiming();
    }
    PerRow(state);
}

void BM_ListFirstPaint(benchmark::State& state) {
    Scene scene;
    const std::string xml = ListXml(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        scene.Build(xml);
        state.ResumeTiming();
        scene.Paint();
        state.PauseTiming();
        scene.Drop();
        state.ResumeTiming();
    }
    PerRow(state);
}

void BM_ListScrollStep(benchmark::State& state) {
    Scene scene;
    SkinUI::CListUI* list = scene.Build(ListXml(static_cast<int>(state.range(0))));
    scene.Paint();
    const int range = list->GetScrollExtent().cy;
    for (auto _ : state) {
        const int next = list->GetScrollOffset().cy + kScrollStep;
        list->ScrollTo(SIZE{0, next > range ? 0 : next});
        scene.Paint();
    }
    PerRow(state);
}

BENCHMARK(BM_ListBuild)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListFirstPaint)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListScrollStep)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
