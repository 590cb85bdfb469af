#pragma once

#include <lua.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace vantor {

class ScriptSandbox;
class ScriptWatchdog;

// One engine function as scripts see it: a global of that name.
struct ScriptFunctionEntry {
    const char* name;
    lua_CFunction function;
};
using ScriptFunctionTable = std::vector<ScriptFunctionEntry>;

// One Lua state with the standard libraries, LUA_PATH and the engine's script
// functions. Closed (null state) until open() succeeds.
class ScriptVM {
public:
    // The watchdog (not owned, may be null) bounds every call the engine
    // makes into this state; see ScriptWatchdog. functions (not owned, may be
    // null: Lua's libraries alone) are installed by every open(), in order;
    // the application hands in the engine's table.
    explicit ScriptVM(std::string name, ScriptWatchdog* watchdog = nullptr,
                      const ScriptSandbox* sandbox = nullptr,
                      const ScriptFunctionTable* functions = nullptr);

    // What the scripts of this state may reach on disk (not owned, may be
    // null: no sandbox). Restricts the open state at once.
    void setSandbox(const ScriptSandbox* sandbox);
    const ScriptSandbox* sandbox() const { return sandbox_; }
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

    // Runs function(state, with `data` as its one light userdata argument)
    // protected and under the watchdog, for engine code that reads values out
    // of the state: a metamethod there may raise an error or never return.
    // Returns true on success; otherwise `error` gets the message.
    bool protectedCall(lua_CFunction function, void* data, std::string& error);

    // Runs a statement typed by a person (the console): as an expression
    // when it reads as one, else as a statement, protected and under the
    // watchdog. Returns true with the texts of its results (by tostring), or
    // false with the error message. Not reported through _ALERT.
    bool evaluate(const std::string& code, std::vector<std::string>& results, std::string& error);

    // True the first time a missing global table is reported since the state
    // was opened or forgetReportedTables() was called: the engine looks some
    // tables up on every mouse move and logs a missing one once per level.
    bool firstReportOfMissingTable(const std::string& table);
    void forgetReportedTables() { reportedTables_.clear(); }

    // While an error of a chunk run here is being reported: its traceback,
    // one line per Lua frame ("  at level.lua:12 in function 'Open'"),
    // innermost first, newline-separated; empty otherwise (a load error, or a
    // script that calls _ALERT itself).
    const std::string& traceback() const { return traceback_; }

    // Where `print` output of this state goes; without a sink, to the log.
    void setPrintSink(std::function<void(const std::string&)> sink) {
        printSink_ = std::move(sink);
    }

    // For the message handler and print (see ScriptVM.cpp).
    void noteTraceback(std::string frames) { traceback_ = std::move(frames); }
    void printLine(const std::string& line);

    lua_State* state() const { return state_; }
    // Failed chunks reported (see report) since the VM was made.
    int errorCount() const { return errorCount_; }
    const std::string& name() const { return name_; }
    ScriptWatchdog* watchdog() const { return watchdog_; }

    // The VM that owns a Lua state (or one of its coroutines); null for a
    // state that no ScriptVM made.
    static ScriptVM* of(lua_State* L);

    // For long loops inside script functions and libraries: raises the
    // watchdog's Lua error when the running script must stop.
    static void raiseIfInterrupted(lua_State* L);

    // Lua frames of the running call, from `level` outwards, as traceback()
    // lists them: the console and the error reporter share the format.
    static std::string describeFrames(lua_State* L, int level);

private:
    // Loads a chunk with `load`, runs it and drops its results; separator and
    // what (a file or a statement) end the refusal line of a closed state,
    // kept apart so that a callback's statement is not copied on every call.
    int execute(const char* separator, const std::string& what, const std::function<int()>& load);
    int report(int status);
    int loadStatement(const std::string& code);
    void rememberChunk(const std::string& code);

    std::string name_;
    ScriptWatchdog* watchdog_ = nullptr;
    const ScriptSandbox* sandbox_ = nullptr;
    const ScriptFunctionTable* functions_ = nullptr;
    lua_State* state_ = nullptr;
    std::set<std::string> reportedTables_;
    // Registry reference of the table of compiled statements (text ->
    // chunk), or LUA_NOREF (-2) before the first one; see loadStatement.
    int chunkCache_ = -2;
    // Registry reference of the message handler every chunk runs under.
    int handlerRef_ = -2;
    std::string traceback_;
    std::function<void(const std::string&)> printSink_;
    int cachedChunks_ = 0;
    int errorCount_ = 0;
};

}  // namespace vantor
