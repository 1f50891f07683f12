// xjwebhelper: one WebKitGTK view in a GtkPlug, driven by the web browser object of the
// program that started it (platform/webengine/WebBrowserObject.h).
//
// It talks over the stream socket on file descriptor 3 (WebEngineProtocol.h) and shows
// itself on $DISPLAY. Its first message is Ready with the plug's window, which the program
// embeds into its own window (XEmbed); every navigation the page or the program starts is
// put to the program (BeforeNavigate) and waits for its answer; an HTTP error page is a
// failed navigation (NavigateError with its status), as in the system's browser; a page's
// context menu is put to the program (ContextMenu), whose host may show its own instead,
// and waits for its answer; pages never get a second window. It ends when the socket closes
// or breaks. GTK's main loop and WebKit's own processes live here, never in the program.
#include <fcntl.h>
#include <gtk/gtk.h>
#include <gtk/gtkx.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "platform/webengine/WebEngineProtocol.h"

namespace {

using platform::webengine::Message;
using platform::webengine::MessageReader;
using platform::webengine::MessageType;

constexpr int kChannel = 3;

struct Helper {
    WebKitWebView* view = nullptr;
    MessageReader reader;
    // Navigations waiting for the program's answer, by the id it was asked with.
    std::map<std::uint32_t, WebKitPolicyDecision*> decisions;
    std::uint32_t nextId = 1;
    std::int64_t history = -1;
    bool failed = false;
    std::uint64_t load = 0;  // counts the loads started, so late answers about an old one are dropped
    std::string title;       // the title last reported for the page shown
    // While a context menu waits for the program: its id, the answer once it came, and the
    // other messages that came meanwhile, handled afterwards in their order.
    std::uint32_t menuAsked = 0;
    int menuAnswer = -1;
    std::deque<Message> deferred;
};

// A page's load ended; its title is read before the end is reported.
struct Finishing {
    Helper* helper;
    std::uint64_t load;
    std::string uri;
};

// The program has gone (or broke the stream): nothing is left to show or to save.
[[noreturn]] void Leave() {
    _exit(0);
}

void Send(const Message& message) {
    const std::string frame = platform::webengine::EncodeMessage(message);
    std::size_t sent = 0;
    while (sent < frame.size()) {
        const ssize_t n = send(kChannel, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Leave();
        sent += static_cast<std::size_t>(n);
    }
}

void Send(MessageType type, const char* text, std::int64_t value = 0, std::uint32_t id = 0) {
    Send(Message{type, id, value, text != nullptr ? text : ""});
}

void SendHistory(Helper& helper) {
    const std::int64_t history = (webkit_web_view_can_go_back(helper.view) ? platform::webengine::kCanGoBack : 0) |
                                 (webkit_web_view_can_go_forward(helper.view) ? platform::webengine::kCanGoForward : 0);
    if (history == helper.history) return;
    helper.history = history;
    Send(MessageType::History, "", history);
}

void SendTitle(Helper& helper, const char* title) {
    if (title == nullptr || *title == '\0' || helper.title == title) return;
    helper.title = title;
    Send(MessageType::TitleChange, title);
}

void OnTitleRead(GObject* view, GAsyncResult* result, gpointer data) {
    std::unique_ptr<Finishing> finishing(static_cast<Finishing*>(data));
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
    if (error != nullptr) g_error_free(error);
    Helper& helper = *finishing->helper;
    if (finishing->load == helper.load) {
        if (value != nullptr && jsc_value_is_string(value)) {
            char* title = jsc_value_to_string(value);
            SendTitle(helper, title);
            g_free(title);
        }
        Send(MessageType::DocumentComplete, finishing->uri.c_str());
    }
    if (value != nullptr) g_object_unref(value);
}

void Decide(Helper& helper, std::uint32_t id, bool go) {
    const auto it = helper.decisions.find(id);
    if (it == helper.decisions.end()) return;  // an answer to nothing asked: ignored
    WebKitPolicyDecision* decision = it->second;
    helper.decisions.erase(it);
    if (go) {
        webkit_policy_decision_use(decision);
    } else {
        webkit_policy_decision_ignore(decision);
    }
    g_object_unref(decision);
}

void Handle(Helper& helper, const Message& message) {
    switch (message.type) {
        case MessageType::Navigate:
            webkit_web_view_load_uri(helper.view, message.text.c_str());
            break;
        case MessageType::Stop:
            webkit_web_view_stop_loading(helper.view);
            break;
        case MessageType::Refresh:
            webkit_web_view_reload(helper.view);
            break;
        case MessageType::GoBack:
            webkit_web_view_go_back(helper.view);
            break;
        case MessageType::GoForward:
            webkit_web_view_go_forward(helper.view);
            break;
        case MessageType::Decide:
            Decide(helper, message.id, message.value != 0);
            break;
        case MessageType::MenuAnswer:
            break;  // an answer that came too late for its menu
        default:
            break;  // the helper's own messages never come back
    }
}

void HandleDeferred(Helper& helper) {
    while (!helper.deferred.empty()) {
        const Message message = std::move(helper.deferred.front());
        helper.deferred.pop_front();
        Handle(helper, message);
    }
}

gboolean HandleDeferredLater(gpointer data) {
    HandleDeferred(*static_cast<Helper*>(data));
    return G_SOURCE_REMOVE;
}

// Reads what the socket holds and handles it; while a menu waits, only its answer is taken
// and the rest waits its turn.
void ReadChannel(Helper& helper) {
    char buffer[16 * 1024];
    const ssize_t n = recv(kChannel, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) Leave();
    helper.reader.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    Message message;
    for (;;) {
        switch (helper.reader.Next(&message)) {
            case MessageReader::Result::Message:
                if (helper.menuAsked != 0 && message.type == MessageType::MenuAnswer &&
                    message.id == helper.menuAsked) {
                    helper.menuAnswer = message.value != 0 ? 1 : 0;
                } else if (helper.menuAsked != 0 || !helper.deferred.empty()) {
                    helper.deferred.push_back(message);
                } else {
                    Handle(helper, message);
                }
                continue;
            case MessageReader::Result::NeedMore:
                return;
            case MessageReader::Result::Malformed:
                Leave();
        }
    }
}

gboolean OnChannel(GIOChannel*, GIOCondition, gpointer data) {
    auto& helper = *static_cast<Helper*>(data);
    HandleDeferred(helper);
    ReadChannel(helper);
    return TRUE;
}

gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer data) {
    auto& helper = *static_cast<Helper*>(data);
    switch (type) {
        case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
            WebKitNavigationAction* action =
                webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
            // A server's redirect continues the navigation the program already allowed.
            if (webkit_navigation_action_is_redirect(action)) return FALSE;
            const std::uint32_t id = helper.nextId++;
            helper.decisions[id] = WEBKIT_POLICY_DECISION(g_object_ref(decision));
            Send(MessageType::BeforeNavigate, webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)),
                 0, id);
            return TRUE;
        }
        case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION: {
            WebKitNavigationAction* action =
                webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
            Send(MessageType::NewWindow, webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: {
            WebKitResponsePolicyDecision* answer = WEBKIT_RESPONSE_POLICY_DECISION(decision);
            WebKitURIResponse* response = webkit_response_policy_decision_get_response(answer);
            const auto status = static_cast<std::int64_t>(webkit_uri_response_get_status_code(response));
            if (webkit_response_policy_decision_is_main_frame_main_resource(answer) &&
                status >= platform::webengine::kFirstHttpError && status <= platform::webengine::kLastHttpError) {
                // The system's browser reports an error page as a failed navigation with its
                // status; like every failure here it leaves the old page shown.
                helper.failed = true;
                Send(MessageType::NavigateError,
                     webkit_uri_request_get_uri(webkit_response_policy_decision_get_request(answer)), status);
                webkit_policy_decision_ignore(decision);
                return TRUE;
            }
            // What cannot be shown would become a download; the program downloads nothing through its pages.
            if (!webkit_response_policy_decision_is_mime_type_supported(answer)) {
                webkit_policy_decision_ignore(decision);
                return TRUE;
            }
            return FALSE;
        }
    }
    return FALSE;
}

