#!/usr/bin/env python3
"""Runs the Windows program under Wine on a private Xvfb display, reads it with the driver, checks it."""
import argparse
import os
import queue
import shutil
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_env  # noqa: E402
import window_checks as wc  # noqa: E402

# Generous bounds: where Wine's i386 code runs emulated, each Windows process needs minutes to start.
FIND_MS, LIST_MS, SETTLE_MS = 480000, 480000, 10000
PROGRAM_LIMIT_S = 1200
CLOSE_LIMIT_S = 60  # emulated Wine is slow; a hang still fails well within the test's own limit


def read_lines(stream, lines):
    for line in stream:
        lines.put(line)
    lines.put(None)


def screenshot(display, path):
    done = subprocess.run(["timeout", "60", "import", "-display", display, "-window", "root", path],
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    print(f"screenshot {path}: rc={done.returncode} {done.stderr.strip()}", flush=True)
    return done.returncode == 0


def follow_driver(driver, display, shot):
    """Collects the driver's lines; takes the screenshot once the window has been read."""
    lines, out = queue.Queue(), []
    threading.Thread(target=read_lines, args=(driver.stdout, lines), daemon=True).start()
    deadline = time.monotonic() + (FIND_MS + LIST_MS + SETTLE_MS) / 1000 + 120
    while time.monotonic() < deadline:
        try:
            line = lines.get(timeout=5)
        except queue.Empty:
            continue
        if line is None:
            break
        out.append(line)
        if line.startswith(("box.0.", "boxes=", "listed=", "rows=", "close.", "found=")):
            print("driver:", line.rstrip(), flush=True)
        if line.startswith("phase=dumped"):
            screenshot(display, shot)
    return out


def wait_exit(proc, limit):
    try:
        return proc.wait(timeout=limit)
    except subprocess.TimeoutExpired:
        return None


def run_session(args, env, run_dir, display):
    shot = os.path.join(args.artifacts, f"window-{args.name}.png")
    program = subprocess.Popen(["timeout", "-k", "10", str(PROGRAM_LIMIT_S), "wine", "proccpu.exe"],
                               cwd=run_dir, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    driver = subprocess.Popen(["timeout", "-k", "10", str(PROGRAM_LIMIT_S), "wine", args.driver, "session",
                               str(FIND_MS), str(LIST_MS), str(SETTLE_MS)],
                              cwd=run_dir, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        lines = follow_driver(driver, display, shot)
        driver_rc = wait_exit(driver, 30)
        closed_at = time.monotonic()
        program_rc = wait_exit(program, CLOSE_LIMIT_S)
        close_s = time.monotonic() - closed_at
    finally:
        for proc in (driver, program):
            if proc.poll() is None:
                proc.terminate()
                wait_exit(proc, 15)
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
    ck.check("close request posted", facts.get("close.posted") == "1")
    ck.check("program exits with code 0 after WM_CLOSE", program_rc == 0, f"rc={program_rc}")
    print(f"measured: exit {close_s:.1f} s after the driver posted WM_CLOSE and ended", flush=True)
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
    args = parser.parse_args()
    os.makedirs(args.artifacts, exist_ok=True)
    prefix = os.path.join(args.work, "prefix")
    if not wine_env.ensure_prefix(prefix, args.template):
        print("0 passed, 1 failed: no usable Wine prefix", flush=True)
        return 1
    run_dir = prepare_run_dir(args)
    with wine_env.Display() as display:
        env = wine_env.wine_environment(prefix, display.name, own_pdh=bool(args.pdh))
        try:
            results = run_session(args, env, run_dir, display.name)
        finally:
            wine_env.end_prefix(prefix)
    return 0 if check_all(args, *results) else 1


if __name__ == "__main__":
    sys.exit(main())
