"""Engine test harness: runs the real vantor executable in a throw-away copy
of the game folder on the test run's Xvfb display.

A test file defines functions named test_* and ends with
`harness.main(globals())`, which runs them all and prints "N passed, M failed".
"""
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback
import zlib

GAME_DIR = os.environ.get("VANTOR_GAME_DIR", "")
TOOLS_DIR = os.environ.get("VANTOR_TOOLS_DIR", "")
XVFB_STATE = os.environ.get("VANTOR_XVFB_STATE", "")

DEFAULT_SETUP = {
    "sleeptime": 1,
    "window_width": 800,
    "window_height": 600,
    "fullscreen": 0,
    "rendersystem": "RenderSystem_GL",
    "shadows": 0,
    "shadowdistance": 500,
    "musicdir": "../Resource/Music/",
    "music": 0,
    "soundvolume": 5,
    "musicvolume": 5,
    "startlevel": "start.lua",
    "resourcedir": "../Resource/LevelData/",
}


# The start of most test levels: the level root and an actor whose timed
# Script messages (type 7) run the test's Lua at given simulation times.
LEVEL_START = "CreateSceneNode('', 'LevelRoot')\nAddActor('timer')\n"
SCRIPT = 7

# The teardown's log lines, in order.
TEARDOWN = ["~GameApp()", "delete editState", "delete handler", "delete simulation",
            "delete sound", "delete collisionMgr", "delete camera", "delete ogre"]


def at(time, code):
    """Lua for a level: run code at simulation time (ms) through the timer actor."""
    return "AddActorMessage('timer', %d, %d, [[%s]], '', 0, 0, 0, 0)\n" % (time, SCRIPT, code)


def results_level(calls, start="CreateSceneNode('', 'LevelRoot')\n"):
    """A level that writes each Lua expression's value to bin/results.txt, one
    a line, and ends the game."""
    lines = [start + "local out = io.open('results.txt', 'w')"]
    lines += ["out:write(tostring(%s), '\\n')" % call for call in calls]
    return "\n".join(lines + ["out:close()", "ShutDown()"]) + "\n"


# --- the X server of the test run ------------------------------------------

def launch_xvfb(*extra):
    """Starts an Xvfb of its own session; returns (process, display name)."""
    read_fd, write_fd = os.pipe()
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"]
        + list(extra), pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL, start_new_session=True)
    os.close(write_fd)
    with os.fdopen(read_fd) as pipe:
        number = pipe.readline().strip()
    if not number:
        raise SystemExit("Xvfb did not report a display")
    return proc, ":" + number


def start_xvfb(state_file):
    proc, name = launch_xvfb()
    with open(state_file, "w") as out:
        out.write("%d %s\n" % (proc.pid, name))
    print("Xvfb pid %d on display %s" % (proc.pid, name))


def stop_xvfb(state_file):
    try:
        with open(state_file) as state:
            pid = int(state.read().split()[0])
        os.kill(pid, signal.SIGTERM)
        print("stopped Xvfb pid %d" % pid)
    except (OSError, ValueError, IndexError) as error:
        print("no Xvfb to stop: %s" % error)


def display():
    with open(XVFB_STATE) as state:
        return state.read().split()[1]


# --- one game folder ----------------------------------------------------------

