"""Smoke test of the benchmark program: runs `vantor_bench --quick` on the
test run's Xvfb display (the windowed demo-hub case needs one) and checks
that every case printed its rows with figures, not that they are fast."""
import os
import subprocess
import sys

import harness


def main():
    bench = sys.argv[1]
    env = dict(os.environ, DISPLAY=harness.display())
    result = subprocess.run([bench, "--quick"], env=env, capture_output=True, text=True,
                            timeout=280)
    print(result.stdout)
    if result.returncode != 0:
        print(result.stderr[-4000:])
        sys.exit("vantor_bench exited with %d" % result.returncode)
    rows = result.stdout.splitlines()[1:]
    expected = ["tick mean:", "avatar: 3 steps", "triangle data build", "RayTest from Lua",
                "world tick:", "demo hub headless: ticks per second", "demo hub: LoadLevel", "demo hub frame vs bare OGRE loop"]
    for prefix in expected:
        matching = [row for row in rows if row.startswith(prefix)]
        if not matching:
            sys.exit("no row starting with %r" % prefix)
        for row in matching:
            figures = [float(word) for word in row.split() if word.replace(".", "", 1).isdigit()]
            if not figures or figures[-1] <= 0:
                sys.exit("row without a positive figure: %r" % row)
    print("bench: %d rows" % len(rows))


main()
