# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix,
# libz-mingw-w64-dev). The posix flavour brings std::thread; -static links the C++ runtime,
# libgcc and winpthreads into each .exe, so the programs run without extra DLLs. Programs
# built here run through Wine (scripts/wine-run.sh) when a build step or a test runs them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ENTORRA_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ENTORRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ENTORRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ENTORRA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ENTORRA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh)
