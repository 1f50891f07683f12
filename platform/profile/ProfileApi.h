// The profile functions: values in ini files named by Windows-form paths.
//
// Any thread may call. Every call reads the file afresh, so values written by
// another process are seen at once. A write replaces the file atomically (sibling
// file, then rename) and keeps every line it does not touch byte for byte; it
// holds an advisory lock on the file from its read to the rename, so writers in
// any number of threads and processes lose no change (AtomicFile.h). Only regular
// files are read. See IniDocument.h for the text rules.
#pragma once

#include "platform/types/WinTypes.h"

// Copies the value (or `defaultValue`, "" when null, when the file, section or
// key is absent) into `buffer`: at most size - 1 characters and a NUL. Returns the
// number of characters copied. A null section or key is not supported here (0,
// ERROR_INVALID_PARAMETER).
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                               LPCWSTR fileName);

// The value's leading decimal number (optional sign); 0 when it has none, and
// `defaultValue` when the key is absent.
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName);

// A null `key` removes the section, a null `value` removes the key; otherwise the
// key is set, creating the file (UTF-8) and the section as needed. An FF FE file
// stays UTF-16LE. Line breaks in any argument, '=' in a key, a key starting with
// '[' or ';' (after blanks) or ']' in a section name would change other entries or
// never read back, so they fail with ERROR_INVALID_PARAMETER.
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);
