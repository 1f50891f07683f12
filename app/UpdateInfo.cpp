#include "app/UpdateInfo.h"

#include <array>
#include <cctype>
#include <limits>

#include "commonlib/util/StringUtils.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr unsigned kMaxNumber = 65535;
constexpr unsigned kMaxRevision = 32766;
constexpr size_t kMaxIntegerValueLength = 23;
constexpr size_t kSha1Length = 40;

enum class ItemKind { Reboot, Integer, Sha1, Url, Text };

struct ItemName {
    std::string_view name;
    ItemKind kind;
};

// Searched in this order; a key matches the first name it is a prefix of ("s" is "size").
constexpr std::array<ItemName, 17> kItemNames = {{
    {"reboot", ItemKind::Reboot},
    {"size", ItemKind::Integer},
    {"format", ItemKind::Integer},
    {"sha1", ItemKind::Sha1},
    {"url", ItemKind::Url},
    {"murl", ItemKind::Url},
    {"freshicon", ItemKind::Integer},
    {"rsize1", ItemKind::Integer},
    {"rsize2", ItemKind::Integer},
    {"min", ItemKind::Integer},
    {"reqscriptver", ItemKind::Text},
    {"usize", ItemKind::Integer},
    {"gray", ItemKind::Integer},
    {"noforce", ItemKind::Integer},
    {"silent", ItemKind::Integer},
    {"patchurl", ItemKind::Text},
    {"predl", ItemKind::Text},
}};

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Signed decimal up to the first other character, as the C library reads it; nullopt when
// the number does not fit 64 bits.
std::optional<std::int64_t> ReadInt64(std::string_view text) {
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        const unsigned digit = static_cast<unsigned>(text[pos] - '0');
        if (magnitude > (limit - digit) / 10) return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    if (!negative) return static_cast<std::int64_t>(magnitude);
    return magnitude == (std::uint64_t{1} << 63) ? std::numeric_limits<std::int64_t>::min()
                                                 : -static_cast<std::int64_t>(magnitude);
}

// The record's text under `key`; empty when absent or not a text.
std::wstring TextOf(const ProtoValue& record, const wchar_t* key) {
    const ProtoValue& value = record[key];
    return value.isString() ? value.string() : std::wstring();
}

// A missing entry counts as 0; an entry of another type throws, which ends the parse.
std::int64_t IntegerOf(const ProtoValue& record, const wchar_t* key) {
    const ProtoValue& value = record[key];
    return value.isNull() ? 0 : value.integer();
}

}  // namespace

// The tokens of an update text, read left to right.
class CUpdateInfo::Lexer {
public:
    explicit Lexer(std::string_view text) : m_text(text) {}

    void SkipSpace() {
        while (m_pos < m_text.size() && IsSpace(m_text[m_pos]))
            ++m_pos;
    }
    bool AtEnd() const { return m_pos >= m_text.size(); }
    bool AtTokenEnd() const { return AtEnd() || IsSpace(m_text[m_pos]); }
    bool At(char c) const { return !AtEnd() && m_text[m_pos] == c; }
    bool AtLetter() const { return !AtEnd() && IsLetter(m_text[m_pos]); }
    void Advance() { ++m_pos; }

    bool ReadNumber(unsigned& value) {
        const size_t start = m_pos;
        value = 0;
        for (; m_pos < m_text.size() && IsDigit(m_text[m_pos]); ++m_pos) {
            if (value <= kMaxNumber) value = value * 10 + static_cast<unsigned>(m_text[m_pos] - '0');
        }
        return m_pos > start && value <= kMaxNumber;
    }

    std::string_view ReadWord() {
        const size_t start = m_pos;
        if (!AtLetter()) return {};
        while (m_pos < m_text.size() && (IsLetter(m_text[m_pos]) || IsDigit(m_text[m_pos]) || m_text[m_pos] == '_'))
            ++m_pos;
        return m_text.substr(start, m_pos - start);
    }

    std::string_view ReadToTokenEnd() {
        const size_t start = m_pos;
        while (!AtTokenEnd())
            ++m_pos;
        return m_text.substr(start, m_pos - start);
    }

