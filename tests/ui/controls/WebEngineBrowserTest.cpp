// The web browser control on the real engine: the platform's browser object with its
// WebKitGTK helper, embedded into a window on a private Xvfb server, showing pages served
// on loopback and from files. Skipped where the build has no engine or Xvfb is missing.
#include "ui/controls/WebBrowserUI.h"

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "../basic/BasicFixture.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ConnectionPoint.h"
#include "platform/display/X11Display.h"
#include "platform/display/XvfbServer.h"
#include "platform/window/Focus.h"
#include "platform/window/NativeWindow.h"
#include "support/LoopbackHttpServer.h"
#include "support/MessagePump.h"
#include "support/ReferenceImage.h"
#include "support/ScriptedTcpServer.h"
#include "support/TempDir.h"
#include "ui/core/ContainerUI.h"

#ifdef XJ_TEST_WEB_ENGINE
// Last: Xlib's macros would otherwise reach into the framework's headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#endif

namespace {

#ifdef XJ_TEST_WEB_ENGINE
constexpr bool kHaveEngine = true;
#else
constexpr bool kHaveEngine = false;
#endif

// The URL an event carries, by reference or as text.
std::string UrlOf(const VARIANT& argument) {
    const VARIANT& value = argument.vt == (VT_BYREF | VT_VARIANT) ? *argument.pvarVal : argument;
    return value.vt == VT_BSTR && value.bstrVal != nullptr ? platform::Utf8FromWide(value.bstrVal) : std::string();
}

// Hears the browser's events, in order, as "<event> <url or title>".
class CEventLog final : public IDispatch {
public:
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        const bool known = iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2;
        *object = known ? static_cast<IDispatch*>(this) : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() noexcept override { return 2; }
    ULONG Release() noexcept override { return 1; }
    HRESULT GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                   UINT*) noexcept override {
        // The event's name and the argument (counted from the first) that names its page.
        const struct {
            DISPID id;
            const char* name;
            UINT argument;
        } kinds[] = {{DISPID_BEFORENAVIGATE2, "before", 1},
                     {DISPID_NAVIGATECOMPLETE2, "complete", 1},
                     {DISPID_DOCUMENTCOMPLETE, "document", 1},
                     {DISPID_TITLECHANGE, "title", 0},
                     {DISPID_NEWWINDOW3, "new window", 4}};
        for (const auto& kind : kinds) {
            if (kind.id == member && kind.argument < params->cArgs)
                lines.push_back(std::string(kind.name) + " " +
                                UrlOf(params->rgvarg[params->cArgs - 1 - kind.argument]));
        }
        return S_OK;
    }

    bool Saw(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    // The lines among `wanted`, in the order they came.
    std::vector<std::string> Only(const std::vector<std::string>& wanted) const {
        std::vector<std::string> result;
        for (const std::string& each : lines) {
            if (std::find(wanted.begin(), wanted.end(), each) != wanted.end()) result.push_back(each);
        }
        return result;
    }

    std::vector<std::string> lines;
};

// Our own helper processes, and how many of our children are zombies; read from /proc.
struct Children {
    std::vector<pid_t> helpers;
    int zombies = 0;
};

Children OurChildren() {
    Children children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (comm) state ppid ...: the name may hold spaces, so read from its closing parenthesis.
        const auto close = line.rfind(')');
        const auto open = line.find('(');
        if (close == std::string::npos || open == std::string::npos) continue;
        char state = 0;
        long parent = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) != 2 || parent != getpid()) continue;
        if (state == 'Z') ++children.zombies;
        if (line.substr(open + 1, close - open - 1) == "xjwebhelper") {
            children.helpers.push_back(static_cast<pid_t>(std::stol(line)));
        }
    }
    return children;
}

std::string Page(const std::string& title, const std::string& colour, const std::string& link,
                 const std::string& target = "_self") {
    return "<!DOCTYPE html><html><head><title>" + title + "</title></head><body style=\"margin:0;background:" + colour +
           "\"><a href=\"" + link + "\" target=\"" + target +
           "\" style=\"display:block;width:100%;height:100vh;color:#fff;font:bold 28px sans-serif\">" + title +
           "</a></body></html>";
}

