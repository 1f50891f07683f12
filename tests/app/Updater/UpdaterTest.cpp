#include "app/Updater/Updater.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <tuple>

#include "app/AppTestEnvironment.h"
#include "app/SpareDnsTable.h"
#include "commonlib/logger/ReportSupport.h"
#include "commonlib/peer/DownloadModule.h"
#include "commonlib/peer/DownloadTuning.h"
#include "commonlib/util/FileUtils.h"
#include "commonlib/util/Md5.h"
#include "commonlib/util/StringUtils.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/WindowClass.h"
#include "support/RandomBytes.h"
#include "support/ScriptedTcpServer.h"

namespace {

using Download = std::tuple<int, int, std::wstring>;
const Download kDelivered{0, 0, L""};

struct Listener : IGameEventListener {
    std::vector<std::tuple<std::int64_t, std::int64_t, int>> progress;
    std::vector<Download> downloads;
    std::vector<std::tuple<int, int, std::wstring, std::wstring>> lists;

    void OnProgress(std::int64_t total, std::int64_t completed, int speed, int) override {
        progress.emplace_back(total, completed, speed);
    }
    void OnDownloadResult(int type, int code, const std::wstring& text) override {
        downloads.emplace_back(type, code, text);
    }
    void OnListReady(int, int) override {}
    void OnListResult(int type, int code, const std::wstring& version, const std::wstring& md5) override {
        lists.emplace_back(type, code, version, md5);
    }
    std::pair<int, int> List() const { return {std::get<0>(lists.at(0)), std::get<1>(lists.at(0))}; }
};

// The engine's completions as the test sees them before the module does.
struct EngineDone {
    int calls = 0;
    std::function<void()> onFirst;
};
EngineDone* g_engineDone = nullptr;

void CountingDone(void* user, int type, int code) {
    if (g_engineDone && ++g_engineDone->calls == 1 && g_engineDone->onFirst) g_engineDone->onFirst();
    UpdaterModule::OnDownloadDone(user, type, code);
}
void IgnoreProgress(void*, std::int64_t, std::int64_t, std::uint32_t) {}
void IgnoreDone(void*, int, int) {}

LoopbackUpdateServer::Options ServerOptions(const TempDir& dir, std::string address = "127.0.0.1", bool https = true) {
    return {.address = std::move(address), .https = https, .certDir = dir.Path().string()};
}

class UpdaterTest : public AppTestEnvironment {
protected:
    void SetUp() override {
        // Small blocks make a small package come in ranges; a failed source is left at once.
        DownloadTuning tuning;
        tuning.blockSize = 64 * 1024;
        tuning.minSplitBytes = 16 * 1024;
        tuning.retryDelaysMs.clear();
        SetDownloadTuning(tuning);
    }
    void TearDown() override {
        if (m_module) m_module->DestroyHelperWindow();
        m_module.reset();
        g_engineDone = nullptr;
        AppTestEnvironment::TearDown();
        SetDownloadTuning(DownloadTuning());
    }

