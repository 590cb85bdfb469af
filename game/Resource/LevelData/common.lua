-- Pieces every demo level shares: the player and its camera, progress kept
-- in the "state" script state, the gem counter, the level's title, the help,
-- the Escape menu, screenshots, the effect keys, and one timer that runs the
-- level's per-tick work.
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
    B = 48, N = 49, M = 50, F1 = 59, F12 = 88,
}

-- The camera sits this far behind the ball and this high above its centre:
-- low enough that the horizon stays in the picture, high enough to see the
-- ground ahead. Dampening 0.6 keeps it close behind a walking ball.
local CAMERA_BACK, CAMERA_UP, CAMERA_DAMPENING = 4.6, 1.4, 0.6
demo.camera = { back = CAMERA_BACK, up = CAMERA_UP }
-- The ball's radius: the avatar's physics sphere.
local RADIUS = 0.25

demo.level = ""        -- this level's file name, for restarting it
demo.title = ""
demo.gems = 0          -- gems collected over the whole game
demo.totalGems = 7     -- gems placed over all levels
demo.counter = ""      -- the counter panel's name
demo.menu = nil        -- the menu panel's name while it is open
demo.help = nil        -- the help panel's name while it is shown
demo.sepia = false
demo.musicOn = true
demo.volume = 256
demo.statsShown = false
demo.onTick = {}       -- functions run every tick, in order
demo.onReset = {}      -- functions run after the ball was put back at the start
demo.ground = ""       -- the node the avatar stood on at the last tick
demo.taken = {}        -- gems taken during this visit of the level
demo.locked = false    -- the level holds the ball still (the tower's flight)
demo.cameraFree = false  -- the level moves the follow point itself
demo.start = { 0, 0, 0 }

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

-- --- building the level ---------------------------------------------------------

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

-- Gives an actor's mesh a material of the level for good (a Material message
-- with no time limit).
function demo.paint(name, material)
    AddActorMessage(name, 0, 8, material, "", 0, 0, 0, 0)
end

