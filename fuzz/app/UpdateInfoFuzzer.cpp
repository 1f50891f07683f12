// Feeds arbitrary bytes to the update-text parser and to the version reader. Whatever the
// parser accepts must hold together: every kept record valid, the newer records in rising
// versions above the current one, the chosen version the newest of them.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/UpdateInfo.h"
#include "commonlib/util/StringUtils.h"

namespace {

// The record's "a.b.c" (any 16-bit parts); aborts when the text is not of that form.
std::array<unsigned, 3> RecordVersion(const ProtoValue& record) {
    const std::wstring& text = record[L"version"].string();
    std::array<unsigned, 3> parts{};
    size_t part = 0;
    bool digit = false;
    for (const wchar_t c : text) {
        if (c >= L'0' && c <= L'9' && parts[part] <= 65535) {
            parts[part] = parts[part] * 10 + static_cast<unsigned>(c - L'0');
            digit = true;
        } else if (c == L'.' && digit && part < 2) {
            ++part;
            digit = false;
        } else {
            std::abort();
        }
    }
    if (part != 2 || !digit || parts[0] > 65535 || parts[1] > 65535 || parts[2] > 65535) std::abort();
    return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const VersionTriple version = ParseVersionTriple(Utf8ToWide(text));
    if (version.IsValid() && ParseVersionTriple(version.Text()) != version) std::abort();

    CUpdateInfo info;
    info.SetSelector("win");
    info.SetCurrentVersion({1, 0, 0, VersionTriple::kValidMark});
    if (!info.Parse(text)) return 0;

    const ProtoValue& newer = info.Result();
    std::array<unsigned, 3> previous = {1, 0, 0};
    for (size_t i = 0; i < newer.size(); ++i) {
        if (!info.IsValid(newer[i])) std::abort();
        const std::array<unsigned, 3> current = RecordVersion(newer[i]);
        // Records keep three parts only, so two blocks may differ in the fourth alone.
        if (current < previous) std::abort();
        previous = current;
    }
    for (size_t i = 0; i < info.OtherRecords().size(); ++i) {
        if (!info.IsValid(info.OtherRecords()[i])) std::abort();
    }
    if (newer.size() > 0 && info.BestVersion().Text() != newer[newer.size() - 1][L"version"].string()) std::abort();
    return 0;
}
