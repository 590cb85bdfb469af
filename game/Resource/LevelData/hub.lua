-- The demo hub: a floor, a ring of crates, a sky box and some haze.

CreateSceneNode("", "LevelRoot")

SetSkyBox("Vantor/Sky")
SetFog(0.55, 0.65, 0.8, 60, 400)

CreateSceneNode("LevelRoot", "Floor")
CreateEntity("FloorMesh", "Prefab_Plane")
AttachObject("Floor", "FloorMesh")
SetRotation("Floor", -90, 0, 0)

for i = 1, 8 do
    local name = "Crate" .. i
    CreateSceneNode("LevelRoot", name)
    CreateEntity(name .. "Mesh", "Prefab_Cube")
    AttachObject(name, name .. "Mesh")
    local angle = i * math.pi / 4
    SetPosition(name, 150 * math.cos(angle), 50, 150 * math.sin(angle))
end

LogText("hub: built, " .. GetVersion())
