# Shared part of the mingw-w64 toolchains; PATHBLOOM_MINGW_TRIPLE names the target.
# The posix thread variant gives the full C++ thread library; everything is
# linked statically so that the plug-in and the test programs import only
# system DLLs (KERNEL32, msvcrt).
set(CMAKE_C_COMPILER ${PATHBLOOM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PATHBLOOM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PATHBLOOM_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${PATHBLOOM_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${PATHBLOOM_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${PATHBLOOM_MINGW_TRIPLE}-objdump CACHE FILEPATH "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_FIND_ROOT_PATH /usr/${PATHBLOOM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh)
