#!/usr/bin/env python3
"""Runs the Windows program under Wine on a private Xvfb display, reads it with the driver, checks it."""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_env  # noqa: E402
import window_checks as wc  # noqa: E402

# Generous bounds: where Wine's i386 code runs emulated, each Windows process needs minutes to start.
FIND_MS, LIST_MS, SETTLE_MS = 240000, 480000, 10000
# Wine under qemu now and then stalls while it starts a prefix's services; such a start is tried again.
START_LIMIT_S, START_TRIES = 240, 2
PROGRAM_LIMIT_S = 1200
RUNNER_LIMIT_S = 180  # after the program, its runner waits for the prefix's other processes to wind down


def screenshot(display, path):
    done = subprocess.run(["timeout", "60", "import", "-display", display, "-window", "root", path],
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    print(f"screenshot {path}: rc={done.returncode} {done.stderr.strip()}", flush=True)
    return done.returncode == 0


def follow_driver(driver, out_path, display, shot):
    """Follows the driver's output file until its last line (or the driver's end, or the time limit);
    takes the screenshot once the window has been read. A file, not a pipe: Wine's background processes
    inherit the output and could hold a pipe open."""
    lines, started, pending = [], time.monotonic(), ""
    deadline = started + (FIND_MS + LIST_MS + SETTLE_MS) / 1000 + 120
    with open(out_path) as out:
        while time.monotonic() < deadline:
            ended = driver.poll() is not None
            pending += out.read()
            *complete, pending = pending.split("\n")
            for line in complete:
                lines.append(line + "\n")
                if line.startswith(("box.0.", "boxes=", "listed=", "rows=", "close.", "found=", "exit.")):
                    print(f"{time.monotonic() - started:6.1f} s  driver: {line}", flush=True)
                if line.startswith("phase=dumped"):
                    screenshot(display, shot)
            if ended or (lines and lines[-1].startswith("exit.code=")):
                break
            if not lines and time.monotonic() - started > START_LIMIT_S:
                print(f"the driver printed nothing within {START_LIMIT_S} s", flush=True)
                break
            time.sleep(0.5)
    return lines


def session_members(session):
    """The processes of a session that this test started: the runner, its timeout, wine and whatever wine
    started, which timeout moves to a process group of its own."""
    members = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[3]) == session:
                members.append(int(entry))
    return members


