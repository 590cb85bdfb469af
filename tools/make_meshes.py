#!/usr/bin/env python3
"""Generates the demo's meshes as OGRE XML and converts them to binary .mesh.

Standard library only; the conversion runs OgreXMLConverter (Debian package
ogre-1.12-tools). Output is deterministic: the hills come from sines, not
random numbers, so every build lays out the same level.

Sizes are world units. The avatar is a sphere of radius 0.25 walking at 5
units per second and the demo levels are some 60 units across, so a platform
is a few strides wide, a door fits the avatar easily and the ramp climbs
gently.

Usage: make_meshes.py LEVEL_DATA_DIR [MESH_NAME ...]
"""
import math
import os
import shutil
import subprocess
import sys

CONVERTER = "OgreXMLConverter"


class MeshBuilder:
    """Collects one submesh's vertices (position, normal, uv) and triangles."""

    def __init__(self):
        self.vertices = []  # (px, py, pz, nx, ny, nz, u, v)
        self.triangles = []  # (i0, i1, i2), counter-clockwise seen from outside

    def vertex(self, position, normal, uv):
        self.vertices.append(tuple(position) + tuple(normal) + tuple(uv))
        return len(self.vertices) - 1

    def quad(self, corners, normal, uvs):
        """corners counter-clockwise seen from the side the normal points to."""
        first = len(self.vertices)
        for corner, uv in zip(corners, uvs):
            self.vertex(corner, normal, uv)
        self.triangles.append((first, first + 1, first + 2))
        self.triangles.append((first, first + 2, first + 3))

    def box(self, lo, hi, uv_scale=1.0):
        """An axis-aligned box with flat-shaded faces (four vertices a face)."""
        x0, y0, z0 = lo
        x1, y1, z1 = hi
        faces = (
            ((1, 0, 0), [(x1, y0, z1), (x1, y0, z0), (x1, y1, z0), (x1, y1, z1)], z1 - z0, y1 - y0),
            ((-1, 0, 0), [(x0, y0, z0), (x0, y0, z1), (x0, y1, z1), (x0, y1, z0)], z1 - z0, y1 - y0),
            ((0, 1, 0), [(x0, y1, z1), (x1, y1, z1), (x1, y1, z0), (x0, y1, z0)], x1 - x0, z1 - z0),
            ((0, -1, 0), [(x0, y0, z0), (x1, y0, z0), (x1, y0, z1), (x0, y0, z1)], x1 - x0, z1 - z0),
            ((0, 0, 1), [(x0, y0, z1), (x1, y0, z1), (x1, y1, z1), (x0, y1, z1)], x1 - x0, y1 - y0),
            ((0, 0, -1), [(x1, y0, z0), (x0, y0, z0), (x0, y1, z0), (x1, y1, z0)], x1 - x0, y1 - y0),
        )
        for normal, corners, width, height in faces:
            u, v = width * uv_scale, height * uv_scale
            self.quad(corners, normal, [(0, v), (u, v), (u, 0), (0, 0)])


def height_grid(builder, size, cells, height):
    """A square grid centred on the origin, y = height(x, z), smooth normals.

    cells x cells quads, two triangles each. uv runs from 0 to 1 across the
    whole grid, as on OGRE's prefab plane: the material's texture scale
    decides how often the texture repeats."""
    step = size / cells
    half = size / 2.0
    first = len(builder.vertices)
    eps = step * 0.5
    for row in range(cells + 1):
        z = -half + row * step
        for col in range(cells + 1):
            x = -half + col * step
            y = height(x, z)
            # Central differences of the height field give the normal.
            dx = (height(x + eps, z) - height(x - eps, z)) / (2 * eps)
            dz = (height(x, z + eps) - height(x, z - eps)) / (2 * eps)
            length = math.sqrt(dx * dx + 1.0 + dz * dz)
            builder.vertex((x, y, z), (-dx / length, 1.0 / length, -dz / length),
                           (col / cells, row / cells))
    stride = cells + 1
    for row in range(cells):
        for col in range(cells):
            a = first + row * stride + col
            b = a + 1
            c = a + stride
            d = c + 1
            # Seen from above (+y), with z growing towards the viewer, a-c-d-b
            # runs counter-clockwise.
            builder.triangles.append((a, c, d))
            builder.triangles.append((a, d, b))


def ground_height(x, z):
    """Gentle hills: at most a few units high, flat enough to walk anywhere."""
    # Keep the centre of the level level so the start and the hub sit flat.
    r = math.sqrt(x * x + z * z)
    fade = min(1.0, max(0.0, (r - 22.0) / 14.0))
    return fade * (0.9 * math.sin(x / 5.3) * math.cos(z / 6.1) + 0.45 * math.sin((x + z) / 3.7))


