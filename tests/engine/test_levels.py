"""Levels: scene building and screenshots, deferred level requests, and the
nodes a level load clears."""
import harness
from harness import LEVEL_START, Game, at, read_png


def test_scene_with_fog_sky_and_compositor_renders():
    level = LEVEL_START + """
Level = { editstateallowed = '0' }
SetSkyBox('Vantor/Sky')
SetFog(1, 0, 1, 60, 100)
CreateSceneNode('LevelRoot', '_FollowCamera1')
SetPosition('_FollowCamera1', 0, 50, 150)
CreateSceneNode('LevelRoot', '_AVATAR')
CreateSceneNode('LevelRoot', 'Floor')
CreateEntity('FloorMesh', 'Prefab_Plane')
AttachObject('Floor', 'FloorMesh')
SetRotation('Floor', 1, 0, 0, -90)
CreateSceneNode('LevelRoot', 'Near')
SetPosition('Near', 0, 40, 110)
CreateEntity('NearMesh', 'Prefab_Cube')
AttachObject('Near', 'NearMesh')
SetRotation('Near', 0, 1, 0, 30)
""" + at(400, "SaveScreenshot('plain.png') AddCompositor('Vantor/Sepia')") + \
        at(800, "SaveScreenshot('sepia.png') AddCompositor('') ") + \
        at(1200, "SaveScreenshot('again.png') ShutDown()")
    with Game(levels={"start.lua": level}) as game:
        assert game.run() == 0
        assert not game.log_with("Scripting error"), game.log_with("Scripting error")
        # The level has no player; everything else must be found.
        errors = [l for l in game.log_with("Error") if "Avatar::step" not in l]
        assert not errors, errors
        width, height, plain = read_png(game.path("bin/plain.png"))
        assert (width, height) == (800, 600)
        pixels = [p for row in plain for p in row]
        fog = sum(1 for r, g, b in pixels if r > 240 and g < 15 and b > 240)
        assert fog > len(pixels) // 4, "fog colour covers too little: %d" % fog
        others = sum(1 for r, g, b in pixels if not (r > 200 and g < 60 and b > 200))
        assert others > 2000, "nothing but fog on screen"
        # The sepia compositor tints the fog: blue drops, red stays.
        _, _, sepia = read_png(game.path("bin/sepia.png"))
        tinted = [p for row in sepia for p in row]
        assert sum(1 for r, g, b in tinted if r > 240 and g < 15 and 100 < b < 180) > len(tinted) // 4
        # Removing it brings the plain picture back.
        _, _, again = read_png(game.path("bin/again.png"))
        assert sum(1 for r, g, b in (p for row in again for p in row)
                   if r > 240 and g < 15 and b > 240) > len(pixels) // 4


def test_only_the_last_level_request_of_a_frame_is_loaded_once():
    levels = {
        "start.lua": LEVEL_START + at(100, "coreLoadLevel('b.lua') coreLoadLevel('c.lua')"),
        "b.lua": "CreateSceneNode('', 'LevelRoot')\nLogText('b ran')\n",
        "c.lua": "CreateSceneNode('', 'LevelRoot')\nLogText('c ran')\nShutDown()\n",
    }
    with Game(levels=levels) as game:
        assert game.run() == 0
        assert not game.log_with("b ran")
        assert len(game.log_with("LoadLevel(c.lua) start at: ")) == 1
        assert len(game.log_with("c ran")) == 1
        start = game.log_with("LoadLevel(c.lua) start at: ")[0]
        assert int(start.rsplit(" ", 1)[1]) < 100, start


def test_nodes_hung_below_actors_go_with_the_level():
    # A plain node below an actor's node must not outlive the level: the next
    # level makes a node of the same name again.
    level = LEVEL_START + """
AddActor('carrier')
AddActorMessage('carrier', 0, 0, 'LevelRoot', '', 0, 0, 0, 0)
""" + at(100, "CreateSceneNode('carrier', 'Passenger') coreLoadLevel('again.lua')")
    again = ("CreateSceneNode('', 'LevelRoot')\nCreateSceneNode('LevelRoot', 'Passenger')\n"
             "LogText('parent ' .. GetParent('Passenger'))\nShutDown()\n")
    with Game(levels={"start.lua": level, "again.lua": again}) as game:
        assert game.run() == 0
        assert game.log_with("parent LevelRoot"), game.log()[-20:]
        assert not game.log_with("exists already")


harness.main(globals())
