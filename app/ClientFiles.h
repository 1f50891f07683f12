// The installed client's file names, and its small text files as the install reports read them.
//
// Any thread; the files are read at each call. Paths are Windows form.
#pragma once

#include <string>

// The client's launcher in the install directory; its settings file, in the common application
// data folder and in a folder of its own in the common documents; the settings' section; and the
// launcher's entry among the programs started at log-on. The launcher reads them by these names.
inline constexpr wchar_t kLauncherName[] = L"QuorvelLauncher.exe";
inline constexpr wchar_t kLauncherIniName[] = L"QuorvelLaucher.ini";
inline constexpr wchar_t kLauncherDocumentsFolder[] = L"QuorvelLauncher";
inline constexpr wchar_t kLauncherSection[] = L"QuorvelNet-Launcher";
inline constexpr wchar_t kLauncherRunValue[] = L"QuorvelNet-Launcher";

// The first line of "tg.id" in `installDir` (bytes as they stand, without a line end).
// False, with `out` unchanged, when the file cannot be opened.
bool ReadTgIdFile(const std::wstring& installDir, std::string& out);

// The client's version from "rkupdate.ini" in `installDir`: its second line, which reads
// "Version=<version>", less its first 8 characters. False, with `out` unchanged, when the
// file cannot be opened or the line is too short to hold a version.
bool ReadClientVersionIni(const std::wstring& installDir, std::string& out);
