"""Records what a real Dovecot IMAP server sends to a mail check, as seed files for the IMAP
response reader's fuzzer:

    /usr/bin/python3 imap_transcripts.py OUTPUT_FOLDER    (as root, dovecot-imapd installed)

Dovecot runs on 127.0.0.1 from a configuration of its own in a temporary folder (passwd-file,
a Maildir owned by dovecot, as the POP3 fixture does it). The script logs in, examines INBOX,
searches the unseen messages, fetches their header fields, idles while a message arrives, and
logs out; the server's bytes of each exchange go to one file, NN-name.bin.
"""

import os
import pwd
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from dovecot_fixture import free_port, make_message, port_open  # noqa: E402


def write_mailbox(folder):
    dovecot = pwd.getpwnam("dovecot")
    maildir = os.path.join(folder, "mail", "tama", "Maildir")
    # A folder whose name needs modified UTF-7 ("Lists.猫"), so LIST shows one.
    for box in (maildir, os.path.join(maildir, ".Lists.&cys-")):
        for sub in ("new", "cur", "tmp"):
            os.makedirs(os.path.join(box, sub), exist_ok=True)
    messages = [
        (make_message("お知らせ", "本文です。", number=0), "S"),
        (make_message("hello (with parentheses) and \"quotes\"", "body", number=1), ""),
        (make_message("新着メール", "本文", sender='"Mike \\"the cat\\"" <mike@example.jp>',
                      charset="iso-2022-jp", number=2), ""),
    ]
    for n, (data, flags) in enumerate(messages):
        with open(os.path.join(maildir, "cur", f"{1796601600 + n}.M{n}P1.mofurin:2,{flags}"), "wb") as f:
            f.write(data)
    with open(os.path.join(folder, "passwd"), "w") as f:
        f.write("tama:secret\n")
    for root, dirs, files in os.walk(os.path.join(folder, "mail")):
        os.chown(root, dovecot.pw_uid, dovecot.pw_gid)
        for name in files:
            os.chown(os.path.join(root, name), dovecot.pw_uid, dovecot.pw_gid)
    return maildir


def write_config(folder, port):
    for sub in ("run", "state"):
        os.makedirs(os.path.join(folder, sub), exist_ok=True)
    conf = os.path.join(folder, "dovecot.conf")
    with open(conf, "w") as f:
        f.write(f"""
base_dir = {folder}/run
state_dir = {folder}/state
log_path = {folder}/dovecot.log
protocols = imap
listen = 127.0.0.1
default_login_user = dovenull
default_internal_user = dovecot
default_internal_group = dovecot
disable_plaintext_auth = no
auth_mechanisms = plain
auth_failure_delay = 0
first_valid_uid = 1
first_valid_gid = 1
ssl = no
mail_location = maildir:{folder}/mail/%u/Maildir
passdb {{
  driver = passwd-file
  args = scheme=PLAIN {folder}/passwd
}}
userdb {{
  driver = static
  args = uid=dovecot gid=dovecot home={folder}/mail/%u
}}
service imap-login {{
  chroot =
  inet_listener imap {{
    address = 127.0.0.1
    port = {port}
  }}
}}
service anvil {{
  chroot =
}}
""")
    return conf


class Client:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.buffer = b""

    def read_until(self, done):
        while not done(self.buffer):
            chunk = self.sock.recv(65536)
            if not chunk:
                raise RuntimeError(f"the server closed the connection after {self.buffer!r}")
            self.buffer += chunk
        data, self.buffer = self.buffer, b""
        return data

    def command(self, tag, line):
        self.sock.sendall(f"{tag} {line}\r\n".encode())
        end = f"{tag} ".encode()
        return self.read_until(lambda b: b.startswith(end) and b.endswith(b"\r\n") or
                               (b"\r\n" + end in b and b.endswith(b"\r\n")))


def deliver(maildir, data):
    dovecot = pwd.getpwnam("dovecot")
    name = f"{time.time_ns()}.P{os.getpid()}.mofurin"
    path = os.path.join(maildir, "tmp", name)
    with open(path, "wb") as f:
        f.write(data)
    os.chown(path, dovecot.pw_uid, dovecot.pw_gid)
    os.rename(path, os.path.join(maildir, "new", name))


def record(output):
    folder = tempfile.mkdtemp(prefix="mofurin-imap-")
    os.chmod(folder, 0o755)  # the dovecot user must reach the Maildir below it
    port = free_port()
    maildir = write_mailbox(folder)
    conf = write_config(folder, port)
    proc = subprocess.Popen(["dovecot", "-F", "-c", conf], stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, start_new_session=True)
    try:
        deadline = time.monotonic() + 20
        while not port_open(port):
            if proc.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("Dovecot did not start: " + proc.stderr.read().decode(errors="replace"))
            time.sleep(0.05)
        client = Client(port)
        exchanges = [("greeting", client.read_until(lambda b: b.endswith(b"\r\n")))]
        for tag, name, line in [
            ("a1", "capability", "CAPABILITY"),
            ("a2", "login", "LOGIN tama secret"),
            ("a3", "list", 'LIST "" "*"'),
            ("a4", "examine", "EXAMINE INBOX"),
            ("a5", "uid-search", "UID SEARCH UNSEEN"),
            ("a6", "uid-fetch",
             "UID FETCH 1:* (UID FLAGS BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE)])"),
        ]:
            exchanges.append((name, client.command(tag, line)))
        client.sock.sendall(b"a7 IDLE\r\n")
        idle = client.read_until(lambda b: b.endswith(b"\r\n"))
        deliver(maildir, make_message("いま届いた", "new", number=3))
        idle += client.read_until(lambda b: b"EXISTS\r\n" in b)
        client.sock.sendall(b"DONE\r\n")
        idle += client.read_until(lambda b: b"a7 " in b and b.endswith(b"\r\n"))
        exchanges.append(("idle", idle))
        exchanges.append(("logout", client.command("a8", "LOGOUT")))
        os.makedirs(output, exist_ok=True)
        for n, (name, data) in enumerate(exchanges):
            with open(os.path.join(output, f"{n:02d}-{name}.bin"), "wb") as f:
                f.write(data)
    finally:
        subprocess.run(["doveadm", "-c", conf, "stop"], capture_output=True, timeout=20)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, 9)
            proc.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__)
        sys.exit(2)
    record(sys.argv[1])
