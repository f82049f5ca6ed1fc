"""The real kitten on a real X server with openbox: where it appears, its shape, its idle cycle,
dragging, the right click, the double-click and the bar that holds it."""

import os
import signal
import subprocess
import time
import unittest
import urllib.parse

from desktop import Desktop, Mofurin, wait_until
import pictures


def shape_pixels(desktop, window, side=100):
    pixels = set()
    for x, y, w, h in desktop.shape_rectangles(window):
        for yy in range(max(y, 0), min(y + h, side)):
            for xx in range(max(x, 0), min(x + w, side)):
                pixels.add((xx, yy))
    return pixels


class MascotOnTheDesktop(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop().__enter__()
        self.addCleanup(self.desktop.__exit__, None, None, None)
        self.app = Mofurin(self.desktop)
        # A configured installation: no first-run dialogs in the way.
        self.app.write_settings()
        self.addCleanup(self.app.stop)

    def start_at(self, x, y, env=None):
        self.desktop.pointer(x, y)
        self.app.start(env)
        return self.app.wait_kitten()

    def wait_shaped(self, kitten):
        """Until the first tick has cut the kitten to its outline."""
        wait_until(lambda: self.desktop.shape_rectangles(kitten) not in ([], [(0, 0, 100, 100)]),
                   timeout=8, what="the first tick's shape")

    def test_appears_at_the_pointer_above_other_windows(self):
        kitten = self.start_at(300, 200)
        x, y, w, h = wait_until(lambda: self.desktop.geometry(kitten), what="geometry")
        self.assertEqual((w, h), (100, 100))
        self.assertEqual((x, y), (300, 200))
        self.assertIn("_NET_WM_STATE_ABOVE", self.desktop.wm_state(kitten))
        # Undecorated: the window manager added no frame around it.
        self.assertEqual(self.desktop.frame_geometry(kitten), (x, y, w, h))
        self.desktop.screenshot("kitten-at-start")

    def test_shape_follows_the_idle_frames_every_two_seconds(self):
        kitten = self.start_at(200, 200)
        seen = []
        deadline = time.monotonic() + 9.5
        while time.monotonic() < deadline:
            # Picture, shape, picture: a tick between the readings would pair one frame's
            # shape with another's picture, so only readings the same picture brackets count.
            before = pictures.canonical_frame(
                pictures.closest_frame(self.desktop.env, 200, 200, range(0, 9)))
            outline = shape_pixels(self.desktop, kitten)
            frame = pictures.canonical_frame(
                pictures.closest_frame(self.desktop.env, 200, 200, range(0, 9)))
            if len(outline) < 100 * 100 and frame == before:
                if not seen or seen[-1] != frame:
                    seen.append(frame)
                    # The outline on show is exactly the opaque pixels of that frame.
                    self.assertEqual(outline, pictures.opaque_pixels(frame), "frame %d" % frame)
            time.sleep(0.25)
        # Four ticks in 9.5 s: frames 1, 2, 3, 4 in order (the first tick comes after 2 s).
        self.assertGreaterEqual(len(seen), 3, seen)
        self.assertEqual(seen, [pictures.canonical_frame(f) for f in range(1, len(seen) + 1)])
        self.desktop.screenshot("kitten-idle")

    def test_a_drag_moves_the_kitten_and_off_screen_is_pulled_back(self):
        kitten = self.start_at(400, 300)
        self.wait_shaped(kitten)
        self.desktop.pointer(450, 350)
        self.desktop.xdotool("mousedown", 1)
        for step in range(1, 11):
            self.desktop.pointer(450 + step * 20, 350 + step * 10)
            time.sleep(0.03)
        self.desktop.xdotool("mouseup", 1)
        x, y, _, _ = wait_until(lambda: (g := self.desktop.geometry(kitten))[0] != 400 and g,
                                what="the kitten to move")
        self.assertAlmostEqual(x, 600, delta=3)
        self.assertAlmostEqual(y, 400, delta=3)

        # Half off the bottom: within the next tick it sits on the bottom edge.
        self.desktop.pointer(x + 50, y + 50)
        self.desktop.xdotool("mousedown", 1)
        for step in range(1, 11):
            self.desktop.pointer(x + 50, y + 50 + step * 35)
            time.sleep(0.03)
        self.desktop.xdotool("mouseup", 1)
        # Within the next tick the kitten sits on the bottom edge again.
        wait_until(lambda: self.desktop.geometry(kitten)[1] == self.desktop.height - 100,
                   timeout=4.5, what="the kitten pulled back onto the screen")

    def test_a_right_click_ends_the_program(self):
        self.wait_shaped(self.start_at(300, 300))
        self.desktop.pointer(350, 350)
        self.desktop.xdotool("click", 3)
        wait_until(lambda: not self.app.running(), timeout=3, what="the process to end")

    def test_a_second_start_brings_the_one_kitten_to_the_pointer(self):
        self.wait_shaped(self.start_at(200, 150))
        # A kitten killed at once leaves its lock and socket behind; the next start takes them
        # over instead of asking a kitten that is gone.
        os.killpg(self.app.proc.pid, signal.SIGKILL)
        self.app.proc.wait(timeout=5)
        self.app.stop()
        self.assertTrue(os.path.exists(os.path.join(self.desktop.tmp, "mofurin.socket")))
        kitten = self.start_at(200, 150)
        self.wait_shaped(kitten)

        self.desktop.pointer(700, 450)
        started = time.monotonic()
        second = subprocess.run([os.path.join(self.app.install, "mofurin")], cwd=self.app.workdir,
                                env=self.desktop.env, capture_output=True, timeout=20)
        print("second start ended after %.2f s" % (time.monotonic() - started))
        self.assertEqual(second.returncode, 0, second.stderr.decode(errors="replace"))
        wait_until(lambda: self.desktop.geometry(kitten)[:2] == (700, 450), timeout=3,
                   what="the kitten at the pointer")
        time.sleep(1.0)
        self.assertEqual(self.desktop.windows("Form1"), [kitten])
        self.assertTrue(self.app.running())

    def test_a_click_on_a_cut_away_part_reaches_the_window_beneath(self):
        kitten = self.start_at(300, 300)
        self.wait_shaped(kitten)
        inside = shape_pixels(self.desktop, kitten)
        # A right click on a transparent corner does not end the kitten.
        self.assertNotIn((1, 1), inside)
        self.desktop.pointer(301, 301)
        self.desktop.xdotool("click", 3)
        time.sleep(1.0)
        self.assertTrue(self.app.running())
        self.assertEqual(self.desktop.run("xdotool", "getmouselocation").split()[0], "x:301")

    def test_double_click_opens_the_bar_that_holds_the_kitten(self):
        kitten = self.start_at(300, 200)
        self.wait_shaped(kitten)
        self.desktop.pointer(350, 260)
        self.desktop.xdotool("click", "--repeat", 2, "--delay", 80, 1)
        bar = self.desktop.wait_window("モフリちゃん", timeout=5)
        self.assertIn("_NET_WM_STATE_ABOVE", self.desktop.wm_state(bar))
        kx, ky, _, _ = self.desktop.geometry(kitten)
        bx, by, bw, bh = self.desktop.frame_geometry(bar)
        # 1600 twips below and 100 twips to the left of the kitten, at 15 twips a pixel.
        self.assertAlmostEqual(by - ky, 1600 / 15, delta=1.5)
        self.assertAlmostEqual(kx - bx, 100 / 15, delta=1.5)
        self.desktop.screenshot("kitten-with-bar")

        # Moving the bar carries the kitten along.
        self.desktop.xdotool("windowmove", bar, 500, 500)
        def moved():
            nx, ny, _, _ = self.desktop.geometry(kitten)
            fx, fy, _, _ = self.desktop.frame_geometry(bar)
            return fx != bx and (nx, ny, fx, fy)
        nx, ny, fx, fy = wait_until(moved, timeout=3, what="the bar to move")
        wait_until(lambda: abs(self.desktop.geometry(kitten)[1] - (fy - 1600 / 15)) <= 1.5,
                   timeout=3, what="the kitten to follow the bar")
        nx, ny, _, _ = self.desktop.geometry(kitten)
        self.assertAlmostEqual(nx - fx, 100 / 15, delta=1.5)

        # A drag of the kitten is undone while the bar is open.
        self.desktop.pointer(nx + 50, ny + 50)
        self.desktop.xdotool("mousedown", 1)
        for step in range(1, 8):
            self.desktop.pointer(nx + 50 + step * 25, ny + 50)
            time.sleep(0.03)
        self.desktop.xdotool("mouseup", 1)
        wait_until(lambda: abs(self.desktop.geometry(kitten)[0] - nx) <= 1, timeout=2,
                   what="the kitten to go back above the bar")

    def stand_in_browser(self):
        """A browser launcher (xdg-open) that records the address HP hands it: the folder to put
        first on PATH, and the file it writes."""
        bin_dir = os.path.join(self.desktop.tmp, "bin")
        opened = os.path.join(self.desktop.tmp, "opened.txt")
        os.makedirs(bin_dir)
        with open(os.path.join(bin_dir, "xdg-open"), "w") as f:
            f.write("#!/bin/sh\necho \"$1\" > '%s'\n" % opened)
        os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
        return bin_dir, opened

    def test_the_windows_speak_the_desktops_language(self):
        # The bar's title, its caption while the pointer rests on the check button, the
        # settings dialog and the server dialog it opens, as the window manager reads them.
        # HP's question, and the page it opens: the one in the same language.
        bin_dir, opened = self.stand_in_browser()
        rows = [
            ({"LANGUAGE": "en"}, ["Mofurin", "Check", "Settings", "Server", "Confirm"],
             "/Homepage/index.en.html"),
            ({"LANG": "C"}, ["モフリちゃん", "メールチェック", "設定", "サーバー", "確認"],
             "/Homepage/index.html"),
        ]
        for env, titles, page in rows:
            with self.subTest(env=env):
                if os.path.exists(opened):
                    os.remove(opened)
                kitten = self.start_at(300, 200,
                                       dict(env, PATH=bin_dir + ":" + os.environ["PATH"]))
                self.wait_shaped(kitten)
                self.desktop.pointer(350, 260)
                self.desktop.xdotool("click", "--repeat", 2, "--delay", 80, 1)
                seen = []

                def window(title):
                    found = wait_until(lambda: self.desktop.windows_titled(title), timeout=5,
                                       what="window %r (seen %r)" % (title, seen))[0]
                    seen.append(title)
                    return found

                try:
                    bar = window(titles[0])
                    bx, by, _, _ = self.desktop.geometry(bar)
                    self.desktop.pointer(bx + 64, by + 7)
                    window(titles[1])
                    self.desktop.pointer(bx + 100, by + 7)
                    self.desktop.xdotool("click", 1)
                    settings = window(titles[2])
                    sx, sy, _, _ = self.desktop.geometry(settings)
                    self.desktop.pointer(sx + 152, sy + 20)
                    self.desktop.xdotool("click", 1)
                    window(titles[3])
                    self.desktop.screenshot("language-" + "-".join(env.values()))
                    self.desktop.pointer(bx + 134, by + 7)
                    self.desktop.xdotool("click", 1)
                    self.desktop.close_window(window(titles[4]), "Return")
                    wait_until(lambda: os.path.exists(opened) and os.path.getsize(opened),
                               timeout=5, what="the browser to be started")
                    with open(opened) as f:
                        self.assertTrue(f.read().strip().endswith(page))
                finally:
                    # Each row has a kitten of its own: a start while another runs would only
                    # bring that one forward.
                    self.app.stop()
                    wait_until(lambda: not self.app.running(), timeout=5, what="the kitten to end")

    def test_every_box_stays_above_the_kitten_the_bar_and_the_notice(self):
        bin_dir, opened = self.stand_in_browser()
        # Away from the screen's centre, where the boxes open, so that clicks reach the kitten
        # and the bar while a box is open.
        kitten = self.start_at(100, 100, {"PATH": bin_dir + ":" + os.environ["PATH"]})
        self.wait_shaped(kitten)
        self.desktop.pointer(150, 160)
        self.desktop.xdotool("click", "--repeat", 2, "--delay", 80, 1)
        bar = self.desktop.wait_window("モフリちゃん", timeout=5)
        bx, by, _, _ = self.desktop.geometry(bar)

        def press(x):  # a button of the bar: 鳴かす 20, 受信 64, HP 134
            self.desktop.pointer(bx + x, by + 7)
            self.desktop.xdotool("click", 1)

        def assert_above(box, windows):
            order = self.desktop.stacking()
            for window in windows:
                self.assertLess(order.index(window), order.index(box), "%x over the box" % window)

        def close(box, key="Return"):
            self.desktop.close_window(box, key)

        # 受信 against a port nobody listens on: the connection error box.
        press(64)
        box = self.desktop.wait_window("エラー", timeout=10)
        assert_above(box, [kitten, bar])
        # Clicks on the kitten and on the bar's title bar let openbox raise them; the box stays
        # on top.
        self.desktop.pointer(150, 150)
        self.desktop.xdotool("click", 1)
        self.desktop.pointer(bx + 20, by - 8)
        self.desktop.xdotool("click", 1)
        time.sleep(0.5)
        assert_above(box, [kitten, bar])
        self.desktop.screenshot("box-above-kitten-and-bar")
        close(box)
        notice = self.desktop.wait_window("新着お知らせ", timeout=5)

        # HP: the question; 「はい」 opens the homepage in the installation.
        press(134)
        offer = self.desktop.wait_window("確認", timeout=5)
        assert_above(offer, [kitten, bar, notice])
        close(offer, "Return")
        wait_until(lambda: os.path.exists(opened), timeout=5, what="the browser to be started")
        with open(opened) as f:
            address = f.read().strip()
        self.assertTrue(address.startswith("file://"), address)
        page = urllib.parse.unquote(urllib.parse.urlparse(address).path)
        self.assertEqual(os.path.dirname(os.path.dirname(page)), self.app.install)
        self.assertTrue(os.path.isfile(page), page)

        # 鳴かす without a sound server: the sound error box, above the notice as well. It comes
        # once per meowing spell: the next ticks meow silently.
        press(20)
        box = self.desktop.wait_window("エラー", timeout=5)
        assert_above(box, [kitten, bar, notice])
        self.desktop.screenshot("sound-error-above-notice")
        close(box)
        time.sleep(4.5)
        self.assertEqual(self.desktop.windows("エラー"), [])
        # Closing the notice ends the spell; the next spell's failure is shown again.
        close(notice, "alt+F4")
        time.sleep(2.5)
        press(20)
        close(self.desktop.wait_window("エラー", timeout=5))


class MascotAtScreenScales(unittest.TestCase):
    """At a scale above 100 % the window is the picture's size in screen pixels, and its outline
    is cut from the picture rendered for that scale, to the screen pixel."""

    def test_the_outline_follows_the_picture_at_every_scale(self):
        for scale, side in (("1.25", 125), ("1.5", 150), ("2", 200)):
            with self.subTest(scale=scale), Desktop() as desktop:
                app = Mofurin(desktop)
                app.write_settings()
                self.addCleanup(app.stop)
                desktop.pointer(300, 200)
                app.start({"QT_SCALE_FACTOR": scale})
                kitten = app.wait_kitten()
                self.assertEqual(wait_until(lambda: desktop.geometry(kitten), what="geometry"),
                                 (300, 200, side, side))
                wait_until(lambda: desktop.shape_rectangles(kitten)
                           not in ([], [(0, 0, side, side)]), timeout=8,
                           what="the first tick's shape")
                outline = shape_pixels(desktop, kitten, side)
                frames = {f: pictures.opaque_pixels(f, scale) for f in range(0, 8)}
                # The outline is one idle frame's opaque pixels exactly: no row inside the kitten
                # left uncovered, no rim of background around it.
                matching = [f for f, pixels in frames.items() if pixels == outline]
                closest = min(frames, key=lambda f: len(frames[f] ^ outline))
                rows = sorted({y for x, y in frames[closest] ^ outline})
                self.assertTrue(matching, "differs from frame %d in rows %s" % (closest, rows))
                desktop.screenshot("kitten-at-%s" % scale)
                app.stop()


class MascotOnTwoMonitors(unittest.TestCase):
    def setUp(self):
        # Two 1024 x 768 monitors side by side on one X screen.
        self.desktop = Desktop(width=2048, height=768,
                               monitors=[(0, 0, 1024, 768), (1024, 0, 1024, 768)]).__enter__()
        self.addCleanup(self.desktop.__exit__, None, None, None)
        self.app = Mofurin(self.desktop)
        self.app.write_settings()
        self.addCleanup(self.app.stop)

    def test_on_the_second_monitor_the_kitten_stays_there(self):
        # Started half off the right monitor's right edge, the kitten is pulled back to that
        # edge, not onto the primary monitor, and stays.
        self.desktop.pointer(1980, 300)
        self.app.start()
        kitten = self.app.wait_kitten()
        wait_until(lambda: self.desktop.geometry(kitten)[:2] == (1948, 300), timeout=4.5,
                   what="the kitten pulled back to the right monitor's edge")
        time.sleep(2.5)
        self.assertEqual(self.desktop.geometry(kitten)[:2], (1948, 300))


if __name__ == "__main__":
    unittest.main()
