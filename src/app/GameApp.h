#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/LevelClock.h"
#include "platform/Clock.h"
#include "script/ErrorPanel.h"

namespace Ogre {
class Root;
class RenderWindow;
class SceneManager;
class OverlaySystem;
class DefaultHardwareBufferManager;
class LogManager;
}  // namespace Ogre

namespace vantor {

class ScriptVM;
class ScriptWatchdog;
class ScriptSandbox;
class CameraController;
class Simulation;
class CollisionMgr;
class CSound;
class InputHandler;
class GameState;
class PlayState;
class EditState;
class EngineLog;
class InputJournal;
class HeadlessTextureManager;
class ResourceSearch;
class DesignerTools;
namespace platform {
class FileWatcher;
}

// How an application is built. The executable uses the defaults; unit tests
// build a headless application (no render system, window, input or sound
// device) on a hand-driven clock.
struct AppOptions {
    bool headless = false;
    // Time source; null means the monotonic system clock. Not owned.
    platform::Clock* clock = nullptr;
    // Folder that holds setup.lua, LevelData/, ConfigData/ and Textures/.
    std::string resourceDir = "../Resource";
    // True for the first application of a process: Ogre.log starts empty.
    // Later applications of the same run (restarts) append to it.
    bool freshLog = true;
    std::string logFile = "Ogre.log";
    // Level started instead of the setup's startlevel; empty: the setup's.
    std::string startLevel;
    // A simulated clock that moves one tick per frame (record, replay and the
    // headless runner) instead of the system clock. A window keeps it at
    // real-time pace; a headless application runs it as fast as it can.
    bool fixedStep = false;
    // The log also goes to standard output.
    bool echoLog = false;
    // Ticks the process ran before this application (restarts), and the tick
    // at which the run ends; none: the game ends itself.
    uint64_t firstTick = 0;
    std::optional<uint64_t> tickLimit;
    // The process's input recording or replay; null: none. Not owned.
    InputJournal* journal = nullptr;
};

// The one application object: owns every subsystem, runs the frame loop.
// Reached everywhere through getApp(); exactly one exists at a time.
class GameApp {
public:
    explicit GameApp(const AppOptions& options = AppOptions());
    ~GameApp();
    GameApp(const GameApp&) = delete;
    GameApp& operator=(const GameApp&) = delete;

    // The frame loop. Returns true when a restart was requested.
    bool run();
    // One pass of the frame loop (also used by tests to drive a headless app).
    void frame();

    void shutDown(bool restart);
    // Records the level the frame loop loads after this frame's ticks. The
    // last request of a frame wins; the empty name asks for no load.
    void requestLevel(const std::string& name);
    // Tears the current level down and runs the named level file; an empty
    // name reloads the current level. Never call from inside a script call:
    // scripts go through requestLevel.
    void loadLevel(const std::string& name);
    // Asks for the current level to be loaded again after this frame's ticks
    // (F5, or a saved level file), logging `why`; a level change already
    // asked for this frame goes first.
    void requestReload(const std::string& why);

    // Application clock: milliseconds since the start of the current level,
    // unsigned and wrapping.
    uint32_t getTime();
    // Moves the application clock forward by ms (backward when negative).
    void fastForward(int32_t ms);

    // Lookup of the script states "lua", "setup" and "state"; logs and
    // returns null for any other name.
    ScriptVM* getScriptVM(const std::string& name);

    Ogre::Root* getRoot() { return ogre_.get(); }
    Ogre::RenderWindow* getRenderWindow() { return window_; }
    Ogre::SceneManager* getSceneManager() { return sceneMgr_; }
    CameraController* getCamera() { return camera_.get(); }
    Simulation* getSimulation() { return simulation_.get(); }
    CollisionMgr* getCollisionMgr() { return collisionMgr_.get(); }
    CSound* getSound() { return sound_.get(); }
    const std::string& getVersion() const { return version_; }
    const std::string& getMusicDir() const { return musicDir_; }
    const std::string& getCurrentLevel() const { return currentLevel_; }
    const std::string& getPendingLevel() const { return pendingLevel_; }
    bool isRunning() const { return running_; }
    // The window's debug text line (ShowText and the game states' notices);
    // the statistics overlay copies it every frame.
    void setDebugText(const std::string& text) { debugText_ = text; }
    const std::string& getDebugText() const { return debugText_; }
    // The on-screen panel of the latest script error. Kept per application:
    // a restarted application numbers its panels from the start again.
    ErrorPanel& getErrorPanel() { return errorPanel_; }
    // The console and the debug readout; null until rendering is set up.
    DesignerTools* getDesignerTools() { return tools_.get(); }

