// Child windows that show another program's window: a child may get a native window of
// its own, which the display keeps over the child's rectangle (shown while the child and
// its ancestors are visible, above the pixels of its top-level window), and which can
// hold a window of another process (XEmbed on X11, the embedder's side).
//
// Window-thread calls, like every call on the child. Headless, there are no native
// windows: NativeChildWindow answers 0 and NativeDisplayName "". The embedded client
// fills the native window and follows its size; when the child goes, the client is given
// back to the screen's root unharmed (its owner decides what becomes of it). A click in
// the client that asks for the keyboard focus moves the focus to the child, and while the
// child has the focus, the client has the keyboard.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window/WindowTypes.h"

namespace platform {

// The display as another program opens it (for X11, its DISPLAY value).
std::string NativeDisplayName();
// The native window of `child` (a WS_CHILD window of this thread), made on first use.
// 0 without a display that has native windows, or for a window that is not a child.
std::uint64_t NativeChildWindow(HWND child);
// Embeds `client`, a top-level native window of another program, into the child's native
// window (made when needed). False when the child has none or the client is gone.
bool EmbedNativeClient(HWND child, std::uint64_t client);

}  // namespace platform