    // Starts `server` and the application with every maker value pointing at it (and its
    // CA trusted, unless `trustCa` is false).
    void StartWith(LoopbackUpdateServer& server, const std::string& extraIni = "", bool trustCa = true) {
        server.SetPackage(m_package, "2.1.790");
        ASSERT_TRUE(server.Start());
        WriteIni(server.ServersSection(trustCa) + "[Debug]\nLog=0\n" + extraIni);
        StartApp();
    }
    // One update from `server` in a freshly started application, to the package in its place;
    // the descriptor names the package at `origin()` alone when that is given.
    void Update(LoopbackUpdateServer& server, const std::function<std::string()>& origin = {}) {
        if (m_started) MainApp::GetInstance().Uninit();
        StartWith(server);
        if (origin)
            server.SetDescriptor("[Install]\nUrl=" + origin() + LoopbackUpdateServer::kPackagePath + "\nSize=" +
                                 std::to_string(m_package.size()) + "\nMd5=" + Md5() + "\nVersion=2.1.790\n");
        Fetch();
        ASSERT_TRUE(WaitForDownload());
        EXPECT_EQ(m_listener.lists.at(0), std::make_tuple(0, 0, std::wstring(L"2.1.790"), Utf8ToWide(Md5())));
        EXPECT_EQ(m_listener.downloads, std::vector<Download>{kDelivered});
        EXPECT_EQ(Installer(), m_package);
        // Only the installer stays: no descriptor file, no temporary or resume file.
        EXPECT_EQ(DownloadDirEntries(), std::vector<std::string>{"qvinstaller.exe"});
    }
    std::string Md5() const { return MD5(m_package.data(), m_package.size()).hex_digest(); }
    void MakeModule(const std::wstring& dir = L"C:\\dl", UpdaterModule::Mode mode = UpdaterModule::Mode::Release) {
        if (m_module) m_module->DestroyHelperWindow();
        m_listener = {};
        m_module = std::make_unique<UpdaterModule>(dir, mode, &m_listener, 0);
        ASSERT_EQ(m_module->CreateHelperWindow(), 0);
    }
    // As the main window starts an update: module, helper window, download directory, fetch.
    void Fetch() {
        MakeModule();
        ASSERT_TRUE(CreateDirByXj(L"C:\\dl"));
        m_module->FetchList();
    }
    bool WaitFor(const std::function<bool()>& done) {
        return testsupport::PumpMessagesUntil(done, std::chrono::seconds(60));
    }
    bool WaitForDownload() {
        return WaitFor([&] { return !m_listener.downloads.empty(); });
    }
    std::vector<std::string> DownloadDirEntries() const {
        std::vector<std::string> names;
        if (!fs::exists(HostPath("dl"))) return names;
        for (const auto& entry : fs::directory_iterator(HostPath("dl")))
            names.push_back(entry.path().filename().string());
        return names;
    }
    std::string Installer() const { return TempDir::ReadFile(HostPath("dl/qvinstaller.exe")); }

    std::string m_package = testsupport::RandomBytes(300 * 1024 + 17, 15);
    Listener m_listener;
    std::unique_ptr<UpdaterModule> m_module;
};

}  // namespace

TEST_F(UpdaterTest, ThePackageArrivesWhereverItIsServed) {
    // A port held closed on 127.0.0.1, for a server on the same port of 127.0.0.2.
    const int closed = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(closed, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(closed, reinterpret_cast<sockaddr*>(&address), &length), 0);
    {
        SCOPED_TRACE("the descriptor over HTTPS, the package in ranges from its SSLUrl");
        LoopbackUpdateServer server(ServerOptions(m_dir));
        Update(server);
        EXPECT_TRUE(server.RequestsFor("/qvzurazarevuz.txt").at(0).tls);
        size_t ranged = 0;
        for (const auto& request : server.RequestsFor(LoopbackUpdateServer::kPackagePath)) {
            EXPECT_TRUE(request.tls) << "the SSLUrl wins over the Url";
            ranged += request.range.rfind("bytes=", 0) == 0;
        }
        EXPECT_GE(ranged, 2u);
    }
    {
        SCOPED_TRACE("the HTTP alternate when HTTPS is down");
        LoopbackUpdateServer server(ServerOptions(m_dir, "127.0.0.1", false));
        Update(server, [&] { return server.HttpOrigin(); });
        EXPECT_FALSE(server.RequestsFor("/qvzurazarevuz.txt").at(0).tls);
    }
    {
        SCOPED_TRACE("a spare address when the first fails");
        LoopbackUpdateServer::Options options = ServerOptions(m_dir, "127.0.0.2", false);
        options.httpPort = ntohs(address.sin_port);
        LoopbackUpdateServer server(options);
        Update(server, [&] { return "http://127.0.0.1:" + std::to_string(options.httpPort); });
        EXPECT_EQ(SpareDnsTable::GetInstance().DownloadAddressList(), L"127.0.0.2");
    }
    ::close(closed);
}

