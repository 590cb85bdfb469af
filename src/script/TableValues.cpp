#include "script/TableValues.h"

#include <lua.h>

#include "core/Log.h"
#include "script/ScriptVM.h"

namespace vantor {

namespace {

constexpr const char* kNoTable = "Error while opening setup table!";
constexpr const char* kNotNumber = " is not a number";
constexpr const char* kNotString = " is not a string";

// One table.key lookup, run inside a protected call: a metatable on the
// globals or on the table (a level's strict mode) may raise an error, and
// must not take the engine down with it.
struct Lookup {
    Lookup(const std::string& t, const std::string& k) : table(t), key(k) {}
    const std::string& table;
    const std::string& key;
    bool tableFound = false;
    bool present = false;  // the entry is not nil
    bool isNumber = false;
    double number = 0.0;
    bool isString = false;
    std::string text;
};

int lookUp(lua_State* L) {
    Lookup& q = *static_cast<Lookup*>(lua_touserdata(L, 1));
    lua_pushlstring(L, q.table.data(), q.table.size());
    lua_gettable(L, LUA_GLOBALSINDEX);
    if (!lua_istable(L, -1)) {
        return 0;
    }
    q.tableFound = true;
    lua_pushlstring(L, q.key.data(), q.key.size());
    lua_gettable(L, -2);
    q.present = !lua_isnil(L, -1);
    q.isNumber = lua_isnumber(L, -1) != 0;  // numbers and numeric texts
    q.number = lua_tonumber(L, -1);
    if (lua_isstring(L, -1)) {  // texts and numbers (as Lua writes them)
        size_t length = 0;
        const char* text = lua_tolstring(L, -1, &length);
        q.isString = true;
        q.text.assign(text, length);
    }
    return 0;
}

// Runs the lookup; false (after the log lines) when there is no such table.
// A missing table is logged once per level load for each table: the play
// state asks for Level on every mouse move, and Level is optional.
bool run(ScriptVM* vm, Lookup& q) {
    if (!vm) {
        log(kNoTable);
        log("Error: no script state to look up " + q.table + "." + q.key + " in");
        return false;
    }
    std::string error;
    const bool ran = vm->protectedCall(lookUp, &q, error);
    if (ran && q.tableFound) {
        return true;
    }
    if (q.tableFound) {
        log("Error: reading " + q.table + "." + q.key + " in script state " + vm->name() +
            " failed: " + error);
        return false;
    }
    if (vm->firstReportOfMissingTable(q.table)) {
        log(kNoTable);
        log("Error: script state " + vm->name() + " has no global table " + q.table +
            (ran ? "" : ": " + error));
    }
    return false;
}

// The text a lookup found; a value of another kind is logged and reads as "".
std::string textOf(const Lookup& q) {
    if (!q.isString) {
        log(q.table + "." + q.key + kNotString);
        return std::string();
    }
    return q.text;
}

}  // namespace

float getFloatValue(ScriptVM* vm, const std::string& table, const std::string& key) {
    Lookup q(table, key);
    if (!run(vm, q)) {
        return 0.0f;
    }
    if (!q.isNumber) {
        log(table + "." + key + kNotNumber);
        return 0.0f;
    }
    return static_cast<float>(q.number);
}

std::string getStringValue(ScriptVM* vm, const std::string& table, const std::string& key) {
    Lookup q(table, key);
    return run(vm, q) ? textOf(q) : std::string();
}

namespace {
// The lookup of an optional key; false, silently, when it is not there.
bool runOptional(ScriptVM* vm, Lookup& q) {
    std::string error;
    return vm && vm->protectedCall(lookUp, &q, error) && q.tableFound && q.present;
}
}  // namespace

float getOptionalFloat(ScriptVM* vm, const std::string& table, const std::string& key,
                       float fallback) {
    Lookup q(table, key);
    if (!runOptional(vm, q)) {
        return fallback;
    }
    if (!q.isNumber) {
        log(table + "." + key + kNotNumber);
        return fallback;
    }
    return static_cast<float>(q.number);
}

std::string getOptionalString(ScriptVM* vm, const std::string& table, const std::string& key) {
    Lookup q(table, key);
    return runOptional(vm, q) ? textOf(q) : std::string();
}

}  // namespace vantor
