"""A throwaway Dovecot POP3 server for tests, on 127.0.0.1, everything in a temporary folder.

    with Dovecot({"tama": Mailbox("secret", [make_message("件名", "本文")])}) as server:
        server.pop3     # plain POP3 port (its greeting carries an APOP timestamp)
        server.pop3s    # POP3 over TLS from the first byte
        server.imap     # IMAP on the same mailboxes (STARTTLS offered), server.imaps over TLS
        server.ca_file  # the self-signed certificate of the server, to trust in a test
        server.untrusted_ca_file  # another self-signed certificate, which did not sign it
        server.deliver("tama", message)  # new mail between two sessions
        server.record_commands("tama"); ...; server.recorded_commands("tama")  # what was sent
        server.relays["imap_no_starttls"].port  # IMAP as Dovecot serves a remote client

Users have plaintext passwords (a passwd-file with scheme PLAIN), so APOP works; failed logins
are answered at once (auth_failure_delay = 0). Dovecot runs as root with the dovecot and
dovenull users for its processes; the Maildirs are owned by dovecot.

Other programs (C++ tests) use it through `python3 dovecot_fixture.py --serve CONFIG.json`: it
prints one JSON line with the ports and certificate paths, serves until its standard input is
closed, then stops Dovecot and removes the folder. CONFIG.json is
{"users": {"name": {"password": "...", "messages": ["raw message", ...], "seen": [0, ...]}}}; a
message may also be {"count": N, "size": BYTES} for N generated messages of about that size, and
"seen" lists the indices of messages already read (IMAP's \Seen flag). With "oauth2":
{"tokens": {"TOKEN": "user", ...}} the IMAP logins also take XOAUTH2 and OAUTHBEARER: a passdb
of driver oauth2 asks a token-introspection endpoint this script serves on 127.0.0.1, which
calls the listed tokens active (for their user) and any other inactive.

Dovecot is stopped with `doveadm -c CONF stop`, and its process group is killed as a fallback,
also when a test fails or the serving process is told to stop.
"""

import atexit
import json
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
from dataclasses import dataclass, field
from email.header import Header
from email.utils import formatdate

START_TIMEOUT = 20.0

# Clients that Dovecot sees as remote (documentation addresses, RFC 5737) through a ProxyRelay
# each, by the name the relay's port goes under, with the settings Dovecot has for that address.
# From a remote address the TLS rules apply as to any stranger: STARTTLS is offered and no login
# is taken before it (LOGINDISABLED); or there is no TLS at all, with logins in the clear taken;
# or there is no TLS and still no login in the clear, so no login at all.
REMOTE_IMAP = {
    "imap_starttls_required": ("192.0.2.10", ""),
    "imap_no_starttls": ("192.0.2.20", "ssl = no\n  disable_plaintext_auth = no"),
    "imap_login_disabled": ("192.0.2.30", "ssl = no"),
}


@dataclass
class Mailbox:
    password: str
    messages: list = field(default_factory=list)  # raw messages, bytes or str
    seen: set = field(default_factory=set)  # indices of the messages already read (IMAP \Seen)


def make_message(subject, body, sender="Tama <tama@example.jp>", charset="utf-8", number=0):
    """A small RFC 5322 message; a non-ASCII subject is written as an encoded-word of the given
    charset (for example "iso-2022-jp" or "utf-8")."""
    try:
        subject.encode("ascii")
        encoded_subject = subject
    except UnicodeEncodeError:
        encoded_subject = Header(subject, charset).encode()
    lines = [
        f"From: {sender}",
        "To: mofurin@example.jp",
        f"Subject: {encoded_subject}",
        f"Date: {formatdate(1796601600 + number * 60)}",
        f"Message-ID: <{number}.{time.time_ns()}@example.jp>",
        "MIME-Version: 1.0",
        f"Content-Type: text/plain; charset={charset}",
        "Content-Transfer-Encoding: 8bit" if charset == "utf-8" else "Content-Transfer-Encoding: 7bit",
        "",
    ]
    return ("\n".join(lines) + "\n").encode("ascii") + body.encode(charset) + b"\n"


