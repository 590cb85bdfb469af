#!/usr/bin/env python3
"""Generates the demo's textures as TGA files: surfaces, the avatar's skin,
the sky boxes of the three levels and the engine's fade-in strip.

Standard library only and deterministic: the noise comes from a hash of the
lattice point, never from a random generator, so every build paints the same
pictures. Tiling textures use noise whose lattice wraps around the picture,
so they repeat without seams.

Usage: make_textures.py TEXTURE_DIR CORE_STAGE_DIR
"""
import math
import os
import struct
import sys


def write_tga(path, width, height, pixel):
    """Uncompressed 32-bit TGA; pixel(x, y) returns (r, g, b, a), y=0 at the top."""
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 0x28)
    rows = bytearray()
    for y in range(height):
        for x in range(width):
            r, g, b, a = pixel(x, y)
            rows += bytes((clamp(b), clamp(g), clamp(r), clamp(a)))
    with open(path, "wb") as out:
        out.write(header)
        out.write(rows)


def clamp(v):
    return max(0, min(255, int(round(v))))


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def smoothstep(e0, e1, x):
    t = max(0.0, min(1.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


def _hash(ix, iy, seed):
    """A value in 0..1 for a lattice point: integer hashing, no state."""
    h = (ix * 374761393 + iy * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0


def value_noise(x, y, period, seed):
    """Smooth noise in 0..1 on a lattice of `period` cells that wraps around."""
    x0, y0 = math.floor(x), math.floor(y)
    fx, fy = x - x0, y - y0
    sx, sy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
    x0, y0 = int(x0) % period, int(y0) % period
    x1, y1 = (x0 + 1) % period, (y0 + 1) % period
    top = _hash(x0, y0, seed) + (_hash(x1, y0, seed) - _hash(x0, y0, seed)) * sx
    bottom = _hash(x0, y1, seed) + (_hash(x1, y1, seed) - _hash(x0, y1, seed)) * sx
    return top + (bottom - top) * sy


def fbm(u, v, base, octaves, seed):
    """Fractal noise over a tile: u, v in 0..1, `base` lattice cells across."""
    total, amplitude, weight = 0.0, 1.0, 0.0
    cells = base
    for octave in range(octaves):
        total += amplitude * value_noise(u * cells, v * cells, cells, seed + octave)
        weight += amplitude
        amplitude *= 0.5
        cells *= 2
    return total / weight


# --- surfaces ---------------------------------------------------------------------

def grass(size, light, dark, seed):
    def pixel(x, y):
        u, v = x / size, y / size
        n = fbm(u, v, 4, 4, seed)
        blades = value_noise(u * 64, v * 64, 64, seed + 9)
        c = mix(dark, light, 0.25 + 0.6 * n + 0.25 * (blades - 0.5))
        return c + (255,)
    return pixel


def flagstones(size, seed):
    """Square flagstones, four by four, each a little different in tone, with
    dark joints between them."""
    cells = 4
    cell = size // cells

    def pixel(x, y):
        cx, cy = x // cell, y // cell
        ex, ey = x % cell, y % cell
        edge = min(ex, ey, cell - 1 - ex, cell - 1 - ey)
        tone = 0.85 + 0.25 * _hash(cx, cy, seed)
        grain = fbm(x / size, y / size, 8, 3, seed + 1)
        base = tuple(c * tone * (0.85 + 0.3 * grain) for c in (176, 168, 150))
        if edge < 1:
            return (70, 66, 60, 255)
        if edge < 3:  # a bevel: the stone's rim is a little darker
            base = tuple(c * 0.82 for c in base)
        return base + (255,)
    return pixel


def slab(size, seed):
    """A light grey slab with a bevelled rim, mapped once onto every face of a
    platform: the rim draws the platform's edges, the material tints it."""
    def pixel(x, y):
        edge = min(x, y, size - 1 - x, size - 1 - y)
        grain = fbm(x / size, y / size, 4, 3, seed)
        v = 200 + 40 * (grain - 0.5)
        if edge < 2:
            v *= 0.55
        elif edge < 5:
            v *= 0.8 + 0.04 * edge
        return (v, v, v, 255)
    return pixel


def planks(size, seed):
    """Vertical wooden planks with grain, for the door."""
    count = 4
    width = size // count

    def pixel(x, y):
        plank = x // width
        tone = 0.85 + 0.3 * _hash(plank, 0, seed)
        grain = value_noise(x / size * 4, y / size * 32, 32, seed + plank)
        c = tuple(ch * tone * (0.85 + 0.25 * grain) for ch in (150, 92, 52))
        if x % width == 0:
            c = tuple(ch * 0.45 for ch in c)
        return c + (255,)
    return pixel


def bricks(size, seed):
    """Stone blocks in courses, each course offset by half a block."""
    rows, per_row = 4, 2
    height, length = size // rows, size // per_row

    def pixel(x, y):
        row = y // height
        shifted = (x + (length // 2 if row % 2 else 0)) % size
        block = shifted // length
        ex, ey = shifted % length, y % height
        tone = 0.85 + 0.25 * _hash(block, row, seed)
        grain = fbm(x / size, y / size, 8, 3, seed + 3)
        c = tuple(ch * tone * (0.85 + 0.3 * grain) for ch in (165, 160, 150))
        if ex < 2 or ey < 2:
            c = (85, 82, 78)
        return c + (255,)
    return pixel


def hedge(size, seed):
    def pixel(x, y):
        u, v = x / size, y / size
        leaves = fbm(u, v, 8, 4, seed)
        c = mix((20, 55, 22), (80, 140, 60), smoothstep(0.3, 0.75, leaves))
        return c + (255,)
    return pixel


def pad(size):
    """The jump pad and the door's pressure plate: chevrons on a rim, grey so
    each material gives its own colour."""
    def pixel(x, y):
        u, v = (x + 0.5) / size - 0.5, (y + 0.5) / size - 0.5
        edge = 0.5 - max(abs(u), abs(v))
        if edge < 0.04:
            return (90, 90, 90, 255)
        # Chevrons pointing along +u (towards +x on a level).
        stripe = (u * 4 - abs(v) * 4) % 1.0
        value = 255 if stripe < 0.5 else 170
        return (value, value, value, 255)
    return pixel


def avatar_skin(width, height):
    """The avatar ball: six segments from pole to pole, orange and cream, so
    its rolling can be seen."""
    def pixel(x, y):
        segment = (x * 6) // width
        if y < 2 or y >= height - 2:
            return (240, 235, 220, 255)
        return (235, 120, 30, 255) if segment % 2 == 0 else (245, 225, 180, 255)
    return pixel


def portal(size, seed):
    """Streaks of light rising through a veil; alpha thins towards the edges."""
    def pixel(x, y):
        u, v = x / size, y / size
        streak = value_noise(u * 8, v * 2, 8, seed) * 0.6 + value_noise(u * 16, v * 4, 16, seed + 1) * 0.4
        alpha = 90 + 130 * streak
        return (120 + 100 * streak, 230, 255, alpha)
    return pixel


def fade(size):
    """Fade-in: black on the left half turning transparent across the right
    half; scrolling it in u uncovers the scene."""
    def pixel(x, y):
        t = max(0.0, (x - size / 2) / (size / 2))
        return (0, 0, 0, 255 * (1.0 - t) if x >= size / 2 else 255)
    return pixel


def checker(x, y):
    on = ((x // 8) + (y // 8)) % 2 == 0
    return (200, 190, 160, 255) if on else (120, 110, 90, 255)


def stripes(x, y):
    on = (x // 4) % 2 == 0
    return (230, 120, 40, 255) if on else (250, 200, 80, 255)


# --- skies --------------------------------------------------------------------------

# The face files of a cube texture "NAME.tga" and the direction each pixel
# of them shows, for OGRE's sky box: the engine's fr face looks towards -z,
# rt towards +x. (u, v) run from -1 to 1 across the picture, v downwards.
CUBE_FACES = {
    "fr": lambda u, v: (u, -v, -1.0),
    "bk": lambda u, v: (-u, -v, 1.0),
    "lf": lambda u, v: (-1.0, -v, -u),
    "rt": lambda u, v: (1.0, -v, u),
    "up": lambda u, v: (u, 1.0, v),
    "dn": lambda u, v: (u, -1.0, -v),
}

# Where the engine's sun light comes from: the reverse of its direction.
SUN = (-0.5, 0.7, 0.41)


class Sky:
    """Colours of one level's sky: a gradient from the horizon (the level's
    fog colour, so distant ground melts into it) to the zenith, a glow
    around the sun and a layer of clouds."""

    def __init__(self, zenith, horizon, ground, glow, cloud, cover, seed):
        self.zenith, self.horizon, self.ground = zenith, horizon, ground
        self.glow, self.cloud, self.cover, self.seed = glow, cloud, cover, seed

    def colour(self, d):
        length = math.sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2])
        x, y, z = d[0] / length, d[1] / length, d[2] / length
        if y < 0.0:
            return mix(self.horizon, self.ground, smoothstep(0.0, 0.25, -y))
        c = mix(self.horizon, self.zenith, math.pow(y, 0.6))
        sun_length = math.sqrt(sum(s * s for s in SUN))
        facing = max(0.0, (x * SUN[0] + y * SUN[1] + z * SUN[2]) / sun_length)
        c = mix(c, self.glow, 0.55 * math.pow(facing, 12) + 0.25 * math.pow(facing, 3))
        if y > 0.03:
            # Clouds on a flat layer overhead: far ones crowd to the horizon.
            u, v = x / (y + 0.15) * 0.35, z / (y + 0.15) * 0.35
            n = fbm(u % 1.0, v % 1.0, 4, 4, self.seed)
            amount = smoothstep(1.0 - self.cover, 1.0 - self.cover + 0.3, n)
            amount *= smoothstep(0.03, 0.25, y)
            c = mix(c, self.cloud, 0.85 * amount)
        return c


def write_sky(folder, name, sky, size):
    """Six faces of `size` pixels. The colours are worked out on a grid of
    half that size and blended up: the sky has no sharp detail, and the
    clouds are the slowest thing this generator paints."""
    half = size // 2
    for face, direction in CUBE_FACES.items():
        grid = [[sky.colour(direction((x + 0.5) / half * 2 - 1, (y + 0.5) / half * 2 - 1))
                 for x in range(half)] for y in range(half)]

        def pixel(x, y, grid=grid):
            gx = min(max((x + 0.5) / 2 - 0.5, 0.0), half - 1.0)
            gy = min(max((y + 0.5) / 2 - 0.5, 0.0), half - 1.0)
            x0, y0 = int(gx), int(gy)
            x1, y1 = min(x0 + 1, half - 1), min(y0 + 1, half - 1)
            top = mix(grid[y0][x0], grid[y0][x1], gx - x0)
            bottom = mix(grid[y1][x0], grid[y1][x1], gx - x0)
            return mix(top, bottom, gy - y0) + (255,)
        write_tga(os.path.join(folder, "%s_%s.tga" % (name, face)), size, size, pixel)


SKIES = {
    # A clear morning over the hub.
    "sky_hub": Sky(zenith=(52, 104, 190), horizon=(178, 200, 222), ground=(120, 130, 120),
                   glow=(255, 244, 214), cloud=(250, 250, 252), cover=0.45, seed=11),
    # A warm, hazy afternoon over the garden.
    "sky_garden": Sky(zenith=(70, 130, 200), horizon=(205, 215, 180), ground=(110, 130, 90),
                      glow=(255, 236, 180), cloud=(255, 248, 236), cover=0.55, seed=23),
    # Dusk behind the tower.
    "sky_tower": Sky(zenith=(34, 30, 78), horizon=(176, 118, 128), ground=(60, 50, 70),
                     glow=(255, 170, 110), cloud=(205, 140, 150), cover=0.4, seed=37),
}


def make_textures(textures, stage):
    os.makedirs(textures, exist_ok=True)
    os.makedirs(stage, exist_ok=True)

    def tex(name, size, pixel, height=None):
        write_tga(os.path.join(textures, name), size, height or size, pixel)

    # Plain textures that tests and small example levels use.
    tex("checker.tga", 64, checker)
    tex("stripes.tga", 64, stripes)
    # The demo's surfaces.
    tex("grass.tga", 128, grass(128, (120, 170, 70), (50, 95, 35), seed=5))
    tex("lawn.tga", 128, grass(128, (140, 190, 80), (70, 125, 45), seed=6))
    tex("dusk_grass.tga", 128, grass(128, (120, 150, 110), (55, 80, 70), seed=7))
    tex("flagstones.tga", 128, flagstones(128, seed=8))
    tex("slab.tga", 64, slab(64, seed=9))
    tex("planks.tga", 64, planks(64, seed=10))
    tex("bricks.tga", 64, bricks(64, seed=12))
    tex("hedge.tga", 64, hedge(64, seed=13))
    tex("pad.tga", 64, pad(64))
    tex("portal.tga", 64, portal(64, seed=14))
    tex("avatar.tga", 64, avatar_skin(64, 32), height=32)
    for name, sky in SKIES.items():
        write_sky(textures, name, sky, 128)
    # The sky of small example levels: the hub's.
    write_sky(textures, "sky", SKIES["sky_hub"], 64)

    write_tga(os.path.join(stage, "fadein.tga"), 64, 4, fade(64))
    write_tga(os.path.join(stage, "white.tga"), 4, 4, lambda x, y: (255, 255, 255, 255))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    make_textures(sys.argv[1], sys.argv[2])
