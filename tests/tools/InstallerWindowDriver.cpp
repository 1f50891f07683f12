#include "tools/InstallerWindowDriver.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include "support/PngBytes.h"

// Last: Xlib's macros would otherwise reach into the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace windowdriver {
namespace {

constexpr char kMainTitle[] = "《Aldrune》安装程序";
constexpr char kQuitTitle[] = "退出安装";
constexpr int kInstallPageHeight = 434;

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A window that vanishes between a look-up and a read is no reason to end the program.
int IgnoreXError(::Display*, XErrorEvent*) {
    return 0;
}

bool Blue(std::uint32_t rgb) {
    return (rgb & 0xFF) > 200 && ((rgb >> 16) & 0xFF) < 100;
}

bool White(std::uint32_t rgb) {
    return ((rgb >> 16) & 0xFF) > 240 && ((rgb >> 8) & 0xFF) > 240 && (rgb & 0xFF) > 240;
}

class Driver {
public:
    Driver(::Display* display, std::chrono::steady_clock::time_point deadline)
        : m_display(display),
          m_deadline(deadline),
          m_netWmName(XInternAtom(display, "_NET_WM_NAME", False)),
          m_utf8(XInternAtom(display, "UTF8_STRING", False)) {}

    // Polls `done` until it holds or the deadline passes.
    bool WaitFor(const std::function<bool()>& done) {
        while (!done()) {
            if (std::chrono::steady_clock::now() >= m_deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    // The viewable window of that title, in root co-ordinates.
    std::optional<Rect> Find(const std::string& title) {
        XSync(m_display, False);
        return Search(DefaultRootWindow(m_display), title);
    }

    std::optional<std::uint32_t> PixelAt(const Rect& window, int x, int y) {
        XImage* image =
            XGetImage(m_display, DefaultRootWindow(m_display), window.x + x, window.y + y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) return std::nullopt;
        const auto rgb = static_cast<std::uint32_t>(XGetPixel(image, 0, 0) & 0xFFFFFF);
        XDestroyImage(image);
        return rgb;
    }

    // Waits for the window, then for the pixel that shows its page is drawn.
    std::optional<Rect> WaitForPage(const std::string& title, int x, int y, bool (*drawn)(std::uint32_t),
                                    const std::function<bool(const Rect&)>& shape = {}) {
        std::optional<Rect> found;
        const bool ok = WaitFor([&] {
            found = Find(title);
            if (!found || (shape && !shape(*found))) return false;
            const auto pixel = PixelAt(*found, x, y);
            return pixel && drawn(*pixel);
        });
        return ok ? found : std::nullopt;
    }

    void Click(const Rect& window, int x, int y) {
        XTestFakeMotionEvent(m_display, -1, window.x + x, window.y + y, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
        XSync(m_display, False);
    }

    // What a window manager's close button sends.
    void RequestClose(const std::string& title) {
        const ::Window window = FindWindow(DefaultRootWindow(m_display), title);
        if (window == 0) return;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, window, False, NoEventMask, &event);
        XSync(m_display, False);
    }

    bool Screenshot(const Rect& window, const std::string& path) {
        XImage* image =
            XGetImage(m_display, DefaultRootWindow(m_display), window.x, window.y, static_cast<unsigned>(window.width),
                      static_cast<unsigned>(window.height), AllPlanes, ZPixmap);
        if (image == nullptr) return false;
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < window.height; ++y) {
            for (int x = 0; x < window.width; ++x)
                pixels.push_back(0xFF000000u | static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
        }
        XDestroyImage(image);
        const std::vector<uint8_t> png = testsupport::PngBytes(window.width, window.height, pixels);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        return static_cast<bool>(out);
    }

private:
    std::optional<Rect> Search(::Window top, const std::string& title) {
        const ::Window window = FindWindow(top, title);
        XWindowAttributes attributes{};
        if (window == 0 || !XGetWindowAttributes(m_display, window, &attributes)) return std::nullopt;
        Rect rect;
        ::Window child = 0;
        XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &rect.x, &rect.y, &child);
        rect.width = attributes.width;
        rect.height = attributes.height;
        return rect;
    }

    // The topmost viewable window of that title at or below `window`; 0 for none.
    ::Window FindWindow(::Window window, const std::string& title) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(m_display, window, &attributes) && attributes.map_state == IsViewable &&
            Title(window) == title) {
            return window;
        }
        ::Window root = 0;
        ::Window parent = 0;
        ::Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, window, &root, &parent, &children, &count)) return 0;
        ::Window found = 0;
        // Children come bottom to top.
        for (unsigned i = count; i-- > 0 && found == 0;)
            found = FindWindow(children[i], title);
        if (children != nullptr) XFree(children);
        return found;
    }

    std::string Title(::Window window) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        std::string title;
        if (XGetWindowProperty(m_display, window, m_netWmName, 0, 256, False, m_utf8, &type, &format, &count, &after,
                               &data) == Success &&
            data != nullptr) {
            title.assign(reinterpret_cast<const char*>(data), count);
        }
        if (data != nullptr) XFree(data);
        return title;
    }

    ::Display* m_display;
    std::chrono::steady_clock::time_point m_deadline;
    Atom m_netWmName;
    Atom m_utf8;
};

}  // namespace

DriveResult DriveInteractiveInstall(const std::string& display, const std::string& outputDir,
                                    std::chrono::seconds limit) {
    DriveResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    ::Display* connection = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (connection == nullptr) {
        result.error = "the X server does not answer";
        return result;
    }
    XSetErrorHandler(&IgnoreXError);
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(connection, &event, &error, &major, &minor)) {
        XCloseDisplay(connection);
        result.error = "the X server has no XTest extension";
        return result;
    }
    Driver driver(connection, deadline);
    std::filesystem::create_directories(outputDir);
    const auto shoot = [&](const Rect& window, const char* name) {
        const std::string path = (std::filesystem::path(outputDir) / name).string();
        if (driver.Screenshot(window, path)) result.screenshots.push_back(path);
    };
    const auto fail = [&](const char* what) {
        result.error = what;
        XCloseDisplay(connection);
        return result;
    };

    // The first page: the install button drawn.
    const std::optional<Rect> first = driver.WaitForPage(kMainTitle, 270, 340, &Blue);
    if (!first) return fail("the first page did not show");
    shoot(*first, "first-page.png");

    // The window manager's close does nothing (the system menu's Close is greyed): the
    // request is handled before the click that follows it, which opens the quit box; its
    // Cancel keeps the installer.
    driver.RequestClose(kMainTitle);
    driver.Click(*first, first->width - 16, 16);
    const std::optional<Rect> box = driver.WaitForPage(kQuitTitle, 151, 90, &Blue);
    if (!box) return fail("the quit box did not show");
    shoot(*box, "quit-box.png");
    driver.Click(*box, 231, 90);
    if (!driver.WaitFor([&] { return !driver.Find(kQuitTitle); })) return fail("Cancel did not close the quit box");
    if (!driver.Find(kMainTitle)) return fail("the window manager's close request closed the window");

    // The install click: the window shrinks to the progress page.
    driver.Click(*first, 270, 340);
    const std::optional<Rect> progress =
        driver.WaitForPage(kMainTitle, 530, 299, &White, [](const Rect& r) { return r.height < kInstallPageHeight; });
    if (!progress) return fail("the progress page did not show");
    shoot(*progress, "progress-page.png");

    if (!driver.WaitFor([&] { return !driver.Find(kMainTitle); })) return fail("the window did not close");
    XCloseDisplay(connection);
    result.ok = true;
    return result;
}

}  // namespace windowdriver
