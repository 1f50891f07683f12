#include "ui/controls/ActiveXUI.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ActiveXFixture.h"

#include "platform/fs/DriveMap.h"
#include "platform/gdi/Gdi.h"
#include "platform/module/Module.h"
#include "platform/window/Focus.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowPos.h"
#include "support/TempDir.h"
#include "ui/controls/ActiveXCtrl.h"
#include "ui/core/ContainerUI.h"

using axtest::ActiveXTest;
using fakeax::CFakeOleObject;

namespace {

std::string Skin(const std::string& attributes, const std::string& before = "") {
    return "<VerticalLayout bkcolor=\"#FFFFFFFF\">" + before + "<ActiveX name=\"ax\" " + attributes +
           "/><Control name=\"rest\"/></VerticalLayout>";
}

// The window rectangle of `child` in the client co-ordinates of `parent`.
RECT PlaceIn(HWND parent, HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    ScreenToClient(parent, &corners[0]);
    ScreenToClient(parent, &corners[1]);
    return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

}  // namespace

TEST_F(ActiveXTest, ObjectsAreMadeAtTheFirstLayoutFromClassIdsAndProgIds) {
    {
        // Parsing the class does not create; the first layout does, and activates in place.
        auto* control = new SkinUI::CActiveXUI();
        control->ApplyAttribute(L"clsid", platform::WideFromUtf8(axtest::kWindowlessText));
        EXPECT_EQ(m_alive, 0);
        ASSERT_TRUE(m_manager->AttachRoot(control));
        Send(WM_SIZE, 0, MAKELPARAM(400, 300));
        CFakeOleObject* object = Hosted(control);
        ASSERT_NE(object, nullptr);
        EXPECT_TRUE(object->activeWindowless);
        EXPECT_EQ(object->verbs, std::vector<LONG>{OLEIVERB_INPLACEACTIVATE});
        EXPECT_EQ(object->lastObjectRect, (RECT{0, 0, 400, 300}));
    }
    // A ProgID, in another case, names the windowed class.
    Build(Skin("clsid=\"xjtest.WINDOWED\" height=\"80\""));
    ASSERT_NE(Hosted(Ax()), nullptr);
    EXPECT_FALSE(Hosted(Ax())->activeWindowless);
    EXPECT_EQ(m_alive, 1) << "the first root and its object are gone";
    const struct {
        const char* why;
        std::string attributes;
    } empty[] = {
        {"malformed class id", "clsid=\"{7E57AC10-0010-4A11-8B22-33445566778}\""},
        {"unknown ProgID", "clsid=\"XjTest.Nothing\""},
        {"module that is no module", "clsid=\"{0BADC1A5-0000-0000-0000-000000000000}\" modulename=\"Z:\\nowhere.dll\""},
    };
    for (const auto& c : empty) {
        SCOPED_TRACE(c.why);
        m_log.clear();
        Build(Skin(c.attributes));
        void* object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(Ax()->GetControl(IID_IUnknown, &object), E_PENDING);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(Count("showactivex:ax"), 0);
        EXPECT_EQ(m_alive, 0);
    }
}

TEST_F(ActiveXTest, WindowlessObjectsDrawAndTakeTheMouseOnlyWhereTheyAre) {
    m_windowless->onCreate = [](CFakeOleObject* object) {
        object->onDraw = [](HDC hdc, const RECTL& bounds) {
            const RECT rect{bounds.left, bounds.top, bounds.right, bounds.bottom};
            HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
            FillRect(hdc, &rect, brush);
            DeleteObject(brush);
        };
    };
    Build(Skin("clsid=\"XjTest.Windowless\" height=\"100\" width=\"100\"", "<Control height=\"20\"/>"));
    SkinUI::CActiveXUI* control = Ax();
    CFakeOleObject* object = Hosted(control);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(Paint()->BoundsOfPixelsNot(0xFFFFFFFF), (RECT{0, 20, 100, 120}));
    {
        SCOPED_TRACE("the object's edge (10 pixels) and the rest of the window get nothing");
        for (POINT outside : {POINT{5, 60}, POINT{50, 25}, POINT{95, 60}, POINT{200, 60}, POINT{50, 200}}) {
            Mouse(WM_MOUSEMOVE, outside.x, outside.y);
            Mouse(WM_LBUTTONDOWN, outside.x, outside.y, MK_LBUTTON);
            Mouse(WM_LBUTTONUP, outside.x, outside.y);
        }
        EXPECT_TRUE(object->messages.empty());
    }
    {
        SCOPED_TRACE("a press inside captures: the object then has the mouse everywhere until it lets go");
        EXPECT_EQ(Mouse(WM_LBUTTONDOWN, 50, 60, MK_LBUTTON), 77);
        Mouse(WM_MOUSEMOVE, 300, 250, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, 300, 250);
        Mouse(WM_MOUSEMOVE, 300, 250);
        EXPECT_EQ(object->messages, (std::vector<UINT>{WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}));
    }
    {
        SCOPED_TRACE("messages without a client point are hit-tested where the mouse is");
        object->messages.clear();
        for (POINT at : {POINT{50, 60}, POINT{300, 250}}) {
            platform::SetCursorPosition(at);
            Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(m_hwnd), MAKELPARAM(1, WM_MOUSEMOVE));
            Send(WM_MOUSEWHEEL, MAKELONG(0, static_cast<WORD>(-120)), MAKELPARAM(at.x, at.y));
        }
        EXPECT_EQ(object->messages, (std::vector<UINT>{WM_SETCURSOR, WM_MOUSEWHEEL}));
    }
    {
        SCOPED_TRACE("a hidden control neither draws nor takes the mouse where it was");
        control->Show(false);
        m_manager->UpdateLayout();
        EXPECT_EQ(Paint()->BoundsOfPixelsNot(0xFFFFFFFF), (RECT{}));
        object->messages.clear();
        Mouse(WM_LBUTTONDOWN, 50, 60, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, 50, 60);
        EXPECT_TRUE(object->messages.empty());
    }
}

