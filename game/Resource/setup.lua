-- Start-up settings of the demo game. The engine reads the table `setup`.
setup = {
    sleeptime = 1,              -- ms slept at the top of every frame
    window_width = 800,
    window_height = 600,
    fullscreen = 0,
    rendersystem = "RenderSystem_GL",
    shadows = 0,
    shadowdistance = 500,
    musicdir = "../Resource/Music/",
    music = 1,                  -- 0: no sound system at all
    soundvolume = 4,            -- 0 to 5
    musicvolume = 3,            -- 0 to 5
    startlevel = "hub.lua",
    resourcedir = "../Resource/LevelData/",
    -- The demo menu's "fetch the news" downloads news.txt from here. Serve a
    -- folder with `python3 -m http.server 8080` to try it; without a server
    -- the download fails at once and the menu says so.
    downloadurl = "http://127.0.0.1:8080/",
}
