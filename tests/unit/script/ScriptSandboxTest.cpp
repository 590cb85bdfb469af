#include <gtest/gtest.h>
#include <lua.h>

#include <filesystem>
#include <fstream>

#include "script/ScriptVM.h"
#include "support/TestGame.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

// A game whose folder has a link out of it, a dangling link whose target is
// outside, and a folder outside it to aim at.
class ScriptSandboxTest : public ::testing::Test {
protected:
    void start(const std::string& extraSetup) {
        game_ = std::make_unique<test::TestGame>(
            test::TestGame::defaultSetup() + extraSetup,
            std::vector<std::pair<std::string, std::string>>{{"start.lua", ""}});
        outside_ = game_->dir().string() + "-outside";
        fs::create_directories(outside_);
        fs::create_directory_symlink(outside_, game_->dir() / "escape");
        fs::create_symlink(outside_ / "dangling.txt", game_->dir() / "dangling");
        game_->start();
        set("game", game_->dir().string());
        set("outside", outside_.string());
        set("setupFile", (game_->resource() / "setup.lua").string());
    }
    ~ScriptSandboxTest() override {
        game_.reset();
        fs::remove_all(outside_);
    }
    void set(const char* name, const std::string& value) {
        lua_State* L = game_->app().getScriptVM("lua")->state();
        lua_pushlstring(L, value.data(), value.size());
        lua_setglobal(L, name);
    }
    // Tries to write a file from Lua; the second result of io.open on failure.
    std::string write(const std::string& pathExpression) {
        return game_->eval(
            "(function() local f, e = io.open(" + pathExpression +
            ", 'w') if not f then return e end f:write('x') f:close() return 'written' "
            "end)()");
    }

    std::unique_ptr<test::TestGame> game_;
    fs::path outside_;
};

TEST_F(ScriptSandboxTest, SandboxedLevelsStayInsideTheGameFolder) {
    start("setup.sandbox = 1\n");
    for (const char* gone : {"os.execute", "io.popen", "os.remove", "os.rename", "os.exit",
                             "package.loadlib", "os.getenv"}) {
        EXPECT_EQ(game_->eval(gone), "nil") << gone;
        EXPECT_EQ(game_->eval(gone, "setup"), "nil") << gone;  // run from setup.lua, then closed
    }
    EXPECT_EQ(write("game .. '/inside.txt'"), "written");
    EXPECT_NE(write("outside .. '/out.txt'").find("is outside the game folder"), std::string::npos);
    EXPECT_NE(write("game .. '/escape/linked.txt'").find("outside"), std::string::npos);
    EXPECT_NE(write("game .. '/dangling'").find("outside"), std::string::npos);
    EXPECT_NE(write("setupFile").find("may not be written by a level"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(outside_));
    EXPECT_EQ(game_->eval("select(2, pcall(dofile, outside .. '/x.lua'))").find("cannot open"), 0u);
    // Precompiled chunks can break out of any Lua sandbox.
    EXPECT_EQ(game_->eval("select(2, loadstring(string.dump(function() end)))"),
              "precompiled (binary) chunks are not allowed");
    // The engine's file functions.
    EXPECT_EQ(game_->eval("GetUrl('x', outside .. '/download.txt')"), "0");
    game_->eval("coreLoadLevel('../../' .. string.match(outside, '[^/]*$') .. '/level.lua')");
    EXPECT_EQ(game_->app().getPendingLevel(), "");
    EXPECT_EQ(game_->logLinesWith("is outside the game folder").size(), 2u);
    EXPECT_TRUE(fs::is_empty(outside_));
    // The desktop handler gets web addresses only, and never an option.
    game_->run("StartWebBrowser('--version') StartWebBrowser('file:///etc/passwd')");
    EXPECT_EQ(game_->logLinesWith("refused --version (it starts with '-')").size(), 1u);
    EXPECT_EQ(game_->logLinesWith("refused file:///etc/passwd (only http and https").size(), 1u);
}

TEST_F(ScriptSandboxTest, WithoutTheSandboxLevelsReachEverywhereButNulBytesAreRefused) {
    start("");
    EXPECT_EQ(game_->eval("type(os.execute)"), "function");
    EXPECT_EQ(write("outside .. '/out.txt'"), "written");
    game_->run(
        "GetUrl('x', 'a.txt\\0.png') SaveScreenshot('x.txt\\0.png') "
        "coreLoadLevel('x.lua\\0.png')");
    EXPECT_EQ(game_->logLinesWith("file name with a NUL byte refused").size(), 3u);
    EXPECT_EQ(game_->app().getPendingLevel(), "");
}

}  // namespace
}  // namespace vantor
