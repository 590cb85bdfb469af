"""Soak: many level loads and in-process restarts in one run.

Every level run builds a full scene (actors with meshes, collision geometry,
velocity and spin, queued messages, callbacks, panels, splines, sounds and
music) and then asks for the next load; every few loads the level restarts the
application with ShutDown(1). The test reads the process's resident memory at
the same point of comparable runs and prints the growth: once for the first
restart (what the process builds once and keeps), per restart after that, and
over the level loads of the first run.

VANTOR_SOAK_LOADS and VANTOR_SOAK_RESTARTS size the run (CI: 30 and 5; the
manual long run, scripts/long-runs.sh: 100 and 20). The first run does the
loads, every restarted run loads twice.
"""
import os
import time

import harness
from harness import TEARDOWN, Game, assert_in_order

# The counters live in files: the "lua" state is new at every load and every
# script state is new after a restart.
SOAK_LEVEL = r"""
local function count(file)
    local f = io.open(file, 'r')
    local n = f and tonumber(f:read('*a')) or 0
    if f then f:close() end
    return n
end
local function store(file, n)
    local f = io.open(file, 'w')
    f:write(n)
    f:close()
end

local loads, runLoads = count('soak-loads') + 1, count('soak-run-loads') + 1
store('soak-loads', loads)
store('soak-run-loads', runLoads)

CreateSceneNode('', 'LevelRoot')
CreateSceneNode('LevelRoot', 'ROT1')
AddActor('_AVATAR')
AddActorMessage('_AVATAR', 0, 0, 'LevelRoot', '', 0, 0, 0, 0)
-- The avatar's node exists once its Attach message is delivered; every
-- other load gives it a follow point, so the camera both follows and only
-- tracks the avatar across loads.
if math.mod(loads, 2) == 0 then
    AddActorMessage('_AVATAR', 0, 7,
        "CreateSceneNode('_AVATAR', '_FollowCamera1') SetPosition('_FollowCamera1', -12, 6, 0)",
        '', 0, 0, 0, 0)
end
CreateCollisionSpace('Solid', '')
CreateCollisionSpace('Triggers', '')
SetSkyBox('Vantor/Sky')
SetFog(0.55, 0.65, 0.8, 60, 400)
AddActor('Ground')
AddActorMessage('Ground', 0, 0, 'LevelRoot', '', 0, 0, 0, 0)
AddActorMessage('Ground', 0, 3, 'Ground.mesh', '', 0, 0, 0, 0)
AddActorMessage('Ground', 0, 4, 'Ground.mesh', 'Solid', 0, 0, 0, 0)
for i = 1, 40 do
    local name = 'Gem' .. i
    AddActor(name)
    AddActorMessage(name, 0, 0, 'LevelRoot', '', 0, 0, 0, 0)
    AddActorMessage(name, 0, 1, '', '', i * 3, 1, 0, 0)
    AddActorMessage(name, 0, 3, 'Gem.mesh', '', 0, 0, 0, 0)
    AddActorMessage(name, 0, 4, 'Gem.mesh', 'Triggers', 0, 0, 0, 0)
    AddActorMessage(name, 0, 5, '', '', 0, 0, 1, 0)
    AddActorMessage(name, 0, 6, '', '', 0, 1, 0, 90)
    AddActorMessage(name, 100000 + i, 5, '', '', 0, 1, 0, 0)
    RegisterCollisionCallback(name, 'Solid', 'Touched', 1)
end
AddActorMessage('Gem1', 0, 9, 'hum.wav', 'Loop', 0, 0, 0, 128)
PlayStream('music.wav')
CreateSpline('Path')
for i = 1, 20 do AddSplinePoint('Path', i, 0, i * 2) end
local panel = CreatePanel('soak ' .. loads, 10, 10)
AddElement('OVEStats')
function Touched(names) end
function StartWalk() end function EndWalk() end function StartJump() end
function EndJump() end function BumpedIntoSomething(depth) end

LogText('soak load ' .. loads .. ' run load ' .. runLoads)

function Next()
    if runLoads < (count('soak-runs') == 0 and @FIRST_RUN@ or 2) then
        coreLoadLevel('soak.lua')
    else
        store('soak-run-loads', 0)
        local runs = count('soak-runs') + 1
        store('soak-runs', runs)
        ShutDown(runs <= @RESTARTS@ and 1 or 0)
    end
end
AddActor('timer')
-- Halfway to the next load the level is built and drawn, and nothing is
-- loading or tearing down: the point where resident memory is sampled.
AddActorMessage('timer', 100, 7, "LogText('soak steady " .. runLoads .. "')", '', 0, 0, 0, 0)
AddActorMessage('timer', 200, 7, 'Next()', '', 0, 0, 0, 0)
"""


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no VmRSS for pid %d" % pid)


