// The program's exit codes. A hidden run is started by other programs, which can only tell
// what happened from the code, so every way a hidden install can fail has a code of its
// own; the README's usage section lists them and they never change meaning.
//
// A run that ends well (installed, or the installed client's launcher started), a second
// instance and a run the user ends through the window all exit with Success.
#pragma once

enum class InstallExitCode : int {
    Success = 0,
    NoWindow = 1,            // the window could not be made, or must be shown and there is no display
    NoInstallDirectory = 2,  // no usable install or download directory
    DescriptorFailed = 3,    // the update descriptor was never fetched
    DownloadFailed = 4,      // the installer package could not be downloaded
    Md5Mismatch = 5,         // the package is unreadable or its MD5 differs from the descriptor's
    PackageNotStarted = 6,   // the package could not be started
    InstallFailed = 7,       // the package failed, was killed, or left no client launcher
    DescriptorRefused = 8,   // the update descriptor arrived but was refused (no Md5, or an unsafe value)
    BadCommandLine = 9,      // a hidden run's command line does not parse: nothing was done
};
