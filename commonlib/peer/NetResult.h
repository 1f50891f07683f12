// The (type, code) pair every network operation of the download engine ends with.
#pragma once

struct NetResult {
    enum Type : int { kSuccess = 0, kSystem = 1, kProgram = 3, kHttp = 4, kCurl = 5 };
    int type = kSuccess;
    int code = 0;
    bool Ok() const { return type == kSuccess; }
    friend bool operator==(const NetResult&, const NetResult&) = default;
};

// The program's own codes (type 3, except kLengthMismatch, which travels as type 4).
inline constexpr int kCodeCannotStart = 6;
inline constexpr int kCodeNoSource = 809;
inline constexpr int kCodeNothingToFetch = 2005;
inline constexpr int kCodeLengthMismatch = 2008;
inline constexpr int kCodeNoRangeSupport = 2009;
inline constexpr int kCodeNoActivity = 3002;
inline constexpr int kCodeRedirect = 3003;
