#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir(Home home) {
    std::string pattern = (std::filesystem::temp_directory_path() / "xjtest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
    if (home == Home::Redirect) {
        std::filesystem::create_directories(m_path / "home");
        SetEnv("HOME", (m_path / "home").string());
        SetEnv("XDG_CONFIG_HOME", (m_path / "home/.config").string());
        SetEnv("XDG_DATA_HOME", (m_path / "home/.local/share").string());
        SetEnv("XDG_DOCUMENTS_DIR", (m_path / "home/Documents").string());
        SetEnv("XDG_RUNTIME_DIR", (m_path / "run").string());
        std::filesystem::create_directories(m_path / "run");
    }
}

TempDir::~TempDir() {
    for (const auto& [name, value] : m_savedEnv) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void TempDir::SetEnv(const char* name, const std::string& value) {
    if (!m_savedEnv.count(name)) {
        const char* old = std::getenv(name);
        m_savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    setenv(name, value.c_str(), 1);
}

std::filesystem::path TempDir::WriteFile(const std::string& name, const std::string& bytes) const {
    const auto path = m_path / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string TempDir::ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace testsupport
