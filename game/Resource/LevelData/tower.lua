-- The tower: the third level.
--
-- It opens with a camera flight around the avatar along a spline (F skips
-- it). Steps climb in a spiral to the summit and its crown gem, and a lift
-- beside the summit goes up and down. The exit behind the start leads back
-- to the hub. The mouse switches to the free edit camera here; Return comes
-- back to the avatar.

Level = { editstateallowed = "1" }

local demo = dofile("../Resource/LevelData/common.lua")
demo.begin("tower.lua", "The Tower")

SetSkyBox("Vantor/Sky")
SetFog(0.4, 0.32, 0.5, 12, 65)
-- The sound effects folder as a resource group of its own: levels can add
-- folders or archives of extra material at run time the same way.
AddResourceLocation("DemoSounds", "../Resource/Music", "FileSystem")

demo.actor("Ground", "Ground.mesh", "Solid", 0, 0, 0)

-- Six steps spiralling up around the summit, half a unit apart in height.
for i = 1, 6 do
    local angle = math.rad(200 - i * 60)
    demo.actor("Step" .. i, "Platform.mesh", "Solid", 10 + 5 * math.cos(angle), i * 0.5,
        5 * math.sin(angle), -i * 60)
end
demo.actor("Summit", "Platform.mesh", "Solid", 10, 3.5, 0)
demo.gem("Gem1", 10, 4.1, 0)
demo.gem("Gem2", -8, 0.6, 8)

demo.actor("Lift", "Platform.mesh", "Solid", 15, 0.3, 0)
function LiftCycle()
    local now = GetSimulationTime()
    AddActorMessage("Lift", now, 5, "", "", 0, 1.6, 0, 0)
    AddActorMessage("Lift", now + 2000, 5, "", "", 0, 0, 0, 0)
    AddActorMessage("Lift", now + 4000, 5, "", "", 0, -1.6, 0, 0)
    AddActorMessage("Lift", now + 6000, 5, "", "", 0, 0, 0, 0)
    AddActorMessage("Lift", now + 8000, 7, "LiftCycle()", "", 0, 0, 0, 0)
end
AddActorMessage("Lift", 0, 7, "LiftCycle()", "", 0, 0, 0, 0)
demo.actor("Beam", "Wall.mesh", "Solid", 10, 0, -9)
demo.exit("ToHub", -12, 0, 0, "hub.lua")

-- The opening flight: the camera's follow point runs along a spline around
-- the avatar for four seconds while the keys are locked.
local INTRO_MS = 4000
CreateSpline("Intro")
for _, p in ipairs({ {8, 4, 0}, {0, 5, 8}, {-8, 4, 0}, {0, 3, -8}, {-4.5, 2.2, 0} }) do
    AddSplinePoint("Intro", p[1], p[2], p[3])
end
SetAvatarState(3)
local introRunning = true
SetElementCaption("ExampleBadgeText", "Gems: " .. demo.gems .. " of " .. demo.totalGems)
AddElement("ExampleBadge")

local function endIntro()
    introRunning = false
    SetPosition("_FollowCamera1", -4.5, 2.2, 0)
    SetAvatarState(0)
    -- Thin air up here: a steady lift of a third of the avatar's weight makes
    -- the jumps from step to step floaty.
    SetAmbientForce(0, 1.1, 0)
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
        SetPosition("_FollowCamera1", InterpolateSpline("Intro", now / INTRO_MS))
    end
end)

demo.keys = {
    [33] = function()  -- F: skip the flight; the world catches up in one frame
        if introRunning then
            FastForward(INTRO_MS - GetSimulationTime())
        end
    end,
}

demo.player(0, 0.6, 0)
demo.finish()