def terrain_height(x, z):
    return 12.0 * math.sin(x / 61.0) * math.cos(z / 53.0) + 4.0 * math.sin((x - z) / 19.0)


def make_ground():
    b = MeshBuilder()
    height_grid(b, 80.0, 100, ground_height)  # 100 x 100 cells: 20,000 triangles
    return b


def make_big_terrain():
    b = MeshBuilder()
    height_grid(b, 800.0, 224, terrain_height)  # 224 x 224 cells: 100,352 triangles
    return b


def make_platform():
    b = MeshBuilder()
    b.box((-2.5, -0.4, -2.5), (2.5, 0.0, 2.5), 0.5)  # top face at y = 0
    return b


def make_door():
    b = MeshBuilder()
    b.box((-2.0, 0.0, -0.2), (2.0, 3.0, 0.2), 0.5)  # stands on y = 0, hinge-free slab
    return b


def make_wall():
    b = MeshBuilder()
    b.box((-4.0, 0.0, -0.25), (4.0, 3.0, 0.25), 0.5)
    return b


def make_trigger():
    b = MeshBuilder()
    b.box((-1.5, 0.0, -1.5), (1.5, 2.0, 1.5), 0.5)
    return b


def make_ramp():
    """A wedge 8 long (along +x), 3 wide, rising from 0 to 1.6: about 11 degrees."""
    b = MeshBuilder()
    length, half_width, top = 8.0, 1.5, 1.6
    # uv of the walking surfaces at the ground's density (1 per 80 units),
    # so the checker squares of ramp and ground match.
    u, v = length / 80.0, 2 * half_width / 80.0
    # Sloped top.
    slope = math.atan2(top, length)
    n = (-math.sin(slope), math.cos(slope), 0.0)
    b.quad([(0, 0, half_width), (length, top, half_width), (length, top, -half_width),
            (0, 0, -half_width)], n, [(0, v), (u, v), (u, 0), (0, 0)])
    # Bottom.
    b.quad([(0, 0, -half_width), (length, 0, -half_width), (length, 0, half_width),
            (0, 0, half_width)], (0, -1, 0), [(0, 0), (u, 0), (u, v), (0, v)])
    # High end.
    b.quad([(length, 0, half_width), (length, 0, -half_width), (length, top, -half_width),
            (length, top, half_width)], (1, 0, 0), [(0, 1), (1, 1), (1, 0), (0, 0)])
    # Two triangular sides.
    for z, normal, order in ((half_width, (0, 0, 1), (0, 1, 2)), (-half_width, (0, 0, -1), (0, 2, 1))):
        first = len(b.vertices)
        b.vertex((0, 0, z), normal, (0, 1))
        b.vertex((length, 0, z), normal, (1, 1))
        b.vertex((length, top, z), normal, (1, 0))
        b.triangles.append(tuple(first + i for i in order))
    return b


def make_gem():
    """An octahedron 0.9 units tall, flat-shaded so its facets catch the light."""
    b = MeshBuilder()
    top, bottom = (0.0, 0.45, 0.0), (0.0, -0.45, 0.0)
    ring = [(0.3, 0.0, 0.0), (0.0, 0.0, -0.3), (-0.3, 0.0, 0.0), (0.0, 0.0, 0.3)]
    for i in range(4):
        a, c = ring[i], ring[(i + 1) % 4]
        for apex, tri in ((top, (a, c, top)), (bottom, (c, a, bottom))):
            e1 = [tri[1][k] - tri[0][k] for k in range(3)]
            e2 = [tri[2][k] - tri[0][k] for k in range(3)]
            n = (e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                 e1[0] * e2[1] - e1[1] * e2[0])
            length = math.sqrt(sum(v * v for v in n))
            n = tuple(v / length for v in n)
            first = len(b.vertices)
            for corner, uv in zip(tri, ((0, 1), (1, 1), (0.5, 0))):
                b.vertex(corner, n, uv)
            b.triangles.append((first, first + 1, first + 2))
    return b


