// The installed client's small text files, as the install reports read them.
//
// Any thread; the files are read at each call. Paths are Windows form.
#pragma once

#include <string>

// The first line of "tg.id" in `installDir` (bytes as they stand, without a line end).
// False, with `out` unchanged, when the file cannot be opened.
bool ReadTgIdFile(const std::wstring& installDir, std::string& out);

// The client's version from "rkupdate.ini" in `installDir`: its second line, which reads
// "Version=<version>", less its first 8 characters. False, with `out` unchanged, when the
// file cannot be opened or the line is too short to hold a version.
bool ReadClientVersionIni(const std::wstring& installDir, std::string& out);
