"""A throwaway X desktop for end-to-end tests: Xvfb, openbox, the real mofurin binary run from
a temporary copy of the installation folder, and helpers that drive it with xdotool and read the
X server's own state back (geometry, shape, _NET_WM_STATE, titles, screenshots).

Everything started here runs in its own process group and is killed when the context ends, also
when a test fails.
"""

import ctypes
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

INSTALL_DIR = os.environ.get("MOFURIN_INSTALL_DIR", "")
SCREENSHOT_DIR = os.environ.get("MOFURIN_SCREENSHOTS", os.path.join(tempfile.gettempdir(), "mofurin-shots"))


def _kill_group(proc, sig=signal.SIGTERM, wait=3.0):
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, sig)
    except ProcessLookupError:
        return
    try:
        proc.wait(timeout=wait)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait(timeout=wait)


class _XRectangle(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort)]


def _shape_rectangles(display_name, window):
    x11 = ctypes.CDLL("libX11.so.6")
    xext = ctypes.CDLL("libXext.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    xext.XShapeGetRectangles.restype = ctypes.POINTER(_XRectangle)
    xext.XShapeGetRectangles.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                         ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
    display = x11.XOpenDisplay(display_name.encode())
    if not display:
        raise RuntimeError("cannot open display " + display_name)
    try:
        count, ordering = ctypes.c_int(0), ctypes.c_int(0)
        rects = xext.XShapeGetRectangles(display, window, 0, ctypes.byref(count),
                                         ctypes.byref(ordering))  # 0 = ShapeBounding
        result = [(rects[i].x, rects[i].y, rects[i].width, rects[i].height)
                  for i in range(count.value)]
        if rects:
            x11.XFree(rects)
        return result
    finally:
        x11.XCloseDisplay(display)


def _primary_selection(display_name, timeout=3.0):
    """The text of the X PRIMARY selection (what was last selected with the mouse), as UTF-8,
    or None when no program owns it or the owner did not answer."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCreateSimpleWindow.restype = ctypes.c_ulong
    x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
        [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XConvertSelection.argtypes = [ctypes.c_void_p] + [ctypes.c_ulong] * 5
    x11.XPending.argtypes = [ctypes.c_void_p]
    x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    x11.XGetWindowProperty.argtypes = [
        ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
        ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(display_name.encode())
    if not display:
        raise RuntimeError("cannot open display " + display_name)
    try:
        window = x11.XCreateSimpleWindow(display, x11.XDefaultRootWindow(display),
                                         0, 0, 1, 1, 0, 0, 0)
        target = x11.XInternAtom(display, b"MOFURIN_SELECTION", 0)
        x11.XConvertSelection(display, x11.XInternAtom(display, b"PRIMARY", 0),
                              x11.XInternAtom(display, b"UTF8_STRING", 0), target, window, 0)
        event = (ctypes.c_long * 24)()  # an XEvent; its type is the int at its start
        deadline = time.monotonic() + timeout
        while True:
            if x11.XPending(display):
                x11.XNextEvent(display, event)
                if event[0] & 0xFFFFFFFF == 31:  # SelectionNotify
                    break
            elif time.monotonic() > deadline:
                return None
            else:
                time.sleep(0.02)
        kind, size, count, left = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.c_void_p()
        x11.XGetWindowProperty(display, window, target, 0, 4096, 1, 0, ctypes.byref(kind),
                               ctypes.byref(size), ctypes.byref(count), ctypes.byref(left),
                               ctypes.byref(data))
        if not data.value:
            return None
        text = ctypes.string_at(data.value, count.value).decode("utf-8", errors="replace")
        x11.XFree(data)
        return text
    finally:
        x11.XCloseDisplay(display)


def _die_with_parent():
    # Should the test process itself be killed, what it started here goes with it.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def wait_until(predicate, timeout=10.0, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(interval)


class Desktop:
    """Xvfb + openbox. Use as a context manager."""

    def __init__(self, width=1280, height=800, window_manager=True, monitors=None):
        self.width = width
        self.height = height
        self.window_manager = window_manager
        # Several monitors side by side on the one X screen, as (x, y, width, height) in pixels:
        # RandR monitors, which is how Qt sees the screens of a multi-monitor desktop.
        self.monitors = monitors
        self.procs = []
        self.tmp = tempfile.mkdtemp(prefix="mofurin-desktop-")
        self.env = dict(os.environ)

    def __enter__(self):
        # A desktop that fails to come up (openbox not answering) stops what it started.
        try:
            return self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise

    def _start(self):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
             "%dx%dx24" % (self.width, self.height), "-nolisten", "tcp", "+extension", "SHAPE",
             "-dpi", "96"],
            pass_fds=(write_fd,), start_new_session=True, preexec_fn=_die_with_parent,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(xvfb)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline or xvfb.poll() is not None:
                raise RuntimeError("Xvfb did not start")
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        self.display = ":" + number.decode().strip()
        self.env["DISPLAY"] = self.display
        for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            self.env.pop(name, None)
        # The kitten speaks the desktop's language; the tests expect its own Japanese texts
        # whatever the machine's locale, and a test that wants another language says so.
        for name in ("LANGUAGE", "LC_ALL", "LC_MESSAGES"):
            self.env.pop(name, None)
        self.env["LANG"] = "C.UTF-8"
        self.env["XDG_RUNTIME_DIR"] = self.tmp
        self.env["HOME"] = self.tmp
        # A session bus of this desktop's own, as every desktop session has. Without one, the
        # first D-Bus client (Qt's accessibility bridge, at start-up) has libdbus launch a bus
        # for the X display, which then outlives the desktop.
        bus = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1",
             "--address=unix:dir=" + self.tmp],
            stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True,
            start_new_session=True, preexec_fn=_die_with_parent)
        self.procs.append(bus)
        address = bus.stdout.readline().strip()
        if not address:
            raise RuntimeError("dbus-daemon did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        # No sound server unless a test provides one: the kitten must cope.
        self.env.setdefault("PULSE_SERVER", "unix:" + os.path.join(self.tmp, "no-pulse"))
        if self.window_manager:
            # On a loaded machine openbox now and then never announces itself; a second one,
            # started after the first is stopped, does.
            for attempt in range(3):
                ob = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                      start_new_session=True, preexec_fn=_die_with_parent,
                                      stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
                self.procs.append(ob)
                try:
                    wait_until(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.xprop_root(),
                               timeout=20, what="openbox")
                    break
                except AssertionError:
                    _kill_group(ob)
                    self.procs.remove(ob)
                    if attempt == 2:
                        raise
        # Set once the window manager runs: monitors set before it started were gone again by
        # the time the program looked. The first monitor takes over the screen's own output.
        for i, (x, y, w, h) in enumerate(self.monitors or []):
            self.run("xrandr", "--setmonitor", "monitor%d" % i,
                     "%d/%dx%d/%d+%d+%d" % (w, w * 254 // 960, h, h * 254 // 960, x, y),
                     "screen" if i == 0 else "none")
        return self

    def __exit__(self, *exc):
        for proc in reversed(self.procs):
            _kill_group(proc)
        shutil.rmtree(self.tmp, ignore_errors=True)
        return False

    # --- commands ---------------------------------------------------------------------
    def run(self, *args, check=True, timeout=15):
        result = subprocess.run(list(args), env=self.env, capture_output=True, text=True,
                                timeout=timeout)
        if check and result.returncode != 0:
            raise AssertionError("%s failed: %s" % (" ".join(args), result.stderr))
        return result.stdout

    def xprop_root(self):
        return self.run("xprop", "-root", check=False)

    def xdotool(self, *args):
        return self.run("xdotool", *[str(a) for a in args])

    def pointer(self, x, y):
        self.xdotool("mousemove", x, y)

    def windows(self, name):
        out = self.run("xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(name),
                       check=False)
        return [int(w) for w in out.split()]

    def windows_titled(self, title):
        """The visible windows whose _NET_WM_NAME is title. Unlike windows(), this holds in any
        locale of the program: under LANG=C, Qt stores a non-ASCII title in WM_NAME (the name
        xdotool searches) as mangled Latin-1, and only _NET_WM_NAME keeps it."""
        out = self.run("xdotool", "search", "--onlyvisible", "--name", ".", check=False)
        return [int(w) for w in out.split() if self.title(int(w)) == title]

    def close_window(self, window, key="alt+F4", attempts=3):
        """Activates the window and presses key until it is gone. On a loaded machine the key
        now and then reaches the window that had the focus before, so it is pressed again."""
        name = self.title(window) or ""
        for attempt in range(attempts):
            self.run("xdotool", "windowactivate", "--sync", str(window), "key", key,
                     check=False)
            try:
                wait_until(lambda: window not in self.windows(name), timeout=3,
                           what="window %r to close" % name)
                return
            except AssertionError:
                if attempt == attempts - 1:
                    raise

    def wait_window(self, name, timeout=10):
        return wait_until(lambda: self.windows(name), timeout=timeout,
                          what="window %r" % name)[0]

    def geometry(self, window):
        """The window's position on the screen and its size, from xwininfo."""
        out = self.run("xwininfo", "-id", str(window))
        values = {}
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            values[key] = int(re.search(re.escape(key) + r":\s+(-?\d+)", out).group(1))
        return (values["Absolute upper-left X"], values["Absolute upper-left Y"],
                values["Width"], values["Height"])

    def frame_geometry(self, window):
        """The outer frame's position (the window manager's decoration included)."""
        x, y, w, h = self.geometry(window)
        out = self.run("xprop", "-id", str(window), "_NET_FRAME_EXTENTS", check=False)
        m = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", out)
        if m:
            left, right, top, bottom = (int(v) for v in m.groups())
            return (x - left, y - top, w + left + right, h + top + bottom)
        return (x, y, w, h)

    def stacking(self):
        """The managed windows from bottom to top, as the window manager stacks them
        (_NET_CLIENT_LIST_STACKING)."""
        out = self.run("xprop", "-root", "_NET_CLIENT_LIST_STACKING", check=False)
        return [int(w, 16) for w in re.findall(r"0x[0-9a-fA-F]+", out)]

    def wm_state(self, window):
        return self.run("xprop", "-id", str(window), "_NET_WM_STATE", check=False)

    def title(self, window):
        out = self.run("xprop", "-id", str(window), "_NET_WM_NAME", check=False)
        m = re.search(r'=\s*"(.*)"', out)
        return m.group(1) if m else None

    def shape_rectangles(self, window):
        """The window's bounding shape as (x, y, w, h) rectangles relative to the window, read
        from the X server's SHAPE extension (xwininfo shows only the extents)."""
        return _shape_rectangles(self.display, window)

    def primary_selection(self):
        """What was last selected with the mouse (the X PRIMARY selection), or None."""
        return _primary_selection(self.display)

    def screenshot(self, name):
        os.makedirs(SCREENSHOT_DIR, exist_ok=True)
        path = os.path.join(SCREENSHOT_DIR, name + ".png")
        self.run("import", "-window", "root", path, timeout=30)
        return path

    def pixel(self, x, y):
        """The colour on the screen at (x, y), as (r, g, b)."""
        out = self.run("import", "-window", "root", "-crop", "1x1+%d+%d" % (x, y), "txt:-",
                       timeout=30)
        m = re.search(r"\((\d+),(\d+),(\d+)", out.splitlines()[-1])
        return tuple(int(v) for v in m.groups())


class Mofurin:
    """The real binary, started from a temporary copy of the installation folder."""

    def __init__(self, desktop, workdir=None, install=None):
        self.desktop = desktop
        self.install = install or os.path.join(desktop.tmp, "Mofurin")
        if not os.path.isdir(self.install):
            shutil.copytree(INSTALL_DIR, self.install, symlinks=True)
        self.workdir = workdir or os.path.join(desktop.tmp, "work")
        os.makedirs(self.workdir, exist_ok=True)
        self.proc = None
        self.log = os.path.join(desktop.tmp, "mofurin.log")

    @property
    def mail_data(self):
        return os.path.join(self.install, "★MailData")

    def write_settings(self, pop3="127.0.0.1:1", user="user", password="pass", number=None):
        with open(os.path.join(self.workdir, "vbmail.ini"), "wb") as f:
            f.write(("SMTP=\r\nPOP3=%s\r\nMAIL=\r\nAPOP=0\r\n" % pop3).encode("cp932"))
        os.makedirs(self.mail_data, exist_ok=True)
        with open(os.path.join(self.mail_data, "iniIdPass.ini"), "wb") as f:
            f.write(("[EXEINI]\r\nNAME=%s\r\nNAME2=%s\r\nNAME3=1\r\n" % (user, password)).encode("cp932"))
        if number is not None:
            with open(os.path.join(self.mail_data, "ini.ini"), "wb") as f:
                f.write(("[EXEINI]\r\nNUMBER=%d\r\n" % number).encode())

    def start(self, env=None):
        e = dict(self.desktop.env)
        if env:
            e.update(env)
        self.logfile = open(self.log, "wb")
        self.proc = subprocess.Popen([os.path.join(self.install, "mofurin")], cwd=self.workdir,
                                     env=e, start_new_session=True, stdout=self.logfile,
                                     stderr=subprocess.STDOUT)
        return self

    def wait_kitten(self, timeout=15):
        return self.desktop.wait_window("Form1", timeout=timeout)

    def press_receive(self, kitten_at=(350, 260)):
        """Double-clicks the kitten for its bar and presses 受信; the bar's window."""
        self.desktop.pointer(*kitten_at)
        self.desktop.xdotool("click", "--repeat", 2, "--delay", 80, 1)
        bar = self.desktop.wait_window("モフリちゃん")
        bx, by, _, _ = self.desktop.geometry(bar)
        self.desktop.pointer(bx + 64, by + 7)  # 受信
        self.desktop.xdotool("click", 1)
        return bar

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def stop(self):
        _kill_group(self.proc)
        if getattr(self, "logfile", None):
            self.logfile.close()

    def output(self):
        try:
            with open(self.log, "rb") as f:
                return f.read().decode(errors="replace")
        except OSError:
            return ""

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        return False


def count_in(desktop, notice):
    """The count the notice shows: double-clicking its count box (the last 34 pixels of the
    window) selects it."""
    nx, ny, nw, nh = desktop.geometry(notice)
    desktop.pointer(nx + nw - 8, ny + nh // 2)
    desktop.xdotool("click", "--repeat", 2, "--delay", 80, 1)
    return wait_until(desktop.primary_selection, timeout=5, what="the count to be selected")


def write_options(app, text):
    """Writes the kitten's options file (ini.ini in its mail data folder), in code page 932."""
    with open(os.path.join(app.mail_data, "ini.ini"), "wb") as f:
        f.write(text.encode("cp932"))
