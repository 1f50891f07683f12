// Automation values: strings (BSTR) and variants as our own objects allocate them, the
// argument block of a dispatch call and the dispatch interface.
//
// Any thread. A BSTR made here is a wide string with its length in bytes stored just
// before the first character and a terminating zero after the last; it must be freed
// with SysFreeString, and only a BSTR made here may be. A VARIANT owns what it holds
// (a string, or a reference on an interface) unless VT_BYREF is set, in which case it
// only points at a value that someone else owns.
#pragma once

#include "platform/com/ComBase.h"

using LCID = DWORD;
using DISPID = LONG;
using SCODE = LONG;

inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

inline constexpr WORD DISPATCH_METHOD = 1;
inline constexpr WORD DISPATCH_PROPERTYGET = 2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 4;

inline constexpr DISPID DISPID_UNKNOWN = -1;

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
inline constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);

struct IDispatch;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONG lVal;
        std::int16_t iVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        ULONG ulVal;
        INT intVal;
        UINT uintVal;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        LONG* plVal;
        VARIANT_BOOL* pboolVal;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        VARIANT* pvarVal;
        void* byref;
    };
};
using VARIANTARG = VARIANT;

static_assert(sizeof(VARIANT) == 16);

// Arguments of a dispatch call, stored last argument first.
struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

// Never filled by our objects; callers pass null.
struct EXCEPINFO;
struct ITypeInfo;

inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* count) noexcept = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) noexcept = 0;
    virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID locale, DISPID* ids) noexcept = 0;
    virtual HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argumentError) noexcept = 0;

protected:
    ~IDispatch() = default;
};

// Null when `text` is null or memory runs out.
BSTR SysAllocString(const OLECHAR* text);
// `length` characters from `text`, or zeroed ones when `text` is null; null when the
// length cannot be stored.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
// Characters, not counting the terminator; 0 for null.
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

void VariantInit(VARIANTARG* value);
// Frees what the variant owns and leaves it VT_EMPTY. DISP_E_BADVARTYPE (the variant
// untouched) for a type this layer does not know; E_INVALIDARG for null.
HRESULT VariantClear(VARIANTARG* value);
// Clears `target`, then copies `source` into it: a new string, another reference.
HRESULT VariantCopy(VARIANTARG* target, const VARIANTARG* source);
