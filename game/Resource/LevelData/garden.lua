-- The garden: the second level.
--
-- Straight ahead a ramp climbs to a white terrace with a gem and the gate to
-- the tower. Back on the left a green jump pad throws the ball up to a gem
-- hanging high above it; hedges ring the lawn, and a seesaw rocks back and
-- forth on its post.

-- Only the tower lets the mouse switch to the edit camera; the follow camera
-- stays out of the solid geometry.
Level = { editstateallowed = "0", cameracollision = "Solid" }

local demo = dofile("../Resource/LevelData/common.lua")
demo.begin("garden.lua", "The Garden")

-- A warm, hazy afternoon.
SetSkyBox("Vantor/SkyGarden")
SetFog(0.8, 0.84, 0.71, 22, 70)
CreateCollisionSpace("Air", "")

demo.floor("Vantor/Lawn")
demo.actor("Ramp", "Ramp.mesh", "Solid", 4, 0, 0)
demo.paint("Ramp", "Vantor/Flagstones")
-- The terrace lies a step below the ramp's top end: the avatar rolls off
-- the ramp and drops onto it. (Where two meshes meet flush, the sphere can
-- catch on the edge between them and stop.)
demo.platform("Terrace", 14.5, 1.35, 0, "Vantor/SlabWhite")
demo.gem("Gem1", 14, 2.1, 0)
demo.exit("ToTower", 16.5, 1.35, 0, "tower.lua")

-- The jump pad: a plate just above the grass, tested every tick with
-- CollisionTest. Rolling onto it pushes the avatar up with an ambient force
-- for half a second (its body weighs about 0.33, so gravity pulls with 3.2),
-- high enough to take the gem above it. It fires again only once the ball
-- has rolled off it: landing back on it does not throw the ball again.
local PAD_X, PAD_Z = -6, -8
demo.actor("JumpPad", "Plate.mesh", "Air", PAD_X, 0, PAD_Z)
demo.gem("Gem2", PAD_X, 2.6, PAD_Z)
local boostUntil, armed = 0, true
table.insert(demo.onTick, function(now)
    if boostUntil > 0 and now >= boostUntil then
        boostUntil = 0
        SetAmbientForce(0, 0, 0)
    end
    if armed and CollisionTest("_AVATAR", "Air") ~= "" then
        armed = false
        boostUntil = now + 500
        SetAmbientForce(0, 7, 0)
        Play2DSound("jump.wav", 200)
        LogText("demo: jump pad")
    elseif not armed then
        -- Armed again once the ball is clear of the pad's edges.
        local x, _, z = GetPosition("_AVATAR")
        armed = math.abs(x - PAD_X) > 2 or math.abs(z - PAD_Z) > 2
    end
end)
-- Back at the start the pad's push is gone with the rest of the ball's state.
table.insert(demo.onReset, function()
    boostUntil = 0
end)

-- A seesaw on its post: tips 12 degrees one way and back, over and over.
-- Jump onto its lowered end; its raised end stays too low for the ball to
-- roll in under it.
demo.platform("Rocker", 4, 0.45, 10, "Vantor/SlabAmber", 0, true)
demo.actor("RockerPost", "Pillar.mesh", "Solid", 4, -3.05, 10)
function Rock()
    local now = GetSimulationTime()
    AddActorMessage("Rocker", now + 4000, 7, "Rock()", "", 0, 0, 0, 0)
    AddActorMessage("Rocker", now, 6, "AddLocal", "", 1, 0, 0, 6)
    AddActorMessage("Rocker", now + 2000, 6, "AddLocal", "", 1, 0, 0, -6)
end
AddActorMessage("Rocker", 0, 2, "", "", 1, 0, 0, -6)
AddActorMessage("Rocker", 0, 7, "Rock()", "", 0, 0, 0, 0)

-- Hedges around the lawn, and trees.
for i = 0, 5 do
    local angle = i * math.pi / 3 + 0.3
    local name = "Hedge" .. i
    demo.actor(name, "Wall.mesh", "Solid", 22 * math.cos(angle), 0, 22 * math.sin(angle),
        90 - math.deg(angle))
    demo.paint(name, "Vantor/Hedge")
end
for i, p in ipairs({ {-12, 6}, {-14, -14}, {8, -14}, {-3, 16}, {16, -9}, {12, 15} }) do
    demo.prop("Tree" .. i, "Tree.mesh", p[1], 0, p[2], i * 61)
end

-- A welcome that depends on where the player came from.
local from = demo.cameFrom
if from ~= "" then
    LogText("demo: arrived in the garden from " .. from)
end

demo.player(0, 0, 0)
demo.finish()
