// Parses the process's wide argument vector against a table of switches.
//
// Owned and used by one thread (the UI thread at start-up). Parsing happens in the
// constructor and never shows anything: an unknown switch or a wrong number of
// arguments ends the parsing, keeps the switches parsed before it, and leaves an error
// text in the object (GetErrorText).
//
// Syntax: argv[0] is the program and is skipped. A word of '-' or '/' and one character
// is a letter switch ("-h", "/h"); "--" and a name is a long switch ("--hide"). The
// switch's arguments are the words after it up to the next switch or the end. A word of
// '-' and digits only ("-5") is an argument, so negative numbers can be passed; a lone
// '-' or '/' is an argument too. Any other word that starts with '-' or '/' is a switch
// and must be in the table (letters and names compare with case). A switch given twice
// keeps the arguments of its last occurrence. A word before the first switch is an
// error.
#pragma once

#include <map>
#include <string>
#include <vector>

class CommandLineOptions {
public:
    // One switch; a table ends with a record whose letter is 0.
    struct Switch {
        wchar_t letter;
        const wchar_t* longName;
        int fewestArgs;
        int mostArgs;
    };

    CommandLineOptions(int argc, const wchar_t* const* argv, const Switch* table);

    // True and the switch's first argument when the switch was parsed with one; otherwise
    // false and `out` unchanged.
    bool GetArg(wchar_t letter, std::wstring& out) const;
    bool Has(wchar_t letter) const;

    // "unrecognized option <word>" or "--<name> requires at least N and at most M args,
    // yours: K"; empty when the whole command line parsed.
    const std::wstring& GetErrorText() const { return m_error; }
    // The word the parsing stopped at: the unknown one, the first argument too many, or the
    // word (or the switch, at the end) where an argument was missing; empty without an error.
    const std::wstring& GetErrorWord() const { return m_errorWord; }

private:
    void Parse(int argc, const wchar_t* const* argv, const Switch* table);

    std::map<wchar_t, std::vector<std::wstring>> m_parsed;
    std::wstring m_error;
    std::wstring m_errorWord;
};
