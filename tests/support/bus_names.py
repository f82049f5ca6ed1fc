"""Who owns a name on a private D-Bus bus, asked with dbus-send so that a fixture script needs
no D-Bus module of its own."""

import subprocess
import time


def name_has_owner(address, name):
    result = subprocess.run(
        ['dbus-send', '--bus=' + address, '--print-reply=literal', '--reply-timeout=1000',
         '--dest=org.freedesktop.DBus', '/org/freedesktop/DBus',
         'org.freedesktop.DBus.NameHasOwner', 'string:' + name],
        capture_output=True, text=True, timeout=5)
    return result.returncode == 0 and 'true' in result.stdout


def wait_for_owner(address, name, wanted, timeout, process=None):
    """True once the name's ownership is as wanted; False at the time-out or when the process
    that should take the name has ended."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if name_has_owner(address, name) == wanted:
            return True
        if process is not None and process.poll() is not None:
            return False
        time.sleep(0.05)
    return False
