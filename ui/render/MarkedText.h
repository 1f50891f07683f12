// The inline mark-up of CUIRenderEngine::DrawMarkedText (the tag vocabulary is listed in
// RenderEngine.h), parsed into runs of text that share one style.
//
// Pure functions, any thread. Parsing never fails: what is not a well-formed tag is text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types/WinTypes.h"

namespace SkinUI {

struct UIMarkedRun {
    std::wstring text;  // empty for a line break
    bool lineBreak = false;
    int font = -1;  // font index; -1 is the source's default
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::optional<DWORD> colour;  // unset: the caller's colour
    int link = -1;                // index into UIMarkedText::links
};

struct UIMarkedText {
    std::vector<UIMarkedRun> runs;
    std::vector<std::wstring> links;  // each link's target, or its shown text when it has none
};

// With `singleLine`, line breaks ({n} and line feeds) become spaces.
UIMarkedText ParseMarkedText(std::wstring_view text, bool singleLine);

}  // namespace SkinUI
