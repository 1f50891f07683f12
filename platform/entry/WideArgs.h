// The wide copy of a UTF-8 argument vector that `main` hands to XjWinMain.
//
// Owned by one thread (main's). Bytes that are not UTF-8 become U+FFFD. The
// vector is argv-shaped: Argv()[Argc()] is null, and its strings live as long
// as the object.
#pragma once

#include <string>
#include <vector>

namespace platform {

class WideArgs {
public:
    WideArgs(int argc, const char* const* argv);
    WideArgs(const WideArgs&) = delete;
    WideArgs& operator=(const WideArgs&) = delete;

    int Argc() const { return static_cast<int>(m_args.size()); }
    wchar_t** Argv() { return m_pointers.data(); }

private:
    std::vector<std::wstring> m_args;
    std::vector<wchar_t*> m_pointers;
};

}  // namespace platform
