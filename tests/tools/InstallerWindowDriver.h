// Drives the installer's window on an X server the way a person would, with synthetic
// input (the XTest extension), and photographs it on the way: the first page, the quit
// box (opened with the close button and answered with Cancel) and the progress page after
// the install click. Used by the X11 test and by scripts/demo.sh --window.
//
// Runs on the caller's thread with its own X connection; every wait has the one deadline.
// The places it clicks are those of the installer's own skins.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace windowdriver {

struct DriveResult {
    bool ok = false;
    std::string error;                     // what did not happen in time, when not ok
    std::vector<std::string> screenshots;  // PNG files written, in the order taken
};

// `display` names the X server ("" for $DISPLAY); the pictures go to `outputDir` as
// first-page.png, quit-box.png and progress-page.png. Ends once the window has closed
// after the install, or at `limit`.
DriveResult DriveInteractiveInstall(const std::string& display, const std::string& outputDir,
                                    std::chrono::seconds limit);

}  // namespace windowdriver
