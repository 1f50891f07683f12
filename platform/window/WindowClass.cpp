#include "platform/window/WindowClass.h"

#include <map>
#include <mutex>

#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"

namespace platform {

namespace {

constexpr ATOM kFirstClassAtom = 0xC000;

bool IsAtomName(LPCWSTR nameOrAtom) {
    return reinterpret_cast<uintptr_t>(nameOrAtom) <= 0xFFFF;
}

ATOM AtomOf(LPCWSTR nameOrAtom) {
    return static_cast<ATOM>(reinterpret_cast<uintptr_t>(nameOrAtom));
}

std::wstring Folded(std::wstring_view name) {
    return platform::ToUpperSimple(name);
}

class ClassRegistry {
public:
    static ClassRegistry& Instance() {
        // Never destroyed: threads that end during process exit may still look classes up.
        static auto* registry = new ClassRegistry;
        return *registry;
    }

    ATOM Register(const WNDCLASSEXW& wc) {
        std::lock_guard lock(m_mutex);
        const auto key = Folded(wc.lpszClassName);
        if (m_byName.count(key)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
        if (m_nextAtom == 0) {  // the atom range is used up
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        auto entry = std::make_shared<WindowClassEntry>();
        entry->name = wc.lpszClassName;
        entry->info = wc;
        entry->info.lpszClassName = entry->name.c_str();
        if (wc.lpszMenuName && !IsAtomName(wc.lpszMenuName)) {
            entry->menuName = wc.lpszMenuName;
            entry->info.lpszMenuName = entry->menuName.c_str();
        }
        entry->atom = m_nextAtom++;
        m_byName.emplace(key, entry);
        return entry->atom;
    }

    std::shared_ptr<WindowClassEntry> Find(LPCWSTR nameOrAtom) {
        std::lock_guard lock(m_mutex);
        return FindLocked(nameOrAtom).second;
    }

    bool Unregister(LPCWSTR nameOrAtom) {
        std::lock_guard lock(m_mutex);
        auto [key, entry] = FindLocked(nameOrAtom);
        if (!entry) {
            SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
            return false;
        }
        if (entry->windowCount.load() > 0) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return false;
        }
        m_byName.erase(key);
        return true;
    }

private:
    std::pair<std::wstring, std::shared_ptr<WindowClassEntry>> FindLocked(LPCWSTR nameOrAtom) {
        if (!nameOrAtom) return {};
        if (IsAtomName(nameOrAtom)) {
            const ATOM atom = AtomOf(nameOrAtom);
            for (const auto& [key, entry] : m_byName) {
                if (entry->atom == atom) return {key, entry};
            }
            return {};
        }
        auto key = Folded(nameOrAtom);
        auto it = m_byName.find(key);
        if (it == m_byName.end()) return {};
        return {key, it->second};
    }

    std::mutex m_mutex;
    std::map<std::wstring, std::shared_ptr<WindowClassEntry>> m_byName;
    ATOM m_nextAtom = kFirstClassAtom;
};

}  // namespace

std::shared_ptr<WindowClassEntry> FindWindowClass(LPCWSTR nameOrAtom) {
    return ClassRegistry::Instance().Find(nameOrAtom);
}

bool EnsureWindowClass(const WNDCLASSEXW& wc) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(nullptr, wc.lpszClassName, &existing)) return existing.lpfnWndProc == wc.lpfnWndProc;
    if (RegisterClassExW(&wc) != 0) return true;
    return GetClassInfoExW(nullptr, wc.lpszClassName, &existing) && existing.lpfnWndProc == wc.lpfnWndProc;
}

}  // namespace platform

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpszClassName ||
        reinterpret_cast<uintptr_t>(wc->lpszClassName) <= 0xFFFF || wc->lpszClassName[0] == L'\0' || !wc->lpfnWndProc ||
        wc->cbWndExtra < 0 || wc->cbWndExtra > platform::kMaxWindowExtraBytes || wc->cbClsExtra < 0 ||
        wc->cbClsExtra > platform::kMaxWindowExtraBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return platform::ClassRegistry::Instance().Register(*wc);
}

ATOM RegisterClassW(const WNDCLASSW* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXW ex;
    ex.cbSize = sizeof(ex);
    ex.style = wc->style;
    ex.lpfnWndProc = wc->lpfnWndProc;
    ex.cbClsExtra = wc->cbClsExtra;
    ex.cbWndExtra = wc->cbWndExtra;
    ex.hInstance = wc->hInstance;
    ex.hIcon = wc->hIcon;
    ex.hCursor = wc->hCursor;
    ex.hbrBackground = wc->hbrBackground;
    ex.lpszMenuName = wc->lpszMenuName;
    ex.lpszClassName = wc->lpszClassName;
    return RegisterClassExW(&ex);
}

BOOL UnregisterClassW(LPCWSTR nameOrAtom, HINSTANCE /*instance*/) {
    return platform::ClassRegistry::Instance().Unregister(nameOrAtom) ? TRUE : FALSE;
}

BOOL GetClassInfoExW(HINSTANCE /*instance*/, LPCWSTR nameOrAtom, WNDCLASSEXW* wc) {
    auto entry = platform::FindWindowClass(nameOrAtom);
    if (!entry || !wc) {
        SetLastError(entry ? ERROR_INVALID_PARAMETER : ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    const UINT size = wc->cbSize;
    *wc = entry->info;
    wc->cbSize = size;
    // The entry may go with UnregisterClassW; the caller's strings outlive this call.
    wc->lpszClassName = nameOrAtom;
    if (!entry->menuName.empty()) wc->lpszMenuName = nullptr;
    return entry->atom;
}
