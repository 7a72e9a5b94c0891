"""The processes of one end-to-end run: a virtual display, the accessibility bus, a known process tree
and the program. Each is ended by its PID."""
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time


def _read_lines(stream, count, seconds):
    """count lines from a pipe, or fewer once seconds have passed."""
    lines, buffer = [], b""
    deadline = time.monotonic() + seconds
    while len(lines) < count and time.monotonic() < deadline:
        ready, _, _ = select.select([stream], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            break
        chunk = os.read(stream.fileno(), 4096)
        if not chunk:
            break
        buffer += chunk
        while b"\n" in buffer:
            line, buffer = buffer.split(b"\n", 1)
            lines.append(line.decode())
    return lines


class Session:
    def __init__(self):
        self.workdir = tempfile.mkdtemp(prefix="proccpu-e2e-")
        self.started = []  # (name, Popen), ended in reverse order
        self.display = None

    def start(self, name, argv, **kwargs):
        process = subprocess.Popen(argv, **kwargs)
        self.started.append((name, process))
        return process

    def start_display(self, width, height):
        """Starts Xvfb on a free display (it picks one and reports it) and waits until it serves."""
        read_end, write_end = os.pipe()
        self.start("Xvfb", ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                            "-noreset", "-nolisten", "tcp"],
                   pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end, "rb") as pipe:
            lines = _read_lines(pipe, 1, 15)
        if not lines:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + lines[0].strip()
        os.environ["DISPLAY"] = self.display

    def start_window_manager(self):
        config = os.path.join(os.path.dirname(os.path.abspath(__file__)), "openbox-rc.xml")
        self.start("openbox", ["openbox", "--sm-disable", "--config-file", config],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def start_accessibility_bus(self):
        self.start("at-spi-bus-launcher", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately",
                                           "--a11y=1"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def binary_copy(self, source, name):
        """A copy of source under this name (str or bytes), so the process shows with a known name."""
        path = os.path.join(os.fsencode(self.workdir), os.fsencode(name))
        shutil.copy(source, path)
        os.chmod(path, 0o755)
        return path

    def start_tree(self, tree, busy, percent, sleeper, niced, others):
        """Starts the tree and returns {role: pid} for tree, busy, niced, sleeper and other0... ."""
        argv = [tree, busy, str(percent), sleeper, niced] + list(others)
        process = self.start("tree", argv, stdout=subprocess.PIPE)
        lines = _read_lines(process.stdout, 4 + len(others), 10)
        pids = dict((role, int(pid)) for role, pid in (line.split() for line in lines))
        roles = {"tree", "busy", "niced", "sleeper"} | {f"other{i}" for i in range(len(others))}
        if set(pids) != roles:
            raise RuntimeError(f"the process tree did not start: {lines}")
        return pids

    def start_program(self, program):
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        return self.start("program", [program], env=env)

    def end_all(self):
        for name, process in reversed(self.started):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(timeout=5)
        shutil.rmtree(self.workdir, ignore_errors=True)
