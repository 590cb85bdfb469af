"""Start-up failures and damaged or oversized assets: the engine says what is
wrong in one line and either ends cleanly (no window can be made) or refuses
the file and plays on."""
import os
import signal
import subprocess

import harness
from harness import Game

FATAL = "vantor: fatal: "

# Ends the level after a few frames have been drawn, so whatever the level
# asked for has been loaded and rendered.
SHUT_DOWN_SOON = """
AddActor("Timer")
AddActorMessage("Timer", 300, 7, "LogText('level still running') ShutDown()", "", 0, 0, 0, 0)
"""


def start_plain_level():
    return {"start.lua": "CreateSceneNode('', 'LevelRoot')\n" + SHUT_DOWN_SOON}


def run_on(game, display):
    """Runs the engine with DISPLAY set to `display` (None: unset); returns
    (exit code, stderr)."""
    environment = dict(os.environ, ALSOFT_DRIVERS="null")
    environment.pop("DISPLAY", None)
    if display is not None:
        environment["DISPLAY"] = display
    if os.environ.get("VANTOR_ENGINE_PRELOAD"):
        environment["LD_PRELOAD"] = os.environ["VANTOR_ENGINE_PRELOAD"]
    done = subprocess.run([os.path.join(game.bin, "vantor")], cwd=game.bin, env=environment,
                          capture_output=True, text=True, timeout=60)
    return done.returncode, done.stderr


def fatal_lines(stderr):
    return [line for line in stderr.splitlines() if line.startswith(FATAL)]


def start_xvfb_without_glx():
    read_fd, write_fd = os.pipe()
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
         "-extension", "GLX"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        start_new_session=True)
    os.close(write_fd)
    with os.fdopen(read_fd) as pipe:
        number = pipe.readline().strip()
    assert number, "Xvfb without GLX did not start"
    return proc, ":" + number


def test_start_up_failures_exit_1_with_one_line_saying_what_failed():
    xvfb, no_glx = start_xvfb_without_glx()
    try:
        cases = [("no GLX", no_glx, "render window"), ("no display", None, "there is no display")]
        for name, display, words in cases:
            with Game(levels=start_plain_level()) as game:
                code, stderr = run_on(game, display)
                assert code == 1, "%s: exit code %s; stderr:\n%s" % (name, code, stderr[-2000:])
                lines = fatal_lines(stderr)
                assert len(lines) == 1 and words in lines[0], "%s: %r" % (name, lines)
                # The half-built application was torn down in order.
                assert game.log_with("delete ogre"), name
    finally:
        os.killpg(xvfb.pid, signal.SIGTERM)
        xvfb.wait()


if __name__ == "__main__":
    harness.main(globals())
