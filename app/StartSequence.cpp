// The main window's start sequence: the hidden install, and the installed-client check
// that starts an up-to-date client's launcher instead of installing.
#include "app/ClientFiles.h"
#include "app/InstallDir.h"
#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "app/VersionTriple.h"
#include "commonlib/http/HttpCommand.h"
#include "commonlib/logger/Log.h"
#include "commonlib/util/FileUtils.h"
#include "commonlib/util/PathString.h"
#include "commonlib/util/ProcessUtils.h"
#include "commonlib/util/StringFormat.h"
#include "commonlib/util/StringUtils.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/KnownFolders.h"
#include "platform/profile/ProfileApi.h"
#include "platform/registry/Registry.h"
#include "platform/sync/Thread.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/MessageApi.h"
#include "ui/basic/OptionUI.h"

namespace {

constexpr wchar_t kLauncherKey[] = L"Software\\QuorvelLauncher";
constexpr wchar_t kPublicFolder[] = L"QuorvelTarnvik";
constexpr wchar_t kInternalFolder[] = L"Tarnvik内部版";
constexpr wchar_t kMinimumClientVersion[] = L"2.1.784";
constexpr DWORD kIniPathChars = 2048;
constexpr DWORD kRegistryValueBytes = 4096;
constexpr DWORD kVersionChars = 260;

std::wstring ReadIniValue(const std::wstring& path, const wchar_t* section, const wchar_t* key, DWORD chars) {
    std::wstring buffer(chars, L'\0');
    const DWORD length = GetPrivateProfileStringW(section, key, L"", buffer.data(), chars, path.c_str());
    buffer.resize(length);
    return buffer;
}

// The REG_SZ value, empty when absent or not a string.
std::wstring ReadRegistryText(HKEY root, const wchar_t* valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kLauncherKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    std::wstring buffer(kRegistryValueBytes / sizeof(wchar_t), L'\0');
    DWORD type = REG_NONE;
    DWORD size = kRegistryValueBytes;
    const LSTATUS status =
        RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return {};
    buffer.resize(wcsnlen(buffer.data(), buffer.size()));
    return buffer;
}

// The launcher's path from one of its ini files, when it names an existing file.
std::wstring LauncherFromIni(const std::wstring& iniPath, const wchar_t* key) {
    const std::wstring value = ReadIniValue(iniPath, kLauncherSection, key, kIniPathChars);
    return !value.empty() && PathFileExistsW(value.c_str()) ? value : std::wstring();
}

VersionTriple InstalledVersion(const std::wstring& installDir) {
    return ParseVersionTriple(ReadIniValue(installDir + L"\\rkupdate.ini", L"Setting", L"Version", kVersionChars));
}

}  // namespace

void CMainDlg::StartSequence() {
    MainApp& app = MainApp::GetInstance();
    if (app.GetGameId() != 0) m_gameId = app.GetGameId();
    m_launcherFound = CheckTestClient();

    if (app.IsHidden()) {
        if (m_optAuto) m_optAuto->Select(false);
        const std::wstring& path = app.GetInstallPath();
        if (path.empty()) {
            m_installDir = ::MakeDefaultInstallDir(app.ProgramDir(), kPublicFolder);
        } else if (IsDirWritable(path) && HasEnoughFreeSpace(path)) {
            m_installDir = path;
        } else {
            // Departs from the original behaviour, which took the text after the last separator
            // as it stood: "D:\locked\" gave no name, and the client went into the folder above
            // the program's own.
            m_installDir = ::MakeDefaultInstallDir(app.ProgramDir(), FallbackFolderName(path, m_internalEdition));
        }
        m_downloadDir = m_installDir;
        if (m_installDir.empty()) {
            ReportInstallStats(false);
            XJ_LOG_INFO("没有合适的安装目录");
            m_exitCode = InstallExitCode::NoInstallDirectory;
            PostClose(1);
            return;
        }
        XJ_LOG_INFO(L"install directory:%s", m_installDir.c_str());
        StartUpdate();
        return;
    }

    if (!m_launcherFound) {
        ShowMainWindow();
        return;
    }

    if (app.SkipVersionCheck()) {
        if (m_optAgree) m_optAgree->Select(true);
        if (!m_installDir.empty()) {
            const std::wstring parent = TextBeforeLast(m_installDir, L"\\");
            const std::size_t slash = FindLast(m_installDir, L"\\");
            const std::wstring last = slash == std::wstring::npos ? m_installDir : m_installDir.substr(slash + 1);
            std::wstring name = FormatW(L"%s%u", kPublicFolder, static_cast<unsigned>(GetCurrentProcessId()));
            if (last == name) name += L"_new";
            m_installDir = (slash != std::wstring::npos && !parent.empty() ? parent : m_installDir) + L"\\" + name;
        }
        if (m_btnFree) m_pm.RaiseNotify(m_btnFree, L"click");
        ShowMainWindow();
        return;
    }

    if (CompareVersion(InstalledVersion(m_installDir), ParseVersionTriple(kMinimumClientVersion))) {
        ShowMainWindow();
        return;
    }
    SetTimer(m_hwnd, kVersionCheckTimer, kVersionCheckTimerMs, nullptr);
    MakerServers::ListMode mode = MakerServers::ListMode::Release;
    if (m_internalEdition) mode = m_publicTest ? MakerServers::ListMode::PublicTest : MakerServers::ListMode::Internal;
    m_versionRequest = CHttpCommand::Create(::operator new(sizeof(CHttpCommand)));
    if (!m_versionRequest->Get(app.Servers().VersionListUrl(mode), &CMainDlg::OnVersionListFetched, this,
                               HttpErrorReporting::On, L"", L"")) {
        XJ_LOG_ERROR("the version list request could not start");
        CheckVersionAndLaunch(L"", 1, static_cast<int>(ERROR_GEN_FAILURE));
    }
}

