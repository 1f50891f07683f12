#include "app/Updater/MakePatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "platform/fs/DriveMap.h"
#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"
#include "PatchTestSupport.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

using Pair = std::pair<int, int>;
constexpr auto kDeadline = std::chrono::seconds(60);
constexpr std::size_t kMiB = 0x100000;

// What a worker reported. The worker's functions are plain function pointers, so they
// reach the observer of the running test through one pointer.
struct Observer {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> percents;
    std::optional<Pair> result;
    std::function<void(int)> onProgress;  // runs on the worker, outside the lock

    static void Progress(PatchConfig*, int percent);
    static void Finish(PatchConfig*, int type, int code);

    bool WaitFor(const std::function<bool()>& done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kDeadline, done);
    }
};
Observer* g_observer = nullptr;

void Observer::Progress(PatchConfig*, int percent) {
    {
        std::lock_guard lock(g_observer->mutex);
        g_observer->percents.push_back(percent);
    }
    g_observer->changed.notify_all();
    if (g_observer->onProgress) g_observer->onProgress(percent);
}

void Observer::Finish(PatchConfig*, int type, int code) {
    {
        std::lock_guard lock(g_observer->mutex);
        g_observer->result = Pair(type, code);
    }
    g_observer->changed.notify_all();
}

// Relative path -> content, "<dir>" for a folder.
std::map<std::string, std::string> ReadTree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).string();
        tree[relative] = entry.is_directory() ? "<dir>" : TempDir::ReadFile(entry.path());
    }
    return tree;
}

class MakePatchTest : public ::testing::Test {
protected:
    MakePatchTest() {
        g_observer = &m_observer;
        fs::create_directories(m_home / "game");  // the library is written there
    }
    ~MakePatchTest() override { g_observer = nullptr; }

    // Packs the named entries of the source folder (all of it by default) into the archive.
    void Pack(std::vector<std::string> entries = {"."}, std::vector<std::string> switches = {}) {
        fs::create_directories(m_source);
        std::vector<std::string> args{"a", "-y", m_archiveHost.string()};
        args.insert(args.end(), switches.begin(), switches.end());
        args.insert(args.end(), entries.begin(), entries.end());
        ASSERT_EQ(patchtest::Run7z(m_source, args), 0);
    }
    void Rename(const std::string& from, const std::string& to) {
        ASSERT_EQ(patchtest::Run7z(m_home, {"rn", m_archiveHost.string(), from, to}), 0);
    }
    void Source(const std::string& name, const std::string& bytes) { m_temp.WriteFile("src/" + name, bytes); }

    // Runs the worker over the archive and destination and waits for its finish.
    Pair RunWorker(CPatcher& patcher) {
        patcher.Config().archivePath = m_archive;
        patcher.Config().destination = m_destination;
        patcher.Config().progressFn = &Observer::Progress;
        patcher.Config().finishFn = &Observer::Finish;
        EXPECT_TRUE(patcher.Start());
        const bool finished = m_observer.WaitFor([&] { return m_observer.result.has_value(); });
        EXPECT_TRUE(patcher.Stop(60000));
        if (!finished) return {-1, -1};
        std::lock_guard lock(m_observer.mutex);
        return *std::exchange(m_observer.result, std::nullopt);
    }
    Pair RunWorker() {
        CPatcher patcher;
        return RunWorker(patcher);
    }

    // One extraction on this thread, with the given reserved-file options and stop flag.
    Pair Extract(ProtoValue* options, const std::atomic<std::uint8_t>* stop = nullptr) {
        SevenZipExtractor extractor;
        const bool ok = ExtractSevenZipArchive(&extractor, m_archive, m_destination, stop, L"", options, &m_user);
        EXPECT_EQ(ok, extractor.resultType == 0 && extractor.resultCode == 0);
        return {extractor.resultType, extractor.resultCode};
    }

