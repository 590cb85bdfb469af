#include <gtest/gtest.h>
#include <lua.h>

#include "app/Config.h"
#include "script/ScriptVM.h"
#include "support/TestGame.h"

namespace vantor {
namespace {

class ConfigTest : public ::testing::Test {
protected:
    ConfigTest()
        : game_("setup = { window_width = '640', startlevel = 12, fullscreen = 0.5,\n"
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
