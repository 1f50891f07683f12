// The program's folder picker: the desktop's own directory chooser (zenity, else kdialog),
// modal to its owner like the shell's folder browser. The program installs it as the
// provider of PickFolder (commonlib/util/FolderPicker.h).
//
// UI thread. While the chooser is open the owner is disabled and the thread keeps running
// its messages in a nested loop, so windows paint and timers, downloads and the install go
// on; the owner's own state may therefore change before the call returns. Empty when the
// user cancelled, no chooser exists, the owner went away or WM_QUIT arrived (which is
// posted again for the outer loop).
#pragma once

#include <string>

#include "platform/types/WinTypes.h"

std::wstring PickFolderWithDesktop(HWND owner, const std::wstring& title, const std::wstring& startPath);
