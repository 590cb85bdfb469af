#!/usr/bin/env python3
"""Generates the demo's meshes as OGRE XML and converts them to binary .mesh.

Standard library only; the conversion runs OgreXMLConverter and
OgreMeshUpgrader (Debian package ogre-1.12-tools). Output is deterministic:
the hills come from sines, not random numbers, so every build lays out the
same level.

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
UPGRADER = "OgreMeshUpgrader"
# Meshes too large to cast stencil shadows at a playable frame rate: they
# only receive them.
NO_SHADOWS = ("Ground.mesh", "BigTerrain.mesh")


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
        """An axis-aligned box with flat-shaded faces (four vertices a face).

        uv_scale is texture repeats per unit; None maps the texture once onto
        every face, whatever its size."""
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
            u, v = (1.0, 1.0) if uv_scale is None else (width * uv_scale, height * uv_scale)
            self.quad(corners, normal, [(0, v), (u, v), (u, 0), (0, 0)])

    def prism(self, radius, y0, y1, sides, centre=(0.0, 0.0), top_radius=None):
        """An upright prism of `sides` flat sides around a vertical axis,
        from y0 to y1, capped: columns, posts and rotor discs. With a
        top_radius it narrows (or widens) to that radius at y1; 0 makes a
        cone. The texture wraps once around it."""
        cx, cz = centre
        top = radius if top_radius is None else top_radius

        def ring(r):
            return [(cx + r * math.cos(2 * math.pi * i / sides),
                     cz + r * math.sin(2 * math.pi * i / sides)) for i in range(sides)]
        low, high = ring(radius), ring(top)
        slope = math.atan2(radius - top, y1 - y0)
        for i in range(sides):
            mid = math.pi * (2 * i + 1) / sides
            normal = (math.cos(mid) * math.cos(slope), math.sin(slope),
                      math.sin(mid) * math.cos(slope))
            j = (i + 1) % sides
            u0, u1 = i / sides, (i + 1) / sides
            # Seen from outside the ring runs clockwise, so corner j comes first.
            first = len(self.vertices)
            self.vertex((low[j][0], y0, low[j][1]), normal, (u1, 1))
            self.vertex((low[i][0], y0, low[i][1]), normal, (u0, 1))
            self.vertex((high[i][0], y1, high[i][1]), normal, (u0, 0))
            self.vertex((high[j][0], y1, high[j][1]), normal, (u1, 0))
            self.triangles.append((first, first + 1, first + 2))
            if top > 0:
                self.triangles.append((first, first + 2, first + 3))
        for y, r, points, normal in ((y1, top, high, (0, 1, 0)), (y0, radius, low, (0, -1, 0))):
            if r <= 0:
                continue
            centre_index = self.vertex((cx, y, cz), normal, (0.5, 0.5))
            first = len(self.vertices)
            for x, z in points:
                self.vertex((x, y, z), normal, (0.5 + (x - cx) / (2 * r), 0.5 + (z - cz) / (2 * r)))
            for i in range(sides):
                a, b = first + i, first + (i + 1) % sides
                self.triangles.append((centre_index, b, a) if normal[1] > 0
                                      else (centre_index, a, b))

    def sphere(self, radius, segments, rings, centre=(0.0, 0.0, 0.0)):
        """A smooth sphere; u runs once around it, v from the top pole down."""
        cx, cy, cz = centre
        first = len(self.vertices)
        for ring in range(rings + 1):
            theta = math.pi * ring / rings
            for seg in range(segments + 1):
                phi = 2.0 * math.pi * seg / segments
                n = (math.sin(theta) * math.cos(phi), math.cos(theta),
                     math.sin(theta) * math.sin(phi))
                self.vertex((cx + radius * n[0], cy + radius * n[1], cz + radius * n[2]), n,
                            (seg / segments, ring / rings))
        stride = segments + 1
        for ring in range(rings):
            for seg in range(segments):
                a = first + ring * stride + seg
                c = a + stride
                # Counter-clockwise seen from outside; the poles' degenerate
                # triangles are left out.
                if ring != 0:
                    self.triangles.append((a, a + 1, c))
                if ring != rings - 1:
                    self.triangles.append((a + 1, c + 1, c))


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
    # Top face at y = 0; the texture once on every face draws its rim.
    b.box((-2.5, -0.4, -2.5), (2.5, 0.0, 2.5), None)
    return b


def make_block():
    """A raised platform that stands on the ground: the 5 by 5 footprint of
    Platform.mesh, its top face at y = 0 and 4 units deep, so nothing can
    roll in under it. Its lower part sinks into the ground."""
    b = MeshBuilder()
    b.box((-2.5, -4.0, -2.5), (2.5, 0.0, 2.5), 0.2)
    return b


def make_step():
    """A step of the tower's stair: a 4 by 4 column with its top at y = 0,
    4 deep, so the stair stands on the ground."""
    b = MeshBuilder()
    b.box((-2.0, -4.0, -2.0), (2.0, 0.0, 2.0), 0.25)
    return b


def make_tree():
    """A tree for the scenery: a trunk and two tiers of foliage, 4 high."""
    trunk, leaves = MeshBuilder(), MeshBuilder()
    trunk.prism(0.22, 0.0, 1.6, 6, top_radius=0.16)
    leaves.prism(1.3, 1.1, 2.9, 8, top_radius=0.0)
    leaves.prism(1.0, 2.3, 4.0, 8, top_radius=0.0)
    return [(trunk, "Vantor/Bark"), (leaves, "Vantor/Leaves")]


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
    """A sphere of radius 0.25 (the size of the avatar's physics sphere), 12
    segments around and 8 rings, smooth-shaded, resting on y = 0."""
    b = MeshBuilder()
    b.sphere(0.25, 12, 8, centre=(0.0, 0.25, 0.0))
    return b


def make_avatar():
    """The demo's avatar: the physics sphere's size, centred on its origin,
    because the avatar's scene node marks the centre of that sphere. Finer
    than Ball.mesh: it is always in the middle of the screen."""
    b = MeshBuilder()
    b.sphere(0.25, 24, 16)
    return b


def make_pickup():
    """A gem's pick-up volume, never drawn: a box well wider than the gem,
    so rolling past it close is enough to take it."""
    b = MeshBuilder()
    b.box((-0.7, -0.7, -0.7), (0.7, 0.7, 0.7), None)
    return b


def make_plate():
    """A thin plate just above the ground (the jump pad, the door's pressure
    plate): the avatar rolling over it crosses its top face."""
    b = MeshBuilder()
    b.box((-1.5, 0.0, -1.5), (1.5, 0.06, 1.5), None)
    return b


def make_gate():
    """The exit gate: two posts and a lintel over a passage 3 wide along z,
    walked through along x."""
    b = MeshBuilder()
    b.box((-0.3, 0.0, -2.1), (0.3, 3.2, -1.5), 0.5)
    b.box((-0.3, 0.0, 1.5), (0.3, 3.2, 2.1), 0.5)
    b.box((-0.4, 3.2, -2.3), (0.4, 3.7, 2.3), 0.5)
    return b


def make_veil():
    """The shimmer filling the gate, and the exit's trigger: a thin sheet the
    avatar passes through."""
    b = MeshBuilder()
    b.box((-0.1, 0.0, -1.5), (0.1, 3.2, 1.5), None)
    return b


def make_pillar():
    """The tower's core: an octagonal column 3.1 high, reaching the bottom of
    the summit platform."""
    b = MeshBuilder()
    b.prism(1.5, 0.0, 3.1, 8)
    return b


def make_drone():
    """The hub's drone: a flat eight-sided hull with four rotors on arms and
    a red lamp underneath."""
    hull, rotors, lamp = MeshBuilder(), MeshBuilder(), MeshBuilder()
    hull.prism(0.45, -0.08, 0.08, 8)
    hull.prism(0.25, 0.08, 0.2, 8)
    hull.box((-0.7, -0.03, -0.04), (0.7, 0.03, 0.04), 1.0)
    hull.box((-0.04, -0.03, -0.7), (0.04, 0.03, 0.7), 1.0)
    for x, z in ((0.7, 0.0), (-0.7, 0.0), (0.0, 0.7), (0.0, -0.7)):
        rotors.prism(0.25, 0.03, 0.07, 10, centre=(x, z))
    lamp.sphere(0.1, 8, 6, centre=(0.0, -0.12, 0.0))
    return [(hull, "Vantor/DroneHull"), (rotors, "Vantor/DroneRotor"), (lamp, "Vantor/Lamp")]


def make_beacon():
    """The drone's beacon on the ground: a post with a lamp, standing on y = 0."""
    post, lamp = MeshBuilder(), MeshBuilder()
    post.prism(0.3, 0.0, 0.1, 8)
    post.prism(0.06, 0.1, 0.9, 6)
    lamp.sphere(0.14, 10, 6, centre=(0.0, 1.0, 0.0))
    return [(post, "Vantor/DroneHull"), (lamp, "Vantor/Lamp")]


def check_winding(name, builder):
    """Every triangle must face the way its vertex normals point: OGRE and
    ODE cull back faces, so a reversed one is a hole in the level."""
    v = builder.vertices
    for a, b, c in builder.triangles:
        e1 = [v[b][k] - v[a][k] for k in range(3)]
        e2 = [v[c][k] - v[a][k] for k in range(3)]
        n = (e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
             e1[0] * e2[1] - e1[1] * e2[0])
        if sum(x * x for x in n) < 1e-12:
            continue
        normal = [v[a][3 + k] + v[b][3 + k] + v[c][3 + k] for k in range(3)]
        if sum(n[k] * normal[k] for k in range(3)) <= 0:
            raise ValueError("%s: triangle %d %d %d faces against its normals" % (name, a, b, c))


# file name -> (builder, material)
# file name -> (builder, material); a builder may instead return a list of
# (builder, material) pairs, one submesh each.
MESHES = (
    ("Ground.mesh", make_ground, "Vantor/Checker"),
    ("Platform.mesh", make_platform, "Vantor/Platform"),
    ("Door.mesh", make_door, "Vantor/Door"),
    ("Ramp.mesh", make_ramp, "Vantor/Checker"),
    ("Wall.mesh", make_wall, "Vantor/Wall"),
    ("Gem.mesh", make_gem, "Vantor/Stripes"),
    ("Trigger.mesh", make_trigger, "Vantor/Trigger"),
    ("Ball.mesh", make_ball, "Vantor/Ball"),
    ("Avatar.mesh", make_avatar, "Vantor/Avatar"),
    ("Pickup.mesh", make_pickup, "Vantor/Trigger"),
    ("Plate.mesh", make_plate, "Vantor/Pad"),
    ("Gate.mesh", make_gate, "Vantor/Stone"),
    ("Veil.mesh", make_veil, "Vantor/Portal"),
    ("Pillar.mesh", make_pillar, "Vantor/Stone"),
    ("Block.mesh", make_block, "Vantor/Platform"),
    ("Step.mesh", make_step, "Vantor/Platform"),
    ("Tree.mesh", make_tree, None),
    ("Drone.mesh", make_drone, None),
    ("Beacon.mesh", make_beacon, None),
    ("BigTerrain.mesh", make_big_terrain, "Vantor/Checker"),
)


def _num(value):
    # Six decimals keep the files small and the output identical across runs.
    text = "%.6f" % value
    return "0.000000" if text == "-0.000000" else text


def write_xml(path, submeshes):
    """submeshes: (builder, material) pairs, written as one submesh each."""
    with open(path, "w") as out:
        out.write("<mesh>\n<submeshes>\n")
        for builder, material in submeshes:
            use32 = "true" if len(builder.vertices) > 65535 else "false"
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
            out.write("</vertexbuffer>\n</geometry>\n</submesh>\n")
        out.write("</submeshes>\n</mesh>\n")


def _run(tool, arguments, folder, log_name, what):
    # The tools write a log into their working directory: run them in the
    # output folder and remove the log so only meshes remain.
    result = subprocess.run([tool] + arguments, cwd=folder, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    log = os.path.join(folder, log_name)
    if os.path.exists(log):
        os.remove(log)
    if result.returncode != 0:
        raise RuntimeError("%s failed on %s:\n%s" % (tool, what,
                                                    result.stdout.decode(errors="replace")))


def convert(xml_path, mesh_path, shadows):
    """XML to binary. With `shadows`, OgreMeshUpgrader then adds the edge
    lists that stencil shadows are cast from: OGRE builds none for a mesh
    loaded from a file, and the converter writes none. (-r keeps the vertex
    buffers as the converter laid them out.)"""
    folder = os.path.dirname(mesh_path) or "."
    name = os.path.basename(mesh_path)
    _run(CONVERTER, ["-q", os.path.basename(xml_path), name], folder, "OgreXMLConverter.log",
         xml_path)
    if not os.path.exists(mesh_path):
        raise RuntimeError("%s wrote no %s" % (CONVERTER, mesh_path))
    if shadows:
        _run(UPGRADER, ["-r", name, name], folder, "OgreMeshUpgrader.log", mesh_path)


def make_meshes(level_data_dir, names=None):
    """Writes the demo meshes (all, or those of the given file names) as
    binary .mesh files into level_data_dir."""
    for tool in (CONVERTER, UPGRADER):
        if shutil.which(tool) is None:
            raise RuntimeError("%s not found: install the Debian package ogre-1.12-tools" % tool)
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
        built = build()
        submeshes = built if isinstance(built, list) else [(built, material)]
        for builder, _ in submeshes:
            check_winding(name, builder)
        write_xml(xml_path, submeshes)
        try:
            convert(xml_path, mesh_path, name not in NO_SHADOWS)
        finally:
            os.remove(xml_path)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    make_meshes(sys.argv[1], sys.argv[2:])
