#pragma once

#include <string>

struct lua_State;

namespace vantor {

// One Lua state with the standard libraries, LUA_PATH and the full table of
// engine script functions. Closed (null state) until open() succeeds.
class ScriptVM {
public:
    explicit ScriptVM(std::string name);
    ~ScriptVM();  // closes the state if it is open
    ScriptVM(const ScriptVM&) = delete;
    ScriptVM& operator=(const ScriptVM&) = delete;

    // Creates the state and installs libraries and script functions. Opening
    // an open VM closes the old state first.
    void open();
    void close();
    bool isOpen() const { return state_ != nullptr; }

    // Load and run a chunk with no arguments. Load and run errors go to the
    // global _ALERT (or stderr when _ALERT is not a function). Results the
    // chunk returns are dropped so the stack stays balanced. Returns the Lua
    // status, 0 on success; a closed VM refuses with a log line and returns -1.
    // Short statements are compiled once per state and their chunks reused:
    // the engine runs the same few statements every tick.
    int executeFile(const std::string& path);
    int executeString(const std::string& code);

    lua_State* state() const { return state_; }
    const std::string& name() const { return name_; }

private:
    int report(int status);
    int loadStatement(const std::string& code);
    void rememberChunk(const std::string& code);

    std::string name_;
    lua_State* state_ = nullptr;
    // Registry reference of the table of compiled statements (text ->
    // chunk), or LUA_NOREF (-2) before the first one; see loadStatement.
    int chunkCache_ = -2;
    int cachedChunks_ = 0;
};

}  // namespace vantor
