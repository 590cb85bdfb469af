#include "script/ScriptVM.h"

#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <iostream>

#include "app/Log.h"
#include "script/FunctionTable.h"

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

ScriptVM::ScriptVM(std::string name) : name_(std::move(name)) {}

ScriptVM::~ScriptVM() {
    close();
}

void ScriptVM::open() {
    close();
    lua_State* L = luaL_newstate();
    if (!L) {
        log("Error. Could not create the Lua state " + name_);
        return;
    }
    openLibrary(L, luaopen_base, "");
    openLibrary(L, luaopen_package, LUA_LOADLIBNAME);
    openLibrary(L, luaopen_io, LUA_IOLIBNAME);
    openLibrary(L, luaopen_os, LUA_OSLIBNAME);
    openLibrary(L, luaopen_string, LUA_STRLIBNAME);
    openLibrary(L, luaopen_math, LUA_MATHLIBNAME);
    openLibrary(L, luaopen_table, LUA_TABLIBNAME);
    configureModules(L);
    installScriptFunctions(L);
    state_ = L;
}

void ScriptVM::close() {
    if (state_) {
        lua_State* L = state_;
        state_ = nullptr;  // nothing may reach the state while it is being torn down
        chunkCache_ = LUA_NOREF;
        cachedChunks_ = 0;
        lua_close(L);
    }
}

int ScriptVM::executeFile(const std::string& path) {
    if (!state_) {
        log("Error. Script state " + name_ + " is closed; not running " + path);
        return -1;
    }
    lua_State* L = state_;
    const int top = lua_gettop(L);
    int status = luaL_loadfile(L, path.c_str());
    if (status == 0) {
        status = lua_pcall(L, 0, LUA_MULTRET, 0);
    }
    status = report(status);
    if (state_ == L) {
        lua_settop(L, top);
    }
    return status;
}

int ScriptVM::executeString(const std::string& code) {
    if (!state_) {
        log("Error. Script state " + name_ + " is closed; not running: " + code);
        return -1;
    }
    lua_State* L = state_;
    const int top = lua_gettop(L);
    int status = loadStatement(code);
    if (status == 0) {
        status = lua_pcall(L, 0, LUA_MULTRET, 0);
    }
    status = report(status);
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
    const int status = luaL_loadbuffer(L, code.data(), code.size(), code.c_str());
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

// Hands a failed chunk's message to _ALERT, or to stderr when _ALERT is not a
// function. The message is on top of the stack on entry.
int ScriptVM::report(int status) {
    if (status == 0) {
        return status;
    }
    lua_State* L = state_;
    if (!lua_isstring(L, -1)) {
        const char* type = luaL_typename(L, -1);
        lua_pop(L, 1);
        lua_pushfstring(L, "(error object is a %s value)", type);
    }
    lua_getglobal(L, "_ALERT");
    if (lua_isfunction(L, -1)) {
        lua_insert(L, -2);
        if (lua_pcall(L, 1, 0, 0) != 0) {
            std::cerr << lua_tostring(L, -1) << '\n';
            lua_pop(L, 1);
        }
    } else {
        lua_pop(L, 1);
        std::cerr << lua_tostring(L, -1) << '\n';
        lua_pop(L, 1);
    }
    return status;
}

}  // namespace vantor
