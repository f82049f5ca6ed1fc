"""An IMAP server on 127.0.0.1 for end-to-end tests that answers like a plain mailbox until told
to misbehave, then does so at a chosen command: a literal of an absurd size followed by an
endless stream, a line that never ends, responses without end, random bytes, or silence. It can also end an IDLE with
BYE once. Any user and password log in. Each connection has a thread of its own; everything
stops when the context ends."""

import os
import socket
import threading
import time

from loopback_server import LoopbackServer

CHUNK = 64 * 1024
HEADER = ("From: Tama <tama@example.jp>\r\nSubject: =?UTF-8?B?44GC44GE44GV44Gk?=\r\n"
          "Date: Wed, 09 Dec 2026 09:00:00 +0900\r\nMessage-ID: <1@example.jp>\r\n\r\n").encode()


class Connection:
    """What the server saw of one connection."""

    def __init__(self):
        self.opened = time.monotonic()
        self.closed = None      # when the client went away (or the server hung up)
        self.commands = []      # each command line, tag included
        self.streamed = 0       # bytes of an endless reply sent before the client went away
        self.bye = None         # when the server ended an IDLE with BYE


class HostileImap(LoopbackServer):
    def __init__(self, unseen=(7,)):
        super().__init__()
        self.unseen = list(unseen)
        self.connections = []
        self._misbehaviour = None
        self._bye_in_idle = False
        self._lock = threading.Lock()

    # --- what the server does --------------------------------------------------------------
    def misbehave(self, kind, at, argument=b""):
        """From now on, answer the command `at` (its verb, e.g. "UID SEARCH") with `kind`:
        "literal" (a response announcing a literal of `argument` bytes, then endless bytes),
        "endless" (a line that never ends), "flood" (whole untagged responses of that command's
        keyword, each listing ten thousand one-digit numbers, without end), "garbage" (random bytes,
        NULs among them) or "silence" (nothing at all, the connection left open)."""
        self._misbehaviour = (kind, at.upper(), argument)

    def behave(self):
        self._misbehaviour = None

    def bye_in_next_idle(self):
        """The next IDLE gets its go-ahead, then BYE a second later, and the connection ends."""
        self._bye_in_idle = True

    # --- one connection --------------------------------------------------------------------
    def _session(self, connection):
        seen = Connection()
        with self._lock:
            self.connections.append(seen)
        try:
            self._converse(connection, seen)
        finally:
            seen.closed = seen.closed or time.monotonic()

    def _send(self, connection, data):
        """Sends all of data unless the client goes away or the server stops; False then."""
        while data:
            if self._stopped.is_set():
                return False
            try:
                sent = connection.send(data)
            except socket.timeout:
                continue
            except OSError:
                return False
            data = data[sent:]
        return True

    def _converse(self, connection, seen):
        if not self._send(connection, b"* OK hostile IMAP ready\r\n"):
            return
        idling = None
        for line in self._lines(connection):
            seen.commands.append(line.decode(errors="replace"))
            if idling is not None:
                if line.upper() == b"DONE":
                    self._send(connection, idling + b" OK IDLE terminated\r\n")
                    idling = None
                continue
            tag, _, rest = line.partition(b" ")
            verb = rest.upper()
            bad = self._misbehaviour
            if bad and verb.startswith(bad[1].encode()):
                self._hostile(connection, seen, bad, verb)
                return
            if verb.startswith(b"IDLE"):
                if not self._send(connection, b"+ idling\r\n"):
                    return
                if self._bye_in_idle:
                    self._bye_in_idle = False
                    if self._stopped.wait(1.0):
                        return
                    seen.bye = time.monotonic()
                    self._send(connection, b"* BYE shutting down for maintenance\r\n")
                    connection.shutdown(socket.SHUT_RDWR)
                    seen.closed = time.monotonic()
                    return
                idling = tag
                continue
            if not self._send(connection, self._answer(tag, verb)):
                return
            if verb.startswith(b"LOGOUT"):
                return

    def _answer(self, tag, verb):
        done = tag + b" OK done\r\n"
        if verb.startswith(b"CAPABILITY"):
            return b"* CAPABILITY IMAP4rev1 IDLE\r\n" + done
        if verb.startswith(b"LOGIN"):
            return tag + b" OK [CAPABILITY IMAP4rev1 IDLE] logged in\r\n"
        if verb.startswith(b"EXAMINE"):
            return (b"* %d EXISTS\r\n* OK [UIDVALIDITY 42] ok\r\n" % len(self.unseen) +
                    tag + b" OK [READ-ONLY] examined\r\n")
        if verb.startswith(b"UID SEARCH"):
            return b"".join([b"* SEARCH"] + [b" %d" % uid for uid in self.unseen]) + \
                b"\r\n" + done
        if verb.startswith(b"UID FETCH"):
            uid = int(verb.split(b" ")[2])
            if uid not in self.unseen:
                return done
            return (b"* %d FETCH (UID %d BODY[HEADER.FIELDS (FROM SUBJECT DATE MESSAGE-ID)] "
                    b"{%d}\r\n" % (self.unseen.index(uid) + 1, uid, len(HEADER)) + HEADER +
                    b")\r\n" + done)
        if verb.startswith(b"LOGOUT"):
            return b"* BYE logging out\r\n" + done
        return tag + b" BAD unknown command\r\n"

    def _hostile(self, connection, seen, misbehaviour, verb):
        kind, at, argument = misbehaviour
        if kind == "silence":
            # Read on, answer nothing, until the client hangs up.
            for line in self._lines(connection):
                seen.commands.append(line.decode(errors="replace"))
            return
        keyword = at.split(" ")[-1].encode()
        if kind == "literal":
            start = b"* " + keyword + b" {" + argument + b"}\r\n"
        elif kind == "endless":
            start = b"* OK "
        else:
            start = b""
        if not self._send(connection, start):
            return
        # A megabyte at a time: the kernel takes it at once, whatever the client makes of it.
        flood = (b"* " + keyword + b" " + b" ".join(b"%d" % (n % 9 + 1) for n in range(10000)) +
                 b"\r\n") * 50
        while not self._stopped.is_set():
            if kind == "flood":
                chunk = flood
            elif kind == "garbage":
                chunk = bytearray(os.urandom(CHUNK))
                chunk[::97] = bytes(len(chunk[::97]))  # NULs, often
            else:
                chunk = b"A" * CHUNK
            if not self._send(connection, bytes(chunk)):
                break
            seen.streamed += len(chunk)
        seen.closed = time.monotonic()
