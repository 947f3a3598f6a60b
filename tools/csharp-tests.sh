#!/usr/bin/env bash
# The Unity package's C#, built with the .NET SDK as Unity compiles it (C# 9, .NET Standard 2.0 and
# 2.1, Json.NET 13.0.2 and NUnit 3 from NuGet) and run against the native libraries of a Linux
# build. Outputs go to <cmake build dir>/csharp.
#   tools/csharp-tests.sh build  <cmake build dir>   restore, build with Unity's defines against
#                                                     the stand-in for Unity's API, put the
#                                                     libraries beside
#   tools/csharp-tests.sh mono   <cmake build dir>   the tests under mono, NUnit's console runner
#   tools/csharp-tests.sh dotnet <cmake build dir>   the tests under .NET, dotnet test
#   tools/csharp-tests.sh aot    <cmake build dir>   the tests under mono's full AOT, without a
#                                                     JIT, as IL2CPP players run code
#   tools/csharp-tests.sh windows <windows build dir> the tests as a Windows x86-64 program
#                                                     under Wine, against that build's DLLs
#   tools/csharp-tests.sh demo   <cmake build dir>   the demo session under mono
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
step=${1:?usage: csharp-tests.sh build|mono|dotnet|aot|windows|demo <cmake build dir>}
build=$(cd "${2:?usage: csharp-tests.sh $step <cmake build dir>}" && pwd)
out=$build/csharp
bin=$out/bin
export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1
export VELO_EXPORTS_FILE=$root/VeloUnityAdapter/UnityBridge/exports.txt
export VELO_PACKAGE_MANIFEST=$root/Unity/com.corvan.velo/package.json
tests=$bin/Corvan.Velo.Unity.Tests/Debug
# The same suite as one program that runs itself (csharp/VeloTestRunner), for Windows and full AOT.
program=$bin/VeloTestRunner/Debug
# The sets of native libraries that cannot be used (tests/CMakeLists.txt), and the names the
# adapter imports from the core with the toolchain's demangling of each.
export VELO_LOAD_FAILURES=$build/load-failures VELO_CORE_IMPORTS=$out/core-imports.txt

# The suite's program beside the libraries of each set, as a player's executable is: it runs
# there as a player does (the suite's LoadFailureTests start it).
lay_out_sets() {
    local set
    for set in "$VELO_LOAD_FAILURES"/*/; do
        find "$1" -maxdepth 1 -type f \( -name '*.dll' -o -name '*.exe' -o -name '*.config' \
            -o -name '*.deps.json' -o -name '*.runtimeconfig.json' \) \
            ! -name 'VeloUnityAdapter.dll' ! -name 'VeloCore.dll' \
            -exec ln -f {} "$set" \;
    done
}

# "<runtime>: N passed, M failed" from the counts of a results file, and the run's status.
summary() {
    local runtime=$1 total=$2 passed=$3 status=$4
    echo "C# under $runtime: $passed passed, $((total - passed)) failed or skipped"
    [ "$status" -eq 0 ] && [ "$passed" -eq "$total" ] && [ "$total" -gt 0 ]
}

attribute() { grep -o -m1 "$1=\"[0-9]*\"" "$2" | grep -o '[0-9]*'; }

# Compiles an assembly ahead of time, for a run without a JIT, unless its image is up to date.
# Each image holds a fixed number of trampolines, which the whole suite's calls into it share: a
# run that needs more aborts ("Ran out of trampolines").
trampolines=8192
aot() {
    [ "$2" -nt "$1" ] || mono --aot=full,nimt-trampolines=2048,ntrampolines=$trampolines,outfile="$2" \
        "$1" >"$2.log" 2>&1 || {
        tail -n 20 "$2.log"
        return 1
    }
}

case $step in
build)
    # The package as the editor compiles it (runtime and tests, with the repository's own tests),
    # its tests at .NET Standard 2.1; the demo.
    for project in Corvan.Velo.Unity.Tests UnityCompileChecks/EditorTests.csproj VeloDemoConsole; do
        dotnet build "$root/csharp/$project" -nologo -v q -p:VeloBuildDir="$out/"
    done
    # The runtime and the sample's assembly as a player build of each platform compiles them:
    # those the native libraries are for, and those where Initialize says there are none.
    for platform in Windows Linux macOS Android iOS WebGL; do
        dotnet build "$root/csharp/UnityCompileChecks/Sample.csproj" -nologo -v q \
            -p:VeloBuildDir="$out/" -p:VeloPlatform="$platform"
    done
    # The suite as one program, for mono's full AOT (the Windows one is built by that step).
    dotnet build "$root/csharp/VeloTestRunner" -nologo -v q -f net48 -p:VeloBuildDir="$out/"
    # The libraries beside the assemblies, as links: the adapter and the tests share one core.
    for dir in "$tests"/net48 "$tests"/net10.0 "$program"/net48 "$bin"/VeloDemoConsole/Debug/net48; do
        ln -sf "$build/VeloUnityAdapter/libVeloUnityAdapter.so" "$build/StandInCore/libVeloCore.so" "$dir/"
    done
    lay_out_sets "$program/net48"
    python3 "$root/tools/check-core.py" --imports "$build/VeloUnityAdapter/libVeloUnityAdapter.so" \
        >"$VELO_CORE_IMPORTS"
    ;;
mono)
    console=$(ls -d "${NUGET_PACKAGES:-$HOME/.nuget/packages}"/nunit.consolerunner/*/tools | tail -n 1)
    cd "$tests/net48"
    status=0
    # In one process and domain: the core's own thread, once it has called into managed code,
    # stays attached to the runtime, and unloading a separate domain would wait for it forever.
    mono "$console/nunit3-console.exe" Corvan.Velo.Unity.Tests.dll --inprocess \
        --noheader --result=mono-results.xml >mono.log 2>&1 || status=$?
    sed -n '/^Errors, Failures and Warnings/,/^Test Run Summary/p' mono.log
    grep -E "^  (Overall result|Test Count)" mono.log || tail -n 20 mono.log
    summary mono "$(attribute total mono-results.xml)" "$(attribute passed mono-results.xml)" "$status"
    ;;