class Game:
    """A copy of the built game folder with its own setup.lua and levels."""

    def __init__(self, setup=None, levels=None):
        self.root = tempfile.mkdtemp(prefix="vantor-engine-")
        self.bin = os.path.join(self.root, "bin")
        # The build puts only the engine into bin/; anything else there was
        # written by an earlier run of the build's folder (the demo's
        # Ogre.log, screenshots, downloads) and must not reach a test.
        os.makedirs(self.bin)
        shutil.copy2(os.path.join(GAME_DIR, "bin", "vantor"), self.bin)
        shutil.copytree(os.path.join(GAME_DIR, "Resource"), os.path.join(self.root, "Resource"))
        self.proc = None
        self.stderr_path = os.path.join(self.root, "stderr.txt")
        keys = dict(DEFAULT_SETUP)
        keys.update(setup or {})
        self.write_setup(keys)
        for name, text in (levels or {}).items():
            self.write("Resource/LevelData/" + name, text)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.cleanup()
        return False

    def path(self, relative):
        return os.path.join(self.root, relative)

    def write(self, relative, text):
        full = self.path(relative)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as out:
            out.write(text)

    def read(self, relative):
        with open(self.path(relative)) as source:
            return source.read()

    def exists(self, relative):
        return os.path.exists(self.path(relative))

    def write_setup(self, keys, extra=""):
        lines = ["setup = {"]
        for key, value in keys.items():
            if isinstance(value, str):
                lines.append("    %s = %r," % (key, value))
            else:
                lines.append("    %s = %s," % (key, value))
        lines.append("}")
        self.write("Resource/setup.lua", "\n".join(lines) + "\n" + extra)

    def start(self, env=None, args=()):
        environment = dict(os.environ)
        environment["DISPLAY"] = display()
        environment.setdefault("ALSOFT_DRIVERS", "null")
        environment.update(env or {})
        # A value of None leaves the variable out.
        environment = {k: v for k, v in environment.items() if v is not None}
        # Libraries preloaded into the engine only, not into this script
        # (the sanitizer run keeps plug-ins loaded at exit this way).
        if os.environ.get("VANTOR_ENGINE_PRELOAD"):
            environment["LD_PRELOAD"] = os.environ["VANTOR_ENGINE_PRELOAD"]
        # The engine starts its log afresh, but only once it is up: until then
        # a wait would match the lines of this folder's previous run.
        try:
            os.remove(os.path.join(self.bin, "Ogre.log"))
        except FileNotFoundError:
            pass
        self.stderr = open(self.stderr_path, "w")
        self.proc = subprocess.Popen([os.path.join(self.bin, "vantor")] + list(args), cwd=self.bin,
                                     env=environment, stdout=subprocess.DEVNULL,
                                     stderr=self.stderr)
        return self

    def wait(self, timeout=60):
        """Waits for the engine to end by itself; returns its exit code."""
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise AssertionError("vantor did not end within %d s; log tail:\n%s"
                                 % (timeout, "\n".join(self.log()[-20:])))
        finally:
            self.stderr.close()

    def run(self, timeout=60):
        return self.start().wait(timeout)

    def signal(self, number):
        self.proc.send_signal(number)

    def log(self):
        """Lines of bin/Ogre.log without their time stamps."""
        try:
            with open(os.path.join(self.bin, "Ogre.log"), errors="replace") as source:
                return [line.rstrip("\n")[10:] for line in source]
        except FileNotFoundError:
            return []

    def log_with(self, text):
        return [line for line in self.log() if text in line]

    def wait_for_log(self, text, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.log_with(text):
                return
            if self.proc.poll() is not None:
                break
            time.sleep(0.05)
        raise AssertionError("log never showed %r; tail:\n%s" % (text, "\n".join(self.log()[-20:])))

    def window(self, timeout=30):
        """The X window id of the engine's render window."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = subprocess.run(["xdotool", "search", "--name", "^Vantor$"],
                                   env=dict(os.environ, DISPLAY=display()),
                                   capture_output=True, text=True).stdout.split()
            if found:
                return found[0]
            time.sleep(0.1)
        raise AssertionError("no window named Vantor appeared")

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + list(args), env=dict(os.environ, DISPLAY=display()),
                       check=True)

    def close_window(self):
        subprocess.run([os.path.join(TOOLS_DIR, "close_window"), self.window()],
                       env=dict(os.environ, DISPLAY=display()), check=True)

    def end(self, how="window", timeout=30):
        """Ends the running engine by closing its window or by a signal number,
        and checks the clean exit."""
        if how == "window":
            self.close_window()
        else:
            self.signal(how)
        self.assert_clean_exit(self.wait(timeout))

    def assert_clean_exit(self, code):
        """Exit code 0 with every teardown line in order."""
        assert code == 0, "exit code %s; log tail:\n%s" % (code, "\n".join(self.log()[-20:]))
        assert_in_order(self.log(), TEARDOWN)

    def cleanup(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.root, ignore_errors=True)


# --- assertions -----------------------------------------------------------------

def assert_in_order(lines, expected):
    """Every expected text appears in some line, in this order."""
    at = 0
    for text in expected:
        while at < len(lines) and text not in lines[at]:
            at += 1
        if at == len(lines):
            raise AssertionError("%r not found in order; log:\n%s" % (text, "\n".join(lines[-40:])))
        at += 1


def read_png(path):
    """Decodes an 8-bit RGB or RGBA PNG; returns (width, height, rows of (r, g, b))."""
    with open(path, "rb") as source:
        data = source.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG: " + path
    at, idat, width = 8, b"", 0
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 6), "unsupported PNG format"
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            upleft = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - upleft
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upleft)
                pred = left if pa <= pb and pa <= pc else (up if pb <= pc else upleft)
                line[i] = (line[i] + pred) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


# --- running a test file --------------------------------------------------------

def main(namespace):
    if len(sys.argv) == 3 and sys.argv[1] == "start-xvfb":
        start_xvfb(sys.argv[2])
        return
    if len(sys.argv) == 3 and sys.argv[1] == "stop-xvfb":
        stop_xvfb(sys.argv[2])
        return
    tests = [(name, fn) for name, fn in sorted(namespace.items())
             if name.startswith("test_") and callable(fn)]
    passed = failed = 0
    for name, fn in tests:
        started = time.time()
        try:
            fn()
            passed += 1
            print("PASS %s (%.1f s)" % (name, time.time() - started))
        except Exception:  # a failing test reports and the rest still run
            failed += 1
            print("FAIL %s" % name)
            traceback.print_exc()
        sys.stdout.flush()
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed or not tests else 0)


if __name__ == "__main__":
    main({})
