#include <gtest/gtest.h>
#include <lua.h>

#include <chrono>
#include <thread>

#include "script/ScriptVM.h"
#include "script/bindings/ScriptFunction.h"
#include "support/TestGame.h"

namespace vantor {
namespace {

constexpr const char* kInterrupted = "script ran longer than 0.2 s";

// An engine function that waits by design, as GetUrl does.
int slowWait(lua_State* L) {
    script::WaitOutsideLimit waiting(L);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    return 0;
}

class ScriptWatchdogTest : public ::testing::Test {
protected:
    ScriptWatchdogTest()
        : game_(test::TestGame::defaultSetup() + "setup.scriptlimit = 0.2\n", {{"start.lua", ""}}) {
        game_.start();
        lua_register(game_.app().getScriptVM("lua")->state(), "SlowWait", slowWait);
    }

    // Runs code in the "lua" state; true when it was cut off by the limit.
    bool interrupted(const std::string& code) {
        const size_t before = game_.logLinesWith(kInterrupted).size();
        game_.app().getScriptVM("lua")->executeString(code);
        return game_.logLinesWith(kInterrupted).size() > before;
    }

    test::TestGame game_;
};

TEST_F(ScriptWatchdogTest, EndlessScriptsAreCutOffWhateverTheyTry) {
    EXPECT_TRUE(interrupted("while true do end"));
    // A script's own pcall cannot swallow the error and go on.
    EXPECT_TRUE(interrupted("while true do pcall(function() while true do end end) end"));
    EXPECT_TRUE(interrupted(
        "while true do coroutine.resume(coroutine.create(function() while true do end end)) end"));
    // Code run in another state spends the budget of the call that started it.
    EXPECT_TRUE(interrupted("ExecuteCmd('state', 'while true do end') while true do end"));
    // The next call has a budget of its own, and the reporter may be Lua code.
    EXPECT_FALSE(interrupted("_ALERT = function(m) LogText('alerted: ' .. m) end"));
    EXPECT_TRUE(interrupted("while true do end"));
    EXPECT_EQ(
        game_.logLinesWith("alerted: [string \"while true do end\"]:1: script ran longer").size(),
        1u);
}

TEST_F(ScriptWatchdogTest, WaitsInsideEngineFunctionsDoNotCount) {
    EXPECT_FALSE(interrupted("SlowWait() SlowWait() SlowWait()"));
}

TEST(ScriptWatchdogSetup, TheLimitIsFiveSecondsUnlessSetupSaysOtherwise) {
    test::TestGame plain(test::TestGame::defaultSetup(), {{"start.lua", ""}});
    plain.start();
    EXPECT_DOUBLE_EQ(plain.app().getScriptVM("lua")->watchdog()->getLimit(), 5.0);
    EXPECT_TRUE(plain.logLinesWith("scriptlimit").empty());
}

}  // namespace
}  // namespace vantor
