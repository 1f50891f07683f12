// Shared by the patch worker's tests: archives made by the real 7z tool, random payloads,
// and a swap of the worker's library resource that puts the original back afterwards.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/resource/Resource.h"
#include "support/RandomBytes.h"

extern char** environ;

namespace patchtest {

// Runs the 7z tool in `directory` with its output discarded; its exit status, or -1.
inline int Run7z(const std::filesystem::path& directory, const std::vector<std::string>& args) {
    std::vector<std::string> all{"7z"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back("-bd");  // no progress display
    std::vector<char*> argv;
    for (auto& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "7z", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using testsupport::RandomBytes;

// Replaces or removes the resource "RESDLL" 155 for one test, then restores the bytes
// the executable carries (they never move, so the original pointer stays good).
class LibraryResourceSwap {
public:
    LibraryResourceSwap() {
        if (const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(155), L"RESDLL")) {
            m_data = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
            m_size = SizeofResource(nullptr, found);
        }
    }
    ~LibraryResourceSwap() {
        if (m_data) {
            platform::RegisterEmbeddedResource(L"RESDLL", 155, m_data, m_size);
        } else {
            platform::UnregisterResource(L"RESDLL", 155);
        }
    }
    LibraryResourceSwap(const LibraryResourceSwap&) = delete;
    LibraryResourceSwap& operator=(const LibraryResourceSwap&) = delete;

    bool Carried() const { return m_data != nullptr; }
    void Remove() { platform::UnregisterResource(L"RESDLL", 155); }
    void Replace(const std::string& bytes) { platform::RegisterResource(L"RESDLL", 155, bytes); }

private:
    const unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
};

}  // namespace patchtest
