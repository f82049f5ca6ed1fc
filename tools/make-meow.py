#!/usr/bin/env python3
"""Synthesises the kitten's meow, resources/Kouka.wav: a short "mew" of a young cat.

Additive synthesis of a voiced sound, built the way a kitten's cry is: a fundamental that rises
from about 560 Hz to about 960 Hz and falls back to about 620 Hz, with vibrato and a little
jitter; harmonics with a falling source spectrum, shaped by three formants that move through a
nasal "m", a bright "ee", an open "a" and a rounded "ow"; some breath noise; a soft onset and a
fading tail. Only Python's standard library is used, and the random generator is seeded, so the
same file comes out every time.

Usage: tools/make-meow.py [output.wav]   (default: resources/Kouka.wav beside this folder)
"""

import math
import os
import random
import struct
import sys
import wave

RATE = 44100
DURATION = 0.78  # seconds
PEAK = 0.70      # of full scale, leaving headroom


def smoothstep(x):
    x = min(max(x, 0.0), 1.0)
    return x * x * (3.0 - 2.0 * x)


def track(points, t):
    """Value at time t of a path through (time, value) points with smooth joins."""
    if t <= points[0][0]:
        return points[0][1]
    for (t0, v0), (t1, v1) in zip(points, points[1:]):
        if t <= t1:
            return v0 + (v1 - v0) * smoothstep((t - t0) / (t1 - t0))
    return points[-1][1]


# Fundamental frequency in Hz over the call: a quick rise, a rounded top, a slower fall.
PITCH = [(0.00, 560.0), (0.10, 700.0), (0.26, 930.0), (0.36, 960.0), (0.55, 840.0),
         (0.78, 620.0)]

# Formant centres (Hz) over the call. A kitten's vocal tract is short, so its formants sit
# well above a person's: m (closed, nasal), ee (spread), a (mouth open), ow (lips rounding).
F1 = [(0.00, 420.0), (0.08, 520.0), (0.20, 700.0), (0.40, 1350.0), (0.58, 1200.0),
      (0.78, 760.0)]
F2 = [(0.00, 1500.0), (0.08, 2600.0), (0.20, 3300.0), (0.40, 2100.0), (0.58, 1700.0),
      (0.78, 1250.0)]
F3 = [(0.00, 3000.0), (0.20, 4500.0), (0.40, 3900.0), (0.78, 3300.0)]
BANDWIDTHS = (260.0, 420.0, 700.0)
WEIGHTS = (1.0, 0.75, 0.35)

# Brightness: how many harmonics get through; low while the mouth is closed on the "m".
OPENING = [(0.00, 0.25), (0.07, 0.35), (0.16, 1.0), (0.62, 1.0), (0.78, 0.55)]

# Loudness: a soft 45 ms onset under the nasal start, a swell on the open vowel, a fading tail.
LOUDNESS = [(0.00, 0.0), (0.045, 0.45), (0.12, 0.6), (0.34, 1.0), (0.52, 0.9), (0.66, 0.55),
            (0.78, 0.0)]


def formant_gain(freq, t):
    gain = 0.015
    for centre, bandwidth, weight in zip((track(F1, t), track(F2, t), track(F3, t)),
                                         BANDWIDTHS, WEIGHTS):
        x = (freq - centre) / (bandwidth / 2.0)
        gain += weight / (1.0 + x * x)
    return gain


def synthesise():
    rng = random.Random(20240521)
    count = int(RATE * DURATION)
    max_harmonics = 24
    phases = [rng.random() * 2.0 * math.pi for _ in range(max_harmonics)]
    jitter = 0.0
    noise_state = 0.0
    samples = []
    for n in range(count):
        t = n / RATE
        # Vibrato at about 6.5 Hz that grows after the onset, plus a slow random wander.
        vibrato = 0.012 * smoothstep(t / 0.15) * math.sin(2.0 * math.pi * 6.5 * t)
        jitter += (rng.random() - 0.5) * 0.0009
        jitter *= 0.9985
        f0 = track(PITCH, t) * (1.0 + vibrato + jitter)
        opening = track(OPENING, t)
        value = 0.0
        for k in range(1, max_harmonics + 1):
            freq = k * f0
            if freq > 16000.0:
                break
            phases[k - 1] += 2.0 * math.pi * freq / RATE
            # Source spectrum falls with the harmonic number, faster while the mouth is shut.
            source = 1.0 / (k ** (1.0 + 1.6 * (1.0 - opening)))
            value += source * formant_gain(freq, t) * math.sin(phases[k - 1])
        # Breath: soft high-passed noise that follows the voice, a little more at the ends.
        white = rng.random() * 2.0 - 1.0
        breathy = white - noise_state
        noise_state = white
        value += 0.02 * (1.2 - opening * 0.6) * breathy
        samples.append(value * track(LOUDNESS, t))
    peak = max(abs(s) for s in samples) or 1.0
    return [s * PEAK / peak for s in samples]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "Kouka.wav")
    samples = synthesise()
    with wave.open(out, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(round(s * 32767))) for s in samples))
    print(f"{out}: {len(samples)} samples, {len(samples) / RATE:.3f} s")


if __name__ == "__main__":
    main()
