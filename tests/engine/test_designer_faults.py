"""Faults a level designer or a newcomer ran into, each kept as the small
level or folder that showed it."""
import os
import shutil
import tempfile

import harness
from harness import LEVEL_START, Game, at
# Lines of an Ogre.log a finished run left behind.
OLD_LOG = "00:00:00: 0 LoadLevel(start.lua) end at: 3\n00:00:00: 0 stale\n"


def test_files_an_earlier_run_left_in_the_game_folder_reach_no_test():
    # The build's game folder after the demo ran in it: its log ends with the
    # line a test waits for, beside a screenshot and a download.
    played = tempfile.mkdtemp(prefix="vantor-played-")
    try:
        os.makedirs(os.path.join(played, "bin"))
        os.symlink(os.path.join(harness.GAME_DIR, "bin", "vantor"),
                   os.path.join(played, "bin", "vantor"))
        os.symlink(os.path.join(harness.GAME_DIR, "Resource"), os.path.join(played, "Resource"))
        for name, text in (("Ogre.log", OLD_LOG),
                           ("vantor-1.png", "old picture"), ("news.txt", "old news")):
            with open(os.path.join(played, "bin", name), "w") as out:
                out.write(text)
        game_dir, harness.GAME_DIR = harness.GAME_DIR, played
        try:
            game = Game(levels={"start.lua": LEVEL_START + at(200, "ShutDown()")})
        finally:
            harness.GAME_DIR = game_dir
        with game:
            assert sorted(os.listdir(game.bin)) == ["vantor"], os.listdir(game.bin)
            # A log the folder's previous run left is not what a wait sees.
            game.write("bin/Ogre.log", OLD_LOG)
            game.start()
            game.wait_for_log("LoadLevel(start.lua) end at: ")
            assert not game.log_with("stale"), "the wait matched the previous run's log"
            assert game.wait() == 0
    finally:
        shutil.rmtree(played, ignore_errors=True)


def test_a_loop_that_queues_its_next_round_first_outlives_an_error():
    # The guide's pattern for a Script message that repeats itself.
    level = LEVEL_START + (
        "AddActorMessage('timer', 0, 0, 'LevelRoot', '', 0, 0, 0, 0)\n"
        "rounds = 0\n"
        "function Cycle()\n"
        "    local now = GetSimulationTime()\n"
        "    AddActorMessage('timer', now + 200, 7, 'Cycle()', '', 0, 0, 0, 0)\n"
        "    AddActorMessage('timer', now, 5, '', '', 0, 4, 0, 0)\n"
        "    AddActorMessage('timer', now + 100, 5, '', '', 0, -4, 0, 0)\n"
        "    rounds = rounds + 1\n"
        "    LogText('round ' .. rounds)\n"
        "    if rounds == 2 then error('the lights failed') end\n"
        "end\n"
        "AddActorMessage('timer', 0, 7, 'Cycle()', '', 0, 0, 0, 0)\n") + \
        at(1050, "LogText('height ' .. select(2, GetPosition('timer'))) ShutDown()")
    with Game(levels={"start.lua": level}) as game:
        assert game.run() == 0
        assert game.log_with("the lights failed")
        assert game.log_with("round 5")
        # Up and down in every round: back near where it started.
        height = float(game.log_with("height ")[0].rsplit(" ", 1)[1])
        assert abs(height) < 0.5, height


if __name__ == "__main__":
    harness.main(globals())
