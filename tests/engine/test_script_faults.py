"""Scripts that must not crash, freeze or kill the engine: endless loops in
level files and timed messages, and quitting while a script runs."""
import signal
import time

import harness
from harness import LEVEL_START as TIMER, Game, at


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
        game.assert_clean_exit(code)


def test_quitting_ends_a_running_script_without_a_limit():
    level = TIMER + at(100, "LogText('looping') while true do end")
    for how in (signal.SIGINT, "window"):
        with Game(setup={"scriptlimit": 0}, levels={"start.lua": level}) as game:
            game.start()
            game.wait_for_log("looping")
            game.end(how)
            assert game.log_with("script stopped: the game is quitting"), how


def test_a_second_quit_signal_ends_a_script_that_nothing_else_can_stop():
    # Lua runs finalisers with its hooks off, so neither the time limit nor a
    # quit request reaches this loop; a second signal must still end the game.
    level = TIMER + at(100, """
local p = newproxy(true)
getmetatable(p).__gc = function() LogText('finaliser looping') while true do end end
p = nil
collectgarbage('collect')""")
    with Game(setup={"scriptlimit": 0.5}, levels={"start.lua": level}) as game:
        game.start()
        game.wait_for_log("finaliser looping")
        game.signal(signal.SIGTERM)
        time.sleep(0.5)
        game.signal(signal.SIGTERM)
        assert game.wait(5) == 128 + signal.SIGTERM
        assert "ending at once" in open(game.stderr_path).read()


if __name__ == "__main__":
    harness.main(globals())
