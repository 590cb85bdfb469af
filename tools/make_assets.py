#!/usr/bin/env python3
"""Generates the game folder's binary assets (textures, fonts, sounds, meshes).

Everything the demo draws or plays is made here from code (or, for the font,
taken from the system's DejaVu package), so the game folder holds nothing that
this project did not create.

Usage: make_assets.py RESOURCE_DIR CORE_STAGE_DIR
"""
import os
import shutil
import sys

from make_meshes import make_meshes
from make_sounds import make_sounds
from make_textures import make_textures

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


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
