#include "script/ScriptVM.h"

#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <cstdlib>
#include <functional>
#include <iostream>

#include "core/Log.h"
#include "script/PatternMatch.h"
#include "script/ScriptSandbox.h"
#include "script/ScriptWatchdog.h"

namespace vantor {

namespace {

// Module search path: the bare name first, then with ".lua", relative to the
// working directory, whatever the environment says.
constexpr const char* kLuaPath = "?;?.lua";

// Statement cache bounds: statements up to this many bytes are kept, and the
// cache starts over once it holds this many, so statements that differ every
// time (a changing number in the text) cannot make it grow without end.
constexpr size_t kMaxCachedStatement = 512;
constexpr int kMaxCachedChunks = 512;

// Lua instructions between two watchdog checks. A check costs about a
// tenth of a microsecond; at this spacing a script busy with nothing but
// arithmetic is slowed by about one per cent (bench: "script"), and an
// endless loop is stopped within a few hundredths of a millisecond of its
// limit (longer when each pass calls a slow engine or library function).
constexpr int kHookInstructions = 10000;

// The allocator of every state: Lua's default, with the owning ScriptVM as
// its user data so that hooks and script functions find it in O(1).
void* allocate(void*, void* block, size_t, size_t size) {
    if (size == 0) {
        std::free(block);
        return nullptr;
    }
    return std::realloc(block, size);
}

// Last resort for an error outside any protected call; the engine makes none
// on purpose. Lua ends the process when this returns.
int panic(lua_State* L) {
    const char* message = lua_tostring(L, -1);
    log(std::string("Error. Lua panic: ") + (message ? message : "(no message)"));
    return 0;
}

// The count hook: stops the script when the watchdog says so. Until the call
// ends every further instruction fails too, so a script's own pcall cannot
// swallow the error and carry on.
void interruptHook(lua_State* L, lua_Debug*) {
    ScriptVM* vm = ScriptVM::of(L);
    const std::string* reason = vm && vm->watchdog() ? vm->watchdog()->interruption() : nullptr;
    if (!reason) {
        if (lua_gethookcount(L) != kHookInstructions) {
            lua_sethook(L, interruptHook, LUA_MASKCOUNT, kHookInstructions);
        }
        return;
    }
    lua_sethook(L, interruptHook, LUA_MASKCOUNT, 1);
    luaL_where(L, 0);
    lua_pushlstring(L, reason->data(), reason->size());
    lua_concat(L, 2);
    lua_error(L);
}

// The text of an error value: strings and numbers as they are, anything else
// named by its type, never a null pointer.
std::string describeError(lua_State* L, int index) {
    if (lua_isstring(L, index)) {
        size_t length = 0;
        const char* text = lua_tolstring(L, index, &length);
        return std::string(text, length);
    }
    return std::string("(error object is a ") + luaL_typename(L, index) + " value)";
}

// Calls _ALERT with the message (argument 1), inside a protected call: the
// lookup of _ALERT may meet a metatable on the globals. Returns false when
// _ALERT is not a function.
int callAlert(lua_State* L) {
    lua_getglobal(L, "_ALERT");
    if (!lua_isfunction(L, -1)) {
        lua_pushboolean(L, 0);
        return 1;
    }
    lua_pushvalue(L, 1);
    lua_call(L, 1, 0);
    lua_pushboolean(L, 1);
    return 1;
}

// Frames listed in a traceback at most; a runaway recursion would list
// thousands.
constexpr int kMaxFrames = 12;

// The message handler of every chunk the engine runs: notes the Lua frames
// of the failing call in the VM's traceback (the message passes unchanged,
// so _ALERT and scripts that replace it see the plain message).
int messageHandler(lua_State* L) {
    if (ScriptVM* vm = ScriptVM::of(L)) {
        try {
            vm->noteTraceback(ScriptVM::describeFrames(L, 1));
        } catch (...) {
            // Out of memory: the message alone is reported.
        }
    }
    return 1;
}

// print for levels: the texts of its arguments (by the global tostring, as
// Lua's own print), separated by tabs, to the VM's print sink.
int printToSink(lua_State* L) {
    const int count = lua_gettop(L);
    lua_getglobal(L, "tostring");
    std::string line;
    for (int i = 1; i <= count; ++i) {
        lua_pushvalue(L, -1);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        const char* text = lua_tostring(L, -1);
        if (!text) {
            return luaL_error(L, LUA_QL("tostring") " must return a string to " LUA_QL("print"));
        }
        size_t length = lua_objlen(L, -1);
        if (i > 1) {
            line += '\t';
        }
        line.append(text, length);
        lua_pop(L, 1);
    }
    ScriptVM* vm = ScriptVM::of(L);
    try {
        if (vm) {
            vm->printLine(line);
        }
    } catch (...) {
        // A failing sink loses the line, never the game.
    }
    return 0;
}

void openLibrary(lua_State* L, lua_CFunction opener, const char* name) {
    lua_pushcfunction(L, opener);
    lua_pushstring(L, name);
    lua_call(L, 1, 0);
}

// Lua 5.1 keeps require in the package library and reads package.path; the
// LUA_PATH global is set too so scripts that look at it see the same value.
// Native modules are not offered: the C loaders and loadlib are removed.
void configureModules(lua_State* L) {
    lua_pushstring(L, kLuaPath);
    lua_setglobal(L, "LUA_PATH");

    lua_getglobal(L, "package");
    if (lua_istable(L, -1)) {
        lua_pushstring(L, kLuaPath);
        lua_setfield(L, -2, "path");
        lua_pushstring(L, "");
        lua_setfield(L, -2, "cpath");
        lua_pushnil(L);
        lua_setfield(L, -2, "loadlib");
        lua_getfield(L, -1, "loaders");
        if (lua_istable(L, -1)) {
            // loaders: 1 preload, 2 Lua files, 3 C libraries, 4 C all-in-one
            lua_pushnil(L);
            lua_rawseti(L, -2, 4);
            lua_pushnil(L);
            lua_rawseti(L, -2, 3);
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}

}  // namespace

ScriptVM::ScriptVM(std::string name, ScriptWatchdog* watchdog, const ScriptSandbox* sandbox,
                   const ScriptFunctionTable* functions)
    : name_(std::move(name)), watchdog_(watchdog), sandbox_(sandbox), functions_(functions) {}

void ScriptVM::setSandbox(const ScriptSandbox* sandbox) {
    sandbox_ = sandbox;
    if (state_ && sandbox_) {
        sandbox_->restrict(state_);
    }
}

ScriptVM* ScriptVM::of(lua_State* L) {
    void* owner = nullptr;
    return lua_getallocf(L, &owner) == allocate ? static_cast<ScriptVM*>(owner) : nullptr;
}

ScriptVM::~ScriptVM() {
    close();
}

void ScriptVM::open() {
    close();
    lua_State* L = lua_newstate(allocate, this);
    if (!L) {
        log("Error. Could not create the Lua state " + name_);
        return;
    }
    lua_atpanic(L, panic);
    if (watchdog_) {
        // Coroutines the scripts create inherit the hook.
        lua_sethook(L, interruptHook, LUA_MASKCOUNT, kHookInstructions);
    }
    openLibrary(L, luaopen_base, "");
    openLibrary(L, luaopen_package, LUA_LOADLIBNAME);
    openLibrary(L, luaopen_io, LUA_IOLIBNAME);
    openLibrary(L, luaopen_os, LUA_OSLIBNAME);
    openLibrary(L, luaopen_string, LUA_STRLIBNAME);
    installPatternFunctions(L);
    openLibrary(L, luaopen_math, LUA_MATHLIBNAME);
    openLibrary(L, luaopen_table, LUA_TABLIBNAME);
    configureModules(L);
    lua_pushcfunction(L, printToSink);
    lua_setglobal(L, "print");
    if (functions_) {
        // As globals without upvalues, in the table's order: a level that
        // redefines one of these names replaces the engine's version.
        for (const ScriptFunctionEntry& entry : *functions_) {
            lua_pushstring(L, entry.name);
            lua_pushcclosure(L, entry.function, 0);
            lua_settable(L, LUA_GLOBALSINDEX);
        }
    }
    if (sandbox_) {
        sandbox_->restrict(L);
    }
    // Made once: pushing a C function makes a new closure, and every chunk
    // the engine runs (each collision callback, each Script message) needs it.
    lua_pushcfunction(L, messageHandler);
    handlerRef_ = luaL_ref(L, LUA_REGISTRYINDEX);
    state_ = L;
}

void ScriptVM::close() {
    if (state_) {
        lua_State* L = state_;
        state_ = nullptr;  // nothing may reach the state while it is being torn down
        chunkCache_ = LUA_NOREF;
        handlerRef_ = LUA_NOREF;
        cachedChunks_ = 0;
        reportedTables_.clear();
        lua_close(L);
    }
}

int ScriptVM::executeFile(const std::string& path) {
    return execute(" ", path, [&] {
        return sandbox_ ? sandbox_->loadFile(state_, path) : luaL_loadfile(state_, path.c_str());
    });
}

int ScriptVM::executeString(const std::string& code) {
    return execute(": ", code, [&] { return loadStatement(code); });
}

int ScriptVM::execute(const char* separator, const std::string& what,
                      const std::function<int()>& load) {
    if (!state_) {
        log("Error. Script state " + name_ + " is closed; not running" + separator + what);
        return -1;
    }
    ScriptWatchdog::Call call(watchdog_);
    lua_State* L = state_;
    const int top = lua_gettop(L);
    int status = load();
    if (status == 0) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, handlerRef_);
        lua_insert(L, -2);
        status = lua_pcall(L, 0, LUA_MULTRET, -2);
    }
    status = report(status);
    // The chunk may have closed this very state; then there is no stack left.
    if (state_ == L) {
        lua_settop(L, top);
    }
    return status;
}

// Pushes the compiled chunk of a statement, from the cache when it holds one
// compiled against the current globals, else freshly compiled (and then
// kept). On failure the error message is pushed instead, as luaL_loadbuffer
// does. A chunk has no upvalues and keeps no state between runs, so running
// a kept one is the same as compiling the text again.
int ScriptVM::loadStatement(const std::string& code) {
    lua_State* L = state_;
    const bool cacheable = code.size() <= kMaxCachedStatement;
    if (cacheable && chunkCache_ != LUA_NOREF) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, chunkCache_);
        lua_pushlstring(L, code.data(), code.size());
        lua_rawget(L, -2);
        if (lua_isfunction(L, -1)) {
            // A script that replaced its globals (setfenv(0, ...)) gets
            // chunks compiled against the new ones.
            lua_getfenv(L, -1);
            const bool sameGlobals = lua_rawequal(L, -1, LUA_GLOBALSINDEX) != 0;
            lua_pop(L, 1);
            if (sameGlobals) {
                lua_remove(L, -2);
                return 0;
            }
        }
        lua_pop(L, 2);
    }
    // The chunk is named by its own text, so error messages quote the statement.
    const int status = sandbox_ ? sandbox_->loadBuffer(L, code, code.c_str())
                                : luaL_loadbuffer(L, code.data(), code.size(), code.c_str());
    if (status == 0 && cacheable) {
        rememberChunk(code);
    }
    return status;
}

