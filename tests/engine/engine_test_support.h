// Shared pieces of the engine tests: the C library's math and string functions
// in the host's ANSI callback table, for engine functions called directly.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstring>

#include "hostapi/hostapi.h"

inline const PF_ANSICallbacks &libraryAnsi() {
    static const PF_ANSICallbacks ansi = [] {
        PF_ANSICallbacks a{};
        a.atan = [](A_FpLong x) { return std::atan(x); };
        a.atan2 = [](A_FpLong y, A_FpLong x) { return std::atan2(y, x); };
        a.ceil = [](A_FpLong x) { return std::ceil(x); };
        a.cos = [](A_FpLong x) { return std::cos(x); };
        a.exp = [](A_FpLong x) { return std::exp(x); };
        a.fabs = [](A_FpLong x) { return std::fabs(x); };
        a.floor = [](A_FpLong x) { return std::floor(x); };
        a.fmod = [](A_FpLong x, A_FpLong y) { return std::fmod(x, y); };
        a.hypot = [](A_FpLong x, A_FpLong y) { return std::hypot(x, y); };
        a.log = [](A_FpLong x) { return std::log(x); };
        a.log10 = [](A_FpLong x) { return std::log10(x); };
        a.pow = [](A_FpLong x, A_FpLong y) { return std::pow(x, y); };
        a.sin = [](A_FpLong x) { return std::sin(x); };
        a.sqrt = [](A_FpLong x) { return std::sqrt(x); };
        a.tan = [](A_FpLong x) { return std::tan(x); };
        a.sprintf = std::sprintf;
        a.strcpy = [](A_char *dst, const A_char *src) { return std::strcpy(dst, src); };
        a.asin = [](A_FpLong x) { return std::asin(x); };
        a.acos = [](A_FpLong x) { return std::acos(x); };
        return a;
    }();
    return ansi;
}
