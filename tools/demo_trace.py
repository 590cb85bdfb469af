#!/usr/bin/env python3
"""Replays an input recording of the demo headless and prints where the ball
was: the demo's own log lines (gems, exits, what the ball stands on) and the
ball's position, heading and ground every N ticks, numbered with the
recording's ticks. The tool for editing a recording by hand: change a tick,
run this, see where the ball went.

    tools/demo_trace.py tests/engine/recordings/all-gems.rec --every 10 --from 2900

The replay runs in a temporary copy of build/game whose common.lua logs the
ball at every tick (logging only: the play is the same as the real one's).

Ticks: the recording counts every tick since the start; a level's clock starts
at 0 on its load, at the tick of the exit that loaded it. Handy numbers: W
moves the ball 0.1 a tick; A or D held for K ticks turns it 0.2 K (K + 1)
degrees up to K = 10, then 4 degrees a tick more; Space held for 6 ticks or
more jumps 1.5 high, about 50 ticks in the air.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

SOURCE = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

PROBE = '''    do
        local fx, _, fz = GetPosition("_FollowCamera1")
        LogText(string.format("trace %.2f %.2f %.2f %.1f %s", ax, ay, az,
            math.deg(math.atan2(fz - az, ax - fx)), GetParent("_AVATAR")))
    end
'''
ANCHOR = '    local ground = GetParent("_AVATAR")\n'


def prepare(game_dir):
    """A temporary copy of the game folder whose common.lua logs the ball."""
    root = tempfile.mkdtemp(prefix="vantor-trace-")
    shutil.copytree(os.path.join(game_dir, "bin"), os.path.join(root, "bin"))
    shutil.copytree(os.path.join(game_dir, "Resource"), os.path.join(root, "Resource"))
    common = os.path.join(root, "Resource", "LevelData", "common.lua")
    with open(common) as source:
        text = source.read()
    if ANCHOR not in text:
        sys.exit("common.lua changed: put the trace somewhere else in DemoTick")
    with open(common, "w") as out:
        out.write(text.replace(ANCHOR, PROBE + ANCHOR, 1))
    return root


def replay(root, recording_text):
    """Replays the recording in a prepared folder; a list of (tick, text) for
    the demo's lines and the traces."""
    with open(os.path.join(root, "bin", "play.rec"), "w") as out:
        out.write(recording_text)
    env = dict(os.environ, ALSOFT_DRIVERS="null")
    env.pop("DISPLAY", None)
    done = subprocess.run(["./vantor", "--headless", "--replay", "play.rec"],
                          cwd=os.path.join(root, "bin"), env=env, capture_output=True, text=True)
    if done.returncode != 0:
        print("vantor exited with %d: %s" % (done.returncode, done.stderr.strip()))
    with open(os.path.join(root, "bin", "Ogre.log"), errors="replace") as source:
        lines = source.read().splitlines()
    level_start, found = 0, []
    for line in lines:
        match = re.match(r"\d\d:\d\d:\d\d: (\d+) (.*)", line)
        if not match:
            continue
        tick = level_start + int(match.group(1)) // 20
        text = match.group(2)
        if text.startswith("trace ") or text.startswith("demo:") or "Scripting error" in text \
                or "ODE Message" in text:
            found.append((tick, text))
        if text.startswith("demo: leaving "):
            level_start = tick
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("recording")
    parser.add_argument("--every", type=int, default=25, help="ticks between positions")
    parser.add_argument("--from", dest="first", type=int, default=0, help="first tick shown")
    parser.add_argument("--game", default=os.path.join(SOURCE, "build", "game"))
    args = parser.parse_args()
    root = prepare(args.game)
    try:
        with open(args.recording) as source:
            found = replay(root, source.read())
    finally:
        shutil.rmtree(root)
    for tick, text in found:
        if tick < args.first:
            continue
        if not text.startswith("trace "):
            print("%6d  %s" % (tick, text))
        elif tick % args.every == 0:
            x, y, z, heading, ground = (text.split() + [""])[1:6]
            print("%6d      x %7s  y %6s  z %7s  heading %6s  on %s" % (tick, x, y, z, heading, ground))


if __name__ == "__main__":
    main()