// Keeps the chunk on top of the stack under its text; the stack is unchanged.
void ScriptVM::rememberChunk(const std::string& code) {
    lua_State* L = state_;
    if (chunkCache_ == LUA_NOREF || cachedChunks_ >= kMaxCachedChunks) {
        luaL_unref(L, LUA_REGISTRYINDEX, chunkCache_);
        lua_newtable(L);
        chunkCache_ = luaL_ref(L, LUA_REGISTRYINDEX);
        cachedChunks_ = 0;
    }
    lua_rawgeti(L, LUA_REGISTRYINDEX, chunkCache_);
    lua_pushlstring(L, code.data(), code.size());
    lua_pushvalue(L, -3);
    lua_rawset(L, -3);
    lua_pop(L, 1);
    ++cachedChunks_;
}

std::string ScriptVM::describeFrames(lua_State* L, int level) {
    std::string frames;
    lua_Debug frame;
    int listed = 0;
    for (; lua_getstack(L, level, &frame) && listed < kMaxFrames; ++level) {
        if (!lua_getinfo(L, "Sln", &frame) || frame.currentline <= 0) {
            continue;  // engine and library functions have no line
        }
        if (!frames.empty()) {
            frames += '\n';
        }
        frames += std::string("  at ") + frame.short_src + ":" + std::to_string(frame.currentline);
        if (frame.name) {
            frames += std::string(" in function '") + frame.name + "'";
        } else if (*frame.what == 'm') {
            frames += " in the main chunk";
        }
        ++listed;
    }
    return frames;
}

