// The folder picker "选择文件夹", behind a provider that the UI installs.
//
// Called on the UI thread. Until a provider is set, every pick answers "cancelled"
// (an empty path). The provider runs on the calling thread and may run a modal loop.
#pragma once

#include <functional>
#include <string>

#include "platform/types/WinTypes.h"

inline constexpr wchar_t kFolderPickerTitle[] = L"选择文件夹";

// Receives the owner window, the title and the start folder; returns the chosen folder
// in Windows form, or empty when the user cancelled.
using FolderPickerProvider =
    std::function<std::wstring(HWND owner, const std::wstring& title, const std::wstring& startPath)>;

// Installs `provider` (an empty one restores "always cancelled") and returns the previous one.
FolderPickerProvider SetFolderPickerProvider(FolderPickerProvider provider);

// The chosen folder, empty when cancelled.
std::wstring PickFolder(HWND owner, const std::wstring& startPath);
