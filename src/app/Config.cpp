#include "app/Config.h"

#include <lua.h>

#include "app/Log.h"
#include "script/ScriptVM.h"

namespace vantor {

namespace {

constexpr const char* kNoTable = "Error while opening setup table!";
constexpr const char* kNotNumber = " is not a number";
constexpr const char* kNotString = " is not a string";

// Pushes table[key] and returns true, or logs the missing table and returns
// false with the stack as it was.
bool pushEntry(ScriptVM* vm, const std::string& table, const std::string& key) {
    lua_State* L = vm && vm->isOpen() ? vm->state() : nullptr;
    if (!L) {
        log(kNoTable);
        return false;
    }
    lua_getglobal(L, table.c_str());
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        log(kNoTable);
        return false;
    }
    lua_pushlstring(L, key.data(), key.size());
    lua_gettable(L, -2);
    return true;
}

}  // namespace

float getFloatValue(ScriptVM* vm, const std::string& table, const std::string& key) {
    if (!pushEntry(vm, table, key)) {
        return 0.0f;
    }
    lua_State* L = vm->state();
    float value = 0.0f;
    if (lua_isnumber(L, -1)) {  // numbers and numeric texts
        value = static_cast<float>(lua_tonumber(L, -1));
    } else {
        log(table + "." + key + kNotNumber);
    }
    lua_pop(L, 2);
    return value;
}

std::string getStringValue(ScriptVM* vm, const std::string& table, const std::string& key) {
    if (!pushEntry(vm, table, key)) {
        return std::string();
    }
    lua_State* L = vm->state();
    std::string value;
    if (lua_isstring(L, -1)) {  // texts and numbers (as Lua writes them)
        size_t length = 0;
        const char* text = lua_tolstring(L, -1, &length);
        value.assign(text, length);
    } else {
        log(table + "." + key + kNotString);
    }
    lua_pop(L, 2);
    return value;
}

}  // namespace vantor
