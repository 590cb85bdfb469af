#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/GameApp.h"
#include "platform/Clock.h"
#include "support/TempDir.h"

namespace vantor::test {

// A throw-away game folder (Resource/setup.lua, LevelData/, ...) in a fresh
// temporary directory, and a headless application built on it with a
// hand-driven clock. Log lines land in a log file of its own.
class TestGame {
public:
    // `setup` is the text of setup.lua, in which @RESOURCE@ stands for the
    // absolute path of the Resource folder; levels are (file name, Lua text).
    explicit TestGame(const std::string& setup,
                      const std::vector<std::pair<std::string, std::string>>& levels = {});
    ~TestGame();

    // Builds the application (call once the files are in place).
    GameApp& start();
    // Destroys the application; the log stays readable.
    void stop();

    GameApp& app() { return *app_; }
    platform::ManualClock& clock() { return clock_; }
    const std::filesystem::path& dir() const { return dir_.path(); }
    std::filesystem::path resource() const { return dir() / "Resource"; }

    void writeFile(const std::string& relative, const std::string& text) {
        dir_.write(relative, text);
    }
    std::string readFile(const std::string& relative) const { return dir_.read(relative); }

    // Every line of the log, without OGRE's time stamps.
    std::vector<std::string> logLines() const;
    // Lines of the log that contain `text`.
    std::vector<std::string> logLinesWith(const std::string& text) const;

    // Runs Lua text in the "lua" state.
    void run(const std::string& code);
    // The value of a Lua expression as tostring gives it, in a script state.
    std::string eval(const std::string& expression, const std::string& state = "lua");

    // A setup.lua with the usual keys, for tests that do not care.
    static std::string defaultSetup(const std::string& startLevel = "start.lua");

private:
    TempDir dir_;
    platform::ManualClock clock_{1000};
    std::unique_ptr<GameApp> app_;
};

}  // namespace vantor::test
