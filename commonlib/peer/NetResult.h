// The (type, code) pair every download ends with, and the download engine's own codes.
//
// The numbers go into the caller's decisions and the reports, so they never change.
#pragma once

#include "commonlib/http/HttpResult.h"

struct NetResult {
    enum Type : int {
        kSuccess = static_cast<int>(HttpResultType::Success),
        kSystem = static_cast<int>(HttpResultType::System),
        kProgram = static_cast<int>(HttpResultType::Program),
        kHttp = static_cast<int>(HttpResultType::HttpStatus),
        kCurl = static_cast<int>(HttpResultType::Curl),
    };
    int type = kSuccess;
    int code = 0;
    bool Ok() const { return type == kSuccess; }
    friend bool operator==(const NetResult&, const NetResult&) = default;
};

// Type 3 codes of the engine itself.
inline constexpr int kCodeCannotStart = 6;
inline constexpr int kCodeNoSource = 809;
// Codes shared with the HTTP layer.
inline constexpr int kCodeNothingToFetch = static_cast<int>(HttpProgramCode::NothingToFetch);
inline constexpr int kCodeLengthMismatch = static_cast<int>(HttpProgramCode::LengthMismatch);
inline constexpr int kCodeNoRangeSupport = static_cast<int>(HttpProgramCode::NoRangeSupport);
inline constexpr int kCodeInactive = static_cast<int>(HttpProgramCode::Inactive);
