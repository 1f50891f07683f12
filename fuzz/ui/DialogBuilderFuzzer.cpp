// Feeds arbitrary bytes to the dialog builder as skin XML: building, laying out, hit-testing,
// painting and freeing the tree must never crash, leak or read freed memory, whatever the
// markup says.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/gdi/Gdi.h"
#include "ui/controls/ControlTags.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SkinUI::RegisterControlTags();
    SkinUI::CUIPaintManager manager;
    SkinUI::CUIDialogBuilder builder;
    SkinUI::CControlUI* root =
        builder.BuildFromText(std::string_view(reinterpret_cast<const char*>(data), size), &manager);
    if (root == nullptr) return 0;
    manager.AttachRoot(root);
    manager.SetClientSize(SIZE{64, 48});
    manager.UpdateLayout();
    manager.ControlAtPoint(32, 24);
    manager.FocusNextTabStop(nullptr);
    manager.ControlByName(L"x");
    HDC screen = CreateCompatibleDC(nullptr);
    HBITMAP target = CreateCompatibleBitmap(screen, 64, 48);
    HGDIOBJ old = SelectObject(screen, target);
    manager.PaintInto(screen, RECT{0, 0, 64, 48});
    SelectObject(screen, old);
    DeleteObject(target);
    DeleteDC(screen);
    return 0;
}
