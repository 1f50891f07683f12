#include "commonlib/util/FolderPicker.h"

#include <mutex>
#include <utility>

namespace {

std::mutex& ProviderMutex() {
    static std::mutex mutex;
    return mutex;
}

FolderPickerProvider& Provider() {
    static FolderPickerProvider provider;
    return provider;
}

}  // namespace

FolderPickerProvider SetFolderPickerProvider(FolderPickerProvider provider) {
    std::lock_guard lock(ProviderMutex());
    return std::exchange(Provider(), std::move(provider));
}

std::wstring PickFolder(HWND owner, const std::wstring& startPath) {
    FolderPickerProvider provider;
    {
        std::lock_guard lock(ProviderMutex());
        provider = Provider();
    }
    return provider ? provider(owner, kFolderPickerTitle, startPath) : std::wstring();
}
