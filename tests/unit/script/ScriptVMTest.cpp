#include <gtest/gtest.h>
#include <lua.h>

#include <filesystem>

#include "app/GameApp.h"
#include "script/ScriptVM.h"
#include "script/bindings/FunctionTable.h"
#include "support/TestGame.h"

namespace vantor {
namespace {

class ScriptVMTest : public ::testing::Test {
protected:
    ScriptVMTest() : game_(test::TestGame::defaultSetup(), {{"start.lua", "levelValue = 7\n"}}) {
        game_.start();
    }

    test::TestGame game_;
};

TEST_F(ScriptVMTest, ErrorsOfEveryKindReachTheAlertFunction) {
    game_.run("error('boom')");
    game_.run("this is not Lua");
    game_.app().getScriptVM("state")->executeString("error({})");
    game_.app().getScriptVM("lua")->executeFile(game_.resource().string() + "/missing.lua");
    const auto lines = game_.logLines();
    std::vector<std::string> afterAlert;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        // Lines carry the simulation clock as a prefix: "0 Scripting error".
        if (lines[i] == "0 Scripting error") {
            afterAlert.push_back(lines[i + 1]);
        }
    }
    ASSERT_EQ(afterAlert.size(), 4u);
    EXPECT_NE(afterAlert[0].find("boom"), std::string::npos);
    EXPECT_NE(afterAlert[1].find("'=' expected"), std::string::npos);
    EXPECT_NE(afterAlert[2].find("table"), std::string::npos);
    EXPECT_NE(afterAlert[3].find("missing.lua"), std::string::npos);
}

TEST_F(ScriptVMTest, EveryStateGetsLibrariesPathAndTheFunctionTable) {
    for (const char* state : {"setup", "state", "lua"}) {
        EXPECT_EQ(game_.eval("LUA_PATH", state), "?;?.lua") << state;
        EXPECT_EQ(game_.eval("package.path", state), "?;?.lua") << state;
        EXPECT_EQ(game_.eval("GetVersion()", state), "Version: 1.07") << state;
        // Lua 5.0 names that levels written for it use.
        EXPECT_EQ(game_.eval("math.mod(7, 3)", state), "1") << state;
        EXPECT_EQ(game_.eval("table.getn({1, 2})", state), "2") << state;
        EXPECT_EQ(game_.eval("type(string.gfind)", state), "function") << state;
        EXPECT_EQ(game_.eval("type(os.time)", state), "function") << state;
        EXPECT_EQ(game_.eval("type(debug)", state), "nil") << state;
        EXPECT_EQ(game_.eval("type(package.loadlib)", state), "nil") << state;
        for (const ScriptFunctionEntry& entry : scriptFunctionTable()) {
            EXPECT_EQ(game_.eval(std::string("type(") + entry.name + ")", state), "function")
                << state << " " << entry.name;
        }
    }
}

TEST_F(ScriptVMTest, StateSurvivesLevelLoadsWhileLuaStartsAfresh) {
    game_.run("ExecuteCmd('state', 'kept = 42') fromLevel = 1");
    EXPECT_EQ(game_.eval("levelValue"), "7");
    game_.app().loadLevel("");
    EXPECT_EQ(game_.eval("kept", "state"), "42");
    EXPECT_EQ(game_.eval("fromLevel"), "nil");
    EXPECT_EQ(game_.eval("levelValue"), "7");  // the level file ran again
    EXPECT_EQ(game_.eval("GetFloatValue('state', '_G', 'kept')"), "42");
}

TEST_F(ScriptVMTest, RepeatedStatementsRunEveryTimeAgainstCurrentGlobals) {
    ScriptVM* vm = game_.app().getScriptVM("lua");
    const int top = lua_gettop(vm->state());
    for (int i = 0; i < 1000; ++i) {
        vm->executeString("return 1, 2, 3");  // results are dropped, not piled up
    }
    EXPECT_EQ(lua_gettop(vm->state()), top);
    game_.run("count = 0 function Bump(n) count = count + n end");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(vm->executeString("Bump(2)"), 0);
    }
    EXPECT_EQ(game_.eval("count"), "10");

    // A failing statement fails (and is reported) every time it runs.
    const size_t alerts = game_.logLinesWith("Scripting error").size();
    EXPECT_NE(vm->executeString("Missing()"), 0);
    EXPECT_NE(vm->executeString("Missing()"), 0);
    EXPECT_EQ(game_.logLinesWith("Scripting error").size(), alerts + 2);
    game_.run("function Missing() count = -1 end");
    EXPECT_EQ(vm->executeString("Missing()"), 0);
    EXPECT_EQ(game_.eval("count"), "-1");

    // Replacing the globals table: a statement run before runs against the new one.
    game_.run("count = 0");
    EXPECT_EQ(vm->executeString("count = count + 1"), 0);
    game_.run("local G = _G setfenv(0, setmetatable({count = 100}, {__index = G}))");
    EXPECT_EQ(vm->executeString("count = count + 1"), 0);
    game_.run("local G = getmetatable(getfenv(0)).__index G.innerCount = count setfenv(0, G)");
    EXPECT_EQ(game_.eval("count"), "1");
    EXPECT_EQ(game_.eval("innerCount"), "101");

    // Far more distinct statements than are kept: every one still runs.
    game_.run("total = 0");
    for (int i = 0; i < 2000; ++i) {
        vm->executeString("total = total + " + std::to_string(i % 700));
    }
    int expected = 0;
    for (int i = 0; i < 2000; ++i) {
        expected += i % 700;
    }
    EXPECT_EQ(game_.eval("total"), std::to_string(expected));
    EXPECT_EQ(lua_gettop(vm->state()), top);
}

TEST_F(ScriptVMTest, FinalisersCallingEngineFunctionsDuringTeardownGetDefaults) {
    // Every engine function, from a finaliser of every state: the states are
    // closed last, after the rendering library and every subsystem are gone.
    std::string names;
    for (const ScriptFunctionEntry& entry : scriptFunctionTable()) {
        names += std::string("'") + entry.name + "', ";
    }
    const std::string finaliser =
        "keep = newproxy(true) getmetatable(keep).__gc = function() for _, f in ipairs({" + names +
        "}) do _G[f]('General', '.', 'FileSystem') end LogText('finaliser ran') end";
    for (const char* state : {"lua", "state", "setup"}) {
        game_.app().getScriptVM(state)->executeString(finaliser);
    }
    game_.stop();
    EXPECT_EQ(game_.logLinesWith("finaliser ran").size(), 3u);
    const auto lines = game_.logLines();
    const auto ogre = std::find(lines.begin(), lines.end(), "delete ogre");
    ASSERT_NE(ogre, lines.end());
    EXPECT_EQ(std::find(lines.begin(), ogre, "finaliser ran"), ogre);
}

TEST_F(ScriptVMTest, ClosedStatesRefuseToRunAndReopenClean) {
    ScriptVM vm("scratch");
    EXPECT_EQ(vm.executeString("x = 1"), -1);
    EXPECT_FALSE(vm.isOpen());
    vm.open();
    EXPECT_EQ(vm.executeString("x = 1"), 0);
    vm.open();  // reopening drops the old globals
    lua_getglobal(vm.state(), "x");
    EXPECT_TRUE(lua_isnil(vm.state(), -1));
    lua_pop(vm.state(), 1);
}

}  // namespace
}  // namespace vantor
