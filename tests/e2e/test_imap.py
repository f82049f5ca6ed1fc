"""IMAP on the real binary against a real Dovecot: 受信 counts the unseen messages and leaves
every flag as it was; with automatic checking on, the kitten keeps a connection idling and
reports a delivery at once, also after the server restarted. A private PulseAudio plays the
meows, as on a desktop (without one the sound error box would stand in front of the notice)."""

import os
import time
import unittest

from desktop import Desktop, Mofurin, count_in, wait_until, write_options
from dovecot_fixture import Dovecot, Mailbox, make_message
from pulse_fixture import PulseAudio


class Imap(unittest.TestCase):
    def test_the_unseen_are_counted_and_no_flag_changes(self):
        messages = [make_message("件名 %d" % n, "本文", number=n) for n in range(4)]
        # An old server without TLS, so the login goes in the clear as the user asked.
        with Dovecot({"tama": Mailbox("secret", messages, {0, 2})}, tls=False) as server, \
                Desktop() as desktop, PulseAudio() as sound:
            before = server.flags("tama")
            app = Mofurin(desktop)
            app.write_settings(pop3="imap://127.0.0.1:%d" % server.imap, user="tama",
                               password="secret")
            with app:
                desktop.pointer(300, 200)
                app.start(env=sound.env)
                app.wait_kitten()
                time.sleep(2.5)
                app.press_receive()
                notice = desktop.wait_window("新着お知らせ", timeout=20)
                desktop.screenshot("imap-notice")
                self.assertEqual(count_in(desktop, notice), "2")
                self.assertEqual(desktop.windows("エラー"), [])
            self.assertEqual(server.flags("tama"), before)
            self.assertIn("imap-login: Info: Login: user=<tama>", server.log_text())

    def test_new_only_reports_each_message_once_and_again_after_the_ids_were_renewed(self):
        messages = [make_message("件名 %d" % n, "本文", number=n) for n in range(3)]
        with Dovecot({"tama": Mailbox("secret", messages, {0})}, tls=False) as server, \
                Desktop() as desktop, PulseAudio() as sound:
            app = Mofurin(desktop)
            app.write_settings(pop3="imap://127.0.0.1:%d" % server.imap, user="tama",
                               password="secret")
            write_options(app, "[MOFURIN]\r\nNEWONLY=1\r\n")

            def check():
                bar = app.press_receive()
                notice = desktop.wait_window("新着お知らせ", timeout=20)
                count = count_in(desktop, notice)
                desktop.close_window(notice)
                desktop.close_window(bar)
                wait_until(lambda: not desktop.windows("新着お知らせ"), timeout=5,
                           what="the notice to close")
                return count

            with app:
                desktop.pointer(300, 200)
                app.start(env=sound.env)
                app.wait_kitten()
                time.sleep(2.5)
                self.assertEqual(check(), "2")
                self.assertEqual(check(), "0")
                # The server renumbers the mailbox (a new UIDVALIDITY, as after a restore):
                # the ids the kitten remembers no longer name these messages.
                maildir = os.path.join(server.folder, "mail", "tama", "Maildir")
                server.restart(lambda: [os.remove(os.path.join(maildir, name))
                                        for name in os.listdir(maildir)
                                        if name.startswith("dovecot")])
                self.assertEqual(check(), "2")
                self.assertEqual(desktop.windows("エラー"), [])

    def test_push_reports_a_delivery_at_once_and_survives_a_server_restart(self):
        with Dovecot({"tama": Mailbox("secret", [make_message("前から", "本文")])},
                     tls=False) as server, Desktop() as desktop, PulseAudio() as sound:
            app = Mofurin(desktop)
            app.write_settings(pop3="imap://127.0.0.1:%d" % server.imap, user="tama",
                               password="secret")
            # Automatic checks every 60 minutes: only push can report within seconds. IDLE is
            # renewed every 1.5 s here (25 minutes in use), so the test sees renewals.
            write_options(app, "[MOFURIN]\r\nAUTOCHECK=60\r\nNEWONLY=1\r\n")
            server.record_commands("tama")
            with app:
                desktop.pointer(300, 200)
                app.start(env=dict(sound.env, MOFURIN_IDLE_PERIOD_MS="1500"))
                app.wait_kitten()
                # The check at start reports what came while the kitten was off.
                notice = desktop.wait_window("新着お知らせ", timeout=20)
                self.assertEqual(count_in(desktop, notice), "1")
                desktop.close_window(notice)
                wait_until(lambda: not desktop.windows("新着お知らせ"), timeout=5,
                           what="the notice to close")
                time.sleep(4.0)  # the idle connection is up, and has renewed IDLE meanwhile

                server.deliver("tama", make_message("いま届いた", "本文", number=1))
                delivered = time.monotonic()
                notice = desktop.wait_window("新着お知らせ", timeout=10)
                latency = time.monotonic() - delivered
                desktop.screenshot("imap-push-notice")
                self.assertLess(latency, 2.0)
                self.assertEqual(count_in(desktop, notice), "1")
                desktop.close_window(notice)
                wait_until(lambda: not desktop.windows("新着お知らせ"), timeout=5,
                           what="the notice to close")

                # The server goes away with the idling session and comes back; what was
                # delivered meanwhile is reported once the kitten is connected again.
                server.restart(lambda: server.deliver(
                    "tama", make_message("留守中", "本文", number=2)))
                notice = desktop.wait_window("新着お知らせ", timeout=15)
                self.assertEqual(count_in(desktop, notice), "1")
                self.assertTrue(app.running())
            commands = [c.split(" ", 1)[-1].upper() for session in server.recorded_commands("tama")
                        for c in session]
            self.assertGreaterEqual(commands.count("IDLE"), 3, commands)
            self.assertGreaterEqual(commands.count("DONE"), 2, commands)
            self.assertFalse([c for c in commands
                              if c.split(" ")[0] in ("STORE", "EXPUNGE", "SELECT")
                              or c.startswith("UID STORE")], commands)


if __name__ == "__main__":
    unittest.main()