bool CMainDlg::CheckTestClient() {
    if (!FindInstalledLauncher()) return false;
    bool testClient = false;
    const std::wstring marker = GetParentPath(m_launcherPath) + L"\\bin\\test_app.ini";
    if (PathFileExistsW(marker.c_str()))
        testClient = WStringToInt(ReadIniValue(marker, L"Debug", L"TestClient", kIniPathChars)) != 0;
    if (testClient != m_internalEdition) {
        m_launcherPath.clear();
        XJ_LOG_ERROR("Tarnvik不一致, ty_client_:%d", m_internalEdition ? 1 : 0);
        return false;
    }
    return true;
}

bool CMainDlg::FindInstalledLauncher() {
    m_launcherPath.clear();
    const wchar_t* iniKey = m_internalEdition ? L"TestInstallPath" : L"InstallPath";
    const wchar_t* registryValue = m_internalEdition ? L"TestInstallPath" : L"InstPath";

    const auto fromIni = [&](int csidl, const std::wstring& relative) {
        const std::wstring folder = GetSpecialFolderPath(csidl);
        if (folder.empty()) return false;
        const std::wstring launcher = LauncherFromIni(folder + relative, iniKey);
        if (launcher.empty()) return false;
        m_launcherPath = launcher;
        m_installDir = GetParentPath(launcher);
        return true;
    };
    if (fromIni(CSIDL_COMMON_DOCUMENTS, std::wstring(L"\\") + kLauncherDocumentsFolder + L"\\" + kLauncherIniName))
        return true;

    std::wstring dir = ReadRegistryText(HKEY_CURRENT_USER, registryValue);
    if (!dir.empty()) {
        m_installDir = dir;
        const std::wstring launcher = dir + L"\\" + kLauncherName;
        if (PathFileExistsW(launcher.c_str())) {
            m_launcherPath = launcher;
            return true;
        }
        const std::size_t slash = dir.rfind(L'\\');
        if (m_internalEdition && slash != std::wstring::npos && dir.substr(slash + 1) != kInternalFolder)
            m_installDir = dir.substr(0, slash + 1) + kInternalFolder;
    }

    if (fromIni(CSIDL_COMMON_APPDATA, std::wstring(L"\\") + kLauncherIniName)) return true;

    dir = ReadRegistryText(HKEY_LOCAL_MACHINE, registryValue);
    if (!dir.empty()) {
        m_installDir = dir;
        const std::wstring launcher = dir + L"\\" + kLauncherName;
        if (PathFileExistsW(dir.c_str()) && PathFileExistsW(launcher.c_str())) {
            m_launcherPath = launcher;
            return true;
        }
    }
    return false;
}

void CMainDlg::OnVersionListFetched(void* context, const std::string& text, int type, int code) {
    if (context == nullptr) return;
    static_cast<CMainDlg*>(context)->CheckVersionAndLaunch(Utf8ToWide(text), type, code);
}

void CMainDlg::CheckVersionAndLaunch(const std::wstring& text, int type, int code) {
    KillTimer(m_hwnd, kVersionCheckTimer);
    CancelVersionRequest();
    if (type != 0 || code != 0) {
        XJ_LOG_ERROR("the version list failed, et:%d ec:%d", type, code);
        ShowMainWindow();
        return;
    }
    std::wstring listed;
    bool found = false;
    for (const std::wstring& rawLine : SplitW(text, L"\n")) {
        const std::wstring line = TrimW(rawLine);
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring::npos || TrimW(line.substr(0, equals)) != L"Version") continue;
        listed = TrimW(line.substr(equals + 1));
        found = true;
        break;
    }
    if (found && CompareVersion(InstalledVersion(m_installDir), ParseVersionTriple(listed))) {
        ShowMainWindow();
        return;
    }
    const DWORD error = RunProcess(m_launcherPath, LauncherCommandLine(m_launcherPath, m_gameId, m_channelId));
    if (error != 0) {
        XJ_LOG_ERROR(L"the launcher %s could not be started, error %u", m_launcherPath.c_str(), error);
        ShowMainWindow();
        return;
    }
    if (MainApp::GetInstance().GetLogSetting() == 1) {
        InstallJob job;
        job.removeLogFolder = true;
        job.logFolder = MainApp::GetInstance().LogFolder();
        RemoveLogFolder(job);
    }
    PostClose(1);
}
