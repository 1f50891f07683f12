#include "platform/registry/Registry.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "platform/fs/AtomicFile.h"
#include "platform/types/ErrorCodes.h"
#include "support/ForkChild.h"
#include "support/TempDir.h"

namespace {

const wchar_t* kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class RegistryTest : public ::testing::Test {
protected:
    std::filesystem::path Hive(const char* name) const {
        return m_dir.Path() / "home/.config/xjinstaller/registry" / name;
    }
    LSTATUS SetString(HKEY root, const wchar_t* path, const wchar_t* name, const std::wstring& text) {
        HKEY key = nullptr;
        LSTATUS status = RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        if (status != ERROR_SUCCESS) return status;
        status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        return status;
    }
    std::optional<std::wstring> GetString(HKEY root, const wchar_t* path, const wchar_t* name) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
        wchar_t buffer[512] = {};
        DWORD size = sizeof buffer, type = 0;
        const LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
        return std::wstring(buffer);
    }
    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
};

TEST_F(RegistryTest, ValuesRoundTripWithWindowsSizes) {
    HKEY run = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_READ, &run), ERROR_FILE_NOT_FOUND);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const std::wstring launcher = L"\"D:\\游戏\\QuorvelLauncher.exe\" --auto";
    ASSERT_EQ(RegSetValueExW(run, L"QuorvelNet-Launcher", 0, REG_SZ, reinterpret_cast<const BYTE*>(launcher.c_str()),
                             static_cast<DWORD>((launcher.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(run);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\microsoft\\WINDOWS\\currentversion\\run", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    // Size only: Windows' UTF-16 byte count with the NUL.
    EXPECT_EQ(RegQueryValueExW(key, L"quorvelnet-launcher", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, (launcher.size() + 1) * 2);
    wchar_t buffer[512];
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExW(key, L"QuorvelNet-Launcher", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(buffer), launcher);
    EXPECT_EQ(size, (launcher.size() + 1) * 2);

    // Too small: nothing written past the buffer, and the size it needs.
    wchar_t small[8];
    std::fill(std::begin(small), std::end(small), L'#');
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, L"QuorvelNet-Launcher", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, (launcher.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(small[0], L'#');

    EXPECT_EQ(RegQueryValueExW(key, L"Absent", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNoWrite) {
    constexpr int kWrites = 30;
    auto writeAll = [&](const wchar_t* prefix) {
        int failures = 0;
        for (int i = 0; i < kWrites; ++i) {
            const std::wstring key = std::wstring(L"Software\\") + prefix + std::to_wstring(i % 10);
            const std::wstring name = prefix + std::to_wstring(i);
            failures += SetString(HKEY_CURRENT_USER, key.c_str(), name.c_str(), L"1") != ERROR_SUCCESS;
        }
        return failures;
    };
    EXPECT_EQ(testsupport::InParentAndChildAtOnce(writeAll), std::make_pair(0, 0));

    int missing = 0;
    for (const wchar_t* prefix : {L"parent", L"child"}) {
        for (int i = 0; i < kWrites; ++i) {
            const std::wstring key = std::wstring(L"Software\\") + prefix + std::to_wstring(i % 10);
            missing += GetString(HKEY_CURRENT_USER, key.c_str(), (prefix + std::to_wstring(i)).c_str()) != L"1";
        }
    }
    EXPECT_EQ(missing, 0);
}

TEST_F(RegistryTest, AnInterruptedOrRefusedWriteKeepsTheHive) {
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, L"Software\\QuorvelLauncher", L"InstPath", L"D:\\Old"), ERROR_SUCCESS);
    const std::string before = testsupport::TempDir::ReadFile(Hive("HKCU.reg"));
    EXPECT_EQ(testsupport::InChild([&] {
                  platform::SetAtomicWriteHookForTesting([](const std::string&) { _exit(42); });
                  SetString(HKEY_CURRENT_USER, L"Software\\QuorvelLauncher", L"InstPath", L"D:\\New");
                  return 0;
              }),
              42);
    EXPECT_EQ(testsupport::TempDir::ReadFile(Hive("HKCU.reg")), before);
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, L"Software\\QuorvelLauncher", L"InstPath"), L"D:\\Old");

    // Key names that the hive's text could not hold are refused and change nothing.
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_ALL_ACCESS, &software), ERROR_SUCCESS);
    for (const wchar_t* name : {L"a\nb", L"a\r\n[Evil]", L"a]b", L"x]", L"QuorvelLauncher\\b\r"}) {
        SCOPED_TRACE(testing::Message() << "name length " << wcslen(name));
        for (HKEY parent : {software, HKEY_CURRENT_USER}) {
            HKEY created = nullptr;
            EXPECT_EQ(RegCreateKeyExW(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
                      ERROR_INVALID_PARAMETER);
            EXPECT_EQ(created, nullptr);
        }
    }
    RegCloseKey(software);
    EXPECT_EQ(testsupport::TempDir::ReadFile(Hive("HKCU.reg")), before);

    // A damaged hive is neither read nor overwritten.
    m_dir.WriteFile("home/.config/xjinstaller/registry/HKLM.reg", "garbage\n");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, &key), ERROR_BADDB);
    EXPECT_EQ(SetString(HKEY_LOCAL_MACHINE, L"Software\\X", L"v", L"1"), ERROR_BADDB);
    EXPECT_EQ(testsupport::TempDir::ReadFile(Hive("HKLM.reg")), "garbage\n");
}

}  // namespace
