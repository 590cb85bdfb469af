#include <gtest/gtest.h>
#include <lua.h>

#include "script/ScriptCall.h"
#include "script/ScriptVM.h"

namespace vantor {
namespace {

TEST(ScriptCall, BuildsTheEnginesStatementTexts) {
    EXPECT_EQ(ScriptCall("KeyPressed").integer(17).text("119").str(), "KeyPressed(17, '119')");
    EXPECT_EQ(ScriptCall("StartJump").str(), "StartJump()");
    EXPECT_EQ(ScriptCall("BumpedIntoSomething").real(0.5f).str(), "BumpedIntoSomething(0.5)");
    EXPECT_EQ(ScriptCall("F").real(1.0f / 3.0f).real(600.0f).str(), "F(0.333333, 600)");
    EXPECT_EQ(ScriptCall("Hit").text("Door").str(), "Hit('Door')");
    EXPECT_EQ(ScriptCall("Hit").list({"a", "b"}).str(), "Hit({'a', 'b'})");
    EXPECT_EQ(ScriptCall("Hit").list({}).str(), "Hit({})");
}

// A name with quotes, backslashes, newlines or other control bytes reaches
// the Lua function exactly and cannot run code of its own.
TEST(ScriptCall, AnyTextArrivesIntactAndCannotEscapeItsString) {
    ScriptVM vm("test");
    vm.open();
    vm.executeString("function Capture(s) captured = s end");
    const std::string nasty = std::string("a'b\\c\nd\re\0f\x01g') os.exit() --", 27) + "\"x\"7";
    vm.executeString(ScriptCall("Capture").text(nasty).str());
    lua_getglobal(vm.state(), "captured");
    size_t length = 0;
    const char* captured = lua_tolstring(vm.state(), -1, &length);
    ASSERT_NE(captured, nullptr);
    EXPECT_EQ(std::string(captured, length), nasty);
    lua_pop(vm.state(), 1);
}

}  // namespace
}  // namespace vantor
