"""The processes a fixture script starts (a bus, a mock, a keyring): they die with the script,
even when it is killed, and are stopped in reverse order, a frozen one included."""

import atexit
import ctypes
import shutil
import signal
import subprocess
import sys

children = []


def die_with_parent():
    # Linux: deliver SIGTERM to the child when this helper dies, even by SIGKILL.
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGCONT)  # a frozen process cannot act on SIGTERM
        process.terminate()
        try:
            process.wait(timeout=3)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    if process in children:
        children.remove(process)


def stop_all():
    for process in list(reversed(children)):
        stop(process)


def clean_up_at_exit(folder):
    """When the script ends, by its own end or by SIGTERM or SIGHUP: its children are stopped,
    then its temporary folder goes (atexit runs the later registration first)."""
    atexit.register(shutil.rmtree, folder, ignore_errors=True)
    atexit.register(stop_all)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    signal.signal(signal.SIGHUP, lambda *_: sys.exit(1))
