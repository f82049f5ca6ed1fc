"""A private PulseAudio for end-to-end tests: one null sink named "test", reachable only through
a socket in a temporary folder, and a recorder of that sink's monitor, so a test can hear what
the program played.

The server runs in its own process group, is stopped when the context ends and dies with the
test process (PR_SET_PDEATHSIG) even if that is killed.
"""

import array
import ctypes
import os
import shutil
import signal
import subprocess
import tempfile
import time

RATE = 8000  # enough to tell a meow from silence


def _die_with_parent():
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


class PulseAudio:
    def __init__(self):
        self.tmp = tempfile.mkdtemp(prefix="mofurin-pulse-")
        self.proc = None
        runtime = os.path.join(self.tmp, "pulse")
        os.makedirs(runtime)
        client_conf = os.path.join(self.tmp, "client.conf")
        with open(client_conf, "w") as f:
            f.write("autospawn = no\n")
        # What a client needs to reach this server and no other.
        self.env = {
            "PULSE_SERVER": "unix:" + os.path.join(runtime, "native"),
            "PULSE_RUNTIME_PATH": runtime,
            "PULSE_CLIENTCONFIG": client_conf,
            "PULSE_STATE_PATH": os.path.join(self.tmp, "state"),
        }

    def _environment(self):
        env = dict(os.environ)
        env.update(self.env)
        env["XDG_RUNTIME_DIR"] = self.tmp
        env["HOME"] = self.tmp
        return env

    def __enter__(self):
        self.log = open(os.path.join(self.tmp, "pulse.log"), "wb")
        self.proc = subprocess.Popen(
            ["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--disable-shm=yes",
             "--load=module-null-sink sink_name=test",
             "--load=module-native-protocol-unix auth-anonymous=1", "--log-target=stderr"],
            env=self._environment(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=self.log, start_new_session=True, preexec_fn=_die_with_parent)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError("pulseaudio ended at start: " + self.log_text()[-2000:])
            if self._pactl("set-default-sink", "test"):
                return self
            time.sleep(0.05)
        self.__exit__(None, None, None)
        raise RuntimeError("pulseaudio did not answer within 10 s")

    def __exit__(self, *exc):
        if self.proc is not None and self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGTERM)
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait(timeout=5)
        if getattr(self, "log", None):
            self.log.close()
        shutil.rmtree(self.tmp, ignore_errors=True)
        return False

    def _pactl(self, *args):
        try:
            return subprocess.run(["pactl", *args], env=self._environment(),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  timeout=2).returncode == 0
        except subprocess.TimeoutExpired:
            return False

    def log_text(self):
        with open(os.path.join(self.tmp, "pulse.log"), "rb") as f:
            return f.read().decode(errors="replace")

    def record(self, seconds):
        """What the sink played for the next `seconds`, as 16-bit mono samples."""
        proc = subprocess.Popen(
            ["parec", "-d", "test.monitor", "--raw", "--format=s16le", "--rate=%d" % RATE,
             "--channels=1", "--latency-msec=20"],
            env=self._environment(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            preexec_fn=_die_with_parent)
        time.sleep(seconds)
        proc.terminate()
        data, _ = proc.communicate(timeout=5)
        samples = array.array("h")
        samples.frombytes(data[:len(data) - len(data) % 2])
        return samples


def loud_spans(samples, threshold=1000, span=RATE // 20):
    """How many 50 ms spans of the recording hold a sample louder than threshold."""
    return sum(1 for start in range(0, len(samples), span)
               if max((abs(s) for s in samples[start:start + span]), default=0) > threshold)
