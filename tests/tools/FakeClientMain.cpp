// xjfakeclient: the game client's installer package and launcher, as far as the installer
// sees them, for its tests and the demo. Which one it plays follows from its file name:
//
//   qvinstaller.exe /S "/unpack=DIR" /launch=off
//       the package: unpacks the client into DIR (the launcher "QuorvelLauncher.exe",
//       "rkupdate.ini" with the client's version 2.1.790, "bin\", "uninst.exe");
//   QuorvelLauncher.exe ...
//       the launcher: records its arguments and exits with 0.
//
// XJ_FAKE_CLIENT_RECORD in the environment names a folder for the records ("package.args",
// "launcher.args": one argument a line, a blank line after each run); without it the
// launcher writes beside itself.
//
// The installer ends every running "qvinstaller.exe" of its user when a download
// completes, so the package first takes another name by running this program's own file
// again (the process stays the one the installer waits for). It is a plain program on
// purpose: a stranger to the installer's code, as the real client is.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void Record(const fs::path& file, int argc, char** argv) {
    std::ofstream out(file, std::ios::app | std::ios::binary);
    for (int i = 1; i < argc; ++i)
        out << argv[i] << "\n";
    out << "\n";
}

fs::path OwnImage() {
    std::error_code error;
    const fs::path image = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : image;
}

bool CopyExecutable(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    if (error) return false;
    fs::permissions(to,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    error);
    return !error;
}

int RunPackage(int argc, char** argv) {
    const std::string record = Env("XJ_FAKE_CLIENT_RECORD");
    if (!record.empty()) Record(fs::path(record) / "package.args", argc, argv);
    std::string unpack;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "/unpack=", 8) == 0) unpack = argv[i] + 8;
    }
    if (unpack.empty() || unpack[0] != '/') {
        std::fprintf(stderr, "xjfakeclient: no absolute /unpack= directory\n");
        return 2;
    }
    const fs::path dir(unpack);
    std::error_code error;
    fs::create_directories(dir / "bin", error);
    if (error) return 3;
    std::ofstream(dir / "rkupdate.ini", std::ios::binary) << "[Setting]\r\nVersion=2.1.790\r\n";
    std::ofstream(dir / "bin" / "client.dat", std::ios::binary) << "the client's data\n";
    const fs::path self = OwnImage();
    if (self.empty() || !CopyExecutable(self, dir / "QuorvelLauncher.exe") || !CopyExecutable(self, dir / "uninst.exe"))
        return 4;
    return 0;
}

int RunLauncher(int argc, char** argv) {
    const std::string record = Env("XJ_FAKE_CLIENT_RECORD");
    const fs::path folder = !record.empty() ? fs::path(record) : OwnImage().parent_path();
    Record(folder / "launcher.args", argc, argv);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string name = Lower(OwnImage().filename().string());
    if (name == "qvinstaller.exe") {
        // Leave the name that downloads end; XJ_FAKE_CLIENT_ROLE carries the part across.
        setenv("XJ_FAKE_CLIENT_ROLE", "package", 1);
        execv(XJ_FAKE_CLIENT_IMAGE, argv);
        return RunPackage(argc, argv);  // the program's own file is gone: play the part here
    }
    if (Env("XJ_FAKE_CLIENT_ROLE") == "package") {
        unsetenv("XJ_FAKE_CLIENT_ROLE");
        return RunPackage(argc, argv);
    }
    return RunLauncher(argc, argv);
}
