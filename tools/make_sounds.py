#!/usr/bin/env python3
"""Synthesises Tarrowind's sounds.

Usage: make_sounds.py SOUND_DIR
Writes shoot.wav (a short crack, played to its end on every shot), ggdeath.wav (a
falling wail: a hostage was hit) and bgdeath.wav (a rising zap: a terrorist was hit),
each 16-bit mono PCM at 22050 Hz. Standard library only; the output is the same on
every run (the noise comes from a fixed-seed generator).
"""
import math
import os
import struct
import sys

RATE = 22050


class Noise:
    """A small linear congruential generator: white noise in [-1, 1)."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return (self.state >> 15) / 32768.0 - 1.0


def shoot():
    """120 ms: a noise crack over a falling low thump, both dying away fast."""
    noise = Noise(7)
    out = []
    n = int(RATE * 0.120)
    phase = 0.0
    for i in range(n):
        t = i / RATE
        crack = noise.next() * math.exp(-t / 0.018)
        phase += 2 * math.pi * (180 - 700 * t) / RATE
        thump = math.sin(phase) * math.exp(-t / 0.040)
        out.append(0.55 * crack + 0.45 * thump)
    return out


def ggdeath():
    """600 ms: a wavering tone that falls from 660 Hz to 200 Hz."""
    out = []
    n = int(RATE * 0.600)
    phase = 0.0
    for i in range(n):
        t = i / RATE
        freq = 660 * (200 / 660) ** (t / 0.600) * (1 + 0.03 * math.sin(2 * math.pi * 9 * t))
        phase += 2 * math.pi * freq / RATE
        tone = math.sin(phase) + 0.3 * math.sin(3 * phase)
        envelope = min(1.0, t / 0.010) * (1 - t / 0.600) ** 0.5
        out.append(0.6 * tone * envelope)
    return out


def bgdeath():
    """350 ms: a burst of noise and a square-ish zap rising from 150 Hz to 1200 Hz."""
    noise = Noise(11)
    out = []
    n = int(RATE * 0.350)
    phase = 0.0
    for i in range(n):
        t = i / RATE
        freq = 150 * (1200 / 150) ** (t / 0.350)
        phase += 2 * math.pi * freq / RATE
        zap = math.tanh(3 * math.sin(phase))
        envelope = min(1.0, t / 0.005) * (1 - t / 0.350)
        burst = noise.next() * math.exp(-t / 0.030)
        out.append(0.5 * zap * envelope + 0.4 * burst)
    return out


def wav_bytes(samples):
    peak = max(1e-9, max(abs(s) for s in samples))
    scale = 0.8 * 32767 / peak
    data = b"".join(struct.pack("<h", int(round(s * scale))) for s in samples)
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_sounds.py SOUND_DIR")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, make in (("shoot.wav", shoot), ("ggdeath.wav", ggdeath), ("bgdeath.wav", bgdeath)):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(wav_bytes(make()))


if __name__ == "__main__":
    main()
