#!/usr/bin/python3
"""A private D-Bus bus with python-dbusmock's mocks on demand, for the D-Bus tests.

Run with a temporary folder as the only argument. It starts a dbus-daemon listening in that
folder and prints "bus ADDRESS". Then it reads commands from stdin, one per line, and answers
each with one line ("ok ..." or "error ..."). MOCK is "networkmanager" (the dial-up tests,
the network's return), "logind" (the system's sleep and resume), "notifications" (the
notification daemon) or "accounts" (the desktop's online accounts, our own template
goa_template.py):

    start-MOCK [JSON]  start the mock (a fresh one, with the template parameters given as JSON)
                       and wait until it owns its name; answers "ok LOGFILE", its call log
    stop-MOCK          stop the mock and wait until its name is gone
    freeze-MOCK        stop the mock's process (SIGSTOP): it keeps its name, answers nothing
    thaw-MOCK          let it run again (SIGCONT)
    quit               stop everything and exit

End of input (the test process ended, whatever way) also stops everything, so no bus or mock
outlives the test. The children die with this process too (PR_SET_PDEATHSIG).
"""

import os
import signal
import subprocess
import sys

from bus_names import wait_for_owner
from child_processes import children, clean_up_at_exit, die_with_parent, stop

# The mocks by the name the commands use: their dbusmock template and the bus name they own.
MOCKS = {
    'networkmanager': ('networkmanager', 'org.freedesktop.NetworkManager'),
    'logind': ('logind', 'org.freedesktop.login1'),
    'notifications': ('notification_daemon', 'org.freedesktop.Notifications'),
    'accounts': (os.path.join(os.path.dirname(os.path.abspath(__file__)), 'goa_template.py'),
                 'org.gnome.OnlineAccounts'),
}
START_TIMEOUT = 10.0



def main():
    if len(sys.argv) != 2:
        print('usage: dbusmock_fixture.py TEMPORARY_FOLDER', file=sys.stderr)
        return 2
    folder = sys.argv[1]
    clean_up_at_exit(folder)

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

    mocks = {}
    generation = 0
    environment = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address,
                       DBUS_SYSTEM_BUS_ADDRESS=address)
    for line in sys.stdin:
        command, _, parameters = line.strip().partition(' ')
        verb, _, kind = command.partition('-')
        if command == 'quit':
            break
        if kind not in MOCKS or verb not in ('start', 'stop', 'freeze', 'thaw'):
            print('error unknown command ' + command, flush=True)
            continue
        template, name = MOCKS[kind]
        mock = mocks.get(kind)
        if verb == 'start':
            if mock is not None:
                stop(mock)
                wait_for_owner(address, name, False, START_TIMEOUT)
            generation += 1
            log = os.path.join(folder, '%s-%d.log' % (kind, generation))
            arguments = [sys.executable, '-m', 'dbusmock', '--session', '--template', template,
                         '--logfile', log]
            if parameters:
                arguments += ['--parameters', parameters]
            mock = subprocess.Popen(arguments, env=environment, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, preexec_fn=die_with_parent)
            mocks[kind] = mock
            children.append(mock)
            if wait_for_owner(address, name, True, START_TIMEOUT, mock):
                print('ok ' + log, flush=True)
            else:
                print('error the %s mock did not appear on the bus' % kind, flush=True)
        elif verb == 'stop':
            if mock is not None:
                stop(mock)
                mocks.pop(kind)
            if wait_for_owner(address, name, False, START_TIMEOUT):
                print('ok', flush=True)
            else:
                print('error %s is still on the bus' % name, flush=True)
        else:
            if mock is None or mock.poll() is not None:
                print('error the %s mock is not running' % kind, flush=True)
                continue
            mock.send_signal(signal.SIGSTOP if verb == 'freeze' else signal.SIGCONT)
            print('ok', flush=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
