// The patch worker on real archives made by the 7z tool, through the real 7z library the
// test program carries as its resource "RESDLL" 155.
#include "app/Updater/MakePatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "platform/resource/Resource.h"
#include "platform/types/ErrorCodes.h"
#include "support/ForkChild.h"
#include "support/RandomBytes.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::RandomBytes;
using testsupport::TempDir;

namespace {

using Pair = std::pair<int, int>;
constexpr auto kDeadline = std::chrono::seconds(60);
constexpr std::size_t kMiB = 0x100000;
const Pair kNameOutside{1, static_cast<int>(ERROR_INVALID_NAME)};

// Runs the 7z tool in `directory`; its exit status.
int Run7z(const fs::path& directory, std::vector<std::string> args) {
    args.insert(args.begin(), "7z");
    args.push_back("-bd");  // no progress display
    return testsupport::WaitForProgram(testsupport::StartProgram(args, "/dev/null", directory));
}

// Replaces or removes the library resource for one test, then restores the bytes the
// executable carries (they never move, so the original pointer stays good).
class LibraryResourceSwap {
public:
    LibraryResourceSwap() {
        const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(155), L"RESDLL");
        m_data = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
        m_size = SizeofResource(nullptr, found);
    }
    ~LibraryResourceSwap() { platform::RegisterEmbeddedResource(L"RESDLL", 155, m_data, m_size); }
    void Use(const std::optional<std::string>& bytes) {
        if (!bytes) {
            platform::RegisterEmbeddedResource(L"RESDLL", 155, m_data, m_size);
        } else if (bytes->empty()) {
            platform::UnregisterResource(L"RESDLL", 155);
        } else {
            platform::RegisterResource(L"RESDLL", 155, *bytes);
        }
    }
    std::size_t Size() const { return m_size; }

private:
    const unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
};

// What a worker reported. Its functions are plain function pointers, so they reach the
// observer of the running test through one pointer.
struct Observer {
    std::mutex mutex;
    std::vector<int> percents;
    std::optional<Pair> result;
    std::function<void(int)> onProgress;  // runs on the worker, outside the lock

    // Polls `done` under the lock until it holds or the deadline passes.
    bool WaitFor(const std::function<bool()>& done) {
        for (const auto until = std::chrono::steady_clock::now() + kDeadline; std::chrono::steady_clock::now() < until;
             std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
            std::lock_guard lock(mutex);
            if (done()) return true;
        }
        return false;
    }
};
Observer* g_observer = nullptr;

void ObserveProgress(PatchConfig*, int percent) {
    {
        std::lock_guard lock(g_observer->mutex);
        g_observer->percents.push_back(percent);
    }
    if (g_observer->onProgress) g_observer->onProgress(percent);
}
void ObserveFinish(PatchConfig*, int type, int code) {
    std::lock_guard lock(g_observer->mutex);
    g_observer->result = Pair(type, code);
}

// Relative path -> content, "<dir>" for a folder.
std::map<std::string, std::string> ReadTree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    if (!fs::exists(root)) return tree;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        tree[fs::relative(entry.path(), root).string()] =
            entry.is_directory() ? "<dir>" : TempDir::ReadFile(entry.path());
    return tree;
}

class MakePatchTest : public ::testing::Test {
protected:
    MakePatchTest() {
        g_observer = &m_observer;
        fs::create_directories(m_home / "game");  // the library's folder is made there
        m_user.Config().progressFn = &ObserveProgress;
    }
    ~MakePatchTest() override { g_observer = nullptr; }

    // Packs the named entries of the source folder into a new archive.
    void Pack(std::vector<std::string> entries = {"."}, const std::vector<std::string>& switches = {}) {
        fs::create_directories(m_source);
        fs::remove(m_archiveHost);
        entries.insert(entries.begin(), switches.begin(), switches.end());
        entries.insert(entries.begin(), {"a", "-y", m_archiveHost.string()});
        ASSERT_EQ(Run7z(m_source, entries), 0);
    }
    void Source(const std::string& name, const std::string& bytes) { m_temp.WriteFile("src/" + name, bytes); }

