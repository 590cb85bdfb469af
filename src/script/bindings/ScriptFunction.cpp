#include "script/bindings/ScriptFunction.h"

#include <OgreException.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/Numbers.h"
#include "script/ScriptVM.h"

namespace vantor::script {

std::string argText(lua_State* L, int index) {
    return std::string(argTextView(L, index));
}

std::string_view argTextView(lua_State* L, int index) {
    size_t length = 0;
    const char* text = lua_tolstring(L, index, &length);
    return text ? std::string_view(text, length) : std::string_view();
}

double argNumber(lua_State* L, int index) {
    return lua_tonumber(L, index);
}

float argFloat(lua_State* L, int index) {
    return boundedFloat(argNumber(L, index));
}

int argInt(lua_State* L, int index) {
    return truncateTo<int>(argNumber(L, index));
}

int64_t argInt64(lua_State* L, int index) {
    return truncateTo<int64_t>(argNumber(L, index));
}

void checkFilePath(lua_State* L, const std::string& path, ScriptSandbox::Access access) {
    ScriptVM* vm = ScriptVM::of(L);
    if (vm && vm->sandbox()) {
        vm->sandbox()->check(path, access);
    } else {
        ScriptSandbox::refuseNulBytes(path);
    }
}

std::string argFileName(lua_State* L, int index, ScriptSandbox::Access access) {
    std::string name = argText(L, index);
    checkFilePath(L, name, access);
    return name;
}

bool isSandboxed(lua_State* L) {
    ScriptVM* vm = ScriptVM::of(L);
    return vm && vm->sandbox() && vm->sandbox()->isEnabled();
}

std::string describeArg(lua_State* L, int index) {
    if (lua_type(L, index) == LUA_TSTRING) {
        return "'" + argText(L, index) + "'";
    }
    return std::string("a ") + luaL_typename(L, index);
}

bool argFlag(lua_State* L, int index) {
    if (lua_isnoneornil(L, index)) {
        return false;
    }
    return lua_tonumber(L, index) != 0;
}

WaitOutsideLimit::WaitOutsideLimit(lua_State* L)
    : pause_(ScriptVM::of(L) ? ScriptVM::of(L)->watchdog() : nullptr) {}

void logScriptFunctionFailure(const char* function, const std::exception& cause) {
    const auto* library = dynamic_cast<const Ogre::Exception*>(&cause);
    log(std::string("Error: ") + function + ": " +
        (library ? library->getDescription() : std::string(cause.what())));
}

}  // namespace vantor::script
