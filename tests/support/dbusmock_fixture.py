#!/usr/bin/python3
"""A private D-Bus bus with python-dbusmock's NetworkManager on demand, for the dial-up tests.

Run with a temporary folder as the only argument. It starts a dbus-daemon listening in that
folder and prints "bus ADDRESS". Then it reads commands from stdin, one per line, and answers
each with one line ("ok ..." or "error ..."):

    start-networkmanager   start the mock (a fresh one) and wait until it owns its name;
                           answers "ok LOGFILE", the mock's call log
    stop-networkmanager    stop the mock and wait until its name is gone
    freeze-networkmanager  stop the mock's process (SIGSTOP): it keeps its name, answers nothing
    thaw-networkmanager    let it run again (SIGCONT)
    quit                   stop everything and exit

End of input (the test process ended, whatever way) also stops everything, so no bus or mock
outlives the test. The children die with this process too (PR_SET_PDEATHSIG).
"""

import atexit
import ctypes
import os
import shutil
import signal
import subprocess
import sys
import time

NM_NAME = 'org.freedesktop.NetworkManager'
START_TIMEOUT = 10.0

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


def name_has_owner(address):
    result = subprocess.run(
        ['dbus-send', '--bus=' + address, '--print-reply=literal', '--reply-timeout=1000',
         '--dest=org.freedesktop.DBus', '/org/freedesktop/DBus',
         'org.freedesktop.DBus.NameHasOwner', 'string:' + NM_NAME],
        capture_output=True, text=True, timeout=5)
    return result.returncode == 0 and 'true' in result.stdout


def wait_for_owner(address, wanted, process=None):
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline:
        if name_has_owner(address) == wanted:
            return True
        if process is not None and process.poll() is not None:
            return False
        time.sleep(0.05)
    return False


def main():
    if len(sys.argv) != 2:
        print('usage: dbusmock_fixture.py TEMPORARY_FOLDER', file=sys.stderr)
        return 2
    folder = sys.argv[1]
    # Runs last: the bus and the mock are stopped before their folder goes.
    atexit.register(shutil.rmtree, folder, ignore_errors=True)
    atexit.register(stop_all)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    signal.signal(signal.SIGHUP, lambda *_: sys.exit(1))

    bus = subprocess.Popen(
        ['dbus-daemon', '--session', '--nofork', '--print-address=1',
         '--address=unix:dir=' + folder],
        stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True, preexec_fn=die_with_parent)
    children.append(bus)
    address = bus.stdout.readline().strip()
    if not address:
        print('error dbus-daemon did not start', flush=True)
        return 1
    print('bus ' + address, flush=True)

    mock = None
    generation = 0
    environment = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address,
                       DBUS_SYSTEM_BUS_ADDRESS=address)
    for line in sys.stdin:
        command = line.strip()
        if command == 'start-networkmanager':
            if mock is not None:
                stop(mock)
                wait_for_owner(address, False)
            generation += 1
            log = os.path.join(folder, 'networkmanager-%d.log' % generation)
            mock = subprocess.Popen(
                [sys.executable, '-m', 'dbusmock', '--session', '--template', 'networkmanager',
                 '--logfile', log],
                env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                preexec_fn=die_with_parent)
            children.append(mock)
            if wait_for_owner(address, True, mock):
                print('ok ' + log, flush=True)
            else:
                print('error the NetworkManager mock did not appear on the bus', flush=True)
        elif command == 'stop-networkmanager':
            if mock is not None:
                stop(mock)
                mock = None
            if wait_for_owner(address, False):
                print('ok', flush=True)
            else:
                print('error NetworkManager is still on the bus', flush=True)
        elif command in ('freeze-networkmanager', 'thaw-networkmanager'):
            if mock is None or mock.poll() is not None:
                print('error the NetworkManager mock is not running', flush=True)
                continue
            frozen = command == 'freeze-networkmanager'
            mock.send_signal(signal.SIGSTOP if frozen else signal.SIGCONT)
            print('ok', flush=True)
        elif command == 'quit':
            break
        else:
            print('error unknown command ' + command, flush=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
