"""An IMAP check of a 10,000-message mailbox with 3 unseen messages on a throwaway Dovecot,
timed through the mail library (bench_nmail_imap_check) and through Python's imaplib making the
same commands: LOGIN, EXAMINE INBOX, UID SEARCH UNSEEN, then UID FETCH of the header fields of
each unseen message, and LOGOUT. Prints both times and their ratio (library / imaplib; below 1
means the library is faster). Rounds alternate, each the median of CHECKS checks after warm-ups
(Dovecot builds its index on the first look at the mailbox; the driver's process, like the
kitten, checks again and again, and its first checks pay for one-time set-up, as imaplib's
first does in this script's process).

The client's processor time is printed beside the time: what the check costs the machine the
kitten runs on, the server's work aside.

Twice: against Dovecot as it comes, which starts a login process and a session process for every
connection (about 50 ms of a check on loopback, the same for both clients), and against a
Dovecot whose processes are started ahead, as a busy server runs, where the clients' own work
and round trips are what the times measure.

    python3 imapcheck_vs_imaplib.py --driver BUILD/tests/bench_nmail_imap_check [--messages N]
"""

import argparse
import imaplib
import json
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import dovecot_fixture  # noqa: E402

FIELDS = "BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE MESSAGE-ID)]"


def imaplib_check(port, user, password):
    start, cpu_start = time.perf_counter(), time.process_time()
    imap = imaplib.IMAP4("127.0.0.1", port, timeout=30)
    imap.login(user, password)
    imap.select("INBOX", readonly=True)  # EXAMINE
    _, data = imap.uid("SEARCH", "UNSEEN")
    uids = data[0].split()
    for uid in uids:
        imap.uid("FETCH", uid, f"(UID {FIELDS})")
    imap.logout()
    return len(uids), time.perf_counter() - start, time.process_time() - cpu_start


def library_check(driver, port, user, password, checks):
    out = subprocess.run([driver, f"imap://127.0.0.1:{port}", user, password, str(checks)],
                         capture_output=True, text=True, timeout=300)
    if out.returncode != 0:
        raise RuntimeError(f"{driver} failed: {out.stdout}{out.stderr}")
    result = json.loads(out.stdout)
    return result["count"], result["seconds"], result["cpu_seconds"]


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
    users = {"bench": dovecot_fixture.Mailbox("bench", messages, seen)}
    print(f"mailbox: {args.messages} messages, {args.unseen} unseen; "
          f"{args.runs} rounds of {args.checks} checks each")
    for prespawned, what in ((False, "a process per connection"),
                             (True, "processes started ahead")):
        # Plain IMAP for both, so the comparison is of the protocol work alone.
        with dovecot_fixture.Dovecot(users, tls=False, prespawned=prespawned) as server:
            for _ in range(5):
                imaplib_check(server.imap, "bench", "bench")
            ours, theirs = [], []
            for _ in range(args.runs):
                count, *times = library_check(args.driver, server.imap, "bench", "bench",
                                              args.checks)
                if count != args.unseen:
                    raise RuntimeError(f"the library counted {count} unseen, not {args.unseen}")
                ours.append(times)
                round_ = []
                for _ in range(args.checks):
                    count, *times = imaplib_check(server.imap, "bench", "bench")
                    if count != args.unseen:
                        raise RuntimeError(f"imaplib counted {count} unseen, not {args.unseen}")
                    round_.append(times)
                theirs.append([statistics.median(t[column] for t in round_)
                               for column in (0, 1)])
        for column, name in ((0, "time"), (1, "client processor time")):
            library = statistics.median(t[column] for t in ours)
            python = statistics.median(t[column] for t in theirs)
            print(f"Dovecot, {what}, {name}: library {library * 1000:.2f} ms   "
                  f"imaplib {python * 1000:.2f} ms   ratio {library / python:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
