// The script watchdog's cost: the same Lua loops in a script state of the
// engine with its count hook on, and in the same state with the hook taken
// off, in alternating rounds; each figure is its best round.

#include <lauxlib.h>
#include <lua.h>

#include <algorithm>
#include <chrono>

#include "Bench.h"
#include "script/ScriptVM.h"
#include "script/ScriptWatchdog.h"

namespace vantor::bench {

namespace {

double millisecondsToRun(lua_State* L, const char* code) {
    const auto start = std::chrono::steady_clock::now();
    if (luaL_dostring(L, code) != 0) {
        lua_pop(L, 1);
        return -1;
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

std::vector<BenchRow> runScriptBench(bool quick) {
    const int n = quick ? 100000 : 20000000;
    const std::string count = std::to_string(n);
    const struct {
        const char* name;
        std::string code;
    } loops[] = {
        {"arithmetic loop", "local x = 0 for i = 1, " + count + " do x = x + i % 7 end"},
        {"table and call loop", "local t, f = {}, function(a) return a + 1 end for i = 1, " +
                                    count + " do t[i % 64] = f(i) end"},
    };
    std::vector<BenchRow> rows;
    ScriptWatchdog watchdog;
    ScriptVM engine("bench", &watchdog);
    engine.open();
    lua_State* L = engine.state();
    const lua_Hook hook = lua_gethook(L);
    const int hookCount = lua_gethookcount(L);
    for (const auto& loop : loops) {
        double hooked = 1e18, plain = 1e18;
        for (int round = 0; round < (quick ? 1 : 7); ++round) {
            ScriptWatchdog::Call call(&watchdog);
            lua_sethook(L, hook, LUA_MASKCOUNT, hookCount);
            hooked = std::min(hooked, millisecondsToRun(L, loop.code.c_str()));
            lua_sethook(L, nullptr, 0, 0);
            plain = std::min(plain, millisecondsToRun(L, loop.code.c_str()));
        }
        rows.push_back({std::string("Lua ") + loop.name + " under the watchdog vs no hook, " +
                            count + " iterations",
                        hooked, "ms", plain});
    }
    return rows;
}

}  // namespace vantor::bench
