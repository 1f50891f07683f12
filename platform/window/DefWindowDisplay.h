// DefWindowProcW's handling of the display messages (hit testing, cursors,
// activation by mouse, moving and sizing, show-state commands, text, erasing
// and painting). Window's own thread; internal to platform/window.
#pragma once

#include "platform/window/WindowTypes.h"

namespace platform {

// True when `message` is one of these; its result is in `result`.
bool DefaultDisplayMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

}  // namespace platform
