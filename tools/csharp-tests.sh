#!/usr/bin/env bash
# Builds the Unity package's C# binding and its tests with mono's compiler, and runs them under
# mono against the native libraries of a Linux build, then the C# demo session.
#   tools/csharp-tests.sh <cmake build dir>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: csharp-tests.sh <cmake build dir>}" && pwd)
package=$root/Unity/com.corvan.velo
out=$build/csharp
mkdir -p "$out"

newtonsoft=$(pkg-config --variable=libdir newtonsoft-json 2>/dev/null)/cli/Newtonsoft.Json-5.0/Newtonsoft.Json.dll
[ -f "$newtonsoft" ] || newtonsoft=/usr/lib/cli/Newtonsoft.Json-5.0/Newtonsoft.Json.dll
nunit=/usr/lib/cli/nunit.framework-2.6.3/nunit.framework.dll

# The libraries beside the assemblies, as links: the adapter and the tests must share one core.
ln -sf "$build/VeloUnityAdapter/libVeloUnityAdapter.so" "$out/"
ln -sf "$build/StandInCore/libVeloCore.so" "$out/"
cp -f "$newtonsoft" "$nunit" "$out/"

mcs -nologo -warnaserror -unsafe -target:library -out:"$out/Corvan.Velo.Unity.dll" \
    -r:"$newtonsoft" "$package"/Runtime/*.cs
mcs -nologo -warnaserror -target:library -out:"$out/Corvan.Velo.Unity.Tests.dll" \
    -r:"$out/Corvan.Velo.Unity.dll" -r:"$newtonsoft" -r:"$nunit" "$package"/Tests/Runtime/*.cs
mcs -nologo -warnaserror -target:exe -out:"$out/VeloDemoSession.exe" \
    -r:"$out/Corvan.Velo.Unity.dll" -r:"$newtonsoft" "$package"/Samples~/Demo/*.cs

cd "$out"
export VELO_EXPORTS_FILE=$root/VeloUnityAdapter/UnityBridge/exports.txt
status=0
# In the default domain: the core's own thread, once it has called into managed code, stays
# attached to the runtime, and unloading a separate test domain would wait for it forever.
nunit-console -nologo -noshadow -domain:None Corvan.Velo.Unity.Tests.dll -xml=results.xml >nunit.log 2>&1 || status=$?
grep -E "^(Tests run|Errors and Failures|[0-9]+\) )" -A3 nunit.log || true
total=$(grep -o 'total="[0-9]*"' results.xml | head -1 | grep -o '[0-9]*')
failed=$(( $(grep -o 'failures="[0-9]*"' results.xml | head -1 | grep -o '[0-9]*') +
           $(grep -o ' errors="[0-9]*"' results.xml | head -1 | grep -o '[0-9]*') ))
echo "C#: $((total - failed)) passed, $failed failed"
[ "$status" -eq 0 ] || exit "$status"

echo "-- the demo session from C#:"
mono VeloDemoSession.exe
