# Cross-compiles the Windows x86-64 DLLs with Debian's mingw-w64 (posix thread model), and runs
# what it builds under Wine.
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VELO_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT VELO_WINE64)
    find_program(VELO_WINE64 NAMES wine64 wine)
endif()
if(VELO_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELO_WINE64})
endif()