    TempDir m_temp{TempDir::Home::Redirect};
    const fs::path m_home = m_temp.Path() / "home";  // the drive C:
    const fs::path m_source = m_temp.Path() / "src";
    const fs::path m_archiveHost = m_home / "pkg.7z";
    const fs::path m_destinationHost = m_home / "game" / "patch";
    const fs::path m_libraryHost = m_home / "game" / "Qvxj7z.dll";
    const std::wstring m_archive = L"C:\\pkg.7z";
    const std::wstring m_destination = L"C:\\game\\patch";
    Observer m_observer;
    CPatcher m_user;  // never started: the receiver of direct extractions' progress
    const bool m_userReady = (m_user.Config().progressFn = &Observer::Progress, true);
};

TEST_F(MakePatchTest, UnpacksFilesAndNestedFoldersByteForByte) {
    Source("a.txt", "hello\n");
    Source("sub/deep/big.bin", patchtest::RandomBytes(3 * kMiB, 1));
    Source("sub/z.txt", "");
    Source("中文 名.txt", "wide names survive");
    fs::create_directories(m_source / "empty" / "inner");
    Pack();

    EXPECT_EQ(RunWorker(), Pair(0, 0));
    EXPECT_EQ(ReadTree(m_destinationHost), ReadTree(m_source));
    const HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(155), L"RESDLL");
    ASSERT_TRUE(fs::exists(m_libraryHost)) << "the library is written next to the destination";
    EXPECT_EQ(fs::file_size(m_libraryHost), SizeofResource(nullptr, resource));

    // A second run replaces the written library and every file it unpacked before.
    m_temp.WriteFile("home/game/patch/a.txt", "stale and longer than the new file");
    EXPECT_EQ(RunWorker(), Pair(0, 0));
    EXPECT_EQ(ReadTree(m_destinationHost), ReadTree(m_source));
}

TEST_F(MakePatchTest, ReservedFilesWaitUnderTemporaryNamesAndMoveInOrderAtTheEnd) {
    Source("UPDATE.INI", "new");
    Source("big.bin", patchtest::RandomBytes(3 * kMiB, 2));
    Source("sub/Second.INI", "new second");
    // One block per file: a solid block is decoded, and its progress reported, ahead of its outputs.
    Pack({"."}, {"-ms=off"});
    m_temp.WriteFile("home/game/patch/UPDATE.INI", "old");
    m_temp.WriteFile("home/game/patch/sub/Second.INI", "old second");

    // While the big file unpacks, the first reserved item is out under a temporary name only.
    int checks = 0;
    m_observer.onProgress = [&](int) {
        ++checks;
        EXPECT_EQ(TempDir::ReadFile(m_destinationHost / "UPDATE.INI"), "old");
        int temporaries = 0;
        for (const auto& entry : fs::directory_iterator(m_destinationHost)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("UPDATE.INI.", 0) != 0) continue;
            ++temporaries;
            EXPECT_EQ(name.find_first_not_of("0123456789", 11), std::string::npos) << name;
            EXPECT_EQ(TempDir::ReadFile(entry.path()), "new");
        }
        EXPECT_EQ(temporaries, 1);
    };
    ProtoValue options;
    options[L"reserved_file"].append(L"update.ini");
    options[L"reserved_file"].append(7);  // not a name: skipped
    options[L"reserved_file"].append(L"SUB\\second.ini");
    EXPECT_EQ(Extract(&options), Pair(0, 0));
    EXPECT_GT(checks, 0);

    EXPECT_EQ(TempDir::ReadFile(m_destinationHost / "UPDATE.INI"), "new");
    EXPECT_EQ(TempDir::ReadFile(m_destinationHost / "sub" / "Second.INI"), "new second");
    const std::map<std::string, std::string> expected = {
        {"UPDATE.INI", "new"}, {"big.bin", TempDir::ReadFile(m_source / "big.bin")}, {"sub", "<dir>"},
        {"sub/Second.INI", "new second"}};
    EXPECT_EQ(ReadTree(m_destinationHost), expected) << "no temporary file is left";
    ASSERT_EQ(options[L"tmp_file"].size(), 2u);
    ASSERT_EQ(options[L"real_file"].size(), 2u);
    EXPECT_EQ(options[L"real_file"][0].string(), m_destination + L"\\UPDATE.INI");
    EXPECT_EQ(options[L"real_file"][1].string(), m_destination + L"\\sub\\Second.INI");
    for (std::size_t i = 0; i < 2; ++i) {
        const std::wstring& temporary = options[L"tmp_file"][i].string();
        EXPECT_EQ(temporary.rfind(options[L"real_file"][i].string() + L".", 0), 0u);
    }
}

