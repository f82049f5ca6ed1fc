"""Measures the running kitten's CPU use from /proc over a span of seconds, idle, with the bar
open and while meowing, next to a minimal Qt window measured the same way, and prints the
differences in percent of one core. Run: cpu_usage.py [seconds] (30 by default)."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from desktop import Desktop, Mofurin, wait_until  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def measure(pid, seconds):
    start_cpu, start = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    return 100.0 * (cpu_seconds(pid) - start_cpu) / (time.monotonic() - start)


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 30.0
    build = os.environ.get("MOFURIN_BUILD_DIR", "build-test")
    minimal = os.path.join(build, "tests", "bench_minimal_window")
    results = {}
    with Desktop() as desktop:
        peer = subprocess.Popen([minimal], env=desktop.env, start_new_session=True)
        try:
            desktop.wait_window("MinimalWindow")
            time.sleep(1)
            results["minimal window"] = measure(peer.pid, seconds)
        finally:
            peer.kill()
            peer.wait()

        app = Mofurin(desktop)
        app.write_settings()
        with app:
            desktop.pointer(300, 200)
            app.start()
            app.wait_kitten()
            time.sleep(2.5)
            results["idle"] = measure(app.proc.pid, seconds)
            desktop.pointer(350, 260)
            desktop.xdotool("click", "--repeat", 2, "--delay", 80, 1)
            bar = desktop.wait_window("モフリちゃん")
            time.sleep(1)
            results["bar open"] = measure(app.proc.pid, seconds)
            bx, by, _, _ = desktop.geometry(bar)
            desktop.pointer(bx + 20, by + 7)  # 鳴かす
            desktop.xdotool("click", 1)
            time.sleep(1)
            results["meowing"] = measure(app.proc.pid, seconds)

    base = results["minimal window"]
    print("CPU over %.0f s, percent of one core:" % seconds)
    for name, value in results.items():
        extra = "" if name == "minimal window" else "  (%+.3f against the minimal window)" % (value - base)
        print("  %-15s %7.3f %%%s" % (name, value, extra))


if __name__ == "__main__":
    main()
