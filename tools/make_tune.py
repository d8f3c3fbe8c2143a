#!/usr/bin/env python3
"""Writes the game's background tune, res/Glyph.wav: four bars in A minor for a pulse-wave lead,
a triangle bass and a noise drum, mono 16-bit at 11025 Hz. The same script always writes the
same bytes; change the notes below and run it again to change the tune.

    python3 tools/make_tune.py [output.wav]
"""
import math
import struct
import sys
import wave
from pathlib import Path

RATE = 11025
EIGHTH = 0.1875  # seconds: 160 beats a minute

# (note, length in eighths); a note is a MIDI number, None a rest. Am | F | C | G E.
LEAD = [
    (69, 1), (72, 1), (76, 1), (72, 1), (81, 2), (79, 1), (76, 1),
    (77, 2), (76, 1), (72, 1), (69, 2), (72, 2),
    (67, 1), (72, 1), (76, 1), (79, 1), (76, 2), (74, 1), (72, 1),
    (71, 2), (74, 1), (71, 1), (68, 2), (64, 1), (None, 1),
]
# One root per half bar; the bass walks root and octave in eighths.
BASS_ROOTS = [45, 45, 41, 41, 48, 48, 43, 40]
# Drum hits on every beat, the back beat louder.
DRUM = [0.5, 1.0, 0.5, 1.0] * 4


def frequency(note):
    return 440.0 * 2.0 ** ((note - 69) / 12.0)


def envelope(t, length, attack, release, sustain=1.0, decay=0.0):
    """Gain at time t into a note of the given length: attack, decay to sustain, release."""
    if t < attack:
        gain = t / attack
    elif decay > 0 and t < attack + decay:
        gain = 1.0 - (1.0 - sustain) * (t - attack) / decay
    else:
        gain = sustain
    if t > length - release:
        gain *= max(0.0, (length - t) / release)
    return gain


def add_voice(mix, notes, wave_at, attack, release, level, sustain=1.0, decay=0.0):
    start = 0.0
    for note, eighths in notes:
        length = eighths * EIGHTH
        if note is not None:
            f = frequency(note)
            first = int(start * RATE)
            for i in range(int(length * RATE)):
                t = i / RATE
                gain = envelope(t, length, attack, release, sustain, decay)
                mix[first + i] += level * gain * wave_at((t * f) % 1.0)
        start += length


def pulse(phase):
    return 1.0 if phase < 0.25 else -1.0


def triangle(phase):
    return 4.0 * phase - 1.0 if phase < 0.5 else 3.0 - 4.0 * phase


def add_drum(mix):
    lfsr = 0x4A5B  # a 15-bit shift register: the same noise every time
    beat = 2 * EIGHTH
    for n, accent in enumerate(DRUM):
        first = int(n * beat * RATE)
        for i in range(int(0.06 * RATE)):
            bit = (lfsr ^ (lfsr >> 1)) & 1
            lfsr = (lfsr >> 1) | (bit << 14)
            noise = 1.0 if lfsr & 1 else -1.0
            mix[first + i] += 0.09 * accent * math.exp(-i / (0.012 * RATE)) * noise


def render():
    total = sum(eighths for _, eighths in LEAD) * EIGHTH
    mix = [0.0] * (int(total * RATE) + 1)
    add_voice(mix, LEAD, pulse, 0.004, 0.03, 0.22, sustain=0.6, decay=0.08)
    bass = [(root + 12 * (step % 2), 1) for root in BASS_ROOTS for step in range(4)]
    add_voice(mix, bass, triangle, 0.004, 0.02, 0.35)
    add_drum(mix)
    # A gentle low-pass takes the fizz off the pulse wave at this low sample rate.
    out, smooth = bytearray(), 0.0
    for sample in mix:
        smooth += 0.55 * (sample - smooth)
        out += struct.pack("<h", int(max(-1.0, min(1.0, smooth)) * 32767))
    return bytes(out)


def main():
    default = Path(__file__).resolve().parent.parent / "res" / "Glyph.wav"
    path = Path(sys.argv[1]) if len(sys.argv) > 1 else default
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(render())


if __name__ == "__main__":
    main()
