// Basic Windows-shaped types for the code above the platform layer.
//
// The names and numeric values are the ones the callers are written against;
// sizes follow LP64 Linux (handles and WPARAM/LPARAM are pointer sized).
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using INT = int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = int;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using WCHAR = wchar_t;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using LPCSTR = const char*;
using LPSTR = char*;
using LPVOID = void*;
using LPCVOID = const void*;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using ATOM = WORD;
using COLORREF = DWORD;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Handles are opaque pointers to distinct incomplete types, so one kind cannot be
// passed where another is expected.
#define XJ_DECLARE_HANDLE(name) \
    struct name##__;            \
    using name = name##__*
using HANDLE = void*;
XJ_DECLARE_HANDLE(HWND);
XJ_DECLARE_HANDLE(HINSTANCE);
XJ_DECLARE_HANDLE(HDC);
XJ_DECLARE_HANDLE(HFONT);
XJ_DECLARE_HANDLE(HBITMAP);
XJ_DECLARE_HANDLE(HRGN);
XJ_DECLARE_HANDLE(HBRUSH);
XJ_DECLARE_HANDLE(HPEN);
XJ_DECLARE_HANDLE(HICON);
XJ_DECLARE_HANDLE(HCURSOR);
XJ_DECLARE_HANDLE(HMENU);
XJ_DECLARE_HANDLE(HKEY);
XJ_DECLARE_HANDLE(HRSRC);
XJ_DECLARE_HANDLE(HGLOBAL);
XJ_DECLARE_HANDLE(HMONITOR);
using HMODULE = HINSTANCE;
using HGDIOBJ = void*;

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

struct FILETIME {
    DWORD dwLowDateTime = 0;
    DWORD dwHighDateTime = 0;
};

struct SYSTEMTIME {
    WORD wYear = 0;
    WORD wMonth = 0;      // 1..12
    WORD wDayOfWeek = 0;  // 0 = Sunday
    WORD wDay = 0;
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
};

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    LONGLONG QuadPart = 0;
};

inline constexpr WORD LOWORD(DWORD_PTR v) {
    return static_cast<WORD>(v & 0xFFFF);
}
inline constexpr WORD HIWORD(DWORD_PTR v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
inline constexpr DWORD MAKELONG(WORD lo, WORD hi) {
    return static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16);
}
inline constexpr short GET_X_LPARAM(LPARAM lp) {
    return static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lp)));
}
inline constexpr short GET_Y_LPARAM(LPARAM lp) {
    return static_cast<short>(HIWORD(static_cast<DWORD_PTR>(lp)));
}
inline constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
    return static_cast<LPARAM>(MAKELONG(lo, hi));
}
