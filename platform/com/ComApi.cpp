#include "platform/com/ComApi.h"

#include <cwchar>
#include <map>
#include <mutex>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/com/SystemClasses.h"
#include "platform/strings/StringConv.h"

namespace {

struct ClassEntry {
    CLSID clsid;
    DWORD context;
    DWORD cookie;
    IUnknown* classObject;  // one reference, held while registered
};

struct ClassTable {
    std::mutex mutex;
    std::vector<ClassEntry> classes;
    std::map<std::wstring, CLSID> progIds;  // by upper-cased name
    DWORD nextCookie = 1;
};

ClassTable& Table() {
    static ClassTable* table = new ClassTable;  // registrations may come from static initialisers
    return *table;
}

thread_local int t_comInitCount = 0;

constexpr DWORD kInProcess = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Reads `digits` hex digits at `text[at]`.
bool ReadHex(const wchar_t* text, std::size_t at, int digits, unsigned long long* out) {
    unsigned long long value = 0;
    for (int i = 0; i < digits; ++i) {
        const int digit = HexValue(text[at + static_cast<std::size_t>(i)]);
        if (digit < 0) return false;
        value = (value << 4) | static_cast<unsigned>(digit);
    }
    *out = value;
    return true;
}

bool ParseGuid(const wchar_t* text, GUID* guid) {
    // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
    constexpr std::size_t kLength = 38;
    if (std::wcslen(text) != kLength || text[0] != L'{' || text[kLength - 1] != L'}') return false;
    if (text[9] != L'-' || text[14] != L'-' || text[19] != L'-' || text[24] != L'-') return false;
    unsigned long long value = 0;
    if (!ReadHex(text, 1, 8, &value)) return false;
    guid->Data1 = static_cast<DWORD>(value);
    if (!ReadHex(text, 10, 4, &value)) return false;
    guid->Data2 = static_cast<WORD>(value);
    if (!ReadHex(text, 15, 4, &value)) return false;
    guid->Data3 = static_cast<WORD>(value);
    constexpr std::size_t kBytes[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, kBytes[i], 2, &value)) return false;
        guid->Data4[i] = static_cast<BYTE>(value);
    }
    return true;
}

}  // namespace

HRESULT CoInitialize(LPVOID reserved) {
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

HRESULT CoInitializeEx(LPVOID /*reserved*/, DWORD /*flags*/) {
    return t_comInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_comInitCount > 0) --t_comInitCount;
}

HRESULT OleInitialize(LPVOID reserved) {
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void OleUninitialize() {
    CoUninitialize();
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID /*serverInfo*/, REFIID iid, LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (t_comInitCount == 0) return CO_E_NOTINITIALIZED;
    if ((context & kInProcess) == 0) return REGDB_E_CLASSNOTREG;
    platform::ComPtr<IUnknown> classObject;
    {
        ClassTable& table = Table();
        std::lock_guard lock(table.mutex);
        for (const ClassEntry& entry : table.classes) {
            if (entry.clsid == clsid && (entry.context & context & kInProcess) != 0) {
                classObject = platform::ComPtr<IUnknown>(entry.classObject);
                break;
            }
        }
    }
    if (!classObject) return platform::SystemClassObject(clsid, iid, object);
    return classObject->QueryInterface(iid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    platform::ComPtr<IClassFactory> factory;
    const HRESULT found = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, factory.ReceiveVoid());
    if (FAILED(found)) return found;
    const HRESULT created = factory->CreateInstance(outer, iid, object);
    if (FAILED(created)) *object = nullptr;
    return created;
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* classObject, DWORD context, DWORD /*flags*/, DWORD* cookie) {
    if (cookie != nullptr) *cookie = 0;
    if (classObject == nullptr || cookie == nullptr) return E_INVALIDARG;
    ClassTable& table = Table();
    std::lock_guard lock(table.mutex);
    for (const ClassEntry& entry : table.classes) {
        if (entry.clsid == clsid) return CO_E_OBJISREG;
    }
    classObject->AddRef();
    const DWORD assigned = table.nextCookie++;
    table.classes.push_back(ClassEntry{clsid, context, assigned, classObject});
    *cookie = assigned;
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
    IUnknown* released = nullptr;
    {
        ClassTable& table = Table();
        std::lock_guard lock(table.mutex);
        for (auto it = table.classes.begin(); it != table.classes.end(); ++it) {
            if (it->cookie == cookie) {
                released = it->classObject;
                table.classes.erase(it);
                break;
            }
        }
    }
    if (released == nullptr) return CO_E_OBJNOTREG;
    released->Release();  // outside the lock: the object may register or revoke in its destructor
    return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid) {
    if (clsid == nullptr) return E_INVALIDARG;
    *clsid = CLSID_NULL;
    if (text == nullptr) return CO_E_CLASSSTRING;
    GUID parsed{};
    if (!ParseGuid(text, &parsed)) return CO_E_CLASSSTRING;
    *clsid = parsed;
    return S_OK;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (clsid == nullptr) return E_INVALIDARG;
    *clsid = CLSID_NULL;
    if (progId == nullptr || progId[0] == L'\0') return CO_E_CLASSSTRING;
    ClassTable& table = Table();
    std::lock_guard lock(table.mutex);
    const auto it = table.progIds.find(platform::ToUpperSimple(progId));
    if (it == table.progIds.end()) return CO_E_CLASSSTRING;
    *clsid = it->second;
    return S_OK;
}

int StringFromGUID2(REFGUID guid, LPOLESTR text, int size) {
    const std::wstring formatted = platform::GuidText(guid);
    const int needed = static_cast<int>(formatted.size()) + 1;
    if (text == nullptr || size < needed) return 0;
    std::wmemcpy(text, formatted.c_str(), static_cast<std::size_t>(needed));
    return needed;
}

namespace platform {

std::wstring GuidText(REFGUID guid) {
    wchar_t buffer[40];
    std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid.Data1), static_cast<unsigned>(guid.Data2),
                  static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                  guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return buffer;
}

bool RegisterProgId(std::wstring_view progId, REFCLSID clsid) {
    if (progId.empty()) return false;
    ClassTable& table = Table();
    std::lock_guard lock(table.mutex);
    table.progIds[ToUpperSimple(progId)] = clsid;
    return true;
}

bool UnregisterProgId(std::wstring_view progId) {
    ClassTable& table = Table();
    std::lock_guard lock(table.mutex);
    return table.progIds.erase(ToUpperSimple(progId)) > 0;
}

}  // namespace platform