    // Game-state stack (play and edit states).
    void pushState(GameState* state);
    void popState();
    // Runs once before every simulation step; false stops stepping.
    bool updateState();
    void leaveEditMode();
    // False without an input handler (headless applications); while a
    // recording is replayed, as its events left the key.
    bool isKeyDown(int keyCode);
    // Null unless the process records or replays input.
    InputJournal* getInputJournal() const { return journal_; }
    // Ticks the process has run, restarts included.
    uint64_t getTickCount() const { return tick_; }
    // Script errors reported so far by this application's three states.
    int getScriptErrorCount() const;
    // Top of the stack, or null when it is empty.
    GameState* getCurrentState() const;
    // The setup table's text of that key in the "setup" state (getStringValue).
    std::string getSetupString(const std::string& key);

private:
    float getSetupFloat(const std::string& key);
    // The log hook of the application's lifetime (see core/Log.h): one line
    // to Ogre.log, prefixed with the simulation time and a blank while a
    // simulation exists.
    void logLine(const std::string& message);
    void teardown();
    // The tick gate: the game states' update, the tick count and its limit.
    bool beforeTick();
    void paceFrame();
    void setupRendering();
    void registerResourceLocations();
    bool registerShadowPrograms();
    void createStartupScene();
    void createGameStates();
    void logPowerStatus();
    void destroyNode(const std::string& name);
    // Hot reload: watches the level folders (setup.hotreload, on by default)
    // and, once per frame, reloads the level when one of its files was saved.
    void watchLevelFiles(const std::string& level);
    void checkLevelFiles();

    // Construction order matters: members are listed in the order they are
    // made, and the destructor tears them down explicitly in reverse.
    std::unique_ptr<platform::Clock> ownClock_;
    platform::Clock* clock_ = nullptr;
    std::unique_ptr<LevelClock> levelClock_;
    std::unique_ptr<EngineLog> log_;
    bool headless_ = false;
    std::string resourceDir_;
    std::string startLevel_;
    platform::ManualClock* fixedClock_ = nullptr;  // set in fixed-step runs; ownClock_
    uint32_t nextFrameAt_ = 0;  // system-clock ms a paced fixed-step frame waits for
    uint64_t tick_ = 0;
    std::optional<uint64_t> tickLimit_;
    InputJournal* journal_ = nullptr;

    std::unique_ptr<ScriptWatchdog> watchdog_;  // bounds every call into the three states
    std::unique_ptr<ScriptSandbox> sandbox_;    // what their scripts reach on disk
    std::unique_ptr<ScriptVM> setupVM_;
    std::unique_ptr<ScriptVM> stateVM_;
    std::unique_ptr<ScriptVM> luaVM_;

    std::unique_ptr<Ogre::DefaultHardwareBufferManager> headlessBuffers_;
    std::unique_ptr<HeadlessTextureManager> headlessTextures_;
    std::unique_ptr<Ogre::Root> ogre_;
    std::unique_ptr<Ogre::OverlaySystem> overlaySystem_;
    std::unique_ptr<ResourceSearch> resourceSearch_;
    std::unique_ptr<DesignerTools> tools_;
    Ogre::RenderWindow* window_ = nullptr;
    Ogre::SceneManager* sceneMgr_ = nullptr;
    unsigned long windowHandle_ = 0;

    std::unique_ptr<CollisionMgr> collisionMgr_;
    std::unique_ptr<Simulation> simulation_;
    std::unique_ptr<CSound> sound_;
    std::unique_ptr<CameraController> camera_;
    std::unique_ptr<InputHandler> handler_;              // null when headless
    std::unique_ptr<platform::FileWatcher> levelFiles_;  // null when hot reload is off
    std::unique_ptr<EditState> editState_;
    std::unique_ptr<PlayState> playState_;
    std::vector<GameState*> states_;  // owns nothing; back() is current

    bool running_ = true;
    bool restart_ = false;
    uint32_t sleepTime_ = 0;
    std::string currentLevel_;
    std::string pendingLevel_;
    // Level loads of an application built by a restart hand the freed heap
    // back to the system; see loadLevel.
    bool trimHeapAfterLoads_ = false;
    std::string musicDir_;
    std::string version_;
    std::string debugText_;
    ErrorPanel errorPanel_;
};

// The application that exists now, or null.
GameApp* getApp();

// Process entry: reads the command line (see CommandLine.h), then builds,
// runs and destroys applications until one ends without asking for a
// restart. Returns the process's exit code.
int runProcess(int argc, const char* const* argv);

}  // namespace vantor
