// Shared by the framework tests: builds a skin from inline XML into a paint manager and
// lays it out at a client size, plus a small clickable control that logs what reaches it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/RectCheck.h"
#include "ui/core/ControlUI.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"

namespace skintest {

inline std::string Narrow(std::wstring_view text) {
    return std::string(text.begin(), text.end());
}

// A focus stop that raises "click" when the button goes up over it, and logs every event
// type it receives.
class CTestButtonUI : public SkinUI::CControlUI {
public:
    const wchar_t* GetClassTag() const override { return L"TestButtonUI"; }
    UINT GetBehaviourFlags() const override { return IsUsable() ? SkinUI::kBehaviourFocusStop : 0; }
    void HandleEvent(SkinUI::UIEventRecord& event) override {
        events.push_back(static_cast<int>(event.type));
        if (event.type == SkinUI::UIEventType::ButtonUp) {
            const RECT& b = GetBounds();
            if (event.mouse.x >= b.left && event.mouse.x < b.right && event.mouse.y >= b.top &&
                event.mouse.y < b.bottom && Trigger() && m_manager != nullptr) {
                m_manager->RaiseNotify(this, L"click");
            }
            return;
        }
        CControlUI::HandleEvent(event);
    }
    int Count(SkinUI::UIEventType type) const {
        return static_cast<int>(std::count(events.begin(), events.end(), static_cast<int>(type)));
    }

    std::vector<int> events;
};

inline void RegisterTestControls() {
    SkinUI::CUIControlFactory::Instance().Register(L"TestButton",
                                                   []() -> SkinUI::CControlUI* { return new CTestButtonUI(); });
}

class Skin {
public:
    explicit Skin(std::string_view xml, SIZE client = SIZE{400, 300}) {
        RegisterTestControls();
        SkinUI::CUIDialogBuilder builder;
        root = builder.BuildFromText(xml, &manager);
        error = builder.LastError();
        if (root != nullptr) manager.AttachRoot(root);
        manager.SetClientSize(client);
        manager.UpdateLayout();
    }
    SkinUI::CControlUI* Find(std::wstring_view name) const { return manager.ControlByName(name); }
    RECT Bounds(std::wstring_view name) const {
        SkinUI::CControlUI* control = Find(name);
        EXPECT_NE(control, nullptr) << "no control named " << std::string(name.begin(), name.end());
        return control != nullptr ? control->GetBounds() : RECT{-1, -1, -1, -1};
    }
    void Relayout(SIZE client) {
        manager.SetClientSize(client);
        manager.UpdateLayout();
    }

    SkinUI::CUIPaintManager manager;
    SkinUI::CControlUI* root = nullptr;
    std::wstring error;
};

}  // namespace skintest
