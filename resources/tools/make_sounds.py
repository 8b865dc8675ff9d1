#!/usr/bin/env python3
"""Writes the ticker's two short chimes (16-bit mono WAV, 22050 Hz): SNF_001 folds, SNF_005 opens."""
import math
import os
import struct
import wave

RATE = 22050


def chime(notes, path):
    """notes: (frequency in Hz, start in s, length in s); each a soft bell with a quick attack."""
    total = max(start + length for _, start, length in notes)
    samples = [0.0] * int(total * RATE)
    for freq, start, length in notes:
        first = int(start * RATE)
        for i in range(int(length * RATE)):
            t = i / RATE
            envelope = min(1.0, t / 0.004) * math.exp(-t * 9.0)
            tone = math.sin(2 * math.pi * freq * t) + 0.25 * math.sin(2 * math.pi * 2 * freq * t)
            samples[first + i] += 0.28 * envelope * tone
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32767)) for s in samples))


here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sounds")
chime([(880.0, 0.0, 0.25), (659.3, 0.07, 0.3)], os.path.join(here, "SNF_001.wav"))
chime([(659.3, 0.0, 0.25), (880.0, 0.07, 0.25), (1174.7, 0.14, 0.35)], os.path.join(here, "SNF_005.wav"))
