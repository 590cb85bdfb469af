-- Pieces every demo level shares: the player, progress kept in the "state"
-- script state, the gem counter, the Escape menu, screenshots, the effect and
-- help keys, and one timer that runs the level's per-tick work.
--
-- A level starts with
--     local demo = dofile("../Resource/LevelData/common.lua")
--     demo.begin("hub.lua", "The Hub")
-- (paths are relative to bin/; every level load opens a fresh "lua"
-- state, so this file runs again for each level.)

local demo = {}

-- Key codes of the keys the demo uses.
local KEY = {
    Escape = 1, Q = 16, R = 19, O = 24, F = 33, H = 35, C = 46, V = 47,
    B = 48, N = 49, M = 50, F12 = 88,
}

demo.level = ""        -- this level's file name, for restarting it
demo.title = ""
demo.gems = 0          -- gems collected over the whole game
demo.totalGems = 7     -- gems placed over all levels
demo.counter = ""      -- the counter panel's name
demo.menu = nil        -- the menu panel's name while it is open
demo.sepia = false
demo.musicOn = true
demo.volume = 256
demo.helpShown = false
demo.onTick = {}       -- functions run every tick, in order
demo.ground = ""       -- the node the avatar stood on at the last tick
demo.taken = {}        -- gems taken during this visit of the level

-- Progress lives in the "state" state, which survives level loads: a table
-- with the gem count, the names of the gems taken ("|hub/Gem1|garden/Gem2|")
-- and flags such as the hub door.
local function loadProgress()
    ExecuteCmd("state", "progress = progress or { gems = 0, taken = '|', door = 0, last = '' }")
    local taken = GetStringValue("state", "progress", "taken")
    if taken == "" then
        _ALERT("common.lua: the progress table in the state script state is broken")
    end
    demo.gems = GetFloatValue("state", "progress", "gems")
    demo.cameFrom = GetStringValue("state", "progress", "last")
    -- A digest of the progress in the log tells two play-throughs apart.
    local summary = demo.gems .. taken
    LogText("demo: progress " .. summary .. " " .. GetHash(summary, string.len(summary)))
end

function demo.save(key, value)
    if type(value) == "string" then
        ExecuteCmd("state", string.format("progress.%s = %q", key, value))
    else
        ExecuteCmd("state", string.format("progress.%s = %s", key, tostring(value)))
    end
end

function demo.flag(key)
    return GetFloatValue("state", "progress", key) ~= 0
end

-- An actor hung under LevelRoot with an optional mesh, collision geometry in
-- a space, a world position and a heading in degrees about y.
function demo.actor(name, mesh, space, x, y, z, yaw)
    AddActor(name)
    AddActorMessage(name, 0, 0, "LevelRoot", "Keep", 0, 0, 0, 0)
    if mesh then
        AddActorMessage(name, 0, 3, mesh, "", 0, 0, 0, 0)
    end
    if space then
        AddActorMessage(name, 0, 4, mesh, space, 0, 0, 0, 0)
    end
    AddActorMessage(name, 0, 1, "", "", x, y, z, 0)
    if yaw and yaw ~= 0 then
        AddActorMessage(name, 0, 2, "", "", 0, 1, 0, yaw)
    end
end

-- A piece of scenery: a plain scene node with an entity, no actor.
function demo.prop(name, mesh, x, y, z, yaw)
    CreateSceneNode("LevelRoot", name)
    CreateEntity(name .. "Mesh", mesh)
    AttachObject(name, name .. "Mesh")
    SetPosition(name, x, y, z)
    if yaw then
        SetRotation(name, 0, 1, 0, yaw)
    end
end

