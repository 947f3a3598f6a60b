# Finds a header-only library installed on the build machine and sets `var` to an include
# directory holding only it. When cross-compiling, the machine's own /usr/include must not reach
# the target compiler, so the library's folder is linked into the build tree.
function(velo_find_host_headers var header folder)
    find_path(velo_host_dir ${header} PATHS /usr/include /usr/local/include
        NO_CMAKE_FIND_ROOT_PATH)
    if(NOT velo_host_dir)
        message(FATAL_ERROR "${header} not found (install the package that provides ${folder})")
    endif()
    if(CMAKE_CROSSCOMPILING)
        set(isolated "${PROJECT_BINARY_DIR}/host-headers/${folder}")
        file(MAKE_DIRECTORY "${isolated}")
        if(NOT EXISTS "${isolated}/${folder}")
            file(CREATE_LINK "${velo_host_dir}/${folder}" "${isolated}/${folder}" SYMBOLIC)
        endif()
        set(${var} "${isolated}" PARENT_SCOPE)
    else()
        set(${var} "${velo_host_dir}" PARENT_SCOPE)
    endif()
    unset(velo_host_dir CACHE)
endfunction()

# Links the static part of the VC runtime into a Windows binary of the clang-cl build (Visual
# Studio brings its own).
function(velo_static_runtime target)
    if(VELO_VC_RUNTIME_STAND_IN)
        target_link_libraries(${target} PRIVATE VeloVcRuntime)
    endif()
endfunction()

# Has the linker of the clang-cl build write a map of what it put where in `target`, into the file
# `var` names: the objects each input section came from, and the symbols.
function(velo_link_map target var)
    set(map "${CMAKE_CURRENT_BINARY_DIR}/${target}.lldmap")
    target_link_options(${target} PRIVATE "/lldmap:${map}")
    set(${var} "${map}" PARENT_SCOPE)
endfunction()

# The command that checks a DLL of the clang-cl build for thread_local objects built or destroyed
# at run time (tools/CheckThreadLocals.cmake), into `var`; further arguments go before the script.
function(velo_thread_local_check target var)
    velo_link_map(${target} map)
    # Where the link runs, which the map's object names are relative to.
    set(link_dir "${CMAKE_CURRENT_BINARY_DIR}")
    if(CMAKE_GENERATOR MATCHES "Ninja")
        set(link_dir "${CMAKE_BINARY_DIR}")
    endif()
    set(${var} ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:${target}> -DMAP=${map}
        -DLINK_DIR=${link_dir} -DNM=${CMAKE_NM} ${ARGN}
        -P ${PROJECT_SOURCE_DIR}/tools/CheckThreadLocals.cmake PARENT_SCOPE)
endfunction()

# A DLL that ships: its link fails, naming the objects, when it would build or destroy
# thread_local objects at run time, which the clang-cl build cannot do on threads that were
# running before it loaded (VcRuntimeStandIn/README.md). Visual Studio's runtime can: no check.
function(velo_shipped_dll target)
    if(VELO_VC_RUNTIME_STAND_IN)
        velo_thread_local_check(${target} check -DREMOVE=ON)
        add_custom_command(TARGET ${target} POST_BUILD COMMAND ${check} VERBATIM)
    endif()
endfunction()

# Gives a library its version, by default the project's: on Windows a version resource, what
# Windows shows in the file's properties and what a crash report names; on ELF platforms a note
# (owner "Corvan", type 1, the version as text), which costs no symbol and which the C# binding
# reads from the loaded library to tell an old one still loaded from the package's.
#   velo_version_resource(<target> <product name> <description> [<version>])
function(velo_version_resource target product description)
    if(ARGC GREATER 3)
        set(PROJECT_VERSION "${ARGV3}")
        string(REPLACE "." ";" parts "${ARGV3}")
        list(GET parts 0 PROJECT_VERSION_MAJOR)
        list(GET parts 1 PROJECT_VERSION_MINOR)
        list(GET parts 2 PROJECT_VERSION_PATCH)
    endif()
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    if(NOT WIN32)
        set(note "${CMAKE_CURRENT_BINARY_DIR}/${target}.version-note.c")
        configure_file("${PROJECT_SOURCE_DIR}/cmake/version-note.c.in" "${note}" @ONLY)
        target_sources(${target} PRIVATE "${note}")
        return()
    endif()
    set(VELO_RC_PRODUCT "${product}")
    set(VELO_RC_DESCRIPTION "${description}")
    set(VELO_RC_FILENAME "${name}.dll")
    set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc")
    configure_file("${PROJECT_SOURCE_DIR}/cmake/version.rc.in" "${rc}" @ONLY)
    target_sources(${target} PRIVATE "${rc}")
endfunction()