TEST_F(ActiveXTest, WindowlessObjectsGetKeysOnlyWhileTheControlHasTheFocus) {
    Build(
        "<VerticalLayout><ActiveX name=\"ax\" clsid=\"XjTest.Windowless\" height=\"100\"/>"
        "<ActiveX name=\"other\" clsid=\"XjTest.Windowless\" height=\"100\"/></VerticalLayout>");
    SkinUI::CActiveXUI* other = Ax(L"other");
    CFakeOleObject* object = Hosted(Ax());
    CFakeOleObject* otherObject = Hosted(other);
    ASSERT_NE(object, nullptr);
    ASSERT_NE(otherObject, nullptr);

    Send(WM_KEYDOWN, 'A');
    EXPECT_TRUE(object->messages.empty());
    // A press makes the object ask its site for the focus.
    Mouse(WM_LBUTTONDOWN, 50, 50, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 50, 50);
    EXPECT_TRUE(Ax()->HasFocus());
    object->messages.clear();
    Send(WM_KEYDOWN, 'A');
    Send(WM_CHAR, 'a');
    EXPECT_EQ(object->messages, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR}));
    EXPECT_TRUE(otherObject->messages.empty());

    other->TakeFocus();
    object->messages.clear();
    Send(WM_KEYDOWN, 'B');
    EXPECT_TRUE(object->messages.empty());
    EXPECT_EQ(otherObject->messages, std::vector<UINT>{WM_KEYDOWN});
}

