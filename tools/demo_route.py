#!/usr/bin/env python3
"""Makes tests/engine/recordings/all-gems.rec again: a play-through of the
demo that takes all 7 gems and passes the exits hub -> garden -> tower -> hub.

    tools/demo_route.py tests/engine/recordings/all-gems.rec

The route is a list of places to roll to. Each leg starts with the ball at
rest: the recording so far is replayed (tools/demo_trace.py) to see where the
ball is and which way it faces, and the leg adds the turn and the W held to
get there. A leg with a jump tries every jump tick along the walk and keeps
the middle of the longest run of ticks that land the ball where it should
be. After a change to the physics or to the levels, run this again (a few
minutes) and check the result with tools/demo_trace.py.
"""
import math
import os
import shutil
import sys

import demo_trace

HEADER = """vantor-input 1
level hub.lua
setup downloadurl string http://127.0.0.1:9/
setup fullscreen number 0
setup music number 0
setup musicdir string ../Resource/Music/
setup musicvolume number 5
setup rendersystem string RenderSystem_GL
setup resourcedir string ../Resource/LevelData/
setup shadowdistance number 500
setup shadows number 0
setup sleeptime number 1
setup soundvolume number 5
setup startlevel string hub.lua
setup window_height number 600
setup window_width number 800
events
0 mouse 0 0 0 0 0 0 0
"""
KEYS = {"w": (17, 119), "a": (30, 97), "d": (32, 100), "space": (57, 32), "esc": (1, 27),
        "q": (16, 113)}
SPEED = 0.1  # W moves the ball this far a tick


def turn_degrees(ticks):
    """How far A or D held for `ticks` turns the ball: the rate grows by a
    tenth a tick to 4 degrees a tick."""
    return sum(0.4 * min(i, 10) for i in range(1, ticks + 1))


def step(i):
    """The centre of the tower's step i."""
    angle = math.radians(180 - (i - 1) * 45)
    return 10 + 5.8 * math.cos(angle), 5.8 * math.sin(angle)


