#include <gtest/gtest.h>
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <string>

#include "script/ScriptVM.h"
#include "script/ScriptWatchdog.h"

namespace vantor {
namespace {

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

}  // namespace
}  // namespace vantor
