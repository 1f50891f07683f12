// Linked only into executables, through the platform_entry object library.
#include "platform/entry/Entry.h"
#include "platform/entry/WideArgs.h"
#include "platform/process/Process.h"
#include "platform/resource/Resource.h"

int main(int argc, char** argv) {
    platform::WideArgs args(argc, argv);
    return platform::ExitCodeForHost(XjWinMain(GetModuleHandleW(nullptr), args.Argc(), args.Argv()));
}
