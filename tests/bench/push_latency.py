"""Push on the real binary: the time from a delivery into the Maildir to the kitten's notice, over
a number of deliveries (median and worst), and what the kitten costs while it idles on the
connection: CPU in percent of one core and the resident set, next to the same kitten with the
same settings on a POP3 server (which cannot push and only waits for its automatic check).

    python3 push_latency.py [deliveries] [idle seconds]   (20 and 30 by default)
"""

import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import Desktop, Mofurin, wait_until  # noqa: E402
from dovecot_fixture import Dovecot, Mailbox, make_message  # noqa: E402
from cpu_usage import cpu_seconds  # noqa: E402


def resident_kb(pid):
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            if line.startswith("Rss:"):
                return int(line.split()[1])
    return 0


def idle_cost(pid, seconds):
    before = cpu_seconds(pid)
    time.sleep(seconds)
    return 100.0 * (cpu_seconds(pid) - before) / seconds, resident_kb(pid) / 1024.0


def start_kitten(desktop, server, address):
    app = Mofurin(desktop)
    app.write_settings(pop3=address, user="tama", password="secret")
    with open(os.path.join(app.mail_data, "ini.ini"), "wb") as f:
        f.write(b"[MOFURIN]\r\nAUTOCHECK=60\r\nNEWONLY=1\r\n")
    desktop.pointer(300, 200)
    app.start()
    app.wait_kitten()
    return app


def close_notice(desktop):
    for notice in desktop.windows("新着お知らせ"):
        desktop.close_window(notice)
    wait_until(lambda: not desktop.windows("新着お知らせ"), timeout=5, what="the notice to close")


def main():
    deliveries = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    idle_seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 30.0
    with Dovecot({"tama": Mailbox("secret", [make_message("前から", "本文")])},
                 tls=False) as server, Desktop() as desktop:
        app = start_kitten(desktop, server, "imap://127.0.0.1:%d" % server.imap)
        with app:
            desktop.wait_window("新着お知らせ", timeout=20)
            close_notice(desktop)
            time.sleep(2.0)
            push_cpu, push_rss = idle_cost(app.proc.pid, idle_seconds)
            latencies = []
            for n in range(deliveries):
                server.deliver("tama", make_message("push %d" % n, "本文", number=n + 1))
                delivered = time.monotonic()
                desktop.wait_window("新着お知らせ", timeout=15)
                latencies.append(time.monotonic() - delivered)
                close_notice(desktop)
                time.sleep(0.5)
        app = start_kitten(desktop, server, "127.0.0.1:%d" % server.pop3)
        with app:
            desktop.wait_window("新着お知らせ", timeout=20)
            close_notice(desktop)
            time.sleep(2.0)
            pop_cpu, pop_rss = idle_cost(app.proc.pid, idle_seconds)
    print(f"push latency over {deliveries} deliveries: median {statistics.median(latencies):.3f} s,"
          f" worst {max(latencies):.3f} s")
    print(f"idling on IMAP: CPU {push_cpu:.3f} %, resident {push_rss:.1f} MB")
    print(f"waiting on POP3: CPU {pop_cpu:.3f} %, resident {pop_rss:.1f} MB")
    print(f"difference: CPU {push_cpu - pop_cpu:+.3f} %, resident {push_rss - pop_rss:+.1f} MB")
    return 0


if __name__ == "__main__":
    sys.exit(main())