// The events of a visit to a page, in their order.
std::vector<std::string> Visit(const std::string& url, const std::string& title) {
    return {"before " + url, "complete " + url, "title " + title, "document " + url};
}

void ServeHtml(testsupport::LoopbackHttpServer& server, const std::string& path, std::string html) {
    server.Route(path, [html = std::move(html)](const testsupport::RecordedRequest&, httplib::Response& response) {
        response.set_content(html, "text/html; charset=utf-8");
    });
}

// A real click at a point of the screen, as a user's.
void ClickOnScreen([[maybe_unused]] const std::string& display, [[maybe_unused]] int x, [[maybe_unused]] int y) {
#ifdef XJ_TEST_WEB_ENGINE
    ::Display* input = XOpenDisplay(display.c_str());
    ASSERT_NE(input, nullptr);
    XTestFakeMotionEvent(input, 0, x - 10, y - 10, CurrentTime);
    XTestFakeMotionEvent(input, 0, x, y, CurrentTime);
    XTestFakeButtonEvent(input, 1, True, CurrentTime);
    XTestFakeButtonEvent(input, 1, False, CurrentTime);
    XCloseDisplay(input);
#endif
}

constexpr int kInset = 24;

// The control tests' window (400 x 300 at the screen's origin), on a private X server.
class WebEngineBrowserTest : public basictest::BasicControlTest, public SkinUI::CWebBrowserEventHandler {
protected:
    void SetUp() override {
        if (!kHaveEngine) GTEST_SKIP() << "built without the web engine";
        if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
        m_xvfb.emplace();
        ASSERT_TRUE(m_xvfb->Running() && m_x11.Open(m_xvfb->Name())) << "Xvfb did not start";
        platform::SetWindowBackend(&m_x11);
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        m_com = true;
        BasicControlTest::SetUp();
        Build("<VerticalLayout bkcolor=\"#FF303840\" inset=\"24,24,24,24\"/>");
    }
    void TearDown() override {
        BasicControlTest::TearDown();  // the controls let their browsers go before the window does
        if (m_com) CoUninitialize();
        platform::SetWindowBackend(nullptr);
    }

    // A browser element filling the window's inset, created at once, with our sink connected.
    SkinUI::CWebBrowserUI* AddBrowser() {
        auto* control = new SkinUI::CWebBrowserUI();
        control->SetEventHandler(this);
        EXPECT_TRUE(static_cast<SkinUI::CContainerUI*>(m_manager->GetRoot())->AppendChild(control));
        m_manager->UpdateLayout();
        Connect(control);
        return control;
    }
    // AddBrowser, then its first page shown; null (a failure noted) when the page never came.
    SkinUI::CWebBrowserUI* AddBrowserShowing(const std::string& url) {
        SkinUI::CWebBrowserUI* control = AddBrowser();
        if (control->GetWebBrowser2() == nullptr) return nullptr;
        control->NavigateTo(platform::WideFromUtf8(url));
        return PumpUntilSeen("document " + url) ? control : nullptr;
    }
    void Connect(SkinUI::CWebBrowserUI* control) {
        IWebBrowser2* browser = control->GetWebBrowser2();
        ASSERT_NE(browser, nullptr) << "no browser object was created";
        platform::ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(browser->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid()), S_OK);
        platform::ComPtr<IConnectionPoint> point;
        ASSERT_EQ(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive()), S_OK);
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(&m_events, &cookie), S_OK);
    }
    bool PumpUntilSeen(const std::string& line) {
        const bool seen = testsupport::PumpMessagesUntil([&] { return m_events.Saw(line); }, std::chrono::seconds(20));
        if (!seen) {
            std::string all;
            for (const std::string& each : m_events.lines)
                all += "\n  " + each;
            ADD_FAILURE() << "never saw \"" << line << "\"; saw:" << all;
        }
        return seen;
    }
    static std::string Text(HRESULT (IWebBrowser2::*getter)(BSTR*), IWebBrowser2* browser) {
        BSTR value = nullptr;
        if (FAILED((browser->*getter)(&value))) return "(failed)";
        const std::string text = value != nullptr ? platform::Utf8FromWide(value) : std::string();
        SysFreeString(value);
        return text;
    }

    void BeforeNavigate2(IDispatch*, VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                         VARIANT_BOOL* cancel) override {
        if (UrlOf(*url) == m_refused) *cancel = VARIANT_TRUE;
    }
    void NavigateError(IDispatch*, VARIANT* url, VARIANT*, VARIANT* status, VARIANT_BOOL*) override {
        m_failures.push_back(UrlOf(*url) + " " + std::to_string(status->lVal));
    }
    void CommandStateChange(LONG command, VARIANT_BOOL enable) override {
        const char* name = command == CSC_NAVIGATEBACK ? "back" : command == CSC_NAVIGATEFORWARD ? "forward" : "?";
        m_commands.push_back(std::string(name) + (enable != VARIANT_FALSE ? " on" : " off"));
    }
    HRESULT ShowContextMenu(DWORD id, POINT* point, IUnknown*, IDispatch*) override {
        m_menus.push_back(point != nullptr ? POINT{point->x, point->y} : POINT{-1, -1});
        EXPECT_EQ(id, static_cast<DWORD>(CONTEXT_MENU_DEFAULT));
        return m_menuAnswer;
    }

    std::optional<displaytest::XvfbServer> m_xvfb;
    platform::X11Display m_x11;
    bool m_com = false;
    CEventLog m_events;
    std::vector<std::string> m_failures;
    std::string m_refused;                // the URL our handler cancels
    std::vector<std::string> m_commands;  // "back on", "forward off", ...
    std::vector<POINT> m_menus;           // where the page's context menus were asked for
    HRESULT m_menuAnswer = S_OK;          // S_OK: we showed our own; S_FALSE: the engine shows its own
};

