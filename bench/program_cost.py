#!/usr/bin/python3
"""Own cost of the real program on a virtual display: time until its window is mapped, its listing pass,
then 30 s of sampling with its CPU time, rows refreshed and peak memory, beside the reference refresher
running over the same 30 s."""
import os
import re
import select
import signal
import struct
import subprocess
import tempfile
import time

from Xlib import X, display

DISPLAYS = range(60, 70)
TITLE_PREFIX = "Processes..."
ROW_WAIT_MS = 10


def free_display():
    for number in DISPLAYS:
        if not os.path.exists(f"/tmp/.X{number}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{number}"):
            return number
    raise RuntimeError("no free display among :60-:69")


def start_xvfb():
    number = free_display()
    server = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                               "-noreset"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            return server, f":{number}", display.Display(f":{number}")
        except Exception:  # the server is not accepting connections yet
            if server.poll() is not None:
                break
            time.sleep(0.05)
    stop(server)
    raise RuntimeError(f"Xvfb did not start on :{number}")


def stop(process, seconds=5):
    """Ends a process this script started, by its PID: a polite signal first, then a kill."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=seconds)


def process_count():
    return sum(1 for name in os.listdir("/proc") if name.isdigit())


def cpu_ns(pid):
    """The process's CPU clock (all its threads), as clock_getcpuclockid gives it."""
    return time.clock_gettime_ns((~pid << 3) | 2)


def peak_rss_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def read_counts(path):
    with open(path, "rb") as counts:
        return struct.unpack("<QQQQ", counts.read(32))


def next_event(disp, deadline):
    while not disp.pending_events():
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            return None
        select.select([disp.fileno()], [], [], remaining)
        disp.pending_events()  # reads what arrived
    return disp.next_event()


def wait_mapped(disp, deadline):
    while (event := next_event(disp, deadline)) is not None:
        if event.type == X.MapNotify and not event.override:
            return time.monotonic(), event.window
    raise RuntimeError("the window was not mapped")


def window_title(disp, window):
    prop = window.get_full_property(disp.intern_atom("_NET_WM_NAME"), disp.intern_atom("UTF8_STRING"))
    return prop.value.decode("utf-8", "replace") if prop is not None else ""


def wait_title(disp, window, deadline):
    window.change_attributes(event_mask=X.PropertyChangeMask)
    disp.sync()
    while True:
        title = window_title(disp, window)
        if title.startswith(TITLE_PREFIX):
            return time.monotonic(), title
        if next_event(disp, deadline) is None:
            raise RuntimeError("the totals title did not appear")


def start_session_bus():
    """A session bus as a desktop has one; without it the toolkit would launch one itself meanwhile."""
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return bus, bus.stdout.readline().strip()