class Route:
    def __init__(self, root):
        self.root = root
        self.holds = []  # (key, first tick, last tick)
        self.level_start = 0

    def text(self, holds, end):
        events = []
        for key, first, last in holds:
            code, char = KEYS[key]
            events += [(first, 0, "%d key+ %d %d" % (first, code, char)),
                       (last, 1, "%d key- %d 0" % (last, code))]
        return HEADER + "".join(line + "\n" for _, _, line in sorted(events)) + "end %d\n" % end

    def play(self, holds, end):
        found = demo_trace.replay(self.root, self.text(holds, end))
        traces = [(tick, text.split()) for tick, text in found if text.startswith("trace ")]
        return [(tick, text) for tick, text in found if not text.startswith("trace ")], traces

    def at_rest(self, after, level_tick=0):
        """The first tick from `after` (or from level_tick of this level) with
        the ball still on something; its position and heading."""
        first = max(after, self.level_start + level_tick)
        _, traces = self.play(self.holds, first + 300)
        rows = [(tick, fields) for tick, fields in traces if tick >= first]
        for (_, a), (tick, b) in zip(rows, rows[1:]):
            if b[5] != "LevelRoot" and sum(abs(float(a[i]) - float(b[i])) for i in (1, 2, 3)) < 0.003:
                return tick + 1, float(b[1]), float(b[3]), float(b[4])
        sys.exit("the ball does not come to rest after tick %d" % first)

    def leg(self, x, z, level_tick=0):
        """Turn towards (x, z) and hold W for the distance; the W hold."""
        tick, bx, bz, heading = self.at_rest(self.holds[-1][2] + 10 if self.holds else 20, level_tick)
        want = math.degrees(math.atan2(bz - z, x - bx))
        turn = (want - heading + 180) % 360 - 180
        ticks = min(range(200), key=lambda k: abs(turn_degrees(k) - abs(turn)))
        if ticks:
            self.holds.append(("a" if turn > 0 else "d", tick, tick + ticks))
        start = tick + ticks + 1
        walk = ("w", start, start + max(1, round(math.hypot(x - bx, z - bz) / SPEED)))
        self.holds.append(walk)
        return walk

    def go(self, x, z, level_tick=0):
        self.leg(x, z, level_tick)

    def jump(self, x, z, ground, level_tick=0):
        """Like go, jumping on the way so that the ball lands on `ground`."""
        walk = self.leg(x, z, level_tick)
        good, best = [], []
        for tick in range(walk[1], walk[2]):
            # Landed, and still there a second later (on the edge of a
            # lift the ball may stay behind as it sinks).
            _, traces = self.play(self.holds + [("space", tick, tick + 8)], walk[2] + 90)
            on = {fields[5] for t, fields in traces if t in (walk[2] + 40, walk[2] + 89)}
            good = good + [tick] if on == {ground} else []
            best = max(best, good, key=len)
        if not best:
            sys.exit("no jump lands on %s" % ground)
        middle = best[len(best) // 2]
        print("  onto %s: jump at %d (%d to %d work)" % (ground, middle, best[0], best[-1]))
        self.holds.append(("space", middle, middle + 8))

    def exit(self, x, z, level_tick=0):
        """Through the exit at (x, z): W is let go once the next level loads."""
        key, first, last = self.leg(x, z, level_tick)
        events, _ = self.play(self.holds, last + 20)
        left = [tick for tick, text in events if text.startswith("demo: leaving") and tick >= first]
        if not left:
            sys.exit("the ball does not reach the exit at %.1f, %.1f" % (x, z))
        self.holds[-1] = (key, first, left[0] + 1)
        self.level_start = left[0]
        print("%d: %s" % (left[0], [text for tick, text in events if tick == left[0]][0]))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    game = os.path.join(demo_trace.SOURCE, "build", "game")
    root = demo_trace.prepare(game)
    try:
        r = Route(root)
        # The hub: the path's gem, then to the lift's column and onto the lift
        # while it is down (ticks 325 to 400 of its 350-tick round), off it at
        # the top onto the ledge, down over the door's plate and through the
        # door, round to the far pad, back and through the gate.
        r.go(-5, 0, level_tick=25)
        r.go(-2.5, 0)
        r.jump(-4, -10.5, "Lift", level_tick=250)
        r.go(-4, -14, level_tick=500)
        r.go(2, 0)
        r.go(9, 0.3)
        r.go(10, 5.5)
        r.jump(15, 12, "FarPad")
        r.go(10, 4)
        r.go(9.5, 0)
        r.exit(15, 0)
        # The garden: onto the jump pad under its gem, up the ramp to the
        # terrace's gem and the gate.
        r.go(-6, -8, level_tick=10)
        r.go(1, 0)
        r.exit(18, 0)
        # The tower, once its opening flight is over (250 ticks): step by
        # step to the summit, down over the first step, onto the lift as it
        # waits below (ticks 300 to 400 of its 400-tick round), up to the
        # perch, down and through the gate.
        for i in range(1, 9):
            r.jump(*step(i), "Step%d" % i, level_tick=256)
        r.jump(10, 0, "Summit")
        r.go(10.3, -0.3)
        r.go(0, 0)
        r.go(-6, -4.6)
        r.jump(-6, -8, "Lift", level_tick=1525)
        r.go(-6, -13, level_tick=1700)
        r.go(-10.5, -13)
        r.go(-9, 0)
        r.exit(-16, 0)
        # Back in the hub: Escape, Q.
        end = r.holds[-1][2] + 30
        r.holds += [("esc", end, end + 2), ("q", end + 10, end + 12)]
        text = r.text(r.holds, end + 20)
        events, _ = r.play(r.holds, end + 20)
    finally:
        shutil.rmtree(root)
    gems = [text for _, text in events if "gem taken" in text]
    print("\n".join(gems))
    if len(gems) != 7:
        sys.exit("only %d gems: the recording is not written" % len(gems))
    with open(sys.argv[1], "w") as out:
        out.write(text)


if __name__ == "__main__":
    main()
