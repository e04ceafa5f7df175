// The host's math and string functions: the ANSI utility callbacks and
// "PF ANSI Suite" 1. Text written into the command's return_msg is cut at
// its size, so a long message cannot overrun the record.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "minihost/host_state.h"

namespace minihost {
namespace {

// Room left in return_msg from `buffer` on, or 0 when it points elsewhere.
std::size_t roomInReturnMessage(Host &host, const char *buffer) {
    const char *begin = host.outData.return_msg;
    const char *end = begin + sizeof host.outData.return_msg;
    if (buffer < begin || buffer >= end) return 0;
    return static_cast<std::size_t>(end - buffer);
}

#define MINIHOST_MATH1(NAME)             \
    A_FpLong NAME##Call(A_FpLong x) {    \
        enterCall(currentHost(), #NAME); \
        return std::NAME(x);             \
    }
#define MINIHOST_MATH2(NAME)                      \
    A_FpLong NAME##Call(A_FpLong x, A_FpLong y) { \
        enterCall(currentHost(), #NAME);          \
        return std::NAME(x, y);                   \
    }

MINIHOST_MATH1(atan)
MINIHOST_MATH2(atan2)
MINIHOST_MATH1(ceil)
MINIHOST_MATH1(cos)
MINIHOST_MATH1(exp)
MINIHOST_MATH1(fabs)
MINIHOST_MATH1(floor)
MINIHOST_MATH2(fmod)
MINIHOST_MATH2(hypot)
MINIHOST_MATH1(log)
MINIHOST_MATH1(log10)
MINIHOST_MATH2(pow)
MINIHOST_MATH1(sin)
MINIHOST_MATH1(sqrt)
MINIHOST_MATH1(tan)
MINIHOST_MATH1(asin)
MINIHOST_MATH1(acos)

#undef MINIHOST_MATH1
#undef MINIHOST_MATH2

// Returns the length of the whole text, as C's sprintf does, even when it
// is cut to fit return_msg.
int sprintfCall(A_char *buffer, const A_char *format, ...) {
    Host &host = currentHost();
    enterCall(host, "sprintf", format ? format : "");
    if (!buffer || !format) return -1;
    va_list args;
    va_start(args, format);
    std::string text;
    const bool formatted = formatText(format, args, text);
    va_end(args);
    if (!formatted) return -1;
    const std::size_t room = roomInReturnMessage(host, buffer);
    const std::size_t kept = room ? std::min(room - 1, text.size()) : text.size();
    std::memcpy(buffer, text.data(), kept);
    buffer[kept] = '\0';
    return static_cast<int>(text.size());
}

A_char *strcpyCall(A_char *dst, const A_char *src) {
    Host &host = currentHost();
    enterCall(host, "strcpy");
    if (!dst || !src) return dst;
    const std::size_t room = roomInReturnMessage(host, dst);
    if (room) {
        std::snprintf(dst, room, "%s", src);
        return dst;
    }
    return std::strcpy(dst, src);
}

}  // namespace

bool formatText(const char *format, va_list args, std::string &text) {
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) return false;
    // vsnprintf writes a terminating NUL too: room for it, then drop it.
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(&text[0], text.size(), format, args);
    text.pop_back();
    return true;
}

const PF_ANSICallbacks &ansiCallbacks() {
    static const PF_ANSICallbacks callbacks = {
        atanCall,  atan2Call, ceilCall, cosCall,  expCall, fabsCall,    floorCall,  fmodCall, hypotCall, logCall,
        log10Call, powCall,   sinCall,  sqrtCall, tanCall, sprintfCall, strcpyCall, asinCall, acosCall};
    return callbacks;
}

const void *ansiSuite() { return &ansiCallbacks(); }

}  // namespace minihost
