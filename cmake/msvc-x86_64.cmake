# What every Windows build of the DLLs shares, whichever MSVC-compatible compiler it uses: the
# C++ ABI of the real core, which is built with MSVC and its standard library. Used as it is for
# Visual Studio 2022 (cl.exe, the windows-msvc preset); cmake/clang-cl-x86_64.cmake builds on it
# to cross-compile here.
# - /MD in every configuration: the core allocates strings that the adapter frees, so both use the
#   one C runtime DLL, the release one (a debug runtime changes std::string's layout).
# - _ITERATOR_DEBUG_LEVEL=0 as the release runtime has it; there is no Debug configuration.
# - CodeView debug information in a PDB named by file name only, and reproducible links.
set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreadedDLL)
set(CMAKE_CONFIGURATION_TYPES RelWithDebInfo Release)
set(CMAKE_C_FLAGS_INIT "/D_ITERATOR_DEBUG_LEVEL=0 /Brepro")
set(CMAKE_CXX_FLAGS_INIT "/D_ITERATOR_DEBUG_LEVEL=0 /Brepro")
set(velo_msvc_link_flags "/PDBALTPATH:%_PDB% /Brepro")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${velo_msvc_link_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${velo_msvc_link_flags}")
