"""The end-to-end test's own Wine prefix and X display, each made, used and ended by this test alone."""
import fcntl
import os
import shutil
import subprocess
import tempfile
import time

BOOT_LIMIT_S = 1500  # a first boot of a prefix is very slow where Wine's i386 code runs emulated
SETTLE_LIMIT_S = 300
DISPLAYS = range(90, 100)
READY = ".e2e-ready"
# Runs one program under Wine bounded in time; it also lets this machine run Wine's i386 code at all.
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools", "wine-run")
# Wine's virtual desktop, written straight into the user hive while no wineserver holds it.
DESKTOP_KEYS = """
[Software\\\\Wine\\\\Explorer] 1700000000
"Desktop"="Default"

[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000
"Default"="1024x768"
"""


def emulated():
    """True where Wine's i386 code runs under qemu user mode. There, Wine's virtual desktop (explorer)
    crashes at start, so the program runs straight on the Xvfb screen, which has the same size."""
    return os.path.exists("/proc/sys/fs/binfmt_misc/qemu-i386")


def wine_environment(prefix, display, own_pdh=False):
    env = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win32", WINEDEBUG="-all", DISPLAY=display)
    # No Mono or Gecko installers; with own_pdh, the pdh.dll beside the program instead of Wine's.
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml=" + (";pdh=n" if own_pdh else "")
    return env


def wine_command(prefix, limit, *args):
    return [WINE_RUN, "--prefix", prefix, "--timeout", str(limit), *args]


def run(cmd, env, limit):
    """Runs a command bounded in time. Its output goes to a file: Wine's background processes inherit
    it and would keep a pipe open long after the command has ended."""
    with tempfile.TemporaryFile("w+") as log:
        try:
            done = subprocess.run(["timeout", "-k", "10", str(limit)] + cmd, env=env, stdout=log, stderr=log)
        except OSError as error:
            print(f"{cmd[0]}: {error}", flush=True)
            return False
        if done.returncode != 0:
            log.seek(0)
            print(f"{' '.join(cmd)}: rc={done.returncode} {log.read()[-400:]}", flush=True)
        return done.returncode == 0


class Display:
    """Xvfb on a free display of ours, with -noreset, ended by its PID."""

    def __enter__(self):
        for n in DISPLAYS:
            if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
                continue
            self.proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-noreset",
                                          "-nolisten", "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.name = f":{n}"
            for _ in range(100):
                if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                    return self
                if self.proc.poll() is not None:
                    break
                time.sleep(0.1)
            self.__exit__()
        raise RuntimeError("no free display for Xvfb")

    def __exit__(self, *_):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=10)


def end_prefix(prefix):
    """Ends every Wine process of this test's own prefix (services linger for a while otherwise)."""
    # Its exit code only tells whether a server was running.
    subprocess.run(["timeout", "-k", "5", "30", "wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def locked(path, limit):
    """An exclusive lock on path, waited for at most limit seconds; None when it cannot be had."""
    handle = open(path, "w")
    deadline = time.monotonic() + limit
    while True:
        try:
            fcntl.flock(handle, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return handle
        except BlockingIOError:
            if time.monotonic() > deadline:
                handle.close()
                return None
            time.sleep(1)


def copy_template(template, prefix):
    guard = locked(template.rstrip("/") + ".lock", BOOT_LIMIT_S)
    if guard is None:
        return False
    with guard:
        shutil.copytree(template, prefix, symlinks=True)
    return True


def boot_prefix(prefix, template, display):
    env = wine_environment(prefix, display)
    if template and os.path.exists(os.path.join(template, ".proccpu-ready")):
        print(f"copying the ready prefix {template}", flush=True)
        if not copy_template(template, prefix):
            return False
    elif not run(wine_command(prefix, BOOT_LIMIT_S, "--prepare"), env, BOOT_LIMIT_S + 60):
        return False
    fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
    os.makedirs(fonts, exist_ok=True)
    for font in os.listdir("/usr/share/wine/fonts"):
        shutil.copy2(os.path.join("/usr/share/wine/fonts", font), fonts)
    end_prefix(prefix)
    if not emulated():
        with open(os.path.join(prefix, "user.reg"), "a") as hive:
            hive.write(DESKTOP_KEYS)
    print(f"Wine's virtual desktop: {'no (emulated i386)' if emulated() else '1024x768'}", flush=True)
    return True


def use_prefix(prefix, limit):
    """The right to use the prefix: one end-to-end run at a time, even from separate test runs of one
    build. Not prefix + ".lock": tools/wine-run takes that one itself while it boots the prefix for us."""
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    return locked(prefix + ".e2e-lock", limit)


def ensure_prefix(prefix, template):
    """A private prefix with Wine's fonts (and its virtual desktop where it works), made once and kept for
    later runs. The caller holds use_prefix."""
    if os.path.exists(os.path.join(prefix, READY)):
        return True
    shutil.rmtree(prefix, ignore_errors=True)
    print(f"making the Wine prefix {prefix}", flush=True)
    started = time.monotonic()
    with Display() as display:
        ok = boot_prefix(prefix, template, display.name)
        end_prefix(prefix)
    print(f"prefix {'ready' if ok else 'FAILED'} after {time.monotonic() - started:.0f} s", flush=True)
    if ok:
        open(os.path.join(prefix, READY), "w").close()
    return ok
