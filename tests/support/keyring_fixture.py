#!/usr/bin/python3
"""A private D-Bus bus with a real GNOME Keyring on demand, for the keyring tests.

Run with a temporary folder as the only argument. It starts a dbus-daemon listening in that
folder, with no service files (so nothing is started behind the test's back), and prints
"bus ADDRESS". Then it reads commands from stdin, one per line, and answers each with one line
("ok ..." or "error ..."):

    start-keyring    start gnome-keyring-daemon (secrets only) and unlock its login keyring
                     with a test password, and wait until it owns org.freedesktop.secrets
    stop-keyring     stop it and wait until the name is gone
    freeze-keyring   stop its process (SIGSTOP): it keeps its name and answers nothing
    thaw-keyring     let it run again (SIGCONT)
    lock-keyring     lock the login keyring; with no prompter on the bus, every unlock the
                     keyring then asks for is refused, as by a user who dismisses the prompt
    lookup ACCOUNT   what the keyring holds for ACCOUNT under the service "mofurin", read with
                     secret-tool: "ok SECRET" or "none"
    quit             stop everything and exit

End of input (the test process ended, whatever way) also stops everything. The children die
with this process too (PR_SET_PDEATHSIG). The keyring's files, HOME and XDG_RUNTIME_DIR all
live in the temporary folder.
"""

import os
import signal
import subprocess
import sys

from bus_names import wait_for_owner
from child_processes import children, clean_up_at_exit, die_with_parent, stop

SECRETS = 'org.freedesktop.secrets'
START_TIMEOUT = 10.0
BUS_CONFIG = '''<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%s</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
'''



def main():
    if len(sys.argv) != 2:
        print('usage: keyring_fixture.py TEMPORARY_FOLDER', file=sys.stderr)
        return 2
    folder = sys.argv[1]
    clean_up_at_exit(folder)

    home = os.path.join(folder, 'home')
    runtime = os.path.join(folder, 'run')
    for path in (home, runtime):
        os.makedirs(path, mode=0o700, exist_ok=True)
    config = os.path.join(folder, 'bus.conf')
    with open(config, 'w') as f:
        f.write(BUS_CONFIG % runtime)
    bus = subprocess.Popen(
        ['dbus-daemon', '--config-file=' + config, '--nofork', '--print-address=1'],
        stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL, text=True,
        preexec_fn=die_with_parent)
    children.append(bus)
    address = bus.stdout.readline().strip()
    if not address:
        print('error dbus-daemon did not start', flush=True)
        return 1
    print('bus ' + address, flush=True)

    environment = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address, HOME=home,
                       XDG_RUNTIME_DIR=runtime, XDG_DATA_HOME=os.path.join(home, 'data'),
                       XDG_CONFIG_HOME=os.path.join(home, 'config'))
    keyring = None
    for line in sys.stdin:
        command, _, argument = line.strip().partition(' ')
        if command == 'start-keyring':
            if keyring is not None:
                stop(keyring)
                wait_for_owner(address, SECRETS, False, START_TIMEOUT)
            keyring = subprocess.Popen(
                ['gnome-keyring-daemon', '--foreground', '--unlock', '--components=secrets'],
                env=environment, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                stderr=open(os.path.join(folder, 'keyring.log'), 'a'),
                preexec_fn=die_with_parent)
            children.append(keyring)
            keyring.stdin.write(b'test password')
            keyring.stdin.close()
            if wait_for_owner(address, SECRETS, True, START_TIMEOUT, keyring):
                print('ok', flush=True)
            else:
                print('error gnome-keyring-daemon did not appear on the bus', flush=True)
        elif command == 'stop-keyring':
            if keyring is not None:
                stop(keyring)
                keyring = None
            gone = wait_for_owner(address, SECRETS, False, START_TIMEOUT)
            print('ok' if gone else 'error still on the bus', flush=True)
        elif command in ('freeze-keyring', 'thaw-keyring'):
            if keyring is None or keyring.poll() is not None:
                print('error the keyring is not running', flush=True)
                continue
            frozen = command == 'freeze-keyring'
            keyring.send_signal(signal.SIGSTOP if frozen else signal.SIGCONT)
            print('ok', flush=True)
        elif command == 'lock-keyring':
            result = subprocess.run(
                ['dbus-send', '--bus=' + address, '--print-reply', '--reply-timeout=5000',
                 '--dest=' + SECRETS, '/org/freedesktop/secrets',
                 'org.freedesktop.Secret.Service.Lock',
                 'array:objpath:/org/freedesktop/secrets/collection/login'],
                capture_output=True, text=True, timeout=10)
            locked = result.returncode == 0 and 'collection/login' in result.stdout
            print('ok' if locked else 'error ' + result.stderr.strip(), flush=True)
        elif command == 'lookup':
            result = subprocess.run(
                ['secret-tool', 'lookup', 'server', 'mofurin', 'user', argument],
                env=environment, capture_output=True, text=True, timeout=10)
            print('ok ' + result.stdout if result.returncode == 0 else 'none', flush=True)
        elif command == 'quit':
            break
        else:
            print('error unknown command ' + command, flush=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
