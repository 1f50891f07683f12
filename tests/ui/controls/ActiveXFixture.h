// Shared by the ActiveX host tests: COM initialised on the test thread, a headless window
// at (100, 100) bound to a paint manager, test classes registered in the process's class
// table for the test's lifetime, skins from inline XML, messages sent to the manager as
// the window procedure would, and a log of notifications.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/display/HeadlessDisplay.h"
#include "platform/strings/StringConv.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WinMessages.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "support/RectCheck.h"
#include "ui/controls/ActiveXUI.h"
#include "ui/controls/FakeOleObject.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"

namespace axtest {

inline constexpr CLSID kWindowlessClass = {
    0x7E57AC10, 0x0010, 0x4A11, {0x8B, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};
inline constexpr CLSID kWindowedClass = {0x7E57AC11, 0x0011, 0x4A11, {0x8B, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};
inline constexpr const char* kWindowlessText = "{7E57AC10-0010-4A11-8B22-334455667788}";
inline constexpr const char* kWindowedText = "{7E57AC11-0011-4A11-8B22-334455667788}";

inline std::string Narrow(std::wstring_view text) {
    return platform::Utf8FromWide(std::wstring(text));
}

// A class in the process's class table (and a ProgID for it) until destroyed.
class ClassRegistration {
public:
    ClassRegistration(const CLSID& clsid, IClassFactory* factory, std::wstring progId = {})
        : m_progId(std::move(progId)) {
        EXPECT_EQ(CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie), S_OK);
        if (!m_progId.empty()) platform::RegisterProgId(m_progId, clsid);
    }
    ~ClassRegistration() {
        CoRevokeClassObject(m_cookie);
        if (!m_progId.empty()) platform::UnregisterProgId(m_progId);
    }
    ClassRegistration(const ClassRegistration&) = delete;
    ClassRegistration& operator=(const ClassRegistration&) = delete;

private:
    DWORD m_cookie = 0;
    std::wstring m_progId;
};

class ActiveXTest : public ::testing::Test, public SkinUI::INotifyUI {
protected:
    ActiveXTest() { platform::SetWindowBackend(&m_display); }
    ~ActiveXTest() override { platform::SetWindowBackend(nullptr); }

    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            auto* manager = reinterpret_cast<SkinUI::CUIPaintManager*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            LRESULT result = 0;
            if (manager != nullptr && manager->HandleWindowMessage(message, wParam, lParam, result)) return result;
            return DefWindowProcW(hwnd, message, wParam, lParam);
        };
        wc.lpszClassName = L"ActiveXTestWindow";
        RegisterClassExW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        m_manager = std::make_unique<SkinUI::CUIPaintManager>();
        m_manager->Bind(m_hwnd);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_manager.get()));
        m_manager->AddNotifier(this);
        m_windowless = Register(kWindowlessClass, fakeax::FakeOptions{}, L"XjTest.Windowless");
        fakeax::FakeOptions windowed;
        windowed.windowless = false;
        m_windowed = Register(kWindowedClass, windowed, L"XjTest.Windowed");
    }
    void TearDown() override {
        if (m_hwnd != nullptr) SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        m_manager.reset();  // the controls let their objects go before the window does
        if (m_hwnd != nullptr) DestroyWindow(m_hwnd);
        m_registrations.clear();
        EXPECT_EQ(m_alive, 0) << "test objects left alive";
        CoUninitialize();
    }

    void Notify(SkinUI::UINotifyMsg& msg) override {
        if (msg.type == L"setfocus" || msg.type == L"killfocus" || msg.type == L"timer") return;
        m_log.push_back(Narrow(msg.type.View()) + ":" +
                        (msg.sender != nullptr ? Narrow(msg.sender->GetName().View()) : "-"));
    }

    // A factory of `Object`s under `clsid` for the rest of the test; every object it makes
    // counts in m_alive.
    template <typename Object = fakeax::CFakeOleObject>
    fakeax::CFakeFactory<Object>* Register(const CLSID& clsid, fakeax::FakeOptions options, std::wstring progId = {}) {
        options.alive = &m_alive;
        auto* factory = new fakeax::CFakeFactory<Object>(options);
        m_registrations.push_back(std::make_unique<ClassRegistration>(clsid, factory, std::move(progId)));
        factory->Release();  // the class table holds it now
        return factory;
    }

    void Build(std::string_view xml) {
        SkinUI::CUIDialogBuilder builder;
        SkinUI::CControlUI* root = builder.BuildFromText(xml, m_manager.get());
        ASSERT_NE(root, nullptr) << Narrow(builder.LastError());
        m_manager->AttachRoot(root);
        SendMessageW(m_hwnd, WM_SIZE, 0, MAKELPARAM(400, 300));
        m_manager->UpdateLayout();
    }

    template <class T = SkinUI::CActiveXUI>
    T* Find(std::wstring_view name) {
        auto* control = dynamic_cast<T*>(m_manager->ControlByName(name));
        EXPECT_NE(control, nullptr) << Narrow(name);
        return control;
    }

    // The test object the control hosts, or null.
    static fakeax::CFakeOleObject* Hosted(SkinUI::CActiveXUI* control) {
        platform::ComPtr<fakeax::IFakeProbe> probe;
        if (control == nullptr || FAILED(control->GetControl(fakeax::IID_IFakeProbe, probe.ReceiveVoid()))) {
            return nullptr;
        }
        return probe->Self();
    }

    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
        LRESULT result = 0;
        m_manager->HandleWindowMessage(message, wParam, lParam, result);
        return result;
    }
    LRESULT Mouse(UINT message, int x, int y, WPARAM keys = 0) {
        return Send(message, keys, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    }
    int Count(const std::string& entry) const {
        return static_cast<int>(std::count(m_log.begin(), m_log.end(), entry));
    }

    platform::HeadlessDisplay m_display;
    HWND m_hwnd = nullptr;
    std::unique_ptr<SkinUI::CUIPaintManager> m_manager;
    std::vector<std::string> m_log;
    int m_alive = 0;
    fakeax::CFakeFactory<>* m_windowless = nullptr;
    fakeax::CFakeFactory<>* m_windowed = nullptr;

private:
    std::vector<std::unique_ptr<ClassRegistration>> m_registrations;
};

}  // namespace axtest
