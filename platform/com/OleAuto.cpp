#include "platform/com/OleAuto.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>

namespace {

// The byte length sits in the four bytes before the characters.
using LengthPrefix = std::uint32_t;

LengthPrefix* PrefixOf(BSTR text) {
    return reinterpret_cast<LengthPrefix*>(reinterpret_cast<unsigned char*>(text) - sizeof(LengthPrefix));
}

bool IsKnownType(VARTYPE type) {
    if (type & VT_BYREF) return (type & ~VT_BYREF) != VT_EMPTY && !(type & VT_ARRAY);
    switch (type) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I2:
        case VT_I4:
        case VT_R8:
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_ERROR:
        case VT_BOOL:
        case VT_UNKNOWN:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            return true;
        default:
            return false;
    }
}

}  // namespace

BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr) return nullptr;
    const std::size_t length = std::wcslen(text);
    if (length > std::numeric_limits<UINT>::max()) return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(length));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    constexpr std::size_t kMaxChars = (std::numeric_limits<LengthPrefix>::max() / sizeof(OLECHAR)) - 1;
    if (length > kMaxChars) return nullptr;
    const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(OLECHAR);
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(LengthPrefix) + bytes + sizeof(OLECHAR)));
    if (block == nullptr) return nullptr;
    const auto prefix = static_cast<LengthPrefix>(bytes);
    std::memcpy(block, &prefix, sizeof prefix);
    auto* chars = reinterpret_cast<OLECHAR*>(block + sizeof(LengthPrefix));
    if (text != nullptr) {
        std::memcpy(chars, text, bytes);
    } else {
        std::memset(chars, 0, bytes);
    }
    chars[length] = L'\0';
    return chars;
}

void SysFreeString(BSTR text) {
    if (text != nullptr) std::free(PrefixOf(text));
}

UINT SysStringLen(BSTR text) {
    return text != nullptr ? static_cast<UINT>(*PrefixOf(text) / sizeof(OLECHAR)) : 0;
}

UINT SysStringByteLen(BSTR text) {
    return text != nullptr ? static_cast<UINT>(*PrefixOf(text)) : 0;
}

void VariantInit(VARIANTARG* value) {
    if (value == nullptr) return;
    std::memset(value, 0, sizeof *value);
    value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* value) {
    if (value == nullptr) return E_INVALIDARG;
    if (!IsKnownType(value->vt)) return DISP_E_BADVARTYPE;
    switch (value->vt) {
        case VT_BSTR:
            SysFreeString(value->bstrVal);
            break;
        case VT_UNKNOWN:
            if (value->punkVal != nullptr) value->punkVal->Release();
            break;
        case VT_DISPATCH:
            if (value->pdispVal != nullptr) value->pdispVal->Release();
            break;
        default:
            break;
    }
    VariantInit(value);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* target, const VARIANTARG* source) {
    if (target == nullptr || source == nullptr) return E_INVALIDARG;
    if (!IsKnownType(source->vt)) return DISP_E_BADVARTYPE;
    if (target == source) return S_OK;
    const HRESULT cleared = VariantClear(target);
    if (FAILED(cleared)) return cleared;
    VARIANT copy = *source;
    switch (source->vt) {
        case VT_BSTR:
            if (source->bstrVal != nullptr) {
                copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
                if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
            }
            break;
        case VT_UNKNOWN:
            if (copy.punkVal != nullptr) copy.punkVal->AddRef();
            break;
        case VT_DISPATCH:
            if (copy.pdispVal != nullptr) copy.pdispVal->AddRef();
            break;
        default:
            break;
    }
    *target = copy;
    return S_OK;
}
