// The program's string table: LoadStringW and its registration.
//
// Strings come from the build (xj_embed_resources STRING entries, registered
// before main runs) and from RegisterString at run time; any thread may register
// or load. Texts are never freed, so the read-only pointer that LoadStringW
// hands out stays valid for the life of the process, even after a replacement.
#pragma once

#include <string_view>

#include "platform/types/WinTypes.h"

// Copies string `id` into `buffer`, cut to `bufferMax` - 1 characters and always
// NUL-terminated; returns the characters copied. With `bufferMax` 0, stores a
// read-only pointer to the whole (NUL-terminated) text in *(const wchar_t**)buffer
// and returns its length. An absent string, another module or a null buffer
// returns 0, leaves an empty text in a non-empty buffer and sets the last error
// (ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_RESOURCE_DATA_NOT_FOUND, ERROR_INVALID_PARAMETER).
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);

namespace platform {

// Adds or replaces string `id` (0..65535). FALSE with ERROR_INVALID_PARAMETER
// for a larger id.
bool RegisterString(UINT id, std::wstring_view text);

}  // namespace platform
