"""受信 on the real binary against a real Dovecot and a private PulseAudio: the notice window
reports the count, the kitten meows (heard on the sound server's null sink), and closing the
notice stops the meowing."""

import time
import unittest

from desktop import Desktop, Mofurin
from dovecot_fixture import Dovecot, Mailbox, make_message
import pictures
from pulse_fixture import PulseAudio, loud_spans


class MailCheck(unittest.TestCase):
    def test_three_messages_are_reported_and_the_kitten_meows_until_the_notice_closes(self):
        messages = [make_message("こんにちは %d" % n, "本文 %d" % n, number=n,
                                 charset="iso-2022-jp") for n in range(3)]
        # An old server without TLS: the check logs in in the clear, as it always did.
        with Dovecot({"tama": Mailbox("secret", messages)}, tls=False) as server, \
                Desktop() as desktop, \
                PulseAudio() as sound:
            app = Mofurin(desktop)
            app.write_settings(pop3="127.0.0.1:%d" % server.pop3, user="tama", password="secret")
            with app:
                desktop.pointer(300, 200)
                app.start(env=sound.env)
                kitten = app.wait_kitten()
                time.sleep(2.5)
                app.press_receive()
                notice = desktop.wait_window("新着お知らせ", timeout=20)
                desktop.screenshot("mail-check-notice")
                _, _, nw, nh = desktop.geometry(notice)
                self.assertEqual((nw, nh), (242, 18))

                # Mail waits: the kitten meows on every tick (0.78 s of meow every 2 s), with
                # no error box.
                heard = loud_spans(sound.record(4.5))
                desktop.screenshot("mail-check-meow")
                self.assertGreaterEqual(heard, 8, "the meow was not heard")
                self.assertEqual(desktop.windows("エラー"), [])

                # Closing the notice ends the meowing: after the meow in flight, silence, and
                # the idle frames come back.
                desktop.close_window(notice)
                time.sleep(1.0)
                self.assertEqual(loud_spans(sound.record(4.5)), 0, "still meowing")
                kx, ky, _, _ = desktop.geometry(kitten)
                frame = pictures.closest_frame(desktop.env, kx, ky, range(0, 10))
                self.assertNotIn(frame, (0, 9))
                self.assertEqual(desktop.windows("エラー"), [])
            self.assertIn("tama", server.log_text())


if __name__ == "__main__":
    unittest.main()
