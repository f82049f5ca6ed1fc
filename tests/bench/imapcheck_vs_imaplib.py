"""An IMAP check of a 10,000-message mailbox with 3 unseen messages on a throwaway Dovecot,
timed through the mail library (bench_nmail_imap_check) and through Python's imaplib making the
same commands: LOGIN, EXAMINE INBOX, UID SEARCH UNSEEN, then UID FETCH of the header fields of
each unseen message, and LOGOUT. Prints the times and their ratios to imaplib (below 1 means
faster than imaplib):

- the check as the kitten makes it, again and again: the median of CHECKS checks after warm-ups
  in one process, as imaplib's in this script's process (Dovecot builds its index on the first
  look at the mailbox; the first checks of a process pay for one-time set-up);
- the client's processor time of those checks: what a check costs the machine the kitten runs
  on, the server's work aside;
- the least any client can take for these commands: a bare socket sending them in three round
  trips (LOGIN, EXAMINE and SEARCH together, then the FETCHes and LOGOUT together). What is left
  is the server's own work;
- start to finish as programs: the driver making one check and ending against `python3` running
  the imaplib script, each timed from outside, start-up and imports included.

Twice: against Dovecot as it comes, which starts a login process and a session process for every
connection (about 50 ms of a check on loopback, the same for every client), and against a
Dovecot whose processes are started ahead, as a busy server runs.

    python3 imapcheck_vs_imaplib.py --driver BUILD/tests/bench_nmail_imap_check [--messages N]
"""

import argparse
import imaplib
import json
import os
import re
import socket
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import dovecot_fixture  # noqa: E402

FIELDS = "BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE MESSAGE-ID)]"
USER = PASSWORD = "bench"

# The imaplib check, as this script's function and as a script of its own.
SCRIPT = f'''import imaplib, sys
imap = imaplib.IMAP4("127.0.0.1", int(sys.argv[1]), timeout=30)
imap.login({USER!r}, {PASSWORD!r})
imap.select("INBOX", readonly=True)  # EXAMINE
_, data = imap.uid("SEARCH", "UNSEEN")
uids = data[0].split()
for uid in uids:
    imap.uid("FETCH", uid, "(UID {FIELDS})")
imap.logout()
'''
COMPILED = compile(SCRIPT, "imaplib_check.py", "exec")


def imaplib_check(port):
    start, cpu_start = time.perf_counter(), time.process_time()
    scope = {"__name__": "check"}
    sys.argv[1:] = [str(port)]
    exec(COMPILED, scope)
    return len(scope["uids"]), time.perf_counter() - start, time.process_time() - cpu_start


def bare_check(port):
    """The same commands from a bare socket in three round trips."""

    def until_tagged(sock, tag):
        data = b""
        while not re.search(rb"(^|\r\n)" + tag + rb" ", data):
            chunk = sock.recv(65536)
            if not chunk:
                raise RuntimeError("the server closed the connection")
            data += chunk
        return data

    start = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=30) as sock:
        until_tagged(sock, b"\\*")  # the greeting
        sock.sendall(f"a1 LOGIN {USER} {PASSWORD}\r\na2 EXAMINE INBOX\r\n"
                     "a3 UID SEARCH UNSEEN\r\n".encode())
        uids = re.search(rb"\* SEARCH([ 0-9]*)\r\n", until_tagged(sock, b"a3")).group(1).split()
        fetches = b"".join(b"f%d UID FETCH %s (UID %s)\r\n" % (n, uid, FIELDS.encode())
                           for n, uid in enumerate(uids))
        sock.sendall(fetches + b"a9 LOGOUT\r\n")
        until_tagged(sock, b"a9")
    return len(uids), time.perf_counter() - start, 0.0


def library_checks(driver, port, checks, warm_ups=5):
    out = subprocess.run([driver, f"imap://127.0.0.1:{port}", USER, PASSWORD, str(checks),
                          str(warm_ups)], capture_output=True, text=True, timeout=300)
    if out.returncode != 0:
        raise RuntimeError(f"{driver} failed: {out.stdout}{out.stderr}")
    result = json.loads(out.stdout)
    return result["count"], result["seconds"], result["cpu_seconds"]


def timed_program(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, capture_output=True, timeout=300)
    return time.perf_counter() - start


def median_of(check, port, times, unseen):
    results = []
    for _ in range(times):
        count, *measures = check(port)
        if count != unseen:
            raise RuntimeError(f"{check.__name__} counted {count} unseen, not {unseen}")
        results.append(measures)
    return [statistics.median(r[column] for r in results) for column in (0, 1)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--driver", required=True)
    parser.add_argument("--messages", type=int, default=10000)
    parser.add_argument("--unseen", type=int, default=3)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--checks", type=int, default=10)
    args = parser.parse_args()

    messages = dovecot_fixture.generated_messages(args.messages, 600)
    seen = set(range(args.messages - args.unseen))
    users = {USER: dovecot_fixture.Mailbox(USER, messages, seen)}
    print(f"mailbox: {args.messages} messages, {args.unseen} unseen; "
          f"{args.runs} rounds of {args.checks} checks each")
    script = os.path.join(tempfile.mkdtemp(), "imaplib_check.py")
    with open(script, "w") as f:
        f.write(SCRIPT)
    for prespawned, what in ((False, "a process per connection"),
                             (True, "processes started ahead")):
        # Plain IMAP for all, so the comparison is of the protocol work alone.
        with dovecot_fixture.Dovecot(users, tls=False, prespawned=prespawned) as server:
            port = server.imap
            for check in (imaplib_check, bare_check):
                median_of(check, port, 5, args.unseen)
            ours, theirs, bare, programs = [], [], [], []
            for _ in range(args.runs):
                count, *measures = library_checks(args.driver, port, args.checks)
                if count != args.unseen:
                    raise RuntimeError(f"the library counted {count} unseen, not {args.unseen}")
                ours.append(measures)
                theirs.append(median_of(imaplib_check, port, args.checks, args.unseen))
                bare.append(median_of(bare_check, port, args.checks, args.unseen))
                programs.append((
                    timed_program([args.driver, f"imap://127.0.0.1:{port}", USER, PASSWORD,
                                   "1", "0"]),
                    timed_program([sys.executable, script, str(port)])))
        rows = [
            ("time", "library", [t[0] for t in ours], [t[0] for t in theirs]),
            ("client processor time", "library", [t[1] for t in ours], [t[1] for t in theirs]),
            ("time", "bare socket, 3 round trips", [t[0] for t in bare], [t[0] for t in theirs]),
            ("start to finish as programs", "library", [p[0] for p in programs],
             [p[1] for p in programs]),
        ]
        for measure, client, mine, python in rows:
            mine, python = statistics.median(mine), statistics.median(python)
            print(f"Dovecot, {what}, {measure}: {client} {mine * 1000:.2f} ms   "
                  f"imaplib {python * 1000:.2f} ms   ratio {mine / python:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
