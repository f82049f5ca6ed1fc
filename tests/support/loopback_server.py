"""The common part of the scripted servers end-to-end tests talk to: a listener on 127.0.0.1
only, on a free port, that gives each connection a thread of its own. When the context ends it
stops accepting, tells every connection's thread to stop, joins them all and closes the
listener, so that no thread or socket outlives the test."""

import socket
import threading

# How long an accept or a read waits before it looks again whether the server was stopped, in
# seconds: also how soon a stopped server lets its threads go.
TICK = 0.2


class LoopbackServer:
    """A subclass talks to one client in _session(connection), on that connection's thread,
    with the socket timing out every TICK seconds. The session ends when it returns, on an
    OSError (the client went away), or when it notices `_stopped`; the socket is closed after
    it. `port` is the listener's port once the context has begun."""

    def __init__(self):
        self._stopped = threading.Event()
        self._threads = []

    def _session(self, connection):
        raise NotImplementedError

    def _lines(self, connection):
        """The lines the client sends, each without its CRLF, until it goes away or the
        server stops."""
        received = b""
        while not self._stopped.is_set():
            try:
                chunk = connection.recv(4096)
            except socket.timeout:
                continue
            if not chunk:
                return
            received += chunk
            while b"\r\n" in received:
                line, received = received.split(b"\r\n", 1)
                yield line

    def __enter__(self):
        self._listener = socket.create_server(("127.0.0.1", 0))
        self._listener.settimeout(TICK)
        self.port = self._listener.getsockname()[1]
        self._acceptor = threading.Thread(target=self._accept, daemon=True)
        self._acceptor.start()
        return self

    def __exit__(self, *exc):
        self._stopped.set()
        # The acceptor first: once it has ended, no connection's thread is added.
        self._acceptor.join(timeout=10)
        for thread in self._threads:
            thread.join(timeout=10)
        self._listener.close()
        return False

    def _accept(self):
        while not self._stopped.is_set():
            try:
                connection, _ = self._listener.accept()
            except socket.timeout:
                continue
            thread = threading.Thread(target=self._serve, args=(connection,), daemon=True)
            self._threads.append(thread)
            thread.start()

    def _serve(self, connection):
        with connection:
            connection.settimeout(TICK)
            try:
                self._session(connection)
            except OSError:
                pass