-- A solid platform. Raised platforms stand on the ground (Block.mesh, a
-- column with the platform's footprint), so the ball cannot roll in under
-- them; moving ones float (Platform.mesh).
function demo.platform(name, x, y, z, material, yaw, floating)
    demo.actor(name, floating and "Platform.mesh" or "Block.mesh", "Solid", x, y, z, yaw)
    demo.paint(name, material)
end

-- A lift: a platform on a column that rises out of the ground with it, so
-- nothing can roll in under the raised platform (and be crushed when it
-- comes down). Move the platform with Velocity messages; the column, an
-- actor attached to it, follows.
function demo.lift(name, x, y, z, material)
    demo.platform(name, x, y, z, material, 0, true)
    local column = name .. "Column"
    AddActor(column)
    AddActorMessage(column, 0, 0, name, "Relative", 0, 0, 0, 0)
    AddActorMessage(column, 0, 3, "Block.mesh", "", 0, 0, 0, 0)
    AddActorMessage(column, 0, 4, "Block.mesh", "Solid", 0, 0, 0, 0)
    AddActorMessage(column, 0, 1, "SetLocal", "", 0, -0.4, 0, 0)
    demo.paint(column, "Vantor/Stone")
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

-- The player, resting on the surface at height y, facing +x:
-- - "_AVATAR", the avatar's actor, whose node the engine keeps at the centre
--   of the physics sphere. Its collision geometry (in "Player", so trigger
--   and gem callbacks can test it) is a sphere of the same size;
-- - "Ball", the visible ball, a child that rolls as the avatar moves;
-- - "ROT1", the heading node, and "_FollowCamera1", the point the camera
--   springs to. The follow point is an actor attached to the avatar once the
--   avatar's Attach message has made its node: a level load then removes it
--   with the other actors. (A plain scene node below the avatar's node
--   outlives the level and is in the next level's way.)
function demo.player(x, y, z)
    demo.start = { x, y + RADIUS, z }
    CreateCollisionSpace("Player", "")
    demo.actor("_AVATAR", nil, nil, x, y + RADIUS, z)
    AddActorMessage("_AVATAR", 0, 4, "Avatar.mesh", "Player", 0, 0, 0, 0)
    AddActor("Ball")
    AddActorMessage("Ball", 0, 0, "_AVATAR", "Relative", 0, 0, 0, 0)
    AddActorMessage("Ball", 0, 3, "Avatar.mesh", "", 0, 0, 0, 0)
    CreateSceneNode("LevelRoot", "ROT1")
    AddActor("_FollowCamera1")
    AddActorMessage("_FollowCamera1", 0, 0, "_AVATAR", "Relative", 0, 0, 0, 0)
    AddActorMessage("_FollowCamera1", 0, 1, "SetLocal", "", -CAMERA_BACK, CAMERA_UP, 0, 0)
    SetCameraDampening(CAMERA_DAMPENING)
end

-- Back to the start: the ball is placed resting on the start and lands there.
function demo.backToStart()
    ResetBody()
    if demo.locked then
        SetAvatarState(3)
    end
    -- Delivered at the next tick, before the avatar's physics step.
    AddActorMessage("_AVATAR", GetSimulationTime(), 1, "", "",
        demo.start[1], demo.start[2], demo.start[3], 0)
    for _, fn in ipairs(demo.onReset) do
        fn()
    end
    LogText("demo: back at the start")
end

-- A gem: spins in place and is taken by touching its pick-up volume, a box
-- well wider than the gem. Gems taken before (in any visit of the level) are
-- not placed again. y is the height of the gem's centre.
function demo.gem(name, x, y, z)
    local id = demo.level .. "/" .. name
    if string.find(GetStringValue("state", "progress", "taken"), "|" .. id .. "|", 1, true) then
        return
    end
    demo.actor(name, "Gem.mesh", nil, x, y, z)
    AddActorMessage(name, 0, 4, "Pickup.mesh", "Pickups", 0, 0, 0, 0)
    demo.paint(name, "Vantor/Gem")
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
    if demo.gems == demo.totalGems then
        demo.notice("All " .. demo.totalGems .. " gems!", 3000)
    end
    LogText("demo: gem taken " .. name .. ", " .. demo.gems .. " in all")
end

function demo.showCount()
    SetElementCaption(demo.counter .. "_TA", "Gems: " .. demo.gems .. " / " .. demo.totalGems)
end

-- An exit: a gate whose shimmering veil loads the next level when the ball
-- passes through it. The gate stands across x, to be walked through along x.
function demo.exit(name, x, y, z, nextLevel)
    demo.actor(name .. "Gate", "Gate.mesh", "Solid", x, y, z)
    demo.actor(name, "Veil.mesh", "Exits", x, y, z)
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

-- --- panels -----------------------------------------------------------------------

-- Panels are placed on an 800 by 600 screen; a line of their text is about
-- 24 pixels high and a letter some 12 wide.
local function centredX(text)
    local widest = 0
    for line in string.gfind(text .. "\n", "([^\n]*)\n") do
        widest = math.max(widest, string.len(line))
    end
    return math.max(10, math.floor(400 - widest * 6.5))
end

-- A notice in the middle of the screen for `ms` milliseconds; a newer one
-- replaces it.
function demo.notice(text, ms)
    if demo.noticePanel then
        DestroyPanel(demo.noticePanel)
    end
    demo.noticePanel = CreatePanel(text, centredX(text), 440)
    local panel = demo.noticePanel
    AddActorMessage("Clock", GetSimulationTime() + (ms or 1500), 7,
        "DemoNoticeOver('" .. panel .. "')", "", 0, 0, 0, 0)
end

function DemoNoticeOver(panel)
    if demo.noticePanel == panel then
        DestroyPanel(panel)
        demo.noticePanel = nil
    end
end

-- The level's name in the upper middle for the first seconds, with where
-- to find the keys.
local function showTitle(title)
    local text = title .. "\nH shows the keys"
    local panel = CreatePanel(text, centredX(text), 110)
    AddActorMessage("Clock", 3000, 7, "DestroyPanel('" .. panel .. "')", "", 0, 0, 0, 0)
end

local HELP_TEXT = "W, S: roll forward, back\n"
    .. "A, D: turn\n"
    .. "Space: jump\n"
    .. "C: sepia    M: music    V: effect volume\n"
    .. "F1: frame rate    F12: screenshot\n"
    .. "H: hide this help    Esc: menu"

-- --- every tick -------------------------------------------------------------------

-- The ball rolls: it turns about its sideways axis by the distance it moved
-- forward, divided by its radius. The follow point, behind the ball, gives
-- the heading.
local roll, lastX, lastZ = 0, nil, nil
local function rollBall(ax, az)
    if lastX then
        local fx, _, fz = GetPosition("_FollowCamera1")
        local hx, hz = ax - fx, az - fz
        local length = math.sqrt(hx * hx + hz * hz)
        if length > 1e-3 then
            local forward = ((ax - lastX) * hx + (az - lastZ) * hz) / length
            roll = math.mod(roll - math.deg(forward / RADIUS), 360)
            SetRotation("Ball", 0, 0, 1, roll)
        end
    end
    lastX, lastZ = ax, az
end

-- Per-tick work: the level's functions, the camera, the ball's roll, the
-- ground the avatar stands on (logged when it changes) and the fall guard.
function DemoTick()
    local now = GetSimulationTime()
    for _, fn in ipairs(demo.onTick) do
        fn(now)
    end
    local ax, ay, az = GetPosition("_AVATAR")
    if not demo.cameraFree then
        rollBall(ax, az)
    end
    local ground = GetParent("_AVATAR")
    if ground ~= demo.ground and ground ~= "" then
        demo.ground = ground
        LogText("demo: avatar stands on " .. ground)
    end
    if ay < -20 then
        LogText("demo: the avatar fell off the world")
        demo.backToStart()
    end
    AddActorMessage("Clock", now + 20, 7, "DemoTick()", "", 0, 0, 0, 0)
end

-- --- the level's frame ------------------------------------------------------------

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
    AddActor("Clock")
    -- Top right, clear of the frame statistics (F1) at the bottom left.
    demo.counter = CreatePanel("Gems: 0 / 0", 640, 16)
    demo.showCount()
    showTitle(title)
    ShowText(title .. "  (" .. GetVersion() .. ")")
    PlayStream("music.wav")
    -- First at the first tick, when the actors of the level have their nodes.
    AddActorMessage("Clock", 20, 7, "DemoTick()", "", 0, 0, 0, 0)
end

-- The ground of the level: Ground.mesh under the level's own grass.
function demo.floor(material)
    demo.actor("Ground", "Ground.mesh", "Solid", 0, 0, 0)
    demo.paint("Ground", material)
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

-- Leaves the menu. The ball was frozen while it was open; it goes on in the
-- air and lands on whatever it stands on at the next step.
function demo.closeMenu()
    DestroyPanel(demo.menu)
    demo.menu = nil
    SetAvatarState(demo.locked and 3 or 1)
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
        demo.backToStart()
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
        demo.menu = CreatePanel(MENU_TEXT .. "\n\n" .. text, 200, 130)
    elseif key == KEY.O then
        StartWebBrowser("https://www.lua.org/manual/5.1/")
    end
end

function EscPressed()
    if demo.menu then
        demo.closeMenu()
        return
    end
    demo.menu = CreatePanel(MENU_TEXT, 200, 130)
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
        if demo.help then
            DestroyPanel(demo.help)
            demo.help = nil
        else
            demo.help = CreatePanel(HELP_TEXT, 20, 20)
        end
    elseif key == KEY.F1 then
        -- The engine's frame statistics box.
        demo.statsShown = not demo.statsShown
        if demo.statsShown then
            AddElement("Core/StatsPanel")
        else
            RemoveElement("Core/StatsPanel")
        end
    elseif key == KEY.M then
        demo.musicOn = not demo.musicOn
        if demo.musicOn then PlayStream("music.wav") else UnloadStream() end
        demo.notice(demo.musicOn and "Music on" or "Music off")
    elseif key == KEY.V then
        -- Cycle the sound-effect volume; the music stays loud.
        demo.volume = demo.volume > 64 and demo.volume / 2 or 256
        SetMasterVolume(demo.volume, 256)
        demo.notice("Effects volume " .. math.floor(demo.volume * 100 / 256) .. " %")
        Play2DSound("pickup.wav", 220)
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
