"""End-to-end test of the Linux program: a real window on a virtual display, real processes, read from
outside through the accessibility bus and the X server.
Usage: e2e_test.py PROGRAM TREE BUSY (run on a private session bus, see run-e2e)."""
import os
import signal
import statistics
import sys
import time

from Xlib import display as xdisplay

import atspi_table
import x11window
from e2e_session import Session

SCREEN = (1280, 1024)
CLIENT = (700, 500)
LIST_RECT = (5, 5, 690, 490)
BUSY_PERCENT = 50
HEADERS = ["Process", "ProcessID", "Threads", "cpu %", "Priority"]
# Names that must show whole, on one line, in their own cell: blanks, parentheses, a tab, a line feed,
# a byte that is not UTF-8; and the longest file name Linux allows.
HOSTILE_NAMES = [b"e2e (two words)\t\n\xff.bin", b"e2e." + b"l" * 247 + b".bin"]
RESIZING_ACTIONS = ("_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_MAXIMIZE")
MWM_FUNC_MAXIMIZE = 0x10
MWM_DECOR_MAXIMIZE = 0x40


class Checks:
    def __init__(self):
        self.passed, self.failed = 0, 0
        self.start = time.monotonic()

    def check(self, ok, what):
        elapsed = time.monotonic() - self.start
        print(("ok    " if ok else "FAIL  ") + f"{elapsed:5.1f}s  " + what, flush=True)
        if ok:
            self.passed += 1
        else:
            self.failed += 1
        return ok


def shown_name(name):
    """How the list shows a name: decoded, each control character as its visible symbol."""
    text = name.decode("utf-8", "replace")
    return "".join(chr(0x2400 + ord(c)) if ord(c) < 0x20 else "\u2421" if c == "\x7f" else c for c in text)


def find_row(table_rows, pid, after=-1):
    """Index of the first row after `after` whose ProcessID cell is pid, or None."""
    for index in range(after + 1, len(table_rows)):
        if table_rows[index][1] == str(pid):
            return index
    return None


def check_title(checks, title, table_rows):
    threads = sum(int(row[2]) for row in table_rows)
    expected = f"Processes...  Sum : {len(table_rows)}  ( Threads : {threads} )"
    checks.check(title == expected, f"title {title!r} counts the rows and threads: {expected!r}")


def check_tree(checks, table_rows, pids, names):
    """The tree's rows: root first, then its subtree in depth-first order, each with its own cells."""
    root = find_row(table_rows, pids["tree"])
    if not checks.check(root is not None, f"the tree's root {pids['tree']} is listed"):
        return None
    expected = {"tree": ("1", "Normal"), "busy": ("3", "Normal"), "sleeper": ("1", "Normal"),
                "niced": ("1", "Low")}
    expected.update((f"other{i}", ("1", "Normal")) for i in range(len(HOSTILE_NAMES)))
    descendants = {str(pid) for role, pid in pids.items() if role != "tree"}
    following = table_rows[root + 1:root + 1 + len(descendants)]
    subtree = {row[1] for row in following}
    checks.check(subtree == descendants, f"the {len(descendants)} descendants follow the root directly")
    busy = find_row(table_rows, pids["busy"], root)
    sleeper = find_row(table_rows, pids["sleeper"], root)
    checks.check(busy is not None and sleeper == busy + 1, "the sleeper stands right under the busy child")
    for role, (threads, priority) in expected.items():
        index = find_row(table_rows, pids[role], root - 1)
        if index is None:
            checks.check(False, f"{role} {pids[role]} is listed")
            continue
        wanted = [names[role], str(pids[role]), threads, priority]
        shown = [table_rows[index][column] for column in (0, 1, 2, 4)]
        checks.check(shown == wanted, f"{role} row {shown} == {wanted}")
    return busy


def settled_cpu(table, row, seconds):
    """Readings of one cpu cell, polled afresh until it has changed enough times or time runs out."""
    readings, last = [], None
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and len(readings) < 8:
        text = atspi_table.cell(table, row, 3)
        if text != last:
            readings.append(float(text))
            last = text
        time.sleep(0.2)
    return readings


