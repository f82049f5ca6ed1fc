"""受信 on the real binary against a POP3 server that takes over a second for every reply: while
the check waits on it, the kitten keeps its idle cycle (picture and shape change on the ticks,
read back from the X server) and the bar's caption says the check is running; then the notice
shows the count."""

import re
import time
import unittest

from desktop import Desktop, Mofurin, count_in
from dovecot_fixture import make_message
from loopback_server import LoopbackServer
import pictures
from pulse_fixture import PulseAudio

CHECKING = "受信中"
# Which message of how many: short enough for the title of the 158-pixel bar.
PROGRESS = re.compile(r"[12]/2通")


class SlowPop3(LoopbackServer):
    """A POP3 server on 127.0.0.1 that waits `delay` seconds before each reply. Any user and
    password log in; the mailbox holds `messages` (bytes, LF line ends)."""

    def __init__(self, messages, delay):
        super().__init__()
        self.messages = [m.replace(b"\n", b"\r\n") for m in messages]
        self.delay = delay
        self.commands = []

    def _reply(self, connection, lines):
        if self._stopped.wait(self.delay):
            return
        body = b"".join((b"." + line if line.startswith(b".") else line) + b"\r\n"
                        for line in lines[1:])
        connection.sendall(lines[0] + b"\r\n" + body + (b".\r\n" if len(lines) > 1 else b""))

    def _answer(self, words):
        count = len(self.messages)
        command = words[0].upper() if words else b""
        number = int(words[1]) if len(words) > 1 and words[1].isdigit() else 0
        message = self.messages[number - 1] if 1 <= number <= count else None
        if command in (b"USER", b"PASS"):
            return [b"+OK"]
        if command == b"CAPA":
            return [b"+OK", b"USER", b"TOP", b"UIDL"]
        if command == b"STAT":
            return [b"+OK %d %d" % (count, sum(len(m) for m in self.messages))]
        if command == b"LIST" and message:
            return [b"+OK %d %d" % (number, len(message))]
        if command in (b"TOP", b"RETR") and message:
            header, _, body = message.partition(b"\r\n\r\n")
            lines = header.split(b"\r\n") + [b""]
            if command == b"RETR" or len(words) < 3 or words[2] != b"0":
                lines += body.split(b"\r\n")
            return [b"+OK"] + lines
        if command == b"UIDL":
            return [b"+OK"] + [b"%d id%d" % (n, n) for n in range(1, count + 1)]
        if command == b"QUIT":
            return [b"+OK bye"]
        return [b"-ERR unknown"]

    def _session(self, connection):
        self._reply(connection, [b"+OK slow server ready"])
        for line in self._lines(connection):
            self.commands.append(line.decode(errors="replace"))
            words = line.split()
            self._reply(connection, self._answer(words))
            if words and words[0].upper() == b"QUIT":
                return


class SlowServer(unittest.TestCase):
    def test_the_kitten_keeps_its_idle_cycle_while_a_slow_server_answers(self):
        messages = [make_message("ゆっくり %d" % n, "本文 %d" % n, number=n) for n in range(2)]
        # About fifteen seconds of check: twelve replies of 1.2 s each. A sound server, so the
        # meow that follows the notice plays instead of opening an error box.
        with SlowPop3(messages, delay=1.2) as server, Desktop() as desktop, \
                PulseAudio() as sound:
            app = Mofurin(desktop)
            app.write_settings(pop3="127.0.0.1:%d" % server.port, user="tama", password="secret")
            with app:
                desktop.pointer(300, 200)
                app.start(env=sound.env)
                kitten = app.wait_kitten()
                time.sleep(2.5)
                bar = app.press_receive()
                # Off the bar and the kitten: hovering a button would put its own caption up.
                desktop.pointer(900, 650)

                captions, frames, shapes = set(), [], []
                while not desktop.windows("新着お知らせ"):
                    caption = desktop.title(bar) or ""
                    kx, ky, _, _ = desktop.geometry(kitten)
                    frame = pictures.canonical_frame(
                        pictures.closest_frame(desktop.env, kx, ky, range(0, 9)))
                    shape = tuple(desktop.shape_rectangles(kitten))
                    # Only readings the check's caption brackets count.
                    checking = caption == CHECKING or PROGRESS.fullmatch(caption)
                    if checking and (desktop.title(bar) or "") == caption:
                        if PROGRESS.fullmatch(caption) and not any(
                                PROGRESS.fullmatch(c) for c in captions):
                            # The bar is narrow: the whole caption must fit its title.
                            desktop.screenshot("slow-server-progress")
                        captions.add(caption)
                        if not frames or frames[-1] != frame:
                            frames.append(frame)
                            if len(frames) == 3:
                                desktop.screenshot("slow-server-checking")
                        if not shapes or shapes[-1] != shape:
                            shapes.append(shape)
                    self.assertTrue(app.running(), app.output())
                    self.assertLess(len(server.commands), 40, server.commands)
                    time.sleep(0.2)

                # The check lasted several ticks of two seconds, and each showed another pose.
                self.assertGreaterEqual(len(frames), 3, (frames, captions, server.commands))
                self.assertGreaterEqual(len(shapes), 3, frames)
                self.assertIn(CHECKING, captions)
                self.assertTrue(any(PROGRESS.fullmatch(c) for c in captions), captions)
                self.assertFalse([c for c in server.commands if c.upper().startswith("RETR")])

                notice = desktop.wait_window("新着お知らせ")
                time.sleep(0.5)
                desktop.screenshot("slow-server-notice")
                self.assertEqual(count_in(desktop, notice), "2")
                self.assertNotIn(desktop.title(bar), captions)
                self.assertEqual(desktop.windows("エラー"), [])


if __name__ == "__main__":
    unittest.main()
