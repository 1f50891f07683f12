// The engine helper process and the stream socket to it, seen from the program.
//
// Start spawns the helper in a process group of its own (the engine's processes start
// from it and stay in that group), with one end of a socket pair as its descriptor 3 and
// DISPLAY set to the given display. A reader thread turns what arrives into messages and
// hands them to the owner thread (the one that called Start) through a message-only
// window, so the listener hears them there, in order, while that thread pumps messages;
// last comes, once, the notice that the helper has gone: it ended, died, closed its end
// or sent something malformed. By then the reader has ended the whole group and reaped
// the helper, so no process of it is left, not even a zombie.
//
// Owner thread only, except where said. The listener must outlive the connection; it may
// destroy the connection from within a call, and nothing queued is delivered after that.
// The destructor ends the helper and its group the same way and joins the reader, which
// its shutdown of the socket wakes at once.
#pragma once

#include <sys/types.h>

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/webengine/WebEngineProtocol.h"
#include "platform/window/WindowTypes.h"

namespace platform::webengine {

class WebHelperConnection {
public:
    class Listener {
    public:
        virtual void OnHelperMessage(const Message& message) = 0;
        virtual void OnHelperGone() = 0;

    protected:
        ~Listener() = default;
    };

    // Null when the helper cannot be started (no such program, no socket, no window).
    static std::unique_ptr<WebHelperConnection> Start(const std::string& program, const std::string& display,
                                                      Listener* listener);
    ~WebHelperConnection();
    WebHelperConnection(const WebHelperConnection&) = delete;
    WebHelperConnection& operator=(const WebHelperConnection&) = delete;

    // False once the helper has gone (the message is lost with it).
    bool Send(const Message& message);
    pid_t ProcessId() const { return m_pid; }

private:
    struct Item {
        std::optional<Message> message;  // none: the helper has gone
    };

    WebHelperConnection(Listener* listener, int socket, pid_t pid, HWND sink);
    static LRESULT SinkProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void ReadLoop();                       // reader thread
    void Deliver(std::deque<Item> items);  // reader thread
    void Drain();

    Listener* const m_listener;
    const int m_socket;
    const pid_t m_pid;
    const HWND m_sink;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::mutex m_mutex;
    std::deque<Item> m_inbox;
    std::thread m_reader;
};

}  // namespace platform::webengine