def generated_messages(count, size):
    """count messages of about size bytes each, some with dot-stuffed lines and Japanese
    subjects, so that a retrieval has real work to do."""
    messages = []
    line = "The quick brown kitten jumps over the lazy dog, 0123456789 abcdefghij.\n"
    for n in range(count):
        body_lines = []
        while sum(len(x) for x in body_lines) < max(0, size - 400):
            body_lines.append(line)
        body_lines.insert(len(body_lines) // 2, ".a line starting with a dot\n")
        subject = f"新着メール {n + 1}" if n % 2 else f"message {n + 1}"
        messages.append(make_message(subject, "".join(body_lines),
                                     charset="iso-2022-jp" if n % 4 == 1 else "utf-8", number=n))
    return messages


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def port_open(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.2):
            return True
    except OSError:
        return False


def make_certificate(folder, name, common_name="127.0.0.1"):
    cert = os.path.join(folder, f"{name}.pem")
    key = os.path.join(folder, f"{name}.key")
    names = ("IP:127.0.0.1,DNS:localhost" if common_name == "127.0.0.1"
             else f"DNS:{common_name}")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
         "-subj", f"/CN={common_name}", "-keyout", key, "-out", cert,
         "-addext", f"subjectAltName={names}"],
        check=True, capture_output=True, timeout=60)
    return cert, key


class Introspection:
    """An OAuth2 token-introspection endpoint (RFC 7662) on 127.0.0.1: POST token=... answers
    {"active": true, "username": USER} for a listed token and {"active": false} otherwise."""

    def __init__(self, tokens):
        import http.server

        self.tokens = dict(tokens)
        self.asked = []
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                length = int(self.headers.get("Content-Length") or 0)
                form = urllib.parse.parse_qs(self.rfile.read(length).decode())
                token = (form.get("token") or [""])[0]
                owner.asked.append(token)
                user = owner.tokens.get(token)
                body = json.dumps({"active": True, "username": user} if user
                                  else {"active": False}).encode()
                self.send_response(200)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


class ProxyRelay:
    """Makes a loopback connection look remote to Dovecot: listens on 127.0.0.1 and passes each
    connection on to a listener with `haproxy = yes`, after a PROXY protocol (v1) line that
    names `remote` as the client. Dovecot counts a connection from 127.0.0.1 as secure and lets
    it log in without TLS whatever the configuration says; from a remote address its TLS rules
    apply, `remote ADDRESS { ... }` blocks included.

    What each connection's client sent is written to folder/PORT-N.part as it passes, so a test
    can tell whether a password went out before TLS; the file becomes PORT-N.in once both sides
    have closed. The threads end with the connections, the listener with stop() or the
    process."""

    def __init__(self, remote, target_port, folder):
        self.remote = remote
        self.target_port = target_port
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.port = self.listener.getsockname()[1]
        self._count = 0
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, (_, client_port) = self.listener.accept()
            except OSError:
                return  # stopped
            self._count += 1
            threading.Thread(target=self._relay, args=(client, client_port, self._count),
                             daemon=True).start()

    def _relay(self, client, client_port, number):
        record = os.path.join(self.folder, f"{self.port}-{number}")
        try:
            with client, open(record + ".part", "wb") as log:
                with socket.create_connection(("127.0.0.1", self.target_port),
                                              timeout=5) as server:
                    server.settimeout(None)
                    server.sendall(f"PROXY TCP4 {self.remote} 127.0.0.1 {client_port} "
                                   f"{self.target_port}\r\n".encode("ascii"))
                    back = threading.Thread(target=self._pipe, args=(server, client, None),
                                            daemon=True)
                    back.start()
                    self._pipe(client, server, log)
                    back.join(timeout=10)
        except OSError:
            pass  # Dovecot is gone; the client sees its connection closed
        finally:
            try:
                os.rename(record + ".part", record + ".in")
            except OSError:
                pass  # the fixture stopped and took its folder with it

    @staticmethod
    def _pipe(source, sink, log):
        """Copies until source ends, then ends sink's writing side."""
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                if log is not None:
                    log.write(data)
                    log.flush()
                sink.sendall(data)
        except OSError:
            pass
        try:
            sink.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    def stop(self):
        # shutdown() wakes the accept() that waits in the thread; close() alone does not.
        for end in (lambda: self.listener.shutdown(socket.SHUT_RDWR), self.listener.close):
            try:
                end()
            except OSError:
                pass


