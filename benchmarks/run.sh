#!/usr/bin/env bash
# Builds the benchmarks (Release), runs every path beside its baseline with interleaved
# repetitions, and prints one table: medians over the repetitions, the ratio being the median of
# the per-repetition ratios.
#   benchmarks/run.sh [repetitions] [seconds a run]
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-15}
min_time=${2:-0.2}

cmake --preset bench >/dev/null
cmake --build --preset bench --target VeloBenchmarks >/dev/null
build/bench/benchmarks/VeloBenchmarks --benchmark_repetitions="$repetitions" \
    --benchmark_min_time="$min_time" --benchmark_enable_random_interleaving=true \
    --benchmark_format=json --benchmark_out=build/bench/results.json \
    --benchmark_out_format=json >/dev/null

python3 - build/bench/results.json <<'PY'
import json, statistics, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
times, counters, per_result = {}, {}, {}
for run in runs:
    if run.get("run_type") != "iteration":
        continue
    times.setdefault(run["run_name"], []).append(run["real_time"])
    if run["run_name"].split("/")[0] in ("Scripted", "Fired"):
        # Per result: a run answers many.
        per_result.setdefault(run["run_name"], []).append(1e9 / run["items_per_second"])
    else:
        counters[run["run_name"]] = (run["bytes"], run["allocations"])

order = ["Login", "Base", "QrCode", "Account", "WebView", "Notice1", "Notice20", "Notice1000"]
rows = []
for name in sorted(times, key=lambda n: (n.startswith("Request"),
                                         order.index(n.split("/")[1]) if n.split("/")[1] in order else 0)):
    kind, path = name.split("/", 1)
    if kind not in ("Delivery", "Request"):
        continue
    base = ("Baseline/" if kind == "Delivery" else "RequestBaseline/") + path
    ratios = [a / b for a, b in zip(times[name], times[base])]
    rows.append((name, counters[name][0], statistics.median(times[name]),
                 statistics.median(times[base]), statistics.median(ratios),
                 counters[name][1], counters[base][1]))

print("| path | bytes | time (ns) | baseline (ns) | ratio | allocations (baseline) |")
print("|---|---:|---:|---:|---:|---:|")
for name, size, time, base, ratio, allocs, base_allocs in rows:
    print(f"| {name} | {size:.0f} | {time:,.0f} | {base:,.0f} | {ratio:.2f} | "
          f"{allocs:.0f} ({base_allocs:.0f}) |")
for name, size, time, base, *_ in rows:
    if name.startswith("Delivery/Notice"):
        print(f"{name}: {time / size:.2f} ns a byte")
req = next(r for r in rows if r[0].startswith("Request/"))
print(f"Request/Login over the direct core call: {req[2] - req[3]:.1f} ns")

print()
print("| scripted answers | time a result (ns) | veloStandInFire a result (ns) | ratio |")
print("|---|---:|---:|---:|")
for name in sorted(n for n in per_result if n.startswith("Scripted/")):
    fired = "Fired/" + name.split("/", 1)[1]
    ratios = [a / b for a, b in zip(per_result[name], per_result[fired])]
    print(f"| {name.replace('/real_time', '')} | {statistics.median(per_result[name]):,.0f} | "
          f"{statistics.median(per_result[fired]):,.0f} | {statistics.median(ratios):.2f} |")
PY