-- The player: the avatar actor with its body, a collision geometry of its
-- own in "Player" (so trigger and gem callbacks can test it), the heading
-- node and the camera's follow point behind and above it.
function demo.player(x, y, z)
    CreateCollisionSpace("Player", "")
    demo.actor("_AVATAR", "Ball.mesh", "Player", x, y, z)
    CreateSceneNode("LevelRoot", "ROT1")
    -- The follow point is an actor of its own, attached to the avatar once
    -- the avatar's Attach message has made its node: a level load then
    -- removes it with the other actors. (A plain scene node below the
    -- avatar's node outlives the level and is in the next level's way.)
    AddActor("_FollowCamera1")
    AddActorMessage("_FollowCamera1", 0, 0, "_AVATAR", "Relative", 0, 0, 0, 0)
    AddActorMessage("_FollowCamera1", 0, 1, "SetLocal", "", -4.5, 2.2, 0, 0)
    SetCameraDampening(3)
end

-- A gem: spins in place and is taken by touching it. Gems taken before (in
-- any visit of the level) are not placed again.
function demo.gem(name, x, y, z)
    local id = demo.level .. "/" .. name
    if string.find(GetStringValue("state", "progress", "taken"), "|" .. id .. "|", 1, true) then
        return
    end
    demo.actor(name, "Gem.mesh", "Pickups", x, y, z)
    AddActorMessage(name, 0, 6, "", "", 0, 1, 0, 120)
end

function GemTaken(name)
    -- Removing the gem ends the contact, so this runs once per gem; the
    -- guard keeps a second registration from counting it twice.
    if demo.taken[name] then
        return
    end
    demo.taken[name] = true
    RemoveActor(name)
    demo.gems = demo.gems + 1
    demo.save("gems", demo.gems)
    ExecuteCmd("state", string.format("progress.taken = progress.taken .. %q", demo.level .. "/" .. name .. "|"))
    Play2DSound("pickup.wav", 220)
    demo.showCount()
    -- Flash the counter gold for half a second.
    SetElementMaterial(demo.counter, "Vantor/PanelGold")
    AddActorMessage("Clock", GetSimulationTime() + 500, 7,
        "SetElementMaterial('" .. demo.counter .. "', 'GameOverlayMaterial')", "", 0, 0, 0, 0)
    LogText("demo: gem taken " .. name .. ", " .. demo.gems .. " in all")
end

function demo.showCount()
    SetElementCaption(demo.counter .. "_TA", "Gems: " .. demo.gems .. " / " .. demo.totalGems)
end

-- An exit: a see-through box that loads the next level when touched.
function demo.exit(name, x, y, z, nextLevel)
    demo.actor(name, "Trigger.mesh", "Exits", x, y, z)
    demo.exits[name] = nextLevel
end

function ExitReached(name)
    local nextLevel = demo.exits[name]
    if nextLevel and not demo.leaving then
        demo.leaving = true
        demo.save("last", demo.level)
        StopAllSounds()
        LogText("demo: leaving " .. demo.level .. " for " .. nextLevel)
        coreLoadLevel(nextLevel)
    end
end

-- Per-tick work: the level's functions, the ground the avatar stands on
-- (logged when it changes) and the fall guard.
function DemoTick()
    local now = GetSimulationTime()
    for _, fn in ipairs(demo.onTick) do
        fn(now)
    end
    local ground = GetParent("_AVATAR")
    if ground ~= demo.ground and ground ~= "" then
        demo.ground = ground
        LogText("demo: avatar stands on " .. ground)
    end
    local _, y = GetPosition("_AVATAR")
    if y < -20 then
        LogText("demo: the avatar fell off the world")
        ResetBody()
    end
    AddActorMessage("Clock", now + 20, 7, "DemoTick()", "", 0, 0, 0, 0)
end

-- Everything a level has in common; call first.
function demo.begin(level, title)
    demo.level = level
    demo.title = title
    demo.exits = {}
    CreateSceneNode("", "LevelRoot")
    CreateCollisionSpace("Solid", "")
    CreateCollisionSpace("Pickups", "")
    CreateCollisionSpace("Exits", "")
    loadProgress()
    demo.counter = CreatePanel("Gems: 0 / 0", 20, 550)
    demo.showCount()
    ShowText(title .. "  (" .. GetVersion() .. ")")
    SetElementCaption("OVEExampleText", "WASD walk, Space jump, C sepia, H help\n"
        .. "M music, V volume, F12 screenshot, Esc menu")
    PlayStream("music.wav")
    AddActor("Clock")
    -- First at the first tick, when the actors of the level have their nodes.
    AddActorMessage("Clock", 20, 7, "DemoTick()", "", 0, 0, 0, 0)
