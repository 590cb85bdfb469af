"""The designer's loop: hot reload of a saved level, the engine's own keys,
the error list, the console and the debug readout, on the real executable."""
import os
import time

import harness
from harness import Game, assert_in_order

# Counts its loads in the "state" state, which survives reloads.
def counting_level(version):
    return ("CreateSceneNode('', 'LevelRoot')\n"
            "ExecuteCmd('state', 'T = T or {n = 0}; T.n = T.n + 1')\n"
            "LogText('%s loads=' .. GetFloatValue('state', 'T', 'n'))\n" % version)


def save(game, text, rename=False):
    """Saves the start level in place, or as an editor that writes a
    temporary file and renames it over the level."""
    target = game.path("Resource/LevelData/start.lua")
    if not rename:
        with open(target, "w") as out:
            out.write(text)
        return
    with open(target + ".tmp~", "w") as out:
        out.write(text)
    os.replace(target + ".tmp~", target)


def started(game):
    """Starts the game; returns its window once it takes keys."""
    game.start()
    game.wait_for_log("LoadLevel(start.lua) end")
    window = game.window()
    game.xdotool("windowfocus", "--sync", window)
    return window


def test_saved_level_reloads_keeping_state_and_survives_a_broken_save():
    with Game(levels={"start.lua": counting_level("v1")}) as game:
        game.start()
        game.wait_for_log("v1 loads=1")
        started = time.time()
        save(game, counting_level("v2"))
        game.wait_for_log("v2 loads=2")
        print("save to reload: %.0f ms" % ((time.time() - started) * 1000))
        save(game, "CreateSceneNode('', 'LevelRoot')\nthis is not Lua (\n")
        game.wait_for_log("Scripting error")
        save(game, counting_level("v3"), rename=True)
        game.wait_for_log("v3 loads=3")
        game.xdotool("key", "--window", game.window(), "F5")
        game.wait_for_log("v3 loads=4")
        assert_in_order(game.log(), ["start.lua was saved", "v2 loads=2", "start.lua was saved",
                                     "Scripting error", "start.lua was saved", "v3 loads=3",
                                     "Reloading level start.lua: F5", "v3 loads=4"])
        game.end()


def test_hotreload_off_ignores_saves():
    with Game(setup={"hotreload": 0}, levels={"start.lua": counting_level("v1")}) as game:
        game.start()
        game.wait_for_log("v1 loads=1")
        save(game, counting_level("v2"))
        time.sleep(0.5)
        game.xdotool("key", "--window", game.window(), "F5")
        game.wait_for_log("v2 loads=2")
        assert not game.log_with("was saved")
        game.end()


def test_errors_log_their_traceback_and_f2_toggles_the_list_without_reaching_the_level():
    level = ("CreateSceneNode('', 'LevelRoot')\n"
             "function Fail()\n    error('level broke')\nend\n"
             "function KeyPressed(code, text) Fail() end\n"
             "function KeyReleased(code, text) end\n")
    with Game(levels={"start.lua": level}) as game:
        window = started(game)
        game.xdotool("key", "--window", window, "a", "a", "F2", "F2")
        game.wait_for_log("Error list shown")
        log = game.log()
        assert len([line for line in log if line.endswith("start.lua:3: level broke")]) == 2
        assert_in_order(log, ["start.lua:3: level broke", "  at ../Resource/LevelData/start.lua:3 "
                              "in function 'Fail'", "start.lua:5 in function 'KeyPressed'",
                              "Error list hidden", "Error list shown"])
        game.end()


def test_console_runs_typed_lua_and_keeps_keys_from_the_level():
    level = ("CreateSceneNode('', 'LevelRoot')\n"
             "function KeyPressed(code, text) LogText('level got ' .. code) end\n"
             "function KeyReleased(code, text) end\n")
    with Game(levels={"start.lua": level}) as game:
        window = started(game)
        game.xdotool("key", "--window", window, "grave")
        game.xdotool("type", "--window", window, "x = 6*7")
        game.xdotool("key", "--window", window, "Return", "x", "Return", "Up", "Up", "Return",
                     "grave", "b")
        game.wait_for_log("level got 48")
        assert_in_order(game.log(), ["Console opened", "Console> x = 6*7", "Console> x",
                                     "Console= 42", "Console> x = 6*7", "Console closed",
                                     "level got 48"])
        assert len(game.log_with("level got")) == 1
        game.end()


def test_f3_readout_and_f4_wireframe_toggle():
    level = ("CreateSceneNode('', 'LevelRoot')\n"
             "CreateSceneNode('LevelRoot', '_AVATAR')\nSetPosition('_AVATAR', 1, 2, 3)\n"
             "CreateSceneNode('_AVATAR', 'ROT1')\nSetRotation('ROT1', 0, 1, 0, 90)\n"
             "CreateCollisionSpace('Walls', '')\nAddActor('Ground')\n"
             "AddActorMessage('Ground', 0, 0, 'LevelRoot', 'Keep', 0, 0, 0, 0)\n"
             "AddActorMessage('Ground', 0, 4, 'Ground.mesh', 'Walls', 0, 0, 0, 0)\n")
    with Game(levels={"start.lua": level}) as game:
        window = started(game)
        game.xdotool("key", "--window", window, "F3", "F4")
        game.wait_for_log("Collision wireframe on")
        time.sleep(0.3)
        game.xdotool("key", "--window", window, "F3", "F4")
        game.wait_for_log("Collision wireframe off")
        assert_in_order(game.log(), [
            "Readout: avatar x 1.00  y 2.00  z 3.00  heading 90.0  ground (none)",
            "Readout: camera x ", "Readout: time ",
            "Readout: actors 1  messages 0  callbacks 0  panels 0  sounds 0",
            "Collision wireframe on: 1 spaces, ", "Debug readout off"])
        assert not game.log_with("Collision wireframe on: 1 spaces, 0 triangles")
        # The level defines no KeyReleased: an engine key's release must not reach it.
        assert not game.log_with("Scripting error")
        game.end()


harness.main(globals())
