#include "ui/render/MarkedText.h"

#include <cwctype>

#include "ui/core/AttributeText.h"

namespace SkinUI {
namespace {

enum class TagKind { Bold, Italic, Underline, Colour, Font, Link };

struct OpenTag {
    TagKind kind;
    DWORD colour = 0;
    int font = -1;
    int link = -1;
};

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool ParseFontIndex(std::wstring_view text, int* index) {
    bool negative = false;
    if (!text.empty() && text.front() == L'-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 6) return false;
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    *index = negative ? -value : value;
    return true;
}

std::optional<TagKind> KindOf(std::wstring_view name) {
    if (name == L"b") return TagKind::Bold;
    if (name == L"i") return TagKind::Italic;
    if (name == L"u") return TagKind::Underline;
    if (name == L"c") return TagKind::Colour;
    if (name == L"f") return TagKind::Font;
    if (name == L"a") return TagKind::Link;
    return std::nullopt;
}

class CMarkupParser {
public:
    explicit CMarkupParser(bool singleLine) : m_singleLine(singleLine) {}

    UIMarkedText Parse(std::wstring_view text) {
        size_t i = 0;
        while (i < text.size()) {
            const wchar_t c = text[i];
            if (c == L'{') {
                if (i + 1 < text.size() && text[i + 1] == L'{') {
                    AppendText(L"{");
                    i += 2;
                    continue;
                }
                const size_t close = text.find(L'}', i + 1);
                if (close != std::wstring_view::npos && ApplyTag(text.substr(i + 1, close - i - 1))) {
                    i = close + 1;
                    continue;
                }
                AppendText(L"{");
                ++i;
                continue;
            }
            if (c == L'\r' || c == L'\n') {
                // CR LF is one break.
                i += (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ? 2 : 1;
                Break();
                continue;
            }
            const size_t next = text.find_first_of(L"{\r\n", i);
            const size_t end = next == std::wstring_view::npos ? text.size() : next;
            AppendText(text.substr(i, end - i));
            i = end;
        }
        return std::move(m_result);
    }

private:
    bool ApplyTag(std::wstring_view body) {
        const size_t space = body.find_first_of(L" \t");
        const std::wstring_view name = body.substr(0, space);
        const std::wstring_view argument =
            space == std::wstring_view::npos ? std::wstring_view() : Trim(body.substr(space + 1));
        if (name == L"n" && space == std::wstring_view::npos) {
            Break();
            return true;
        }
        if (!name.empty() && name.front() == L'/') {
            const auto kind = KindOf(name.substr(1));
            return kind && space == std::wstring_view::npos && Close(*kind);
        }
        const auto kind = KindOf(name);
        if (!kind) return false;
        OpenTag tag{*kind};
        switch (*kind) {
            case TagKind::Bold:
            case TagKind::Italic:
            case TagKind::Underline:
                if (space != std::wstring_view::npos) return false;
                break;
            case TagKind::Colour:
                if (!ParseColor(argument, &tag.colour)) return false;
                break;
            case TagKind::Font:
                if (!ParseFontIndex(argument, &tag.font)) return false;
                break;
            case TagKind::Link:
                tag.link = static_cast<int>(m_result.links.size());
                m_result.links.emplace_back(argument);
                m_linkNamed.push_back(!argument.empty());
                break;
        }
        m_open.push_back(tag);
        return true;
    }

    bool Close(TagKind kind) {
        for (auto it = m_open.rbegin(); it != m_open.rend(); ++it) {
            if (it->kind != kind) continue;
            m_open.erase(std::next(it).base());
            return true;
        }
        return false;
    }

    UIMarkedRun CurrentStyle() const {
        UIMarkedRun style;
        for (const OpenTag& tag : m_open) {
            switch (tag.kind) {
                case TagKind::Bold:
                    style.bold = true;
                    break;
                case TagKind::Italic:
                    style.italic = true;
                    break;
                case TagKind::Underline:
                    style.underline = true;
                    break;
                case TagKind::Colour:
                    style.colour = tag.colour;
                    break;
                case TagKind::Font:
                    style.font = tag.font;
                    break;
                case TagKind::Link:
                    style.link = tag.link;
                    break;
            }
        }
        return style;
    }

    void AppendText(std::wstring_view text) {
        if (text.empty()) return;
        UIMarkedRun style = CurrentStyle();
        if (style.link >= 0 && !m_linkNamed[style.link]) m_result.links[style.link].append(text);
        auto& runs = m_result.runs;
        if (!runs.empty() && !runs.back().lineBreak && SameStyle(runs.back(), style)) {
            runs.back().text.append(text);
            return;
        }
        style.text.assign(text);
        runs.push_back(std::move(style));
    }

    void Break() {
        if (m_singleLine) {
            AppendText(L" ");
            return;
        }
        UIMarkedRun style = CurrentStyle();
        style.lineBreak = true;
        m_result.runs.push_back(std::move(style));
    }

    static bool SameStyle(const UIMarkedRun& a, const UIMarkedRun& b) {
        return a.font == b.font && a.bold == b.bold && a.italic == b.italic && a.underline == b.underline &&
               a.colour == b.colour && a.link == b.link;
    }

    bool m_singleLine;
    std::vector<OpenTag> m_open;
    std::vector<bool> m_linkNamed;
    UIMarkedText m_result;
};

}  // namespace

UIMarkedText ParseMarkedText(std::wstring_view text, bool singleLine) {
    return CMarkupParser(singleLine).Parse(text);
}

}  // namespace SkinUI
