"""The command line, the headless runner, and input recording and replay."""
import os
import re
import subprocess
import time

import harness
from harness import Game, assert_in_order

# A walking level: the ground in "Solid", the avatar above it, the heading
# node, a follow point behind the avatar; it logs the avatar's path every
# 100 ms of simulation time, its key and walk events, and ends itself.
PATH_LEVEL = """
CreateSceneNode("", "LevelRoot")
CreateSceneNode("LevelRoot", "ROT1")
CreateCollisionSpace("Solid", "")
AddActor("Ground")
AddActorMessage("Ground", 0, 0, "LevelRoot", "Keep", 0, 0, 0, 0)
AddActorMessage("Ground", 0, 4, "Ground.mesh", "Solid", 0, 0, 0, 0)
AddActor("_AVATAR")
AddActorMessage("_AVATAR", 0, 0, "LevelRoot", "Keep", 0, 0, 0, 0)
AddActorMessage("_AVATAR", 0, 1, "", "", 0, 1, 0, 0)
AddActorMessage("_AVATAR", 0, 7,
    "CreateSceneNode('_AVATAR', '_FollowCamera1') SetPosition('_FollowCamera1', -8, 3, 0)",
    "", 0, 0, 0, 0)

function Report()
    local x, y, z = GetPosition("_AVATAR", 0)
    LogText(string.format("path %d %.4f %.4f %.4f", GetSimulationTime(), x, y, z))
    AddActorMessage("Timer", GetSimulationTime() + 100, 7, "Report()", "", 0, 0, 0, 0)
end
AddActor("Timer")
AddActorMessage("Timer", 100, 7, "Report()", "", 0, 0, 0, 0)
AddActorMessage("Timer", 4000, 7, "ShutDown()", "", 0, 0, 0, 0)

function KeyPressed(code, text) LogText("KeyPressed(" .. code .. ", '" .. text .. "')") end
function KeyReleased(code, text) LogText("KeyReleased(" .. code .. ")") end
function StartJump() end
function EndJump() LogText("level: EndJump()") end
function StartWalk() LogText("level: StartWalk()") end
function EndWalk() end
LogText("player level ready")
"""

TIMER = harness.LEVEL_START + harness.at(100, "LogText('tick ' .. GetSimulationTime())")


def run(game, *args, display=False, timeout=60):
    """Runs bin/vantor with args to its end; returns (exit code, stdout, stderr)."""
    env = dict(os.environ, ALSOFT_DRIVERS="null")
    env.pop("DISPLAY", None)
    if display:
        env["DISPLAY"] = harness.display()
    done = subprocess.run([os.path.join(game.bin, "vantor")] + list(args), cwd=game.bin, env=env,
                          capture_output=True, text=True, timeout=timeout)
    return done.returncode, done.stdout, done.stderr


def path(lines):
    return [line[line.index("path "):] for line in lines if "path " in line]


def test_command_line_options_and_the_missing_display():
    with Game() as game:
        code, out, _ = run(game, "--help")
        assert code == 0 and "--headless" in out and "--replay FILE" in out, out
        code, out, _ = run(game, "--version")
        assert (code, out) == (0, "vantor 1.07\n"), (code, out)
        for bad in (["--frobnicate"], ["--ticks", "ten"], ["--level"], ["--headless=1"],
                    ["--record", "a.rec", "--replay", "b.rec"]):
            code, out, err = run(game, *bad)
            assert code == 2 and "usage: vantor" in err and out == "", (bad, code, err)
        # A windowed start without a display names the way out.
        code, _, err = run(game)
        assert code == 1 and "there is no display" in err and "--headless" in err, (code, err)


def test_headless_runs_a_level_for_its_ticks_and_exits_by_its_errors():
    levels = {"start.lua": "error('never started')", "timer.lua": TIMER,
              "broken.lua": TIMER + harness.at(200, "nosuchfunction()"),
              "early.lua": TIMER + harness.at(300, "ShutDown()")}
    with Game(levels=levels) as game:
        code, out, _ = run(game, "--headless", "--level", "timer.lua", "--ticks", "50")
        assert code == 0, (code, out[-2000:])
        log = game.log()
        assert game.log_with("LoadLevel(timer.lua) end") and not game.log_with("never started")
        assert_in_order(log, ["tick 100"] + harness.TEARDOWN)
        # 50 ticks of 20 ms, then the normal teardown.
        assert game.log_with("1000 delete ActorList"), log[-30:]
        assert "tick 100" in out and "delete ogre" in out
        code, _, _ = run(game, "--headless", "--level", "broken.lua", "--ticks", "50")
        assert code == 1 and game.log_with("nosuchfunction"), code
        code, _, _ = run(game, "--headless", "--level", "early.lua")
        assert code == 0 and game.log_with("300 delete ActorList"), game.log()[-30:]


def replay_log(game, recording):
    code, _, err = run(game, "--headless", "--replay", recording)
    assert code == 0, (code, err, game.log()[-20:])
    # Without the wall-clock stamps; OGRE's start-up lines name no time.
    return game.log()


