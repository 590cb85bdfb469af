"""Script API fuzzing inside a running level.

A Lua generator with a fixed seed calls every function of the engine's
function table with random argument counts and kinds (nil, booleans, tables,
huge, negative and non-finite numbers, empty and very long texts, names with
quotes, backslashes and newlines, names that exist and names that do not), in
random order, spread over many timed Script messages. Every call must return
(a raised Lua error counts as a failure), the engine must neither crash nor
hang, and the level must still shut down with the full teardown.

VANTOR_FUZZ_CALLS sets the number of calls (CI default 20000; the manual long
run, scripts/long-runs.sh, makes 100000), VANTOR_FUZZ_SEED the seed and
VANTOR_FUZZ_TIMEOUT the seconds the run may take.
"""
import os
import re
import socket
import stat
import time

import harness
from harness import TEARDOWN, Game, assert_in_order

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE = os.path.join(HERE, "..", "..", "src", "script", "bindings", "FunctionTable.cpp")

# ShutDown ends the run and coreLoadLevel replaces the level (and with it the
# generator); both have their own tests. Everything else is fuzzed.
EXCLUDED = {"ShutDown", "coreLoadLevel"}


def function_names():
    with open(TABLE) as source:
        names = re.findall(r'\{"([A-Za-z_0-9]+)",\s*w_', source.read())
    assert len(names) >= 50, names
    return names


FUZZ_LEVEL = r"""
CreateSceneNode('', 'LevelRoot')
CreateSceneNode('LevelRoot', 'ROT1')
AddActor('_AVATAR')
AddActorMessage('_AVATAR', 0, 0, 'LevelRoot', '', 0, 0, 0, 0)
AddActorMessage('_AVATAR', 0, 3, 'Gem.mesh', '', 0, 0, 0, 0)
AddActorMessage('_AVATAR', 0, 4, 'Gem.mesh', 'Triggers', 0, 0, 0, 0)
AddActorMessage('_AVATAR', 0, 7,
    "CreateSceneNode('_AVATAR', '_FollowCamera1') SetPosition('_FollowCamera1', -12, 6, 0)",
    '', 0, 0, 0, 0)
CreateCollisionSpace('Solid', '')
CreateCollisionSpace('Triggers', '')
AddActor('Floor')
AddActorMessage('Floor', 0, 0, 'LevelRoot', '', 0, 0, 0, 0)
AddActorMessage('Floor', 0, 3, 'Platform.mesh', '', 0, 0, 0, 0)
AddActorMessage('Floor', 0, 4, 'Platform.mesh', 'Solid', 0, 0, 0, 0)
AddActor('Mover')
AddActorMessage('Mover', 0, 0, 'LevelRoot', '', 0, 0, 0, 0)
AddActorMessage('Mover', 0, 3, 'Trigger.mesh', '', 0, 0, 0, 0)
AddActorMessage('Mover', 0, 4, 'Trigger.mesh', 'Triggers', 0, 0, 0, 0)
AddActorMessage('Mover', 0, 6, '', '', 0, 1, 0, 90)
CreateSpline('Path')
AddSplinePoint('Path', 0, 0, 0)
AddSplinePoint('Path', 10, 0, 10)
RegisterCollisionCallback('Mover', 'Triggers', 'FuzzTouched', 1)
ExecuteCmd('state', 'progress = { gems = 3, name = "fuzz" }')

FUZZ_TOTAL = @TOTAL@
FUZZ_PER_BATCH = @PER_BATCH@
FUZZ_FUNCTIONS = { @FUNCTIONS@ }
math.randomseed(@SEED@)

local done, failures, touched = 0, 0, 0
local failed = {}
function FuzzTouched(arg) touched = touched + 1 end
function FuzzNoop() end

local long = string.rep('x', @LONG@)
local texts = {
    '', ' ', long, 'with "double" quotes', "with 'single' quotes", 'back\\slash\\',
    'new\nline', 'nul\0byte', ']]', '[[', '%s%s%n%d', 'unknown_name', '.', '..', '/',
    '../../../..', 'OVE', 'OVEStats', 'OVEnothing', 'Prefab_Cube', 'Platform.mesh',
    'Gem.mesh', 'Trigger.mesh', 'Missing.mesh', 'LevelRoot', '_AVATAR', 'ROT1',
    '_FollowCamera1', 'Solid', 'Triggers', 'camera', '_CameraNode', '_Hidden', 'state',
    'lua', 'setup', 'progress', 'gems', 'name', 'FileSystem', 'Zip', 'AddLocal',
    'AddParent', 'Keep', 'Loop', 'FadeOut', 'CastNoShadow', '1', '-5', '1e400', 'nan',
    'fuzz.png', 'fuzz.unknownext', 'no/such/dir/shot.png', 'news.txt', 'Floor', 'Mover',
    'F1', 'F2', 'F3', 'Path', 'Fz', 'LogText("from fuzz")', 'error("boom")',
    'local x = {} x.y.z = 1', 'FuzzNoop', 'FuzzTouched', 'ResetBody', 'GetTick',
    'Vantor/Sepia', 'Vantor/Sky', 'BaseWhite', 'Examples/Flare', 'Walk', 'sound.wav',
    'music.ogg', 'music.wav', 'door.wav', 'hum.wav', 'http://127.0.0.1:1/', string.rep('\\', 300), string.rep('"', 300),
}
local numbers = {
    0, 1, -1, 2, 3, 4, 5, 7, 11, 12, 20, 2.7, -3.7, 0.5, 100, 1000, 5000, -5000,
    1e9, -1e9, 2^31 - 1, 2^31, 2^32, -2^31, 2^53, 2^63, -2^63, 1e308, -1e308, 1e-300,
    0/0, 1/0, -1/0,
}
-- Texts the engine returned (panel names, parents, hit names) join the pool,
-- so later calls use real names too.
local returned, returnedCount = {}, 0
local kinds = 8

local function randomValue()
    local kind = math.random(kinds)
    if kind == 1 then return nil
    elseif kind == 2 then return math.random(2) == 1
    elseif kind == 3 then return ({ {}, { 1, 2 }, { x = 'LevelRoot' } })[math.random(3)]
    elseif kind <= 5 then return numbers[math.random(table.getn(numbers))]
    elseif kind == 6 and returnedCount > 0 then return returned[math.random(returnedCount)]
    else return texts[math.random(table.getn(texts))] end
end

local function remember(...)
    for i = 1, select('#', ...) do
        local value = select(i, ...)
        if type(value) == 'string' and string.len(value) < 200 and returnedCount < 200
            and value ~= 'fuzztimer' then
            returnedCount = returnedCount + 1
            returned[returnedCount] = value
        end
    end
end

local function handle(name, ok, ...)
    if not ok then
        failures = failures + 1
        if table.getn(failed) < 20 then
            table.insert(failed, name .. ': ' .. tostring((...)))
        end
    else
        remember(...)
    end
end

local function oneCall()
    local name = FUZZ_FUNCTIONS[math.random(table.getn(FUZZ_FUNCTIONS))]
    local count = math.random(0, 10)
    local args = {}
    for i = 1, count do args[i] = randomValue() end
    handle(name, pcall(_G[name], unpack(args, 1, count)))
    done = done + 1
    -- A backward FastForward makes the world wait for the real clock to catch
    -- up again; move the clock forward so the generator keeps its pace.
    local lag = GetSimulationTime() - GetTick()
    if lag > 0 then FastForward(lag + 20) end
end

function FuzzBatch()
    for i = 1, FUZZ_PER_BATCH do
        if done >= FUZZ_TOTAL then break end
        oneCall()
    end
    if done >= FUZZ_TOTAL then
        local out = io.open('fuzz-done', 'w')
        out:write(done, ' ', failures, ' ', touched, ' ', math.floor(os.clock() * 1000), '\n')
        for _, line in ipairs(failed) do out:write(line, '\n') end
        out:close()
        ShutDown()
        return
    end
    AddActorMessage('fuzztimer', GetSimulationTime() + 20, 7, 'FuzzBatch()', '', 0, 0, 0, 0)
end

AddActor('fuzztimer')
AddActorMessage('fuzztimer', 40, 7, 'FuzzBatch()', '', 0, 0, 0, 0)
"""


