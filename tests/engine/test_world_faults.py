"""Levels that used to end the engine through the avatar's physics: a bump
handler removing what was bumped. Each level ends itself; the engine must
exit cleanly."""
import harness
from harness import Game

# Flat ground in "Solid", the avatar dropped onto it at the origin, the
# heading node, and a timer actor for timed Script messages.
PLAYER = """
CreateSceneNode("", "LevelRoot")
CreateSceneNode("LevelRoot", "ROT1")
CreateCollisionSpace("Solid", "")
function Solid(name, mesh, x, y, z)
    AddActor(name)
    AddActorMessage(name, 0, 0, "LevelRoot", "Keep", 0, 0, 0, 0)
    AddActorMessage(name, 0, 4, mesh, "Solid", 0, 0, 0, 0)
    AddActorMessage(name, 0, 1, "", "", x, y, z, 0)
end
function At(time, code) AddActorMessage("Timer", time, 7, code, "", 0, 0, 0, 0) end
AddActor("Timer")
Solid("Ground", "Ground.mesh", 0, 0, 0)
AddActor("_AVATAR")
AddActorMessage("_AVATAR", 0, 0, "LevelRoot", "Keep", 0, 0, 0, 0)
AddActorMessage("_AVATAR", 0, 1, "", "", 0, 1, 0, 0)
function EndJump() end
function ReportAvatar()
    local x, y, z = GetPosition("_AVATAR")
    LogText(string.format("level: avatar at %.3f %.3f %.3f", x, y, z))
end
"""


def run_level(level):
    """Runs the level to its own ShutDown; returns the log."""
    with Game(levels={"start.lua": PLAYER + level}) as game:
        assert game.run() == 0, game.log()[-20:]
        stderr = open(game.stderr_path).read()
        assert "ODE" not in stderr, stderr[-2000:]
        log = game.log()
    assert not [line for line in log if "Scripting error" in line], log[-20:]
    return log


def lines_with(log, text):
    return [line for line in log if text in line]


def test_bump_handler_removes_the_geometry_being_walked():
    # At 1 s a wall appears 0.1 deep in the avatar's side: a bump. Its handler
    # removes that wall and another member of "Solid" and makes a space inside
    # "Solid", all while the avatar's collision is walking "Solid".
    log = run_level("""
Solid("Rock", "Platform.mesh", 10, 0, 10)
At(1000, [[Solid("Crate", "Wall.mesh", 0, 0, 0.4)]])
function BumpedIntoSomething(depth)
    LogText("level: bumped " .. depth)
    RemoveActor("Crate")
    RemoveActor("Rock")
    CreateCollisionSpace("Inner", "Solid")
end
function Check()
    local _, _, _, hit = RayTest("Solid", 0, 1, -1, 0, 0, 1, 3)
    LogText("level: ray hit [" .. hit .. "]")
    ReportAvatar()
    ShutDown()
end
At(2000, "Check()")
""")
    assert len(lines_with(log, "level: bumped")) == 1, log[-20:]
    # The wall is gone: a ray through where it stood meets nothing.
    assert lines_with(log, "level: ray hit []"), log[-20:]
    x, y, z = avatar_position(log)
    assert abs(x) < 0.01 and abs(y - 0.25) < 0.02 and abs(z) < 0.2, (x, y, z)


def avatar_position(log):
    last = lines_with(log, "level: avatar at ")[-1]
    return [float(word) for word in last.split("level: avatar at ")[1].split()]


if __name__ == "__main__":
    harness.main(globals())