#ifdef XJ_TEST_WEB_ENGINE
// Menus and other pop-ups: the server's mapped override-redirect windows.
int MappedPopups(const std::string& display) {
    ::Display* x = XOpenDisplay(display.c_str());
    if (x == nullptr) return -1;
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    int popups = 0;
    if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            if (XGetWindowAttributes(x, children[i], &attributes) && attributes.map_state == IsViewable &&
                attributes.override_redirect) {
                ++popups;
            }
        }
        if (children != nullptr) XFree(children);
    }
    XCloseDisplay(x);
    return popups;
}

void RightClickOnScreen(const std::string& display, int x, int y) {
    ::Display* input = XOpenDisplay(display.c_str());
    ASSERT_NE(input, nullptr);
    XTestFakeMotionEvent(input, 0, x, y, CurrentTime);
    XTestFakeButtonEvent(input, 3, True, CurrentTime);
    XTestFakeButtonEvent(input, 3, False, CurrentTime);
    XCloseDisplay(input);
}
#endif

}  // namespace
TEST_F(WebEngineBrowserTest, ShowsLoopbackAndFilePagesFollowsLinksAndGoesBack) {
    testsupport::LoopbackHttpServer server;
    ServeHtml(server, "/first", Page("First page", "#2050c0", "/second"));
    ServeHtml(server, "/second", Page("Second page", "#20a040", "/first"));
    ASSERT_TRUE(server.Start());
    const std::string first = server.Url("/first");
    const std::string second = server.Url("/second");
    SkinUI::CWebBrowserUI* control = AddBrowserShowing(first);
    ASSERT_NE(control, nullptr);
    IWebBrowser2* browser = control->GetWebBrowser2();
    EXPECT_EQ(m_events.Only(Visit(first, "First page")), Visit(first, "First page"));
    EXPECT_TRUE(m_commands.empty()) << "nothing to go back or forward to yet";
    EXPECT_EQ(Text(&IWebBrowser2::get_LocationName, browser), "First page");
    EXPECT_EQ(Text(&IWebBrowser2::get_LocationURL, browser), first);

    // The page shows inside the element, in our window: its colour there, the skin's around it.
    const POINT centre{200, 150};
    std::optional<platform::X11Display::Capture> shot;
    const bool shown = testsupport::PumpMessagesUntil(
        [&] {
            shot = m_x11.CaptureWindow(m_hwnd);
            return shot && testsupport::PixelNear(shot->pixels[centre.y * shot->width + centre.x], 0xFF2050C0, 8);
        },
        std::chrono::seconds(20));
    ASSERT_TRUE(shot.has_value());
    EXPECT_TRUE(testsupport::WriteArtifact("webbrowser-page.png", shot->pixels, shot->width, shot->height));
    EXPECT_TRUE(shown) << "the page's colour never showed in the window";
    EXPECT_TRUE(testsupport::PixelNear(shot->pixels[(kInset / 2) * shot->width + kInset / 2], 0xFF303840, 8));

    {  // A click on the page's link goes to the second page, through the same events.
        ClickOnScreen(m_xvfb->Name(), centre.x, centre.y);
        ASSERT_TRUE(PumpUntilSeen("document " + second));
        EXPECT_EQ(m_events.Only(Visit(second, "Second page")), Visit(second, "Second page"));
        EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return GetFocus() == control->GetHostWindow(); }))
            << "the click never gave the page our focus";
        EXPECT_EQ(m_commands, (std::vector<std::string>{"back on"}));
    }
    {  // Back to the first page; then forward is possible and back is not.
        m_events.lines.clear();
        m_commands.clear();
        ASSERT_EQ(browser->GoBack(), S_OK);
        ASSERT_TRUE(PumpUntilSeen("document " + first));
        EXPECT_TRUE(m_events.Saw("complete " + first));
        EXPECT_EQ(Text(&IWebBrowser2::get_LocationName, browser), "First page");
        EXPECT_EQ(browser->GoBack(), E_FAIL) << "nothing further back";
        std::sort(m_commands.begin(), m_commands.end());
        EXPECT_EQ(m_commands, (std::vector<std::string>{"back off", "forward on"}));
    }
    {  // A navigation the host cancels never happens.
        m_refused = server.Url("/refused");
        control->NavigateTo(platform::WideFromUtf8(m_refused));
        ASSERT_TRUE(PumpUntilSeen("before " + m_refused));
    }
    {  // A page from a file, whose link wants a window of its own: refused, the page stays.
        testsupport::TempDir dir;
        const std::string popup = server.Url("/popup");
        dir.WriteFile("local page.html", Page("Local file", "#c08020", popup, "_blank"));
        const std::string url = "file://" + std::string(dir.Path()) + "/local%20page.html";
        control->NavigateTo(platform::WideFromUtf8(url));
        ASSERT_TRUE(PumpUntilSeen("document " + url));
        EXPECT_EQ(Text(&IWebBrowser2::get_LocationName, browser), "Local file");
        EXPECT_FALSE(m_events.Saw("complete " + m_refused));
        ClickOnScreen(m_xvfb->Name(), centre.x + 80, centre.y + 60);
        ASSERT_TRUE(PumpUntilSeen("new window " + popup));
        EXPECT_FALSE(m_events.Saw("before " + popup));
        EXPECT_EQ(Text(&IWebBrowser2::get_LocationURL, browser), url);
        for (const auto& request : server.Requests())
            EXPECT_TRUE(request.path != "/refused" && request.path != "/popup") << request.path << " was fetched";
    }
    EXPECT_TRUE(m_failures.empty());
}

