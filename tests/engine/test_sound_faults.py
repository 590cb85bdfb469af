"""Sound that keeps going: music through a stalled main loop, and a long
session of sounds and level loads that never runs out of voices. Heard
through OpenAL Soft's wave writer."""
import harness
from download_server import LocalServer
from harness import LEVEL_START, Game, at
from wave_tools import read_pcm16, run_with_wave_output, sounding, tone_levels, write_tone

SOUND_SETUP = {"music": 1, "soundvolume": 5, "musicvolume": 5}


def test_music_plays_on_while_the_main_loop_is_blocked():
    # GetUrl blocks the frame loop for the 4 s the server takes to answer.
    level = LEVEL_START + at(200, "PlayStream('music.wav')") + \
        at(1200, "GetUrl('late/4', 'late.txt')") + at(7000, "ShutDown()")
    with LocalServer() as server, \
            Game(setup=dict(SOUND_SETUP, downloadurl=server.base),
                 levels={"start.lua": level}) as game:
        write_tone(game, "music.wav", 440, 9)
        code, output = run_with_wave_output(game)
        assert code == 0
        assert game.read("bin/late.txt") == "late"
        rate, left, _ = read_pcm16(output)

    music = sounding(tone_levels(left, rate, 440))
    assert music, "the music never sounded"
    span = list(range(music[0], music[-1] + 1))
    # From its start to the shutdown (about 6.8 s), with no silent window
    # (50 ms) anywhere, the 4 s stall included.
    assert len(span) * 0.05 > 6.0, len(span)
    gaps = sorted(set(span) - set(music))
    assert not gaps, "silent windows: %s" % gaps


def test_ten_thousand_sounds_over_a_hundred_level_loads_keep_playing():
    # Each load plays 100 sounds (10 of them looping) from a set of 400 files,
    # so every file is played many times and far more than the 256 voices
    # OpenAL gives are used over the run; the load returns them all.
    level = LEVEL_START + """
ExecuteCmd('state', 'run = run or {loads = 0, zeros = 0} run.loads = run.loads + 1')
local loads = GetFloatValue('state', 'run', 'loads')
if loads <= 100 then
    PlayStream('music.wav')
""" + at(40, """
    local loads = GetFloatValue('state', 'run', 'loads')
    local zeros = 0
    for i = 0, 99 do
        local loop = 0
        if i < 10 then loop = 1 end
        if Play2DSound('fx' .. math.mod(loads * 100 + i, 400) .. '.wav', 30, loop) == 0 then
            zeros = zeros + 1
        end
    end
    ExecuteCmd('state', 'run.zeros = run.zeros + ' .. zeros)""") + \
        at(100, "coreLoadLevel('start.lua')") + """
else
    PlayStream('final.wav')
    local zeros = GetFloatValue('state', 'run', 'zeros')
    if Play2DSound('last.wav', 256, 1) == 0 then zeros = zeros + 1 end
    local out = io.open('zeros.txt', 'w') out:write(zeros) out:close()
""" + at(1500, "ShutDown()") + "end\n"
    with Game(setup=SOUND_SETUP, levels={"start.lua": level}) as game:
        for i in range(400):
            write_tone(game, "fx%d.wav" % i, 300 + i, 0.05, rate=8000)
        write_tone(game, "music.wav", 200, 2)
        write_tone(game, "final.wav", 660, 3)
        write_tone(game, "last.wav", 880, 0.5)
        code, output = run_with_wave_output(game, timeout=240)
        assert code == 0
        assert game.read("bin/zeros.txt") == "0"
        assert not game.log_with("CSound: Error"), game.log_with("CSound: Error")[:5]
        assert len(game.log_with("LoadLevel(start.lua) start")) == 101
        rate, left, _ = read_pcm16(output)

    # The last level's music and looping sound are heard to the end.
    final = sounding(tone_levels(left, rate, 660))
    last = sounding(tone_levels(left, rate, 880))
    assert len(final) >= 20 and len(last) >= 20, (final, last)


harness.main(globals())
