"""Bad start-up input: a broken setup.lua or level file must leave an engine
that starts, says what is wrong in the log, and still closes normally."""
import os
import signal

import harness
from harness import Game, assert_in_order

LEVEL = "CreateSceneNode('', 'LevelRoot')\nLogText('level ran')\n"

# Every setup key with a value of the wrong kind: tables, booleans, functions
# and texts where numbers belong, and the reverse.
WRONG_KINDS = """setup = {
    sleeptime = {},
    window_width = "wide",
    window_height = true,
    fullscreen = "yes",
    rendersystem = {1, 2},
    shadows = function() end,
    shadowdistance = "far",
    musicdir = false,
    music = "on",
    soundvolume = {},
    musicvolume = "loud",
    startlevel = {},
    resourcedir = true,
    downloadurl = 42,
}
"""

SETUPS = {
    "missing": None,
    "empty": "",
    "syntax error": "setup = { sleeptime = 1,, }\n",
    # The table exists, empty, when the error stops the file.
    "runtime error": "setup = {}\nerror('setup broke')\n",
    "not a table": "setup = 'nothing here'\n",
    "binary garbage": bytes(range(256)) * 8,
    "wrong kinds": WRONG_KINDS,
}


def write_raw(game, relative, content):
    full = game.path(relative)
    if content is None:
        os.remove(full)
        return
    with open(full, "wb") as out:
        out.write(content.encode() if isinstance(content, str) else content)


def test_broken_setup_files_start_log_and_close():
    closers = [signal.SIGTERM, "window"]
    for index, (name, content) in enumerate(sorted(SETUPS.items())):
        with Game(levels={"start.lua": LEVEL}) as game:
            write_raw(game, "Resource/setup.lua", content)
            game.start()
            try:
                # Without usable keys the start level is the empty name, so the
                # load of "" (the resource folder itself) is what ends start-up.
                game.wait_for_log(") end at: ")
            except AssertionError as error:
                raise AssertionError("setup %s: %s" % (name, error))
            log = game.log()
            if name in ("missing", "empty", "not a table", "syntax error", "binary garbage"):
                assert game.log_with("Error while opening setup table!"), name
            if name in ("syntax error", "runtime error", "binary garbage"):
                # setup.lua runs before the log file exists: its errors go to
                # standard error.
                with open(game.stderr_path, errors="replace") as err:
                    assert "Scripting error" in err.read(), name
            if name == "wrong kinds":
                with open(game.stderr_path, errors="replace") as err:
                    assert "not usable; opening 800x600" in err.read()
            assert game.proc.poll() is None, "engine ended with setup %s" % name
            game.end(closers[index % 2])


def test_extreme_setup_numbers_start_and_close():
    keys = dict(harness.DEFAULT_SETUP, window_width=-1e300, window_height=1e300,
                shadowdistance=-1, soundvolume=1e9, musicvolume=-7, music=1, sleeptime=-5)
    with Game(levels={"start.lua": LEVEL}) as game:
        game.write_setup(keys)
        game.start()
        game.wait_for_log("LoadLevel(start.lua) end at: ")
        assert game.log_with("level ran")
        # The window opens before the log file does.
        with open(game.stderr_path, errors="replace") as err:
            assert "not usable; opening 800x600" in err.read()
        game.end("window")


LEVELS = {
    "missing": None,
    "empty": "",
    "binary garbage": bytes((i * 37 + 11) % 256 for i in range(4096)),
    "truncated": "CreateSceneNode('', 'LevelRoot')\nfor i = 1, 10 do\n  LogText('x'",
}


def test_broken_level_files_start_log_and_close():
    closers = ["window", signal.SIGTERM]
    for index, (name, content) in enumerate(sorted(LEVELS.items())):
        with Game(levels={"start.lua": LEVEL}) as game:
            write_raw(game, "Resource/LevelData/start.lua", content)
            game.start()
            game.wait_for_log("LoadLevel(start.lua) end at: ")
            if name != "empty":
                assert_in_order(game.log(), ["LoadLevel(start.lua) start at: ", "Scripting error",
                                             "LoadLevel(start.lua) end at: "])
            if name == "missing":
                assert [line for line in game.log() if "cannot open" in line], game.log()[-20:]
            assert game.proc.poll() is None, "engine ended with level %s" % name
            game.end(closers[index % 2])


harness.main(globals())