class Dovecot:
    def __init__(self, users, folder=None, tls=True, certificate_name="127.0.0.1", oauth2=None,
                 prespawned=False):
        # tls: the plain listener offers STLS (as Debian's own Dovecot does) and refuses any
        # login in the clear, so a login that works proves TLS; a POP3S listener runs beside
        # it. Without tls, plain POP3 only, as an old server. certificate_name: the name the
        # server's certificate is made out to (another name makes a wrong-name certificate).
        # prespawned: IMAP login and session processes are started ahead and serve many
        # connections, as a busy server runs, instead of one new process per connection.
        self.prespawned = prespawned
        self.tls = tls
        self.certificate_name = certificate_name
        self.oauth2 = oauth2  # {"tokens": {token: user}} or None
        self.introspection = None
        self.users = users
        self._own_folder = folder is None
        self.folder = folder or tempfile.mkdtemp(prefix="mofurin-dovecot-")
        self.proc = None
        self.pop3 = 0
        self.pop3s = 0
        self.imap = 0
        self.imaps = 0
        self.imap_haproxy = 0  # the listener behind the relays (only with tls)
        self.relays = {}  # name in REMOTE_IMAP: ProxyRelay
        self.relay_folder = os.path.join(self.folder, "relayed")
        self.conf = os.path.join(self.folder, "dovecot.conf")
        self.log = os.path.join(self.folder, "dovecot.log")
        self.ca_file = ""
        self.untrusted_ca_file = ""

    # Set-up -------------------------------------------------------------------------------

    def _write_mailboxes(self):
        dovecot = pwd.getpwnam("dovecot")
        lines = []
        for user, box in self.users.items():
            lines.append(f"{user}:{box.password}")
            maildir = os.path.join(self.folder, "mail", user, "Maildir")
            for sub in ("new", "cur", "tmp"):
                os.makedirs(os.path.join(maildir, sub), exist_ok=True)
            for n, message in enumerate(box.messages):
                data = message.encode("utf-8") if isinstance(message, str) else message
                flags = "S" if n in box.seen else ""
                path = os.path.join(maildir, "cur", f"{1796601600 + n}.M{n}P1.mofurin:2,{flags}")
                with open(path, "wb") as f:
                    f.write(data)
        with open(os.path.join(self.folder, "passwd"), "w") as f:
            f.write("\n".join(lines) + "\n")
        for root, dirs, files in os.walk(os.path.join(self.folder, "mail")):
            os.chown(root, dovecot.pw_uid, dovecot.pw_gid)
            for name in files:
                os.chown(os.path.join(root, name), dovecot.pw_uid, dovecot.pw_gid)

    def _write_config(self):
        d = self.folder
        cert, key = make_certificate(d, "server", self.certificate_name)
        self.ca_file = cert
        self.untrusted_ca_file, _ = make_certificate(d, "stranger")
        for sub in ("run", "state"):
            os.makedirs(os.path.join(d, sub), exist_ok=True)
        pop3s_listener = f"""  inet_listener pop3s {{
    address = 127.0.0.1
    port = {self.pop3s}
    ssl = yes
  }}""" if self.tls else ""
        imaps_listener = f"""  inet_listener imaps {{
    address = 127.0.0.1
    port = {self.imaps}
    ssl = yes
  }}
  inet_listener imap_haproxy {{
    address = 127.0.0.1
    port = {self.imap_haproxy}
    haproxy = yes
  }}""" if self.tls else ""
        remotes = "\n".join(f"remote {address} {{\n  {settings}\n}}"
                             for address, settings in REMOTE_IMAP.values()
                             if settings and self.tls)
        mechanisms = "plain apop"
        oauth2_passdb = ""
        if self.oauth2 is not None:
            self.introspection = Introspection(self.oauth2.get("tokens", {}))
            oauth2_conf = os.path.join(d, "oauth2.conf")
            with open(oauth2_conf, "w") as f:
                f.write(f"introspection_url = http://127.0.0.1:{self.introspection.port}/\n"
                        "introspection_mode = post\n"
                        "username_attribute = username\n"
                        "active_attribute = active\n"
                        "active_value = true\n")
            mechanisms += " xoauth2 oauthbearer"
            # Without tokeninfo_url every login asks the introspection endpoint.
            oauth2_passdb = f"""passdb {{
  driver = oauth2
  mechanisms = xoauth2 oauthbearer
  args = {oauth2_conf}
}}"""
        prespawn = "  process_min_avail = 4\n  service_count = 0" if self.prespawned else ""
        imap_service = ("service imap {\n  process_min_avail = 4\n  service_count = 0\n}"
                        if self.prespawned else "")
        config = f"""
base_dir = {d}/run
state_dir = {d}/state
log_path = {self.log}
protocols = pop3 imap
listen = 127.0.0.1
default_login_user = dovenull
default_internal_user = dovecot
default_internal_group = dovecot
disable_plaintext_auth = {"yes" if self.tls else "no"}
auth_mechanisms = {mechanisms}
auth_failure_delay = 0
auth_verbose = yes
first_valid_uid = 1
first_valid_gid = 1
ssl = {"yes" if self.tls else "no"}
ssl_cert = <{cert}
ssl_key = <{key}
mail_location = maildir:{d}/mail/%u/Maildir
# The commands of each session after the login go to a file here, but only while the user's
# folder exists (see record_commands).
rawlog_dir = {d}/rawlog/%u
pop3_uidl_format = %08Xu%08Xv
# The relays in front of imap_haproxy name the client; only they may.
haproxy_trusted_networks = 127.0.0.1 ::1
{remotes}
passdb {{
  driver = passwd-file
  args = scheme=PLAIN {d}/passwd
}}
{oauth2_passdb}
userdb {{
  driver = static
  args = uid=dovecot gid=dovecot home={d}/mail/%u
}}
service pop3-login {{
  chroot =
  inet_listener pop3 {{
    address = 127.0.0.1
    port = {self.pop3}
  }}
{pop3s_listener}
}}
service imap-login {{
  chroot =
{prespawn}
  inet_listener imap {{
    address = 127.0.0.1
    port = {self.imap}
  }}
{imaps_listener}
}}
{imap_service}
service anvil {{
  chroot =
  # No one may open the penalty socket, which turns the growing delay after failed logins
  # off: tests of wrong passwords must not slow down the tests that follow them.
  unix_listener anvil-auth-penalty {{
    mode = 0
  }}
}}
"""
        with open(self.conf, "w") as f:
            f.write(config)

    def start(self):
        if shutil.which("dovecot") is None:
            raise RuntimeError("dovecot is not installed "
                               "(apt-get install dovecot-pop3d dovecot-imapd)")
        os.chmod(self.folder, 0o755)  # the dovecot user must reach the Maildirs below it
        self.pop3, self.pop3s = free_port(), (free_port() if self.tls else 0)
        self.imap, self.imaps = free_port(), (free_port() if self.tls else 0)
        self.imap_haproxy = free_port() if self.tls else 0
        self._write_mailboxes()
        self._write_config()
        self._launch()
        if self.tls:
            self.relays = {name: ProxyRelay(address, self.imap_haproxy, self.relay_folder)
                           for name, (address, _) in REMOTE_IMAP.items()}
        return self

    def _launch(self):
        self.proc = subprocess.Popen(["dovecot", "-F", "-c", self.conf],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                     start_new_session=True)
        deadline = time.monotonic() + START_TIMEOUT
        while not all(port_open(port) for port in
                      (self.pop3, self.pop3s, self.imap, self.imaps, self.imap_haproxy) if port):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                err = self.proc.stderr.read().decode(errors="replace") if self.proc.poll() is not None else ""
                log = open(self.log, errors="replace").read() if os.path.exists(self.log) else ""
                self.stop()
                raise RuntimeError(f"Dovecot did not start on 127.0.0.1:{self.pop3}/{self.pop3s}:\n{err}\n{log}")
            time.sleep(0.05)

    def restart(self, while_down=None):
        """Stops Dovecot and every session it has (an idling IMAP session's process can outlive
        `doveadm stop`, keeping its connection), calls while_down() if given, and starts it
        again on the same ports with the same mailboxes."""
        self._end_processes()
        while not all(not port_open(port) for port in
                      (self.pop3, self.pop3s, self.imap, self.imaps, self.imap_haproxy)
                      if port):
            time.sleep(0.05)
        if while_down:
            while_down()
        self._launch()

    def _end_processes(self):
        if self.proc is not None and self.proc.poll() is None:
            # doveadm waits until the master's PID is gone, and the master stays a zombie until
            # we reap it, so wait for the master while doveadm runs.
            stopper = subprocess.Popen(["doveadm", "-c", self.conf, "stop"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
            try:
                stopper.wait(timeout=5)
            except subprocess.TimeoutExpired:
                stopper.kill()
                stopper.wait()
            if self.proc.poll() is None:
                try:
                    os.killpg(self.proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                self.proc.wait(timeout=5)
        # Login and mail processes may outlive the master for a moment; they share its group.
        if self.proc is not None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                pass
            self.proc = None

    def stop(self):
        for relay in self.relays.values():
            relay.stop()
        self.relays = {}
        self._end_processes()
        if self.introspection:
            self.introspection.stop()
            self.introspection = None
        if self._own_folder and os.path.isdir(self.folder):
            shutil.rmtree(self.folder, ignore_errors=True)

    def flags(self, user):
        """The flags of every message of the user's INBOX, as Dovecot keeps them: {uid: set}."""
        out = subprocess.run(["doveadm", "-c", self.conf, "fetch", "-u", user, "uid flags",
                              "mailbox", "INBOX", "all"],
                             check=True, capture_output=True, text=True, timeout=30).stdout
        flags, uid = {}, None
        for line in out.splitlines():
            if line.startswith("uid: "):
                uid = int(line[5:])
            elif line.startswith("flags:") and uid is not None:
                flags[uid] = set(line[6:].split())
        return flags

    def deliver(self, user, message):
        """Puts one more message into the user's Maildir as a delivery agent does: written into
        tmp/, then renamed into new/, owned by dovecot. The next session sees it."""
        data = message.encode("utf-8") if isinstance(message, str) else message
        maildir = os.path.join(self.folder, "mail", user, "Maildir")
        name = f"{time.time_ns()}.P{os.getpid()}.mofurin"
        dovecot = pwd.getpwnam("dovecot")
        path = os.path.join(maildir, "tmp", name)
        with open(path, "wb") as f:
            f.write(data)
        os.chown(path, dovecot.pw_uid, dovecot.pw_gid)
        os.rename(path, os.path.join(maildir, "new", name))

    def record_commands(self, user):
        """From now on, the commands of the user's sessions after the login are recorded; see
        recorded_commands."""
        dovecot = pwd.getpwnam("dovecot")
        folder = os.path.join(self.folder, "rawlog", user)
        os.makedirs(folder, exist_ok=True)
        for path in (os.path.dirname(folder), folder):
            os.chown(path, dovecot.pw_uid, dovecot.pw_gid)

    def recorded_commands(self, user):
        """The commands recorded since record_commands, one list per session, and the recording
        stopped. A session's file is complete once Dovecot has logged its end."""
        folder = os.path.join(self.folder, "rawlog", user)
        sessions = []
        for name in sorted(os.listdir(folder)):
            if name.endswith(".in"):
                with open(os.path.join(folder, name), "rb") as f:
                    # Each line is the time it came, then the command.
                    sessions.append([line.split(b" ", 1)[1].decode(errors="replace")
                                     for line in f.read().splitlines() if b" " in line])
        shutil.rmtree(folder, ignore_errors=True)
        return sessions

    def log_text(self):
        return open(self.log, errors="replace").read() if os.path.exists(self.log) else ""

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        return False


def _users_from_config(config):
    users = {}
    for name, entry in config.get("users", {}).items():
        messages = []
        for m in entry.get("messages", []):
            if isinstance(m, dict):
                messages.extend(generated_messages(int(m["count"]), int(m.get("size", 4096))))
            else:
                messages.append(m.encode("utf-8"))
        users[name] = Mailbox(entry["password"], messages, set(entry.get("seen", [])))
    return users


def serve(config_path, max_seconds=900):
    with open(config_path, encoding="utf-8") as f:
        config = json.load(f)
    server = Dovecot(_users_from_config(config), tls=config.get("tls", True),
                     certificate_name=config.get("certificate_name", "127.0.0.1"),
                     oauth2=config.get("oauth2"))
    atexit.register(server.stop)
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda *_: sys.exit(1))
    signal.alarm(max_seconds)  # never outlive a test that forgot us
    signal.signal(signal.SIGALRM, lambda *_: sys.exit(2))
    server.start()
    print(json.dumps({"pop3": server.pop3, "pop3s": server.pop3s, "imap": server.imap,
                      "imaps": server.imaps, "ca_file": server.ca_file,
                      "untrusted_ca_file": server.untrusted_ca_file, "log": server.log,
                      "mail": os.path.join(server.folder, "mail"),
                      "relayed": server.relay_folder,
                      **{name: relay.port for name, relay in server.relays.items()}}),
          flush=True)
    sys.stdin.read()  # until the test closes our standard input
    server.stop()


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--serve":
        serve(sys.argv[2])
    else:
        print(__doc__)
        sys.exit(2)
