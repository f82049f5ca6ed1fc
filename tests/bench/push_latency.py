"""Push on the real binary: the time from a delivery into the Maildir to the kitten's notice, over
a number of deliveries (median and worst), and what the kitten costs while it idles on the
connection: CPU in percent of one core and the resident set, next to the same kitten with the
same settings on a POP3 server (which cannot push) at rest after one check of its own.

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
from pulse_fixture import PulseAudio  # noqa: E402


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


def start_kitten(desktop, sound, address):
    app = Mofurin(desktop)
    app.write_settings(pop3=address, user="tama", password="secret")
    with open(os.path.join(app.mail_data, "ini.ini"), "wb") as f:
        f.write(b"[MOFURIN]\r\nAUTOCHECK=60\r\nNEWONLY=1\r\n")
    desktop.pointer(300, 200)
    app.start(env=sound.env)
    app.wait_kitten()
    return app


def close_notice(desktop):
    # Closed as the user does, with a click on the close button of its title bar (an automatic
    # check's notice does not take the focus, so a key may not reach it).
    for notice in desktop.windows("新着お知らせ"):
        fx, fy, fw, _ = desktop.frame_geometry(notice)
        desktop.pointer(fx + fw - 10, fy + 10)
        desktop.xdotool("click", 1)
    try:
        wait_until(lambda: not desktop.windows("新着お知らせ"), timeout=5,
                   what="the notice to close")
    except AssertionError:
        desktop.screenshot("push-latency-stuck")
        print("error boxes:", desktop.windows("エラー"), file=sys.stderr)
        raise


def main():
    deliveries = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    idle_seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 30.0
    with Dovecot({"tama": Mailbox("secret", [make_message("前から", "本文")])},
                 tls=False) as server, Desktop() as desktop, PulseAudio() as sound:
        # With a sound server, as on a desktop: the meow of each report plays.
        app = start_kitten(desktop, sound, "imap://127.0.0.1:%d" % server.imap)
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
                print("delivery %d: %.3f s" % (n + 1, latencies[-1]), file=sys.stderr)
                close_notice(desktop)
                time.sleep(0.5)
        # The POP3 kitten after one check of its own (受信), as the IMAP one is after its
        # reports: the mail module loaded, the notice shown, the meow played.
        app = start_kitten(desktop, sound, "127.0.0.1:%d" % server.pop3)
        with app:
            time.sleep(2.5)
            app.press_receive()
            desktop.wait_window("新着お知らせ", timeout=20)
            time.sleep(2.0)
            close_notice(desktop)
            for bar in desktop.windows("モフリちゃん"):
                desktop.close_window(bar)
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
