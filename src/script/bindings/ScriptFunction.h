#pragma once

// Shared plumbing for every script function: argument readers that follow the
// engine's conventions, and the guard that keeps C++ exceptions out of Lua.

#include <lauxlib.h>
#include <lua.h>

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "core/Log.h"
#include "script/ScriptSandbox.h"
#include "script/ScriptWatchdog.h"

namespace vantor::script {

// Text argument: lua_tostring. A number reads as its Lua text; anything else
// (missing, nil, boolean, table) reads as the empty text.
std::string argText(lua_State* L, int index);
// The same text without a copy, valid while the argument stays on the stack:
// for names that are only looked up.
std::string_view argTextView(lua_State* L, int index);

// Number argument: lua_tonumber. Non-numbers read as 0.
double argNumber(lua_State* L, int index);

// Single-precision argument for positions, directions, forces, angles,
// colours and rates: boundedFloat (core/Numbers.h) of the number.
float argFloat(lua_State* L, int index);

// Integer arguments: the number truncated toward zero, saturating
// (truncateTo in core/Numbers.h).
int argInt(lua_State* L, int index);
int64_t argInt64(lua_State* L, int index);

// File name argument, for every script function that takes one: a name with
// a NUL byte is refused, and with the sandbox on so is a path that leaves
// the game folder (or writes the setup file or the engine). A refusal is
// thrown in the level's words, so the function logs it and does nothing.
std::string argFileName(lua_State* L, int index,
                        ScriptSandbox::Access access = ScriptSandbox::Access::Read);
// The same checks for a path the function put together (a folder + a name).
void checkFilePath(lua_State* L, const std::string& path, ScriptSandbox::Access access);

// True when the sandbox is on for the state that runs the function.
bool isSandboxed(lua_State* L);

// An argument as a log line shows it: a text in single quotes, anything
// else by its type ("a function").
std::string describeArg(lua_State* L, int index);

// Flag argument: true only for a number (or numeric text) other than 0.
bool argFlag(lua_State* L, int index);

// Held by script functions that wait by design (a download, loading meshes
// and textures): the time they take does not count against the script time
// limit of the call that runs them.
class WaitOutsideLimit {
public:
    explicit WaitOutsideLimit(lua_State* L);

private:
    ScriptWatchdog::Pause pause_;
};

// Logs the one line a script function writes when its body threw. The
// rendering library's exceptions are logged by their description alone,
// without the library's type name, function and source position.
void logScriptFunctionFailure(const char* function, const std::exception& cause);

// Runs a script function body. Any C++ exception it throws is logged with the
// function's name and replaced by the function's default results, and the Lua
// stack is restored first so the defaults are the only values returned.
//   body:     int() pushing the results and returning their count
//   defaults: int() pushing the default results and returning their count
// Lua's own errors (which the C++ build of Lua throws as non-std exceptions)
// pass through untouched so the interpreter can unwind as it expects.
template <class Body, class Defaults>
int guarded(lua_State* L, const char* function, Body&& body, Defaults&& defaults) {
    const int top = lua_gettop(L);
    try {
        return body();
    } catch (const std::exception& e) {
        lua_settop(L, top);
        logScriptFunctionFailure(function, e);
    }
    return defaults();
}

// The common case of a function that returns nothing.
template <class Body>
int guarded(lua_State* L, const char* function, Body&& body) {
    return guarded(
        L, function,
        [&] {
            body();
            return 0;
        },
        [] { return 0; });
}

}  // namespace vantor::script
