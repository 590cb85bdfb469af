"""Collision in the running engine: a moving actor's geometry passing through
trigger spaces fires the registered Lua callbacks tick by tick, node names
with quotes and backslashes reach them intact, and RayTest reports the point
of a known mesh that a ray hits."""
import harness
from harness import Game

SCRIPT = 7  # actor message types
ATTACH, POSITION, COLLISION, VELOCITY = 0, 1, 4, 5

LEVEL_START = "CreateSceneNode('', 'LevelRoot')\nAddActor('timer')\n"


def at(time, code):
    """A timed Script message on the level's timer actor."""
    return "AddActorMessage('timer', %d, %d, [[%s]], '', 0, 0, 0, 0)\n" % (time, SCRIPT, code)


def actor(lua_name, mesh, space, x, y, z):
    """Lua that makes an actor with collision geometry at a world position.
    lua_name is a Lua string literal, so names with quotes can be spelled."""
    return ("AddActor(%(n)s)\n"
            "AddActorMessage(%(n)s, 0, %(attach)d, 'LevelRoot', '', 0, 0, 0, 0)\n"
            "AddActorMessage(%(n)s, 0, %(geom)d, '%(mesh)s', '%(space)s', 0, 0, 0, 0)\n"
            "AddActorMessage(%(n)s, 0, %(pos)d, '', '', %(x)s, %(y)s, %(z)s, 0)\n"
            % dict(n=lua_name, attach=ATTACH, geom=COLLISION, mesh=mesh, space=space,
                   pos=POSITION, x=x, y=y, z=z))


# Trigger.mesh is the box x -1.5..1.5, y 0..2, z -1.5..1.5. Wall.mesh is
# x -4..4, y 0..3, z -0.25..0.25; placed at y -0.5 it sticks out of the
# trigger on every side but z, so its faces cut the trigger's faces whenever
# the two z ranges overlap: while the wall's centre is within 1.75 of a
# trigger's centre.
TRIGGERS = [("Zone", "'Zone'", 0.0), ("Quote'Zone", '"Quote\'Zone"', 6.0),
            ("Back\\Zone", "'Back\\\\Zone'", 12.0), ("New\nZone", "'New\\nZone'", 18.0)]
SPEED = 4.375  # units per second along +z: 3.5 units of contact in 0.8 s


def test_moving_geometry_fires_trigger_callbacks_each_tick_with_exact_names():
    level = LEVEL_START + "CreateCollisionSpace('Triggers', '')\n" \
        "CreateCollisionSpace('Movers', '')\n"
    for _, lua_name, z in TRIGGERS:
        level += actor(lua_name, "Trigger.mesh", "Triggers", 0, 0, z)
    level += actor("'Mover'", "Wall.mesh", "Movers", 0, -0.5, -4)
    level += "AddActorMessage('Mover', 0, %d, '', '', 0, 0, %s, 0)\n" % (VELOCITY, SPEED)
    level += r"""
local function record(file, text)
    local _, _, z = GetPosition('Mover')
    local f = io.open(file, 'a')
    -- Newlines in names are written as \n so a record stays on one line.
    f:write(GetSimulationTime(), '\t', z, '\t', (string.gsub(text, '\n', '\\n')), '\n')
    f:close()
end
function Touched(name) record('single.txt', type(name) .. '\t' .. name) end
function TouchedList(names)
    record('list.txt', type(names) .. '\t' .. table.getn(names) .. '\t' .. table.concat(names, '|'))
end
RegisterCollisionCallback('Mover', 'Triggers', 'Touched')
RegisterCollisionCallback('Mover', 'Triggers', 'TouchedList', 1)
""" + at(100, "LogText('test before [' .. CollisionTest('Mover', 'Triggers') .. ']')") + \
        at(1000, "LogText('test inside [' .. CollisionTest('Mover', 'Triggers') .. ']')") + \
        at(6500, "ShutDown()")
    with Game(levels={"start.lua": level}) as game:
        assert game.run() == 0
        assert not game.log_with("Scripting error"), game.log()[-20:]
        # The level has no player: only the avatar and camera may complain.
        errors = [l for l in game.log_with("Error") + game.log_with("ERROR") if not any(
            part in l for part in ("CameraController", "PlayState", "Avatar::step", "setup table",
                                 "no global table Level"))]
        assert not errors, errors
        log = game.log()
        single = [line.split("\t") for line in game.read("bin/single.txt").splitlines()]
        listed = [line.split("\t") for line in game.read("bin/list.txt").splitlines()]

    # Both forms fire in the same ticks, the single one with a text, the list
    # one with a table of one name.
    assert [row[0] for row in single] == [row[0] for row in listed]
    for row in single:
        assert row[2] == "string", row
    for s, l in zip(single, listed):
        assert l[2:] == ["table", "1", s[3]], (s, l)

    names = [row[3] for row in single]
    # CollisionTest from Lua names the touched member of the space, or nothing.
    assert "100 test before []" in log and "1000 test inside [Zone]" in log, \
        [line for line in log if " test " in line]
    for name, _, centre in TRIGGERS:
        expected = name.replace("\n", "\\n")
        ticks = [(int(row[0]), float(row[1])) for row in single if row[3] == expected]
        assert ticks, "%s never fired; callbacks: %s" % (name, sorted(set(names)))
        times = [t for t, _ in ticks]
        # One call per tick, in consecutive ticks, with no gap while touching.
        assert times == list(range(times[0], times[-1] + 20, 20)), (name, times)
        # Contact lasts while the centres are within 1.75: 3.5 units at 4.375
        # per s is 0.8 s, 40 ticks; the touching positions at the edges may
        # count.
        assert 38 <= len(times) <= 42, (name, len(times))
        for _, z in ticks:
            assert centre - 1.85 < z < centre + 1.85, (name, z)
        assert ticks[0][1] < centre - 1.6 and ticks[-1][1] > centre + 1.6, \
            (name, ticks[0], ticks[-1])
    # Nothing else was reported, and nothing after the last trigger was left
    # behind (the wall is past z 22 by the end).
    assert set(names) == {name.replace("\n", "\\n") for name, _, _ in TRIGGERS}, set(names)
    assert max(int(row[0]) for row in single) < 6000


