#!/usr/bin/python3
"""The program's top-level X window seen from outside: find it, read its title, frame hints and place,
and ask it to close as a window manager would (ICCCM WM_DELETE_WINDOW)."""
import argparse
import sys
import time

from Xlib import X, Xatom, display, protocol


def _windows_of_pid(disp, pid):
    """Windows that name pid as their owner; a window manager may have put them into its frames."""
    net_wm_pid = disp.intern_atom("_NET_WM_PID")
    pending = list(disp.screen().root.query_tree().children)
    while pending:
        window = pending.pop()
        prop = window.get_full_property(net_wm_pid, Xatom.CARDINAL)
        if prop is not None and pid in prop.value:
            yield window
        else:
            pending.extend(window.query_tree().children)


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


def frame_extents(disp, window):
    """(left, right, top, bottom) of the window manager's frame; zeros without one."""
    prop = window.get_full_property(disp.intern_atom("_NET_FRAME_EXTENTS"), Xatom.CARDINAL)
    return tuple(prop.value) if prop is not None else (0, 0, 0, 0)


def allowed_actions(disp, window):
    """Names of the actions the window manager offers for the window; None without a manager."""
    prop = window.get_full_property(disp.intern_atom("_NET_WM_ALLOWED_ACTIONS"), Xatom.ATOM)
    return None if prop is None else [disp.get_atom_name(atom) for atom in prop.value]


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


def wait_for_window_manager(disp, seconds):
    """True once a window manager has announced itself on the root window."""
    check = disp.intern_atom("_NET_SUPPORTING_WM_CHECK")
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if disp.screen().root.get_full_property(check, Xatom.WINDOW) is not None:
            return True
        time.sleep(0.1)
    return False


def _ask_window_manager(disp, window, message_type, data):
    """Sends a client message about the window to the root, where the window manager listens."""
    event = protocol.event.ClientMessage(window=window, client_type=message_type, data=(32, data))
    disp.screen().root.send_event(event, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
    disp.flush()


def request_resize(disp, window, width, height):
    """Asks for another size twice, as a program and as a user's maximize would."""
    window.configure(width=width, height=height)
    state = disp.intern_atom("_NET_WM_STATE")
    horizontal = disp.intern_atom("_NET_WM_STATE_MAXIMIZED_HORZ")
    vertical = disp.intern_atom("_NET_WM_STATE_MAXIMIZED_VERT")
    add = 1
    _ask_window_manager(disp, window, state, [add, horizontal, vertical, 1, 0])


def activate(disp, window):
    """Asks the window manager to give the window the focus, as a task bar would."""
    active = disp.intern_atom("_NET_ACTIVE_WINDOW")
    from_pager = 2
    _ask_window_manager(disp, window, active, [from_pager, X.CurrentTime, 0, 0, 0])


def iconify(disp, window):
    """Asks the window manager to minimize the window (ICCCM WM_CHANGE_STATE to IconicState)."""
    change_state = disp.intern_atom("WM_CHANGE_STATE")
    iconic_state = 3
    _ask_window_manager(disp, window, change_state, [iconic_state, 0, 0, 0, 0])


def is_viewable(window):
    return window.get_attributes().map_state == X.IsViewable


def press_alt_f4(disp):
    """Alt+F4 typed on the keyboard, through the XTEST extension."""
    from Xlib import XK
    from Xlib.ext import xtest
    alt = disp.keysym_to_keycode(XK.XK_Alt_L)
    f4 = disp.keysym_to_keycode(XK.XK_F4)
    for kind, code in ((X.KeyPress, alt), (X.KeyPress, f4), (X.KeyRelease, f4), (X.KeyRelease, alt)):
        xtest.fake_input(disp, kind, code)
    disp.sync()


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