TEST_F(WebEngineBrowserTest, HttpErrorPagesFailWithTheirStatusAndTheHostTakesTheContextMenu) {
    testsupport::LoopbackHttpServer server;
    ServeHtml(server, "/first", Page("First page", "#2050c0", "/first"));
    for (const int status : {404, 503}) {
        server.Route("/status" + std::to_string(status),
                     [status](const testsupport::RecordedRequest&, httplib::Response& response) {
                         response.status = status;
                         response.set_content(Page("Error page", "#c02020", "/first"), "text/html; charset=utf-8");
                     });
    }
    ASSERT_TRUE(server.Start());
    const std::string first = server.Url("/first");
    SkinUI::CWebBrowserUI* control = AddBrowserShowing(first);
    ASSERT_NE(control, nullptr);
    IWebBrowser2* browser = control->GetWebBrowser2();

    for (const int status : {404, 503}) {
        // As the system's browser: a navigation error with the HTTP status, not a page shown.
        SCOPED_TRACE(status);
        const std::string url = server.Url("/status" + std::to_string(status));
        m_failures.clear();
        control->NavigateTo(platform::WideFromUtf8(url));
        ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !m_failures.empty(); }, std::chrono::seconds(20)))
            << "the error page never failed";
        EXPECT_EQ(m_failures, (std::vector<std::string>{url + " " + std::to_string(status)}));
        testsupport::PumpMessagesFor(std::chrono::milliseconds(200));
        EXPECT_FALSE(m_events.Saw("complete " + url));
        EXPECT_FALSE(m_events.Saw("document " + url));
        EXPECT_EQ(Text(&IWebBrowser2::get_LocationURL, browser), first) << "the page shown stays";
    }

    // A right click on the page asks the document's host first, at the click's screen point.
    const POINT centre{200, 150};
    const int popups = MappedPopups(m_xvfb->Name());
    m_menuAnswer = S_OK;
    RightClickOnScreen(m_xvfb->Name(), centre.x, centre.y);
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !m_menus.empty(); }, std::chrono::seconds(20)))
        << "the host never heard of the context menu";
    EXPECT_NEAR(m_menus[0].x, centre.x, 2);
    EXPECT_NEAR(m_menus[0].y, centre.y, 2);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(500));
    EXPECT_EQ(MappedPopups(m_xvfb->Name()), popups) << "the host showed its own menu; the engine shows none";
    // A host that leaves the menu to the browser gets the engine's own.
    m_menuAnswer = S_FALSE;
    RightClickOnScreen(m_xvfb->Name(), centre.x, centre.y);
    EXPECT_TRUE(testsupport::PumpMessagesUntil(
        [&] { return m_menus.size() == 2 && MappedPopups(m_xvfb->Name()) > popups; }, std::chrono::seconds(20)))
        << "the engine's menu never showed";
}

