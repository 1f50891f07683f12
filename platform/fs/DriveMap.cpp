#include "platform/fs/DriveMap.h"

#include <limits.h>
#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/strings/StringConv.h"

namespace platform {
namespace {

struct Drive {
    DriveMapping mapping;
    std::string realRoot;  // the root with links resolved, when it exists
};

struct DriveTable {
    std::mutex mutex;
    bool loaded = false;
    std::string home;
    std::string configHome;
    std::vector<Drive> drives;  // letter order
};

DriveTable& Table() {
    static DriveTable* table = new DriveTable;  // outlives static destructors that may still convert paths
    return *table;
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

std::string HomeDirectory() {
    return EnvOr("HOME", "/");
}

std::string ConfigHome(const std::string& home) {
    return EnvOr("XDG_CONFIG_HOME", home + "/.config");
}

std::string Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(first, last - first + 1));
}

void SetDrive(std::vector<Drive>& drives, wchar_t letter, const std::string& root, bool neverFixed) {
    Drive drive;
    drive.mapping.letter = letter;
    drive.mapping.root = NormaliseHostPath(root);
    drive.mapping.neverFixed = neverFixed;
    char resolved[PATH_MAX];
    if (realpath(drive.mapping.root.c_str(), resolved)) drive.realRoot = resolved;
    for (auto& d : drives) {
        if (d.mapping.letter == letter) {
            d = std::move(drive);
            return;
        }
    }
    auto it = drives.begin();
    while (it != drives.end() && it->mapping.letter < letter)
        ++it;
    drives.insert(it, std::move(drive));
}

// drives.ini: "X=/host/dir" lines in a [Drives] section; anything else is ignored,
// so a typo costs a letter, not the whole map.
void ReadDrivesIni(const std::string& path, std::vector<Drive>& drives) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    std::string line;
    bool inDrives = false;
    while (std::getline(in, line)) {
        const std::string text = Trim(line);
        if (text.empty() || text[0] == ';' || text[0] == '#') continue;
        if (text.front() == '[') {
            const auto close = text.find(']');
            const std::string name = Trim(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            inDrives = name.size() == 6 && strncasecmp(name.c_str(), "drives", 6) == 0;
            continue;
        }
        if (!inDrives) continue;
        const auto eq = text.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Trim(text.substr(0, eq));
        std::string value = Trim(text.substr(eq + 1));
        const char letter = key.empty() ? 0 : key[0];
        if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))) continue;
        if (!(key.size() == 1 || (key.size() == 2 && key[1] == ':'))) continue;
        if (value.empty() || value[0] != '/') continue;
        SetDrive(drives, static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(letter))), value, false);
    }
}

// Returns the table locked and current.
std::unique_lock<std::mutex> CurrentTable(DriveTable*& out) {
    DriveTable& t = Table();
    std::unique_lock lock(t.mutex);
    const std::string home = HomeDirectory();
    const std::string configHome = ConfigHome(home);
    if (!t.loaded || home != t.home || configHome != t.configHome) {
        t.drives.clear();
        SetDrive(t.drives, L'C', home, false);
        SetDrive(t.drives, L'Z', "/", true);
        ReadDrivesIni(configHome + "/xjinstaller/drives.ini", t.drives);
        t.home = home;
        t.configHome = configHome;
        t.loaded = true;
    }
    out = &t;
    return lock;
}

const Drive* Lookup(const DriveTable& t, wchar_t letter) {
    letter = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(letter)));
    for (const auto& d : t.drives) {
        if (d.mapping.letter == letter) return &d;
    }
    return nullptr;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Length of `root` matched as a leading component sequence of `path`, or npos.
size_t RootMatch(const std::string& root, const std::string& path) {
    if (root.empty()) return std::string::npos;
    if (root == "/") return 1;
    if (path.compare(0, root.size(), root) != 0) return std::string::npos;
    if (path.size() == root.size() || path[root.size()] == '/') return root.size();
    return std::string::npos;
}

}  // namespace

std::string NormaliseHostPath(std::string_view hostPath) {
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos <= hostPath.size()) {
        size_t next = hostPath.find('/', pos);
        if (next == std::string_view::npos) next = hostPath.size();
        const std::string_view part = hostPath.substr(pos, next - pos);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = next + 1;
    }
    std::string out;
    for (const auto part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

std::optional<std::string> HostPath(std::wstring_view winPath) {
    if (winPath.size() < 2 || winPath[1] != L':') return std::nullopt;
    if (winPath.find(L'\0') != std::wstring_view::npos) return std::nullopt;
    const wchar_t letter = winPath[0];
    if (!((letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z'))) return std::nullopt;

    std::string root;
    {
        DriveTable* t = nullptr;
        const auto lock = CurrentTable(t);
        const Drive* drive = Lookup(*t, letter);
        if (!drive) return std::nullopt;
        root = drive->mapping.root;
    }

    // Resolve "." and ".." on the Windows text so that ".." stops at the drive root.
    std::vector<std::wstring_view> parts;
    const std::wstring_view rest = winPath.substr(2);
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t next = pos;
        while (next < rest.size() && !IsSeparator(rest[next]))
            ++next;
        const std::wstring_view part = rest.substr(pos, next - pos);
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        pos = next + 1;
    }
    std::string out = root == "/" ? std::string() : root;
    for (const auto part : parts) {
        out += '/';
        out += HostNameFromWide(part);
    }
    return out.empty() ? std::string("/") : out;
}

std::wstring WinPath(std::string_view hostPath) {
    std::string absolute(hostPath);
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) return {};
        absolute = std::string(cwd) + "/" + absolute;
    }
    const std::string path = NormaliseHostPath(absolute);

    DriveTable* t = nullptr;
    const auto lock = CurrentTable(t);
    const Drive* best = nullptr;
    size_t bestLength = 0;
    for (const auto& d : t->drives) {
        for (const std::string* root : {&d.mapping.root, &d.realRoot}) {
            const size_t length = RootMatch(*root, path);
            if (length == std::string::npos) continue;
            if (!best || length > bestLength) {
                best = &d;
                bestLength = length;
            }
        }
    }
    if (!best) return {};
    std::wstring out;
    out += best->mapping.letter;
    out += L":\\";
    std::string_view rest = std::string_view(path).substr(bestLength);
    while (!rest.empty() && rest.front() == '/')
        rest.remove_prefix(1);
    std::wstring tail = WideFromHostName(rest);
    for (auto& c : tail) {
        if (c == L'/') c = L'\\';
    }
    return out + tail;
}

std::vector<DriveMapping> DriveMappings() {
    DriveTable* t = nullptr;
    const auto lock = CurrentTable(t);
    std::vector<DriveMapping> out;
    for (const auto& d : t->drives)
        out.push_back(d.mapping);
    return out;
}

std::optional<DriveMapping> FindDrive(wchar_t letter) {
    DriveTable* t = nullptr;
    const auto lock = CurrentTable(t);
    const Drive* d = Lookup(*t, letter);
    if (!d) return std::nullopt;
    return d->mapping;
}

void ReloadDriveMap() {
    DriveTable& t = Table();
    std::lock_guard lock(t.mutex);
    t.loaded = false;
}

std::string ConfigDirectory() {
    return ConfigHome(HomeDirectory()) + "/xjinstaller";
}

}  // namespace platform
