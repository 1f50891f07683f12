#include "platform/process/ShellOpen.h"

#include <mutex>

#include "platform/fs/DriveMap.h"
#include "platform/process/Process.h"
#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

constexpr uintptr_t kOpened = 42;
constexpr uintptr_t kFileNotFound = 2;
constexpr uintptr_t kNoAssociation = 31;

std::mutex& HookMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

ShellOpenHook& Hook() {
    static auto* hook = new ShellOpenHook;
    return *hook;
}

HINSTANCE Result(uintptr_t value) {
    return reinterpret_cast<HINSTANCE>(value);
}

bool IsUrl(std::wstring_view text) {
    const auto colon = text.find(L':');
    // "C:\..." has its colon second; a scheme is longer than one letter.
    return colon != std::wstring_view::npos && colon > 1;
}

}  // namespace

void SetShellOpenHook(ShellOpenHook hook) {
    std::lock_guard lock(HookMutex());
    Hook() = std::move(hook);
}

}  // namespace platform

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
    if (verb && *verb && !platform::EqualsNoCase(verb, L"open")) return platform::Result(platform::kNoAssociation);
    if (!file || !*file) return platform::Result(platform::kFileNotFound);
    std::string target;
    if (platform::IsUrl(file)) {
        target = platform::Utf8FromWide(file);
    } else {
        const auto host = platform::HostPath(file);
        if (!host) return platform::Result(platform::kFileNotFound);
        target = *host;
    }
    if (target.front() == '-') return platform::Result(platform::kFileNotFound);  // never an option to xdg-open
    platform::ShellOpenHook hook;
    {
        std::lock_guard lock(platform::HookMutex());
        hook = platform::Hook();
    }
    const bool opened = hook ? hook(target) : platform::SpawnDetached("xdg-open", {"xdg-open", target}) == 0;
    return platform::Result(opened ? platform::kOpened : platform::kNoAssociation);
}
