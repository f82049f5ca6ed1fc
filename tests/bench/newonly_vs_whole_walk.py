"""A new-mail-only check against the whole walk, on a throwaway Dovecot mailbox of 5,000 messages
(about 4 KB each) of which one is new: a first new-only check learns the 4,999 that wait, one
message is delivered into the Maildir, and then the checks are timed, both through the program's
own check (bench_mail_check_new_only), each the second check of its process, as in a kitten
that has checked before (the first check of a process also loads the TLS library; its times are
printed apart). Before the timing, one new-only check runs with Dovecot
recording its commands: it must ask UIDL and TOP n 0 of the new message only, no RETR, and
Dovecot's log of that session must say retr=0 and top=1. Prints both times and their ratio
(new-only / whole; the goal is at most 0.1).

    python3 newonly_vs_whole_walk.py --driver BUILD/tests/bench_mail_check_new_only
        [--messages N] [--runs R] [--max-ratio X]

Fails when the commands or the counts are wrong; the times fail it only with --max-ratio.
"""

import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import dovecot_fixture  # noqa: E402

USER = "bench"


def check(driver, port, mode, *files, checks=1):
    out = subprocess.run([driver, "-n", str(checks), f"127.0.0.1:{port}", USER, USER, mode, *files],
                         capture_output=True, text=True, timeout=600)
    if out.returncode != 0:
        raise RuntimeError(f"{driver} {mode} failed: {out.stdout}{out.stderr}")
    return json.loads(out.stdout)


def logouts(server):
    return re.findall(r"pop3\(%s\).*Logged out (top=(\d+)/(\d+), retr=(\d+)/(\d+).*)" % USER,
                      server.log_text())


def last_logout(server, before):
    """The log line of the session that ended after `before` sessions had (Dovecot's log
    process may write it a moment after the client has gone)."""
    deadline = time.monotonic() + 10
    while len(found := logouts(server)) <= before:
        if time.monotonic() > deadline:
            raise RuntimeError("Dovecot logged no end of the session")
        time.sleep(0.05)
    return found[-1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--driver", required=True)
    parser.add_argument("--messages", type=int, default=5000)
    parser.add_argument("--size", type=int, default=4096)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--max-ratio", type=float, default=0.0,
                        help="fail when new-only / whole exceeds this (0: never)")
    args = parser.parse_args()

    problems = []
    waiting = dovecot_fixture.generated_messages(args.messages, args.size)
    new_message = waiting.pop()
    users = {USER: dovecot_fixture.Mailbox(USER, waiting)}
    with dovecot_fixture.Dovecot(users, tls=False) as server, \
            tempfile.TemporaryDirectory(prefix="mofurin-newonly-") as folder:
        reported = os.path.join(folder, "reported")
        # Untimed: a whole walk warms Dovecot's index and the page cache; then the first
        # new-only check reports every message that waits and learns them.
        check(args.driver, server.pop3, "whole")
        first = check(args.driver, server.pop3, "new-only", reported, reported)
        if first["count"] != args.messages - 1:
            problems.append(f"the first new-only check reported {first['count']}, "
                            f"expected {args.messages - 1}")
        server.deliver(USER, new_message)

        # What a new-only check sends, recorded by Dovecot, and what its log says of it.
        sessions = len(logouts(server))
        server.record_commands(USER)
        recorded = check(args.driver, server.pop3, "new-only", reported)
        line, top, top_bytes, retr, _ = last_logout(server, sessions)
        commands = server.recorded_commands(USER)[-1]
        print(f"new-only check sends: {' | '.join(commands)}")
        print(f"Dovecot: {line}")
        tops = [c for c in commands if c.upper().startswith("TOP ")]
        if "UIDL" not in commands or tops != [f"TOP {args.messages} 0"] or any(
                c.upper().startswith("RETR") for c in commands):
            problems.append(f"new-only check sent {commands}: expected UIDL, one "
                            f"TOP {args.messages} 0 and no RETR")
        if (int(top), int(retr)) != (1, 0) or int(top_bytes) >= len(new_message):
            problems.append(f"Dovecot counted top={top}/{top_bytes} retr={retr}: expected one "
                            f"header read (under {len(new_message)} bytes) and no RETR")
        if recorded["count"] != 1:
            problems.append(f"new-only check reported {recorded['count']}, expected 1")

        new_only, whole, first_new_only, first_whole = [], [], [], []
        for _ in range(args.runs):
            result = check(args.driver, server.pop3, "new-only", reported, checks=2)
            first_new_only.append(result["seconds"][0])
            new_only.append(result["seconds"][1])
            if result["count"] != 1:
                problems.append(f"new-only check reported {result['count']}, expected 1")
            result = check(args.driver, server.pop3, "whole", checks=2)
            first_whole.append(result["seconds"][0])
            whole.append(result["seconds"][1])
            if result["count"] != args.messages:
                problems.append(f"whole walk reported {result['count']}, expected {args.messages}")
        # The whole walk reads every message with TOP: no session of this run used RETR.
        retrieved = sum(int(found[3]) for found in logouts(server))
        if retrieved:
            problems.append(f"Dovecot counted {retrieved} RETR over the run")

    new_only_median = statistics.median(new_only)
    whole_median = statistics.median(whole)
    ratio = new_only_median / whole_median
    print(f"mailbox: {args.messages} messages of about {args.size} bytes, 1 new")
    print(f"library calls of a new-only check: {json.dumps(recorded)}")
    print(f"new-only: median {new_only_median:.3f} s  "
          f"(runs: {', '.join(f'{s:.3f}' for s in new_only)})")
    print(f"whole:    median {whole_median:.3f} s  (runs: {', '.join(f'{s:.3f}' for s in whole)})")
    print(f"ratio new-only / whole: {ratio:.4f} (goal: at most 0.1; "
          f"{'met' if ratio <= 0.1 else 'NOT met'})")
    first_ratio = statistics.median(first_new_only) / statistics.median(first_whole)
    print(f"first check of a process: new-only median {statistics.median(first_new_only):.3f} s, "
          f"whole {statistics.median(first_whole):.3f} s, ratio {first_ratio:.4f}")
    for problem in problems:
        print("FAULT: " + problem)
    if args.max_ratio and ratio > args.max_ratio:
        print(f"slower than allowed ({args.max_ratio})")
        return 1
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
