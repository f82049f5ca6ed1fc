"""The processes a fixture script starts (a bus, a mock, a keyring): they die with the script,
even when it is killed, and are stopped in reverse order, a frozen one included."""

import ctypes
import signal
import subprocess

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
