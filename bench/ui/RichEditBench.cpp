// A rich edit with a megabyte of text: inserting it, then single keystrokes in the middle
// of it, each through the paint window's message filter as keys arrive, alone and followed
// by painting the window, as the next frame would. A keystroke must stay well inside a
// 16 ms frame.
//
// The text is 1,048,576 characters of Latin and Chinese lines of 40 to 100 characters.
// Headless display; run from a release build: build/release/bench/RichEditBench.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/display/HeadlessDisplay.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "ui/controls/ControlTags.h"
#include "ui/controls/RichEditUI.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr size_t kTextChars = 1 << 20;

std::wstring MegabyteOfText() {
    const std::wstring latin = L"The quick brown fox jumps over the lazy dog while the installer downloads ";
    const std::wstring chinese = L"客户端安装程序会把游戏下载到所选目录然后自动完成安装并启动";
    std::wstring text;
    text.reserve(kTextChars);
    unsigned seed = 7;
    while (text.size() < kTextChars) {
        seed = seed * 1103515245u + 12345u;
        const size_t length = 40 + (seed >> 16) % 61;
        const std::wstring& source = (seed >> 8) % 3 == 0 ? chinese : latin;
        for (size_t i = 0; i < length && text.size() < kTextChars; ++i)
            text += source[(i + seed) % source.size()];
        if (text.size() < kTextChars) text += L'\r';
    }
    return text;
}

class RichEditScene {
public:
    RichEditScene() {
        platform::SetWindowBackend(&m_display);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            auto* manager = reinterpret_cast<SkinUI::CUIPaintManager*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            LRESULT result = 0;
            if (manager != nullptr && manager->HandleWindowMessage(message, wParam, lParam, result)) return result;
            return DefWindowProcW(hwnd, message, wParam, lParam);
        };
        wc.lpszClassName = L"RichEditBench";
        RegisterClassExW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr,
                                 nullptr, nullptr, nullptr);
        m_manager = std::make_unique<SkinUI::CUIPaintManager>();
        m_manager->Bind(m_hwnd);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_manager.get()));
        SkinUI::RegisterControlTags();
        SkinUI::CUIDialogBuilder builder;
        m_manager->AttachRoot(builder.BuildFromText(
            R"(<VerticalLayout><RichEdit name="re" vscrollbar="true" maxchar="4000000"/></VerticalLayout>)",
            m_manager.get()));
        SendMessageW(m_hwnd, WM_SIZE, 0, MAKELPARAM(kWidth, kHeight));
        m_manager->UpdateLayout();
        m_edit = static_cast<SkinUI::CRichEditUI*>(m_manager->ControlByName(L"re"));
        m_edit->TakeFocus();
        m_canvas = CreateCompatibleDC(nullptr);
        m_bitmap = CreateCompatibleBitmap(m_canvas, kWidth, kHeight);
        m_old = SelectObject(m_canvas, m_bitmap);
    }
    ~RichEditScene() {
        SelectObject(m_canvas, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_canvas);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
        m_manager.reset();
        UnregisterClassW(L"RichEditBench", nullptr);
        platform::SetWindowBackend(nullptr);
    }

    SkinUI::CRichEditUI* Edit() const { return m_edit; }
    void Insert(const std::wstring& text) {
        m_edit->SetCaption(L"");
        m_edit->ReplaceSel(text.c_str(), true);
        m_manager->UpdateLayout();
    }
    // A character as the window receives it.
    void Type(wchar_t character) {
        LRESULT result = 0;
        m_manager->HandleWindowMessage(WM_CHAR, static_cast<WPARAM>(character), 0, result);
    }
    void Key(UINT key) {
        LRESULT result = 0;
        m_manager->HandleWindowMessage(WM_KEYDOWN, key, 0, result);
    }
    void Paint() { m_manager->PaintInto(m_canvas, RECT{0, 0, kWidth, kHeight}); }

private:
    platform::HeadlessDisplay m_display;
    HWND m_hwnd = nullptr;
    std::unique_ptr<SkinUI::CUIPaintManager> m_manager;
    SkinUI::CRichEditUI* m_edit = nullptr;
    HDC m_canvas = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
};

void BM_InsertMegabyte(benchmark::State& state) {
    RichEditScene scene;
    const std::wstring text = MegabyteOfText();
    for (auto _ : state) {
        scene.Insert(text);
        benchmark::DoNotOptimize(scene.Edit()->GetTextLength());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * sizeof(wchar_t)));
}
BENCHMARK(BM_InsertMegabyte)->Unit(benchmark::kMillisecond)->Iterations(3);

// `paint` 0: the keystroke alone; 1: the keystroke and the frame after it. Keystrokes type a
// character and take it back with Backspace in turn, so the text stays the same size.
void BM_KeystrokeInTheMiddle(benchmark::State& state) {
    RichEditScene scene;
    scene.Insert(MegabyteOfText());
    scene.Edit()->SetSelection(static_cast<LONG>(kTextChars / 2), static_cast<LONG>(kTextChars / 2));
    scene.Paint();
    const bool paint = state.range(0) != 0;
    int n = 0;
    for (auto _ : state) {
        if (n++ % 2 == 0) {
            scene.Type(n % 4 == 1 ? L'x' : L'中');
        } else {
            scene.Key(VK_BACK);
        }
        if (paint) scene.Paint();
    }
    state.counters["text"] = static_cast<double>(scene.Edit()->GetTextLength());
}
BENCHMARK(BM_KeystrokeInTheMiddle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
