# Cross-compiles the Windows x86-64 DLLs for the MSVC C++ ABI with clang-cl and lld-link, and
# runs what it builds under Wine:
#   cmake --preset windows          (or -DCMAKE_TOOLCHAIN_FILE=cmake/clang-cl-x86_64.cmake)
# Ingredients (cmake/WindowsSdkSetup.cmake gets the ones that can be fetched):
# - the MSVC STL headers, release vs-2022-17.4: VELO_MSVC_STL_DIR (a CMake setting or an
#   environment variable) names their inc/ folder; by default the folder tools/msvc-stl.sh
#   finds (../shared/msvc-stl/inc beside this repository, else the clone that
#   tools/install-deps.sh makes in the cache);
# - the Windows SDK and the UCRT from NuGet, restored into VELO_WINDOWS_SDK_DIR (by default
#   build/windows-sdk, which every build folder of this repository shares);
# - stand-ins for the VC runtime's headers and static part, VcRuntimeStandIn/;
# - import libraries for msvcp140.dll and vcruntime140.dll made from Wine's builds of them.
include(${CMAKE_CURRENT_LIST_DIR}/msvc-x86_64.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/WindowsSdkSetup.cmake)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER clang-cl-14)
set(CMAKE_CXX_COMPILER clang-cl-14)
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_LINKER lld-link-14)
set(CMAKE_AR llvm-lib-14)
set(CMAKE_RC_COMPILER llvm-rc-14)
set(CMAKE_MT llvm-mt-14)
# llvm-strip keeps the linker's reproducible timestamp.
set(CMAKE_STRIP llvm-strip-14)
set(CMAKE_OBJDUMP llvm-objdump-14)

get_filename_component(velo_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
# A folder setting: the CMake setting, else the environment variable of that name, else `default`.
macro(velo_folder_setting name default description)
    if(NOT ${name})
        if(DEFINED ENV{${name}})
            set(${name} "$ENV{${name}}")
        else()
            set(${name} "${default}")
        endif()
    endif()
    set(${name} "${${name}}" CACHE PATH "${description}")
endmacro()
if(NOT VELO_MSVC_STL_DIR AND NOT DEFINED ENV{VELO_MSVC_STL_DIR})
    execute_process(COMMAND bash "${velo_root}/tools/msvc-stl.sh"
        OUTPUT_VARIABLE velo_found_stl OUTPUT_STRIP_TRAILING_WHITESPACE
        ERROR_VARIABLE velo_stl_missing)
endif()
velo_folder_setting(VELO_MSVC_STL_DIR "${velo_found_stl}"
    "The MSVC STL headers (the inc/ folder of its release vs-2022-17.4)")
get_filename_component(VELO_MSVC_STL_DIR "${VELO_MSVC_STL_DIR}" REALPATH)
if(NOT EXISTS "${VELO_MSVC_STL_DIR}/yvals_core.h")
    message(FATAL_ERROR "The MSVC STL headers are not in '${VELO_MSVC_STL_DIR}'. Set VELO_MSVC_STL_DIR "
        "(environment variable or -DVELO_MSVC_STL_DIR=) to the stl/inc folder of a clone of "
        "https://github.com/microsoft/STL at tag vs-2022-17.4.\n${velo_stl_missing}")
endif()
velo_folder_setting(VELO_WINDOWS_SDK_DIR "${velo_root}/build/windows-sdk"
    "Where the Windows SDK and UCRT are restored from NuGet")
# The compiler checks run in projects of their own, which read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELO_MSVC_STL_DIR VELO_WINDOWS_SDK_DIR)
velo_windows_sdk_setup("${VELO_WINDOWS_SDK_DIR}")

# The VC runtime stand-ins, the STL, then the SDK; /X: nothing from the build machine.
set(VELO_VC_RUNTIME_STAND_IN ON)
set(velo_includes "${velo_root}/VcRuntimeStandIn/include" "${VELO_MSVC_STL_DIR}" ${VELO_SDK_INCLUDE_DIRS})
set(velo_include_flags "")
foreach(dir IN LISTS velo_includes)
    string(APPEND velo_include_flags " /imsvc \"${dir}\"")
endforeach()
# The debug information's folder is "." and clang 14 writes its whole command line into it: the
# launcher below writes the source and build folders relative to where each compile runs.
# The STL's vectorised algorithms live in the static part of Visual Studio's msvcprt.lib, which
# is not here: the STL's plain loops instead (the ABI is the same).
set(velo_cl_flags "/X /Z7 /D_USE_STD_VECTOR_ALGORITHMS=0 /clang:-fdebug-compilation-dir=. /clang:-fcoverage-compilation-dir=.${velo_include_flags}")
string(APPEND CMAKE_C_FLAGS_INIT " ${velo_cl_flags}")
string(APPEND CMAKE_CXX_FLAGS_INIT " ${velo_cl_flags}")
set(CMAKE_RC_FLAGS_INIT "${velo_include_flags}")
set(CMAKE_C_COMPILER_LAUNCHER
    ${CMAKE_CURRENT_LIST_DIR}/relative-paths.sh ${velo_root} ${CMAKE_BINARY_DIR})
set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_C_COMPILER_LAUNCHER})
# lld-link writes its command line and folder into each PDB too.
set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_C_COMPILER_LAUNCHER})
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_C_COMPILER_LAUNCHER})

# No default libraries (the debug runtime, oldnames.lib and the GUI libraries are not here): the
# UCRT, the C++ runtime DLLs and kernel32, and the VC runtime stand-in that each binary links
# (velo_static_runtime). The compiler checks compile without linking.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(velo_link_flags "/nodefaultlib /debug /pdbsourcepath:. /libpath:\"${VELO_SDK_LIBRARY_DIR}\"")
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " ${velo_link_flags}")
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " ${velo_link_flags}")
set(CMAKE_C_STANDARD_LIBRARIES "ucrt.lib vcruntime140.lib kernel32.lib" CACHE STRING
    "Libraries every C binary links")
set(CMAKE_CXX_STANDARD_LIBRARIES "ucrt.lib vcruntime140.lib msvcp140.lib kernel32.lib" CACHE STRING
    "Libraries every C++ binary links")

set(CMAKE_FIND_ROOT_PATH "${VELO_WINDOWS_SDK_DIR}")
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
