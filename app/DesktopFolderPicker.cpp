#include "app/DesktopFolderPicker.h"

#include <atomic>
#include <memory>
#include <thread>

#include "commonlib/logger/Log.h"
#include "platform/process/FolderChooser.h"
#include "platform/sync/Thread.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/Focus.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"

std::wstring PickFolderWithDesktop(HWND owner, const std::wstring& title, const std::wstring& startPath) {
    auto chooser = std::make_shared<platform::FolderChooser>();
    if (!chooser->Start(title, startPath)) {
        XJ_LOG_INFO("no folder chooser could be started, error %u", GetLastError());
        return {};
    }
    struct Answer {
        std::atomic<bool> done{false};
        std::wstring folder;
    };
    auto answer = std::make_shared<Answer>();
    const DWORD uiThread = GetCurrentThreadId();
    std::thread waiter([chooser, answer, uiThread] {
        answer->folder = chooser->Wait();
        answer->done = true;
        // Wakes the loop below; a message without a window is dispatched to nobody.
        PostThreadMessageW(uiThread, WM_NULL, 0, 0);
    });

    const bool disabledOwner = owner != nullptr && IsWindowEnabled(owner);
    if (disabledOwner) EnableWindow(owner, FALSE);
    MSG msg{};
    while (!answer->done) {
        if (owner != nullptr && !IsWindow(owner)) chooser->Cancel();
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            chooser->Cancel();
            waiter.join();
            if (disabledOwner && IsWindow(owner)) EnableWindow(owner, TRUE);
            PostQuitMessage(static_cast<int>(msg.wParam));
            return {};
        }
        if (got == -1) {
            chooser->Cancel();
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    waiter.join();
    if (disabledOwner && IsWindow(owner)) {
        EnableWindow(owner, TRUE);
        SetForegroundWindow(owner);
    }
    if (owner != nullptr && !IsWindow(owner)) return {};
    return answer->folder;
}
