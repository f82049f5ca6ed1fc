"""受信 on the real binary against a Dovecot that offers STLS with a self-signed certificate and
refuses every login in the clear: the check stops at the certificate and asks; once the user
trusts it, the next check logs in over TLS, and the program remembers both."""

import os
import time
import unittest

from desktop import Desktop, Mofurin, wait_until
from dovecot_fixture import Dovecot, Mailbox, make_message


class SecureLogin(unittest.TestCase):
    def test_the_certificate_is_trusted_once_and_the_next_check_logs_in_over_tls(self):
        messages = [make_message("秘密 %d" % n, "本文", number=n) for n in range(2)]
        with Dovecot({"tama": Mailbox("secret", messages)}) as server, Desktop() as desktop:
            app = Mofurin(desktop)
            app.write_settings(pop3="127.0.0.1:%d" % server.pop3, user="tama", password="secret")
            with app:
                desktop.pointer(300, 200)
                app.start()
                app.wait_kitten()
                time.sleep(2.5)
                app.press_receive()
                box = desktop.wait_window("エラー", timeout=20)
                desktop.screenshot("secure-login-trust-box")
                # No password went out: Dovecot saw no login at all.
                self.assertNotIn("user=<tama>", server.log_text())
                # はい (Alt+Y): trust this certificate for this server.
                desktop.run("xdotool", "windowactivate", "--sync", str(box), "key", "alt+y")
                wait_until(lambda: not desktop.windows("エラー"), timeout=5,
                           what="the trust box to close")
                notice = desktop.wait_window("新着お知らせ", timeout=10)
                desktop.close_window(notice)
                with open(os.path.join(app.mail_data, "tls.ini"), "rb") as f:
                    remembered = f.read().decode("cp932")
                self.assertRegex(remembered, r"\[PIN\]\r\n127\.0\.0\.1 %d=([0-9A-F]{2}:){31}[0-9A-F]{2}"
                                 % server.pop3)

                # The pointer still rests on 受信 (the bar shows its hover caption): once more.
                desktop.xdotool("click", 1)
                desktop.wait_window("新着お知らせ", timeout=20)
                desktop.screenshot("secure-login-notice")
                self.assertEqual(desktop.windows("エラー"), [])
                logins = [line for line in server.log_text().splitlines()
                          if "Login: user=<tama>" in line]
                self.assertEqual(len(logins), 1, server.log_text())
                self.assertIn("TLS", logins[0])
                with open(os.path.join(app.mail_data, "tls.ini"), "rb") as f:
                    remembered = f.read().decode("cp932")
                self.assertIn("[TLS]\r\n127.0.0.1 %d=1" % server.pop3, remembered)


if __name__ == "__main__":
    unittest.main()
