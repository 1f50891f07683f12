#include "platform/com/OleAuto.h"

#include <gtest/gtest.h>

namespace {

// Counts its references; lives on the test's stack.
class CCounted final : public IDispatch {
public:
    HRESULT QueryInterface(REFIID, void** object) noexcept override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() noexcept override { return ++refs; }
    ULONG Release() noexcept override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
        return E_NOTIMPL;
    }

    ULONG refs = 0;
};

}  // namespace

TEST(OleAutoTest, StringsKeepTheirLengthAndVariantsFreeWhatTheyOwn) {
    const wchar_t withZero[] = {L'a', L'\0', L'b'};
    BSTR text = SysAllocStringLen(withZero, 3);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 3u);
    EXPECT_EQ(SysStringByteLen(text), 3 * sizeof(OLECHAR));
    EXPECT_EQ(text[1], L'\0');
    EXPECT_EQ(text[3], L'\0');
    SysFreeString(text);
    BSTR zeroed = SysAllocStringLen(nullptr, 2);
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(zeroed[0], L'\0');
    EXPECT_EQ(SysStringLen(zeroed), 2u);
    SysFreeString(zeroed);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysAllocStringLen(L"x", 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);

    CCounted object;
    VARIANT held;
    VariantInit(&held);
    held.vt = VT_DISPATCH;
    held.pdispVal = &object;
    object.AddRef();
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &held), S_OK);
    EXPECT_EQ(object.refs, 2u);
    EXPECT_EQ(VariantClear(&copy), S_OK);
    EXPECT_EQ(VariantClear(&held), S_OK);
    EXPECT_EQ(object.refs, 0u);
    EXPECT_EQ(held.vt, VT_EMPTY);

    // A string is copied, not shared: each copy is freed once (the sanitizer checks).
    held.vt = VT_BSTR;
    held.bstrVal = SysAllocString(L"page");
    ASSERT_EQ(VariantCopy(&copy, &held), S_OK);
    EXPECT_NE(copy.bstrVal, held.bstrVal);
    EXPECT_EQ(VariantClear(&held), S_OK);
    EXPECT_STREQ(copy.bstrVal, L"page");
    EXPECT_EQ(VariantClear(&copy), S_OK);

    // A reference variant owns nothing.
    LONG number = 7;
    held.vt = VT_BYREF | VT_I4;
    held.plVal = &number;
    EXPECT_EQ(VariantClear(&held), S_OK);
    EXPECT_EQ(number, 7);

    // An unknown type is left alone rather than guessed at.
    held.vt = 0x7F;
    EXPECT_EQ(VariantClear(&held), DISP_E_BADVARTYPE);
    EXPECT_EQ(held.vt, 0x7F);
}
