"""Start-up, shutdown, restart and the ways a run can end."""
import os
import signal

import harness
from harness import Game, assert_in_order

TEARDOWN = ["~GameApp()", "delete editState", "delete handler", "delete simulation",
            "delete sound", "delete collisionMgr", "delete camera", "delete ogre"]

QUIT_LEVEL = "CreateSceneNode('', 'LevelRoot')\nLogText('level ran')\nShutDown()\n"


def test_start_and_clean_shutdown_log_every_step_in_order():
    with Game(levels={"start.lua": QUIT_LEVEL}) as game:
        assert game.run() == 0
        log = game.log()
        assert_in_order(log, ["AC connected: ", "LoadLevel(start.lua) start at: ", "level ran",
                              "LoadLevel(start.lua) end at: "] + TEARDOWN)
        start = game.log_with("LoadLevel(start.lua) start at: ")[0]
        assert int(start.rsplit(" ", 1)[1]) < 100, start
        power = game.log_with("AC connected: ")[0]
        assert power in ("AC connected: true", "AC connected: false"), power
        # No time prefix before the simulation exists or after it is gone.
        for line in ["delete sound", "delete collisionMgr", "delete camera", "delete ogre"]:
            assert line in log, line


def test_restart_builds_a_second_application_and_keeps_the_log():
    # setup.lua counts its runs in a file; the level restarts once, then quits.
    level = ("CreateSceneNode('', 'LevelRoot')\n"
             "local f = io.open('restarted', 'r')\n"
             "if f then f:close() LogText('second run') ShutDown(true) ShutDown(0)\n"
             "else io.open('restarted', 'w'):close() LogText('first run') ShutDown(1) end\n")
    with Game(levels={"start.lua": level}) as game:
        keys = dict(harness.DEFAULT_SETUP)
        game.write_setup(keys, "io.open('setup-runs', 'a'):write('x')\n")
        assert game.run() == 0
        assert game.read("bin/setup-runs") == "xx"
        assert_in_order(game.log(), ["first run"] + TEARDOWN + ["AC connected", "second run"]
                        + TEARDOWN)
        assert len(game.log_with("~GameApp()")) == 2


def test_closing_the_window_ends_the_process():
    with Game(levels={"start.lua": "CreateSceneNode('', 'LevelRoot')\n"}) as game:
        game.start()
        game.wait_for_log("LoadLevel(start.lua) end at: ")
        game.close_window()
        assert game.wait(30) == 0
        assert_in_order(game.log(), TEARDOWN)


def test_sigterm_and_sigint_end_with_full_teardown():
    for number in (signal.SIGTERM, signal.SIGINT):
        with Game(levels={"start.lua": "CreateSceneNode('', 'LevelRoot')\n"}) as game:
            game.start()
            game.wait_for_log("LoadLevel(start.lua) end at: ")
            game.signal(number)
            assert game.wait(30) == 0
            assert_in_order(game.log(), TEARDOWN)


def test_a_quit_signal_cuts_a_long_frame_sleep_short():
    # Ten minutes of sleep per frame: the signal must end the run long before.
    with Game(setup={"sleeptime": 600000},
              levels={"start.lua": "CreateSceneNode('', 'LevelRoot')\n"}) as game:
        game.start()
        game.wait_for_log("LoadLevel(start.lua) end at: ")
        game.signal(signal.SIGTERM)
        assert game.wait(20) == 0
        assert_in_order(game.log(), TEARDOWN)


def test_broken_level_logs_a_scripting_error_and_keeps_running():
    with Game(levels={"start.lua": "CreateSceneNode('', 'LevelRoot')\nthis is broken\n"}) as game:
        game.start()
        game.wait_for_log("LoadLevel(start.lua) end at: ")
        assert_in_order(game.log(), ["Scripting error", "start.lua"])
        assert game.proc.poll() is None, "engine died on a script error"
        game.signal(signal.SIGTERM)
        assert game.wait(30) == 0


def test_missing_setup_still_starts_with_zero_values():
    with Game() as game:
        os.remove(game.path("Resource/setup.lua"))
        game.start()
        game.wait_for_log("LoadLevel() end at: ")
        assert game.log_with("Error while opening setup table!")
        assert game.log_with("not usable; opening 800x600")
        game.signal(signal.SIGTERM)
        assert game.wait(30) == 0


def test_stencil_shadows_render():
    level = ("CreateSceneNode('', 'LevelRoot')\nCreateSceneNode('LevelRoot', 'Box')\n"
             "CreateEntity('BoxMesh', 'Prefab_Cube')\nAttachObject('Box', 'BoxMesh')\n"
             "AddActor('timer')\n"
             "AddActorMessage('timer', 500, 7, 'LogText(\\'shadowed frames\\') ShutDown()', "
             "'', 0, 0, 0, 0)\n")
    with Game(setup={"shadows": 1, "shadowdistance": 300}, levels={"start.lua": level}) as game:
        assert game.run() == 0
        assert game.log_with("shadowed frames")
        assert_in_order(game.log(), TEARDOWN)


harness.main(globals())