def fuzz_level(total, seed, long_text):
    names = [name for name in function_names() if name not in EXCLUDED]
    per_batch = 250
    return (FUZZ_LEVEL.replace("@TOTAL@", str(total))
            .replace("@PER_BATCH@", str(per_batch))
            .replace("@FUNCTIONS@", ", ".join("'%s'" % name for name in names))
            .replace("@SEED@", str(seed))
            .replace("@LONG@", str(long_text)))


def closed_port():
    """A bound but not listening socket: connections to it are refused."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind(("127.0.0.1", 0))
    return sock


def stand_in_opener(folder):
    """An xdg-open that records its argument instead of opening a desktop."""
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "xdg-open")
    with open(path, "w") as out:
        out.write("#!/bin/sh\necho opened >> \"%s/opened.txt\"\n" % folder)
    os.chmod(path, os.stat(path).st_mode | stat.S_IEXEC)
    return folder


def test_every_script_function_survives_random_arguments():
    total = int(os.environ.get("VANTOR_FUZZ_CALLS", "20000"))
    seed = int(os.environ.get("VANTOR_FUZZ_SEED", "20261206"))
    long_text = int(os.environ.get("VANTOR_FUZZ_LONG_TEXT", "20000"))
    port = closed_port()
    try:
        with Game(levels={"start.lua": fuzz_level(total, seed, long_text)}) as game:
            keys = dict(harness.DEFAULT_SETUP, music=1,
                        downloadurl="http://127.0.0.1:%d/" % port.getsockname()[1])
            game.write_setup(keys)
            opener = stand_in_opener(game.path("opener"))
            started = time.time()
            game.start(env={"PATH": opener + os.pathsep + os.environ.get("PATH", "")})
            code = game.wait(timeout=int(os.environ.get("VANTOR_FUZZ_TIMEOUT", "240")))
            elapsed = time.time() - started
            if code != 0:
                with open(game.stderr_path, errors="replace") as err:
                    stderr = err.read()[-3000:]
                raise AssertionError("exit code %s; log tail:\n%s\nstderr tail:\n%s"
                                     % (code, "\n".join(game.log()[-30:]), stderr))
            assert game.exists("bin/fuzz-done"), "no marker; log tail:\n" + "\n".join(
                game.log()[-30:])
            lines = game.read("bin/fuzz-done").splitlines()
            done, failures, touched, level_ms = (int(float(v)) for v in lines[0].split())
            print("fuzz: %d calls, %d raised errors, %d callbacks, %.1f s of engine CPU, "
                  "%.1f s in all" % (done, failures, touched, level_ms / 1000.0, elapsed))
            assert done == total, lines
            assert failures == 0, "script functions raised Lua errors:\n" + "\n".join(lines[1:])
            assert_in_order(game.log(), TEARDOWN)
            assert game.exists("opener/opened.txt"), "StartWebBrowser never reached xdg-open"
    finally:
        port.close()


harness.main(globals())
