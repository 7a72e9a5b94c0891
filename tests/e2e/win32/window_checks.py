"""Checks of what the driver read from the running program's window (key=value lines)."""
import re

WS_CAPTION, WS_SYSMENU, WS_THICKFRAME = 0x00C00000, 0x00080000, 0x00040000
WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_TABSTOP = 0x00020000, 0x00010000, 0x00010000
WS_CHILD, WS_VISIBLE, WS_POPUP = 0x40000000, 0x10000000, 0x80000000
WS_EX_TOPMOST, WS_EX_TOOLWINDOW, WS_EX_CLIENTEDGE = 0x8, 0x80, 0x200
LVS_TYPEMASK, LVS_REPORT, LVS_SINGLESEL, LVS_SHOWSELALWAYS = 0x3, 0x1, 0x4, 0x8
LVS_SORTASCENDING, LVS_SORTDESCENDING = 0x10, 0x20
LVS_EX_GRIDLINES, LVS_EX_CHECKBOXES, LVS_EX_HEADERDRAGDROP = 0x1, 0x4, 0x10
LVS_EX_FULLROWSELECT, LVS_EX_DOUBLEBUFFER = 0x20, 0x10000

COLUMNS = [("Process", 180), ("ProcessID", 120), ("Threads", 120), ("cpu %", 120), ("Priority", 120)]
PRIORITIES = {"Low", "Below Normal", "Normal", "Above Normal", "High", "Real Time"}
TITLE = re.compile(r"Processes\.\.\.  Sum : (-?\d+)  \( Threads : (-?\d+) \)")
CPU = re.compile(r"-?\d+\.\d{3}")
NUMBER = re.compile(r"-?\d+")


def parse(lines):
    facts = {}
    for line in lines:
        key, sep, value = line.rstrip("\r\n").partition("=")
        if sep:
            facts[key] = value
    return facts


def ints(text):
    return [int(part) for part in text.split(",")]


class Checker:
    def __init__(self):
        self.passed, self.failed = 0, []

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failed.append(f"{name}: {detail}")
        print(f"{'ok  ' if ok else 'FAIL'} {name}" + ("" if ok else f"  ({detail})"), flush=True)


def rows_of(facts):
    count = int(facts.get("rows", "0"))
    return [[facts.get(f"cell.{r}.{c}", "<missing>") for c in range(5)] for r in range(count)]


def check_frame(ck, f):
    client = ints(f["window.client"])
    left, top, right, bottom = ints(f["window.rect"])
    outer = [right - left, bottom - top]
    screen = ints(f["screen"])
    ck.check("client area 700x500", client == [700, 500], f["window.client"])
    ck.check("outer size as the system computes it", outer == ints(f["window.expectedouter"]),
             f"{outer} vs {f['window.expectedouter']}")
    width, height = min(outer[0], screen[0]), min(outer[1], screen[1])
    expected = [(screen[0] - width) // 2, (screen[1] - height) // 2]
    ck.check("centred on the screen", [left, top] == expected, f"{[left, top]} vs {expected} on {screen}")
    style, ex = int(f["window.style"], 16), int(f["window.exstyle"], 16)
    ck.check("caption, system menu, minimize box", style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX)
             == WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, hex(style))
    ck.check("fixed border, no maximize box", style & (WS_THICKFRAME | WS_MAXIMIZEBOX) == 0, hex(style))
    ck.check("an overlapped top-level window", style & (WS_CHILD | WS_POPUP) == 0, hex(style))
    ck.check("neither topmost nor a tool window", ex & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW) == 0, hex(ex))
    ck.check("no menu", f["window.menu"] == "0", f["window.menu"])


def check_list_view(ck, f):
    ck.check("list view class", f.get("list.class") == "SysListView32", f.get("list.class"))
    ck.check("list view at 5,5 sized 690x490", f.get("list.rect") == "5,5,690,490", f.get("list.rect"))
    style, ex = int(f["list.style"], 16), int(f["list.exstyle"], 16)
    lv = int(f["list.lvexstyle"], 16)
    ck.check("visible child, tab stop", style & (WS_CHILD | WS_VISIBLE | WS_TABSTOP)
             == WS_CHILD | WS_VISIBLE | WS_TABSTOP, hex(style))
    ck.check("report view, single selection", style & LVS_TYPEMASK == LVS_REPORT and style & LVS_SINGLESEL,
             hex(style))
    ck.check("selection hidden without focus, no sorting",
             style & (LVS_SHOWSELALWAYS | LVS_SORTASCENDING | LVS_SORTDESCENDING) == 0, hex(style))
    ck.check("sunken client edge", ex & WS_EX_CLIENTEDGE, hex(ex))
    wanted = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER
    ck.check("grid lines, full-row select, double buffer", lv & wanted == wanted, hex(lv))
    ck.check("no check boxes, no header drag", lv & (LVS_EX_CHECKBOXES | LVS_EX_HEADERDRAGDROP) == 0, hex(lv))
    # Stock objects are shared between processes on Windows; Wine answers WM_GETFONT from outside with 0.
    font, ours = f.get("list.font", "0"), f.get("list.font.ourdefaultgui")
    if int(font, 16) != 0:
        ck.check("default GUI font", font == ours, f"{font} vs {ours}")
    else:
        print("note: the list view's font cannot be read from outside here", flush=True)
    got = [(f.get(f"column.{i}.text"), int(f.get(f"column.{i}.width", "-1"))) for i in range(5)]
    ck.check("five columns", f.get("columns") == "5", f.get("columns"))
    ck.check("headers and widths", got == COLUMNS, str(got))


