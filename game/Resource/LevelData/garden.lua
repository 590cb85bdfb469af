-- The garden: the second level.
--
-- Straight ahead a ramp climbs to a terrace with a gem and the exit to the
-- tower. To the left a jump pad throws the avatar up to a gem on a high pad;
-- hedges of walls ring the lawn, and a platform rocks back and forth.

-- Only the tower lets the mouse switch to the edit camera.
Level = { editstateallowed = "0" }

local demo = dofile("../Resource/LevelData/common.lua")
demo.begin("garden.lua", "The Garden")

SetSkyBox("Vantor/Sky")
SetFog(0.45, 0.7, 0.45, 15, 60)
CreateCollisionSpace("Air", "")

demo.actor("Ground", "Ground.mesh", "Solid", 0, 0, 0)
demo.actor("Ramp", "Ramp.mesh", "Solid", 4, 0, 0)
-- The terrace lies a step below the ramp's top end: the avatar rolls off
-- the ramp and drops onto it. (Where two meshes meet flush, the sphere can
-- catch on the edge between them and stop.)
demo.actor("Terrace", "Platform.mesh", "Solid", 14.5, 1.35, 0)
demo.gem("Gem1", 14, 1.95, 0)
demo.exit("ToTower", 16.5, 1.35, 0, "tower.lua")

-- The jump pad: a green plate just above the grass, tested every tick with
-- CollisionTest. Touching it pushes the avatar up with an ambient force for
-- half a second (its body weighs about 0.33, so gravity pulls with 3.2),
-- enough to land on the high pad beside it.
demo.actor("JumpPad", "Trigger.mesh", "Air", -6, -1.95, -8)
demo.actor("HighPad", "Platform.mesh", "Solid", -6, 2.0, -12)
demo.gem("Gem2", -6, 2.6, -12)
local boostUntil = 0
table.insert(demo.onTick, function(now)
    if boostUntil > 0 and now >= boostUntil then
        boostUntil = 0
        SetAmbientForce(0, 0, 0)
    elseif boostUntil == 0 and CollisionTest("_AVATAR", "Air") ~= "" then
        boostUntil = now + 500
        SetAmbientForce(0, 7, 0)
        Play2DSound("jump.wav", 200)
        LogText("demo: jump pad")
    end
end)

-- A rocking platform: tips 20 degrees one way and back, over and over.
demo.actor("Rocker", "Platform.mesh", "Solid", 4, 0.6, 10)
function Rock()
    local now = GetSimulationTime()
    AddActorMessage("Rocker", now, 6, "AddLocal", "", 1, 0, 0, 10)
    AddActorMessage("Rocker", now + 2000, 6, "AddLocal", "", 1, 0, 0, -10)
    AddActorMessage("Rocker", now + 4000, 7, "Rock()", "", 0, 0, 0, 0)
end
AddActorMessage("Rocker", 0, 2, "", "", 1, 0, 0, -10)
AddActorMessage("Rocker", 0, 7, "Rock()", "", 0, 0, 0, 0)

-- Hedges around the lawn.
for i = 0, 5 do
    local angle = i * math.pi / 3 + 0.3
    demo.prop("Hedge" .. i, "Wall.mesh", 22 * math.cos(angle), 0, 22 * math.sin(angle),
        90 - math.deg(angle))
end

-- A welcome that depends on where the player came from.
local from = demo.cameFrom
if from ~= "" then
    LogText("demo: arrived in the garden from " .. from)
end

demo.player(0, 0.6, 0)
demo.finish()
