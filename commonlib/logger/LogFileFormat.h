// The encrypted log file's format, written by FileLogger and read back by ReadLogFile.
//
// Version 1:
//   header  "XJLG", the version as 2 bytes low byte first, then 2 zero bytes
//   record  the ciphertext length n as 4 bytes low byte first (a multiple of 8 from 8 to
//           kMaxLogRecordBytes), then n bytes: one log line in UTF-8 without its line end,
//           padded as PKCS#5 and enciphered block by block with DES-ECB under kLogFileKey
// Records follow each other to the end of the file. The key is fixed in the program, so
// this keeps the log from casual reading; it is not a secret from the program's users.
//
// Pure functions, callable from any thread. Decoding fails closed: a length is checked
// against what remains before anything is deciphered or allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char kLogFileMagic[4] = {'X', 'J', 'L', 'G'};
inline constexpr std::uint16_t kLogFileVersion = 1;
inline constexpr std::size_t kLogFileHeaderSize = 8;
inline constexpr std::size_t kLogRecordLengthSize = 4;
inline constexpr char kLogFileKey[] = "xjL0g#17";
// Longer lines are cut (at a UTF-8 character boundary) before they are enciphered.
inline constexpr std::size_t kMaxLogLineBytes = 1 << 20;
inline constexpr std::size_t kMaxLogRecordBytes = (kMaxLogLineBytes & ~std::size_t{7}) + 8;

std::string LogFileHeader();
// The whole record (length and ciphertext) for one line.
std::string EncodeLogRecord(std::string_view line);

enum class LogDecodeResult {
    Complete,   // every byte belonged to a whole record
    Truncated,  // the last record is cut short, as a crash mid-write leaves it
    Corrupt,    // not a log file of this version, or a record that cannot be a record
};

// `lines` receives the lines of the whole records before the first fault, in order.
LogDecodeResult DecodeLogFile(std::string_view bytes, std::vector<std::string>* lines);
