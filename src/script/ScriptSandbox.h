#pragma once

#include <lua.h>

#include <filesystem>
#include <string>

namespace vantor {

// What levels may reach on disk. Levels are programs: without the sandbox a
// level state has Lua's io and os libraries and the engine's file functions
// take any path. With setup.sandbox = 1 (for levels from elsewhere) the
// level states lose what reaches outside the game folder, file names that
// leave the game folder after resolving symbolic links are refused, the
// setup file and the engine's executable cannot be written, and precompiled
// (binary) chunks, which can break out of any Lua sandbox, are refused.
//
// Names with an embedded NUL byte are refused in both modes: the C library
// would silently cut them short.
class ScriptSandbox {
public:
    enum class Access { Read, Write };

    // gameFolder: the folder holding bin/ and Resource/; setupFile: the
    // setup script a level must not rewrite.
    ScriptSandbox(bool enabled, const std::filesystem::path& gameFolder,
                  const std::filesystem::path& setupFile);

    bool isEnabled() const { return enabled_; }

    // The name to use for a file a script names, or a thrown
    // std::runtime_error in the level's words when it is refused.
    std::string check(const std::string& name, Access access) const;

    // The check of both modes: a name with a NUL byte is refused (thrown).
    static void refuseNulBytes(const std::string& name);

    // Takes out of a freshly opened (or the already run setup) state what
    // reaches outside the game folder, and puts checked versions of Lua's
    // file functions in place. Does nothing when not enabled.
    void restrict(lua_State* L) const;

    // luaL_loadfile, refusing files outside the game folder and binary
    // chunks; pushes the chunk or the error message as luaL_loadfile does.
    int loadFile(lua_State* L, const std::string& path) const;

    // luaL_loadbuffer, refusing binary chunks when enabled.
    int loadBuffer(lua_State* L, const std::string& code, const char* chunkName) const;

private:
    bool enabled_;
    std::filesystem::path gameFolder_;
    std::filesystem::path setupFile_;
    std::filesystem::path executable_;
};

}  // namespace vantor
