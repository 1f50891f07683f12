// Splitting a Windows command line into the argument vector a Windows program
// would see, so that the callers' command texts reach our children unchanged.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The C runtime's rules: arguments are separated by blanks and tabs outside
// quotes; 2n backslashes before a quote give n backslashes and the quote opens or
// closes quoting, 2n+1 give n backslashes and a literal quote; other backslashes
// are literal; "" inside quotes is a literal quote. The first argument (the
// program) only honours quotes, never backslash escapes.
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);
// `argument` between double quotes, its quotes and the backslashes before them escaped by
// the rules above, so that SplitCommandLine gives it back unchanged, whatever it holds.
// Not for the program name, which takes no escapes.
std::wstring QuoteCommandLineArgument(std::wstring_view argument);

}  // namespace platform
