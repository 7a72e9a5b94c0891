"""The program's list as a screen reader sees it, through the accessibility bus (AT-SPI)."""
import time

import pyatspi


def find_table(pid, seconds):
    """The table of the application with this process ID, or None after seconds."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.get_process_id() == pid:
                table = _first_table(app, 4)
                if table is not None:
                    return table
        time.sleep(0.2)
    return None


def _first_table(node, depth):
    for child in node:
        if child is None:
            continue
        if child.getRoleName() == "table":
            return child
        if depth > 0:
            found = _first_table(child, depth - 1)
            if found is not None:
                return found
    return None


def headers(table):
    interface = table.queryTable()
    return [interface.getColumnHeader(column).name for column in range(interface.nColumns)]


def rows(table):
    """Every row's cells, read afresh."""
    interface = table.queryTable()
    return [[interface.getAccessibleAt(row, column).name for column in range(interface.nColumns)]
            for row in range(interface.nRows)]


def extents_on_screen(table):
    """(x, y, width, height) of the table on the screen (Qt answers window coordinates alike)."""
    box = table.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def cell(table, row, column):
    return table.queryTable().getAccessibleAt(row, column).name
