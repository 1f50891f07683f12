#include "platform/resource/Resource.h"

#include <deque>
#include <map>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

const HMODULE kProgramModule = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x400000));

struct Entry {
    std::string owned;  // the bytes when copied at registration
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

struct ResourceTable {
    std::mutex mutex;
    std::deque<Entry> entries;  // never shrinks: handles and data pointers stay valid
    std::unordered_set<const Entry*> known;
    std::map<std::pair<std::wstring, std::wstring>, const Entry*> byTypeAndName;
};

ResourceTable& Table() {
    static ResourceTable* table = new ResourceTable;  // registered from static initialisers
    return *table;
}

std::wstring IdKey(unsigned long id) {
    return L"#" + std::to_wstring(id);
}

// "#<digits>" names an id, as on Windows; anything else is a name.
std::wstring StringKey(LPCWSTR name) {
    std::wstring text(name);
    if (text.size() > 1 && text[0] == L'#') {
        unsigned long id = 0;
        bool digits = text.size() <= 6;
        for (std::size_t i = 1; digits && i < text.size(); ++i) {
            digits = text[i] >= L'0' && text[i] <= L'9';
            id = id * 10 + static_cast<unsigned long>(text[i] - L'0');
        }
        if (digits) return id >= 1 && id <= 0xFFFF ? IdKey(id) : std::wstring();
    }
    return ToUpperSimple(text);
}

const unsigned char kNoBytes[1] = {0};

bool Register(const ResourceName& type, const ResourceName& name, Entry entry) {
    if (!type.Valid() || !name.Valid()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    ResourceTable& t = Table();
    std::lock_guard lock(t.mutex);
    Entry& stored = t.entries.emplace_back(std::move(entry));
    if (!stored.owned.empty()) stored.data = reinterpret_cast<const unsigned char*>(stored.owned.data());
    if (!stored.data) stored.data = kNoBytes;
    t.known.insert(&stored);
    t.byTypeAndName[{type.Key(), name.Key()}] = &stored;
    return true;
}

const Entry* Known(const void* handle) {
    ResourceTable& t = Table();
    std::lock_guard lock(t.mutex);
    const auto* entry = static_cast<const Entry*>(handle);
    return t.known.count(entry) ? entry : nullptr;
}

}  // namespace

bool IsProgramModule(HMODULE module) {
    return module == nullptr || module == kProgramModule;
}

ResourceName::ResourceName(int id) {
    if (id >= 1 && id <= 0xFFFF) m_key = IdKey(static_cast<unsigned long>(id));
}

ResourceName::ResourceName(LPCWSTR nameOrId) {
    if (IS_INTRESOURCE(nameOrId)) {
        const auto id = reinterpret_cast<ULONG_PTR>(nameOrId);
        if (id != 0) m_key = IdKey(id);
    } else if (nameOrId[0] != L'\0') {
        m_key = StringKey(nameOrId);
    }
}

bool RegisterResource(const ResourceName& type, const ResourceName& name, std::string_view bytes) {
    Entry entry;
    entry.owned.assign(bytes);
    entry.size = bytes.size();
    return Register(type, name, std::move(entry));
}

bool RegisterEmbeddedResource(const ResourceName& type, const ResourceName& name, const unsigned char* data,
                              std::size_t size) {
    Entry entry;
    entry.data = size ? data : nullptr;
    entry.size = size;
    return Register(type, name, std::move(entry));
}

bool UnregisterResource(const ResourceName& type, const ResourceName& name) {
    if (!type.Valid() || !name.Valid()) return false;
    ResourceTable& t = Table();
    std::lock_guard lock(t.mutex);
    return t.byTypeAndName.erase({type.Key(), name.Key()}) > 0;
}

}  // namespace platform

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    if (moduleName) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return platform::kProgramModule;
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (!platform::IsProgramModule(module)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    const platform::ResourceName typeName(type);
    const platform::ResourceName entryName(name);
    platform::ResourceTable& t = platform::Table();
    std::lock_guard lock(t.mutex);
    if (typeName.Valid() && entryName.Valid()) {
        const auto it = t.byTypeAndName.find({typeName.Key(), entryName.Key()});
        if (it != t.byTypeAndName.end()) return reinterpret_cast<HRSRC>(const_cast<platform::Entry*>(it->second));
    }
    // Keys of one type sort together, and the empty name sorts first among them.
    const auto first = t.byTypeAndName.lower_bound({typeName.Key(), std::wstring()});
    const bool typeKnown = typeName.Valid() && first != t.byTypeAndName.end() && first->first.first == typeName.Key();
    SetLastError(typeKnown ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    if (!platform::IsProgramModule(module) || !platform::Known(resource)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return reinterpret_cast<HGLOBAL>(resource);
}

LPVOID LockResource(HGLOBAL loaded) {
    const platform::Entry* entry = platform::Known(loaded);
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<unsigned char*>(entry->data);
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    const platform::Entry* entry = platform::IsProgramModule(module) ? platform::Known(resource) : nullptr;
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(entry->size);
}

BOOL FreeResource(HGLOBAL) {
    return FALSE;
}