void ScriptVM::printLine(const std::string& line) {
    if (printSink_) {
        printSink_(line);
    } else {
        log(line);
    }
}

void ScriptVM::raiseIfInterrupted(lua_State* L) {
    ScriptVM* vm = of(L);
    const std::string* reason = vm && vm->watchdog_ ? vm->watchdog_->interruption() : nullptr;
    if (reason) {
        luaL_error(L, "%s", reason->c_str());
    }
}

bool ScriptVM::protectedCall(lua_CFunction function, void* data, std::string& error) {
    if (!state_) {
        error = "script state " + name_ + " is closed";
        return false;
    }
    ScriptWatchdog::Call call(watchdog_);
    lua_State* L = state_;
    if (lua_cpcall(L, function, data) == 0) {
        return true;
    }
    error = describeError(L, -1);
    lua_pop(L, 1);
    return false;
}

namespace {

struct Evaluation {
    const ScriptSandbox* sandbox;
    const std::string* code;
    std::vector<std::string>* results;
};

int loadTyped(lua_State* L, const Evaluation& job, const std::string& code) {
    // "=console" names the chunk "console" in messages ("console:1: ...").
    return job.sandbox ? job.sandbox->loadBuffer(L, code, "=console")
                       : luaL_loadbuffer(L, code.data(), code.size(), "=console");
}

// Runs inside lua_cpcall: an error anywhere ends the evaluation with it.
int evaluateTyped(lua_State* L) {
    auto* job = static_cast<Evaluation*>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    if (loadTyped(L, *job, "return " + *job->code) != 0) {
        lua_pop(L, 1);
        if (loadTyped(L, *job, *job->code) != 0) {
            return lua_error(L);
        }
    }
    lua_call(L, 0, LUA_MULTRET);
    const int count = lua_gettop(L);
    for (int i = 1; i <= count; ++i) {
        lua_getglobal(L, "tostring");
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        size_t length = 0;
        const char* text = lua_tolstring(L, -1, &length);
        job->results->push_back(text ? std::string(text, length) : std::string("?"));
        lua_pop(L, 1);
    }
    return 0;
}

}  // namespace