    // Starts a worker over the archive and destination.
    void Start(CPatcher& patcher) {
        patcher.Config() = {m_archive, m_destination, &ObserveProgress, &ObserveFinish};
        ASSERT_TRUE(patcher.Start());
    }
    // One whole run of a worker, to its finish.
    Pair RunWorker() {
        CPatcher patcher;
        Start(patcher);
        const bool finished = m_observer.WaitFor([&] { return m_observer.result.has_value(); });
        EXPECT_TRUE(patcher.Stop(60000));
        std::lock_guard lock(m_observer.mutex);
        return finished ? *std::exchange(m_observer.result, std::nullopt) : Pair{-1, -1};
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
    const std::wstring m_archive = L"C:\\pkg.7z";
    const std::wstring m_destination = L"C:\\game\\patch";
    Observer m_observer;
    CPatcher m_user;  // never started: the receiver of direct extractions' progress
};

}  // namespace

TEST_F(MakePatchTest, WholeRunsEndWithTheirPair) {
    const std::vector<std::pair<std::string, std::string>> nested = {{"a.txt", "hello\n"},
                                                                     {"sub/deep/big.bin", RandomBytes(2 * kMiB, 1)},
                                                                     {"sub/z.txt", ""},
                                                                     {"中文 名.txt", "wide names survive"},
                                                                     {"empty/inner", "<dir>"}};
    const std::vector<std::pair<std::string, std::string>> data = {{"data.bin", RandomBytes(64 * 1024, 6)}};
    const struct {
        const char* why;
        std::vector<std::pair<std::string, std::string>> sources;  // "<dir>": a folder
        std::vector<std::string> switches;
        std::function<void(std::string&)> change;  // of the archive's bytes; emptied: no archive
        std::optional<std::string> library;        // the resource's bytes; "": none
        Pair expected;
    } cases[] = {
        {"files and nested folders, byte for byte", nested, {}, {}, {}, {0, 0}},
        {"over an earlier run's files", nested, {}, {}, {}, {0, 0}},
        {"folders only", {{"a/b/c", "<dir>"}, {"d", "<dir>"}}, {}, {}, {}, {0, 0}},
        {"no archive", data, {}, [](std::string& a) { a.clear(); }, {}, {1, static_cast<int>(ERROR_FILE_NOT_FOUND)}},
        {"not a 7z archive", data, {}, [](std::string& a) { a = "just some text"; }, {}, {3, 2029}},
        {"a damaged byte in stored data", data, {"-mx0"}, [](std::string& a) { a[32 + 1000] ^= 0x55; }, {}, {1, 23}},
        {"encrypted data, without the password", data, {"-psecret"}, {}, {}, {1, 23}},
        {"encrypted headers", data, {"-psecret", "-mhe=on"}, {}, {}, {3, 2029}},
        {"no library resource", data, {}, {}, "", {3, 2031}},
        {"a library without CreateObject", data, {}, {}, TempDir::ReadFile(XJ_TEST_MODULE_PATH), {3, 2032}},
        {"a CreateObject that makes nothing", data, {}, {}, TempDir::ReadFile(XJ_NO_ARCHIVE_MODULE_PATH), {3, 2032}},
        {"not a library at all", data, {}, {}, "MZ this is no library", {3, 2031}},
    };
    LibraryResourceSwap library;
    // The sizes of the library's file beside the destination while a run unpacks.
    std::vector<std::uintmax_t> librarySizes;
    m_observer.onProgress = [&](int) {
        for (const auto& entry : fs::directory_iterator(m_home / "game")) {
            if (entry.path().filename().string().rfind("Qvxj7z.", 0) == 0)
                librarySizes.push_back(fs::file_size(entry.path() / "Qvxj7z.dll"));
        }
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        fs::remove_all(m_source);
        librarySizes.clear();
        if (c.sources != nested) fs::remove_all(m_destinationHost);
        if (c.sources == nested && fs::exists(m_destinationHost))
            m_temp.WriteFile("home/game/patch/a.txt", "stale and longer than the new file");
        for (const auto& [name, bytes] : c.sources) {
            if (bytes == "<dir>") {
                fs::create_directories(m_source / name);
            } else {
                Source(name, bytes);
            }
        }
        Pack({"."}, c.switches);
        if (c.change) {
            std::string bytes = TempDir::ReadFile(m_archiveHost);
            c.change(bytes);
            fs::remove(m_archiveHost);
            if (!bytes.empty()) m_temp.WriteFile("home/pkg.7z", bytes);
        }
        library.Use(c.library);

        m_observer.percents.clear();
        EXPECT_EQ(RunWorker(), c.expected);
        if (c.expected == Pair(0, 0)) {
            // Progress comes at most once per MiB unpacked.
            std::uint64_t bytes = 0;
            for (const auto& source : c.sources)
                bytes += source.second.size();
            EXPECT_LE(m_observer.percents.size(), bytes / kMiB);
            EXPECT_EQ(ReadTree(m_destinationHost), ReadTree(m_source));
            // The library was written whole into a folder of its own beside the destination.
            if (!m_observer.percents.empty()) {
                ASSERT_EQ(librarySizes.size(), m_observer.percents.size());
                EXPECT_EQ(librarySizes.back(), library.Size());
            }
        } else if (c.library) {
            EXPECT_FALSE(fs::exists(m_destinationHost / "data.bin"));
        }
        // Nothing of the library is left once the run has ended.
        for (const auto& entry : fs::directory_iterator(m_home / "game"))
            EXPECT_EQ(entry.path(), m_destinationHost);
    }
}

