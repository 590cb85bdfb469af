"""Start-up, shutdown, restart and the ways a run can end."""
import signal

import harness
from harness import TEARDOWN, Game, assert_in_order

QUIT_LEVEL = "CreateSceneNode('', 'LevelRoot')\nLogText('level ran')\nShutDown()\n"


def test_start_and_clean_shutdown_log_every_step_in_order():
    with Game(levels={"start.lua": QUIT_LEVEL}) as game:
        assert game.run() == 0
        log = game.log()
        assert_in_order(log, ["AC connected: ", "LoadLevel(start.lua) start at: ", "level ran",
                              "LoadLevel(start.lua) end at: "] + TEARDOWN)
        power = game.log_with("AC connected: ")[0]
        assert power in ("AC connected: true", "AC connected: false"), power


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


def test_the_window_sigterm_and_sigint_end_the_run_with_full_teardown():
    for how in ("window", signal.SIGTERM, signal.SIGINT):
        with Game(levels={"start.lua": "CreateSceneNode('', 'LevelRoot')\n"}) as game:
            game.start()
            game.wait_for_log("LoadLevel(start.lua) end at: ")
            game.end(how)


def test_a_quit_signal_cuts_a_long_frame_sleep_short():
    # Ten minutes of sleep per frame: the signal must end the run long before.
    with Game(setup={"sleeptime": 600000},
              levels={"start.lua": "CreateSceneNode('', 'LevelRoot')\n"}) as game:
        game.start()
        game.wait_for_log("LoadLevel(start.lua) end at: ")
        game.end(signal.SIGTERM, timeout=20)


def test_stencil_shadows_render():
    level = (harness.LEVEL_START + "CreateSceneNode('LevelRoot', 'Box')\n"
             "CreateEntity('BoxMesh', 'Prefab_Cube')\nAttachObject('Box', 'BoxMesh')\n" +
             harness.at(500, "LogText('shadowed frames') ShutDown()"))
    with Game(setup={"shadows": 1, "shadowdistance": 300}, levels={"start.lua": level}) as game:
        assert game.run() == 0
        assert game.log_with("shadowed frames")
        assert_in_order(game.log(), TEARDOWN)


harness.main(globals())
