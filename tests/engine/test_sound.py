"""Sound in the running engine, heard through OpenAL Soft's wave writer: 2D
and 3D samples against the listener's turn, long samples read while they
play, the volume scales, a level load's silence, no device, no sound
system with music = 0, and music through a stalled main loop.

Every test plays pure tones of its own and measures each tone's amplitude per
channel in short windows of the written file, so the checks need no timing
between the game clock and the file."""
import array
import math
import os
import struct
import wave

import harness
from download_server import LocalServer
from harness import LEVEL_START, Game, at

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


def heard(game, *tones):
    """Writes the tones (name, frequency, seconds[, rate, channels]), runs the
    game to a clean end with the wave writer and reads what it wrote."""
    for tone in tones:
        write_tone(game, *tone)
    code, output = run_with_wave_output(game)
    assert code == 0, code
    return read_pcm16(output)


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


ATTACH, POSITION, SOUND = 0, 1, 9  # actor message types

SOUND_SETUP = {"music": 1, "soundvolume": 5, "musicvolume": 5}


def speaker(sound, mode):
    """An actor 3 units to the listener's right that plays sound (mode
    "Loop" or "") at 200 ms through a Sound message."""
    return ("local cx, cy, cz = GetPosition('_CameraNode')\n"
            "AddActor('Speaker')\n"
            "AddActorMessage('Speaker', 0, %d, 'LevelRoot', '', 0, 0, 0, 0)\n"
            "AddActorMessage('Speaker', 0, %d, '', '', cx + 3, cy, cz, 0)\n"
            "AddActorMessage('Speaker', 200, %d, '%s', '%s', 0, 0, 0, 256)\n"
            % (ATTACH, POSITION, SOUND, sound, mode))


def energy(levels):
    return sum(level * level for level in levels)


def test_2d_sound_is_centred_3d_sound_follows_the_listener_and_long_samples_play_once():
    # The camera's carrier turned about: the speaker at its +x is on its left.
    # A 6 s stereo sample is too long to keep; it is read from its file.
    level = LEVEL_START + "SetRotation('_CameraNode', 0, 1, 0, 180)\n" + \
        speaker("high.wav", "") + \
        at(200, "LogText('channel ' .. Play2DSound('low.wav', 256, 0)) "
                "Play2DSound('long.wav', 256, 0)") + at(7000, "ShutDown()")
    with Game(setup=SOUND_SETUP, levels={"start.lua": level}) as game:
        rate, left, right = heard(game, ("low.wav", 440, 1.2), ("high.wav", 1000, 1.2),
                                  ("long.wav", 330, 6, 44100, 2))
        assert not game.log_with("CSound: Error"), game.log_with("CSound")
        assert not game.log_with("channel 0")

    low_left, low_right = tone_levels(left, rate, 440), tone_levels(right, rate, 440)
    high_left, high_right = tone_levels(left, rate, 1000), tone_levels(right, rate, 1000)
    assert len(sounding(low_left)) >= 18 and len(sounding(high_left)) >= 18
    assert 0.8 < energy(low_right) / energy(low_left) < 1.25  # 2D: in the middle
    assert energy(high_left) > 4 * energy(high_right), (energy(high_left), energy(high_right))
    long_tone = sounding(tone_levels(left, rate, 330))
    span = long_tone[-1] - long_tone[0] + 1
    assert len(long_tone) == span and 110 <= span <= 122, long_tone  # 6 s, once, no gap


