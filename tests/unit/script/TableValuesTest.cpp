#include <gtest/gtest.h>
#include <lua.h>

#include "script/ScriptVM.h"
#include "script/TableValues.h"
#include "support/TestGame.h"

namespace vantor {
namespace {

class ConfigTest : public ::testing::Test {
protected:
    ConfigTest()
        : game_(
              "setup = { window_width = '640', startlevel = 12, fullscreen = 0.5,\n"
              "  sleeptime = 2.9, soundvolume = 2.5, hexa = '0x10', words = 'ten',\n"
              "  flag = true }\n"
              "Level = { editstateallowed = 1 }\n") {
        game_.start();
        vm_ = game_.app().getScriptVM("setup");
    }

    test::TestGame game_;
    ScriptVM* vm_ = nullptr;
};

TEST_F(ConfigTest, NumbersAcceptNumericTextAndTextsAcceptNumbers) {
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "setup", "window_width"), 640.0f);
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "setup", "hexa"), 16.0f);
    EXPECT_EQ(getStringValue(vm_, "setup", "startlevel"), "12");
    EXPECT_EQ(getStringValue(vm_, "Level", "editstateallowed"), "1");
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "setup", "fullscreen"), 0.5f);
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "setup", "sleeptime"), 2.9f);
}

TEST_F(ConfigTest, WrongKindsAndMissingKeysAreLoggedAndReadAsZero) {
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "setup", "words"), 0.0f);
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "setup", "flag"), 0.0f);
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "setup", "absent"), 0.0f);
    EXPECT_EQ(getStringValue(vm_, "setup", "flag"), "");
    EXPECT_EQ(getStringValue(vm_, "Level", "absent"), "");
    EXPECT_EQ(game_.logLinesWith("setup.words is not a number").size(), 1u);
    EXPECT_EQ(game_.logLinesWith("setup.flag is not a number").size(), 1u);
    EXPECT_EQ(game_.logLinesWith("setup.absent is not a number").size(), 1u);
    EXPECT_EQ(game_.logLinesWith("setup.flag is not a string").size(), 1u);
    EXPECT_EQ(game_.logLinesWith("Level.absent is not a string").size(), 1u);
}

TEST_F(ConfigTest, MissingTableLogsTheSetupMessageWhateverTheTableName) {
    const size_t before = game_.logLinesWith("Error while opening setup table!").size();
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "Nowhere", "x"), 0.0f);
    EXPECT_EQ(getStringValue(vm_, "words", "x"), "");  // a global that is not a table
    EXPECT_EQ(getStringValue(nullptr, "setup", "x"), "");
    EXPECT_EQ(game_.logLinesWith("Error while opening setup table!").size(), before + 3);
}

TEST_F(ConfigTest, StackStaysBalancedOverManyLookups) {
    lua_State* L = vm_->state();
    const int top = lua_gettop(L);
    for (int i = 0; i < 5000; ++i) {
        getStringValue(vm_, "Level", "editstateallowed");
        getFloatValue(vm_, "setup", "words");
        getFloatValue(vm_, "Missing", "x");
    }
    EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(ConfigTest, AMissingTableIsLoggedOncePerLevelLoadAndNamed) {
    ScriptVM* lua = game_.app().getScriptVM("lua");
    const size_t before = game_.logLinesWith("Error while opening setup table!").size();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(getStringValue(lua, "Level", "editstateallowed"), "");
    }
    EXPECT_EQ(game_.logLinesWith("Error while opening setup table!").size(), before + 1);
    EXPECT_EQ(game_.logLinesWith("Error: script state lua has no global table Level").size(), 1u);
    game_.app().loadLevel("");
    getStringValue(game_.app().getScriptVM("lua"), "Level", "editstateallowed");
    EXPECT_EQ(game_.logLinesWith("Error: script state lua has no global table Level").size(), 2u);
}

// A level's strict mode: globals and tables whose __index raises an error.
TEST_F(ConfigTest, ErringMetamethodsGiveDefaultsAndALogLine) {
    vm_->executeString(
        "strict = setmetatable({}, {__index = function(t, k) error('no key ' .. k) end})\n"
        "setmetatable(_G, {__index = function(t, k) error('undeclared ' .. k) end})\n");
    EXPECT_EQ(getStringValue(vm_, "Options", "editstateallowed"), "");
    EXPECT_EQ(game_.logLinesWith("has no global table Options: ").size(), 1u);
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "strict", "k"), 0.0f);
    EXPECT_EQ(game_.logLinesWith("reading strict.k in script state setup failed").size(), 1u);
    // From inside the same state the error stays out of the calling script.
    EXPECT_EQ(vm_->executeString("v = GetFloatValue('setup', 'Nowhere', 'x') "
                                 "rawset(_G, 'ok', v == 0)"),
              0);
    lua_getglobal(vm_->state(), "ok");
    EXPECT_TRUE(lua_toboolean(vm_->state(), -1));
    lua_pop(vm_->state(), 1);
    // Without _ALERT, and with an _ALERT that raises a table, the error still
    // reaches the log.
    vm_->executeString("rawset(_G, '_ALERT', nil)");
    EXPECT_NE(vm_->executeString("error('first')"), 0);
    vm_->executeString("rawset(_G, '_ALERT', function() error({}) end)");
    EXPECT_NE(vm_->executeString("error('second')"), 0);
    EXPECT_EQ(game_.logLinesWith("Error. _ALERT failed").size(), 2u);
    EXPECT_EQ(game_.logLinesWith("(error object is a table value)) reporting: ").size(), 1u);
}

TEST(ConfigVolumes, VolumeKeysAreNotReadWithoutMusic) {
    // The application reads soundvolume and musicvolume only when music is on.
    test::TestGame quiet("setup = { music = 0 }\n");
    quiet.start();
    EXPECT_TRUE(quiet.logLinesWith("soundvolume").empty());
    EXPECT_TRUE(quiet.logLinesWith("musicvolume").empty());
    EXPECT_EQ(quiet.app().getSound(), nullptr);
}

}  // namespace
}  // namespace vantor