def stop_group(proc):
    """Ends a runner that this test started, with everything in its session."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid in session_members(proc.pid):
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        if wait_exit(proc, 15) is not None and not session_members(proc.pid):
            return


def wait_exit(proc, limit):
    try:
        return proc.wait(timeout=limit)
    except subprocess.TimeoutExpired:
        return None


def run_session(args, env, run_dir, display):
    shot = os.path.join(args.artifacts, f"window-{args.name}.png")
    prefix = env["WINEPREFIX"]
    program = subprocess.Popen(wine_env.wine_command(prefix, PROGRAM_LIMIT_S, os.path.join(run_dir, "proccpu.exe")),
                               cwd=run_dir, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               start_new_session=True)
    out_path = os.path.join(run_dir, "driver.out")
    with open(out_path, "w") as out:
        # Under qemu user mode the driver cannot allocate in the program: it borrows unused image bytes.
        placement = ["--image-slack"] if wine_env.emulated() else []
        placement += ["--system-menu-close"] if args.system_menu_close else []
        driver = subprocess.Popen(wine_env.wine_command(prefix, PROGRAM_LIMIT_S, args.driver, *placement, "session",
                                                        str(FIND_MS), str(LIST_MS), str(SETTLE_MS)),
                                  cwd=run_dir, env=env, stdout=out, stderr=subprocess.DEVNULL,
                                  start_new_session=True)
    try:
        lines = follow_driver(driver, out_path, display, shot)
        driver_rc = wait_exit(driver, RUNNER_LIMIT_S)
        closed_at = time.monotonic()
        program_rc = wait_exit(program, RUNNER_LIMIT_S)
        close_s = time.monotonic() - closed_at
    finally:
        for proc in (driver, program):
            stop_group(proc)
    with open(os.path.join(args.artifacts, f"driver-{args.name}.txt"), "w") as saved:
        saved.writelines(lines)
    return wc.parse(lines), driver_rc, program_rc, close_s, shot


def pixel(shot, x, y):
    done = subprocess.run(["timeout", "30", "convert", shot, "-format", f"%[hex:p{{{x},{y}}}]", "info:"],
                          capture_output=True, text=True)
    return done.stdout.strip().upper()[:6]


def check_all(args, facts, driver_rc, program_rc, close_s, shot):
    ck = wc.Checker()
    ck.check("driver found the window and got through the listing",
             facts.get("found") == "1" and facts.get("listed") == "1", f"rc={driver_rc}")
    if facts.get("list.found") == "1" and "window.rect" in facts:
        wc.check_frame(ck, facts)
        wc.check_list_view(ck, facts)
        rows = wc.check_listing(ck, facts)
        wc.check_boxes(ck, facts, rows, args.expect_boxes)
        if os.path.exists(shot):
            x, y = wc.ints(facts["window.clientorigin"])
            face = facts["color.btnface"][2:].upper()
            bgr = face[4:6] + face[2:4] + face[0:2]  # COLORREF is 0x00BBGGRR
            ck.check("3-D face margin around the list view", pixel(shot, x + 2, y + 2) == bgr,
                     f"{pixel(shot, x + 2, y + 2)} vs {bgr}")
    ck.check("minimized and restored, the window comes back unchanged",
             facts.get("minimize.iconic") == facts.get("restore.normal") == facts.get("restore.same") == "1",
             f"iconic={facts.get('minimize.iconic')} normal={facts.get('restore.normal')}")
    via = facts.get("close.via", "?")
    ck.check(f"close request posted ({via})", facts.get("close.posted") == "1")
    ck.check(f"program ends with code 0 within 30 s of {via}",
             facts.get("exit.ended") == "1" and facts.get("exit.code") == "0",
             f"ended={facts.get('exit.ended')} code={facts.get('exit.code')}")
    if wine_env.emulated():
        # Under qemu user mode the loader's own exit status does not always carry the process's code.
        print(f"note: the runner's exit status was {program_rc}", flush=True)
    else:
        ck.check("wine reports exit code 0", program_rc == 0, f"rc={program_rc}")
    print(f"measured: the process ended {facts.get('exit.ms')} ms after {via}; its runner "
          f"(with Wine's own wind-down) {close_s:.1f} s after the driver", flush=True)
    peaks = {}
    for key, value in facts.items():
        if key.startswith("cpu.") and wc.CPU.fullmatch(value):
            name = facts.get(f"cell.{key.split('.')[2]}.0", "?")
            peaks[name] = max(peaks.get(name, 0.0), float(value))
    print(f"measured: highest cpu % per row while sampled: {peaks}", flush=True)
    print(f"{ck.passed} passed, {len(ck.failed)} failed", flush=True)
    return not ck.failed


def prepare_run_dir(args):
    run_dir = os.path.join(args.work, f"run-{args.name}")
    os.makedirs(run_dir, exist_ok=True)
    shutil.copy2(args.exe, os.path.join(run_dir, "proccpu.exe"))
    if args.pdh:
        shutil.copy2(args.pdh, os.path.join(run_dir, "pdh.dll"))
    elif os.path.exists(os.path.join(run_dir, "pdh.dll")):
        os.remove(os.path.join(run_dir, "pdh.dll"))
    return run_dir


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--work", required=True, help="folder for the prefix and the runs")
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--name", required=True)
    parser.add_argument("--template", help="a ready Wine prefix to copy instead of booting a new one")
    parser.add_argument("--pdh", help="a pdh.dll to load in place of Wine's")
    parser.add_argument("--expect-boxes", action="store_true")
    parser.add_argument("--system-menu-close", action="store_true", help="close through the system menu")
    args = parser.parse_args()
    args.exe, args.driver = os.path.abspath(args.exe), os.path.abspath(args.driver)
    os.makedirs(args.artifacts, exist_ok=True)
    prefix = os.path.join(args.work, "prefix")
    guard = wine_env.use_prefix(prefix, wine_env.BOOT_LIMIT_S + PROGRAM_LIMIT_S)
    if guard is None or not wine_env.ensure_prefix(prefix, args.template):
        print("0 passed, 1 failed: no usable Wine prefix", flush=True)
        return 1
    with guard:
        run_dir = prepare_run_dir(args)
        with wine_env.Display() as display:
            env = wine_env.wine_environment(prefix, display.name, own_pdh=bool(args.pdh))
            for attempt in range(START_TRIES):
                try:
                    results = run_session(args, env, run_dir, display.name)
                finally:
                    wine_env.end_prefix(prefix)
                if "found" in results[0]:
                    break
                print(f"Wine stalled at start (try {attempt + 1} of {START_TRIES})", flush=True)
    return 0 if check_all(args, *results) else 1


if __name__ == "__main__":
    sys.exit(main())
