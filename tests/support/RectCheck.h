// Lets tests compare RECTs with EXPECT_EQ and read them in failure messages.
#pragma once

#include <ostream>
#include <string>

#include "platform/types/WinTypes.h"

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline void PrintTo(const RECT& r, std::ostream* out) {
    *out << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

#define EXPECT_RECT(actual, l, t, r, b) EXPECT_EQ((actual), (RECT{(l), (t), (r), (b)}))
