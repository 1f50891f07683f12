// xjwindowdriver: drives the installer's window on an X server through one interactive
// install and photographs its pages (tools/InstallerWindowDriver.h), for scripts/demo.sh.
//
//   xjwindowdriver --out DIR [--display NAME] [--limit SECONDS]
//   xjwindowdriver --probe [--display NAME]
//
// Prints the pictures' paths; exits 0 once the window closed after the install, 1 otherwise.
// --probe only tells (exit 0 or 1) whether the X server answers.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/InstallerWindowDriver.h"

// Last: Xlib's macros would otherwise reach into the headers above.
#include <X11/Xlib.h>

int main(int argc, char** argv) {
    std::string display;
    std::string out;
    long limit = 120;
    bool probe = false;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--probe") {
            probe = true;
            continue;
        }
        if (i + 1 >= argc) break;
        ++i;
        if (name == "--display") {
            display = argv[i];
        } else if (name == "--out") {
            out = argv[i];
        } else if (name == "--limit") {
            limit = std::strtol(argv[i], nullptr, 10);
        }
    }
    if (probe) {
        ::Display* connection = XOpenDisplay(display.empty() ? nullptr : display.c_str());
        if (connection != nullptr) XCloseDisplay(connection);
        return connection != nullptr ? 0 : 1;
    }
    if (out.empty() || limit <= 0) {
        std::fputs("usage: xjwindowdriver --out DIR [--display NAME] [--limit SECONDS] | --probe [--display NAME]\n",
                   stderr);
        return 2;
    }
    const windowdriver::DriveResult result =
        windowdriver::DriveInteractiveInstall(display, out, std::chrono::seconds(limit));
    for (const std::string& path : result.screenshots)
        std::printf("%s\n", path.c_str());
    if (!result.ok) std::fprintf(stderr, "xjwindowdriver: %s\n", result.error.c_str());
    return result.ok ? 0 : 1;
}
