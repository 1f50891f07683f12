#include "platform/window/MessageApi.h"

#include <map>
#include <mutex>
#include <string>

#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/InputRouter.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/WindowTable.h"

using platform::MessageQueue;
using platform::WindowTable;

namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return MSG{hwnd, message, wParam, lParam, MessageQueue::TickCount(), POINT{}};
}

// The window filter of GetMessageW/PeekMessageW must name a window of this thread.
bool ValidWindowFilter(HWND hwnd) {
    if (!hwnd || hwnd == kThreadMessagesOnly) return true;
    auto window = WindowTable::Instance().Find(hwnd);
    if (window && window->Queue()->IsOwnerThread()) return true;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
}

class RegisteredMessages {
public:
    static RegisteredMessages& Instance() {
        static auto* messages = new RegisteredMessages;
        return *messages;
    }

    UINT Register(std::wstring_view name) {
        const std::wstring key = platform::ToUpperSimple(name);
        std::lock_guard lock(m_mutex);
        auto it = m_numbers.find(key);
        if (it != m_numbers.end()) return it->second;
        if (m_next > kLastRegisteredMessage) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        const UINT number = m_next++;
        m_numbers.emplace(std::move(key), number);
        return number;
    }

private:
    std::mutex m_mutex;
    std::map<std::wstring, UINT> m_numbers;
    UINT m_next = kFirstRegisteredMessage;
};

}  // namespace

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) {
        MessageQueue::ForCurrentThread()->Post(MakeMessage(nullptr, message, wParam, lParam), nullptr);
        return TRUE;
    }
    auto window = WindowTable::Instance().Find(hwnd);
    if (!window || !window->Queue()->Post(MakeMessage(hwnd, message, wParam, lParam), window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    auto queue = MessageQueue::ForThread(threadId);
    if (!queue || !queue->Post(MakeMessage(nullptr, message, wParam, lParam), nullptr)) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return TRUE;
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = WindowTable::Instance().Find(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->Queue()->IsOwnerThread()) return window->Deliver(message, wParam, lParam);
    return MessageQueue::SendAcrossThreads(window, message, wParam, lParam);
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!ValidWindowFilter(hwnd)) return -1;
    MessageQueue::ForCurrentThread()->Retrieve(msg, MessageQueue::Filter{hwnd, filterMin, filterMax},
                                               MessageQueue::Removal::Remove, MessageQueue::Blocking::Wait);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!ValidWindowFilter(hwnd)) return FALSE;
    const auto removal = (removeFlags & PM_REMOVE) ? MessageQueue::Removal::Remove : MessageQueue::Removal::Keep;
    return MessageQueue::ForCurrentThread()->Retrieve(msg, MessageQueue::Filter{hwnd, filterMin, filterMax}, removal,
                                                      MessageQueue::Blocking::NoWait)
               ? TRUE
               : FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    switch (msg->message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            const UINT charMessage = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
            for (wchar_t c : platform::InputRouter::Instance().TypedText(*msg)) {
                PostMessageW(msg->hwnd, charMessage, static_cast<WPARAM>(c), msg->lParam);
            }
            return TRUE;
        }
        case WM_KEYUP:
        case WM_SYSKEYUP:
            return TRUE;
        default:
            return FALSE;
    }
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        const auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        std::shared_ptr<MessageQueue> queue;
        if (msg->hwnd) {
            if (auto window = WindowTable::Instance().Find(msg->hwnd)) queue = window->Queue();
        } else {
            queue = MessageQueue::CurrentIfAny();
        }
        // A posted WM_TIMER could carry any address; only a live timer's own procedure is called.
        if (queue && queue->IsOwnerThread() && queue->IsTimerProcedure(msg->hwnd, msg->wParam, proc)) {
            proc(msg->hwnd, WM_TIMER, msg->wParam, MessageQueue::TickCount());
        }
        return 0;
    }
    if (!msg->hwnd) return 0;
    auto window = WindowTable::Instance().Find(msg->hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!window->Queue()->IsOwnerThread()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return window->Deliver(msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exitCode) {
    MessageQueue::ForCurrentThread()->PostQuit(exitCode);
}

LONG GetMessageTime() {
    auto queue = MessageQueue::CurrentIfAny();
    return queue ? static_cast<LONG>(queue->LastMessageTime()) : 0;
}

UINT RegisterWindowMessageW(LPCWSTR name) {
    if (!name || reinterpret_cast<uintptr_t>(name) <= 0xFFFF || name[0] == L'\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return RegisteredMessages::Instance().Register(name);
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    std::shared_ptr<MessageQueue> queue;
    if (hwnd) {
        auto window = WindowTable::Instance().Find(hwnd);
        if (!window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        queue = window->Queue();
    } else {
        queue = MessageQueue::ForCurrentThread();
    }
    const UINT_PTR result = queue->SetTimer(hwnd, id, elapseMs, proc);
    if (!result) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return result;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    std::shared_ptr<MessageQueue> queue;
    if (hwnd) {
        auto window = WindowTable::Instance().Find(hwnd);
        if (!window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        queue = window->Queue();
    } else {
        queue = MessageQueue::CurrentIfAny();
    }
    if (!queue || !queue->KillTimer(hwnd, id)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