def test_master_volume_scales_only_sounds_started_afterwards():
    # A name ending in "mp3" plays on the music scale, whatever the file holds.
    level = LEVEL_START + at(200, "Play2DSound('loud.wav', 256, 1)") + \
        at(1000, "SetMasterVolume(64, 256) Play2DSound('soft.wav', 256, 1) "
                 "Play2DSound('tune.mp3', 256, 1)") + \
        at(2200, "ShutDown()")
    with Game(setup=SOUND_SETUP, levels={"start.lua": level}) as game:
        rate, left, _ = heard(game, ("loud.wav", 440, 0.5), ("soft.wav", 550, 0.5),
                              ("tune.mp3", 660, 0.5))

    loud = tone_levels(left, rate, 440)
    soft = tone_levels(left, rate, 550)
    soft_windows = sounding(soft)
    assert len(soft_windows) >= 15, soft_windows
    # Whole windows only, away from the starts and the end of the file.
    before = [loud[i] for i in sounding(loud) if i < soft_windows[0] - 1]
    during = [loud[i] for i in soft_windows[1:-1]]
    assert len(before) >= 10 and len(during) >= 10, (before, during)
    median = lambda values: sorted(values)[len(values) // 2]
    # The playing loop keeps its volume (255 of 256 from setup.lua) ...
    assert abs(median(during) / median(before) - 1) < 0.05, (median(before), median(during))
    # ... and the new one plays at 64 of 256 against it, the "mp3" at 256.
    ratio = median([soft[i] for i in soft_windows[1:-1]]) / median(before)
    assert abs(ratio - 64 / 255) < 0.03, ratio
    tune = tone_levels(left, rate, 660)
    ratio = median([tune[i] for i in soft_windows[1:-1]]) / median(before)
    assert abs(ratio - 256 / 255) < 0.05, ratio


def test_level_load_stops_the_music_and_every_sound():
    levels = {
        "start.lua": LEVEL_START + speaker("buzz.wav", "Loop") +
        at(200, "PlayStream('music_tone.wav') Play2DSound('beep.wav', 256, 1)") +
        at(1400, "coreLoadLevel('quiet.lua')"),
        # The next level plays a tone of its own, so the file shows that the
        # mix went on after the load.
        "quiet.lua": LEVEL_START + at(200, "Play2DSound('after.wav', 256, 1)") +
        at(1400, "ShutDown()"),
    }
    with Game(setup=SOUND_SETUP, levels=levels) as game:
        rate, left, right = heard(game, ("music_tone.wav", 660, 6), ("beep.wav", 880, 0.5),
                                  ("buzz.wav", 1200, 0.5), ("after.wav", 500, 0.5))

    after = sounding(tone_levels(right, rate, 500))
    assert len(after) >= 15, after
    for frequency in (660, 880, 1200):
        before = sounding(tone_levels(right, rate, frequency))
        assert len(before) >= 18, (frequency, before)
        # Silent from the load on: gone before the next level's tone starts.
        # (The gap itself shrinks by however long the load took, since the
        # next level's clock starts at the load.)
        assert max(before) < min(after), (frequency, before, after)


def test_without_a_device_the_game_plays_silent_with_one_line():
    # ALSA with a device that does not exist fails on any machine, and both
    # ALSA and OpenAL print complaints of their own when it does.
    level = LEVEL_START + at(200, "LogText('channel ' .. Play2DSound('x.wav', 256, 0)) ShutDown()")
    with Game(setup=SOUND_SETUP, levels={"start.lua": level}) as game:
        game.write("alsoft.conf", "[general]\ndrivers = alsa\n[alsa]\ndevice = vantor_no_pcm\n")
        code = game.start(env={"ALSOFT_DRIVERS": "alsa",
                               "ALSOFT_CONF": game.path("alsoft.conf")}).wait()
        assert code == 0
        assert game.log_with("channel 0")
        assert len(game.log_with("CSound: ")) == 1, game.log_with("CSound: ")
        assert game.log_with("CSound: Error! Can't initialize output device")
        stderr = open(game.stderr_path).read()
        assert "ALSA lib" not in stderr and "AL lib" not in stderr, stderr[-2000:]


def test_without_music_no_sound_system_is_made():
    level = LEVEL_START + at(
        200, "PlayStream('music.wav') local f = io.open('channel.txt', 'w') "
             "f:write(Play2DSound('hum.wav', 256, 0)) f:close() StopAllSounds() ShutDown()")
    with Game(setup={"music": 0}, levels={"start.lua": level}) as game:
        code, output = run_with_wave_output(game)
        assert code == 0
        assert game.read("bin/channel.txt") == "0"
        assert not game.log_with("CSound"), game.log_with("CSound")
        assert not os.path.exists(output), "an audio device was opened"
        assert "delete sound" in game.log()


def test_music_plays_on_while_the_main_loop_is_blocked():
    # GetUrl blocks the frame loop for the 4 s the server takes to answer.
    level = LEVEL_START + at(200, "PlayStream('music.wav')") + \
        at(1200, "GetUrl('late/4', 'late.txt')") + at(7000, "ShutDown()")
    with LocalServer() as server, \
            Game(setup=dict(SOUND_SETUP, downloadurl=server.base),
                 levels={"start.lua": level}) as game:
        rate, left, _ = heard(game, ("music.wav", 440, 9))
        assert game.read("bin/late.txt") == "late"

    music = sounding(tone_levels(left, rate, 440))
    assert music, "the music never sounded"
    span = list(range(music[0], music[-1] + 1))
    # From its start to the shutdown (about 6.8 s), with no silent window
    # (50 ms) anywhere, the 4 s stall included.
    assert len(span) * 0.05 > 6.0, len(span)
    gaps = sorted(set(span) - set(music))
    assert not gaps, "silent windows: %s" % gaps


harness.main(globals())
