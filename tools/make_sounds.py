#!/usr/bin/env python3
"""Synthesises the game's sound effects and music loop as WAV files.

Standard library only, and deterministic: the same files come out on every
run, so the game folder can be rebuilt byte for byte.

Usage: make_sounds.py MUSIC_DIR
"""
import math
import os
import struct
import sys
import wave

RATE = 22050  # Hz; plenty for synthetic effects, half the size of 44.1 kHz


def _write(path, channels, frames):
    """frames: a list of tuples of floats in -1..1, one value per channel."""
    with wave.open(path, "wb") as out:
        out.setnchannels(channels)
        out.setsampwidth(2)
        out.setframerate(RATE)
        data = bytearray()
        for frame in frames:
            for value in frame:
                clipped = max(-1.0, min(1.0, value))
                data += struct.pack("<h", int(round(clipped * 32767)))
        out.writeframes(bytes(data))


def _envelope(t, length, attack=0.005, release=0.05):
    """Linear attack and release so effects start and end without clicks."""
    if t < attack:
        return t / attack
    if t > length - release:
        return max(0.0, (length - t) / release)
    return 1.0


def _noise(count, seed=12345):
    """Deterministic white noise from a linear congruential generator."""
    state = seed
    values = []
    for _ in range(count):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        values.append(state / 0x3FFFFFFF - 1.0)
    return values


def jump():
    """A rising chirp, 0.25 s."""
    length = 0.25
    frames = []
    phase = 0.0
    for i in range(int(length * RATE)):
        t = i / RATE
        phase += 2 * math.pi * (300 + 900 * t / length) / RATE
        frames.append((0.6 * _envelope(t, length) * math.sin(phase),))
    return frames


def land():
    """A low thump with a little noise, 0.2 s."""
    length = 0.2
    noise = _noise(int(length * RATE))
    frames = []
    for i in range(int(length * RATE)):
        t = i / RATE
        decay = math.exp(-t * 25)
        tone = math.sin(2 * math.pi * 70 * t)
        frames.append((0.8 * decay * (0.8 * tone + 0.2 * noise[i]),))
    return frames


def pickup():
    """Three quick notes of a major arpeggio, 0.3 s."""
    notes = (880.0, 1108.73, 1318.51)
    step = 0.1
    frames = []
    for freq in notes:
        for i in range(int(step * RATE)):
            t = i / RATE
            value = math.sin(2 * math.pi * freq * t) * math.exp(-t * 12)
            frames.append((0.5 * _envelope(t, step, release=0.01) * value,))
    return frames


def door():
    """A falling grind of filtered noise, 0.8 s."""
    length = 0.8
    noise = _noise(int(length * RATE), seed=777)
    frames = []
    smooth = 0.0
    for i in range(int(length * RATE)):
        t = i / RATE
        smooth += 0.08 * (noise[i] - smooth)  # one-pole low-pass
        wobble = 0.5 + 0.5 * math.sin(2 * math.pi * (12 - 8 * t / length) * t)
        frames.append((1.5 * _envelope(t, length, 0.02, 0.15) * smooth * wobble,))
    return frames


def hum():
    """A machine hum that loops seamlessly: 1 s holding whole cycles of every
    partial (60, 120 and 180 Hz), meant for looping 3D sounds on actors."""
    frames = []
    for i in range(RATE):
        t = i / RATE
        value = (0.5 * math.sin(2 * math.pi * 60 * t) + 0.25 * math.sin(2 * math.pi * 120 * t)
                 + 0.15 * math.sin(2 * math.pi * 180 * t))
        frames.append((0.7 * value,))
    return frames


def music():
    """An 8 s stereo loop: four bars of a chord progression with a bass line,
    every note enveloped so the loop point does not click."""
    chords = ((220.0, 277.18, 329.63), (174.61, 220.0, 261.63),
              (261.63, 329.63, 392.0), (196.0, 246.94, 293.66))
    bar = 2.0
    frames = []
    for root_index, chord in enumerate(chords):
        for i in range(int(bar * RATE)):
            t = i / RATE
            beat = t % 0.5
            pad = sum(math.sin(2 * math.pi * f * t) for f in chord) / len(chord)
            bass = math.sin(2 * math.pi * chord[0] / 2 * t) * math.exp(-beat * 6)
            env = _envelope(t, bar, 0.05, 0.05)
            # The pad leans left on even bars and right on odd ones.
            lean = 0.15 if root_index % 2 == 0 else -0.15
            left = env * (0.3 * (0.5 + lean) * pad * 2 + 0.3 * bass)
            right = env * (0.3 * (0.5 - lean) * pad * 2 + 0.3 * bass)
            frames.append((left, right))
    return frames


SOUNDS = {
    "jump.wav": (1, jump),
    "land.wav": (1, land),
    "pickup.wav": (1, pickup),
    "door.wav": (1, door),
    "hum.wav": (1, hum),
    "music.wav": (2, music),
}


def make_sounds(music_dir):
    """Writes every sound into music_dir (created if missing); returns the
    paths written."""
    os.makedirs(music_dir, exist_ok=True)
    written = []
    for name, (channels, make) in SOUNDS.items():
        path = os.path.join(music_dir, name)
        _write(path, channels, make())
        written.append(path)
    return written


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_sounds.py MUSIC_DIR")
    for written_path in make_sounds(sys.argv[1]):
        print(written_path)
