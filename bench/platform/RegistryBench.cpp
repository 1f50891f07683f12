// Registry calls on a hive with many keys: every call reads and parses the hive
// file afresh, so one open and one query must stay cheap as the hive grows.
// Target: below 50 ms per open + query (two parses) at 10,000 keys, growing about
// linearly with the keys (within 20 times the time of 1,000 at 10,000).
// The hive lives in a temporary XDG_CONFIG_HOME, removed at the end.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/registry/Registry.h"
#include "platform/types/ErrorCodes.h"

namespace {

std::filesystem::path g_config;

void WriteHive(int keys) {
    std::string text = "XjRegistry 1\n";
    for (int i = 0; i < keys; ++i) {
        text += "[Software\\Vendor" + std::to_string(i % 100) + "\\Product" + std::to_string(i) + "]\n";
        text += "\"InstPath\"=sz:\"D:\\\\Games\\\\Product" + std::to_string(i) + "\"\n";
    }
    const auto dir = g_config / "xjinstaller/registry";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "HKCU.reg", std::ios::binary) << text;
}

void BM_OpenAndQuery(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    WriteHive(keys);
    const std::wstring path = L"SOFTWARE\\vendor7\\product" + std::to_wstring(keys - 93);
    for (auto _ : state) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            state.SkipWithError("key not found");
            break;
        }
        wchar_t buffer[260];
        DWORD size = sizeof buffer;
        const LSTATUS status =
            RegQueryValueExW(key, L"instpath", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) {
            state.SkipWithError("value not found");
            break;
        }
    }
    state.SetComplexityN(keys);
}
BENCHMARK(BM_OpenAndQuery)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_SetValue(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    WriteHive(keys);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Bench", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    DWORD n = 0;
    for (auto _ : state) {
        ++n;
        RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof n);
    }
    RegCloseKey(key);
    state.SetComplexityN(keys);
}
BENCHMARK(BM_SetValue)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/xjregbench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    g_config = pattern;
    setenv("XDG_CONFIG_HOME", pattern, 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_config);
    return 0;
}
