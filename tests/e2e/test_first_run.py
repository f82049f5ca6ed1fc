"""A new user's first start on a real X server: no server file and an empty installation. The
server dialog and then the account dialog ask for the settings; what is typed reaches the files
byte for byte; the next start asks nothing."""

import os
import time
import unittest

from desktop import Desktop, Mofurin, wait_until


class FirstRun(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop().__enter__()
        self.addCleanup(self.desktop.__exit__, None, None, None)
        self.app = Mofurin(self.desktop)
        os.makedirs(self.app.mail_data, exist_ok=True)
        self.addCleanup(self.app.stop)

    def click_in(self, window, x, y):
        wx, wy, _, _ = self.desktop.geometry(window)
        self.desktop.pointer(wx + x, wy + y)
        self.desktop.xdotool("click", 1)
        time.sleep(0.2)

    def type_text(self, text):
        self.desktop.xdotool("type", "--delay", 30, text)
        time.sleep(0.2)

    def test_both_dialogs_then_files_then_a_quiet_restart(self):
        self.desktop.pointer(600, 500)
        self.app.start()
        server = self.desktop.wait_window("サーバー")
        account = self.desktop.wait_window("ID,PASS")
        self.assertIn("_NET_WM_STATE_ABOVE", self.desktop.wm_state(server))
        self.assertNotIn("_NET_WM_STATE_ABOVE", self.desktop.wm_state(account))
        # A fixed single border: the window manager offers neither maximising nor resizing.
        for dialog in (server, account):
            actions = self.desktop.run("xprop", "-id", str(dialog), "_NET_WM_ALLOWED_ACTIONS")
            self.assertNotIn("_NET_WM_ACTION_MAXIMIZE", actions)
            self.assertNotIn("_NET_WM_ACTION_RESIZE", actions)
        self.desktop.screenshot("first-run-dialogs")

        # The server dialog, at 15 twips a pixel: SMTP box at (8, 24), POP3 at (8, 64), mail at
        # (8, 104), APOP box at (32, 136), 設定 at (44, 168).
        self.click_in(server, 60, 32)
        self.type_text("smtp.example")
        self.click_in(server, 60, 72)
        self.type_text(" 127.0.0.1:1110 ")
        self.click_in(server, 60, 112)
        self.type_text("me@example")
        self.click_in(server, 40, 144)
        self.click_in(server, 76, 180)
        wait_until(lambda: not self.desktop.windows("サーバー"), timeout=5,
                   what="the server dialog to close")
        with open(os.path.join(self.app.workdir, "vbmail.ini"), "rb") as f:
            self.assertEqual(f.read(), b"SMTP=smtp.example\r\nPOP3= 127.0.0.1:1110 \r\n"
                                       b"MAIL=me@example\r\nAPOP=1\r\n")

        # The account dialog: ID box at (64, 8), password at (64, 40), save box at (28, 68).
        self.click_in(account, 100, 16)
        self.type_text("kitten")
        self.click_in(account, 100, 48)
        self.type_text("s3cret")
        self.click_in(account, 36, 76)
        self.desktop.xdotool("key", "Return")
        wait_until(lambda: not self.desktop.windows("ID,PASS"), timeout=5,
                   what="the account dialog to close")
        path = os.path.join(self.app.mail_data, "iniIdPass.ini")
        with open(path, "rb") as f:
            self.assertEqual(f.read(), b"[EXEINI]\r\nNAME=kitten\r\nNAME2=s3cret\r\nNAME3=1\r\n")
        self.assertEqual(os.stat(path).st_mode & 0o777, 0o600)

        # The next start asks nothing.
        self.app.stop()
        self.app.start()
        self.app.wait_kitten()
        time.sleep(1.5)
        self.assertEqual(self.desktop.windows("サーバー"), [])
        self.assertEqual(self.desktop.windows("ID,PASS"), [])


if __name__ == "__main__":
    unittest.main()
