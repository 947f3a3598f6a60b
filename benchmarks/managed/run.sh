#!/usr/bin/env bash
# Builds the native libraries (Release) and the managed benchmark, and runs it under mono, the
# runtime Unity uses, printing one table: per result kind, the binding's cost on the core's thread
# and on the main thread beside one JsonConvert.DeserializeObject<T> of the same text.
#   benchmarks/managed/run.sh [repetitions]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
cmake --preset bench >/dev/null
cmake --build --preset bench --target VeloUnityAdapter VeloCore >/dev/null
DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 dotnet build benchmarks/managed -nologo -v q \
    -c Release -p:VeloBuildDir="$root/build/bench/csharp/" -p:VeloSchedulePoints=false >/dev/null
out=build/bench/csharp/bin/VeloManagedBenchmarks/Release/net48
ln -sf "$root/build/bench/VeloUnityAdapter/libVeloUnityAdapter.so" \
    "$root/build/bench/StandInCore/libVeloCore.so" "$out/"
mono --optimize=all "$out/VeloManagedBenchmarks.exe" "${1:-15}"
