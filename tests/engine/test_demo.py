"""The demo game in game/Resource: every level loads without a script error
and looks like itself with the ball in view, a keyboard play-through walks
from the hub over the carousel, over the door's plate and on into the
garden, where the jump pad throws the ball up to its gem, and the tower,
and the levels together call every function of the engine's script table.

Screenshots of every level at its start and of the play-through are kept in
demo-screenshots/ beside this test's build folder, for people to look at.

Function coverage is checked twice:
- statically: every name of the table appears as a call in the level files
  (this is the only check for StartWebBrowser, which opens a browser, and for
  _ALERT, which the levels call only when the progress table is broken);
- dynamically: the play-through's copy of common.lua starts with a hook that
  wraps every table function in the "lua" state of each level and writes the
  name of each one called to bin/coverage.txt.
"""
import glob
import os
import re
import shutil
import time

import harness
from harness import Game, assert_in_order, read_png

SOURCE_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
LEVEL_DIR = os.path.join(SOURCE_DIR, "game", "Resource", "LevelData")
LEVELS = ["hub.lua", "garden.lua", "tower.lua"]
# Nothing listens on port 9: the menu's news download fails at once.
SETUP = {"startlevel": "hub.lua", "downloadurl": "http://127.0.0.1:9/"}
# Called by the levels only on a key the play-through never presses, or on
# a broken progress table.
NOT_PLAYED = {"StartWebBrowser", "_ALERT"}
SHOTS_DIR = os.path.join(harness.TOOLS_DIR or ".", "demo-screenshots")


def table_functions():
    with open(os.path.join(SOURCE_DIR, "src", "script", "bindings", "FunctionTable.cpp")) as source:
        names = re.findall(r'\{"(\w+)",\s*w_\w+\}', source.read())
    assert len(names) == 53, names
    return names


COVERAGE_HOOK = """
do
    local seen = {}
    for _, name in ipairs({%s}) do
        local original = _G[name]
        _G[name] = function(...)
            if not seen[name] then
                seen[name] = true
                local f = io.open("coverage.txt", "a")
                f:write(name .. "\\n")
                f:close()
            end
            return original(...)
        end
    end
end
"""


def with_coverage_hook(game):
    names = ", ".join('"%s"' % name for name in table_functions())
    common = "Resource/LevelData/common.lua"
    game.write(common, COVERAGE_HOOK % names + game.read(common))


def focus(game):
    window = game.window()
    game.xdotool("windowfocus", "--sync", window)
    return window


def key(game, name, wait_for=None, timeout=20):
    game.xdotool("key", name)
    if wait_for:
        game.wait_for_log(wait_for, timeout)
    else:
        time.sleep(0.3)


def take_screenshot(game, keep_as=None):
    """F12 in the game; the picture's path. keep_as also stores a copy in
    SHOTS_DIR under that name."""
    before = len(game.log_with("demo: screenshot "))
    game.xdotool("key", "F12")
    deadline = time.time() + 20
    while len(game.log_with("demo: screenshot ")) == before and time.time() < deadline:
        time.sleep(0.05)
    name = game.log_with("demo: screenshot ")[-1].split("demo: screenshot ")[1]
    path = os.path.join(game.bin, name)
    if keep_as:
        os.makedirs(SHOTS_DIR, exist_ok=True)
        shutil.copyfile(path, os.path.join(SHOTS_DIR, keep_as))
    return path


