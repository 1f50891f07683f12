// Shared by the rich edit tests: the basic-control window on a manual clock, with input injected
// through the headless display (so key states, capture, double clicks and typed text take the
// same road as on a real display).
#pragma once

#include <string>

#include "../basic/BasicFixture.h"
#include "platform/module/Module.h"
#include "platform/textservices/TextServices.h"
#include "ui/controls/RichEditUI.h"
#include "ui/controls/TxtWinHost.h"

namespace richedittest {

class RichEditTest : public basictest::BasicControlTest {
protected:
    void SetUp() override {
        platform::EnsureTextServicesModule();
        BasicControlTest::SetUp();
        UseManualClock();
    }
    void TearDown() override {
        BasicControlTest::TearDown();
        platform::RegisterTextServicesModule();
    }

    // A rich edit "re" of the given attributes above a button "next", in the 400 x 300 window.
    SkinUI::CRichEditUI* BuildEdit(const std::string& attributes, int height = 120) {
        Build(R"(<VerticalLayout><RichEdit name="re" height=")" + std::to_string(height) + "\" " + attributes +
              R"(/><Button name="next" height="30"/><Control/></VerticalLayout>)");
        Pump();
        m_log.clear();
        return Find<SkinUI::CRichEditUI>(L"re");
    }

    void TypeText(const std::string& utf8) {
        m_display.TypeText(utf8);
        Pump();
    }
    void DragFromTo(POINT from, POINT to) {
        m_display.MoveMouse(from.x, from.y);
        m_display.PressButton(platform::RawInput::Button::Left);
        m_display.MoveMouse(to.x, to.y);
        m_display.ReleaseButton(platform::RawInput::Button::Left);
        Pump();
    }
    void WheelAt(POINT point, int delta, UINT modifier = 0) {
        m_display.MoveMouse(point.x, point.y);
        if (modifier != 0) m_display.KeyDown(modifier);
        m_display.Wheel(delta);
        if (modifier != 0) m_display.KeyUp(modifier);
        Pump();
    }

    static LRESULT Ask(SkinUI::CRichEditUI* edit, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        LRESULT result = 0;
        edit->SendTextMessage(message, wParam, lParam, &result);
        return result;
    }
    static std::wstring Text(SkinUI::CRichEditUI* edit) { return edit->GetCaption().ToWString(); }
    static std::wstring Selected(SkinUI::CRichEditUI* edit) { return edit->GetSelectedText().ToWString(); }
    // The middle of the caret box before `cp`, in window co-ordinates.
    static POINT PointOf(SkinUI::CRichEditUI* edit, LONG cp) {
        POINT point = edit->PosFromChar(cp);
        point.y += 6;
        return point;
    }
};

}  // namespace richedittest
