#include "support/TestGame.h"

#include <fstream>

#include <lua.h>

#include "script/ScriptVM.h"

namespace vantor::test {

TestGame::TestGame(const std::string& setup,
                   const std::vector<std::pair<std::string, std::string>>& levels) {
    for (const char* sub : {"Resource/LevelData", "Resource/ConfigData", "Resource/Textures"}) {
        std::filesystem::create_directories(dir() / sub);
    }
    std::string text = setup;
    const std::string marker = "@RESOURCE@";
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at)) {
        text.replace(at, marker.size(), resource().string());
    }
    writeFile("Resource/setup.lua", text);
    for (const auto& [name, text] : levels) {
        writeFile("Resource/LevelData/" + name, text);
    }
}

TestGame::~TestGame() {
    stop();
}

GameApp& TestGame::start() {
    AppOptions options;
    options.headless = true;
    options.clock = &clock_;
    options.resourceDir = resource().string();
    options.logFile = (dir() / "Ogre.log").string();
    app_ = std::make_unique<GameApp>(options);
    return *app_;
}

void TestGame::stop() {
    app_.reset();
}

std::vector<std::string> TestGame::logLines() const {
    std::ifstream in(dir() / "Ogre.log");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        // "HH:MM:SS: " stamp
        lines.push_back(line.size() >= 10 ? line.substr(10) : line);
    }
    return lines;
}

std::vector<std::string> TestGame::logLinesWith(const std::string& text) const {
    std::vector<std::string> found;
    for (const std::string& line : logLines()) {
        if (line.find(text) != std::string::npos) {
            found.push_back(line);
        }
    }
    return found;
}

void TestGame::run(const std::string& code) {
    app_->getScriptVM("lua")->executeString(code);
}

std::string TestGame::eval(const std::string& expression, const std::string& state) {
    ScriptVM* vm = app_->getScriptVM(state);
    vm->executeString("__result = tostring(" + expression + ")");
    lua_getglobal(vm->state(), "__result");
    std::string value = lua_isstring(vm->state(), -1) ? lua_tostring(vm->state(), -1) : "";
    lua_pop(vm->state(), 1);
    return value;
}

std::string TestGame::defaultSetup(const std::string& startLevel) {
    return "setup = { sleeptime = 0, window_width = 800, window_height = 600, fullscreen = 0,\n"
           "  rendersystem = 'RenderSystem_GL', shadows = 0, musicdir = '', shadowdistance = 0,\n"
           "  music = 0, startlevel = '" +
           startLevel + "', resourcedir = '@RESOURCE@/LevelData/' }\n";
}

}  // namespace vantor::test