TEST_F(UpdaterTest, AServerWhoseCertificateNoTrustedCaSignedIsRefused) {
    LoopbackUpdateServer server(ServerOptions(m_dir));
    StartWith(server, "", false);
    Fetch();
    ASSERT_TRUE(WaitForDownload());
    // The descriptor came over plain HTTP, the second URL; the package from its HTTPS
    // SSLUrl never came: no TLS connection got as far as a request.
    EXPECT_EQ(m_listener.List(), std::make_pair(0, 0));
    EXPECT_NE(std::get<0>(m_listener.downloads.at(0)), 0);
    for (const auto& request : server.Requests())
        EXPECT_FALSE(request.tls) << request.path;
    EXPECT_FALSE(fs::exists(HostPath("dl/qvinstaller.exe")));
}

TEST_F(UpdaterTest, DebugUpdateUrlIsTheOnlyUrl) {
    // [Debug] UpdateURL is the only URL, whatever the mode; one too short to request is
    // reported as a fetch that could not start.
    WriteIni("[Debug]\nLog=0\nUpdateURL=x\n");
    StartApp();
    MakeModule(L"C:\\dl", UpdaterModule::Mode::PublicTest);
    EXPECT_EQ(m_module->UrlList(), std::vector<std::wstring>{L"x"});
    m_module->FetchList();
    ASSERT_TRUE(WaitFor([&] { return !m_listener.lists.empty(); }));
    EXPECT_EQ(m_listener.List(), std::make_pair(3, 2005));
}