    // "a.b.c" or "a.b.c.d" ending at a token end.
    bool ReadVersionLine(VersionTriple& version) {
        unsigned parts[3] = {};
        for (int i = 0; i < 3; ++i) {
            if (i > 0) {
                if (!At('.')) return false;
                Advance();
            }
            if (!ReadNumber(parts[i])) return false;
        }
        unsigned revision = 0;
        if (At('.')) {
            Advance();
            if (!ReadNumber(revision) || revision > kMaxRevision) return false;
        }
        if (!AtTokenEnd()) return false;
        version = {static_cast<std::uint16_t>(parts[0]), static_cast<std::uint16_t>(parts[1]),
                   static_cast<std::uint16_t>(parts[2]),
                   static_cast<std::uint16_t>(VersionTriple::kValidMark | revision)};
        return true;
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

CParserBase::~CParserBase() = default;

void CParserBase::Clear() {
    m_result.clear();
}

CUpdateInfo::CUpdateInfo() = default;

CUpdateInfo::~CUpdateInfo() = default;

void CUpdateInfo::Clear() {
    CParserBase::Clear();
    m_otherRecords.clear();
    m_record.clear();
    m_patchUrl.clear();
    m_bestVersion = {};
    m_lastBlockVersion = {};
    m_minVersion = {};
    m_rebootSeen = 0;
    m_silent = false;
    m_forced = false;
    m_gray = false;
    m_preDownload.clear();
}

bool CUpdateInfo::Parse(std::string_view text) {
    try {
        return ParseBlocks(text);
    } catch (const ProtoValueException&) {
        return false;
    }
}

bool CUpdateInfo::ParseBlocks(std::string_view text) {
    if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
    Clear();
    m_bestVersion = m_currentVersion;

    Lexer lexer(text);
    bool firstBlock = true;
    for (;;) {
        lexer.SkipSpace();
        if (lexer.AtEnd()) break;

        VersionTriple version;
        if (!lexer.ReadVersionLine(version)) return false;
        if (!firstBlock && !CompareVersion(m_lastBlockVersion, version)) return false;
        firstBlock = false;
        m_lastBlockVersion = version;
        const bool newer = CompareVersion(m_currentVersion, version);

        m_record = ProtoValue(ProtoValue::Type::Map);
        m_record[L"version"] = version.Text();
        if (!ReadItems(lexer, &m_record)) return false;

        bool selected = false;
        for (;;) {
            lexer.SkipSpace();
            if (!lexer.AtLetter()) break;
            const std::string_view word = lexer.ReadWord();
            if (!lexer.AtTokenEnd()) return false;
            if (SelectorMatches(word)) {
                selected = true;
                break;
            }
            if (!ReadItems(lexer, nullptr)) return false;
        }
        if (!selected) continue;  // not meant for this reader
        if (!ReadItems(lexer, &m_record)) return false;
        if (!IsValid(m_record)) return false;

        if (newer && m_record.hasKey(L"reqscriptver")) {
            const VersionTriple required = ParseVersionTriple(m_record[L"reqscriptver"].string());
            // This reader is too old for the block: it updates no further than the blocks before.
            if (CompareVersion(m_scriptVersion, required)) break;
        }
        const std::int64_t reboot = IntegerOf(m_record, L"reboot");
        if (newer && m_rebootSeen == 0) {
            m_result.append(m_record);
            m_rebootSeen = reboot;
        } else {
            m_otherRecords.append(m_record);
        }
        m_bestVersion = version;
        if (IntegerOf(m_record, L"min") == 1 && (!m_minVersion.IsValid() || CompareVersion(m_minVersion, version)))
            m_minVersion = version;
        if (m_record.hasKey(L"patchurl")) m_patchUrl = m_record[L"patchurl"].string();

        for (;;) {
            lexer.SkipSpace();
            if (!lexer.AtLetter()) break;
            lexer.ReadWord();
            if (!lexer.AtTokenEnd() || !ReadItems(lexer, nullptr)) return false;
        }
    }

    EvaluateNewerRecords();
    if (m_result.size() == 0) m_bestVersion = m_currentVersion;
    return true;
}

bool CUpdateInfo::ReadItems(Lexer& lexer, ProtoValue* record) {
    for (;;) {
        lexer.SkipSpace();
        if (!lexer.At('-')) return true;
        lexer.Advance();
        const std::string_view key = lexer.ReadWord();
        if (key.empty()) return false;
        std::optional<std::string_view> value;
        if (lexer.At(':')) {
            lexer.Advance();
            value = lexer.ReadToTokenEnd();
        } else if (!lexer.AtTokenEnd()) {
            return false;
        }
        if (record && !ParseItem(key, value, *record)) return false;
    }
}

bool CUpdateInfo::SelectorMatches(std::string_view word) const {
    if (word.size() > m_selector.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(word[i])) !=
            std::tolower(static_cast<unsigned char>(m_selector[i])))
            return false;
    }
    return true;
}

bool CUpdateInfo::ParseItem(std::string_view key, std::optional<std::string_view> value, ProtoValue& record) {
    const ItemName* item = nullptr;
    for (const ItemName& candidate : kItemNames) {
        if (!key.empty() && candidate.name.starts_with(key)) {
            item = &candidate;
            break;
        }
    }
    if (!item) return true;  // an item for other readers

    const std::wstring name = AnsiToWide(item->name);
    switch (item->kind) {
        case ItemKind::Reboot:
            return !value.has_value();
        case ItemKind::Integer: {
            if (!value || value->size() > kMaxIntegerValueLength) return false;
            if (const auto number = ReadInt64(*value)) record[name] = *number;
            return true;
        }
        case ItemKind::Sha1:
            if (!value || value->size() != kSha1Length) return false;
            record[name] = AnsiToWide(*value);
            return true;
        case ItemKind::Url:
            if (!value || value->empty()) return false;
            record[name] = AnsiToWide(*value);
            return true;
        case ItemKind::Text:
            record[name] = AnsiToWide(value.value_or(std::string_view()));
            return true;
    }
    return false;
}

bool CUpdateInfo::IsValid(const ProtoValue& record) const {
    if (m_requireUrl && TextOf(record, L"url").empty() && TextOf(record, L"urllist").empty()) return false;
    return !TextOf(record, L"version").empty();
}

bool CUpdateInfo::IsValidShort(const ProtoValue& record) const {
    return !TextOf(record, L"url").empty() && !TextOf(record, L"version").empty();
}

void CUpdateInfo::EvaluateNewerRecords() {
    const size_t count = m_result.size();
    m_silent = count > 0;
    m_forced = false;
    for (size_t i = count; i-- > 0;) {
        const ProtoValue& record = m_result[i];
        if (i + 1 == count) m_gray = IntegerOf(record, L"gray") != 0;
        if (m_preDownload.empty()) m_preDownload = TextOf(record, L"predl");
        m_silent = m_silent && IntegerOf(record, L"silent") != 0;
        m_forced = m_forced || IntegerOf(record, L"noforce") == 0;
    }
}
