#include "platform/resource/StringTable.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/resource/Resource.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

struct StringTableData {
    std::mutex mutex;
    std::deque<std::wstring> texts;  // never shrinks: read-only pointers stay valid
    std::unordered_map<UINT, const std::wstring*> byId;
};

StringTableData& Strings() {
    static StringTableData* table = new StringTableData;  // registered from static initialisers
    return *table;
}

const std::wstring* Find(UINT id) {
    StringTableData& t = Strings();
    std::lock_guard lock(t.mutex);
    const auto it = t.byId.find(id);
    return it == t.byId.end() ? nullptr : it->second;
}

}  // namespace

bool RegisterString(UINT id, std::wstring_view text) {
    if (id > 0xFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    StringTableData& t = Strings();
    std::lock_guard lock(t.mutex);
    t.byId[id] = &t.texts.emplace_back(text);
    return true;
}

}  // namespace platform

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
    if (!buffer || bufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::wstring* text = nullptr;
    DWORD error = ERROR_SUCCESS;
    if (!platform::IsProgramModule(instance)) {
        error = ERROR_RESOURCE_DATA_NOT_FOUND;
    } else if (!(text = platform::Find(id))) {
        error = ERROR_RESOURCE_NAME_NOT_FOUND;
    }
    if (bufferMax == 0) {
        // The caller passed the address of a pointer disguised as the buffer.
        *reinterpret_cast<const wchar_t**>(buffer) = text ? text->c_str() : nullptr;
    } else {
        const std::size_t copied = text ? std::min(text->size(), static_cast<std::size_t>(bufferMax) - 1) : 0;
        if (copied) std::copy_n(text->data(), copied, buffer);
        buffer[copied] = L'\0';
    }
    if (!text) {
        SetLastError(error);
        return 0;
    }
    return static_cast<int>(bufferMax == 0 ? text->size() : std::min<std::size_t>(text->size(), bufferMax - 1));
}
