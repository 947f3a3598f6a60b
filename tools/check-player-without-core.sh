#!/usr/bin/env bash
# A player build as the package leaves it: the adapter's library is there, the stand-in core is
# not (it is for the editor only). VeloAdapter.Initialize must fail at once and tell the studio to
# add the real core, and VeloAdapter.Diagnose, which the sample logs then, must report the core
# not found. With the packaged core beside the adapter, the demo session runs.
#   tools/check-player-without-core.sh <tarball>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tarball=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 dotnet build "$root/csharp/VeloDemoConsole" \
    -nologo -v q -c Release -p:VeloBuildDir="$work/csharp/" >/dev/null
tar -xzf "$tarball" -C "$work"
player=$work/player
cp -r "$work/csharp/bin/VeloDemoConsole/Release/net48" "$player"
cp "$work/package/Plugins/x86_64/libVeloUnityAdapter.so" "$player/"

echo "-- the packaged adapter without a core, as VeloAdapter.Diagnose reports it:"
status=0
mono "$player/VeloDemoConsole.exe" >"$work/without.log" 2>&1 || status=$?
sed -n '/^Corvan Velo .* native libraries:/,$p' "$work/without.log" | fold -s -w 100 | sed 's/^/   /'
if [ "$status" -eq 0 ] || ! grep -q "VeloAdapterException: .*Add the real core's library" "$work/without.log" ||
    ! grep -q "^Corvan Velo .* native libraries: CoreMissing$" "$work/without.log" ||
    ! grep -q "^- VeloCore (libVeloCore.so): not found$" "$work/without.log"; then
    echo "FAIL: Initialize and Diagnose did not name the missing core" >&2
    cat "$work/without.log" >&2
    exit 1
fi

echo "-- the packaged adapter with the packaged core beside it:"
cp "$work/package/Plugins/x86_64/libVeloCore.so" "$player/"
mono "$player/VeloDemoConsole.exe" | tail -n 1 | sed 's/^/   /'
echo "ok: a player without the core fails at Initialize, and Diagnose names the core; with it, the session runs"
