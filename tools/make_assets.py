#!/usr/bin/env python3
"""Generates the game folder's binary assets (textures, fonts, sounds, meshes).

Everything the demo draws or plays is made here from code (or, for the font,
taken from the system's DejaVu package), so the game folder holds nothing that
this project did not create.

Usage: make_assets.py RESOURCE_DIR CORE_STAGE_DIR
"""
import os
import shutil
import struct
import sys

from make_meshes import make_meshes
from make_sounds import make_sounds

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def write_tga(path, width, height, pixel):
    """Uncompressed 32-bit TGA; pixel(x, y) returns (r, g, b, a), y=0 at the top."""
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 0x28)
    rows = bytearray()
    for y in range(height):
        for x in range(width):
            r, g, b, a = pixel(x, y)
            rows += bytes((b, g, r, a))
    with open(path, "wb") as out:
        out.write(header)
        out.write(rows)


def clamp(v):
    return max(0, min(255, int(v)))


def make_textures(textures, stage):
    size = 64
    # Sky box faces: a vertical gradient from pale horizon to deep blue.
    for face, top, bottom in (("fr", 0, 1), ("bk", 0, 1), ("lf", 0, 1), ("rt", 0, 1),
                              ("up", 0, 0), ("dn", 1, 1)):
        def sky(x, y, top=top, bottom=bottom):
            t = top + (bottom - top) * y / (size - 1)
            return (clamp(40 + 150 * t), clamp(90 + 130 * t), clamp(200 + 40 * t), 255)
        write_tga(os.path.join(textures, "sky_%s.tga" % face), size, size, sky)

    def checker(x, y):
        on = ((x // 8) + (y // 8)) % 2 == 0
        return (200, 190, 160, 255) if on else (120, 110, 90, 255)
    write_tga(os.path.join(textures, "checker.tga"), size, size, checker)

    def stripes(x, y):
        on = (x // 4) % 2 == 0
        return (230, 120, 40, 255) if on else (250, 200, 80, 255)
    write_tga(os.path.join(textures, "stripes.tga"), size, size, stripes)

    # Fade-in: black on the left half turning transparent across the right
    # half; scrolling it in u uncovers the scene.
    def fade(x, y):
        t = max(0.0, (x - size / 2) / (size / 2))
        return (0, 0, 0, clamp(255 * (1.0 - t)) if x >= size / 2 else 255)
    write_tga(os.path.join(stage, "fadein.tga"), size, 4, fade)

    def white(x, y):
        return (255, 255, 255, 255)
    write_tga(os.path.join(stage, "white.tga"), 4, 4, white)


def main():
    resource, stage = sys.argv[1], sys.argv[2]
    for sub in ("LevelData", "ConfigData", "Textures", "Music"):
        os.makedirs(os.path.join(resource, sub), exist_ok=True)
    os.makedirs(stage, exist_ok=True)
    make_textures(os.path.join(resource, "Textures"), stage)
    shutil.copyfile(FONT, os.path.join(stage, "DejaVuSans.ttf"))
    make_sounds(os.path.join(resource, "Music"))
    make_meshes(os.path.join(resource, "LevelData"))


if __name__ == "__main__":
    main()