TEST_F(UpdaterTest, ErrorAnswersAreReportedAndTouchNoPackageFile) {
    LoopbackUpdateServer server(ServerOptions(m_dir));
    StartWith(server);
    const std::string wellFormed = server.DefaultDescriptor();
    const size_t md5At = wellFormed.find("Md5=");
    const struct {
        const char* why;
        int status;
        std::string body;
        std::pair<int, int> pair;
    } cases[] = {
        {"404", 404, "not found", {4, 404}},
        {"an error page served as success", 200, "<html><body>502 Bad Gateway</body></html>", {3, 2040}},
        {"a descriptor without Md5",
         200,
         wellFormed.substr(0, md5At) + wellFormed.substr(wellFormed.find("\r\n", md5At) + 2),
         {3, kCodeDescriptorWithoutMd5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        server.SetDescriptor(c.body, c.status);
        Fetch();
        ASSERT_TRUE(WaitFor([&] { return !m_listener.lists.empty(); }));
        EXPECT_EQ(m_listener.List(), c.pair);
        EXPECT_FALSE(m_module->IsDownloadActive());
        EXPECT_TRUE(server.RequestsFor(LoopbackUpdateServer::kPackagePath).empty());
        EXPECT_TRUE(DownloadDirEntries().empty());
        EXPECT_TRUE(m_listener.downloads.empty());
    }
}

TEST_F(UpdaterTest, DescriptorValuesThatWouldLeaveTheDownloadFolderAreRefused) {
    LoopbackUpdateServer server(ServerOptions(m_dir));
    StartWith(server);
    // An empty file that a failed download's clean-up removes when the version leads it there.
    m_dir.WriteFile("home/victim.tmp", "");
    const char* const versions[] = {
        "\\..\\..\\..\\victim", "../../../victim", "a/b", "..", "C:victim", "*", "2.1.?", "2.1\x01", "2.1\x7F",
    };
    for (const char* version : versions) {
        SCOPED_TRACE(version);
        // The package is not there, so a download that starts fails.
        server.SetDescriptor("[Install]\r\nUrl=" + server.HttpOrigin() + "/missing.exe\r\nSize=10\r\nMd5=" +
                             std::string(32, '0') + "\r\nVersion=" + version + "\r\n");
        Fetch();
        ASSERT_TRUE(WaitFor([&] { return !m_listener.lists.empty(); }));
        if (m_module->IsDownloadActive()) WaitForDownload();
        EXPECT_EQ(m_listener.List(), std::make_pair(3, kCodeDescriptorValueRefused));
        // Refused as a whole: the module keeps what it held, here nothing.
        EXPECT_EQ(std::get<2>(m_listener.lists[0]), L"");
        EXPECT_EQ(std::get<3>(m_listener.lists[0]), L"");
        EXPECT_TRUE(server.RequestsFor("/missing.exe").empty());
        EXPECT_TRUE(fs::exists(HostPath("victim.tmp")));
    }
}

TEST_F(UpdaterTest, ADescriptorThatTricklesInEndsAsAFailedFetch) {
    // A byte every 100 ms, for hours: the deadline, not the inactivity limit, ends each try.
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n[Install]" + std::string(100000, ' ');
    testsupport::ScriptedTcpServer dribble({answer, 1, std::chrono::milliseconds(100)});
    ASSERT_TRUE(dribble.Start());
    WriteIni("[Servers]\nCommandAddresses=127.0.0.1\n[Debug]\nLog=0\nUpdateURL=" + dribble.Url("/d") + "\n");
    StartApp();
    const DWORD saved = CHttpCommand::DefaultDeadline();
    CHttpCommand::SetDefaultDeadline(500);
    Fetch();
    CHttpCommand::SetDefaultDeadline(saved);
    ASSERT_TRUE(WaitFor([&] { return !m_listener.lists.empty(); }));
    EXPECT_EQ(m_listener.List(), std::make_pair(5, 28));  // CURLE_OPERATION_TIMEDOUT, after the pinned address too
    EXPECT_EQ(dribble.Connections(), 2);
}

TEST_F(UpdaterTest, ALockedFinalNameGetsExactlyOneRetry) {
    LoopbackUpdateServer server(ServerOptions(m_dir));
    StartWith(server);
    EngineDone engine;
    g_engineDone = &engine;
    SetDownloadCallbacks(&UpdaterModule::OnDownloadProgress, &CountingDone);
    // A directory of the package's name: the finished download cannot be moved there.
    fs::create_directories(HostPath("dl/qvinstaller.exe"));
    Fetch();
    ASSERT_TRUE(WaitForDownload());
    EXPECT_EQ(engine.calls, 2);
    EXPECT_EQ(m_listener.downloads, (std::vector<Download>{{1, static_cast<int>(ERROR_ACCESS_DENIED), L"安装失败"}}));
    EXPECT_EQ(m_module->BookkeepingName(), L"C:\\dl\\qvinstaller_2.1.790.tmptmp");

    // When the name comes free before the retry, the retry delivers and nothing else is heard.
    engine = {};
    engine.onFirst = [this] { fs::remove(HostPath("dl/qvinstaller.exe")); };
    Fetch();
    ASSERT_TRUE(WaitForDownload());
    EXPECT_EQ(engine.calls, 2);
    EXPECT_EQ(m_listener.downloads, std::vector<Download>{kDelivered});
    EXPECT_EQ(Installer(), m_package);
}

TEST_F(UpdaterTest, StartsThatCannotHappenAreReportedFailures) {
    WriteIni("[Debug]\nLog=0\n");
    StartApp();
    SetDownloadCallbacks(&IgnoreProgress, &IgnoreDone);
    {
        SCOPED_TRACE("a helper window that cannot be made");
        MakeModule();
        const std::wstring taken = m_module->HelperClassName();
        const size_t digits = taken.find_last_not_of(L"0123456789") + 1;
        // Somebody else holds the class name the next module will ask for.
        const std::wstring next = taken.substr(0, digits) + std::to_wstring(std::stoi(taken.substr(digits)) + 1);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &DefWindowProcW;
        wc.lpszClassName = next.c_str();
        ASSERT_NE(RegisterClassW(&wc), 0);
        UpdaterModule second(L"C:\\dl", UpdaterModule::Mode::Release, &m_listener, 0);
        EXPECT_EQ(second.CreateHelperWindow(), static_cast<int>(ERROR_CLASS_ALREADY_EXISTS));
        second.FetchList();
        ASSERT_TRUE(WaitFor([&] { return !m_listener.lists.empty(); }));
        EXPECT_EQ(m_listener.List(), std::make_pair(1, static_cast<int>(ERROR_CLASS_ALREADY_EXISTS)));
        second.DestroyHelperWindow();
        UnregisterClassW(next.c_str(), nullptr);
    }
    {
        SCOPED_TRACE("a retry whose directory turned into a file");
        MakeModule(L"C:\\dl\\sub");
        ASSERT_TRUE(m_module->StartDownload(L"C:\\dl\\sub", L".tmp"));
        fs::remove_all(HostPath("dl"));
        m_dir.WriteFile("home/dl", "a file");
        UpdaterModule::OnDownloadDone(m_module->HelperWindow(), 1, static_cast<int>(ERROR_ACCESS_DENIED));
        ASSERT_TRUE(WaitForDownload());
        const auto& [type, code, text] = m_listener.downloads[0];
        EXPECT_EQ(type, 1);
        EXPECT_NE(code, 0);
        EXPECT_EQ(text, L"安装失败");
    }
}

TEST_F(UpdaterTest, TheSavedDescriptorIsUtf16WithAByteOrderMark) {
    WriteIni("[Debug]\nLog=0\n");
    StartApp();
    MakeModule();
    ASSERT_TRUE(CreateDirByXj(L"C:\\dl"));
    const HWND hwnd = m_module->HelperWindow();
    const std::string text =
        "[Install]\r\nUrl=http://a/b\r\nSSLUrl=https://a/b\r\nSize=12abc\r\nMd5=ab\r\n"
        "Version=版本2.1 \xF0\x9F\x98\x80\r\n";
    UpdaterModule::OnListText(hwnd, text, 0, 0);
    int type = 0;
    int code = 0;
    ASSERT_TRUE(ReadInstallDescriptor(*m_module, L"C:\\dl\\d.ini", type, code));
    EXPECT_EQ(TempDir::ReadFile(HostPath("dl/d.ini")),
              std::string("\xFF\xFE") + platform::Utf16LeBytesFromWide(Utf8ToWide(text)));
    EXPECT_EQ(std::make_pair(type, code), std::make_pair(0, 0));
    EXPECT_EQ(m_module->Version(), L"版本2.1 \U0001F600");

    // A UTF-8 mark before the text is no part of it: the keys are read, the file is as above.
    UpdaterModule::OnListText(hwnd, "\xEF\xBB\xBF" + text, 0, 0);
    ASSERT_TRUE(ReadInstallDescriptor(*m_module, L"C:\\dl\\bom.ini", type, code));
    EXPECT_EQ(TempDir::ReadFile(HostPath("dl/bom.ini")), TempDir::ReadFile(HostPath("dl/d.ini")));
    EXPECT_EQ(m_module->Version(), L"版本2.1 \U0001F600");

    // A file that cannot be made: the system error, and false.
    EXPECT_FALSE(ReadInstallDescriptor(*m_module, L"C:\\missing\\d.ini", type, code));
    EXPECT_EQ(std::make_pair(type, code), std::make_pair(1, static_cast<int>(ERROR_PATH_NOT_FOUND)));
}

TEST_F(UpdaterTest, ProgressCoalescesAndMessagesOfAnInactiveDownloadAreIgnored) {
    WriteIni("[Debug]\nLog=0\n");
    StartApp();
    // The engine's own reports are kept away; the test plays the engine.
    SetDownloadCallbacks(&IgnoreProgress, &IgnoreDone);
    MakeModule();
    const HWND hwnd = m_module->HelperWindow();

    UpdaterModule::OnDownloadProgress(hwnd, 10, 1, 5);
    UpdaterModule::OnDownloadDone(hwnd, 0, 0);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(m_listener.progress.empty());
    EXPECT_TRUE(m_listener.downloads.empty());

    ASSERT_TRUE(m_module->StartDownload(L"C:\\dl", L".tmp"));
    UpdaterModule::OnDownloadProgress(hwnd, 20, 2, 6);
    UpdaterModule::OnDownloadProgress(hwnd, 30, 3, 7);
    UpdaterModule::OnDownloadProgress(hwnd, 40, 4, 0xFFFFFFFFu);
    ASSERT_TRUE(WaitFor([&] { return !m_listener.progress.empty(); }));
    testsupport::PumpMessagesFor(std::chrono::milliseconds(50));
    EXPECT_EQ(m_listener.progress, (std::vector<std::tuple<std::int64_t, std::int64_t, int>>{{40, 4, -1}}));
}

TEST_F(UpdaterTest, EachDescriptorReadStartsFromTheDefaults) {
    WriteIni("[Debug]\nLog=0\n");
    StartApp();
    MakeModule();
    ASSERT_TRUE(CreateDirByXj(L"C:\\dl"));
    const auto read = [&](const std::string& text) {
        UpdaterModule::OnListText(m_module->HelperWindow(), text, 0, 0);
        int type = 0;
        int code = 0;
        ASSERT_TRUE(ReadInstallDescriptor(*m_module, L"C:\\dl\\d.ini", type, code));
    };
    read(
        "[Install]\r\nUrl=http://a/b\r\nSize=12abc\r\nMd5=ab\r\nVersion=2.1.790\r\nThirdCDNHost=cdn\r\n"
        "ThirdCDNMinSpeed=2048x\r\n");
    EXPECT_EQ(m_module->Url(), L"http://a/b");
    EXPECT_EQ(m_module->Size(), 12);  // the leading digits
    EXPECT_EQ(m_module->ThirdCdnMinSpeed(), 2048);
    EXPECT_EQ(m_module->ThirdCdnHost(), L"cdn");
    // A second answer without those keys leaves nothing of the first (an answer without an
    // Md5 would be refused whole).
    read("[Install]\r\nSize=\r\nMd5=cd\r\n");
    EXPECT_EQ(m_module->Url(), L"");
    EXPECT_EQ(m_module->Md5(), L"cd");
    EXPECT_EQ(m_module->Size(), 0);
    EXPECT_EQ(m_module->Version(), L"");
    EXPECT_EQ(m_module->ThirdCdnHost(), L"");
    EXPECT_EQ(m_module->ThirdCdnMinSpeed(), 0);
}

TEST_F(UpdaterTest, TheHelperWindowAnswersItsSpareMessagesAndTakesOneCompletion) {
    WriteIni("[Debug]\nLog=0\n");
    StartApp();
    SetDownloadCallbacks(&IgnoreProgress, &IgnoreDone);
    MakeModule();
    const HWND hwnd = m_module->HelperWindow();
    for (UINT message : {2027u, 2028u, 2029u, 2030u, 2031u, static_cast<UINT>(WM_TIMER)}) {
        SCOPED_TRACE(message);
        EXPECT_EQ(SendMessageW(hwnd, message, 0, 7), 0);
    }
    ASSERT_TRUE(m_module->StartDownload(L"C:\\dl", L".tmp"));
    UpdaterModule::OnDownloadDone(hwnd, 5, 28);
    UpdaterModule::OnDownloadDone(hwnd, 5, 7);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(m_listener.lists.empty());
    EXPECT_TRUE(m_listener.progress.empty());
    EXPECT_EQ(m_listener.downloads, (std::vector<Download>{{5, 28, L"安装失败"}}));
}

TEST_F(UpdaterTest, EveryModeSendsTheSameStyledRequestWithItsDownload) {
    LoopbackUpdateServer server(ServerOptions(m_dir));
    StartWith(server);
    const UpdaterModule::Mode modes[] = {UpdaterModule::Mode::Release, UpdaterModule::Mode::InternalTest,
                                         UpdaterModule::Mode::PublicTest};
    int n = 0;
    for (const UpdaterModule::Mode mode : modes) {
        SCOPED_TRACE(static_cast<int>(mode));
        const std::wstring dir = L"C:\\dl" + std::to_wstring(n++);
        MakeModule(dir, mode);
        ASSERT_TRUE(CreateDirByXj(dir));
        m_module->FetchList();
        ASSERT_TRUE(WaitForDownload());
        EXPECT_EQ(m_listener.downloads, std::vector<Download>{kDelivered});
    }
    for (const char* path : {"/qvzurazarevuz.txt", "/test/qvinstall_public.txt", "/test/qvinstall_public_test.txt"})
        EXPECT_EQ(server.RequestsFor(path).size(), 1u) << path;
    // The download log carries each download's request text.
    std::vector<std::string> requests;
    ASSERT_TRUE(WaitFor([&] {
        requests.clear();
        for (const auto& upload : server.DownloadLogRecords()) {
            Json::Value records;
            ParseJsonText(upload.data, records);
            for (const Json::Value& record : records)
                requests.push_back(record["request"].asString());
        }
        return requests.size() >= 3;
    }));
    EXPECT_EQ(requests, std::vector<std::string>(3, "{\n   \"game\" : \"XJ_vidi_zazeroroda\",\n   \"type\" : 2\n}\n"));
}
