# 32-bit x86 Linux build on an x86-64 Debian machine (g++-multilib). Programs
# run under qemu-i386, since the machine may not execute 32-bit code itself.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# SSE2 arithmetic as on x64 (and as 32-bit Windows compilers do by default):
# the x87 unit keeps excess precision and would round float results differently.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

# Look for libraries only in the 32-bit places; programs (tools) on the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_SYSTEM_LIBRARY_PATH /usr/lib32 /lib32)

find_program(PATHBLOOM_QEMU_I386 qemu-i386)
if(PATHBLOOM_QEMU_I386)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PATHBLOOM_QEMU_I386} -L /)
endif()
