#include "cli/printed.h"

#include "minihost/minihost.h"

namespace pathbloom {

std::string printed(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string text;
    minihost::formatText(format, args, text);
    va_end(args);
    return text;
}

}  // namespace pathbloom
