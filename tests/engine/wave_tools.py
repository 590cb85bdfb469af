"""Helpers of the sound engine tests: tones written into a game folder, a run
with OpenAL Soft's wave writer, and the level of a tone in windows of the
recorded mix."""
import array
import math
import struct
import wave

WINDOW = 0.05  # seconds per analysis window
PRESENT = 0.02  # amplitude (of full scale) above which a tone counts as sounding


def write_tone(game, name, frequency, seconds, rate=22050, channels=1):
    """A 16-bit sine at half of full scale, in the game's Music folder."""
    step = 2 * math.pi * frequency / rate
    samples = array.array("h", (int(16383 * math.sin(step * i))
                                for i in range(int(seconds * rate)) for _ in range(channels)))
    with wave.open(game.path("Resource/Music/" + name), "wb") as out:
        out.setnchannels(channels)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(samples.tobytes())


def run_with_wave_output(game, timeout=60):
    """Runs the game with OpenAL Soft writing its stereo mix to out.wav."""
    conf = game.path("alsoft.conf")
    output = game.path("out.wav")
    with open(conf, "w") as out:
        out.write("[general]\ndrivers=wave\nchannels=stereo\nhrtf=false\n"
                  "sample-type=int16\ndither=false\n\n[wave]\nfile=%s\n" % output)
    code = game.start(env={"ALSOFT_CONF": conf, "ALSOFT_DRIVERS": "wave"}).wait(timeout)
    return code, output


def read_pcm16(path):
    """(rate, left, right) of a 16-bit stereo WAV as floats of full scale.

    OpenAL Soft writes WAVE_FORMAT_EXTENSIBLE headers, which this Python's
    wave module refuses, so the chunks are read here."""
    with open(path, "rb") as source:
        data = source.read()
    assert data[:4] == b"RIFF" and data[8:12] == b"WAVE", "not a WAV file"
    at, rate, channels, bits, samples = 12, 0, 0, 0, b""
    while at + 8 <= len(data):
        kind, size = struct.unpack("<4sI", data[at:at + 8])
        body = data[at + 8:at + 8 + size]
        if kind == b"fmt ":
            _, channels, rate, _, _, bits = struct.unpack("<HHIIHH", body[:16])
        elif kind == b"data":
            samples = body
        at += 8 + size + (size & 1)
    assert (channels, bits) == (2, 16), (channels, bits)
    count = len(samples) // 4
    values = struct.unpack("<%dh" % (2 * count), samples[:4 * count])
    return rate, [v / 32768.0 for v in values[0::2]], [v / 32768.0 for v in values[1::2]]


def tone_levels(samples, rate, frequency):
    """The tone's amplitude in each window (Hann-windowed single-bin DFT)."""
    size = int(WINDOW * rate)
    hann = [0.5 - 0.5 * math.cos(2 * math.pi * n / size) for n in range(size)]
    cos_table = [hann[n] * math.cos(2 * math.pi * frequency * n / rate) for n in range(size)]
    sin_table = [hann[n] * math.sin(2 * math.pi * frequency * n / rate) for n in range(size)]
    norm = 2.0 / sum(hann)
    levels = []
    for start in range(0, len(samples) - size + 1, size):
        window = samples[start:start + size]
        re = sum(map(float.__mul__, window, cos_table))
        im = sum(map(float.__mul__, window, sin_table))
        levels.append(norm * math.hypot(re, im))
    return levels


def sounding(levels):
    """Indices of the windows in which the tone sounds."""
    return [i for i, level in enumerate(levels) if level > PRESENT]
