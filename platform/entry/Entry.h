// The program's entry point.
//
// An executable that links the `platform_entry` object library gets a `main`
// that turns the UTF-8 command line into wide strings and calls XjWinMain on the
// main thread with the program's module handle. The program defines XjWinMain;
// its return value becomes the process exit code (within 0-255: any other value
// becomes 255, see ExitCodeForHost in platform/process/Process.h). argv[0] is kept, as the
// command-line parser expects the program name first.
#pragma once

#include "platform/types/WinTypes.h"

int XjWinMain(HINSTANCE instance, int argc, wchar_t** argv);