TEST_F(WebEngineBrowserTest, AKilledHelperFailsTheNavigationAndANewBrowserWorks) {
    testsupport::ScriptedTcpServer silent;  // accepts and never answers
    ASSERT_TRUE(silent.Start());
    testsupport::LoopbackHttpServer server;
    ServeHtml(server, "/after", Page("After", "#808080", "#"));
    ASSERT_TRUE(server.Start());
    SkinUI::CWebBrowserUI* control = AddBrowser();
    const std::string stalled = silent.Url("/never");
    control->NavigateTo(platform::WideFromUtf8(stalled));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return silent.Connections() > 0; }, std::chrono::seconds(20)))
        << "the engine never asked for the page";
    const Children before = OurChildren();
    ASSERT_EQ(before.helpers.size(), 1u);
    ASSERT_EQ(kill(before.helpers[0], SIGKILL), 0);

    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !m_failures.empty(); }, std::chrono::seconds(20)))
        << "the failure never reached the control";
    EXPECT_EQ(m_failures, (std::vector<std::string>{stalled + " " + std::to_string(INET_E_DOWNLOAD_FAILURE)}));
    EXPECT_EQ(OurChildren().zombies, 0);
    {  // The dead browser refuses further pages the same way.
        control->NavigateTo(L"http://127.0.0.1:1/again");
        EXPECT_EQ(m_failures.size(), 2u);
    }

    control->SetDelayCreate(false);
    ASSERT_TRUE(control->CreateControl(CLSID_WebBrowser));
    Connect(control);
    control->NavigateTo(platform::WideFromUtf8(server.Url("/after")));
    ASSERT_TRUE(PumpUntilSeen("document " + server.Url("/after")));

    static_cast<SkinUI::CContainerUI*>(m_manager->GetRoot())->RemoveChild(control);
    const Children after = OurChildren();
    EXPECT_TRUE(after.helpers.empty()) << "a helper outlived its browser";
    EXPECT_EQ(after.zombies, 0);
}

using WebEngineHeadlessTest = basictest::BasicControlTest;

TEST_F(WebEngineHeadlessTest, WithoutNativeWindowsTheBrowserIsUnavailable) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(platform::NativeDisplayName(), "");
    platform::ComPtr<IOleControl> control;
    const HRESULT created =
        CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_ALL, IID_IOleControl, control.ReceiveVoid());
#ifdef XJ_TEST_WEB_ENGINE
    EXPECT_EQ(created, CLASS_E_CLASSNOTAVAILABLE);
#else
    EXPECT_EQ(created, REGDB_E_CLASSNOTREG);
#endif
    EXPECT_FALSE(control);
    CoUninitialize();
}
