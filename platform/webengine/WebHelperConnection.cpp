#include "platform/webengine/WebHelperConnection.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"

extern char** environ;

namespace platform::webengine {

namespace {

constexpr int kHelperChannel = 3;
constexpr UINT kDrainMessage = WM_APP + 1;
constexpr const wchar_t* kSinkClass = L"XjWebHelperSink";

// Our environment with DISPLAY naming the display the program shows its windows on.
std::vector<std::string> HelperEnvironment(const std::string& display) {
    std::vector<std::string> result;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0) result.emplace_back(*entry);
    }
    result.push_back("DISPLAY=" + display);
    return result;
}

pid_t SpawnHelper(const std::string& program, const std::string& display, int channel) {
    std::vector<std::string> environment = HelperEnvironment(display);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string path = program;
    char* argv[] = {path.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, channel, kHelperChannel);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : 0;
}

HWND CreateSink() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = kSinkClass;
    RegisterClassW(&wc);  // fails harmlessly when an earlier connection registered it
    return CreateWindowExW(0, kSinkClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

}  // namespace

std::unique_ptr<WebHelperConnection> WebHelperConnection::Start(const std::string& program, const std::string& display,
                                                                Listener* listener) {
    if (program.empty() || display.empty() || access(program.c_str(), X_OK) != 0) return nullptr;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return nullptr;
    int childEnd = ends[1];
    if (childEnd == kHelperChannel) {
        // dup2 onto itself would keep close-on-exec, and the helper would start without it.
        childEnd = fcntl(ends[1], F_DUPFD_CLOEXEC, kHelperChannel + 1);
        close(ends[1]);
    }
    const HWND sink = childEnd >= 0 ? CreateSink() : nullptr;
    const pid_t pid = sink != nullptr ? SpawnHelper(program, display, childEnd) : 0;
    if (childEnd >= 0) close(childEnd);
    if (pid <= 0) {
        if (sink != nullptr) DestroyWindow(sink);
        close(ends[0]);
        return nullptr;
    }
    std::unique_ptr<WebHelperConnection> connection(new WebHelperConnection(listener, ends[0], pid, sink));
    SetWindowLongPtrW(sink, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WebHelperConnection::SinkProcedure));
    SetWindowLongPtrW(sink, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(connection.get()));
    connection->m_reader = std::thread([raw = connection.get()] { raw->ReadLoop(); });
    return connection;
}

WebHelperConnection::WebHelperConnection(Listener* listener, int socket, pid_t pid, HWND sink)
    : m_listener(listener), m_socket(socket), m_pid(pid), m_sink(sink) {}

WebHelperConnection::~WebHelperConnection() {
    m_alive.reset();
    shutdown(m_socket, SHUT_RDWR);
    if (m_reader.joinable()) m_reader.join();  // it ends the helper's group and reaps it on its way out
    close(m_socket);
    SetWindowLongPtrW(m_sink, GWLP_USERDATA, 0);
    DestroyWindow(m_sink);
}

bool WebHelperConnection::Send(const Message& message) {
    const std::string frame = EncodeMessage(message);
    std::size_t sent = 0;
    while (sent < frame.size()) {
        const ssize_t n = send(m_socket, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void WebHelperConnection::ReadLoop() {
    MessageReader reader;
    char buffer[16 * 1024];
    for (bool reading = true; reading;) {
        const ssize_t n = recv(m_socket, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        reader.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        std::deque<Item> items;
        Message message;
        for (;;) {
            const auto result = reader.Next(&message);
            if (result == MessageReader::Result::Message) {
                items.push_back(Item{std::move(message)});
                continue;
            }
            reading = result == MessageReader::Result::NeedMore;
            break;
        }
        if (!items.empty()) Deliver(std::move(items));
    }
    // The group is ours to end while its leader is unreaped, so the id cannot name another group yet.
    kill(-m_pid, SIGKILL);
    while (waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    std::deque<Item> gone;
    gone.push_back(Item{});
    Deliver(std::move(gone));
}

void WebHelperConnection::Deliver(std::deque<Item> items) {
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_mutex);
        wasEmpty = m_inbox.empty();
        for (Item& item : items)
            m_inbox.push_back(std::move(item));
    }
    // One wake-up drains everything queued until then.
    if (wasEmpty) PostMessageW(m_sink, kDrainMessage, 0, 0);
}

void WebHelperConnection::Drain() {
    std::deque<Item> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_inbox);
    }
    const std::weak_ptr<bool> alive = m_alive;
    for (const Item& item : batch) {
        if (item.message) {
            m_listener->OnHelperMessage(*item.message);
        } else {
            m_listener->OnHelperGone();
        }
        if (alive.expired()) return;  // the listener let the connection go
    }
}

LRESULT WebHelperConnection::SinkProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kDrainMessage) {
        if (auto* connection = reinterpret_cast<WebHelperConnection*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
            connection->Drain();
        }
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace platform::webengine