end

-- Call last: the callbacks that need the player.
function demo.finish()
    RegisterCollisionCallback("_AVATAR", "Pickups", "GemTaken")
    RegisterCollisionCallback("_AVATAR", "Exits", "ExitReached")
    LogText("demo: " .. demo.level .. " ready")
end

-- --- the Escape menu -----------------------------------------------------------

local MENU_TEXT = "Menu\n"
    .. "R  restart this level\n"
    .. "B  back to the start point\n"
    .. "N  fetch the news\n"
    .. "O  open the Lua manual in a browser\n"
    .. "Q  quit\n"
    .. "Esc  back to the game"

function demo.closeMenu()
    DestroyPanel(demo.menu)
    demo.menu = nil
    SetAvatarState(1)  -- falls back into play; the landing makes it Ground
end

local function menuChoice(key)
    if key == KEY.R then
        LogText("demo: restarting " .. demo.level)
        coreLoadLevel(demo.level)
    elseif key == KEY.Q then
        LogText("demo: quitting")
        ShutDown()
    elseif key == KEY.B then
        demo.closeMenu()
        ResetBody()
    elseif key == KEY.N then
        -- The news come from setup.downloadurl (see setup.lua); without a
        -- server the download fails at once and the menu says so.
        local text = "No news: no server at the download address."
        if GetUrl("news.txt", "news.txt") == 1 then
            local f = io.open("news.txt", "r")
            if f then
                text = f:read("*a") or ""
                f:close()
            end
        end
        DestroyPanel(demo.menu)
        demo.menu = CreatePanel(MENU_TEXT .. "\n\n" .. text, 220, 150)
    elseif key == KEY.O then
        StartWebBrowser("https://www.lua.org/manual/5.1/")
    end
end

function EscPressed()
    if demo.menu then
        demo.closeMenu()
        return
    end
    demo.menu = CreatePanel(MENU_TEXT, 220, 150)
    SetAvatarState(2)  -- frozen while the menu is open
end

-- --- keys and the engine's other callbacks -----------------------------------

local function screenshot()
    local file = string.format("vantor-%s-%d.png", string.gsub(demo.level, "%.lua$", ""), GetTick())
    SaveScreenshot(file)
    LogText("demo: screenshot " .. file)
end

function Screenshot()
    screenshot()
end

function KeyPressed(key, char)
    if key == KEY.Escape then
        return  -- handled by EscPressed
    end
    if demo.menu then
        menuChoice(key)
        return
    end
    if key == KEY.C then
        demo.sepia = not demo.sepia
        AddCompositor(demo.sepia and "Vantor/Sepia" or "")
    elseif key == KEY.H then
        demo.helpShown = not demo.helpShown
        if demo.helpShown then AddElement("OVEExample") else RemoveElement("OVEExample") end
    elseif key == KEY.M then
        demo.musicOn = not demo.musicOn
        if demo.musicOn then PlayStream("music.wav") else UnloadStream() end
    elseif key == KEY.V then
        -- Cycle the sound-effect volume; the music stays loud.
        demo.volume = demo.volume > 64 and demo.volume / 2 or 256
        SetMasterVolume(demo.volume, 256)
        LogText("demo: effect volume " .. demo.volume)
    elseif key == KEY.F12 then
        screenshot()
    elseif demo.keys and demo.keys[key] then
        demo.keys[key]()
    end
end

function KeyReleased(key, char) end
function StartWalk() end
function EndWalk() end
function StartJump() Play2DSound("jump.wav", 160) end
function EndJump() Play2DSound("land.wav", 120) end
function BumpedIntoSomething(depth) end

-- Return in the free-flying edit camera: back to the avatar.
function AvatarToCamera()
    LogText("demo: back from the edit camera")
    LeaveEditMode()
end

return demo
