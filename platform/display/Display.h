// Choosing and starting the display backend, once, at start-up.
//
// Call StartDisplay on the main thread before the first window exists and
// StopDisplay after the last one is gone. The chosen backend is installed as
// the window layer's backend (SetWindowBackend) and lives until StopDisplay.
#pragma once

#include <string>

#include "platform/window/WindowBackend.h"

namespace platform {

enum class DisplayKind { Auto = 0, Headless = 1, X11 = 2 };

// Auto becomes the environment's XJ_DISPLAY_BACKEND ("headless" or "x11") when
// set to one of those, else X11 when DISPLAY is set, else Headless.
DisplayKind ResolveDisplayKind(DisplayKind requested);
// Starts the resolved backend. An X11 display that cannot be reached falls back to
// headless when Auto chose it; an explicit X11 request then fails (false, nothing
// installed). `x11Name` empty means $DISPLAY.
bool StartDisplay(DisplayKind requested, const std::string& x11Name = {});
void StopDisplay();
// The kind running now (Auto when none).
DisplayKind RunningDisplayKind();

}  // namespace platform
