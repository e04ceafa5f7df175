#include "cli/printed.h"

#include <cstdarg>
#include <cstdio>

namespace pathbloom {

std::string printed(const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string text;
    if (length > 0) {
        // vsnprintf writes the terminating NUL too: room for it, then drop it.
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(&text[0], text.size(), format, args);
        text.pop_back();
    }
    va_end(args);
    return text;
}

}  // namespace pathbloom
