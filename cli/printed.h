// printf-style formatting into a string of whatever length the result takes.
#pragma once

#include <string>

namespace pathbloom {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
printed(const char *format, ...);

}  // namespace pathbloom
