"""A desktop account on the real binary: with ACCOUNT=goa:<Id> and the online-accounts service's
stand-in on a private session bus, 受信 connects to the account's server (a Dovecot that takes
OAuth2 bearer tokens), asks once about its self-signed certificate, and logs in with the
service's token; the server field and ID/PASS (a server that does not exist) are not used. The
choice holds through a restart. A private PulseAudio plays the meows, as on a desktop."""

import os
import subprocess
import tempfile
import time
import unittest

import desktop as desktop_module
from desktop import Desktop, Mofurin, wait_until
from dovecot_fixture import Dovecot, Mailbox, make_message
from pulse_fixture import PulseAudio

SUPPORT = os.path.dirname(os.path.abspath(desktop_module.__file__))


class AccountsBus:
    """dbusmock_fixture.py with the online-accounts stand-in started."""

    def __enter__(self):
        self.proc = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(SUPPORT, "dbusmock_fixture.py"),
             tempfile.mkdtemp(prefix="mofurin-goa-bus-")],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.address = self.proc.stdout.readline().split(" ", 1)[1].strip()
        self.proc.stdin.write("start-accounts\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline()
        if not answer.startswith("ok"):
            raise RuntimeError(answer)
        return self

    def control(self, method, *args):
        subprocess.run(["gdbus", "call", "--address", self.address,
                        "--dest", "org.gnome.OnlineAccounts",
                        "--object-path", "/org/gnome/OnlineAccounts",
                        "--method", "org.freedesktop.DBus.Mock." + method, *args],
                       check=True, capture_output=True, timeout=10)

    def __exit__(self, *exc):
        self.proc.stdin.close()
        self.proc.wait(timeout=10)
        return False


class DesktopAccount(unittest.TestCase):
    def test_receive_logs_in_with_the_services_token(self):
        messages = [make_message("件名 %d" % n, "本文", number=n) for n in range(2)]
        with Dovecot({"tama": Mailbox("secret", messages)},
                     oauth2={"tokens": {"token-of-tama": "tama"}}) as server, \
                AccountsBus() as bus, Desktop() as desktop, PulseAudio() as sound:
            bus.control("AddOAuth2Account", "account_1", "Google", "tama@example.jp",
                        "127.0.0.1:%d" % server.imaps, "tama", "token-of-tama")
            app = Mofurin(desktop)
            app.write_settings(pop3="127.0.0.1:1", user="u", password="p")
            with open(os.path.join(app.mail_data, "ini.ini"), "wb") as f:
                f.write(b"[MOFURIN]\r\nACCOUNT=goa:account_1\r\n")
            with app:
                desktop.pointer(300, 200)
                app.start(env=dict(sound.env, DBUS_SESSION_BUS_ADDRESS=bus.address))
                app.wait_kitten()
                time.sleep(2.5)
                app.press_receive()
                box = desktop.wait_window("エラー", timeout=20)
                self.assertNotIn("user=<tama>", server.log_text())
                desktop.run("xdotool", "windowactivate", "--sync", str(box), "key", "alt+y")
                wait_until(lambda: not desktop.windows("エラー"), timeout=5,
                           what="the trust box to close")
                # The pointer still rests on 受信: once more.
                desktop.xdotool("click", 1)
                desktop.wait_window("新着お知らせ", timeout=20)
                desktop.screenshot("desktop-account-notice")
                self.assertEqual(desktop.windows("エラー"), [])
                logins = [line for line in server.log_text().splitlines()
                          if "Login: user=<tama>" in line]
                self.assertEqual(len(logins), 1, server.log_text())
                self.assertRegex(logins[0], r"method=(XOAUTH2|OAUTHBEARER).*TLS")
                self.assertNotIn("token-of-tama", app.output())
            with open(os.path.join(app.mail_data, "ini.ini"), "rb") as f:
                self.assertIn(b"ACCOUNT=goa:account_1\r\n", f.read())

            # Started again, the kitten still logs in with the account (and its pinned
            # certificate): no question, a second login of the same kind.
            with app:
                desktop.pointer(300, 200)
                app.start(env=dict(sound.env, DBUS_SESSION_BUS_ADDRESS=bus.address))
                app.wait_kitten()
                time.sleep(2.5)
                app.press_receive()
                desktop.wait_window("新着お知らせ", timeout=20)
                self.assertEqual(desktop.windows("エラー"), [])
                logins = [line for line in server.log_text().splitlines()
                          if "Login: user=<tama>" in line]
                self.assertEqual(len(logins), 2, server.log_text())
                self.assertRegex(logins[1], r"method=(XOAUTH2|OAUTHBEARER).*TLS")


if __name__ == "__main__":
    unittest.main()
