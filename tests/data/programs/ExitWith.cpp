// A program on the platform's own entry point that ends with the code given as its
// first argument, so tests can see which codes reach a parent.
#include <cwchar>

#include "platform/entry/Entry.h"

int XjWinMain(HINSTANCE, int argc, wchar_t** argv) {
    return argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 0;
}
