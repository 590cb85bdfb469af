// The script host: script states and their error reporting, statements, the
// watchdog, the sandbox, bounded patterns, table lookups and SHA-256.

#include <gtest/gtest.h>
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/GameApp.h"
#include "script/Console.h"
#include "script/ScriptCall.h"
#include "script/ScriptVM.h"
#include "script/ScriptWatchdog.h"
#include "script/Sha256.h"
#include "script/TableValues.h"
#include "script/bindings/FunctionTable.h"
#include "script/bindings/ScriptFunction.h"
#include "support/TestGame.h"
#include "world/DesignerTools.h"

namespace vantor {
namespace {

class ScriptVMTest : public ::testing::Test {
protected:
    ScriptVMTest() : game_(test::TestGame::defaultSetup(), {{"start.lua", ""}}) { game_.start(); }

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

TEST_F(ScriptVMTest, RuntimeErrorsLogATracebackAndPrintGoesToTheLog) {
    game_.run("function Inner()\n  error('deep')\nend\nfunction Outer()\n  Inner()\nend");
    game_.app().getScriptVM("lua")->executeString("Outer()");
    const auto lines = game_.logLines();
    auto deep = std::find(lines.begin(), lines.end(), "0 [string \"function Inner()...\"]:2: deep");
    ASSERT_NE(deep, lines.end());
    ASSERT_LT(deep + 3, lines.end());
    EXPECT_EQ(deep[1], "0   at [string \"function Inner()...\"]:2 in function 'Inner'");
    EXPECT_EQ(deep[2], "0   at [string \"function Inner()...\"]:5 in function 'Outer'");
    EXPECT_EQ(deep[3], "0   at [string \"Outer()\"]:1 in the main chunk");
    // A load error has no frames; the next reported error has only its own.
    game_.run("this is not Lua");
    game_.run("error('flat')");
    EXPECT_EQ(game_.logLinesWith("  at ").size(), 4u);

    game_.run("print('a', 1, nil)");
    EXPECT_EQ(game_.logLinesWith("a\t1\tnil").size(), 1u);
}

TEST_F(ScriptVMTest, ConsoleRunsLinesShowsResultsAndKeepsBoundedHistory) {
    Console& console = game_.app().getDesignerTools()->console();
    auto enter = [&](const std::string& line) {
        console.type(line);
        console.submit();
    };
    enter("x = 40");
    enter("x + 2, 'two'");
    enter("error('no')");
    enter("print('from', 'print')");
    EXPECT_EQ(game_.eval("x"), "40");
    EXPECT_EQ(console.text(),
              "> x = 40\n> x + 2, 'two'\n42    two\n> error('no')\nconsole:1: no\n"
              "> print('from', 'print')\nfrom    print\n> _");
    EXPECT_EQ(game_.logLinesWith("Console= 42\ttwo").size(), 1u);
    EXPECT_EQ(game_.logLinesWith("Error: console: console:1: no").size(), 1u);

    console.older();
    console.older();
    EXPECT_EQ(console.line(), "error('no')");
    console.newer();
    console.newer();
    EXPECT_EQ(console.line(), "");
    console.type("ab\xc3\xa9");
    console.erase();
    EXPECT_EQ(console.line(), "ab");
    console.erase();
    console.erase();
    for (int i = 0; i < 130; ++i) {
        enter("n = " + std::to_string(i));
    }
    EXPECT_EQ(console.history().size(), Console::kHistoryLength);
    EXPECT_EQ(console.history().front(), "n = 30");
    // The scroll-back keeps the last 20 lines under the prompt.
    const std::string shown = console.text();
    EXPECT_EQ(shown.substr(0, 8), "> n = 11");
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 20);
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

// Runs a chunk that returns one string; returns it, or the error message.
std::string evaluate(lua_State* L, const char* chunk) {
    if (luaL_dostring(L, chunk) != 0) {
        return std::string("error: ") + lua_tostring(L, -1);
    }
    std::string result = lua_isstring(L, -1) ? lua_tostring(L, -1) : "(not a string)";
    lua_settop(L, 0);
    return result;
}

// Every search function on a spread of patterns: captures, position
// captures, back references, %b, %f, anchors, classes, sets, the four
// repetitions, gsub with texts, tables and functions, errors.
const char* const kCases = R"(
local out = {}
local function add(...) for i = 1, select('#', ...) do out[#out + 1] = tostring((select(i, ...))) end end
local function try(f, ...) local r = {pcall(f, ...)} add(unpack(r, 1, table.maxn(r))) end
local subjects = {'', 'hello world', 'key = value; other=2', '(a(b)c)[x]', 'THE (quick) fox',
                  'aaa', '  trim  ', 'x1y22z333', 'caf\195\169 \0 nul'}
local patterns = {'', 'o', 'l+', 'l*', 'l-o', 'l?o', '^h', 'd$', '(%w+) = (%w+)', '(%w+)=(%w+)',
                  '()ll()', '%b()', '%f[%w]%w+', '[%a_][%w_]*', '[^%s]+', '(a)%1', '%d+',
                  '^%s*(.-)%s*$', '[a-c]+', '.-(%b[])', '%u+', '%p', '%z', '[%]]', '(', '%',
                  '[a', '(()', '%1', 'x*$'}
for _, s in ipairs(subjects) do
  for _, p in ipairs(patterns) do
    try(string.find, s, p) try(string.find, s, p, 3) try(string.find, s, p, -4, true)
    try(string.match, s, p) try(string.gsub, s, p, '<%0>') try(string.gsub, s, p, '%1', 2)
    try(string.gsub, s, p, {o = 'O', hello = false}) try(string.gsub, s, p, string.upper)
    try(function() local r = {} for a, b in string.gmatch(s, p) do r[#r + 1] = tostring(a) .. ',' .. tostring(b) if #r > 50 then break end end return table.concat(r, ';') end)
  end
end
try(string.gsub, 'abc', '%w', '%2') try(string.gsub, 'abc', '%w', {a = {}})
try(string.gfind, 'a b', '%a')
return table.concat(out, '|')
)";

TEST(PatternMatchTest, SearchesGiveWhatLua51sOwnGive) {
    ScriptWatchdog watchdog;
    ScriptVM vm("patterns", &watchdog);
    vm.open();
    lua_State* reference = luaL_newstate();
    luaL_openlibs(reference);
    const std::string expected = evaluate(reference, kCases);
    lua_close(reference);
    EXPECT_GT(expected.size(), 10000u);
    EXPECT_EQ(evaluate(vm.state(), kCases), expected);
}

TEST(PatternMatchTest, DeepOrEndlessPatternsFailInsteadOfCrashingOrHanging) {
    ScriptWatchdog watchdog;
    watchdog.setLimit(0.2);
    ScriptVM vm("patterns", &watchdog);
    vm.open();
    ScriptWatchdog::Call call(&watchdog);
    EXPECT_NE(evaluate(vm.state(), "return string.find(('a'):rep(4e5), ('a?'):rep(4e5))")
                  .find("pattern too complex"),
              std::string::npos);
    // Backtracking without deep nesting, for longer than anyone would wait.
    EXPECT_NE(evaluate(vm.state(), "return string.find(('a'):rep(60), ('a*'):rep(60) .. 'b')")
                  .find("script ran longer than 0.2 s"),
              std::string::npos);
}

// "abc" and the empty text are checked through GetHash in BindingsTest.
TEST(Sha256Test, Fips180Vectors) {
    EXPECT_EQ(Sha256::hexDigest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256::hexDigest(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256Test, PaddingAtBlockBoundaries) {
    // 55 bytes leave room for the length in the last block; 64 do not.
    EXPECT_EQ(Sha256::hexDigest(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Sha256::hexDigest(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

}  // namespace
}  // namespace vantor
