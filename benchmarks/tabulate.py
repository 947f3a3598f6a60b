#!/usr/bin/env python3
"""Prints the performance tables of one or more runs of a benchmark program, as Markdown.

Each run is a JSON file whose "benchmarks" list holds one object a path, with its "run_name" and
its figures: the native program's Google Benchmark counters, or the managed program's own. A
path named "Scripted/..." or "Waits/..." goes to the table of its group, any other to the first
table. With several runs, each figure is the median over the runs, and beside each ratio its
range across the runs and its largest distance from that median.

    tabulate.py native|managed RUN.json...
"""
import json
import statistics
import sys

ORDER = ["Login", "Base", "QrCode", "Account", "WebView", "Notice1", "Notice20", "Notice1000"]
GROUPS = ["Scripted/", "Waits/"]


def load(path):
    with open(path) as file:
        run = json.load(file)
    return run.get("context", {}), {b["run_name"].replace("/manual_time", ""): b
                                    for b in run["benchmarks"]}


def rank(name):
    """Requests after deliveries, result kinds in ORDER, any other path where its run has it."""
    kind = name.split("/")[-1]
    return (name.startswith("Request"), ORDER.index(kind) if kind in ORDER else len(ORDER))


def group(name):
    return next((prefix for prefix in GROUPS if name.startswith(prefix)), None)


class Runs:
    """The runs of one program: each figure the median over the runs."""

    def __init__(self, runs):
        self.context = runs[0][0]
        self.runs = [benchmarks for _, benchmarks in runs]
        self.names = sorted(self.runs[0], key=rank)

    def __call__(self, name, figure):
        return statistics.median(run[name][figure] for run in self.runs)

    def ratio(self, name):
        """The ratio, its quartiles, and its range across the runs with the largest distance
        from the median."""
        ratios = [run[name]["ratio"] for run in self.runs]
        middle = self(name, "ratio")
        across = "–"
        if len(ratios) > 1:
            spread = max(abs(r / middle - 1) for r in ratios) * 100
            across = f"{min(ratios):.2f}–{max(ratios):.2f} (±{spread:.1f} %)"
        return [f"{middle:.2f}", f"{self(name, 'ratio_q1'):.2f}–{self(name, 'ratio_q3'):.2f}",
                across]

    def of(self, prefix):
        """The paths of one table: those of the group `prefix`, or of no group for None."""
        return [name for name in self.names if group(name) == prefix]

    def print_table(self, names, columns, aligned=None):
        """`columns`: (headers, the cells of a path) pairs. Every column but the first is aligned
        right unless `aligned` gives each column's alignment row."""
        headers = [header for heads, _ in columns for header in heads]
        print("| " + " | ".join(headers) + " |")
        print(aligned or "|---|" + "---:|" * (len(headers) - 1))
        for name in names:
            print("| " + " | ".join(cell for _, cells in columns for cell in cells(name)) + " |")

    def pairs(self, names):
        return ", ".join(
            f"{name.replace('Delivery/', '')} {self(name, 'pairs'):.0f}×{self(name, 'batch'):.0f}"
            for name in names)


RATIO = ["ratio", "quartiles", "across runs"]


def scripted(m, figure, unit, fire, digits):
    """The table of the scripted answers beside `fire`: a result's time in `unit`, from the
    figures "time_<figure>" and "baseline_<figure>" of one call, which delivers "results"."""
    names = m.of("Scripted/")
    if not names:
        return

    def per_result(time):
        return lambda n: [f"{m(n, time) / m(n, 'results'):,.{digits}f}"]

    print()
    m.print_table(names, [
        (["scripted answers"], lambda n: [n]),
        ([f"time a result ({unit})"], per_result("time_" + figure)),
        ([f"{fire} a result ({unit})"], per_result("baseline_" + figure)),
        (RATIO, m.ratio),
    ])
    print()
    results = m(names[0], "results")
    print(f"pairs × calls a batch, a call {results:,.0f} results: {m.pairs(names)}")


def native(runs):
    m = Runs(runs)
    names = m.of(None)
    m.print_table(names, [
        (["path"], lambda n: [n]),
        (["bytes"], lambda n: [f"{m(n, 'bytes'):.0f}"]),
        (["time (ns)"], lambda n: [f"{m(n, 'time_ns'):,.0f}"]),
        (["single pass (ns)"], lambda n: [f"{m(n, 'baseline_ns'):,.0f}"]),
        (RATIO, m.ratio),
        (["allocations (single pass)"],
         lambda n: [f"{m(n, 'allocations'):.0f} ({m(n, 'baseline_allocations'):.0f})"]),
    ])
    print()
    print(f"{len(runs)} run(s); pairs × calls a batch: {m.pairs(names)}")
    for name in names:
        if name.startswith("Delivery/Notice"):
            print(f"{name}: {m(name, 'time_ns') / m(name, 'bytes'):.2f} ns a byte, "
                  f"single pass {m(name, 'baseline_ns') / m(name, 'bytes'):.2f}")
        if name.startswith("Request/"):
            print(f"{name} over the direct core call: "
                  f"{m(name, 'time_ns') - m(name, 'baseline_ns'):.1f} ns")
    scripted(m, "ns", "ns", "veloStandInFire", 0)


def managed(runs):
    m = Runs(runs)
    names = m.of(None)

    def cost(time, size):
        return lambda n: [f"{m(n, time):.2f} µs, {m(n, size):.2f} KB"]

    m.print_table(names, [
        (["result"], lambda n: [n]),
        (["bytes"], lambda n: [f"{m(n, 'bytes'):.0f}"]),
        (["callback thread"], cost("callback_us", "callback_kb")),
        (["main thread"], cost("main_us", "main_kb")),
        (["reference"], cost("reference_us", "reference_kb")),
        (["time " + RATIO[0]] + RATIO[1:], m.ratio),
        (["bytes ratio"], lambda n: [f"{m(n, 'bytes_ratio'):.2f}"]),
        (["main-thread time ratio"], lambda n: [f"{m(n, 'main_ratio'):.2f}"]),
    ])
    print()
    print(f"{len(runs)} run(s) under {m.context['runtime']}; pairs × results a batch: "
          f"{m.pairs(names)}")
    scripted(m, "us", "µs", "VeloStandIn.Fire", 2)
    waits = m.of("Waits/")
    if waits:
        print()
        m.print_table(waits, [
            (["waits"], lambda n: [n.split("/", 1)[1]]),
            (["per"], lambda n: [m.runs[0][n]["per"]]),
            (["time (µs)"], lambda n: [f"{m(n, 'time_us'):.3f}"]),
        ], "|---|---|---:|")
        print()
        least = min(run[n]["repetitions"] for run in m.runs for n in waits)
        print(f"medians of {least} or more repetitions a run")


if __name__ == "__main__":
    {"native": native, "managed": managed}[sys.argv[1]]([load(path) for path in sys.argv[2:]])