TEST_F(ActiveXTest, OneMessageFilterPerHostHoweverOftenTheObjectActivates) {
    Build(Skin("clsid=\"XjTest.Windowless\" height=\"100\""));
    SkinUI::CActiveXUI* control = Ax();
    CFakeOleObject* object = Hosted(control);
    ASSERT_NE(object, nullptr);
    for (int cycle = 0; cycle < 2; ++cycle) {
        object->Deactivate();
        const RECT bounds = control->GetBounds();
        ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, object->clientSite, 0, m_hwnd, &bounds), S_OK);
    }
    EXPECT_EQ(m_manager->MessageFilters().Count(), 1);
    static_cast<SkinUI::CContainerUI*>(m_manager->GetRoot())->RemoveChild(control);
    EXPECT_EQ(m_manager->MessageFilters().Count(), 0);
    Mouse(WM_MOUSEMOVE, 50, 50);  // reaches no freed control
    EXPECT_EQ(m_alive, 0);
}

TEST_F(ActiveXTest, WindowedObjectsLiveInAChildWindowThatFollowsTheControl) {
    Build(Skin("clsid=\"XjTest.Windowed\" height=\"100\"", "<Control height=\"50\"/>"));
    SkinUI::CActiveXUI* control = Ax();
    CFakeOleObject* object = Hosted(control);
    ASSERT_NE(object, nullptr);
    const HWND host = control->GetHostWindow();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(GetParent(host), m_hwnd);
    EXPECT_EQ(object->window, host);
    EXPECT_EQ(PlaceIn(m_hwnd, host), (RECT{0, 50, 400, 150}));
    EXPECT_TRUE(IsWindowVisible(host));

    Send(WM_SIZE, 0, MAKELPARAM(300, 200));
    EXPECT_EQ(PlaceIn(m_hwnd, host), (RECT{0, 50, 300, 150}));
    EXPECT_EQ(object->lastObjectRect, (RECT{0, 0, 300, 100}));
    control->Show(false);
    EXPECT_FALSE(IsWindowVisible(host));
    m_manager->GetRoot()->Show(false);  // the parent hides its children
    control->Show(true);
    m_manager->UpdateLayout();
    EXPECT_FALSE(IsWindowVisible(host));
    m_manager->GetRoot()->Show(true);
    m_manager->UpdateLayout();
    EXPECT_TRUE(IsWindowVisible(host));

    control->ReleaseControl();
    EXPECT_FALSE(IsWindow(host));
    EXPECT_EQ(control->GetHostWindow(), nullptr);
    EXPECT_EQ(m_alive, 0);
}

TEST_F(ActiveXTest, ObjectsComeFromTheNamedModuleFirst) {
    const std::wstring module = platform::WinPath(XJ_ACTIVEX_MODULE_PATH);
    HMODULE probe = LoadLibraryW(module.c_str());
    ASSERT_NE(probe, nullptr);
    auto alive = reinterpret_cast<int (*)()>(GetProcAddress(probe, "XjFakeObjectsAlive"));
    ASSERT_NE(alive, nullptr);
    const std::string moduleClass = platform::Utf8FromWide(platform::GuidText(fakeax::CLSID_FakeModuleObject));
    const std::string name = platform::Utf8FromWide(module);
    Build(Skin("clsid=\"" + moduleClass + "\" modulename=\"" + name + "\""));
    ASSERT_NE(Hosted(Ax()), nullptr);
    EXPECT_STREQ(Hosted(Ax())->options.origin, "module");
    EXPECT_EQ(alive(), 1);
    Ax()->ReleaseControl();
    EXPECT_EQ(alive(), 0);

    // A class the module does not serve comes from the class table.
    Build(Skin(std::string("clsid=\"") + axtest::kWindowlessText + "\" modulename=\"" + name + "\""));
    ASSERT_NE(Hosted(Ax()), nullptr);
    EXPECT_STREQ(Hosted(Ax())->options.origin, "test");
    m_manager->AttachRoot(new SkinUI::CControlUI());
    EXPECT_TRUE(FreeLibrary(probe));
}

