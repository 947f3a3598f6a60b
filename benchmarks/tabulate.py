#!/usr/bin/env python3
"""Prints the performance table of one or more runs of a benchmark program, as Markdown.

Each run is a JSON file whose "benchmarks" list holds one object a path, with its "run_name" and
its figures: the native program's Google Benchmark counters, or the managed program's own. With
several runs, each figure is the median over the runs, and beside each ratio its range across
the runs and its largest distance from that median.

    tabulate.py native|managed RUN.json...
"""
import json
import statistics
import sys

ORDER = ["Login", "Base", "QrCode", "Account", "WebView", "Notice1", "Notice20", "Notice1000"]


def load(path):
    with open(path) as file:
        run = json.load(file)
    return run.get("context", {}), {b["run_name"].replace("/manual_time", ""): b
                                    for b in run["benchmarks"]}


def rank(name):
    kind = name.split("/")[-1]
    return (name.startswith("Request"), ORDER.index(kind) if kind in ORDER else len(ORDER), name)


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

    def print_table(self, columns):
        """`columns`: (headers, the cells of a path) pairs."""
        headers = [header for heads, _ in columns for header in heads]
        print("| " + " | ".join(headers) + " |")
        print("|---|" + "---:|" * (len(headers) - 1))
        for name in self.names:
            print("| " + " | ".join(cell for _, cells in columns for cell in cells(name)) + " |")

    def pairs(self):
        return ", ".join(
            f"{name.replace('Delivery/', '')} {self(name, 'pairs'):.0f}×{self(name, 'batch'):.0f}"
            for name in self.names)


RATIO = ["ratio", "quartiles", "across runs"]


def native(runs):
    m = Runs(runs)
    m.print_table([
        (["path"], lambda n: [n]),
        (["bytes"], lambda n: [f"{m(n, 'bytes'):.0f}"]),
        (["time (ns)"], lambda n: [f"{m(n, 'time_ns'):,.0f}"]),
        (["single pass (ns)"], lambda n: [f"{m(n, 'baseline_ns'):,.0f}"]),
        (RATIO, m.ratio),
        (["allocations (single pass)"],
         lambda n: [f"{m(n, 'allocations'):.0f} ({m(n, 'baseline_allocations'):.0f})"]),
    ])
    print()
    print(f"{len(runs)} run(s); pairs × calls a batch: {m.pairs()}")
    for name in m.names:
        if name.startswith("Delivery/Notice"):
            print(f"{name}: {m(name, 'time_ns') / m(name, 'bytes'):.2f} ns a byte, "
                  f"single pass {m(name, 'baseline_ns') / m(name, 'bytes'):.2f}")
        if name.startswith("Request/"):
            print(f"{name} over the direct core call: "
                  f"{m(name, 'time_ns') - m(name, 'baseline_ns'):.1f} ns")


def managed(runs):
    m = Runs(runs)

    def cost(time, size):
        return lambda n: [f"{m(n, time):.2f} µs, {m(n, size):.2f} KB"]

    m.print_table([
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
    print(f"{len(runs)} run(s) under {m.context['runtime']}; pairs × results a batch: {m.pairs()}")


if __name__ == "__main__":
    {"native": native, "managed": managed}[sys.argv[1]]([load(path) for path in sys.argv[2:]])
