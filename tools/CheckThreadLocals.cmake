# Refuses a DLL of the clang-cl build that builds or destroys thread_local objects at run time:
# this build's start-up code cannot build them on threads that were running before the DLL
# loaded, where Visual Studio's does (VcRuntimeStandIn/README.md). Reads the linker's map of it:
# - a dynamic initialiser of thread_local objects is an input section .CRT$XD? other than the
#   bounds of their table (.CRT$XDA, .CRT$XDZ), named with the object it came from;
# - a destructor is registered through __tlregdtor, which the runtime links only when something
#   refers to it: the objects whose undefined symbols name it.
# Names each such object and fails; with REMOVE, it removes the DLL first, so that no later build
# takes it for a good one.
#   cmake -DLIBRARY=<dll> -DMAP=<lld-link /lldmap file> -DLINK_DIR=<folder the link ran in>
#         [-DNM=llvm-nm] [-DREMOVE=ON] -P CheckThreadLocals.cmake
foreach(setting LIBRARY MAP LINK_DIR)
    if(NOT DEFINED ${setting})
        message(FATAL_ERROR "CheckThreadLocals: ${setting} is required")
    endif()
endforeach()
if(NOT NM)
    set(NM llvm-nm)
endif()

# Input sections are listed as "<address> <size> <alignment> <object>:(<section>)".
set(input_section "^ *[0-9a-f]+ +[0-9a-f]+ +[0-9]+ +(.+):\\((.+)\\)$")

set(initialising "")
file(STRINGS "${MAP}" rows REGEX ":\\(\\.CRT\\$XD[^)]*\\)$")
foreach(row IN LISTS rows)
    string(REGEX REPLACE "${input_section}" "\\1 (\\2)" initialiser "${row}")
    if(NOT initialiser MATCHES "\\(\\.CRT\\$XD[AZ]\\)$")
        list(APPEND initialising "${initialiser}")
    endif()
endforeach()

set(destroying "")
file(STRINGS "${MAP}" registration REGEX " __tlregdtor$")
if(registration)
    file(STRINGS "${MAP}" rows REGEX "${input_section}")
    set(objects "")
    foreach(row IN LISTS rows)
        string(REGEX REPLACE "${input_section}" "\\1" object "${row}")
        list(APPEND objects "${object}")
    endforeach()
    list(REMOVE_DUPLICATES objects)
    foreach(object IN LISTS objects)
        # The DLL's own objects; members of static libraries are named relative to theirs.
        get_filename_component(file "${object}" ABSOLUTE BASE_DIR "${LINK_DIR}")
        if(EXISTS "${file}")
            execute_process(COMMAND "${NM}" -u "${file}" OUTPUT_VARIABLE undefined)
            if(undefined MATCHES "(^|\n) *U __tlregdtor\n")
                list(APPEND destroying "${object}")
            endif()
        endif()
    endforeach()
    if(NOT destroying)
        set(destroying "(an object of a static library: run ${NM} -u on those in ${MAP})")
    endif()
endif()

if(initialising OR destroying)
    string(CONCAT report "CheckThreadLocals: ${LIBRARY} builds thread_local objects at run time, which this"
        " build cannot do on threads that were running before the DLL loaded (see"
        " VcRuntimeStandIn/README.md). Give them constant initialisation and no destructor, or"
        " manage the storage yourself.")
    if(initialising)
        list(JOIN initialising "\n  " initialising)
        string(APPEND report "\nDynamic initialisers of thread_local objects in:\n  ${initialising}")
    endif()
    if(destroying)
        list(JOIN destroying "\n  " destroying)
        string(APPEND report "\nDestructors of thread_local objects registered by:\n  ${destroying}")
    endif()
    if(REMOVE)
        file(REMOVE "${LIBRARY}")
    endif()
    message(FATAL_ERROR ${report})
endif()
message(STATUS "CheckThreadLocals: ${LIBRARY} builds no thread_local object at run time")