TEST_F(ActiveXTest, AModuleNameThatIsNoFileDoesNotHoldTheWindow) {
    testsupport::TempDir dir;
    const std::filesystem::path pipe = dir / "pipe.dll";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // Should the load wait on the pipe, a writer lets it go after a while: the test ends either way.
    std::atomic<bool> built{false};
    std::thread release([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!built && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (int i = 0; i < 500 && !built; ++i) {
            const int fd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                close(fd);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    const std::string name = platform::Utf8FromWide(platform::WinPath(pipe.string()));
    Build(Skin(std::string("clsid=\"") + axtest::kWindowlessText + "\" modulename=\"" + name + "\""));
    const auto took = std::chrono::steady_clock::now() - start;
    built = true;
    release.join();
    EXPECT_LT(took, std::chrono::seconds(2)) << "the window waited on the pipe";
    ASSERT_NE(Hosted(Ax()), nullptr) << "the class table still serves the class";
    EXPECT_STREQ(Hosted(Ax())->options.origin, "test");
}

TEST_F(ActiveXTest, ASiteKeptByItsObjectNoLongerReachesTheControl) {
    fakeax::FakeOptions careless;
    careless.keepSite = true;
    constexpr CLSID kCareless = {0x7E57AC12, 0x0012, 0x4A11, {0x8B, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};
    Register(kCareless, careless, L"XjTest.Careless");
    Build(Skin("clsid=\"XjTest.Careless\" height=\"100\""));
    CFakeOleObject* object = Hosted(Ax());
    ASSERT_NE(object, nullptr);
    object->AddRef();
    IOleInPlaceFrame* frame = object->frame;
    ASSERT_NE(frame, nullptr);
    frame->AddRef();

    m_manager->AttachRoot(new SkinUI::CControlUI());  // the control and its tree are deleted
    ASSERT_NE(object->keptSite, nullptr);
    platform::ComPtr<IOleInPlaceSiteWindowless> site;
    ASSERT_EQ(object->keptSite->QueryInterface(IID_IOleInPlaceSiteWindowless, site.ReceiveVoid()), S_OK);
    HWND window = m_hwnd;
    HDC hdc = nullptr;
    EXPECT_EQ(site->SetFocus(TRUE), E_UNEXPECTED);
    EXPECT_EQ(site->GetDC(nullptr, OLEDC_PAINTBKGND, &hdc), E_UNEXPECTED);
    EXPECT_EQ(frame->GetWindow(&window), E_UNEXPECTED);
    EXPECT_EQ(window, nullptr);
    site.Reset();
    frame->Release();
    object->Release();
    EXPECT_EQ(m_alive, 0);
}

TEST_F(ActiveXTest, ReCreationReleasesEverythingOfTheObjectBefore) {
    Build(Skin("clsid=\"XjTest.Windowless\" delaycreate=\"false\" height=\"100\""));
    SkinUI::CActiveXUI* control = Ax();
    for (const wchar_t* clsid : {L"XjTest.Windowed", L"XjTest.Windowless", L"XjTest.Windowed"}) {
        ASSERT_TRUE(control->SetCLSID(clsid));
        EXPECT_EQ(m_alive, 1);
        EXPECT_LE(m_manager->MessageFilters().Count(), 1);
    }
    const HWND host = control->GetHostWindow();
    ASSERT_TRUE(control->DoCreateControl());
    EXPECT_FALSE(IsWindow(host));
    EXPECT_EQ(m_alive, 1);
    // A failed creation (InitNew refused) keeps nothing of the object before it.
    fakeax::FakeOptions refusing;
    refusing.initNewResult = E_FAIL;
    constexpr CLSID kRefusing = {0x7E57AC13, 0x0013, 0x4A11, {0x8B, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};
    Register(kRefusing, refusing);
    EXPECT_TRUE(control->CreateControl(kRefusing));
    EXPECT_EQ(m_alive, 1);
    EXPECT_EQ(m_manager->MessageFilters().Count(), 0);
    EXPECT_EQ(Hosted(control)->verbs.size(), 0u);
}