def ball_pixels(rows):
    """Pixels of the ball's orange in the middle of the picture, where the
    camera keeps the ball."""
    height, width = len(rows), len(rows[0])
    return sum(1 for row in rows[height // 2 - 60:height // 2 + 60]
               for r, g, b in row[width // 2 - 60:width // 2 + 60]
               if r > 180 and 70 < g < 160 and b < 80)


def script_errors(game):
    lines = game.log()
    return [lines[i + 1] if i + 1 < len(lines) else line
            for i, line in enumerate(lines) if "Scripting error" in line]


def level_errors(game):
    """Misuse lines of script functions ("Error: SetPosition: ...")."""
    return [line for line in game.log()
            if re.search(r"(^|\s)(Error[:!.]|ERROR\.)", line)]


def quit_from_menu(game):
    key(game, "Escape")
    key(game, "q")
    assert game.wait(30) == 0


def test_every_level_loads_cleanly_and_looks_like_itself():
    pictures = {}
    for level in LEVELS:
        with Game(setup=dict(SETUP, startlevel=level)) as game:
            game.start()
            game.wait_for_log("demo: %s ready" % level)
            focus(game)
            if level == "tower.lua":
                key(game, "f", "demo: the intro is over")
            time.sleep(3)  # past the fade-in, the avatar has landed
            shot = take_screenshot(game, level.replace(".lua", "-start.png"))
            width, height, rows = read_png(shot)
            assert (width, height) == (800, 600)
            pictures[level] = rows
            quit_from_menu(game)
            assert script_errors(game) == [], script_errors(game)
            assert level_errors(game) == [], level_errors(game)
            assert not game.log_with("ODE Message"), game.log_with("ODE Message")
            assert game.log_with("LoadLevel(%s) end" % level)

    for level, rows in pictures.items():
        colours = {pixel for row in rows[::8] for pixel in row[::8]}
        assert len(colours) > 50, "%s: the picture is nearly blank (%d colours)" % (
            level, len(colours))
        assert ball_pixels(rows) > 300, "%s: the ball is not in the middle of the picture" % level
    for a in LEVELS:
        for b in LEVELS:
            if a < b:
                diff = sum(abs(pa[c] - pb[c])
                           for ra, rb in zip(pictures[a][::4], pictures[b][::4])
                           for pa, pb in zip(ra[::4], rb[::4]) for c in range(3))
                mean = diff / (len(pictures[a][::4]) * len(pictures[a][0][::4]) * 3)
                assert mean > 8, "%s and %s look alike (mean difference %.1f)" % (a, b, mean)


CAROUSEL_SPIN = 'AddActorMessage("Carousel", 0, 6, "", "", 0, 1, 0, 15)'
# Dropped onto the garden's jump pad, from well below its gem, half a second
# after the level starts.
ONTO_THE_PAD = '\nAddActorMessage("_AVATAR", 500, 1, "", "", -6, 0.6, -8, 0)\n'


def test_play_through_from_the_hub_to_the_tower_calls_every_function():
    with Game(setup=SETUP) as game:
        with_coverage_hook(game)
        garden = "Resource/LevelData/garden.lua"
        game.write(garden, game.read(garden) + ONTO_THE_PAD)
        # A turning carousel turns its rider: held still, it lets a ball
        # walking straight from the dais reach the door's plate.
        hub = "Resource/LevelData/hub.lua"
        assert CAROUSEL_SPIN in game.read(hub)
        game.write(hub, game.read(hub).replace(CAROUSEL_SPIN, ""))
        game.start()
        game.wait_for_log("demo: hub.lua ready")
        window = focus(game)
        game.wait_for_log("demo: avatar stands on Dais")
        time.sleep(0.5)

        # Straight ahead: down onto the carousel, over the plate that opens
        # the door, through the door and the gate.
        game.xdotool("keydown", "w")
        try:
            game.wait_for_log("demo: avatar stands on Carousel", 15)
            game.wait_for_log("demo: the door opens", 15)
            take_screenshot(game, "hub-play.png")
            game.wait_for_log("LoadLevel(garden.lua) end", 20)
        finally:
            game.xdotool("keyup", "w")
        # The garden drops the ball onto the jump pad: up it goes to the gem
        # hanging above the pad.
        game.wait_for_log("demo: jump pad", 15)
        take_screenshot(game, "garden-play.png")
        game.wait_for_log("demo: gem taken Gem2", 15)
        assert len(game.log_with("demo: jump pad")) == 1
        # Back to the start (B in the menu), standing: up the ramp to the gate.
        time.sleep(1.5)
        key(game, "Escape")
        key(game, "b", "demo: back at the start")
        game.xdotool("keydown", "w")
        try:
            game.wait_for_log("LoadLevel(tower.lua) end", 30)
        finally:
            game.xdotool("keyup", "w")
        lines = game.log()
        assert_in_order(lines, ["demo: avatar stands on Dais", "demo: avatar stands on Carousel",
                                "demo: avatar stands on Ground", "demo: the door opens",
                                "demo: leaving hub.lua for garden.lua",
                                "demo: arrived in the garden from hub.lua", "demo: garden.lua ready",
                                "demo: jump pad", "demo: gem taken Gem2",
                                "demo: back at the start",
                                "demo: leaving garden.lua for tower.lua",
                                "demo: tower.lua ready"])
        # The door opened once although the plate was touched for many ticks.
        assert len(game.log_with("demo: the door opens")) == 1
        # Progress went along: the tower read the gems taken on the way.
        taken = len(game.log_with("demo: gem taken"))
        progress = game.log_with("demo: progress ")[-1]
        assert progress.split("demo: progress ")[1].startswith("%d|" % taken), (taken, progress)

        # The tower's opening flight, skipped with F.
        key(game, "f", "demo: the intro is over")
        time.sleep(1)
        take_screenshot(game, "tower-play.png")
        # Effects, help, frame statistics, music, volume.
        for name in ("c", "c", "h", "h", "F1", "F1", "m", "m", "v"):
            key(game, name)
        assert game.log_with("demo: effect volume 128")
        # The free edit camera, and Return back to the avatar.
        game.xdotool("mousemove", "--window", window, "400", "300")
        game.xdotool("mousemove_relative", "--", "30", "10")
        time.sleep(0.3)
        key(game, "Return", "demo: back from the edit camera")
        # The menu: news (no server), close; back to the start; restart.
        key(game, "Escape")
        key(game, "n")
        time.sleep(0.5)
        key(game, "Escape")
        key(game, "Escape")
        key(game, "b")
        key(game, "Escape")
        key(game, "r", "demo: restarting tower.lua")
        deadline = time.time() + 20
        while len(game.log_with("demo: tower.lua ready")) < 2 and time.time() < deadline:
            time.sleep(0.1)
        assert len(game.log_with("demo: tower.lua ready")) == 2
        time.sleep(0.5)
        quit_from_menu(game)

        assert script_errors(game) == [], script_errors(game)
        assert not game.log_with("ODE Message"), game.log_with("ODE Message")
        # The news server is down on purpose: its one failure line is expected.
        news = "Error: GetUrl: download of http://127.0.0.1:9/news.txt to news.txt failed"
        errors = level_errors(game)
        assert [line for line in errors if news in line] and \
            [line for line in errors if news not in line] == [], errors
        called = set(game.read("bin/coverage.txt").split())
        missing = set(table_functions()) - NOT_PLAYED - called
        assert not missing, "not called in the play-through: %s" % sorted(missing)


# A wall between the ball and its follow point 6 units behind it; the level
# asks for the camera to be kept out of "Solid".
WALLED_CAMERA = """
Level = { cameracollision = "Solid" }
CreateSceneNode("", "LevelRoot")
CreateSceneNode("LevelRoot", "ROT1")
CreateCollisionSpace("Solid", "")
for _, a in ipairs({{"Ground", "Ground.mesh", 0}, {"Wall", "Wall.mesh", -3}}) do
    AddActor(a[1])
    AddActorMessage(a[1], 0, 0, "LevelRoot", "Keep", 0, 0, 0, 0)
    AddActorMessage(a[1], 0, 4, a[2], "Solid", 0, 0, 0, 0)
    AddActorMessage(a[1], 0, 1, "", "", 0, 0, a[3], 0)
end
AddActor("_AVATAR")
AddActorMessage("_AVATAR", 0, 0, "LevelRoot", "Keep", 0, 0, 0, 0)
AddActor("_FollowCamera1")
AddActorMessage("_FollowCamera1", 0, 0, "_AVATAR", "Relative", 0, 0, 0, 0)
AddActorMessage("_FollowCamera1", 0, 1, "SetLocal", "", 0, 1, -6, 0)
function EndJump() end
AddActor("Timer")
AddActorMessage("Timer", 3000, 7, [[LogText("level: camera z " .. select(3, GetPosition("camera")))
ShutDown()]], "", 0, 0, 0, 0)
"""


def test_a_level_can_keep_the_camera_out_of_its_walls():
    with Game(levels={"start.lua": WALLED_CAMERA}) as game:
        assert game.run() == 0, game.log()[-20:]
        line = game.log_with("level: camera z ")[-1]
    # The wall's near face is at z = -2.75: the camera stays 0.6 in front.
    assert -2.3 < float(line.split("level: camera z ")[1]) < -2.0, line


def test_the_level_files_call_every_function_of_the_table():
    text = ""
    for path in sorted(glob.glob(os.path.join(LEVEL_DIR, "*.lua"))):
        with open(path) as source:
            text += re.sub(r"--[^\n]*", "", source.read()) + "\n"
    missing = [name for name in table_functions()
               if not re.search(r"(?<![\w.])%s\s*\(" % re.escape(name), text)]
    assert not missing, "no level calls %s" % missing


if __name__ == "__main__":
    harness.main(globals())