def make_ball():
    """The avatar's body: a sphere of radius 0.25 (the size of its physics
    sphere), 12 segments around and 8 rings, smooth-shaded. It rests on
    y = 0, as the physics sphere hangs above the avatar node's origin."""
    b = MeshBuilder()
    radius, segments, rings = 0.25, 12, 8
    for ring in range(rings + 1):
        theta = math.pi * ring / rings
        for seg in range(segments + 1):
            phi = 2.0 * math.pi * seg / segments
            n = (math.sin(theta) * math.cos(phi), math.cos(theta), math.sin(theta) * math.sin(phi))
            b.vertex((radius * n[0], radius + radius * n[1], radius * n[2]), n,
                     (seg / segments, ring / rings))
    stride = segments + 1
    for ring in range(rings):
        for seg in range(segments):
            a = ring * stride + seg
            c = a + stride
            # Counter-clockwise seen from outside; the poles' degenerate
            # triangles are left out.
            if ring != 0:
                b.triangles.append((a, a + 1, c))
            if ring != rings - 1:
                b.triangles.append((a + 1, c + 1, c))
    return b


# file name -> (builder, material)
MESHES = (
    ("Ground.mesh", make_ground, "Vantor/Checker"),
    ("Platform.mesh", make_platform, "Vantor/Platform"),
    ("Door.mesh", make_door, "Vantor/Door"),
    ("Ramp.mesh", make_ramp, "Vantor/Checker"),
    ("Wall.mesh", make_wall, "Vantor/Wall"),
    ("Gem.mesh", make_gem, "Vantor/Stripes"),
    ("Trigger.mesh", make_trigger, "Vantor/Trigger"),
    ("Ball.mesh", make_ball, "Vantor/Ball"),
    ("BigTerrain.mesh", make_big_terrain, "Vantor/Checker"),
)


def _num(value):
    # Six decimals keep the files small and the output identical across runs.
    text = "%.6f" % value
    return "0.000000" if text == "-0.000000" else text


def write_xml(path, builder, material):
    use32 = "true" if len(builder.vertices) > 65535 else "false"
    with open(path, "w") as out:
        out.write("<mesh>\n<submeshes>\n")
        out.write('<submesh material="%s" usesharedvertices="false" use32bitindexes="%s" '
                  'operationtype="triangle_list">\n' % (material, use32))
        out.write('<faces count="%d">\n' % len(builder.triangles))
        for a, b, c in builder.triangles:
            out.write('<face v1="%d" v2="%d" v3="%d"/>\n' % (a, b, c))
        out.write("</faces>\n")
        out.write('<geometry vertexcount="%d">\n' % len(builder.vertices))
        out.write('<vertexbuffer positions="true" normals="true" texture_coords="1" '
                  'texture_coord_dimensions_0="2">\n')
        for px, py, pz, nx, ny, nz, u, v in builder.vertices:
            out.write('<vertex><position x="%s" y="%s" z="%s"/><normal x="%s" y="%s" z="%s"/>'
                      '<texcoord u="%s" v="%s"/></vertex>\n'
                      % tuple(_num(x) for x in (px, py, pz, nx, ny, nz, u, v)))
        out.write("</vertexbuffer>\n</geometry>\n</submesh>\n</submeshes>\n</mesh>\n")


def convert(xml_path, mesh_path):
    # The converter writes OgreXMLConverter.log into its working directory:
    # run it in the output folder and remove the log so only meshes remain.
    folder = os.path.dirname(mesh_path) or "."
    result = subprocess.run([CONVERTER, "-q", os.path.basename(xml_path),
                             os.path.basename(mesh_path)],
                            cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    log = os.path.join(folder, "OgreXMLConverter.log")
    if os.path.exists(log):
        os.remove(log)
    if result.returncode != 0 or not os.path.exists(mesh_path):
        raise RuntimeError("%s failed on %s:\n%s" % (CONVERTER, xml_path,
                                                    result.stdout.decode(errors="replace")))


def make_meshes(level_data_dir, names=None):
    """Writes the demo meshes (all, or those of the given file names) as
    binary .mesh files into level_data_dir."""
    if shutil.which(CONVERTER) is None:
        raise RuntimeError("%s not found: install the Debian package ogre-1.12-tools" % CONVERTER)
    known = [entry[0] for entry in MESHES]
    unknown = [name for name in (names or []) if name not in known]
    if unknown:
        raise ValueError("unknown mesh %s; known: %s" % (", ".join(unknown), ", ".join(known)))
    os.makedirs(level_data_dir, exist_ok=True)
    for name, build, material in MESHES:
        if names and name not in names:
            continue
        mesh_path = os.path.join(level_data_dir, name)
        xml_path = mesh_path + ".xml"
        write_xml(xml_path, build(), material)
        try:
            convert(xml_path, mesh_path)
        finally:
            os.remove(xml_path)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    make_meshes(sys.argv[1], sys.argv[2:])