TEST_F(MakePatchTest, TheStopFlagEndsTheRunWithItsPair) {
    Source("big.bin", patchtest::RandomBytes(3 * kMiB, 3));
    Source("z.txt", "after the big one");
    Pack();

    {  // set before the first item: the library reports the item's failure
        std::atomic<std::uint8_t> stop{1};
        EXPECT_EQ(Extract(nullptr, &stop), Pair(1, 2017));
        EXPECT_FALSE(fs::exists(m_destinationHost));
    }
    {  // set while the last item unpacks: the library ends well, the stop still counts
        fs::remove(m_archiveHost);
        Pack({"big.bin"}, {"-mx0"});  // stored: the output opens before any progress
        std::atomic<std::uint8_t> stop{0};
        m_observer.onProgress = [&](int) { stop = 1; };
        EXPECT_EQ(Extract(nullptr, &stop), Pair(3, 2017));
        m_observer.onProgress = nullptr;
    }
    {  // the owner stops a running worker: the next item is not unpacked
        fs::remove_all(m_destinationHost);
        fs::remove(m_archiveHost);
        Pack();
        CPatcher patcher;
        m_observer.onProgress = [&](int) {
            const auto until = std::chrono::steady_clock::now() + kDeadline;
            while (!patcher.GetStopFlagPtr()->load() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        };
        patcher.Config().archivePath = m_archive;
        patcher.Config().destination = m_destination;
        patcher.Config().progressFn = &Observer::Progress;
        patcher.Config().finishFn = &Observer::Finish;
        ASSERT_TRUE(patcher.Start());
        ASSERT_TRUE(m_observer.WaitFor([&] { return !m_observer.percents.empty(); }));
        EXPECT_TRUE(patcher.Stop(60000));
        std::lock_guard lock(m_observer.mutex);
        EXPECT_EQ(m_observer.result, Pair(1, 2017));
        EXPECT_FALSE(fs::exists(m_destinationHost / "z.txt"));
    }
}

TEST_F(MakePatchTest, ProgressComesAtMostOncePerMebibyte) {
    Source("big.bin", patchtest::RandomBytes(5 * kMiB, 4));
    Pack();
    EXPECT_EQ(RunWorker(), Pair(0, 0));
    {
        std::lock_guard lock(m_observer.mutex);
        const std::vector<int>& percents = m_observer.percents;
        ASSERT_GE(percents.size(), 1u);
        EXPECT_LE(percents.size(), 4u) << "5 MiB leave room for four steps of more than 1 MiB";
        for (std::size_t i = 0; i < percents.size(); ++i) {
            EXPECT_GE(percents[i], i == 0 ? 20 : percents[i - 1] + 20) << "each step is more than a fifth";
            EXPECT_LE(percents[i], 100);
        }
        m_observer.percents.clear();
    }

    // Less than 1 MiB in all never reports.
    fs::remove_all(m_source);
    fs::remove(m_archiveHost);
    Source("small.bin", patchtest::RandomBytes(kMiB - 1, 5));
    Pack();
    EXPECT_EQ(RunWorker(), Pair(0, 0));
    EXPECT_TRUE(m_observer.percents.empty());

    // The percentage is truncated; without a user or a total nothing is reported.
    const struct {
        std::uint64_t done, total;
        std::optional<int> percent;
    } cases[] = {{50, 200, 25}, {199, 200, 99}, {200, 200, 100}, {0x7FFFFFFFFFull, 0xFFFFFFFFFFull, 49},
                 {5, 0, std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.done) + "/" + std::to_string(c.total));
        m_observer.percents.clear();
        CPatcher::OnProgress(&m_user, c.done, c.total);
        CPatcher::OnProgress(nullptr, c.done, c.total);
        EXPECT_EQ(m_observer.percents, c.percent ? std::vector<int>{*c.percent} : std::vector<int>{});
    }
}

