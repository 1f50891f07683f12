#include "platform/com/ComApi.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/com/ComPtr.h"
#include "platform/strings/StringConv.h"

namespace {

constexpr CLSID kThingClass = {0x0A1B2C3D, 0x4E5F, 0x6071, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};

// An object whose only interface is IUnknown; counts live instances.
class CThing final : public IUnknown {
public:
    explicit CThing(int* alive) : m_alive(alive) { ++*m_alive; }
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        if (iid == IID_IUnknown) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() noexcept override { return ++m_refs; }
    ULONG Release() noexcept override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

private:
    ~CThing() { --*m_alive; }
    ULONG m_refs = 1;
    int* m_alive;
};

class CThingFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() noexcept override { return ++refs; }
    ULONG Release() noexcept override { return --refs; }  // lives on the test's stack
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override {
        *object = reinterpret_cast<void*>(0x1);  // callers must not see this on failure
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        auto* thing = new CThing(&alive);
        const HRESULT result = thing->QueryInterface(iid, object);
        thing->Release();
        return result;
    }
    HRESULT LockServer(BOOL) noexcept override { return S_OK; }

    ULONG refs = 0;
    int alive = 0;
};

class ComThreadScope {
public:
    ComThreadScope() { EXPECT_EQ(CoInitialize(nullptr), S_OK); }
    ~ComThreadScope() { CoUninitialize(); }
};

}  // namespace

TEST(ComApiTest, ClassIdTextIsReadExactly) {
    const struct {
        const wchar_t* text;
        bool valid;
    } cases[] = {
        {L"{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}", true},   {L"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9", false},
        {L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}x", false}, {L"{0A1B2C3G-4E5F-6071-8293-A4B5C6D7E8F9}", false},
        {L"{0A1B2C3D-4E5F-6071-829-3A4B5C6D7E8F9}", false},  {L"{+A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf8FromWide(c.text));
        CLSID read = kThingClass;
        const HRESULT result = CLSIDFromString(c.text, &read);
        if (c.valid) {
            EXPECT_EQ(result, S_OK);
            EXPECT_TRUE(read == kThingClass);
        } else {
            EXPECT_EQ(result, CO_E_CLASSSTRING);
            EXPECT_TRUE(read == CLSID_NULL);
        }
    }
    wchar_t text[39];
    EXPECT_EQ(StringFromGUID2(kThingClass, text, 38), 0);
    ASSERT_EQ(StringFromGUID2(kThingClass, text, 39), 39);
    EXPECT_STREQ(text, L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
}

TEST(ComApiTest, ObjectsComeOnlyFromRegisteredClassesOnInitialisedThreads) {
    CThingFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kThingClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(factory.refs, 1u);
    {
        // One class object per class.
        CThingFactory second;
        DWORD other = 0;
        EXPECT_EQ(CoRegisterClassObject(kThingClass, &second, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &other),
                  CO_E_OBJISREG);
        EXPECT_EQ(second.refs, 0u);
    }

    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CoCreateInstance(kThingClass, nullptr, CLSCTX_ALL, IID_IUnknown, &object), CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    {
        ComThreadScope com;
        EXPECT_EQ(OleInitialize(nullptr), S_FALSE);  // nested initialisation counts
        OleUninitialize();

        platform::ComPtr<IUnknown> thing;
        ASSERT_EQ(CoCreateInstance(kThingClass, nullptr, CLSCTX_ALL, IID_IUnknown, thing.ReceiveVoid()), S_OK);
        EXPECT_EQ(factory.alive, 1);
        thing.Reset();
        EXPECT_EQ(factory.alive, 0);

        // The factory's refusals reach the caller with a cleared pointer.
        object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(CoCreateInstance(kThingClass, nullptr, CLSCTX_ALL, IID_IClassFactory, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
        object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(CoCreateInstance(kThingClass, &factory, CLSCTX_ALL, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(object, nullptr);
        // Only in-process classes exist.
        EXPECT_EQ(CoCreateInstance(kThingClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object),
                  REGDB_E_CLASSNOTREG);

        ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
        EXPECT_EQ(factory.refs, 0u);
        EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
        EXPECT_EQ(CoCreateInstance(kThingClass, nullptr, CLSCTX_ALL, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
        EXPECT_EQ(factory.alive, 0);
    }
    EXPECT_EQ(CoCreateInstance(kThingClass, nullptr, CLSCTX_ALL, IID_IUnknown, &object), CO_E_NOTINITIALIZED);
}

TEST(ComApiTest, ProgIdsNameClassesWithoutCase) {
    ASSERT_TRUE(platform::RegisterProgId(L"Xj.Thing.1", kThingClass));
    CLSID found{};
    EXPECT_EQ(CLSIDFromProgID(L"XJ.THING.1", &found), S_OK);
    EXPECT_TRUE(found == kThingClass);
    EXPECT_EQ(CLSIDFromProgID(L"Xj.Thing", &found), CO_E_CLASSSTRING);
    EXPECT_TRUE(found == CLSID_NULL);
    EXPECT_EQ(CLSIDFromProgID(L"", &found), CO_E_CLASSSTRING);
    EXPECT_TRUE(platform::UnregisterProgId(L"xj.thing.1"));
    EXPECT_EQ(CLSIDFromProgID(L"Xj.Thing.1", &found), CO_E_CLASSSTRING);
    EXPECT_FALSE(platform::RegisterProgId(L"", kThingClass));
}
