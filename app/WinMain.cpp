// The program: its switches, the single-instance lock, start-up, the message loop and
// shut-down, in that order. Everything else happens inside the loop.
//
//   -h / --hide        hidden: install at once, never show a window
//   -p / --path DIR    the hidden install's directory
//   -i / --id N        the game id
//   -r / --run N       0: do not start the launcher after the install
//   -z / --xj          skip the installed client's version check
//   -n / --none [X]    accepted and ignored
//
// A hidden run whose command line does not parse does nothing and ends with BadCommandLine.

#include "app/WinMain.h"

#include <cstdio>
#include <cstdlib>

#include "app/DesktopFolderPicker.h"
#include "app/InstallExitCode.h"
#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "app/MsgBoxDlg.h"
#include "commonlib/logger/BigDataLog.h"
#include "commonlib/logger/Log.h"
#include "commonlib/util/CommandLineOptions.h"
#include "commonlib/util/FolderPicker.h"
#include "commonlib/util/StringUtils.h"
#include "platform/com/ComApi.h"
#include "platform/commctrl/CommCtrl.h"
#include "platform/display/Display.h"
#include "platform/entry/Entry.h"
#include "platform/process/Process.h"
#include "platform/resource/StringTable.h"
#include "platform/strings/StringConv.h"
#include "platform/sync/Clock.h"
#include "platform/sync/Mutex.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/MessageApi.h"
#include "ui/skin/SkinZip.h"
#include "ui/window/WndShadow.h"

namespace {

constexpr wchar_t kMutexName[] = L"qvxj_install_20170309";
constexpr wchar_t kAlreadyRunningText[] = L"您已经运行了一个Tarnvik安装程序。";
constexpr DWORD kWorkerStopMs = 5000;
// How long a statistics upload still under way may hold the exit.
constexpr DWORD kStatisticsDrainMs = 10000;

const CommandLineOptions::Switch kSwitches[] = {
    {L'n', L"none", 0, 1}, {L'h', L"hide", 0, 0}, {L'i', L"id", 1, 1}, {L'r', L"run", 1, 1},
    {L'p', L"path", 1, 1}, {L'z', L"xj", 0, 0},   {0, nullptr, 0, 0},
};

std::wstring WindowTitle() {
    wchar_t buffer[256] = {};
    return LoadStringW(nullptr, 3, buffer, 256) > 0 ? std::wstring(buffer) : std::wstring(L"《Aldrune》安装程序");
}

// A hidden run also where the parsing stopped before its switch.
bool AsksForHiddenMode(const CommandLineOptions& options, int argc, wchar_t** argv) {
    if (options.Has(L'h')) return true;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view word = argv[i] ? argv[i] : L"";
        if (word == L"-h" || word == L"/h" || word == L"--hide") return true;
    }
    return false;
}

// One line on standard error, whatever the words hold.
void SayCommandLineRefused(const CommandLineOptions& options) {
    std::string line = "The installer's command line is refused at \"" +
                       platform::Utf8FromWide(options.GetErrorWord()) +
                       "\": " + platform::Utf8FromWide(options.GetErrorText());
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

const CommandLineOptions::Switch* InstallerSwitches() {
    return kSwitches;
}

bool ParseCommandLine(const CommandLineOptions& options) {
    MainApp& app = MainApp::GetInstance();
    std::wstring value;
    if (options.GetArg(L'i', value)) app.SetGameId(static_cast<int>(static_cast<std::uint32_t>(WStringToInt64(value))));
    if (options.Has(L'h')) app.SetHidden(true);
    value.clear();
    if (options.GetArg(L'r', value)) app.SetRunFlag(WStringToInt(value) != 0);
    value.clear();
    if (options.GetArg(L'p', value)) app.SetInstallPath(value);
    if (options.Has(L'z')) app.SetSkipVersionCheck(true);
    return true;
}

void ShowAlreadyRunningBox() {
    // The box can be answered only where it is seen.
    if (!platform::StartDisplay(platform::DisplayKind::Auto) ||
        platform::RunningDisplayKind() != platform::DisplayKind::X11) {
        std::fprintf(stderr, "%s\n", platform::Utf8FromWide(kAlreadyRunningText).c_str());
        platform::StopDisplay();
        return;
    }
    auto* box = new CMsgBoxDlg(kAlreadyRunningText, L"提示信息", L"");
    if (box->CreateHwnd(nullptr, L"提示信息", WS_POPUP, 0) != nullptr) {
        box->CenterOnOwner();
        box->ShowControl(L"hlt_btn_0", false);
        box->ShowHwnd(true, true);
        box->RunModal();
    }
    SkinUI::WindowImplBase::ReleaseSkinArchive();
    platform::StopDisplay();
}

// The last records (a hidden run's failure above all) are sent just before the window
// closes: let their upload end, within limits, before the engines stop.
void DrainStatistics() {
    const BigDataLog& statistics = BigDataLog::GetInstance();
    const ULONGLONG deadline = GetTickCount64() + kStatisticsDrainMs;
    MSG msg{};
    while ((statistics.IsBusy() || !statistics.GetPending().empty()) && GetTickCount64() < deadline) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

int RunMessageLoop() {
    MSG msg{};
    BOOL got = 0;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return got == 0 ? static_cast<int>(msg.wParam) : static_cast<int>(InstallExitCode::NoWindow);
}

int XjWinMain(HINSTANCE, int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
    MainApp::MakeLoggers();
    const CommandLineOptions options(argc, argv, kSwitches);
    if (!options.GetErrorText().empty() && AsksForHiddenMode(options, argc, argv)) {
        // Departs from the original behaviour, which ran on with the switches parsed before the
        // error: unseen, a hidden run would install elsewhere than asked (-p dropped) or start
        // what it was told not to (-r 0 dropped).
        SayCommandLineRefused(options);
        return static_cast<int>(InstallExitCode::BadCommandLine);
    }
    ParseCommandLine(options);
    MainApp& app = MainApp::GetInstance();
    SkinUI::CWndShadow::RegisterShadowClass();
    CMainDlg dialog;

    HANDLE mutex = CreateMutexW(nullptr, FALSE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        if (!app.IsHidden()) ShowAlreadyRunningBox();
        return static_cast<int>(InstallExitCode::Success);
    }

    app.Init(&dialog, dialog.GameId());
    dialog.SetCanShowWindow(platform::RunningDisplayKind() != platform::DisplayKind::Headless);
    SetFolderPickerProvider(&PickFolderWithDesktop);
    int exitCode = static_cast<int>(InstallExitCode::NoWindow);
    const bool created =
        dialog.CreateHwnd(nullptr, WindowTitle().c_str(), WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0) != nullptr;
    if (created) dialog.CenterOnOwner();
    CoInitialize(nullptr);
    OleInitialize(nullptr);
    if (created) {
        exitCode = RunMessageLoop();
    } else {
        // Without its window nothing would ever end the loop.
        std::fputs("The installer's window could not be made (its skin is missing or damaged).\n", stderr);
        XJ_LOG_ERROR("the main window could not be created, error %u", GetLastError());
    }

    DrainStatistics();
    SkinUI::WindowImplBase::ReleaseSkinArchive();
    const bool workerEnded = dialog.StopInstallWorker(kWorkerStopMs);
    app.Uninit();
    OleUninitialize();
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    // A worker still inside the package's run holds nothing of ours but may still log:
    // end the process before the singletons it could reach go away.
    if (!workerEnded) std::_Exit(platform::ExitCodeForHost(exitCode));
    return exitCode;
}