def slope(values):
    """Least-squares growth per step; one odd sample moves it little."""
    n = len(values)
    if n < 2:
        return 0.0
    mean_x, mean_y = (n - 1) / 2.0, sum(values) / float(n)
    spread = sum((x - mean_x) ** 2 for x in range(n))
    return sum((x - mean_x) * (y - mean_y) for x, y in enumerate(values)) / spread


def test_loads_and_restarts_in_one_process():
    loads = int(os.environ.get("VANTOR_SOAK_LOADS", "30"))
    restarts = int(os.environ.get("VANTOR_SOAK_RESTARTS", "5"))
    runs = restarts + 1
    # The first run does the loads; every restarted run loads twice.
    first_run = max(6, loads)
    total = first_run + 2 * restarts
    level = (SOAK_LEVEL.replace("@FIRST_RUN@", str(first_run))
             .replace("@RESTARTS@", str(restarts)))
    with Game(setup={"music": 1, "startlevel": "soak.lua"}, levels={"soak.lua": level}) as game:
        started = time.time()
        game.start()
        # Each sample is taken when a load reports that its level is built and
        # drawn, halfway to the next load; the load's number in its run makes
        # samples of different runs comparable.
        samples, seen = {}, 0
        deadline = time.time() + 280
        while game.proc.poll() is None and time.time() < deadline:
            marks = game.log_with("soak steady ")
            for mark in marks[seen:]:
                run_load = int(mark.rsplit(" ", 1)[1])
                try:
                    samples.setdefault(run_load, []).append(rss_kb(game.proc.pid))
                except (OSError, AssertionError):
                    pass
            seen = len(marks)
            time.sleep(0.02)
        code = game.wait(timeout=30)
        elapsed = time.time() - started
        log = game.log()
        assert code == 0, "exit code %s; log tail:\n%s" % (code, "\n".join(log[-30:]))
        assert game.read("bin/soak-loads") == str(total), game.read("bin/soak-loads")
        assert len([line for line in log if "~GameApp()" in line]) == runs
        assert_in_order(log, TEARDOWN * runs)
        assert not [line for line in log if "Scripting error" in line], "\n".join(log[-30:])
        # Restarts: the second load of every run. The first restart is shown on
        # its own: what the process keeps once from its first application
        # (driver state, the heap laid out around blocks that outlive it)
        # shows there. Growth is judged from the second run on.
        per_restart = samples[2]
        assert len(per_restart) == runs, "missed samples: %s" % per_restart
        first_restart = per_restart[1] - per_restart[0]
        restart_growth = per_restart[-1] - per_restart[1]
        # Loads: from the fifth load of the first run to its last.
        load_growth = samples[first_run][0] - samples[5][0]
        print("soak: %d loads, %d restarts in %.1f s" % (total, restarts, elapsed))
        print("soak: VmRSS (kB) at load 2 of each run: %s" % per_restart)
        print("soak: first restart: %+d kB" % first_restart)
        print("soak: later restarts: %+d kB over %d (%+.1f kB per restart, fitted: %+.1f)"
              % (restart_growth, runs - 2, restart_growth / max(1, runs - 2),
                 slope(per_restart[1:])))
        print("soak: level loads: %+d kB over %d" % (load_growth, first_run - 5))
        print("soak: whole run: %+d kB from load 5 of the first run to the end"
              % (per_restart[-1] - samples[5][0]))
        restart_limit = int(os.environ.get("VANTOR_SOAK_MAX_RESTART_GROWTH_KB", "8000"))
        load_limit = int(os.environ.get("VANTOR_SOAK_MAX_LOAD_GROWTH_KB", "8000"))
        assert restart_growth < restart_limit, "resident memory grew by %d kB" % restart_growth
        assert load_growth < load_limit, "resident memory grew by %d kB" % load_growth


harness.main(globals())
