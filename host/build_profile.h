// Which of the two plug-in builds this is. Both come from the same sources;
// the 32-bit x86 build differs in a few commands and suite versions.
#pragma once

#if defined(PATHBLOOM_PROFILE_X86)
constexpr bool kProfileX86 = true;
#elif defined(PATHBLOOM_PROFILE_X64)
constexpr bool kProfileX86 = false;
#else
#error "define PATHBLOOM_PROFILE_X64 or PATHBLOOM_PROFILE_X86"
#endif