def test_ray_test_reports_the_nearest_point_of_a_known_mesh():
    # Trigger.mesh at (100, 0, 0): top face y 2 over x 98.5..101.5,
    # z -1.5..1.5; its side face x 98.5. Gem.mesh at (50, 0, 200): an
    # octahedron whose upper facets are y = 0.45 * (1 - (|x| + |z|) / 0.3)
    # around its centre.
    level = LEVEL_START + "CreateCollisionSpace('Solid', '')\n" \
        "CreateCollisionSpace('Inner', 'Solid')\n"
    level += actor("'Block'", "Trigger.mesh", "Solid", 100, 0, 0)
    level += actor("'Gem'", "Gem.mesh", "Inner", 50, 0, 200)
    level += actor("'Front'", "Trigger.mesh", "Solid", 130, 0, 0)
    rays = [
        ("Solid", 100.5, 50, -0.5, 0, -1, 0, 100),    # straight down onto the top face
        ("Solid", 80, 1, 0.5, 1, 0, 0, 100),          # sideways: Block's x 98.5 face first
        ("Solid", 50.05, 10, 200, 0, -1, 0, 20),      # down onto a gem facet in a child space
        ("Solid", 100.5, 50, -0.5, 0, -1, 0, 40),     # too short to reach y 2
        ("Solid", 100.5, -50, -0.5, 1, 0, 0, 100),    # passes below everything
        ("Nowhere", 100.5, 50, -0.5, 0, -1, 0, 100),  # no such space
        ("Inner", 100.5, 50, -0.5, 0, -1, 0, 100),    # the child space holds only the gem
    ]
    code = "local f = io.open('rays.txt', 'w') "
    for ray in rays:
        code += ("local x, y, z, n = RayTest('%s', %s, %s, %s, %s, %s, %s, %s) "
                 "f:write(x, ' ', y, ' ', z, ' [', n, ']\\n') " % ray)
    code += "f:close() ShutDown()"
    level += at(100, code)
    with Game(levels={"start.lua": level}) as game:
        assert game.run() == 0
        assert not game.log_with("Scripting error"), game.log()[-20:]
        lines = game.read("bin/rays.txt").splitlines()
    assert len(lines) == len(rays), lines
    results = []
    for line in lines:
        point, name = line.split(" [")
        results.append(([float(v) for v in point.split()], name.rstrip("]")))

    def near(point, expected):
        return all(abs(a - b) < 1e-3 for a, b in zip(point, expected))

    expected_hits = [((100.5, 2, -0.5), "Block"), ((98.5, 1, 0.5), "Block"),
                     ((50.05, 0.375, 200), "Gem")]
    for (point, name), (want, want_name) in zip(results, expected_hits):
        assert name == want_name and near(point, want), (point, name, want, want_name)
    for point, name in results[3:]:
        assert name == "" and point == [0, 0, 0], (point, name)


harness.main(globals())
