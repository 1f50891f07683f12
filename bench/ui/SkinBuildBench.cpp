// Building containers with many children: from skin XML through the dialog builder, and by
// appending controls from code. Both should grow linearly with the number of children.
#include <benchmark/benchmark.h>

#include <string>

#include "ui/core/ContainerUI.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"

namespace {

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
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BuildLabelsFromXml)->RangeMultiplier(2)->Range(4000, 32000)->Complexity()->Unit(benchmark::kMillisecond);

void BM_AppendChildren(benchmark::State& state) {
    for (auto _ : state) {
        SkinUI::CContainerUI container;
        for (int64_t i = 0; i < state.range(0); ++i)
            container.AppendChild(new SkinUI::CControlUI());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_AppendChildren)->RangeMultiplier(2)->Range(4000, 32000)->Complexity()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
