#!/usr/bin/env bash
# Builds the native libraries (Release) and the managed benchmark, and runs it `runs` times in a
# row under mono, the runtime Unity uses: per result kind, the binding's cost on the core's thread
# and on the main thread beside one JsonConvert.DeserializeObject<T> of the same text, timed in
# alternating batches; scripted answers beside fired ones, paired the same way; then what
# awaiting results costs, with 10,000 waits pending. With more than one run, the tables give the
# medians over the runs and, for each time ratio, its range across the runs and its largest
# distance from that median.
#   benchmarks/managed/run.sh [runs] [seconds a comparison]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
runs=${1:-1}
seconds=${2:-1}
cmake --preset bench >/dev/null
cmake --build --preset bench --target VeloUnityAdapter VeloCore >/dev/null
DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 dotnet build benchmarks/managed -nologo -v q \
    -c Release -p:VeloBuildDir="$root/build/bench/csharp/" -p:VeloSchedulePoints=false >/dev/null
out=build/bench/csharp/bin/VeloManagedBenchmarks/Release/net48
ln -sf "$root/build/bench/VeloUnityAdapter/libVeloUnityAdapter.so" \
    "$root/build/bench/StandInCore/libVeloCore.so" "$out/"
results=()
for ((run = 1; run <= runs; ++run)); do
    echo "run $run: load average $(cut -d' ' -f1-3 /proc/loadavg)"
    results+=(build/bench/managed-"$run".json)
    mono --optimize=all "$out/VeloManagedBenchmarks.exe" "$seconds" >"${results[-1]}"
done
echo "after: load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
python3 benchmarks/tabulate.py managed "${results[@]}"
