# Builds the Linux x86-64 release libraries with clang against a Debian 11 "bullseye" sysroot
# (glibc 2.31, GCC 10's libstdc++), so that they need no glibc newer than 2.31 and no libstdc++
# newer than GCC 10's (GLIBCXX_3.4.28) and load on every Linux since. tools/fetch-sysroot.sh
# makes the sysroot once a machine, outside the repository; give VELO_SYSROOT to use another.
#   cmake --preset linux-release
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

if(NOT VELO_SYSROOT)
    execute_process(
        COMMAND ${CMAKE_CURRENT_LIST_DIR}/../tools/fetch-sysroot.sh
        OUTPUT_VARIABLE velo_fetched OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULTS_VARIABLE velo_fetch_result)
    if(NOT velo_fetch_result EQUAL 0)
        message(FATAL_ERROR "tools/fetch-sysroot.sh could not make the bullseye sysroot")
    endif()
    string(REGEX REPLACE ".*\n" "" velo_fetched "${velo_fetched}")
    set(VELO_SYSROOT "${velo_fetched}" CACHE PATH "The Debian bullseye x86-64 sysroot")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELO_SYSROOT)

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET x86_64-linux-gnu)
set(CMAKE_CXX_COMPILER_TARGET x86_64-linux-gnu)
set(CMAKE_SYSROOT ${VELO_SYSROOT})
# GCC 10's start files, libgcc and libstdc++ come from the sysroot, never the machine's GCC. The
# sysroot's folder is written as / in debug information, as on the system it stands for. (Links
# see these flags too.)
set(velo_sysroot_flags "--gcc-toolchain=${VELO_SYSROOT}/usr -ffile-prefix-map=${VELO_SYSROOT}/=/")
set(CMAKE_C_FLAGS_INIT "${velo_sysroot_flags}")
set(CMAKE_CXX_FLAGS_INIT "${velo_sysroot_flags}")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
