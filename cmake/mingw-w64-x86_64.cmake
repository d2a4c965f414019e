# Cross build for 64-bit Windows with Debian's mingw-w64 (the POSIX thread
# model, for std::thread). The programs are linked statically, so quenlow.exe
# needs no DLL beside it, and run here under Wine through tools/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Windows keeps the stack 16-byte aligned only, and GCC does not align the
# 32-byte AVX values it spills there: every vector move is made unaligned.
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
get_filename_component(QUENLOW_TOOLCHAIN_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
if(EXISTS ${QUENLOW_TOOLCHAIN_ROOT}/tools/wine-run.sh)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUENLOW_TOOLCHAIN_ROOT}/tools/wine-run.sh)
endif()