// The program's host decides first, as the system's browser asks its document host; the
// helper waits for the answer (the host may keep a menu of its own open that long).
gboolean OnContextMenu(WebKitWebView* view, WebKitContextMenu*, GdkEvent* event, WebKitHitTestResult*, gpointer data) {
    auto& helper = *static_cast<Helper*>(data);
    gdouble x = 0;
    gdouble y = 0;
    if (event == nullptr || !gdk_event_get_root_coords(event, &x, &y)) {
        // From the keyboard: the view's corner.
        gint left = 0;
        gint top = 0;
        if (GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(view))) gdk_window_get_origin(window, &left, &top);
        x = left;
        y = top;
    }
    helper.menuAsked = helper.nextId++;
    helper.menuAnswer = -1;
    Send(MessageType::ContextMenu, "",
         platform::webengine::PackPoint(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)), helper.menuAsked);
    while (helper.menuAnswer < 0) {
        pollfd channel{kChannel, POLLIN, 0};
        if (poll(&channel, 1, -1) < 0 && errno != EINTR) Leave();
        if ((channel.revents & (POLLIN | POLLHUP | POLLERR)) != 0) ReadChannel(helper);
    }
    const bool engineShows = helper.menuAnswer == 1;
    helper.menuAsked = 0;
    if (!helper.deferred.empty()) g_idle_add(HandleDeferredLater, &helper);
    return engineShows ? FALSE : TRUE;
}

GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer) {
    Send(MessageType::NewWindow, webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
    return nullptr;
}

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    auto& helper = *static_cast<Helper*>(data);
    switch (event) {
        case WEBKIT_LOAD_STARTED:
            helper.failed = false;
            ++helper.load;
            break;
        case WEBKIT_LOAD_COMMITTED:
            helper.title.clear();
            SendHistory(helper);
            Send(MessageType::NavigateComplete, webkit_web_view_get_uri(view));
            break;
        case WEBKIT_LOAD_FINISHED: {
            if (helper.failed) break;
            // The engine announces a page's title only after its load has finished; the
            // program is to know the title by the time it hears the document is complete.
            const char* uri = webkit_web_view_get_uri(view);
            auto* finishing = new Finishing{&helper, helper.load, uri != nullptr ? uri : ""};
            webkit_web_view_evaluate_javascript(view, "document.title", -1, nullptr, nullptr, nullptr, OnTitleRead,
                                                finishing);
            break;
        }
        default:
            break;
    }
}

gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) {
    auto& helper = *static_cast<Helper*>(data);
    helper.failed = true;
    // A stopped or superseded load, or one the program cancelled, is not a failure to report.
    const bool quiet =
        g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
        g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
    if (!quiet) {
        const bool missing = g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST) ||
                             g_error_matches(error, G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND) ||
                             g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED);
        Send(MessageType::NavigateError, uri,
             static_cast<std::int64_t>(missing ? platform::webengine::LoadFailure::NotFound
                                               : platform::webengine::LoadFailure::Failed));
    }
    return TRUE;  // no error page of the engine's own: the old page stays
}

void OnTitle(GObject*, GParamSpec*, gpointer data) {
    auto& helper = *static_cast<Helper*>(data);
    SendTitle(helper, webkit_web_view_get_title(helper.view));
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing here needs the desktop's accessibility bus or settings service; asking for
    // them only costs time where there is none (and in the tests).
    setenv("NO_AT_BRIDGE", "1", 0);
    setenv("GTK_A11Y", "none", 0);
    setenv("GSETTINGS_BACKEND", "memory", 0);
    // The engine's own processes must not hold the program's socket open after we end.
    fcntl(kChannel, F_SETFD, FD_CLOEXEC);
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "xjwebhelper: cannot open the display\n");
        return 1;
    }

    Helper helper;
    // Nothing of a page (cookies, cache, storage) outlives the program.
    WebKitWebContext* context = webkit_web_context_new_ephemeral();
    helper.view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(context));
    g_object_unref(context);
    WebKitSettings* settings = webkit_web_view_get_settings(helper.view);
    // The view draws into a window of another program, which GPU compositing does not reach.
    webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);

    g_signal_connect(helper.view, "decide-policy", G_CALLBACK(OnDecidePolicy), &helper);
    g_signal_connect(helper.view, "create", G_CALLBACK(OnCreate), &helper);
    g_signal_connect(helper.view, "load-changed", G_CALLBACK(OnLoadChanged), &helper);
    g_signal_connect(helper.view, "load-failed", G_CALLBACK(OnLoadFailed), &helper);
    g_signal_connect(helper.view, "notify::title", G_CALLBACK(OnTitle), &helper);
    g_signal_connect(helper.view, "context-menu", G_CALLBACK(OnContextMenu), &helper);

    GtkWidget* plug = gtk_plug_new(0);
    gtk_container_add(GTK_CONTAINER(plug), GTK_WIDGET(helper.view));
    gtk_widget_show_all(plug);
    Send(MessageType::Ready, "", static_cast<std::int64_t>(gtk_plug_get_id(GTK_PLUG(plug))));

    GIOChannel* channel = g_io_channel_unix_new(kChannel);
    g_io_add_watch(channel, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), OnChannel, &helper);
    gtk_main();
    return 0;
}
