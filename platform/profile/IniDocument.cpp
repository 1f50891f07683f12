#include "platform/profile/IniDocument.h"

#include <variant>
#include <vector>

#include "platform/strings/StringConv.h"

namespace platform {
namespace {

std::wstring_view TrimBlanks(std::wstring_view s) {
    while (!s.empty() && (s.front() == L' ' || s.front() == L'\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == L' ' || s.back() == L'\t'))
        s.remove_suffix(1);
    return s;
}

struct Parsed {
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    std::wstring name;   // section or key name
    std::wstring value;  // for keys
};

Parsed Classify(const std::wstring& line) {
    Parsed p;
    const std::wstring_view text = TrimBlanks(line);
    if (text.empty() || text.front() == L';') return p;
    if (text.front() == L'[') {
        const auto close = text.find(L']');
        p.kind = Parsed::Kind::Section;
        p.name = TrimBlanks(text.substr(1, close == std::wstring_view::npos ? text.npos : close - 1));
        return p;
    }
    const auto eq = text.find(L'=');
    if (eq == std::wstring_view::npos) return p;
    p.kind = Parsed::Kind::Key;
    p.name = TrimBlanks(text.substr(0, eq));
    p.value = TrimBlanks(text.substr(eq + 1));
    return p;
}

// The document in code units of its own encoding (char for UTF-8, char16_t for UTF-16LE).
template <typename Unit>
struct Text {
    using String = std::basic_string<Unit>;
    struct Line {
        String content;  // without the line end
        String end;      // "", "\n", "\r\n" or "\r"
        Parsed parsed;
    };
    String bom;
    std::vector<Line> lines;
    std::string oddByte;  // a UTF-16 file with an odd length keeps its last byte

    static std::wstring Decode(const String& s) {
        if constexpr (sizeof(Unit) == 1) {
            return WideFromUtf8(std::string_view(s.data(), s.size()));
        } else {
            return WideFromUtf16(s);
        }
    }
    static String Encode(std::wstring_view s) {
        if constexpr (sizeof(Unit) == 1) {
            return Utf8FromWide(s);
        } else {
            return Utf16FromWide(s);
        }
    }

    // A line ends in LF, CRLF or a CR alone.
    void Split(const String& all) {
        const Unit lineEnds[] = {Unit('\r'), Unit('\n')};
        size_t pos = 0;
        while (pos < all.size()) {
            const size_t end = all.find_first_of(lineEnds, pos, 2);
            Line line;
            if (end == String::npos) {
                line.content = all.substr(pos);
                pos = all.size();
            } else {
                line.content = all.substr(pos, end - pos);
                const bool crlf = all[end] == Unit('\r') && end + 1 < all.size() && all[end + 1] == Unit('\n');
                line.end = all.substr(end, crlf ? 2 : 1);
                pos = end + line.end.size();
            }
            line.parsed = Classify(Decode(line.content));
            lines.push_back(std::move(line));
        }
    }

    String NewLineEnd() const {
        for (const auto& l : lines) {
            if (!l.end.empty()) return l.end;
        }
        return String{Unit('\r'), Unit('\n')};
    }

    // Index of the first section header of that name, or npos.
    size_t FindSection(std::wstring_view section) const {
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].parsed.kind == Parsed::Kind::Section && EqualsNoCase(lines[i].parsed.name, section)) return i;
        }
        return String::npos;
    }
    size_t SectionEnd(size_t header) const {
        size_t i = header + 1;
        while (i < lines.size() && lines[i].parsed.kind != Parsed::Kind::Section)
            ++i;
        return i;
    }
    size_t FindKey(size_t header, std::wstring_view key) const {
        if (header == String::npos) return String::npos;
        const size_t end = SectionEnd(header);
        for (size_t i = header + 1; i < end; ++i) {
            if (lines[i].parsed.kind == Parsed::Kind::Key && EqualsNoCase(lines[i].parsed.name, key)) return i;
        }
        return String::npos;
    }

