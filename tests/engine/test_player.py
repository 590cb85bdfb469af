"""The player: keyboard steering of the avatar, its script events, and the
edit state entered with the mouse, driven through xdotool."""
import time

import harness
from harness import Game, assert_in_order

# The ground (flat within 22 units of the origin) in "Solid", the avatar above
# it, the heading node, a follow point behind the avatar, and a timer that
# writes the avatar's world position to pos.txt every 100 ms of simulation time.
LEVEL = """
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
    local f = io.open("pos.txt", "a")
    f:write(string.format("%d %.4f %.4f %.4f\\n", GetSimulationTime(), x, y, z))
    f:close()
    AddActorMessage("Timer", GetSimulationTime() + 100, 7, "Report()", "", 0, 0, 0, 0)
end
AddActor("Timer")
AddActorMessage("Timer", 100, 7, "Report()", "", 0, 0, 0, 0)

function KeyPressed(code, text) LogText("KeyPressed(" .. code .. ", '" .. text .. "')") end
function KeyReleased(code, text) LogText("KeyReleased(" .. code .. ")") end
function StartJump() LogText("level: StartJump()") end
function EndJump() LogText("level: EndJump()") end
function StartWalk() LogText("level: StartWalk()") end
function EndWalk() LogText("level: EndWalk()") end
function EscPressed() ShutDown(0) end
LogText("player level ready")
"""

EDIT_LEVEL = LEVEL + "\nLevel = { editstateallowed = '1' }\n"


def positions(game):
    """(time ms, x, y, z) rows the level wrote so far."""
    if not game.exists("bin/pos.txt"):
        return []
    rows = []
    for line in game.read("bin/pos.txt").splitlines():
        parts = line.split()
        if len(parts) == 4:
            rows.append((int(parts[0]), float(parts[1]), float(parts[2]), float(parts[3])))
    return rows


def wait_for_rows(game, count, timeout=20):
    deadline = time.time() + timeout
    while time.time() < deadline:
        rows = positions(game)
        if len(rows) >= count:
            return rows
        time.sleep(0.05)
    raise AssertionError("the level wrote only %d positions" % len(positions(game)))


def started(game):
    game.start()
    game.wait_for_log("player level ready")
    window = game.window()
    game.xdotool("windowfocus", "--sync", window)
    # The avatar drops onto the platform first; its landing is an EndJump.
    game.wait_for_log("level: EndJump()")
    return window


def quit_with_escape(game):
    game.xdotool("key", "Escape")
    assert game.wait(30) == 0


def test_w_walks_the_avatar_forward_and_reaches_the_script():
    with Game(levels={"start.lua": LEVEL}) as game:
        started(game)
        before = wait_for_rows(game, 3)[-1]
        game.xdotool("keydown", "w")
        time.sleep(1.5)
        game.xdotool("keyup", "w")
        game.wait_for_log("KeyReleased(17)")
        after = wait_for_rows(game, len(positions(game)) + 3)[-1]
        # Heading 0 walks along world +x at up to 5 units per second.
        assert after[1] - before[1] > 2.0, (before, after)
        assert abs(after[3] - before[3]) < 0.5, (before, after)
        assert_in_order(game.log(), ["KeyPressed(17, '119')", "level: StartWalk()",
                                     "KeyReleased(17)", "level: EndWalk()"])
        assert len(game.log_with("level: StartWalk()")) == 1
        quit_with_escape(game)


def test_mouse_enters_the_edit_state_and_an_arrow_key_leaves_it():
    with Game(levels={"start.lua": EDIT_LEVEL}) as game:
        window = started(game)
        game.xdotool("mousemove", "--window", window, "400", "300")
        game.xdotool("mousemove_relative", "--", "30", "10")
        time.sleep(0.3)
        # In the edit state presses still reach the level, releases do not.
        game.xdotool("key", "x")
        game.wait_for_log("KeyPressed(45, '120')")
        time.sleep(0.3)
        assert not game.log_with("KeyReleased(45)")
        game.xdotool("keydown", "Up")
        time.sleep(0.2)
        game.xdotool("keyup", "Up")
        game.xdotool("key", "x")
        game.wait_for_log("KeyReleased(45)")  # back in the play state
        quit_with_escape(game)


if __name__ == "__main__":
    harness.main(globals())