def start_program(path, bench_dir, disp, display_name, bus_address, counts_path):
    environment = dict(os.environ, DISPLAY=display_name, DBUS_SESSION_BUS_ADDRESS=bus_address,
                       PROCCPU_SLEEP_COUNTS=counts_path,
                       LD_PRELOAD=os.path.join(bench_dir, "libproccpu_bench_sleepcount.so"))
    disp.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    disp.sync()
    started = time.monotonic()
    program = subprocess.Popen([path], env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return started, program


def sample(program, bench_dir, seconds, counts_path):
    """CPU time, sleeps counted and the reference refresher's figures over the same seconds, and the
    bare cost of a 5 ms sleep measured meanwhile."""
    counts_before, cpu_before = read_counts(counts_path), cpu_ns(program.pid)
    refresher = subprocess.Popen([os.path.join(bench_dir, "proccpu_bench_refresher"), str(seconds)],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    began = time.monotonic()
    sleep_cost = subprocess.run([os.path.join(bench_dir, "proccpu_bench_sleepcost")], capture_output=True,
                                text=True, timeout=60).stdout
    _, report = refresher.communicate(timeout=seconds + 30)
    elapsed = time.monotonic() - began
    counts_after, cpu_after = read_counts(counts_path), cpu_ns(program.pid)
    reference = dict(re.findall(r"(\w+)=(\d+)", report))
    return {"seconds": elapsed, "sleep_us": float(re.search(r"us_per_sleep=([\d.]+)", sleep_cost).group(1)), "cpu_ns": cpu_after - cpu_before,
            "row_refreshes": counts_after[0] - counts_before[0], "passes": counts_after[1] - counts_before[1],
            "ref_cpu_ns": int(reference["cpu_ns"]), "ref_process_refreshes": int(reference["process_refreshes"]),
            "ref_refreshes": int(reference["refreshes"])}


def measure(build, target, seconds):
    """One run with about `target` processes on the machine."""
    sleepers = [subprocess.Popen(["sleep", "3600"]) for _ in range(max(0, target - process_count()))]
    server, display_name, disp = start_xvfb()
    bus, bus_address = start_session_bus()
    program = None
    counts = tempfile.NamedTemporaryFile(prefix="proccpu-sleeps-")
    try:
        counts.write(bytes(32))
        counts.flush()
        started, program = start_program(os.path.join(build, "platform", "linux", "proccpu"),
                                         os.path.join(build, "bench"), disp, display_name, bus_address, counts.name)
        mapped, window = wait_mapped(disp, time.monotonic() + 30)
        cpu_at_map = cpu_ns(program.pid)
        listed, title = wait_title(disp, window, time.monotonic() + 120)
        listing_cpu_ns = cpu_ns(program.pid) - cpu_at_map
        listing_sleep_ns = read_counts(counts.name)[3]
        rows, threads = (int(n) for n in re.findall(r"\d+", title)[:2])
        figures = sample(program, os.path.join(build, "bench"), seconds, counts.name)
        figures.update(target=target, rows=rows, threads=threads, map_ms=(mapped - started) * 1000,
                       listing_ms=(listed - mapped) * 1000, listing_sleep_ms=listing_sleep_ns / 1e6,
                       listing_cpu_ms=listing_cpu_ns / 1e6, startup_cpu_ms=cpu_at_map / 1e6,
                       peak_rss_kb=peak_rss_kb(program.pid))
        return figures
    finally:
        if program is not None:
            stop(program)
        disp.close()
        stop(bus)
        stop(server)
        for sleeper in sleepers:
            stop(sleeper)
        counts.close()


def start_times(build, runs):
    """Milliseconds from start to the window being mapped, for the program and for a bare Qt window,
    started in turns on one display."""
    server, display_name, disp = start_xvfb()
    bus, bus_address = start_session_bus()
    programs = {"program": os.path.join(build, "platform", "linux", "proccpu"),
                "bare": os.path.join(build, "bench", "proccpu_bench_barewindow")}
    times = {name: [] for name in programs}
    try:
        with tempfile.NamedTemporaryFile(prefix="proccpu-sleeps-") as counts:
            counts.write(bytes(32))
            counts.flush()
            for _ in range(runs):
                for name, path in programs.items():
                    started, program = start_program(path, os.path.join(build, "bench"), disp, display_name,
                                                     bus_address, counts.name)
                    try:
                        mapped, _ = wait_mapped(disp, time.monotonic() + 30)
                        times[name].append((mapped - started) * 1000)
                    finally:
                        stop(program)
    finally:
        disp.close()
        stop(bus)
        stop(server)
    return times


def cost_line(figures):
    us_per_row = figures["cpu_ns"] / 1000 / max(1, figures["row_refreshes"])
    ref_us = figures["ref_cpu_ns"] / 1000 / max(1, figures["ref_process_refreshes"])
    listing_ratio = figures["listing_ms"] / (ROW_WAIT_MS * figures["rows"])
    return (f"cost target={figures['target']} rows={figures['rows']} threads={figures['threads']} "
            f"map_ms={figures['map_ms']:.1f} listing_ms={figures['listing_ms']:.0f} "
            f"listing_ratio={listing_ratio:.4f} listing_sleep_ms={figures['listing_sleep_ms']:.0f} "
            f"listing_cpu_ms={figures['listing_cpu_ms']:.0f} startup_cpu_ms={figures['startup_cpu_ms']:.0f} cpu_per_s={figures['cpu_ns'] / 1e9 / figures['seconds']:.4f} "
            f"row_refreshes={figures['row_refreshes']} passes={figures['passes']} us_per_row={us_per_row:.2f} "
            f"peak_rss_mb={figures['peak_rss_kb'] / 1024:.1f} ref_us_per_process={ref_us:.2f} "
            f"ref_processes_per_refresh={figures['ref_process_refreshes'] / max(1, figures['ref_refreshes']):.0f} "
            f"ratio={us_per_row / ref_us:.3f} sleep_us={figures['sleep_us']:.2f}")


if __name__ == "__main__":
    import argparse
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--seconds", type=int, default=30)
    parser.add_argument("--targets", type=int, nargs="+", default=[100, 600])
    parser.add_argument("--starts", type=int, default=0, help="only time this many starts to the mapped window")
    arguments = parser.parse_args()
    if arguments.starts:
        for name, times in start_times(arguments.build, arguments.starts).items():
            print(f"start {name} map_ms=" + ",".join(f"{ms:.1f}" for ms in times))
        raise SystemExit(0)
    for target in arguments.targets:
        print(cost_line(measure(arguments.build, target, arguments.seconds)), flush=True)
