// The application core: the command line's values, the program's ini settings and the
// services the rest of the installer runs on.
//
// UI thread only. The program sets the switch values, then calls Init once before its
// main window exists and Uninit once after its message loop. Between the two run: the
// display, the UI-thread task queue, the command engine and the download engine (both
// polled by a 500 ms engine timer), the statistics and download-log collectors' settings,
// and the start-up lookup that picks the spare download addresses (its answer arrives
// through the task queue). Nothing in Init reports a failure: a service that cannot start
// is logged by its own code and the program runs on without it.
//
// Settings come from "xjzurazarevuz.ini" in the program's directory: [Debug] Log,
// BigServerUrl and UpdateURL, and the maker's servers of its [Servers] section
// (MakerServers.h); the file need not exist.
#pragma once

#include <string>

#include "app/MakerServers.h"
#include "platform/types/WinTypes.h"

class CMainDlg;

class MainApp {
public:
    static MainApp& GetInstance();

    // `windowGameId` is the main window's own game id (its string table's); the command
    // line's game id is applied later, by the start sequence. Always true.
    bool Init(CMainDlg* mainWindow, int windowGameId);
    // Releases the collectors' requests, stops both engines (waiting for their threads),
    // the engine timer, the task queue and the display. Always true.
    bool Uninit();

    // Command-line values.
    int GetGameId() const { return m_gameId; }
    void SetGameId(int gameId) { m_gameId = gameId; }
    bool IsHidden() const { return m_hidden; }
    void SetHidden(bool hidden) { m_hidden = hidden; }
    bool SkipVersionCheck() const { return m_skipVersionCheck; }
    void SetSkipVersionCheck(bool skip) { m_skipVersionCheck = skip; }
    // Start the launcher after an install.
    bool RunFlag() const { return m_run; }
    void SetRunFlag(bool run) { m_run = run; }
    const std::wstring& GetInstallPath() const { return m_installPath; }
    void SetInstallPath(std::wstring path) { m_installPath = std::move(path); }

    CMainDlg* GetMainWindow() const { return m_mainWindow; }
    // [Debug] Log: 0 no file log; 1 file log, and the log folder is removed after an install;
    // any other value a file log that stays.
    int GetLogSetting() const { return m_logSetting; }
    const std::wstring& GetDownloadLogUrl() const { return m_downloadLogUrl; }
    const MakerServers& Servers() const { return m_servers; }

    // The program's directory (its executable's), its ini file, and the log file in its
    // "MiniLog" folder, which is created (with its parents) whenever the path is asked for.
    // The date in the log file's name is taken once per process.
    const std::wstring& ProgramDir() const { return m_programDir; }
    std::wstring IniPath() const;
    std::wstring LogFolder() const;
    std::wstring LogFilePath();

    // Creates the loggers. Singletons are destroyed at exit in the reverse order of their
    // creation, so loggers made first outlive every service that may still log then.
    static void MakeLoggers();

    // Tests run the program from a directory of their own.
    void SetProgramDirForTesting(std::wstring dir) { m_programDir = std::move(dir); }

    // The engine timer's tick: time-outs of both schedulers every other tick (first on the
    // first), due retries on every tick.
    void OnEngineTimer();

private:
    MainApp();
    ~MainApp() = default;
    MainApp(const MainApp&) = delete;
    MainApp& operator=(const MainApp&) = delete;

    void ReadSettings();
    void StartServices();

    CMainDlg* m_mainWindow = nullptr;
    int m_gameId = 0;
    bool m_hidden = false;
    bool m_skipVersionCheck = false;
    bool m_run = true;
    std::wstring m_downloadLogUrl;
    std::wstring m_installPath;
    int m_logSetting = 1;

    std::wstring m_programDir;
    std::wstring m_logDateText;
    MakerServers m_servers;
    bool m_queueStarted = false;
    bool m_enginesStarted = false;
    bool m_displayStarted = false;
    UINT_PTR m_engineTimer = 0;
    unsigned m_engineTicks = 0;
};

// Thread-timer procedure of the 500 ms engine timer.
void EngineTimerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
// The start-up lookup's result, on the UI thread: `user` is the MainApp that asked.
void OnSpareDNSResult(int code, void* user, const std::string& domain, const std::string& addressList);