TEST_F(MakePatchTest, ReservedFilesWaitUnderTemporaryNamesAndMoveInOrderAtTheEnd) {
    Source("UPDATE.INI", "new");
    Source("big.bin", RandomBytes(3 * kMiB, 2));
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

    const std::map<std::string, std::string> expected = {{"UPDATE.INI", "new"},
                                                         {"big.bin", TempDir::ReadFile(m_source / "big.bin")},
                                                         {"sub", "<dir>"},
                                                         {"sub/Second.INI", "new second"}};
    EXPECT_EQ(ReadTree(m_destinationHost), expected) << "no temporary file is left";
    ASSERT_EQ(options[L"tmp_file"].size(), 2u);
    ASSERT_EQ(options[L"real_file"].size(), 2u);
    EXPECT_EQ(options[L"real_file"][0].string(), m_destination + L"\\UPDATE.INI");
    EXPECT_EQ(options[L"real_file"][1].string(), m_destination + L"\\sub\\Second.INI");
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_EQ(options[L"tmp_file"][i].string().rfind(options[L"real_file"][i].string() + L".", 0), 0u);
}

TEST_F(MakePatchTest, AStopEndsTheRunWithItsPair) {
    Source("big.bin", RandomBytes(3 * kMiB, 3));
    Source("z.txt", "after the big one");
    Pack();
    {  // set before the first item: the library reports the item's failure
        std::atomic<std::uint8_t> stop{1};
        EXPECT_EQ(Extract(nullptr, &stop), Pair(1, 2017));
        EXPECT_FALSE(fs::exists(m_destinationHost));
    }
    {
        // Set while the last item unpacks: the library ends well, the stop still counts.
        Pack({"big.bin"}, {"-mx0"});  // stored: the output opens before any progress
        std::atomic<std::uint8_t> stop{0};
        m_observer.onProgress = [&](int) { stop = 1; };
        EXPECT_EQ(Extract(nullptr, &stop), Pair(3, 2017));
    }
    {
        // The owner destroys a worker held inside an item for longer than its stop time-out:
        // the destructor waits, and the run ends with the stop's pair before the object goes.
        Pack();
        m_observer.percents.clear();
        std::atomic<bool> release{false};
        m_observer.onProgress = [&](int) {
            const auto until = std::chrono::steady_clock::now() + kDeadline;
            while (!release && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        };
        auto patcher = std::make_unique<CPatcher>();
        Start(*patcher);
        ASSERT_TRUE(m_observer.WaitFor([&] { return !m_observer.percents.empty(); }));
        std::thread releaser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(3500));
            release = true;
        });
        patcher.reset();
        releaser.join();
        std::lock_guard lock(m_observer.mutex);
        EXPECT_EQ(m_observer.result, Pair(1, 2017));
    }
}

