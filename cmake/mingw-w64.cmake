# Cross-builds Varnello's core, varnello-tag and the core tests for 64-bit
# Windows with Debian's MinGW-w64 compilers (the POSIX threads variant, for
# std::thread), statically linked so that the programs run without DLLs:
#   cmake -S . -B build-windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DVARNELLO_BUILD_GUI=OFF -DVARNELLO_BUILD_BENCH=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNELLO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNELLO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNELLO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNELLO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNELLO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# zlib's static library, not its import library.
set(ZLIB_USE_STATIC_LIBS ON)
set(ZLIB_LIBRARY /usr/${VARNELLO_MINGW_TRIPLE}/lib/libz.a CACHE FILEPATH "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Sources and headers that serve any target: CLI11 (headers only) and
# GoogleTest, built from Debian's googletest sources.
set(VARNELLO_CLI11_HEADERS /usr/include CACHE PATH "")
set(VARNELLO_GTEST_SOURCE /usr/src/googletest CACHE PATH "")

# Test programs run under Wine when ctest runs them.
find_program(VARNELLO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VARNELLO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VARNELLO_WINE})
endif()
