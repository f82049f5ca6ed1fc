"""One mail check of a 1,000-message mailbox (about 4 KB each) on a throwaway Dovecot, timed
through the mail library (bench_nmail_check) and through Python's poplib making the same
commands: STAT, then TOP n 0, LIST n and RETR n per message, and QUIT. Prints both times and
their ratio (library / poplib; below 1 means the library is faster).

    python3 mailcheck_vs_poplib.py --driver BUILD/tests/bench_nmail_check [--messages N] [--runs R]
"""

import argparse
import json
import os
import poplib
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import dovecot_fixture  # noqa: E402


def poplib_check(port, user, password):
    start = time.perf_counter()
    pop = poplib.POP3("127.0.0.1", port, timeout=30)
    pop.user(user)
    pop.pass_(password)
    count, _ = pop.stat()
    retrieved = 0
    for n in range(1, count + 1):
        pop.top(n, 0)
        pop.list(n)
        _, lines, _ = pop.retr(n)
        retrieved += sum(len(line) + 2 for line in lines)
    pop.quit()
    return count, retrieved, time.perf_counter() - start


def library_check(driver, port, user, password):
    out = subprocess.run([driver, f"127.0.0.1:{port}", user, password], capture_output=True,
                         text=True, timeout=300)
    if out.returncode != 0:
        raise RuntimeError(f"{driver} failed: {out.stdout}{out.stderr}")
    result = json.loads(out.stdout)
    return result["count"], result["bytes"], result["seconds"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--driver", required=True)
    parser.add_argument("--messages", type=int, default=1000)
    parser.add_argument("--size", type=int, default=4096)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--max-ratio", type=float, default=0.0,
                        help="fail when library / poplib exceeds this (0: never)")
    args = parser.parse_args()

    users = {"bench": dovecot_fixture.Mailbox(
        "bench", dovecot_fixture.generated_messages(args.messages, args.size))}
    # Plain POP3 for both, so the comparison is of the protocol work alone.
    with dovecot_fixture.Dovecot(users, tls=False) as server:
        # One untimed pass each, so Dovecot's index and the page cache are warm for both.
        library_check(args.driver, server.pop3, "bench", "bench")
        poplib_check(server.pop3, "bench", "bench")
        ours, theirs = [], []
        for _ in range(args.runs):
            count, size, seconds = library_check(args.driver, server.pop3, "bench", "bench")
            ours.append(seconds)
            pcount, psize, pseconds = poplib_check(server.pop3, "bench", "bench")
            theirs.append(pseconds)
            if count != args.messages or pcount != args.messages:
                raise RuntimeError(f"counted {count} and {pcount}, expected {args.messages}")
    ours_median = statistics.median(ours)
    theirs_median = statistics.median(theirs)
    ratio = ours_median / theirs_median
    print(f"messages: {args.messages} of about {args.size} bytes ({size} bytes retrieved)")
    print(f"nmail:  median {ours_median:.3f} s  (runs: {', '.join(f'{s:.3f}' for s in ours)})")
    print(f"poplib: median {theirs_median:.3f} s  (runs: {', '.join(f'{s:.3f}' for s in theirs)})")
    print(f"ratio nmail / poplib: {ratio:.2f}")
    if args.max_ratio and ratio > args.max_ratio:
        print(f"slower than allowed ({args.max_ratio})")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
