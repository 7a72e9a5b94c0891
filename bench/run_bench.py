#!/usr/bin/python3
"""Runs every benchmark once and prints one table: accuracy against tick-based readings, the program's own
cost against the reference refresher, start-up and listing times, and the core's micro-benchmarks.
Each comparison is taken in the same run; the raw figures go to raw.txt beside the table."""
import argparse
import datetime
import json
import os
import re
import statistics
import subprocess
import sys

import program_cost


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/loadavg") as load:
        load_average = load.read().split()[0]
    date = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    return f"{date}; nproc {os.cpu_count()}, {model}; load average {load_average} at the start"


def fields(line):
    return {key: (float(value) if re.fullmatch(r"-?[\d.]+", value) else value)
            for key, value in re.findall(r"(\w+)=(\S+)", line)}


def run_accuracy(bench_dir, raw):
    output = subprocess.run([os.path.join(bench_dir, "proccpu_bench_accuracy"),
                             os.path.join(bench_dir, "proccpu_bench_load")],
                            capture_output=True, text=True, timeout=300, check=True).stdout
    raw.append(output)
    setup = fields(next(line for line in output.splitlines() if line.startswith("accuracy-setup")))
    pooled = [fields(line) for line in output.splitlines() if line.startswith("accuracy ")]
    return setup, pooled


def run_micro(bench_dir, raw):
    output = subprocess.run([os.path.join(bench_dir, "proccpu_bench_micro"), "--benchmark_format=json"],
                            capture_output=True, text=True, timeout=600, check=True).stdout
    raw.append(output)
    return {entry["name"]: entry for entry in json.loads(output)["benchmarks"]}


def verdict(met):
    return "yes" if met else "**no**"


def accuracy_rows(setup, pooled):
    rows = []
    for interval in pooled:
        ms = int(interval["interval_ms"])
        label = f"{ms} ms" if ms < 1000 else f"{ms // 1000} s"
        goal = "≥ 5× lower" if ms < 1000 else "—"
        met = verdict(interval["ratio"] >= 5) if ms < 1000 else "—"
        rows.append((f"Mean abs. error vs whole-run CPU clock, collects {label} apart (points; share of 0)",
                     f"{interval['service_mae']:.2f} ({interval['service_zero'] * 100:.1f} %)",
                     f"{interval['tick_mae']:.2f} ({interval['tick_zero'] * 100:.1f} %)",
                     f"{interval['ratio']:.1f}× lower", goal, met))
    within = min(interval["window_within"] for interval in pooled)
    worst = max(interval["window_max"] for interval in pooled)
    count = int(sum(interval["readings"] for interval in pooled))
    rows.append(("Readings within 0.1 point of the CPU clock over the same window",
                 f"{within * 100:.1f} % of {count} (worst {worst:.3f})", "—", "—", "all", verdict(within == 1.0)))
    return rows


def start_rows(starts):
    program, bare = statistics.median(starts["program"]), statistics.median(starts["bare"])
    runs = len(starts["program"])
    return [(f"Start to window mapped (ms, median of {runs}; reference: a bare Qt Widgets window)",
             f"{program:.0f} (min {min(starts['program']):.0f})", f"{bare:.0f} (min {min(starts['bare']):.0f})",
             f"{program / bare:.2f}×", "≤ 60", verdict(program <= 60))]


def cost_rows(costs):
    rows = []
    for cost in costs:
        rows.append((f"CPU per row refresh, {int(cost['rows'])} rows (µs; reference: per process refresh)",
                     f"{cost['us_per_row']:.1f}", f"{cost['ref_us_per_process']:.1f}", f"{cost['ratio']:.2f}×",
                     "≤ 1×", verdict(cost["ratio"] <= 1.0)))
        rows.append((f"CPU seconds per second, {int(cost['rows'])} rows",
                     f"{cost['cpu_per_s']:.4f}", "—", "—", "—", "—"))
        rows.append((f"Floor: CPU of one bare 5 ms sleep + wake-up (µs), during the {int(cost['rows'])}-row run",
                     f"{cost['sleep_us']:.1f}", f"{cost['ref_us_per_process']:.1f}",
                     f"{cost['sleep_us'] / cost['ref_us_per_process']:.2f}×", "—", "—"))
    for cost in costs:
        sleep_ratio = cost["listing_sleep_ms"] / (10 * cost["rows"])
        rows.append((f"Listing pass / (10 ms × rows), {int(cost['rows'])} rows (its 10 ms waits alone)",
                     f"{cost['listing_ratio']:.3f} ({sleep_ratio:.3f})", "—", "—", "≤ 1.05",
                     verdict(cost["listing_ratio"] <= 1.05)))
    big = max(costs, key=lambda cost: cost["rows"])
    rows.append((f"Peak RSS, {int(big['rows'])} rows (MB)", f"{big['peak_rss_mb']:.1f}", "—", "—",
                 "≤ 35 at 500 rows", verdict(big["peak_rss_mb"] <= 35 and big["rows"] >= 500)))
    return rows


def micro_rows(micro):
    def cpu(name, unit):
        entry = micro[name]
        return f"{entry['cpu_time']:.3g} {unit}"
    return [("Tree walk of the listing pass, 10 000 records (fakes, waits recorded)",
             cpu("treeWalk/10000/iterations:3", "ms"), "—", "—", "—", "—"),
            ("Tree walk, 1 000 records", cpu("treeWalk/1000/iterations:3", "ms"), "—", "—", "—", "—"),
            ("formatCpuValue", cpu("formatCpu", "ns"), "—", "—", "—", "—"),
            ("cpuText (row's value under the table lock)", cpu("cpuCellText", "ns"), "—", "—", "—", "—"),
            ("buildCounterPath (fake name library)", cpu("counterPath", "ns"), "—", "—", "—", "—")]


def table(rows):
    lines = ["| Measure | proccpu | Reference | Ratio | Goal | Met |", "|---|---|---|---|---|---|"]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--seconds", type=int, default=30)
    arguments = parser.parse_args()
    bench_dir = os.path.join(arguments.build, "bench")
    header = machine()
    raw = []
    print("Accuracy (3 loads x 10 s)...", file=sys.stderr, flush=True)
    setup, pooled = run_accuracy(bench_dir, raw)
    costs = []
    for target in (100, 600):
        print(f"Own cost with about {target} processes ({arguments.seconds} s)...", file=sys.stderr, flush=True)
        line = program_cost.cost_line(program_cost.measure(arguments.build, target, arguments.seconds))
        raw.append(line)
        costs.append(fields(line))
    print("Start-up times...", file=sys.stderr, flush=True)
    starts = program_cost.start_times(arguments.build, 5)
    raw.append(repr(starts))
    print("Micro-benchmarks...", file=sys.stderr, flush=True)
    micro = run_micro(bench_dir, raw)
    policy = "real-time (FIFO) load" if setup.get("policy") == "fifo" else "normal-priority load"
    notes = (f"Machine: {header}. Accuracy: {policy}; tick source = utime+stime of /proc/PID/stat. "
             "Reference = bench/RefresherMain.cpp, our own minimal tick-based refresher (every 0.5 s: "
             "/proc/PID/stat of every process, one formatted line each), run beside the program.")
    result = table(accuracy_rows(setup, pooled) + start_rows(starts) + cost_rows(costs) + micro_rows(micro)) + "\n\n" + notes
    with open(os.path.join(bench_dir, "results.md"), "w") as out:
        out.write(result + "\n")
    with open(os.path.join(bench_dir, "raw.txt"), "w") as out:
        out.write("\n".join(raw) + "\n")
    print(result)


if __name__ == "__main__":
    main()
