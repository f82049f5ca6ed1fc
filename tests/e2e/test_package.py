"""The Debian package on this machine: it installs, its desktop entry and software-centre entry
validate where they were installed, `mofurin` starts from PATH as a normal user (a free uid
without an account) and keeps that user's settings in ~/.config/mofurin, and removing the
package leaves no file behind.

Installing a system package needs root, and CI runs as root: as another user this test fails
rather than skips, so a run that did not check the package never looks like one that did. A
copy of mofurin installed before the test is never touched: the test fails instead."""

import os
import pwd
import shutil
import signal
import subprocess
import tempfile
import unittest

from desktop import Desktop, wait_until

BUILD_DIR = os.environ.get("MOFURIN_BUILD_DIR", "")
# Folders the package writes into; after removal nothing new may be left in them.
WATCHED = ["/usr", "/etc", "/opt", "/var/lib/dpkg/info"]
# Caches the system's own dpkg triggers rebuild for every package with a menu entry or icons.
TRIGGER_CACHES = {"/usr/share/applications/mimeinfo.cache",
                  "/usr/share/icons/hicolor/icon-theme.cache"}


def run(*args, **kwargs):
    return subprocess.run(list(args), capture_output=True, text=True, **kwargs)


def installed():
    r = run("dpkg-query", "-W", "-f=${Status}", "mofurin")
    return r.returncode == 0 and "installed" in r.stdout and "not-installed" not in r.stdout


def snapshot():
    paths = set()
    for top in WATCHED:
        for folder, dirs, files in os.walk(top):
            paths.add(folder)
            paths.update(os.path.join(folder, name) for name in files + dirs)
    return paths - TRIGGER_CACHES


def free_uid():
    for uid in range(61000, 62000):
        try:
            pwd.getpwuid(uid)
        except KeyError:
            return uid
    raise AssertionError("no free uid between 61000 and 62000")


class Package(unittest.TestCase):
    def setUp(self):
        if os.geteuid() != 0:
            self.fail("this test installs a system package and needs root (CI runs as root)")
        if installed():
            self.fail("mofurin is already installed on this machine; remove it before the test")
        self.tmp = tempfile.mkdtemp(prefix="mofurin-package-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)

    def build_package(self):
        r = run("cpack", "-G", "DEB", "-B", os.path.join(self.tmp, "dist"), cwd=BUILD_DIR)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        debs = [f for f in os.listdir(os.path.join(self.tmp, "dist")) if f.endswith(".deb")]
        self.assertEqual(len(debs), 1, debs)
        return os.path.join(self.tmp, "dist", debs[0])

    def purge(self):
        if installed():
            run("dpkg", "--purge", "mofurin", env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))

    def start_as_user(self, desktop, uid):
        home = os.path.join(self.tmp, "home")
        runtime = os.path.join(self.tmp, "runtime")
        for folder in (home, runtime):
            os.mkdir(folder, 0o700)
            os.chown(folder, uid, uid)
        os.chmod(self.tmp, 0o755)
        env = {"DISPLAY": desktop.display, "HOME": home, "XDG_RUNTIME_DIR": runtime,
               "PATH": "/usr/local/bin:/usr/bin:/bin", "LANG": "C.UTF-8",
               "PULSE_SERVER": "unix:" + os.path.join(runtime, "no-pulse")}
        log = open(os.path.join(self.tmp, "mofurin.log"), "wb")
        self.addCleanup(log.close)
        proc = subprocess.Popen(["setpriv", "--reuid=%d" % uid, "--regid=%d" % uid,
                                 "--clear-groups", "--", "mofurin"],
                                cwd=home, env=env, start_new_session=True, stdout=log,
                                stderr=subprocess.STDOUT)
        self.addCleanup(self.stop, proc)
        return proc, home

    @staticmethod
    def stop(proc):
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait(timeout=10)

    def test_installs_runs_as_a_user_from_path_and_leaves_nothing_behind(self):
        deb = self.build_package()
        # The sound module is loaded at run time, so only the package's dependencies bring
        # what it links to.
        depends = run("dpkg-deb", "--field", deb, "Depends").stdout
        self.assertIn("libqt6multimedia6", depends)
        before = snapshot()
        self.addCleanup(self.purge)
        r = run("dpkg", "--install", deb, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertTrue(installed())

        files = set(run("dpkg", "--listfiles", "mofurin").stdout.split())
        for path in ("/usr/bin/mofurin", "/usr/lib/mofurin/mofurin",
                     "/usr/lib/mofurin/mofurin-sound.so", "/usr/lib/mofurin/mofurin-mail.so",
                     "/usr/lib/mofurin/Sound/Kouka.wav",
                     "/usr/lib/mofurin/Homepage/index.html",
                     "/usr/lib/mofurin/Homepage/index.en.html",
                     "/usr/lib/mofurin/Homepage/kitten.png",
                     "/usr/share/applications/mofurin.desktop", "/usr/share/doc/mofurin/copyright"):
            self.assertIn(path, files)
        for size in (16, 32, 48, 64, 128, 256):
            self.assertIn("/usr/share/icons/hicolor/%dx%d/apps/mofurin.png" % (size, size), files)
        r = run("desktop-file-validate", "/usr/share/applications/mofurin.desktop")
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        metainfo = [f for f in files if f.startswith("/usr/share/metainfo/")]
        self.assertEqual(len(metainfo), 1, metainfo)
        r = run("appstreamcli", "validate", "--no-net", metainfo[0])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

        uid = free_uid()
        with Desktop() as desktop:
            desktop.pointer(500, 300)
            proc, home = self.start_as_user(desktop, uid)
            kitten = desktop.wait_window("Form1", timeout=20)
            self.assertIsNone(proc.poll())
            # A first start: nothing is set, so both dialogs ask.
            desktop.wait_window("サーバー")
            desktop.wait_window("ID,PASS")
            x, y, _, _ = desktop.geometry(kitten)
            self.assertEqual((x, y), (500, 300))
            with open("/proc/%d/status" % proc.pid) as f:
                self.assertIn("Uid:\t%d\t%d" % (uid, uid), f.read())
            # The settings go to the user's configuration folder, made readable by the user
            # only, not into the system's program folder.
            data = os.path.join(home, ".config", "mofurin", "★MailData")
            wait_until(lambda: os.path.isdir(data), timeout=5, what="the user's ★MailData")
            for folder in (os.path.dirname(data), data):
                st = os.stat(folder)
                self.assertEqual((st.st_uid, st.st_mode & 0o777), (uid, 0o700), folder)
            self.assertEqual(sorted(os.listdir("/usr/lib/mofurin")),
                             ["Homepage", "Sound", "mofurin", "mofurin-mail.so", "mofurin-sound.so"])
            # The mail module waits for the first check.
            with open("/proc/%d/maps" % proc.pid) as f:
                self.assertNotIn("mofurin-mail.so", f.read())
            # The bar makes a meow likely: the installed kitten loads its sound module then.
            # (The first-run dialogs, centred, cover the kitten's right half.)
            desktop.pointer(515, 330)
            desktop.xdotool("click", "--repeat", 2, "--delay", 80, 1)
            desktop.wait_window("モフリちゃん")

            def sound_module_loaded():
                with open("/proc/%d/maps" % proc.pid) as f:
                    return "/usr/lib/mofurin/mofurin-sound.so" in f.read()
            wait_until(sound_module_loaded, timeout=5, what="the sound module loaded")
            self.stop(proc)

        r = run("dpkg", "--purge", "mofurin", env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertFalse(installed())
        self.assertEqual(sorted(snapshot() - before), [])


if __name__ == "__main__":
    unittest.main()
