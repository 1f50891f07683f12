// Feeds arbitrary bytes to the dialog builder as skin XML: building, laying out, hit-testing
// and freeing the tree must never crash, leak or read freed memory, whatever the markup.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SkinUI::CUIPaintManager manager;
    SkinUI::CUIDialogBuilder builder;
    SkinUI::CControlUI* root =
        builder.BuildFromText(std::string_view(reinterpret_cast<const char*>(data), size), &manager);
    if (root == nullptr) return 0;
    manager.AttachRoot(root);
    manager.SetClientSize(SIZE{640, 480});
    manager.UpdateLayout();
    manager.ControlAtPoint(320, 240);
    manager.FocusNextTabStop(nullptr);
    manager.ControlByName(L"x");
    return 0;
}
