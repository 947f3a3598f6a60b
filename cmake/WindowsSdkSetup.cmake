# Set-up of the clang-cl cross build, run by its toolchain file when CMake configures: gets the
# Windows SDK and the UCRT (headers and x64 import libraries) from NuGet, lets their headers be
# found under every spelling they include each other by, and makes the import libraries of the
# C++ runtime DLLs from Wine's builds of them. Each step runs once; later configurations, and the
# compiler checks inside one, find its output in place.
#   velo_windows_sdk_setup(<folder>)   sets VELO_SDK_INCLUDE_DIRS and VELO_SDK_LIBRARY_DIR
set(VELO_WINDOWS_SDK_VERSION 10.0.26100.9169)
set(VELO_WINDOWS_SDK_HEADERS 10.0.26100.0)

function(velo_windows_sdk_restore dir)
    set(packages "${dir}/packages")
    set(stamp "${packages}/restored-${VELO_WINDOWS_SDK_VERSION}")
    if(EXISTS "${stamp}")
        return()
    endif()
    find_program(VELO_DOTNET dotnet)
    if(NOT VELO_DOTNET)
        message(FATAL_ERROR "The Windows build restores the Windows SDK from NuGet with the .NET SDK "
            "(`dotnet`), which is not on PATH.")
    endif()
    message(STATUS "Restoring Microsoft.Windows.SDK.CPP(.x64) ${VELO_WINDOWS_SDK_VERSION} from NuGet "
        "into ${packages}")
    file(WRITE "${dir}/restore/restore.csproj" "<Project Sdk=\"Microsoft.NET.Sdk\">
  <PropertyGroup><TargetFramework>net10.0</TargetFramework></PropertyGroup>
  <ItemGroup>
    <PackageDownload Include=\"Microsoft.Windows.SDK.CPP\" Version=\"[${VELO_WINDOWS_SDK_VERSION}]\" />
    <PackageDownload Include=\"Microsoft.Windows.SDK.CPP.x64\" Version=\"[${VELO_WINDOWS_SDK_VERSION}]\" />
  </ItemGroup>
</Project>
")
    execute_process(
        COMMAND "${VELO_DOTNET}" restore "${dir}/restore/restore.csproj" --packages "${packages}"
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "Restoring the Windows SDK from NuGet failed:\n${out}")
    endif()
    file(TOUCH "${stamp}")
endfunction()

# The SDK's headers include each other as if file names ignored case (<Windows.h>, "WinBase.h",
# <winver.h>). For every header that another one names under a spelling that is not its own, a
# link under that spelling goes into `links`, searched after the SDK's own folders.
function(velo_windows_sdk_case_links links)
    if(EXISTS "${links}/.done")
        return()
    endif()
    file(MAKE_DIRECTORY "${links}")
    set(known "")
    foreach(folder IN LISTS ARGN)
        file(GLOB headers RELATIVE "${folder}" "${folder}/*")
        foreach(header IN LISTS headers)
            string(TOLOWER "${header}" lower)
            set(path_${lower} "${folder}/${header}")
            list(APPEND known "${folder}/${header}")
        endforeach()
    endforeach()
    set(names "")
    foreach(header IN LISTS known)
        file(STRINGS "${header}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]+[>\"]")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" name "${line}")
            list(APPEND names "${name}")
        endforeach()
    endforeach()
    # And every header under its name in lower case, as sources written on Windows often spell it.
    foreach(header IN LISTS known)
        get_filename_component(name "${header}" NAME)
        string(TOLOWER "${name}" lower)
        list(APPEND names "${lower}")
    endforeach()
    list(REMOVE_DUPLICATES names)
    foreach(name IN LISTS names)
        string(TOLOWER "${name}" lower)
        if(DEFINED path_${lower} AND NOT path_${lower} MATCHES "/${name}$"
                AND NOT EXISTS "${links}/${name}")
            # Relative, so that the links hold wherever the folder is reached from (the release
            # check's clones reach this one through a link of their own).
            file(RELATIVE_PATH target "${links}" "${path_${lower}}")
            file(CREATE_LINK "${target}" "${links}/${name}" SYMBOLIC)
        endif()
    endforeach()
    file(TOUCH "${links}/.done")
endfunction()

# Sets `var` to llvm-readobj's dump of one table of a DLL (--coff-exports, --coff-imports).
function(velo_dll_table option dll var)
    execute_process(COMMAND llvm-readobj-14 ${option} "${dll}"
        OUTPUT_VARIABLE dump RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "llvm-readobj-14 ${option} cannot read ${dll}")
    endif()
    set(${var} "${dump}" PARENT_SCOPE)
endfunction()

# Sets `var` to the names a DLL exports.
function(velo_dll_exports dll var)
    velo_dll_table(--coff-exports "${dll}" dump)
    string(REGEX MATCHALL "\n  Name: [^\n]+" rows "${dump}")
    list(TRANSFORM rows REPLACE "^\n  Name: " "")
    set(${var} ${rows} PARENT_SCOPE)
endfunction()

# An import library for one of Wine's PE DLLs, made from the DLL's export table: every name it
# exports, C++ names included (Wine's own import libraries leave those out).
function(velo_import_library dll lib)
    if(EXISTS "${lib}")
        return()
    endif()
    get_filename_component(name "${dll}" NAME)
    velo_dll_exports("${dll}" exports)
    list(JOIN exports "\n    " body)
    set(def "LIBRARY ${name}\nEXPORTS\n    ${body}\n")
    get_filename_component(stem "${lib}" NAME_WE)
    get_filename_component(folder "${lib}" DIRECTORY)
    file(WRITE "${folder}/${stem}.def" "${def}")
    execute_process(COMMAND llvm-dlltool-14 -m i386:x86-64 -d "${folder}/${stem}.def" -l "${lib}"
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "llvm-dlltool-14 failed to make ${lib}")
    endif()
endfunction()

function(velo_windows_sdk_setup dir)
    velo_windows_sdk_restore("${dir}")
    set(sdk "${dir}/packages/microsoft.windows.sdk.cpp/${VELO_WINDOWS_SDK_VERSION}/c")
    set(sdk_x64 "${dir}/packages/microsoft.windows.sdk.cpp.x64/${VELO_WINDOWS_SDK_VERSION}/c")
    set(include "${sdk}/Include/${VELO_WINDOWS_SDK_HEADERS}")
    set(folders "${include}/ucrt" "${include}/shared" "${include}/um")
    velo_windows_sdk_case_links("${dir}/case-links" ${folders})

    set(libs "${dir}/lib")
    file(MAKE_DIRECTORY "${libs}")
    foreach(lib ucrt/x64/ucrt.lib um/x64/kernel32.Lib)
        get_filename_component(name "${lib}" NAME)
        string(TOLOWER "${name}" name)
        if(NOT EXISTS "${libs}/${name}")
            file(CREATE_LINK "${sdk_x64}/${lib}" "${libs}/${name}" SYMBOLIC)
        endif()
    endforeach()
    set(wine /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
    foreach(runtime msvcp140 vcruntime140)
        if(NOT EXISTS "${wine}/${runtime}.dll")
            message(FATAL_ERROR "${wine}/${runtime}.dll is missing (Debian package wine64)")
        endif()
        velo_import_library("${wine}/${runtime}.dll" "${libs}/${runtime}.lib")
    endforeach()

    set(VELO_SDK_INCLUDE_DIRS ${folders} "${dir}/case-links" PARENT_SCOPE)
    set(VELO_SDK_LIBRARY_DIR "${libs}" PARENT_SCOPE)
endfunction()
