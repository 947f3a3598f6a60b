#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs the table `runs` times in a row. Each path is timed
# beside its baseline in alternating batches within one benchmark; its ratio is the median of the
# per-pair ratios, with their quartiles. With more than one run, the table gives the medians over
# the runs and, for each ratio, its largest distance from that median.
#   benchmarks/run.sh [runs] [seconds a benchmark]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1}
min_time=${2:-1}

cmake --preset bench >/dev/null
cmake --build --preset bench --target VeloBenchmarks >/dev/null
results=()
for ((run = 1; run <= runs; ++run)); do
    results+=(build/bench/results-"$run".json)
    build/bench/benchmarks/VeloBenchmarks --benchmark_min_time="$min_time" \
        --benchmark_format=json --benchmark_out="${results[-1]}" \
        --benchmark_out_format=json >/dev/null
done

python3 - "${results[@]}" <<'PY'
import json, statistics, sys
runs = [{b["run_name"].replace("/manual_time", ""): b for b in json.load(open(path))["benchmarks"]}
        for path in sys.argv[1:]]
order = ["Login", "Base", "QrCode", "Account", "WebView", "Notice1", "Notice20", "Notice1000"]
names = sorted(runs[0], key=lambda n: (n.startswith("Request"), order.index(n.split("/")[1])
                                       if n.split("/")[1] in order else 0))

def median(name, counter):
    return statistics.median(run[name][counter] for run in runs)

print("| path | bytes | time (ns) | baseline (ns) | ratio | quartiles | across runs | "
      "allocations (baseline) |")
print("|---|---:|---:|---:|---:|---:|---:|---:|")
for name in names:
    first = runs[0][name]
    ratio = median(name, "ratio")
    ratios = [run[name]["ratio"] for run in runs]
    spread = max(abs(r / ratio - 1) for r in ratios) * 100
    print(f"| {name} | {first['bytes']:.0f} | {median(name, 'time_ns'):,.0f} | "
          f"{median(name, 'baseline_ns'):,.0f} | {ratio:.2f} | "
          f"{median(name, 'ratio_q1'):.2f}–{median(name, 'ratio_q3'):.2f} | "
          + (f"±{spread:.1f} %" if len(runs) > 1 else "–") +
          f" | {first['allocations']:.0f} ({first['baseline_allocations']:.0f}) |")
print(f"{len(runs)} run(s) of {runs[0][names[0]]['pairs']:.0f}+ pairs a path")
for name in names:
    if name.startswith("Delivery/Notice"):
        print(f"{name}: {median(name, 'time_ns') / runs[0][name]['bytes']:.2f} ns a byte")
req = next(n for n in names if n.startswith("Request/"))
print(f"{req} over the direct core call: "
      f"{median(req, 'time_ns') - median(req, 'baseline_ns'):.1f} ns")
PY
