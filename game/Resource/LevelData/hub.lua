-- The hub: the first level of the demo.
--
-- Walk straight ahead (W) from the start: you drop from the dais onto the
-- turning carousel, step down to the grass, take a gem, pass the green
-- trigger that opens the door, and walk through the door into the exit to
-- the garden. Off the path a lift and a shuttle carry you to two more gems,
-- and a drone flies its round on a spline with a humming sound.

-- Only the tower lets the mouse switch to the edit camera.
Level = { editstateallowed = "0" }

local demo = dofile("../Resource/LevelData/common.lua")
demo.begin("hub.lua", "The Hub")

SetSkyBox("Vantor/Sky")
SetFog(0.55, 0.65, 0.8, 20, 70)
CreateCollisionSpace("Triggers", "")

-- The ground and the path, along +x (the avatar's heading at the start).
demo.actor("Ground", "Ground.mesh", "Solid", 0, 0, 0)
demo.actor("Dais", "Platform.mesh", "Solid", -14, 1.6, 0)
demo.actor("Carousel", "Platform.mesh", "Solid", -9.5, 0.8, 0)
AddActorMessage("Carousel", 0, 6, "", "", 0, 1, 0, 15)  -- 15 degrees a second
demo.gem("Gem1", -3, 0.6, 0)
demo.actor("DoorTrigger", "Trigger.mesh", "Triggers", 2, 0, 0)

-- The door in its wall: the slab is 4 wide and turned to face the path.
demo.actor("Door", "Door.mesh", "Solid", 7, 0, 0, 90)
demo.actor("WallLeft", "Wall.mesh", "Solid", 7, 0, -6, 90)
demo.actor("WallRight", "Wall.mesh", "Solid", 7, 0, 6, 90)
demo.exit("ToGarden", 12, 0, 0, "garden.lua")

local doorOpen = demo.flag("door")
if doorOpen then
    AddActorMessage("Door", 0, 1, "", "", 7, 3.5, 0, 0)  -- opened on an earlier visit
end

function TriggerTouched(name)
    -- Fires every tick of the contact: act once.
    if name ~= "DoorTrigger" or doorOpen then
        return
    end
    doorOpen = true
    demo.save("door", 1)
    local now = GetSimulationTime()
    AddActorMessage("Door", now, 9, "door.wav", "", 0, 0, 0, 230)   -- a sound at the door
    AddActorMessage("Door", now, 5, "", "", 0, 5, 0, 0)             -- rise at 5 units/s
    AddActorMessage("Door", now + 700, 5, "", "", 0, 0, 0, 0)       -- and stop 3.5 up
    AddActorMessage("DoorTrigger", now, 8, "Vantor/Platform", "", 0, 0, 0, 0)  -- used up
    LogText("demo: the door opens")
end
RegisterCollisionCallback("_AVATAR", "Triggers", "TriggerTouched")

-- A lift beside the path: rises 3 units in 2 s, waits, sinks, waits, again.
demo.actor("Lift", "Platform.mesh", "Solid", -4, 0.3, -9)
function LiftCycle()
    local now = GetSimulationTime()
    AddActorMessage("Lift", now, 5, "", "", 0, 1.5, 0, 0)
    AddActorMessage("Lift", now + 2000, 5, "", "", 0, 0, 0, 0)
    AddActorMessage("Lift", now + 3500, 5, "", "", 0, -1.5, 0, 0)
    AddActorMessage("Lift", now + 5500, 5, "", "", 0, 0, 0, 0)
    AddActorMessage("Lift", now + 7000, 7, "LiftCycle()", "", 0, 0, 0, 0)
end
AddActorMessage("Lift", 1000, 7, "LiftCycle()", "", 0, 0, 0, 0)
demo.actor("Ledge", "Platform.mesh", "Solid", -4, 3.3, -14)
demo.gem("Gem2", -4, 3.9, -14)

-- A shuttle going to and fro along x over a ditch of nothing in particular.
demo.actor("Shuttle", "Platform.mesh", "Solid", 0, 0.5, 12)
function ShuttleCycle()
    local now = GetSimulationTime()
    AddActorMessage("Shuttle", now, 5, "", "", 2, 0, 0, 0)
    AddActorMessage("Shuttle", now + 5000, 5, "", "", -2, 0, 0, 0)
    AddActorMessage("Shuttle", now + 10000, 7, "ShuttleCycle()", "", 0, 0, 0, 0)
end
AddActorMessage("Shuttle", 0, 7, "ShuttleCycle()", "", 0, 0, 0, 0)
demo.actor("FarPad", "Platform.mesh", "Solid", 15, 1.0, 12)
demo.gem("Gem3", 15, 1.6, 12)

-- The drone: flies a closed spline around the hub, humming; a beacon on the
-- ground below it follows the ray cast down from it.
CreateSpline("DroneRound")
for _, p in ipairs({ {-16, 4, -16}, {16, 6, -16}, {16, 4, 16}, {-16, 6, 16}, {-16, 4, -16} }) do
    AddSplinePoint("DroneRound", p[1], p[2], p[3])
end
demo.actor("Drone", "Gem.mesh", nil, -16, 4, -16)
AddActorMessage("Drone", 0, 6, "AddLocal", "", 1, 0, 0, 360)  -- tumbling
AddActorMessage("Drone", 0, 9, "hum.wav", "Loop", 0, 0, 0, 160)
demo.prop("Beacon", "Gem.mesh", -16, 0.5, -16)
table.insert(demo.onTick, function(now)
    local x, y, z = InterpolateSpline("DroneRound", math.mod(now, 24000) / 24000)
    SetPosition("Drone", x, y, z)
    local hx, hy, hz, hit = RayTest("Solid", x, y, z, 0, -1, 0, 20)
    if hit ~= "" then
        SetPosition("Beacon", hx, hy + 0.5, hz)
    end
end)

-- Standing stones at the far side, for the eye.
for i = 1, 4 do
    demo.prop("Stone" .. i, "Wall.mesh", -22 + i * 9, 0, -22, i * 20)
end

demo.player(-14, 2.2, 0)
demo.finish()