    Line MakeLine(std::wstring text) const {
        Line line;
        line.content = Encode(text);
        line.end = NewLineEnd();
        line.parsed = Classify(text);
        return line;
    }

    std::optional<std::wstring> Get(std::wstring_view section, std::wstring_view key) const {
        const size_t at = FindKey(FindSection(section), key);
        if (at == String::npos) return std::nullopt;
        return lines[at].parsed.value;
    }

    void Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
        std::wstring text = std::wstring(key) + L"=" + std::wstring(value);
        const size_t header = FindSection(section);
        const size_t at = FindKey(header, key);
        if (at != String::npos) {
            lines[at].content = Encode(text);
            lines[at].parsed = Classify(text);
            return;
        }
        if (!lines.empty() && lines.back().end.empty()) lines.back().end = NewLineEnd();
        if (header == String::npos) {
            lines.push_back(MakeLine(L"[" + std::wstring(section) + L"]"));
            lines.push_back(MakeLine(std::move(text)));
            return;
        }
        // After the section's last non-blank line, so blank separators stay below it.
        size_t insert = SectionEnd(header);
        while (insert > header + 1 && TrimBlanks(Decode(lines[insert - 1].content)).empty())
            --insert;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert), MakeLine(std::move(text)));
    }

    bool RemoveKey(std::wstring_view section, std::wstring_view key) {
        const size_t at = FindKey(FindSection(section), key);
        if (at == String::npos) return false;
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
        return true;
    }

    bool RemoveSection(std::wstring_view section) {
        bool removed = false;
        for (size_t header = FindSection(section); header != String::npos; header = FindSection(section)) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header),
                        lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
            removed = true;
        }
        return removed;
    }

    String Joined() const {
        String out = bom;
        for (const auto& l : lines) {
            out += l.content;
            out += l.end;
        }
        return out;
    }
};

}  // namespace

struct CIniDocument::Impl {
    std::variant<Text<char>, Text<char16_t>> text;
};

CIniDocument::CIniDocument(std::string bytes) : m_impl(std::make_unique<Impl>()) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        Text<char16_t> t;
        t.bom = u"\xFEFF";
        std::u16string units;
        size_t i = 2;
        for (; i + 1 < bytes.size(); i += 2) {
            units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
        if (i < bytes.size()) t.oddByte = bytes.substr(i);
        t.Split(units);
        m_impl->text = std::move(t);
        return;
    }
    Text<char> t;
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        t.bom = bytes.substr(0, 3);
        bytes.erase(0, 3);
    }
    t.Split(bytes);
    m_impl->text = std::move(t);
}

CIniDocument::~CIniDocument() = default;
CIniDocument::CIniDocument(CIniDocument&&) noexcept = default;
CIniDocument& CIniDocument::operator=(CIniDocument&&) noexcept = default;

std::optional<std::wstring> CIniDocument::Get(std::wstring_view section, std::wstring_view key) const {
    return std::visit([&](const auto& t) { return t.Get(section, key); }, m_impl->text);
}

void CIniDocument::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    std::visit([&](auto& t) { t.Set(section, key, value); }, m_impl->text);
}

bool CIniDocument::RemoveKey(std::wstring_view section, std::wstring_view key) {
    return std::visit([&](auto& t) { return t.RemoveKey(section, key); }, m_impl->text);
}

bool CIniDocument::RemoveSection(std::wstring_view section) {
    return std::visit([&](auto& t) { return t.RemoveSection(section); }, m_impl->text);
}

std::string CIniDocument::Bytes() const {
    if (const auto* utf8 = std::get_if<Text<char>>(&m_impl->text)) return utf8->Joined();
    const auto& utf16 = std::get<Text<char16_t>>(m_impl->text);
    std::string out;
    for (char16_t u : utf16.Joined()) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out + utf16.oddByte;
}

}  // namespace platform
