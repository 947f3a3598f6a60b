# Cross-compiles the Windows x86-64 DLLs with clang and lld against Debian's mingw-w64 headers and
# its GCC 12 C and C++ runtimes (posix threads), and runs what it builds under Wine. Debug
# information is CodeView, in a PDB beside each binary that the binary names by file name only,
# the form Windows debuggers and symbol servers read; links are reproducible (the timestamp is a
# hash of the output, not the time).
#   cmake --preset windows
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELO_MINGW_TARGET x86_64-w64-mingw32)
set(VELO_MINGW_GCC /usr/lib/gcc/${VELO_MINGW_TARGET}/12-posix)

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET ${VELO_MINGW_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${VELO_MINGW_TARGET})
set(CMAKE_SYSROOT /usr/${VELO_MINGW_TARGET})
set(CMAKE_RC_COMPILER ${VELO_MINGW_TARGET}-windres)
# llvm-strip keeps the linker's reproducible timestamp; GNU strip would write the time.
set(CMAKE_STRIP llvm-strip-14)
set(CMAKE_OBJDUMP ${VELO_MINGW_TARGET}-objdump)

# GCC's C++ headers for this target, which clang does not find by itself, and CodeView whenever
# debug information is on. clang 14 writes its command line into CodeView: it runs with the
# source and build folders made relative, and records the compilation folder as ".".
set(CMAKE_C_COMPILER_LAUNCHER
    ${CMAKE_CURRENT_LIST_DIR}/relative-paths.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_C_COMPILER_LAUNCHER})
set(CMAKE_C_FLAGS_INIT "-gcodeview -fdebug-compilation-dir=. -fcoverage-compilation-dir=.")
set(CMAKE_CXX_FLAGS_INIT
    "-gcodeview -fdebug-compilation-dir=. -fcoverage-compilation-dir=. -nostdinc++ -isystem ${VELO_MINGW_GCC}/include/c++ -isystem ${VELO_MINGW_GCC}/include/c++/${VELO_MINGW_TARGET}")
# lld with GCC's runtime libraries and winpthreads (which GCC's driver adds by itself); a PDB for
# every binary, named in it without a folder; no time in the output. (Links also see the compile
# flags above, which they do not use.)
set(velo_link_flags
    "-fuse-ld=lld-14 -L${VELO_MINGW_GCC} -Wl,--pdb= -Wl,-Xlink=-pdbaltpath:%_PDB% -Wl,-Xlink=-Brepro -Wl,-Xlink=-pdbsourcepath:. -Wno-unused-command-line-argument")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${velo_link_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${velo_link_flags}")
set(CMAKE_C_STANDARD_LIBRARIES "-lpthread" CACHE STRING "Libraries every C binary links")
set(CMAKE_CXX_STANDARD_LIBRARIES "-lpthread" CACHE STRING "Libraries every C++ binary links")

set(CMAKE_FIND_ROOT_PATH /usr/${VELO_MINGW_TARGET})
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
