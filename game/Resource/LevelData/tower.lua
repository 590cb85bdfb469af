-- The tower: the third level.
--
-- It opens with a camera flight that sweeps in over the tower ahead of you
-- and settles behind the ball (F skips it). Steps climb in a spiral around
-- the tower's column to the summit and its crown gem: jump from step to
-- step, turning right; on the left, behind
-- you, a lift rides up to a perch with the second gem. The gate behind the
-- start leads back to the hub. The mouse switches to the free edit camera
-- here; Return comes back to the ball.

Level = { editstateallowed = "1", cameracollision = "Solid" }

local demo = dofile("../Resource/LevelData/common.lua")
demo.begin("tower.lua", "The Tower")

-- Dusk.
SetSkyBox("Vantor/SkyTower")
SetFog(0.69, 0.46, 0.5, 22, 70)
-- The sound effects folder as a resource group of its own: levels can add
-- folders or archives of extra material at run time the same way.
AddResourceLocation("DemoSounds", "../Resource/Music", "FileSystem")

demo.floor("Vantor/DuskGrass")

-- The tower: a column under the summit, and eight steps spiralling up
-- around it, starting in front of the ball and climbing to its right, each
-- 0.4 above the last: every step is a small jump.
local TOWER_X, STAIR_RADIUS = 10, 5.8
demo.actor("Column", "Pillar.mesh", "Solid", TOWER_X, 0, 0)
local STEP_COLOURS = { "Vantor/SlabBlue", "Vantor/SlabGreen", "Vantor/SlabAmber", "Vantor/SlabRose",
    "Vantor/SlabViolet", "Vantor/SlabBlue", "Vantor/SlabGreen", "Vantor/SlabAmber" }
for i = 1, 8 do
    local angle = 180 - (i - 1) * 45
    local name = "Step" .. i
    demo.actor(name, "Step.mesh", "Solid", TOWER_X + STAIR_RADIUS * math.cos(math.rad(angle)),
        i * 0.4, STAIR_RADIUS * math.sin(math.rad(angle)), -angle)
    demo.paint(name, STEP_COLOURS[i])
end
-- The summit turned by 45 degrees: the last step, on a diagonal, then faces
-- its whole edge instead of a corner, one short jump away.
demo.platform("Summit", TOWER_X, 3.5, 0, "Vantor/SlabWhite", 45, true)
demo.gem("Gem1", TOWER_X, 4.25, 0)

-- The lift, well away from the steps: it rides up to the perch behind it.
demo.lift("Lift", -6, 0.3, -8, "Vantor/SlabBlue")
function LiftCycle()
    local now = GetSimulationTime()
    AddActorMessage("Lift", now + 8000, 7, "LiftCycle()", "", 0, 0, 0, 0)
    AddActorMessage("Lift", now, 5, "", "", 0, 1.6, 0, 0)
    AddActorMessage("Lift", now + 2000, 5, "", "", 0, 0, 0, 0)
    AddActorMessage("Lift", now + 4000, 5, "", "", 0, -1.6, 0, 0)
    AddActorMessage("Lift", now + 6000, 5, "", "", 0, 0, 0, 0)
end
AddActorMessage("Lift", 0, 7, "LiftCycle()", "", 0, 0, 0, 0)
demo.platform("Perch", -6, 3.5, -13, "Vantor/SlabRose")
demo.gem("Gem2", -6, 4.25, -13)

demo.exit("ToHub", -12, 0, 0, "hub.lua")
for i, p in ipairs({ {-16, 12}, {2, 16}, {22, 10}, {24, -12}, {4, -18}, {-20, -6} }) do
    demo.prop("Tree" .. i, "Tree.mesh", p[1], 0, p[2], i * 53)
end

-- The opening flight: the camera's follow point (placed relative to the
-- ball, which faces the tower) runs along a spline for five seconds while
-- the ball is held still. The camera always looks at the ball, so the tower
-- is in the picture only while the camera is beyond it or behind the ball,
-- near the line through both: the flight starts high beyond the tower (the
-- stair and the crown gem below, the ball past them), swings high round to
-- the left, and comes down behind the ball with the tower ahead. Lower or
-- nearer the side, the picture would be the ball on bare grass. The gate 7
-- behind the ball is passed above its lintel (3.7 high): through it, the
-- veil would fill the picture.
local INTRO_MS = 5000
CreateSpline("Intro")
for _, p in ipairs({ {30, 11, 3}, {24, 13, -6}, {2, 13, -14}, {-17, 10, -4}, {-7.5, 5.5, -1},
                    {-demo.camera.back, demo.camera.up, 0} }) do
    AddSplinePoint("Intro", p[1], p[2], p[3])
end
demo.locked = true
demo.cameraFree = true
SetAvatarState(3)
local introRunning = true
SetElementCaption("ExampleBadgeText", "F: skip the flight")
AddElement("ExampleBadge")

local function endIntro()
    introRunning = false
    demo.locked = false
    demo.cameraFree = false
    SetAvatarState(0)
    RemoveElement("ExampleBadge")
    LogText("demo: the intro is over")
end

table.insert(demo.onTick, function(now)
    if not introRunning then
        return
    end
    if now >= INTRO_MS then
        endIntro()
    else
        local t = now / INTRO_MS
        -- Ease in and out: slow over the tower, slow as it settles.
        SetPosition("_FollowCamera1", InterpolateSpline("Intro", t * t * (3 - 2 * t)))
    end
end)

demo.keys = {
    [33] = function()  -- F: skip the flight; the world catches up in one frame
        if introRunning then
            FastForward(INTRO_MS - GetSimulationTime())
        end
    end,
}

demo.player(-5, 0, 0)
-- The flight starts where the camera is at the level's first picture.
AddActorMessage("_FollowCamera1", 0, 1, "SetLocal", "", 30, 11, 3, 0)
demo.finish()
