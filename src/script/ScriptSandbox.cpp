#include "script/ScriptSandbox.h"

#include <lauxlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "script/ScriptVM.h"

namespace vantor {

namespace fs = std::filesystem;

namespace {

constexpr const char* kBinaryChunk = "precompiled (binary) chunks are not allowed";
constexpr int kMaxLinkHops = 40;

// The path a name finally refers to: absolute, every symbolic link resolved,
// including a dangling one at the end (which a write would follow). Empty
// when it cannot be resolved.
fs::path resolve(const std::string& name) {
    std::error_code error;
    fs::path path = fs::absolute(name, error);
    for (int hop = 0; !error && hop < kMaxLinkHops; ++hop) {
        path = fs::weakly_canonical(path, error);
        std::error_code missing;  // a file not made yet is no error here
        if (error || !fs::is_symlink(fs::symlink_status(path, missing))) {
            return error ? fs::path() : path;
        }
        const fs::path target = fs::read_symlink(path, error);
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return fs::path();
}

bool isInside(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (p == path.end() || *p != *f) {
            return false;
        }
    }
    return true;
}

fs::path canonicalOr(const fs::path& path) {
    std::error_code error;
    const fs::path result = fs::weakly_canonical(path, error);
    return error ? path : result;
}

const ScriptSandbox* sandboxOf(lua_State* L) {
    ScriptVM* vm = ScriptVM::of(L);
    return vm ? vm->sandbox() : nullptr;
}

// Checks argument `index` as a file name; on refusal pushes nil and the
// message (what io.open answers for a file it cannot open) and returns 2.
int refuse(lua_State* L, int index, ScriptSandbox::Access access) {
    if (lua_type(L, index) != LUA_TSTRING) {
        return 0;
    }
    size_t length = 0;
    const char* name = lua_tolstring(L, index, &length);
    try {
        sandboxOf(L)->check(std::string(name, length), access);
        return 0;
    } catch (const std::exception& e) {
        lua_pushnil(L);
        lua_pushstring(L, e.what());
        return 2;
    }
}

// Calls the original function (upvalue 1) with all arguments.
int callOriginal(lua_State* L) {
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

int ioOpen(lua_State* L) {
    const char* mode = luaL_optstring(L, 2, "r");
    const bool writes = std::string(mode).find_first_of("wa+") != std::string::npos;
    const int refused =
        refuse(L, 1, writes ? ScriptSandbox::Access::Write : ScriptSandbox::Access::Read);
    return refused ? refused : callOriginal(L);
}

int ioRead(lua_State* L) {  // io.lines, io.input
    if (refuse(L, 1, ScriptSandbox::Access::Read)) {
        return luaL_error(L, "%s", lua_tostring(L, -1));
    }
    return callOriginal(L);
}

int ioOutput(lua_State* L) {
    if (refuse(L, 1, ScriptSandbox::Access::Write)) {
        return luaL_error(L, "%s", lua_tostring(L, -1));
    }
    return callOriginal(L);
}

int loadFileChecked(lua_State* L) {
    const std::string name = luaL_checkstring(L, 1);
    if (sandboxOf(L)->loadFile(L, name) != 0) {
        lua_pushnil(L);
        lua_insert(L, -2);
        return 2;
    }
    return 1;
}

int doFileChecked(lua_State* L) {
    const std::string name = luaL_checkstring(L, 1);
    if (sandboxOf(L)->loadFile(L, name) != 0) {
        return lua_error(L);
    }
    const int base = lua_gettop(L) - 1;
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - base;
}

int loadStringChecked(lua_State* L) {
    size_t length = 0;
    const char* code = luaL_checklstring(L, 1, &length);
    if (sandboxOf(L)->loadBuffer(L, std::string(code, length), luaL_optstring(L, 2, code)) != 0) {
        lua_pushnil(L);
        lua_insert(L, -2);
        return 2;
    }
    return 1;
}

// load(f, name): gathers the pieces f returns, then compiles them as text.
int loadChecked(lua_State* L) {
    luaL_checktype(L, 1, LUA_TFUNCTION);
    const char* chunkName = luaL_optstring(L, 2, "=(load)");
    std::string code;
    for (;;) {
        lua_pushvalue(L, 1);
        lua_call(L, 0, 1);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            break;
        }
        if (!lua_isstring(L, -1)) {
            return luaL_error(L, "reader function must return a string");
        }
        size_t length = 0;
        const char* piece = lua_tolstring(L, -1, &length);
        lua_pop(L, 1);
        if (length == 0) {
            break;
        }
        code.append(piece, length);
    }
    if (sandboxOf(L)->loadBuffer(L, code, chunkName) != 0) {
        lua_pushnil(L);
        lua_insert(L, -2);
        return 2;
    }
    return 1;
}

// require's searcher for Lua files, along package.path, through the checks.
int searchLuaFile(lua_State* L) {
    std::string name = luaL_checkstring(L, 1);
    for (char& c : name) {
        if (c == '.') {
            c = '/';
        }
    }
    lua_getglobal(L, "package");
    lua_getfield(L, -1, "path");
    const std::string path = lua_isstring(L, -1) ? lua_tostring(L, -1) : "";
    lua_pop(L, 2);
    std::string tried;
    std::istringstream templates(path);
    std::string pattern;
    while (std::getline(templates, pattern, ';')) {
        std::string file;
        for (char c : pattern) {
            file += c == '?' ? name : std::string(1, c);
        }
        if (!std::ifstream(file)) {
            tried += "\n\tno file '" + file + "'";
            continue;
        }
        if (sandboxOf(L)->loadFile(L, file) != 0) {
            return luaL_error(L, "error loading module '%s' from file '%s':\n\t%s",
                              lua_tostring(L, 1), file.c_str(), lua_tostring(L, -1));
        }
        return 1;
    }
    lua_pushstring(L, tried.c_str());
    return 1;
}

void wrap(lua_State* L, const char* library, const char* name, lua_CFunction checked) {
    lua_getglobal(L, library);
    if (lua_istable(L, -1)) {
        lua_getfield(L, -1, name);
        lua_pushcclosure(L, checked, 1);
        lua_setfield(L, -2, name);
    }
    lua_pop(L, 1);
}

void removeFields(lua_State* L, const char* library, std::initializer_list<const char*> names) {
    lua_getglobal(L, library);
    if (lua_istable(L, -1)) {
        for (const char* name : names) {
            lua_pushnil(L);
            lua_setfield(L, -2, name);
        }
    }
    lua_pop(L, 1);
}

}  // namespace

ScriptSandbox::ScriptSandbox(bool enabled, const fs::path& gameFolder, const fs::path& setupFile)
    : enabled_(enabled),
      gameFolder_(canonicalOr(gameFolder)),
      setupFile_(canonicalOr(setupFile)),
      executable_(canonicalOr("/proc/self/exe")) {}

void ScriptSandbox::refuseNulBytes(const std::string& name) {
    const size_t nul = name.find('\0');
    if (nul != std::string::npos) {
        throw std::runtime_error("file name with a NUL byte refused: " + name.substr(0, nul) +
                                 "\\0" + name.substr(nul + 1));
    }
}

std::string ScriptSandbox::check(const std::string& name, Access access) const {
    refuseNulBytes(name);
    if (!enabled_) {
        return name;
    }
    const fs::path resolved = resolve(name);
    if (resolved.empty() || !isInside(resolved, gameFolder_)) {
        throw std::runtime_error(name + " is outside the game folder");
    }
    if (access == Access::Write && (resolved == setupFile_ || resolved == executable_)) {
        throw std::runtime_error(name + " may not be written by a level");
    }
    return name;
}

void ScriptSandbox::restrict(lua_State* L) const {
    if (!enabled_) {
        return;
    }
    removeFields(L, "os", {"execute", "remove", "rename", "exit", "tmpname", "getenv"});
    removeFields(L, "io", {"popen", "tmpfile"});
    removeFields(L, "package", {"loadlib"});
    wrap(L, "io", "open", ioOpen);
    wrap(L, "io", "lines", ioRead);
    wrap(L, "io", "input", ioRead);
    wrap(L, "io", "output", ioOutput);
    lua_register(L, "dofile", doFileChecked);
    lua_register(L, "loadfile", loadFileChecked);
    lua_register(L, "loadstring", loadStringChecked);
    lua_register(L, "load", loadChecked);
    lua_getglobal(L, "package");
    if (lua_istable(L, -1)) {
        lua_getfield(L, -1, "loaders");
        if (lua_istable(L, -1)) {
            lua_pushcfunction(L, searchLuaFile);
            lua_rawseti(L, -2, 2);
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}

int ScriptSandbox::loadFile(lua_State* L, const std::string& path) const {
    if (!enabled_) {
        return luaL_loadfile(L, path.c_str());
    }
    try {
        check(path, Access::Read);
    } catch (const std::exception& e) {
        lua_pushfstring(L, "cannot open %s", e.what());
        return LUA_ERRFILE;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        lua_pushfstring(L, "cannot open %s", path.c_str());
        return LUA_ERRFILE;
    }
    std::string code((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!code.empty() && code[0] == '#') {  // a first line "#!..." is skipped, as Lua does
        const size_t end = code.find('\n');
        code = end == std::string::npos ? std::string() : "--" + code.substr(end);
    }
    return loadBuffer(L, code, ("@" + path).c_str());
}

int ScriptSandbox::loadBuffer(lua_State* L, const std::string& code, const char* chunkName) const {
    if (enabled_ && !code.empty() && code[0] == LUA_SIGNATURE[0]) {
        lua_pushstring(L, kBinaryChunk);
        return LUA_ERRSYNTAX;
    }
    return luaL_loadbuffer(L, code.data(), code.size(), chunkName);
}

}  // namespace vantor