def cpu_seconds(pid):
    """User plus system time of a process, from the fields after its name in /proc/PID/stat."""
    with open(f"/proc/{pid}/stat", "rb") as stat:
        fields = stat.read().rsplit(b")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def check_cpu(checks, table, row, pid):
    processors = os.sysconf("SC_NPROCESSORS_ONLN")
    nominal = BUSY_PERCENT / processors
    start_cpu, start = cpu_seconds(pid), time.monotonic()
    seen = settled_cpu(table, row, 25)
    readings = seen[2:]  # the first ones come from the listing pass and the first sampling pass
    # What the process really got meanwhile: on a loaded machine it falls short of its duty cycle.
    actual = 100 * (cpu_seconds(pid) - start_cpu) / (time.monotonic() - start) / processors
    median = statistics.median(readings) if readings else 0.0
    checks.check(len(readings) >= 3 and 0.3 * nominal <= median <= 1.5 * nominal,
                 f"busy child's cpu cell settles near {nominal:.3f}: median {median:.3f} of {seen}")
    checks.check(abs(median - actual) <= max(2.0, 0.3 * actual),
                 f"the cell's median {median:.3f} matches the share measured outside, {actual:.3f}")


def check_window(checks, disp, window):
    (x, y, width, height), screen = x11window.placement(disp, window)
    left, right, top, bottom = x11window.frame_extents(disp, window)
    checks.check((width, height) == CLIENT, f"client area {width}x{height} is 700x500")
    outer = (width + left + right, height + top + bottom)
    centred = ((screen[0] - outer[0]) // 2, (screen[1] - outer[1]) // 2)
    frame = (x - left, y - top)
    checks.check(frame == centred, f"frame {outer} at {frame} is centred at {centred} on {screen}")
    checks.check(x11window.size_limits(window) == (CLIENT, CLIENT), "minimum and maximum size are 700x500")
    motif = x11window.motif_hints(disp, window)
    checks.check(len(motif) >= 3 and not motif[1] & MWM_FUNC_MAXIMIZE and not motif[2] & MWM_DECOR_MAXIMIZE,
                 f"no maximize in the frame hints {motif}")
    actions = x11window.allowed_actions(disp, window) or []
    offered = [a for a in actions if a.startswith(RESIZING_ACTIONS)]
    checks.check(actions != [] and offered == [], f"no resize nor maximize among {actions}")
    x11window.request_resize(disp, window, 900, 700)
    time.sleep(0.5)
    (_, _, width, height), _ = x11window.placement(disp, window)
    checks.check((width, height) == CLIENT, f"after asking for 900x700 and maximized: {width}x{height}")


def check_minimize(checks, disp, window, program, table, row_count):
    x11window.iconify(disp, window)
    time.sleep(0.5)
    minimized = not x11window.is_viewable(window)
    x11window.activate(disp, window)
    time.sleep(0.5)
    restored = x11window.is_viewable(window)
    rows_now = len(atspi_table.rows(table))
    checks.check(minimized and restored and program.poll() is None and rows_now == row_count,
                 f"minimized ({minimized}) and restored ({restored}), it runs on with {rows_now} rows")


def check_close(checks, disp, window, program):
    x11window.request_close(disp, window)
    start = time.monotonic()
    while program.poll() is None and time.monotonic() - start < 1.0:
        time.sleep(0.01)
    code = program.poll()
    checks.check(code == 0, f"a close request ends the program within a second with code 0 (got {code})")


def check_alt_f4(checks, session, disp, program_path):
    program = session.start_program(program_path)
    window = x11window.wait_for_title(disp, program.pid, "Processes...", 40)
    if not checks.check(window is not None, "a second run fills its list"):
        return
    x11window.activate(disp, window)
    time.sleep(0.2)
    x11window.press_alt_f4(disp)
    start = time.monotonic()
    while program.poll() is None and time.monotonic() - start < 1.0:
        time.sleep(0.01)
    code = program.poll()
    checks.check(code == 0, f"Alt+F4 ends the program within a second with code 0 (got {code})")


def run(session, checks, program_path, tree_path, busy_path):
    session.start_display(*SCREEN)
    session.start_window_manager()
    session.start_accessibility_bus()
    names = {"tree": os.path.basename(tree_path), "busy": os.path.basename(busy_path),
             "sleeper": "e2e.sleep.bin", "niced": "e2e.niced.sleep.bin"}
    names.update((f"other{i}", shown_name(name)) for i, name in enumerate(HOSTILE_NAMES))
    sleeper = session.binary_copy("/bin/sleep", names["sleeper"])
    niced = session.binary_copy("/bin/sleep", names["niced"])
    others = [session.binary_copy("/bin/sleep", name) for name in HOSTILE_NAMES]
    pids = session.start_tree(tree_path, busy_path, BUSY_PERCENT, sleeper, niced, others)
    disp = xdisplay.Display()
    checks.check(x11window.wait_for_window_manager(disp, 10), "a window manager runs")
    program = session.start_program(program_path)
    window = x11window.wait_for_title(disp, program.pid, "Processes...", 40)
    if not checks.check(window is not None, "the list fills and the title changes"):
        return
    table = atspi_table.find_table(program.pid, 15)
    if not checks.check(table is not None, "the list is readable over the accessibility bus"):
        return
    checks.check(atspi_table.headers(table) == HEADERS, f"headers are {HEADERS}")
    (client_x, client_y, _, _), _ = x11window.placement(disp, window)
    x, y, width, height = atspi_table.extents_on_screen(table)
    extents = (x - client_x, y - client_y, width, height)
    checks.check(extents == LIST_RECT, f"the list at {extents} is at {LIST_RECT} in the window")
    table_rows = atspi_table.rows(table)
    check_title(checks, x11window.title(disp, window), table_rows)
    busy_row = check_tree(checks, table_rows, pids, names)
    if busy_row is not None:
        check_cpu(checks, table, busy_row, pids["busy"])
    check_window(checks, disp, window)
    check_minimize(checks, disp, window, program, table, len(table_rows))
    check_close(checks, disp, window, program)
    check_alt_f4(checks, session, disp, program_path)


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    # A timeout's SIGTERM still ends everything started, through the finally below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    session, checks = Session(), Checks()
    try:
        run(session, checks, *sys.argv[1:])
    finally:
        session.end_all()
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 0 if checks.failed == 0 and checks.passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
