// The (type, code) pair that ends every network operation, and the numbers it carries.
//
// Plain values, copied freely between threads. Both enums are append-only: their numbers
// go into logs, reports and the callers' decisions, so a value never changes meaning.
#pragma once

#include <string>

enum class HttpResultType : int {
    Success = 0,
    System = 1,      // code: the system error number
    Program = 3,     // code: an HttpProgramCode
    HttpStatus = 4,  // code: the HTTP status (outside 100-399), or HttpProgramCode::LengthMismatch
    Curl = 5,        // code: the CURLcode
};

enum class HttpProgramCode : int {
    NothingToFetch = 2005,
    LengthMismatch = 2008,
    NoRangeSupport = 2009,
    Inactive = 3002,
    RedirectTaken = 3003,
};

struct HttpResult {
    int type = 0;
    int code = 0;

    static HttpResult Ok() { return {}; }
    static HttpResult Make(HttpResultType type, int code) { return {static_cast<int>(type), code}; }
    static HttpResult Program(HttpProgramCode code) { return Make(HttpResultType::Program, static_cast<int>(code)); }
    bool Succeeded() const { return type == static_cast<int>(HttpResultType::Success); }
    friend bool operator==(const HttpResult&, const HttpResult&) = default;
};

// "et:%d ec:%d", the form in which results are logged.
std::string FormatHttpResult(const HttpResult& result);
