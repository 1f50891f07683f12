// A temporary directory for one test, removed with everything in it afterwards.
// With `redirectHome`, HOME and the XDG variables point into it while it lives,
// so the drive map, the registry files and special folders stay inside the test.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace testsupport {

class TempDir {
public:
    enum class Home { Keep, Redirect };
    explicit TempDir(Home home = Home::Keep);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

    // Writes `bytes` to a file below the directory, creating parents.
    std::filesystem::path WriteFile(const std::string& name, const std::string& bytes) const;
    static std::string ReadFile(const std::filesystem::path& path);

private:
    void SetEnv(const char* name, const std::string& value);

    std::filesystem::path m_path;
    std::map<std::string, std::optional<std::string>> m_savedEnv;
};

}  // namespace testsupport
