"""Measures the kitten side by side with a bare Qt 6 frameless window (bench_minimal_window) on
the same Xvfb + openbox desktop, and prints each figure with its ratio to, or difference from,
the bare window's:
  - start-up: from starting the process to its window mapped on the screen (median of runs);
Both run with a private PulseAudio (a null sink), as on a desktop with sound, and with their
runtime folder on a tmpfs, as a desktop session has it.
  - memory at rest: resident set (Rss, /proc/PID/smaps_rollup) a few seconds after start-up;
  - CPU in percent of one core over a span of seconds: at rest, with the bar open, meowing.
Run: cpu_usage.py [seconds] [start-up runs] (30 and 7 by default)."""

import ctypes
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from desktop import Desktop, Mofurin  # noqa: E402
from pulse_fixture import PulseAudio  # noqa: E402



def cpu_seconds(pid):
    """CPU time of all the process's threads, from the scheduler's nanosecond counts: /proc/PID/
    stat counts in hundredths of a second, too coarse for a few tenths of a percent."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that ended meanwhile
    return total / 1e9


def measure(pid, seconds):
    start_cpu, start = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    return 100.0 * (cpu_seconds(pid) - start_cpu) / (time.monotonic() - start)


def resident_mb(pid):
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            if line.startswith("Rss:"):
                return int(line.split()[1]) / 1024.0
    raise AssertionError("no Rss for %d" % pid)


class _MapWatch:
    """Tells when a window with the given name becomes mapped (viewable), from the X server's
    own map events on the root window's children (a window manager's frame, or the window
    itself without one). Waiting on events instead of walking the window tree every few
    milliseconds keeps the watch from loading the X server and the processors while the
    program it times starts, and dates the mapping to the event's arrival."""

    SubstructureNotifyMask = 1 << 19
    MapNotify = 19

    class _Attributes(ctypes.Structure):
        _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                    ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                    ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                    ("root", ctypes.c_ulong), ("class_", ctypes.c_int),
                    ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                    ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                    ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                    ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                    ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                    ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                    ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]

    def __init__(self, display_name):
        x = ctypes.CDLL("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                 ctypes.POINTER(ctypes.c_uint)]
        x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
        x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.x = x
        # A window can vanish while the tree is walked (a program just ended): ignore the error
        # instead of Xlib's default of ending this process.
        handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        self._ignore = handler_type(lambda display, event: 0)
        x.XSetErrorHandler.argtypes = [handler_type]
        x.XSetErrorHandler(self._ignore)
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.display = x.XOpenDisplay(display_name.encode())
        self.root = x.XDefaultRootWindow(self.display)
        # From now on every child of the root that is mapped is told.
        x.XSelectInput(self.display, self.root, self.SubstructureNotifyMask)
        x.XSync(self.display, 0)

    def close(self):
        self.x.XCloseDisplay(self.display)

    def _children(self, window):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x.XQueryTree(self.display, window, ctypes.byref(root), ctypes.byref(parent),
                                 ctypes.byref(children), ctypes.byref(count)):
            return []
        result = [children[i] for i in range(count.value)]
        if children:
            self.x.XFree(children)
        return result

    def wait_mapped(self, name, timeout):
        """Monotonic time at which the window called name was found mapped: at the arrival of
        the map event that made it viewable. Walks the whole tree every 50 ms as well, for a
        window manager that maps the frame before the window inside it."""
        event = (ctypes.c_long * 24)()
        fd = self.x.XConnectionNumber(self.display)
        deadline = time.monotonic() + timeout
        last_walk = 0.0
        while time.monotonic() < deadline:
            while self.x.XPending(self.display):
                self.x.XNextEvent(self.display, event)
                arrived = time.monotonic()
                # XMapEvent: type, serial, send_event, display, event, window (longs on LP64).
                if ctypes.c_int.from_buffer(event).value == self.MapNotify:
                    if self.mapped(name, event[5]):
                        return arrived
            if time.monotonic() - last_walk > 0.05:
                last_walk = time.monotonic()
                if self.mapped(name):
                    return last_walk
            select.select([fd], [], [], 0.01)
        raise AssertionError("%s did not map a window" % name)

    def mapped(self, name, top=None):
        pending = [self.root if top is None else top]
        while pending:
            window = pending.pop()
            title = ctypes.c_char_p()
            if self.x.XFetchName(self.display, window, ctypes.byref(title)) and title.value:
                found = title.value == name.encode()
                self.x.XFree(title)
                if found:
                    attributes = self._Attributes()
                    self.x.XGetWindowAttributes(self.display, window, ctypes.byref(attributes))
                    if attributes.map_state == 2:  # IsViewable
                        return True
            pending.extend(self._children(window))
        return False


class RuntimeFolder:
    """A session's runtime folder ($XDG_RUNTIME_DIR) as a desktop has it: on a tmpfs (systemd
    mounts /run/user/UID so). On a disk, the kitten's single-instance lock file, which Qt syncs
    to the disk when it takes it, would add a disk flush to every start that no desktop pays."""

    def __enter__(self):
        base = "/dev/shm" if os.path.isdir("/dev/shm") else None
        self.path = tempfile.mkdtemp(prefix="mofurin-runtime-", dir=base)
        return self.path

    def __exit__(self, *exc):
        shutil.rmtree(self.path, ignore_errors=True)
        return False


def startup_seconds(desktop, command, name, cwd=None):
    """Seconds from starting command until its window called name is mapped; then ends it."""
    watch = _MapWatch(desktop.display)
    try:
        start = time.monotonic()
        proc = subprocess.Popen(command, env=desktop.env, cwd=cwd, start_new_session=True,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            return watch.wait_mapped(name, 20) - start
        finally:
            proc.kill()
            proc.wait()
    finally:
        watch.close()


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 30.0
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    build = os.environ.get("MOFURIN_BUILD_DIR", "build-test")
    minimal = os.path.join(build, "tests", "bench_minimal_window")
    bare, kitten = {}, {}
    # Both run with a sound server, as on a desktop: the kitten opens its sound output at start.
    with PulseAudio() as sound, Desktop() as desktop, RuntimeFolder() as runtime:
        desktop.env.update(sound.env)
        desktop.env["XDG_RUNTIME_DIR"] = runtime
        app = Mofurin(desktop)
        app.write_settings()
        executable = os.path.join(app.install, "mofurin")
        # Alternate the two, so that a slow moment of the machine falls on both alike.
        bare_starts, kitten_starts = [], []
        for _ in range(runs):
            bare_starts.append(startup_seconds(desktop, [minimal], "MinimalWindow"))
            kitten_starts.append(startup_seconds(desktop, [executable], "Form1", app.workdir))
        bare["start-up (ms)"] = 1000 * statistics.median(bare_starts)
        kitten["start-up (ms)"] = 1000 * statistics.median(kitten_starts)

        peer = subprocess.Popen([minimal], env=desktop.env, start_new_session=True)
        try:
            desktop.wait_window("MinimalWindow")
            time.sleep(3)
            bare["memory at rest (MB)"] = resident_mb(peer.pid)
            bare["CPU at rest (%)"] = measure(peer.pid, seconds)
        finally:
            peer.kill()
            peer.wait()

        with app:
            desktop.pointer(300, 200)
            app.start()
            app.wait_kitten()
            time.sleep(3)
            kitten["memory at rest (MB)"] = resident_mb(app.proc.pid)
            kitten["CPU at rest (%)"] = measure(app.proc.pid, seconds)
            desktop.pointer(350, 260)
            desktop.xdotool("click", "--repeat", 2, "--delay", 80, 1)
            bar = desktop.wait_window("モフリちゃん")
            time.sleep(1)
            kitten["CPU, bar open (%)"] = measure(app.proc.pid, seconds)
            bx, by, _, _ = desktop.geometry(bar)
            desktop.pointer(bx + 20, by + 7)  # 鳴かす
            desktop.xdotool("click", 1)
            time.sleep(1)
            kitten["CPU, meowing (%)"] = measure(app.proc.pid, seconds)

    print("The kitten against a bare Qt 6 frameless window, same desktop, same run")
    print("(start-up: median of %d starts each; CPU over %.0f s, percent of one core):"
          % (runs, seconds))
    for name, value in kitten.items():
        if name in bare:
            base = bare[name]
            ratio = " = %.2f x" % (value / base) if base > 0 else ""
            print("  %-22s %9.3f   bare %9.3f   %+9.3f%s" % (name, value, base, value - base, ratio))
        else:
            print("  %-22s %9.3f   %+9.3f against the bare window at rest"
                  % (name, value, value - bare["CPU at rest (%)"]))


if __name__ == "__main__":
    main()
