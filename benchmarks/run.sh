#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them `runs` times in a row: the deliveries and the
# request, then the scripted answers, a table each. Each path is timed beside its baseline in
# alternating batches within one benchmark; its ratio is the median of the per-pair ratios, with
# their quartiles. With more than one run, the tables give the medians over the runs and, for each
# ratio, its range across the runs and its largest distance from that median. The machine's load
# average is printed before each run: on a loaded machine the ratios move, the more so the
# shorter the path.
#   benchmarks/run.sh [runs] [seconds a benchmark]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1}
min_time=${2:-1}

cmake --preset bench >/dev/null
cmake --build --preset bench --target VeloBenchmarks >/dev/null
results=()
for ((run = 1; run <= runs; ++run)); do
    echo "run $run: load average $(cut -d' ' -f1-3 /proc/loadavg)"
    results+=(build/bench/results-"$run".json)
    build/bench/benchmarks/VeloBenchmarks --benchmark_min_time="$min_time" \
        --benchmark_format=json --benchmark_out="${results[-1]}" \
        --benchmark_out_format=json >/dev/null
done
echo "after: load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
python3 benchmarks/tabulate.py native "${results[@]}"
