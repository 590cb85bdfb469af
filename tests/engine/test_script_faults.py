"""Scripts that must not crash, freeze or kill the engine: endless loops in
level files and timed messages, and quitting while a script runs."""
import signal

import harness
from harness import LEVEL_START as TIMER, TEARDOWN, Game, assert_in_order, at


def assert_clean_exit(game, code):
    assert code == 0, "exit code %s; log tail:\n%s" % (code, "\n".join(game.log()[-20:]))
    assert_in_order(game.log(), TEARDOWN)


def test_endless_scripts_are_cut_off_and_the_game_goes_on():
    # The level file busy-waits on a clock that cannot move inside a script,
    # a timed message loops for ever; each is cut off and the game goes on.
    level = (TIMER + at(100, "while true do end") +
             at(200, "LogText('still running') ShutDown()") +
             "local t = GetSimulationTime()\nwhile GetSimulationTime() == t do end\n")
    with Game(setup={"scriptlimit": 0.5}, levels={"start.lua": level}) as game:
        code = game.run(60)
        assert len(game.log_with("script ran longer than 0.5 s")) == 2, game.log()[-30:]
        assert game.log_with("still running")
        assert_clean_exit(game, code)


def test_quitting_ends_a_running_script_without_a_limit():
    level = TIMER + at(100, "LogText('looping') while true do end")
    for how in ("sigint", "window"):
        with Game(setup={"scriptlimit": 0}, levels={"start.lua": level}) as game:
            game.start()
            game.wait_for_log("looping")
            if how == "window":
                game.close_window()
            else:
                game.signal(signal.SIGINT)
            code = game.wait(30)
            assert game.log_with("script stopped: the game is quitting"), how
            assert_clean_exit(game, code)


if __name__ == "__main__":
    harness.main(globals())
