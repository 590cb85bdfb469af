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


if __name__ == "__main__":
    harness.main(globals())
