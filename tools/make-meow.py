#!/usr/bin/env python3
"""Writes the kitten's meow, resources/Kouka.wav: a short "mew" made by additive synthesis.

A kitten's mew is a voiced call: a fundamental that rises and then falls (here between about
560 and 980 Hz), a stack of harmonics coloured by the mouth's resonances, which move from a
closed, nasal "m" through a bright "ee" to an open "ow", with a little vibrato and jitter, a
soft onset and a fading tail. Only the standard library is used, and the random generator is
seeded, so the file is the same on every run.

Usage: tools/make-meow.py [output.wav]
"""

import math
import random
import struct
import sys
import wave
from pathlib import Path

RATE = 44100
DURATION = 0.72  # seconds
PEAK = 0.7  # of full scale
HARMONICS = 16


def smoothstep(x):
    x = min(max(x, 0.0), 1.0)
    return x * x * (3.0 - 2.0 * x)


def lerp(a, b, x):
    return a + (b - a) * x


def pitch(t):
    """The fundamental in Hz at time t (0..1 of the call): up quickly, down slowly."""
    if t < 0.38:
        return lerp(600.0, 980.0, smoothstep(t / 0.38))
    return lerp(980.0, 560.0, smoothstep((t - 0.38) / 0.62))


def formants(t):
    """Centre, width and weight of three mouth resonances at time t: m -> ee -> ow."""
    m = (300.0, 250.0), (1300.0, 300.0), (2500.0, 400.0)
    ee = (450.0, 300.0), (2600.0, 400.0), (3600.0, 500.0)
    ow = (850.0, 350.0), (1300.0, 350.0), (2800.0, 500.0)
    if t < 0.25:
        a, b, x = m, ee, smoothstep(t / 0.25)
    else:
        a, b, x = ee, ow, smoothstep((t - 0.25) / 0.55)
    weights = (1.0, 0.55, 0.25)
    return [
        (lerp(fa, fb, x), lerp(wa, wb, x), w)
        for (fa, wa), (fb, wb), w in zip(a, b, weights)
    ]


def colour(freq, t):
    """Gain of the vocal tract at freq: resonance bumps over a falling spectral tilt, and a
    nasal dip near 1 kHz while the mouth is still closed."""
    gain = 0.05
    for centre, width, weight in formants(t):
        gain += weight * math.exp(-0.5 * ((freq - centre) / width) ** 2)
    gain *= 1.0 / (1.0 + (freq / 3000.0) ** 2)
    nasal = 1.0 - smoothstep(t / 0.2)
    gain *= 1.0 - 0.7 * nasal * math.exp(-0.5 * ((freq - 1000.0) / 250.0) ** 2)
    return gain


def envelope(t):
    """Loudness over the call: a soft 50 ms onset, a quieter nasal start, a long fade."""
    seconds = t * DURATION
    attack = smoothstep(seconds / 0.05)
    nasal = lerp(0.55, 1.0, smoothstep(t / 0.22))
    release = 1.0 - smoothstep((t - 0.6) / 0.4)
    return attack * nasal * release


def synthesize():
    rng = random.Random(1729)
    count = int(RATE * DURATION)
    samples = []
    phases = [0.0] * HARMONICS
    jitter = 0.0
    breath_state = 0.0
    for n in range(count):
        t = n / count
        seconds = n / RATE
        # Vibrato of about 7 Hz that grows as the call goes on, and a slow random wander.
        jitter = 0.999 * jitter + 0.001 * rng.uniform(-1.0, 1.0) * 30.0
        vibrato = 1.0 + (0.008 + 0.012 * t) * math.sin(2 * math.pi * 7.0 * seconds)
        f0 = pitch(t) * vibrato * (1.0 + 0.01 * jitter)
        value = 0.0
        for h in range(HARMONICS):
            freq = f0 * (h + 1)
            phases[h] += 2 * math.pi * freq / RATE
            if freq < RATE / 2 - 1000:
                value += colour(freq, t) / math.sqrt(h + 1) * math.sin(phases[h])
        # A breath of noise, low-passed, mostly in the onset.
        breath_state += 0.3 * (rng.uniform(-1.0, 1.0) - breath_state)
        value += breath_state * 0.04 * (1.0 - smoothstep(t / 0.3) * 0.7)
        samples.append(value * envelope(t))
    top = max(abs(s) for s in samples) or 1.0
    return [s / top * PEAK for s in samples]


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources" / "Kouka.wav"
    samples = synthesize()
    frames = b"".join(struct.pack("<h", int(round(s * 32767))) for s in samples)
    with wave.open(str(out), "wb") as f:
        f.setnchannels(1)
        f.setsampwidth(2)
        f.setframerate(RATE)
        f.writeframes(frames)
    print(f"{out}: {len(samples)} samples, {len(samples) / RATE:.2f} s")


if __name__ == "__main__":
    main()