def test_a_window_recording_replays_headless_to_the_same_path_twice():
    with Game(levels={"start.lua": PATH_LEVEL}) as game:
        game.start(args=["--record", "walk.rec"])
        game.wait_for_log("player level ready")
        game.xdotool("windowfocus", "--sync", game.window())
        game.wait_for_log("level: EndJump()")
        game.xdotool("keydown", "w")
        time.sleep(0.8)
        game.xdotool("keydown", "d")
        time.sleep(0.5)
        game.xdotool("keyup", "d")
        time.sleep(0.4)
        game.xdotool("keyup", "w")
        game.assert_clean_exit(game.wait(60))
        recorded = path(game.log())
        recording = game.read("bin/walk.rec")
        assert re.search(r"^\d+ key\+ 17 119$", recording, re.M), recording
        assert recording.startswith("vantor-input 1\nlevel start.lua\n")
        assert re.search(r"^end 200$", recording, re.M), recording

        first = replay_log(game, "walk.rec")
        second = replay_log(game, "walk.rec")
        assert first == second
        assert path(first) == recorded and len(recorded) == 40, (path(first), recorded)
        # The walk turned: the path left the x axis.
        assert abs(float(recorded[-1].split()[4])) > 0.5, recorded[-1]
        assert_in_order(first, ["KeyPressed(17, '119')", "level: StartWalk()", "KeyReleased(17)"])
        # Replayed in a window, the same; a key typed meanwhile is not the player's.
        game.start(args=["--replay", "walk.rec"])
        game.wait_for_log("player level ready")
        game.xdotool("windowfocus", "--sync", game.window())
        game.xdotool("key", "x")
        game.assert_clean_exit(game.wait(60))
        assert path(game.log()) == recorded and not game.log_with("KeyPressed(45"), game.log()[-20:]


def test_a_damaged_or_foreign_recording_is_refused():
    good = "vantor-input 1\nlevel start.lua\nsetup music number 0\nevents\n3 key+ 17 119\nend 9\n"
    damaged = {
        "foreign.rec": "PNG\x89 not a recording\n",
        "version.rec": good.replace("vantor-input 1", "vantor-input 7"),
        "kind.rec": good.replace("key+", "warp"),
        "fields.rec": good.replace("17 119", "17"),
        "order.rec": good.replace("end 9", "2 key- 17 0"),
        "range.rec": good.replace("17 119", "999 119"),
        "header.rec": good.replace("events\n", ""),
        "empty.rec": "",
    }
    with Game(levels={"start.lua": TIMER + "function KeyPressed() end\n"}) as game:
        for name, text in damaged.items():
            game.write("bin/" + name, text)
            code, _, err = run(game, "--headless", "--replay", name)
            assert code == 2 and "damaged or not a recording" in err, (name, code, err)
        code, _, err = run(game, "--headless", "--replay", "missing.rec")
        assert code == 2 and "cannot read" in err, err
        game.write("bin/good.rec", good)
        code, _, err = run(game, "--headless", "--replay", "good.rec")
        assert code == 0 and game.log_with("180 delete ActorList"), (code, err)


# A walk through the demo's hub: W held from the dais over the carousel, D
# held for 8 ticks once the ball is off it (the carousel turns its rider's
# heading), over the door's plate into the garden, then Escape, Q. The file is
# text: record it again in build/game/bin with
#   ./vantor --record ../../../tests/engine/recordings/hub-walk.rec
# (setup.startlevel "hub.lua"), or edit the event ticks and check them with
#   ./vantor --headless --replay .../hub-walk.rec
HUB_WALK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "recordings", "hub-walk.rec")


def test_the_recorded_hub_walk_reaches_the_garden_headless():
    with Game() as game:
        with open(HUB_WALK) as source:
            game.write("bin/hub-walk.rec", source.read())
        replay_log(game, "hub-walk.rec")
        assert_in_order(game.log(), ["demo: hub.lua ready", "demo: the door opens",
                                     "demo: leaving hub.lua for garden.lua",
                                     "demo: garden.lua ready", "LoadLevel(garden.lua) end",
                                     "demo: quitting"] + harness.TEARDOWN)
        assert not game.log_with("Scripting error"), game.log_with("Scripting error")



# The whole demo in one recording: the hub's three gems (on the path, from
# the lift's ledge, on the far pad), the garden's two (above the jump pad, on
# the terrace), the tower's two (on the summit, on the perch by the lift),
# through the exits hub -> garden -> tower -> hub, then Escape, Q. Made by
#   tools/demo_route.py tests/engine/recordings/all-gems.rec
# (run it again after a change to the physics or the levels); to edit event
# ticks by hand, tools/demo_trace.py replays a recording and prints where the
# ball was at every tick.
ALL_GEMS = os.path.join(os.path.dirname(HUB_WALK), "all-gems.rec")


def test_the_recorded_play_through_takes_all_seven_gems_and_every_exit():
    with Game() as game:
        with open(ALL_GEMS) as source:
            game.write("bin/all-gems.rec", source.read())
        log = replay_log(game, "all-gems.rec")
        # Gem names repeat between levels: each is counted with the level it
        # was taken in, whatever the order inside a level.
        taken, level = set(), None
        for line in log:
            if line.endswith(" ready") and "demo: " in line:
                level = line.split("demo: ")[1].split()[0]
            elif "demo: gem taken " in line:
                taken.add((level, line.split("demo: gem taken ")[1].split(",")[0]))
        every_gem = {(level, "Gem%d" % i) for level, count in
                     (("hub.lua", 3), ("garden.lua", 2), ("tower.lua", 2)) for i in range(1, count + 1)}
        assert taken == every_gem, sorted(every_gem - taken)
        assert game.log_with("demo: gem taken ")[-1].endswith(", 7 in all")
        assert_in_order(log, ["demo: hub.lua ready", "demo: leaving hub.lua for garden.lua",
                              "demo: garden.lua ready", "demo: leaving garden.lua for tower.lua",
                              "demo: tower.lua ready", "demo: leaving tower.lua for hub.lua",
                              "demo: progress 7|", "demo: hub.lua ready",
                              "demo: quitting"] + harness.TEARDOWN)
        assert len(game.log_with("demo: leaving ")) == 3
        for bad in ("Scripting error", "ODE Message", "fell off the world"):
            assert not game.log_with(bad), game.log_with(bad)


if __name__ == "__main__":
    harness.main(globals())
