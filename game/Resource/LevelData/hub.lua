-- The hub: the first level of the demo.
--
-- Walk straight ahead (W) from the start on the green dais: you drop onto
-- the turning carousel, roll down to the grass, take a gem, press the red
-- plate that opens the door, and pass through the door and the gate behind
-- it into the garden. Off the path a lift (on the left) and a shuttle (on
-- the right) carry you to two more gems, and a drone flies its round on a
-- spline with a humming sound.

-- Only the tower lets the mouse switch to the edit camera; the follow camera
-- stays out of the solid geometry.
Level = { editstateallowed = "0", cameracollision = "Solid" }

local demo = dofile("../Resource/LevelData/common.lua")
demo.begin("hub.lua", "The Hub")

-- A clear morning. The fog takes the colour of the sky's horizon.
SetSkyBox("Vantor/SkyHub")
SetFog(0.7, 0.78, 0.87, 25, 75)
CreateCollisionSpace("Triggers", "")

-- The ground and the path, along +x (the avatar's heading at the start).
demo.floor("Vantor/Grass")
demo.platform("Dais", -14, 1.6, 0, "Vantor/SlabGreen")
demo.platform("Carousel", -9.5, 0.8, 0, "Vantor/SlabAmber", 0, true)
AddActorMessage("Carousel", 0, 6, "", "", 0, 1, 0, 15)  -- 15 degrees a second
demo.gem("Gem1", -3, 0.75, 0)

-- The red plate in front of the door: rolling over it opens the door.
demo.actor("DoorPlate", "Plate.mesh", "Triggers", 2, 0, 0)
demo.paint("DoorPlate", "Vantor/PlateRed")

-- The door in its wall: the slab is 4 wide and turned to face the path.
demo.actor("Door", "Door.mesh", "Solid", 7, 0, 0, 90)
demo.actor("WallLeft", "Wall.mesh", "Solid", 7, 0, -6, 90)
demo.actor("WallRight", "Wall.mesh", "Solid", 7, 0, 6, 90)
demo.exit("ToGarden", 12, 0, 0, "garden.lua")

local doorOpen = demo.flag("door")
if doorOpen then
    AddActorMessage("Door", 0, 1, "", "", 7, 3.5, 0, 0)  -- opened on an earlier visit
    demo.paint("DoorPlate", "Vantor/PlateGreen")
end

function TriggerTouched(name)
    -- Fires every tick of the contact: act once.
    if name ~= "DoorPlate" or doorOpen then
        return
    end
    doorOpen = true
    demo.save("door", 1)
    local now = GetSimulationTime()
    AddActorMessage("Door", now, 9, "door.wav", "", 0, 0, 0, 230)   -- a sound at the door
    AddActorMessage("Door", now, 5, "", "", 0, 5, 0, 0)             -- rise at 5 units/s
    AddActorMessage("Door", now + 700, 5, "", "", 0, 0, 0, 0)       -- and stop 3.5 up
    AddActorMessage("DoorPlate", now, 8, "Vantor/PlateGreen", "", 0, 0, 0, 0)  -- pressed
    demo.notice("The door opens")
    LogText("demo: the door opens")
end
RegisterCollisionCallback("_AVATAR", "Triggers", "TriggerTouched")

-- A lift on the left of the path: rises 3 units in 2 s to the ledge behind
-- it, waits, sinks, waits, again.
demo.lift("Lift", -4, 0.3, -9, "Vantor/SlabBlue")
function LiftCycle()
    local now = GetSimulationTime()
    AddActorMessage("Lift", now + 7000, 7, "LiftCycle()", "", 0, 0, 0, 0)
    AddActorMessage("Lift", now, 5, "", "", 0, 1.5, 0, 0)
    AddActorMessage("Lift", now + 2000, 5, "", "", 0, 0, 0, 0)
    AddActorMessage("Lift", now + 3500, 5, "", "", 0, -1.5, 0, 0)
    AddActorMessage("Lift", now + 5500, 5, "", "", 0, 0, 0, 0)
end
AddActorMessage("Lift", 1000, 7, "LiftCycle()", "", 0, 0, 0, 0)
demo.platform("Ledge", -4, 3.3, -14, "Vantor/SlabRose")
demo.gem("Gem2", -4, 4.05, -14)

-- A shuttle on the right going to and fro along x; jump onto it, ride it to
-- the far pad and jump up to the gem.
demo.platform("Shuttle", 0, 0.5, 12, "Vantor/SlabBlue", 0, true)
function ShuttleCycle()
    local now = GetSimulationTime()
    AddActorMessage("Shuttle", now + 10000, 7, "ShuttleCycle()", "", 0, 0, 0, 0)
    AddActorMessage("Shuttle", now, 5, "", "", 2, 0, 0, 0)
    AddActorMessage("Shuttle", now + 5000, 5, "", "", -2, 0, 0, 0)
end
AddActorMessage("Shuttle", 0, 7, "ShuttleCycle()", "", 0, 0, 0, 0)
demo.platform("FarPad", 15, 1.0, 12, "Vantor/SlabViolet")
demo.gem("Gem3", 15, 1.75, 12)

-- The drone: flies a closed spline around the hub, humming; a beacon on the
-- ground below it follows the ray cast down from it.
CreateSpline("DroneRound")
for _, p in ipairs({ {-16, 4, -16}, {16, 6, -16}, {16, 4, 16}, {-16, 6, 16}, {-16, 4, -16} }) do
    AddSplinePoint("DroneRound", p[1], p[2], p[3])
end
demo.actor("Drone", "Drone.mesh", nil, -16, 4, -16)
AddActorMessage("Drone", 0, 6, "", "", 0, 1, 0, 90)  -- turning slowly as it flies
AddActorMessage("Drone", 0, 9, "hum.wav", "Loop", 0, 0, 0, 160)
demo.prop("Beacon", "Beacon.mesh", -16, 0, -16)
table.insert(demo.onTick, function(now)
    local x, y, z = InterpolateSpline("DroneRound", math.mod(now, 24000) / 24000)
    SetPosition("Drone", x, y, z)
    local hx, hy, hz, hit = RayTest("Solid", x, y, z, 0, -1, 0, 20)
    if hit ~= "" then
        SetPosition("Beacon", hx, hy, hz)
    end
end)

-- Standing stones at the far side and trees around the lawn, for the eye.
for i = 1, 4 do
    demo.prop("Stone" .. i, "Wall.mesh", -22 + i * 9, 0, -24, i * 20)
end
for i, p in ipairs({ {-24, -6}, {-20, 14}, {-8, 22}, {6, -20}, {22, -8}, {24, 20}, {-26, 4}, {12, 24} }) do
    demo.prop("Tree" .. i, "Tree.mesh", p[1], -0.3, p[2], i * 47)  -- rooted in the hills
end

demo.player(-14, 1.6, 0)
demo.finish()