TEST_F(MakePatchTest, AnArchiveOfFoldersOnlyCreatesThemAndMovesNothing) {
    fs::create_directories(m_source / "a" / "b" / "c");
    fs::create_directories(m_source / "d");
    Pack();
    EXPECT_EQ(RunWorker(), Pair(0, 0));
    const std::map<std::string, std::string> expected = {
        {"a", "<dir>"}, {"a/b", "<dir>"}, {"a/b/c", "<dir>"}, {"d", "<dir>"}};
    EXPECT_EQ(ReadTree(m_destinationHost), expected);
}

TEST_F(MakePatchTest, WithoutTheLibraryResourceNothingIsWritten) {
    Source("a.txt", "hello");
    Pack();
    patchtest::LibraryResourceSwap swap;
    ASSERT_TRUE(swap.Carried()) << "the test executable carries the library";
    swap.Remove();
    EXPECT_EQ(RunWorker(), Pair(3, 2031));
    EXPECT_FALSE(fs::exists(m_libraryHost));
    EXPECT_FALSE(fs::exists(m_destinationHost));
}

TEST_F(MakePatchTest, ItemsAndTargetsOutsideTheDestinationAreRefused) {
    const char* hostile[] = {"../evil.txt", "sub/../../evil.txt", "..\\evil.txt", "/evil.txt",
                             "C:evil.txt", "C:\\evil.txt", "good/C:evil.txt"};
    Source("a.txt", "payload");
    Source("b.txt", "innocent");
    for (const char* name : hostile) {
        SCOPED_TRACE(name);
        fs::remove_all(m_destinationHost);
        fs::remove(m_archiveHost);
        Pack({"a.txt", "b.txt"});
        Rename("a.txt", name);
        EXPECT_EQ(Extract(nullptr), Pair(1, static_cast<int>(ERROR_INVALID_NAME)));
        for (const auto& entry : fs::recursive_directory_iterator(m_temp.Path())) {
            const std::string path = entry.path().string();
            EXPECT_EQ(path.find("evil"), std::string::npos) << path;
        }
    }

    // Moves the caller asks for stay inside the destination too, from and to.
    fs::remove(m_archiveHost);
    Pack({"b.txt"});
    m_temp.WriteFile("home/game/patch/x.tmp", "temporary");
    m_temp.WriteFile("home/outside.tmp", "not ours");
    const struct {
        const wchar_t* from;
        const wchar_t* to;
    } moves[] = {{L"C:\\game\\patch\\x.tmp", L"C:\\evil.txt"},
                 {L"C:\\game\\patch\\x.tmp", L"C:\\game\\patch\\..\\evil.txt"},
                 {L"C:\\game\\patch\\x.tmp", L"C:\\game\\patchevil.txt"},
                 {L"C:\\outside.tmp", L"C:\\game\\patch\\evil.txt"}};
    for (const auto& move : moves) {
        SCOPED_TRACE(std::wstring(move.from) + L" -> " + move.to);
        ProtoValue options;
        options[L"tmp_file"].append(move.from);
        options[L"real_file"].append(move.to);
        EXPECT_EQ(Extract(&options), Pair(1, static_cast<int>(ERROR_INVALID_NAME)));
        EXPECT_TRUE(fs::exists(m_destinationHost / "x.tmp"));
        EXPECT_TRUE(fs::exists(m_home / "outside.tmp"));
        EXPECT_FALSE(fs::exists(m_home / "evil.txt"));
        EXPECT_FALSE(fs::exists(m_home / "game" / "patchevil.txt"));
        EXPECT_FALSE(fs::exists(m_destinationHost / "evil.txt"));
    }
    {  // a malformed list fails cleanly instead of throwing on the worker
        ProtoValue options;
        options[L"tmp_file"].append(m_destination + L"\\x.tmp");
        EXPECT_EQ(Extract(&options), Pair(1, static_cast<int>(ERROR_INVALID_NAME)));
    }
}

