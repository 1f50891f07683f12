// Shared by the ActiveX host tests: the basic-control window with COM initialised on the test
// thread, and test classes registered in the process's class table for the test's lifetime.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "../basic/BasicFixture.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "ui/controls/ActiveXUI.h"
#include "ui/controls/FakeOleObject.h"

namespace axtest {

using basictest::Narrow;

inline constexpr CLSID kWindowlessClass = {
    0x7E57AC10, 0x0010, 0x4A11, {0x8B, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};
inline constexpr const char* kWindowlessText = "{7E57AC10-0010-4A11-8B22-334455667788}";

// A VARIANT of `type` holding the number `value` (VT_I4) or else `pointer` (a BSTR or a reference).
inline VARIANT Of(VARTYPE type, void* pointer = nullptr, LONG value = 0) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    if (type == VT_I4) {
        v.lVal = value;
    } else {
        v.byref = pointer;
    }
    return v;
}

// An event with `args` (last first, as they are passed) delivered to `sink`.
inline HRESULT Fire(IDispatch* sink, DISPID member, std::vector<VARIANT> args, REFIID iid = IID_NULL) {
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    return sink->Invoke(member, iid, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
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

class ActiveXTest : public basictest::BasicControlTest {
protected:
    ActiveXTest() { m_className = L"ActiveXTestWindow"; }  // the browser tests make child windows of it

    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        BasicControlTest::SetUp();
        m_windowless = Register(kWindowlessClass, fakeax::FakeOptions{}, L"XjTest.Windowless");
        fakeax::FakeOptions windowed;
        windowed.windowless = false;
        constexpr CLSID kWindowedClass = {0x7E57AC11, 0x0011, 0x4A11, {0x8B, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};
        Register(kWindowedClass, windowed, L"XjTest.Windowed");
    }
    void TearDown() override {
        BasicControlTest::TearDown();
        m_registrations.clear();
        EXPECT_EQ(m_alive, 0) << "test objects left alive";
        CoUninitialize();
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

    SkinUI::CActiveXUI* Ax(std::wstring_view name = L"ax") { return Find<SkinUI::CActiveXUI>(name); }

    // The test object the control hosts, or null.
    static fakeax::CFakeOleObject* Hosted(SkinUI::CActiveXUI* control) {
        platform::ComPtr<fakeax::IFakeProbe> probe;
        if (control == nullptr || FAILED(control->GetControl(fakeax::IID_IFakeProbe, probe.ReceiveVoid()))) {
            return nullptr;
        }
        return probe->Self();
    }

    int m_alive = 0;
    fakeax::CFakeFactory<>* m_windowless = nullptr;

private:
    std::vector<std::unique_ptr<ClassRegistration>> m_registrations;
};

}  // namespace axtest