bool ScriptVM::evaluate(const std::string& code, std::vector<std::string>& results,
                        std::string& error) {
    Evaluation job{sandbox_, &code, &results};
    return protectedCall(evaluateTyped, &job, error);
}

bool ScriptVM::firstReportOfMissingTable(const std::string& table) {
    return reportedTables_.insert(table).second;
}

// Hands a failed chunk's message to _ALERT, or to stderr when _ALERT is not a
// function. The message is on top of the stack on entry.
int ScriptVM::report(int status) {
    if (status == 0) {
        return status;
    }
    ++errorCount_;
    lua_State* L = state_;
    const std::string message = describeError(L, -1);
    lua_pop(L, 1);
    ScriptWatchdog::Reporting reporting(watchdog_);
    lua_pushcfunction(L, callAlert);
    lua_pushlstring(L, message.data(), message.size());
    if (lua_pcall(L, 1, 1, 0) != 0) {
        // The lookup or _ALERT itself failed: keep the message in the log.
        const std::string failure = describeError(L, -1);
        log("Error. _ALERT failed (" + failure + ") reporting: " + message);
        std::cerr << message << '\n';
    } else if (!lua_toboolean(L, -1)) {
        std::cerr << message << '\n';
    }
    lua_pop(L, 1);
    traceback_.clear();
    return status;
}

}  // namespace vantor