TEST_F(MakePatchTest, LibrariesWithoutAUsableArchiveObjectAreRefused) {
    Source("a.txt", "hello");
    Pack();
    const struct {
        const char* why;
        std::string bytes;
        Pair expected;
    } cases[] = {
        {"no CreateObject export", TempDir::ReadFile(XJ_TEST_MODULE_PATH), {3, 2032}},
        {"CreateObject fails and makes nothing", TempDir::ReadFile(XJ_NO_ARCHIVE_MODULE_PATH), {3, 2032}},
        {"not a library at all", "MZ this is no library", {3, 2031}},
    };
    patchtest::LibraryResourceSwap swap;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        swap.Replace(c.bytes);
        EXPECT_EQ(RunWorker(), c.expected);
        EXPECT_FALSE(fs::exists(m_destinationHost / "a.txt"));
    }

    // A library that does not load gets its runtime written beside the program for a second
    // try; the runtime goes again when the library is unloaded.
    ASSERT_TRUE(platform::RegisterResource(L"RESDLL", 156, "runtime bytes"));
    SevenZipExtractor extractor;
    extractor.destination = m_destination;
    EXPECT_EQ(LoadSevenZipLibrary(&extractor), nullptr);
    const fs::path runtime = fs::read_symlink("/proc/self/exe").parent_path() / "msvcr100.dll";
    EXPECT_TRUE(extractor.runtimeWritten);
    EXPECT_EQ(TempDir::ReadFile(runtime), "runtime bytes");
    UnloadSevenZipLibrary(&extractor);
    EXPECT_FALSE(extractor.runtimeWritten);
    EXPECT_FALSE(fs::exists(runtime));
    platform::UnregisterResource(L"RESDLL", 156);
}

TEST_F(MakePatchTest, DamagedOrForeignArchivesEndWithAFailurePair) {
    Source("data.bin", patchtest::RandomBytes(64 * 1024, 6));
    {  // no archive at all
        EXPECT_EQ(RunWorker(), Pair(1, static_cast<int>(ERROR_FILE_NOT_FOUND)));
    }
    {  // a file the library does not take for a 7z archive
        m_temp.WriteFile("home/pkg.7z", "just some text, no archive");
        EXPECT_EQ(RunWorker(), Pair(3, 2029));
    }
    {  // stored data with a damaged byte: the item's check fails, which is no success
        fs::remove(m_archiveHost);
        Pack({"data.bin"}, {"-mx0"});
        std::string bytes = TempDir::ReadFile(m_archiveHost);
        bytes[32 + 1000] = static_cast<char>(bytes[32 + 1000] ^ 0x55);
        m_temp.WriteFile("home/pkg.7z", bytes);
        EXPECT_EQ(RunWorker(), Pair(1, 23));
    }
    {  // encrypted data: the worker has no password for it
        fs::remove(m_archiveHost);
        Pack({"data.bin"}, {"-psecret"});
        EXPECT_EQ(RunWorker(), Pair(1, 23));
    }
    {  // encrypted headers: the archive cannot even be listed
        fs::remove(m_archiveHost);
        Pack({"data.bin"}, {"-psecret", "-mhe=on"});
        EXPECT_EQ(RunWorker(), Pair(3, 2029));
    }
}

TEST_F(MakePatchTest, DestroyingTheWorkerWaitsForTheItemInHand) {
    Source("big.bin", patchtest::RandomBytes(3 * kMiB, 7));
    Source("z.txt", "after the big one");
    Pack();
    std::atomic<bool> release{false};
    m_observer.onProgress = [&](int) {
        const auto until = std::chrono::steady_clock::now() + kDeadline;
        while (!release && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    auto patcher = std::make_unique<CPatcher>();
    patcher->Config().archivePath = m_archive;
    patcher->Config().destination = m_destination;
    patcher->Config().progressFn = &Observer::Progress;
    patcher->Config().finishFn = &Observer::Finish;
    ASSERT_TRUE(patcher->Start());
    ASSERT_TRUE(m_observer.WaitFor([&] { return !m_observer.percents.empty(); }));
    // The worker is held inside an item for longer than the destructor's stop time-out.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(3500));
        release = true;
    });
    patcher.reset();
    releaser.join();
    std::lock_guard lock(m_observer.mutex);
    EXPECT_EQ(m_observer.result, Pair(1, 2017)) << "the run ended before its worker object went";
}

}  // namespace