def priority_ok(text):
    match = re.fullmatch(r"Not Available \((-?\d+)\)", text)
    return text in PRIORITIES or (match is not None and int(match.group(1)) not in (4, 6, 8, 9, 10, 11, 13, 24))


def cpu_samples(f):
    """Every CPU cell text the driver read while the sampler ran (cpu.<round>.<row>)."""
    return [v for k, v in f.items() if k.startswith("cpu.")]


def check_cells(ck, rows, f):
    bad = [r for r in rows if not (r[0] and "\\" not in r[0] and NUMBER.fullmatch(r[1])
                                   and NUMBER.fullmatch(r[2]) and CPU.fullmatch(r[3]) and priority_ok(r[4]))]
    ck.check("every row's cells well formed", not bad, str(bad[:3]))
    sampled = cpu_samples(f)
    ck.check("cpu cells keep three decimals while sampled", sampled and all(CPU.fullmatch(c) for c in sampled),
             str(sampled[:5]))
    ck.check("the program lists itself", any(r[1] == f.get("window.pid") for r in rows), f.get("window.pid"))


def check_order(ck, rows, f):
    snapshot = {int(k[5:]): int(v) for k, v in f.items() if k.startswith("snap.")}
    pids = [int(r[1]) if NUMBER.fullmatch(r[1]) else None for r in rows]
    wrong = []
    for pid in set(p for p in pids if p is not None):
        parent = snapshot.get(pid)
        if parent is None or parent == pid or parent not in pids:
            continue
        last_child = max(i for i, p in enumerate(pids) if p == pid)
        if last_child < pids.index(parent):
            wrong.append((pid, parent))
    ck.check("each listed child has a row after a row of its listed parent", not wrong, str(wrong))


def check_title(ck, rows, f):
    match = TITLE.fullmatch(f.get("window.title", ""))
    ck.check("totals title", match is not None, f.get("window.title"))
    if match:
        threads = sum(int(r[2]) for r in rows if NUMBER.fullmatch(r[2]))
        ck.check("title counts the rows", int(match.group(1)) == len(rows), f"{match.group(1)} vs {len(rows)}")
        ck.check("title sums the threads", int(match.group(2)) == threads, f"{match.group(2)} vs {threads}")


def check_listing(ck, f):
    rows = rows_of(f)
    ck.check("at least one row", len(rows) >= 1, f.get("rows"))
    check_cells(ck, rows, f)
    check_order(ck, rows, f)
    check_title(ck, rows, f)
    return rows


def check_boxes(ck, f, rows, expect_boxes):
    count = int(f.get("boxes", "-1"))
    late = int(f.get("lateboxes", "-1"))
    if expect_boxes:
        ck.check("one error box per row", count == len(rows), f"{count} boxes, {len(rows)} rows")
        texts = [(f.get(f"box.{i}.caption"), f.get(f"box.{i}.text", "")) for i in range(max(count, 0))]
        bad = [t for t in texts if t[0] != "error" or not re.match(r"\d+: ", t[1])]
        ck.check("boxes are captioned error and start with an unsigned code", not bad, str(bad[:3]))
    else:
        ck.check("no error box", count == 0, str(count))
        cpu = [float(v) for v in cpu_samples(f) if CPU.fullmatch(v)]
        ck.check("cpu cells get values", any(v > 0 for v in cpu) and all(0 <= v <= 100 for v in cpu),
                 f"max {max(cpu, default=None)} over {len(cpu)} readings")
    dismissed = all(f.get(f"box.{i}.dismissed") == "1" for i in range(max(count, 0)))
    ck.check("every box went away on OK", dismissed)
    ck.check("no box after the listing", late == 0, str(late))
