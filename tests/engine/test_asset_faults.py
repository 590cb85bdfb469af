"""Start-up failures and damaged or oversized assets: the engine says what is
wrong in one line and either ends cleanly (no window can be made) or refuses
the file and plays on."""
import io
import os
import signal
import struct
import zipfile

import harness
from harness import Game

FATAL = "vantor: fatal: "

# Ends the level after a few frames have been drawn, so whatever the level
# asked for has been loaded and rendered.
SHUT_DOWN_SOON = """
AddActor("Timer")
AddActorMessage("Timer", 300, 7, "LogText('level still running') ShutDown()", "", 0, 0, 0, 0)
"""


def start_plain_level():
    return {"start.lua": "CreateSceneNode('', 'LevelRoot')\n" + SHUT_DOWN_SOON}


def test_start_up_failures_exit_1_with_one_line_saying_what_failed():
    xvfb, no_glx = harness.launch_xvfb("-extension", "GLX")
    try:
        cases = [("no GLX", no_glx, "render window"), ("no display", None, "there is no display")]
        for name, display, words in cases:
            with Game(levels=start_plain_level()) as game:
                code = game.start(env={"DISPLAY": display}).wait()
                stderr = open(game.stderr_path).read()
                assert code == 1, "%s: exit code %s; stderr:\n%s" % (name, code, stderr[-2000:])
                lines = [line for line in stderr.splitlines() if line.startswith(FATAL)]
                assert len(lines) == 1 and words in lines[0], "%s: %r" % (name, lines)
                # The log says why, and the half-built application was torn down.
                assert [line for line in game.log_with("Error: the game cannot start: ")
                        if words in line], name
                assert game.log_with("delete ogre"), name
    finally:
        os.killpg(xvfb.pid, signal.SIGTERM)
        xvfb.wait()


def rewrite_zip(game, relative, changes):
    """Replaces members of a zip archive of the game folder: name -> function
    of the old bytes."""
    path = game.path(relative)
    with zipfile.ZipFile(path) as old:
        members = [(info.filename, old.read(info.filename)) for info in old.infolist()]
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as new:
        for name, data in members:
            new.writestr(name, changes[name](data) if name in changes else data)
    with open(path, "wb") as target:
        target.write(out.getvalue())


def run_level_to_its_end(game):
    code = game.run(60)
    assert code == 0, "exit code %s; log tail:\n%s" % (code, "\n".join(game.log()[-20:]))
    assert game.log_with("level still running"), "\n".join(game.log()[-20:])


PANEL_LEVEL = ("CreateSceneNode('', 'LevelRoot')\n"
               "AddElement(CreatePanel('drawn with the panel font', 100, 100))\n" + SHUT_DOWN_SOON)


def test_a_damaged_or_oversized_panel_font_is_refused_and_the_game_goes_on():
    def damage(ttf):
        broken = bytearray(ttf)
        for at in range(12, 300, 16):  # the table directory
            broken[at] ^= 0xFF
        return bytes(broken)

    cases = [
        ("damaged file", {"DejaVuSans.ttf": damage}, "DejaVuSans.ttf is damaged"),
        ("oversized", {"DividuZariv.fontdef": lambda text: text.replace(b"size 24", b"size 4000")},
         "its glyphs would be"),
    ]
    for name, changes, problem in cases:
        with Game(levels={"start.lua": PANEL_LEVEL}) as game:
            rewrite_zip(game, "Resource/ConfigData/OgreCore.zip", changes)
            run_level_to_its_end(game)
            lines = game.log_with("Error: DividuZariv.fontdef: font DividuZariv: " + problem)
            assert len(lines) == 1, "%s: %s" % (name, "\n".join(game.log()[-20:]))
            # The overlays that use the font are still there.
            assert not game.log_with("Core/DebugOverlay not found"), name


def dds_header(width, height):
    header = bytearray(128)
    header[0:4] = b"DDS "
    struct.pack_into("<7I", header, 4, 124, 0x1007, height, width, width * 4, 0, 0)
    struct.pack_into("<2I4s5I", header, 76, 32, 0x41, b"\0\0\0\0", 32, 0xFF0000, 0xFF00, 0xFF,
                     0xFF000000)
    struct.pack_into("<I", header, 108, 0x1000)
    return bytes(header) + b"\x80" * 64


def test_a_texture_declaring_65535_by_65535_pixels_is_refused_and_the_game_goes_on():
    level = ("CreateSceneNode('', 'LevelRoot')\n"
             "CreateSceneNode('LevelRoot', 'Floor')\n"
             "CreateEntity('FloorMesh', 'Ground.mesh')\n"  # material Vantor/Checker
             "AttachObject('Floor', 'FloorMesh')\n" + SHUT_DOWN_SOON)
    with Game(levels={"start.lua": level}) as game:
        material = game.read("Resource/LevelData/Vantor.material")
        game.write("Resource/LevelData/Vantor.material", material.replace("checker.tga", "big.dds"))
        with open(game.path("Resource/Textures/big.dds"), "wb") as out:
            out.write(dds_header(65535, 65535))
        run_level_to_its_end(game)
        assert game.log_with("big.dds is too large: 65535 x 65535 pixels"), \
            "\n".join(game.log()[-20:])


if __name__ == "__main__":
    harness.main(globals())
