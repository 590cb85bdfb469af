// Typed lookups of table.key in a script state, as the setup and the levels
// are read: conversions, wrong kinds, missing tables and strict-mode scripts.

#include <gtest/gtest.h>
#include <lua.h>

#include "app/GameApp.h"
#include "script/ScriptVM.h"
#include "script/TableValues.h"
#include "support/TestGame.h"

namespace vantor {
namespace {

class TableValuesTest : public ::testing::Test {
protected:
    TableValuesTest()
        : game_(
              "setup = { window_width = '640', startlevel = 12, hexa = '0x10', words = 'ten',\n"
              "  flag = true }\n") {
        game_.start();
        vm_ = game_.app().getScriptVM("setup");
    }

    size_t lines(const std::string& text) { return game_.logLinesWith(text).size(); }

    test::TestGame game_;
    ScriptVM* vm_ = nullptr;
};

TEST_F(TableValuesTest, NumbersAndTextsConvertAsLuaDoesAndWrongKindsReadAsZero) {
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "setup", "window_width"), 640.0f);
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "setup", "hexa"), 16.0f);
    EXPECT_EQ(getStringValue(vm_, "setup", "startlevel"), "12");
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "setup", "words"), 0.0f);
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "setup", "absent"), 0.0f);
    EXPECT_EQ(getStringValue(vm_, "setup", "flag"), "");
    EXPECT_EQ(lines("setup.words is not a number"), 1u);
    EXPECT_EQ(lines("setup.absent is not a number"), 1u);
    EXPECT_EQ(lines("setup.flag is not a string"), 1u);
    lua_State* L = vm_->state();
    const int top = lua_gettop(L);
    for (int i = 0; i < 1000; ++i) {
        getFloatValue(vm_, "Missing", "x");
        getStringValue(vm_, "setup", "words");
    }
    EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(TableValuesTest, AMissingTableIsLoggedOncePerLevelLoadAndNamed) {
    ScriptVM* lua = game_.app().getScriptVM("lua");
    const size_t before = lines("Error while opening setup table!");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(getStringValue(lua, "Level", "editstateallowed"), "");
    }
    EXPECT_EQ(getStringValue(nullptr, "setup", "x"), "");
    EXPECT_EQ(lines("Error while opening setup table!"), before + 2);
    EXPECT_EQ(lines("Error: script state lua has no global table Level"), 1u);
    game_.app().loadLevel("");
    getStringValue(lua, "Level", "editstateallowed");
    EXPECT_EQ(lines("Error: script state lua has no global table Level"), 2u);
}

// A level's strict mode: globals and tables whose __index raises an error.
TEST_F(TableValuesTest, RaisingMetamethodsGiveDefaultsAndALineNotALuaPanic) {
    vm_->executeString(
        "strict = setmetatable({}, {__index = function(t, k) error('no key ' .. k) end})\n"
        "setmetatable(_G, {__index = function(t, k) error('undeclared ' .. k) end})\n");
    EXPECT_EQ(getStringValue(vm_, "Options", "editstateallowed"), "");
    EXPECT_EQ(lines("has no global table Options: "), 1u);
    EXPECT_FLOAT_EQ(getFloatValue(vm_, "strict", "k"), 0.0f);
    EXPECT_EQ(lines("reading strict.k in script state setup failed"), 1u);
    // Without _ALERT, or with one that raises a table, errors still reach the log.
    vm_->executeString("rawset(_G, '_ALERT', nil)");
    EXPECT_NE(vm_->executeString("error('first')"), 0);
    vm_->executeString("rawset(_G, '_ALERT', function() error({}) end)");
    EXPECT_NE(vm_->executeString("error('second')"), 0);
    EXPECT_EQ(lines("Error. _ALERT failed"), 2u);
    EXPECT_EQ(lines("(error object is a table value)) reporting: "), 1u);
}

TEST(TableValuesSetup, VolumeKeysAreNotReadWithoutMusic) {
    test::TestGame quiet("setup = { music = 0 }\n");
    quiet.start();
    EXPECT_TRUE(quiet.logLinesWith("soundvolume").empty());
    EXPECT_EQ(quiet.app().getSound(), nullptr);
}

}  // namespace
}  // namespace vantor
