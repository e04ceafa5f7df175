# 32-bit Windows build with mingw-w64 (i686-w64-mingw32): the 32-bit plug-in.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR X86)
set(PATHBLOOM_MINGW_TRIPLE i686-w64-mingw32)
# SSE2 arithmetic and intrinsics as in the other builds: the x87 unit keeps
# excess precision and would round float results differently.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