dotnet)
    status=0
    dotnet test "$root/csharp/Corvan.Velo.Unity.Tests" -nologo --no-build -f net10.0 \
        -p:VeloBuildDir="$out/" --results-directory "$out/dotnet-results" \
        --logger "trx;LogFileName=results.trx" --logger "console;verbosity=minimal" || status=$?
    trx=$out/dotnet-results/results.trx
    summary .NET "$(attribute total "$trx")" "$(attribute passed "$trx")" "$status"
    ;;
aot)
    # The framework assemblies that the suite's images load (mono names any missing one as it
    # starts), compiled once per machine: about 150 MB, minutes. mscorlib comes from the cache through MONO_PATH: Debian's own image of it, compiled
    # with a JIT, would be found before any --aot-path.
    cache=${XDG_CACHE_HOME:-$HOME/.cache}/velo-mono-aot/$(mono --version | sed -n '1s/.* version \([^ ]*\) .*/\1/p')-t$trampolines
    mkdir -p "$cache"
    cp -u /usr/lib/mono/4.5/mscorlib.dll "$cache/"
    ln -sfn /usr/lib/mono/4.5/Facades "$cache/Facades"
    for name in mscorlib Facades/netstandard System System.Core System.Xml System.Xml.Linq \
        System.Numerics System.Data System.Configuration System.Transactions System.Security \
        System.Runtime.Serialization System.Runtime.Serialization.Formatters.Soap \
        System.ServiceModel.Internals System.ComponentModel.DataAnnotations System.Drawing \
        System.Windows.Forms System.Design System.DirectoryServices System.Web System.Web.Services \
        System.Web.ApplicationServices Mono.Security Mono.Posix Mono.WebBrowser Mono.Data.Sqlite \
        Novell.Directory.Ldap; do
        aot "/usr/lib/mono/4.5/$name.dll" "$cache/${name#*/}.dll.so"
    done
    cd "$program/net48"
    for assembly in *.dll *.exe; do aot "$assembly" "$assembly.so"; done
    MONO_PATH=$cache mono --aot-path="$cache" --full-aot Corvan.Velo.Unity.Tests.exe |
        sed "\$s/^/C# under mono's full AOT: /"
    ;;
windows)
    # A self-contained program (the .NET runtime inside), beside the DLLs this build ships.
    dotnet build "$root/csharp/VeloTestRunner" -nologo -v q -f net10.0 -p:VeloBuildDir="$out/"
    cd "$program/net10.0/win-x64"
    ln -sf "$build/bin/VeloUnityAdapter.dll" "$build/bin/VeloCore.dll" .
    # Beside the program in every set too (lay_out_sets links files, not links).
    ln -f "$build/bin/VeloWineTestSupport.dll" .
    lay_out_sets .
    # The player without the C++ runtime: Wine refuses it msvcp140.dll, as if it were not there
    # (an override for that program alone).
    ln -f Corvan.Velo.Unity.Tests.exe "$VELO_LOAD_FAILURES/runtime-absent/VeloPlayerWithoutRuntime.exe"
    "${VELO_WINE:-wine}" reg add 'HKCU\Software\Wine\AppDefaults\VeloPlayerWithoutRuntime.exe\DllOverrides' \
        /v msvcp140 /d '' /f >/dev/null 2>&1
    python3 "$root/tools/check-core.py" --imports "$build/bin/VeloUnityAdapter.dll" \
        >"$VELO_CORE_IMPORTS"
    # Wine 8 does not keep up with the runtime's double mapping of the code it generates.
    DOTNET_EnableWriteXorExecute=0 "${VELO_WINE:-wine}" Corvan.Velo.Unity.Tests.exe |
        sed "\$s/^/C# under Wine: /"
    ;;
demo)
    mono "$bin/VeloDemoConsole/Debug/net48/VeloDemoConsole.exe"
    ;;
*)
    echo "csharp-tests.sh: unknown step '$step'" >&2
    exit 2
    ;;
esac
