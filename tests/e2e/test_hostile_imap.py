"""The real binary against an IMAP server that turns hostile: for each way of misbehaving, 受信
brings an error box while a user still waits for it, the kitten's memory stays where it was
(the server announces a 4 GiB literal, streams megabytes without a line end, or repeats
responses without end), and once the box is closed the kitten checks a well-behaved server as
ever. A BYE while the kitten idles
for push is followed by a new connection within seconds, and no box: the server came back."""

import time
import unittest

from desktop import Desktop, Mofurin, count_in, wait_until, write_options
from hostile_imap import HostileImap
from pulse_fixture import PulseAudio

# How long a user watches 受信中 before taking the kitten for hung: a broken stream is told
# at once, a silent server after the wait a slow line deserves.
AT_ONCE = 10
SILENT = 45
# What one check may add to the kitten's resident memory, at its peak: the largest reply it
# keeps is a megabyte or two.
MEMORY_KB = 10 * 1024

# What the server does, and to which command.
MODES = [
    ("a literal of 4 GiB", "literal", "UID SEARCH", b"4294967295", AT_ONCE),
    ("a literal beyond 64 bits", "literal", "CAPABILITY", b"99999999999999999999", AT_ONCE),
    ("responses without end", "flood", "EXAMINE", b"", AT_ONCE),
    ("search results without end", "flood", "UID SEARCH", b"", AT_ONCE),
    ("a line that never ends", "endless", "EXAMINE", b"", AT_ONCE),
    ("random bytes and NULs", "garbage", "LOGIN", b"", AT_ONCE),
    ("silence after the greeting", "silence", "CAPABILITY", b"", SILENT),
]


def resident_kb(app, field="VmRSS"):
    """The kitten's resident memory now, or with "VmHWM" the most it held since
    reset_peak()."""
    with open("/proc/%d/status" % app.proc.pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise AssertionError("no %s for the kitten" % field)


def reset_peak(app):
    with open("/proc/%d/clear_refs" % app.proc.pid, "w") as f:
        f.write("5")


class HostileImapServer(unittest.TestCase):
    def start(self, desktop, server, sound, options=None):
        app = Mofurin(desktop)
        app.write_settings(pop3="imap://127.0.0.1:%d" % server.port, user="tama",
                           password="secret")
        if options:
            write_options(app, options)
        desktop.pointer(300, 200)
        app.start(env=sound.env)
        app.wait_kitten()
        time.sleep(2.5)
        return app

    def check_counts(self, desktop, app, expected):
        """受信 against the server behaving: the notice shows the count and no box opens."""
        bar = app.press_receive()
        notice = desktop.wait_window("新着お知らせ", timeout=20)
        self.assertEqual(count_in(desktop, notice), expected)
        self.assertEqual(desktop.windows("エラー"), [])
        desktop.close_window(notice)
        desktop.close_window(bar)

    def test_each_misbehaviour_brings_a_box_in_time_and_the_kitten_goes_on(self):
        with HostileImap() as server, Desktop() as desktop, PulseAudio() as sound:
            app = self.start(desktop, server, sound)
            with app:
                self.check_counts(desktop, app, "1")
                for name, kind, at, argument, patience in MODES:
                    with self.subTest(name):
                        server.misbehave(kind, at, argument)
                        reset_peak(app)
                        before = resident_kb(app)
                        bar = app.press_receive()
                        pressed = time.monotonic()
                        box = desktop.wait_window("エラー", timeout=patience)
                        waited = time.monotonic() - pressed
                        # The kitten hung up rather than read on.
                        connection = server.connections[-1]
                        wait_until(lambda: connection.closed, timeout=5,
                                   what="the kitten to hang up")
                        # At its peak, too: what was freed again was still held meanwhile.
                        grown = resident_kb(app, "VmHWM") - before
                        if name == MODES[0][0]:
                            desktop.screenshot("hostile-imap-error")
                        print("%s: box after %.1f s, %d bytes streamed, %+d kB resident"
                              % (name, waited, connection.streamed, grown))
                        desktop.close_window(box)
                        # The failed check's notice follows the box.
                        notice = desktop.wait_window("新着お知らせ", timeout=10)
                        desktop.close_window(notice)
                        desktop.close_window(bar)
                        self.assertTrue(app.running(), app.output())
                        server.behave()
                        self.check_counts(desktop, app, "1")
                        self.assertLess(grown, MEMORY_KB)

    def test_a_bye_while_idling_is_followed_by_a_new_connection_and_no_box(self):
        with HostileImap(unseen=()) as server, Desktop() as desktop, PulseAudio() as sound:
            server.bye_in_next_idle()
            # Automatic checks every 60 minutes: the kitten idles on the mailbox for push.
            app = self.start(desktop, server, sound, "[MOFURIN]\r\nAUTOCHECK=60\r\n")
            with app:
                bye = wait_until(lambda: [c.bye for c in server.connections if c.bye],
                                 timeout=20, what="the kitten to idle")[0]
                before = resident_kb(app)
                after = wait_until(
                    lambda: [c for c in server.connections if c.opened > bye], timeout=15,
                    what="a new connection")[0]
                print("new connection %.1f s after BYE" % (after.opened - bye))
                self.assertLess(after.opened - bye, 7.5)
                # The new connection idles again; a server that came back is no failure.
                wait_until(lambda: [c for c in server.connections if c.opened > bye and any(
                    command.upper().endswith(" IDLE") for command in c.commands)],
                    timeout=10, what="IDLE on the new connection")
                time.sleep(1.0)
                self.assertEqual(desktop.windows("エラー"), [])
                self.assertTrue(app.running(), app.output())
                self.assertLess(resident_kb(app) - before, MEMORY_KB)
                self.check_counts(desktop, app, "0")


if __name__ == "__main__":
    unittest.main()
