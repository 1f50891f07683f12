// The image spec text of skins ("bkimage", "normalimage", ...) and its parsed form.
//
// Pure functions, callable from any thread. Two forms are accepted:
// - a bare file name: the whole text, without leading and trailing blanks;
// - key='value' pairs in the attribute-list syntax (apostrophes or double quotes): file, res,
//   restype, source (rect), dest (rect), corner (rect, the nine-grid borders), fade (0-255),
//   mask (colour), hole, xtiled, ytiled (booleans, true only for "true").
// The text is taken as pairs when it starts with a name followed by '=' and a quote.
// An unknown key or a malformed value fails the whole spec, so a typo in a skin shows up
// instead of being drawn wrongly. Keys that a spec does not give stay unset; unset means the
// default (no source: the whole image; no dest: the whole control; fade 255; no mask;
// no corners; hole, xtiled and ytiled false).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/types/WinTypes.h"

namespace SkinUI {

struct UIImageSpec {
    std::optional<std::wstring> file;
    std::optional<std::wstring> res;
    std::optional<std::wstring> resType;
    std::optional<RECT> source;
    std::optional<RECT> dest;
    std::optional<RECT> corner;
    std::optional<BYTE> fade;
    std::optional<DWORD> mask;
    std::optional<bool> hole;
    std::optional<bool> xTiled;
    std::optional<bool> yTiled;
};

// On failure `spec` is left unchanged.
bool ParseImageSpec(std::wstring_view text, UIImageSpec* spec);

// The base spec with every key the modifier gives replaced by the modifier's value.
UIImageSpec MergeImageSpec(const UIImageSpec& base, const UIImageSpec& modifier);

}  // namespace SkinUI
