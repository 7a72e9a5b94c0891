#!/usr/bin/python3
"""The program's top-level X window seen from outside: find it, read its title, frame hints and place,
and ask it to close as a window manager would (ICCCM WM_DELETE_WINDOW)."""
import argparse
import sys
import time

from Xlib import X, Xatom, display, protocol


def _windows_of_pid(disp, pid):
    net_wm_pid = disp.intern_atom("_NET_WM_PID")
    for window in disp.screen().root.query_tree().children:
        prop = window.get_full_property(net_wm_pid, Xatom.CARDINAL)
        if prop is not None and pid in prop.value:
            yield window


def find_window(disp, pid):
    """The mapped top-level window of process pid, or None."""
    for window in _windows_of_pid(disp, pid):
        if window.get_attributes().map_state == X.IsViewable:
            return window
    return None


def title(disp, window):
    prop = window.get_full_property(disp.intern_atom("_NET_WM_NAME"), disp.intern_atom("UTF8_STRING"))
    return prop.value.decode("utf-8", "replace") if prop is not None else ""


def placement(disp, window):
    """(x, y, width, height) of the window on the root window, and the screen's (width, height)."""
    geometry = window.get_geometry()
    root = disp.screen().root
    origin = window.translate_coords(root, 0, 0)
    screen = (disp.screen().width_in_pixels, disp.screen().height_in_pixels)
    return (-origin.x, -origin.y, geometry.width, geometry.height), screen


def size_limits(window):
    """((min width, min height), (max width, max height)) from WM_NORMAL_HINTS, or None."""
    hints = window.get_wm_normal_hints()
    if hints is None:
        return None
    return (hints.min_width, hints.min_height), (hints.max_width, hints.max_height)


def motif_hints(disp, window):
    atom = disp.intern_atom("_MOTIF_WM_HINTS")
    prop = window.get_full_property(atom, atom)
    return list(prop.value) if prop is not None else []


def request_close(disp, window):
    protocols = disp.intern_atom("WM_PROTOCOLS")
    delete = disp.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=0)
    disp.flush()


def wait_for_title(disp, pid, prefix, seconds):
    """The window once its title starts with prefix, or None after seconds."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        window = find_window(disp, pid)
        if window is not None and title(disp, window).startswith(prefix):
            return window
        time.sleep(0.1)
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("action", choices=["wait-title", "close"])
    parser.add_argument("--pid", type=int, required=True)
    parser.add_argument("--prefix", default="")
    parser.add_argument("--timeout", type=float, default=30)
    args = parser.parse_args()
    disp = display.Display()
    window = wait_for_title(disp, args.pid, args.prefix, args.timeout)
    if window is None:
        print(f"no window of process {args.pid} titled {args.prefix!r}...", file=sys.stderr)
        return 1
    if args.action == "close":
        request_close(disp, window)
    else:
        print(title(disp, window))
    return 0


if __name__ == "__main__":
    sys.exit(main())
