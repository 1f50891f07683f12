#include "commonlib/util/CommandLineOptions.h"

#include <string_view>

#include "commonlib/util/StringFormat.h"

namespace {

bool IsNegativeNumber(std::wstring_view word) {
    if (word.size() < 2 || word[0] != L'-') return false;
    for (wchar_t c : word.substr(1)) {
        if (c < L'0' || c > L'9') return false;
    }
    return true;
}

bool IsSwitchWord(std::wstring_view word) {
    return word.size() >= 2 && (word[0] == L'-' || word[0] == L'/') && !IsNegativeNumber(word);
}

const CommandLineOptions::Switch* FindSwitch(const CommandLineOptions::Switch* table, std::wstring_view word) {
    if (!table) return nullptr;
    const bool isLong = word.size() > 2 && word.starts_with(L"--");
    const bool isLetter = word.size() == 2;
    for (const auto* entry = table; entry->letter != 0; ++entry) {
        if (isLetter && word[1] == entry->letter) return entry;
        if (isLong && entry->longName && word.substr(2) == entry->longName) return entry;
    }
    return nullptr;
}

}  // namespace

CommandLineOptions::CommandLineOptions(int argc, const wchar_t* const* argv, const Switch* table) {
    Parse(argc, argv, table);
}

void CommandLineOptions::Parse(int argc, const wchar_t* const* argv, const Switch* table) {
    if (!argv) return;
    int i = 1;
    while (i < argc) {
        const std::wstring_view word = argv[i] ? argv[i] : L"";
        const Switch* entry = IsSwitchWord(word) ? FindSwitch(table, word) : nullptr;
        if (!entry) {
            m_error = FormatW(L"unrecognized option %s", std::wstring(word).c_str());
            m_errorWord = word;
            return;
        }
        std::vector<std::wstring> args;
        for (++i; i < argc && !IsSwitchWord(argv[i] ? argv[i] : L""); ++i)
            args.emplace_back(argv[i] ? argv[i] : L"");
        const int count = static_cast<int>(args.size());
        if (count < entry->fewestArgs || count > entry->mostArgs) {
            m_error = FormatW(L"--%s requires at least %d and at most %d args, yours: %d",
                              entry->longName ? entry->longName : L"", entry->fewestArgs, entry->mostArgs, count);
            if (count > entry->mostArgs) {
                m_errorWord = args[static_cast<size_t>(entry->mostArgs)];
            } else {
                m_errorWord = i < argc && argv[i] ? argv[i] : word;
            }
            return;
        }
        m_parsed[entry->letter] = std::move(args);
    }
}

bool CommandLineOptions::GetArg(wchar_t letter, std::wstring& out) const {
    const auto found = m_parsed.find(letter);
    if (found == m_parsed.end() || found->second.empty()) return false;
    out = found->second.front();
    return true;
}

bool CommandLineOptions::Has(wchar_t letter) const {
    return m_parsed.contains(letter);
}
