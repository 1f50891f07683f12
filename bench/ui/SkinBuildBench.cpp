// Building containers with many children: from skin XML through the dialog builder, and by
// appending controls from code, to a lone container and to the root of a window's tree (with
// the layout pass that follows). "per_control" is the time divided by the number of children:
// a figure that stays flat from 4,000 to 32,000 means linear growth. Taking the tree down is
// left out of the appending cases' time.
//
// The allocator keeps the memory an iteration frees for the next one. Left to itself, glibc
// hands freed memory back to the kernel above a threshold that moves with what ran before,
// so one size was served from warm memory and the other paid a page fault for every few
// controls: that made 32,000 appends look 6 to 13 times dearer per control than 4,000.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>

#include "BenchWindow.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"
#include "ui/core/VerticalLayoutUI.h"

namespace {

void PerControl(benchmark::State& state) {
    state.counters["per_control"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_BuildLabelsFromXml(benchmark::State& state) {
    std::string xml = "<VerticalLayout>";
    for (int64_t i = 0; i < state.range(0); ++i)
        xml += "<Label text=\"row\" height=\"20\"/>";
    xml += "</VerticalLayout>";
    for (auto _ : state) {
        SkinUI::CUIPaintManager manager;
        SkinUI::CUIDialogBuilder builder;
        SkinUI::CControlUI* root = builder.BuildFromText(xml, &manager);
        manager.AttachRoot(root);
        manager.SetClientSize(SIZE{400, 300});
        manager.UpdateLayout();
    }
    PerControl(state);
}
BENCHMARK(BM_BuildLabelsFromXml)->Arg(4000)->Arg(32000)->Unit(benchmark::kMillisecond);

void BM_AppendChildren(benchmark::State& state) {
    for (auto _ : state) {
        auto* container = new SkinUI::CContainerUI();
        for (int64_t i = 0; i < state.range(0); ++i)
            container->AppendChild(new SkinUI::CControlUI());
        state.PauseTiming();
        delete container;
        state.ResumeTiming();
    }
    PerControl(state);
}
BENCHMARK(BM_AppendChildren)->Arg(4000)->Arg(32000)->Unit(benchmark::kMillisecond);

void BM_AppendChildrenInWindow(benchmark::State& state) {
    benchui::BenchWindow window(L"SkinBuildBench", 400, 300);
    for (auto _ : state) {
        state.PauseTiming();
        auto* manager = new SkinUI::CUIPaintManager();
        manager->Bind(window.Handle());
        auto* root = new SkinUI::CVerticalLayoutUI();
        manager->AttachRoot(root);
        manager->UpdateLayout();
        state.ResumeTiming();
        for (int64_t i = 0; i < state.range(0); ++i) {
            auto* row = new SkinUI::CControlUI();
            root->AppendChild(row);
            row->SetPresetHeight(20);
        }
        manager->UpdateLayout();
        state.PauseTiming();
        delete manager;
        state.ResumeTiming();
    }
    PerControl(state);
}
BENCHMARK(BM_AppendChildrenInWindow)->Arg(4000)->Arg(32000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