TEST_F(MakePatchTest, ItemsAndMovesOutsideTheDestinationAreRefused) {
    Source("a.txt", "payload");
    Source("b.txt", "innocent");
    for (const char* name : {"../evil.txt", "sub/../../evil.txt", "..\\evil.txt", "/evil.txt", "C:evil.txt",
                             "C:\\evil.txt", "good/C:evil.txt"}) {
        SCOPED_TRACE(name);
        fs::remove_all(m_destinationHost);
        Pack({"a.txt", "b.txt"});
        ASSERT_EQ(Run7z(m_home, {"rn", m_archiveHost.string(), "a.txt", name}), 0);
        EXPECT_EQ(Extract(nullptr), kNameOutside);
        for (const auto& entry : fs::recursive_directory_iterator(m_temp.Path()))
            EXPECT_EQ(entry.path().string().find("evil"), std::string::npos) << entry.path();
    }

    // Moves the caller asks for stay inside the destination too, from and to; a malformed
    // list fails cleanly instead of throwing on the worker.
    Pack({"b.txt"});
    m_temp.WriteFile("home/game/patch/x.tmp", "temporary");
    m_temp.WriteFile("home/outside.tmp", "not ours");
    const struct {
        const wchar_t* from;
        const wchar_t* to;  // null: no real_file list
    } moves[] = {{L"C:\\game\\patch\\x.tmp", L"C:\\evil.txt"},
                 {L"C:\\game\\patch\\x.tmp", L"C:\\game\\patch\\..\\evil.txt"},
                 {L"C:\\game\\patch\\x.tmp", L"C:\\game\\patchevil.txt"},
                 {L"C:\\outside.tmp", L"C:\\game\\patch\\evil.txt"},
                 {L"C:\\game\\patch\\x.tmp", nullptr}};
    for (const auto& move : moves) {
        SCOPED_TRACE(std::wstring(move.from) + L" -> " + (move.to ? move.to : L"?"));
        ProtoValue options;
        options[L"tmp_file"].append(move.from);
        if (move.to) options[L"real_file"].append(move.to);
        EXPECT_EQ(Extract(&options), kNameOutside);
        EXPECT_TRUE(fs::exists(m_destinationHost / "x.tmp"));
        EXPECT_TRUE(fs::exists(m_home / "outside.tmp"));
        for (const auto& entry : fs::recursive_directory_iterator(m_temp.Path()))
            EXPECT_EQ(entry.path().string().find("evil"), std::string::npos) << entry.path();
    }
}

TEST_F(MakePatchTest, NoItemReachesTheLibraryTheExtractionRunsOn) {
    // An item of the library's own name, into an existing destination written with a trailing
    // separator.
    Source("Qvxj7z.dll", RandomBytes(64 * 1024, 4));
    Source("z/after.bin", RandomBytes(64 * 1024, 5));
    Pack();
    fs::create_directories(m_destinationHost);
    const int status = testsupport::InChild([&] {
        SevenZipExtractor extractor;
        return ExtractSevenZipArchive(&extractor, m_archive, m_destination + L"\\", nullptr, L"", nullptr, &m_user) ? 0
                                                                                                                    : 1;
    });
    EXPECT_EQ(status, 0) << "the library was cut short under the extraction (a bus error)";
    EXPECT_TRUE(ReadTree(m_destinationHost) == ReadTree(m_source));
    // The library's own folder goes with it.
    EXPECT_EQ(ReadTree(m_home / "game").size(), ReadTree(m_source).size() + 1);
}

TEST_F(MakePatchTest, ProgressIsTheTruncatedPercentage) {
    // Without a user or a total nothing is reported.
    const struct {
        std::uint64_t done, total;
        std::vector<int> percents;
    } cases[] = {
        {50, 200, {25}}, {199, 200, {99}}, {200, 200, {100}}, {0x7FFFFFFFFFull, 0xFFFFFFFFFFull, {49}}, {5, 0, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.done) + "/" + std::to_string(c.total));
        m_observer.percents.clear();
        CPatcher::OnProgress(&m_user, c.done, c.total);
        CPatcher::OnProgress(nullptr, c.done, c.total);
        EXPECT_EQ(m_observer.percents, c.percents);
    }
}

TEST_F(MakePatchTest, ALibraryThatDoesNotLoadGetsItsRuntimeBesideTheProgram) {
    // Wherever the library itself is written, its runtime goes beside the program.
    LibraryResourceSwap library;
    library.Use("MZ this is no library");
    ASSERT_TRUE(platform::RegisterResource(L"RESDLL", 156, "runtime bytes"));
    SevenZipExtractor extractor;
    extractor.destination = m_destination;
    EXPECT_EQ(LoadSevenZipLibrary(&extractor), nullptr);
    const fs::path runtime = fs::read_symlink("/proc/self/exe").parent_path() / "msvcr100.dll";
    EXPECT_TRUE(extractor.runtimeWritten);
    EXPECT_EQ(TempDir::ReadFile(runtime), "runtime bytes");
    // The runtime goes again when the library is unloaded.
    UnloadSevenZipLibrary(&extractor);
    EXPECT_FALSE(extractor.runtimeWritten);
    EXPECT_FALSE(fs::exists(runtime));
    platform::UnregisterResource(L"RESDLL", 156);
}
