#include "ui/skin/ImageSpec.h"

#include "ui/core/AttributeText.h"

namespace SkinUI {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// name, optional blanks, '=', optional blanks, a quote.
bool LooksLikePairs(std::wstring_view text) {
    size_t at = 0;
    while (at < text.size() && !IsBlank(text[at]) && text[at] != L'=' && text[at] != L'\'' && text[at] != L'"') {
        ++at;
    }
    if (at == 0) return false;
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    if (at == text.size() || text[at] != L'=') return false;
    ++at;
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    return at < text.size() && (text[at] == L'\'' || text[at] == L'"');
}

bool ParseFade(std::wstring_view text, BYTE* fade) {
    text = Trim(text);
    if (text.empty() || text.size() > 3) return false;
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    if (value > 255) return false;
    *fade = static_cast<BYTE>(value);
    return true;
}

bool ApplyKey(std::wstring_view key, std::wstring_view value, UIImageSpec* spec) {
    RECT rect;
    if (key == L"file") {
        spec->file = std::wstring(value);
    } else if (key == L"res") {
        spec->res = std::wstring(value);
    } else if (key == L"restype") {
        spec->resType = std::wstring(value);
    } else if (key == L"source" || key == L"dest" || key == L"corner") {
        if (!ParseRect(value, &rect)) return false;
        (key == L"source" ? spec->source : key == L"dest" ? spec->dest : spec->corner) = rect;
    } else if (key == L"fade") {
        BYTE fade;
        if (!ParseFade(value, &fade)) return false;
        spec->fade = fade;
    } else if (key == L"mask") {
        DWORD mask;
        if (!ParseColor(value, &mask)) return false;
        spec->mask = mask;
    } else if (key == L"hole") {
        spec->hole = ParseBool(value);
    } else if (key == L"xtiled") {
        spec->xTiled = ParseBool(value);
    } else if (key == L"ytiled") {
        spec->yTiled = ParseBool(value);
    } else {
        return false;
    }
    return true;
}

template <class T>
void Override(std::optional<T>* target, const std::optional<T>& value) {
    if (value.has_value()) *target = value;
}

}  // namespace

bool ParseImageSpec(std::wstring_view text, UIImageSpec* spec) {
    UIImageSpec parsed;
    const std::wstring_view trimmed = Trim(text);
    if (!LooksLikePairs(trimmed)) {
        if (!trimmed.empty()) parsed.file = std::wstring(trimmed);
        *spec = std::move(parsed);
        return true;
    }
    CAttributeReader reader(trimmed);
    std::wstring_view key, value;
    while (reader.Next(&key, &value)) {
        if (!ApplyKey(key, value, &parsed)) return false;
    }
    if (reader.Failed()) return false;
    *spec = std::move(parsed);
    return true;
}

UIImageSpec MergeImageSpec(const UIImageSpec& base, const UIImageSpec& modifier) {
    UIImageSpec merged = base;
    Override(&merged.file, modifier.file);
    Override(&merged.res, modifier.res);
    Override(&merged.resType, modifier.resType);
    Override(&merged.source, modifier.source);
    Override(&merged.dest, modifier.dest);
    Override(&merged.corner, modifier.corner);
    Override(&merged.fade, modifier.fade);
    Override(&merged.mask, modifier.mask);
    Override(&merged.hole, modifier.hole);
    Override(&merged.xTiled, modifier.xTiled);
    Override(&merged.yTiled, modifier.yTiled);
    return merged;
}

}  // namespace SkinUI
