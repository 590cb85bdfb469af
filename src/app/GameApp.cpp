#include "app/GameApp.h"

#include <Ogre.h>
#include <OgreDefaultHardwareBufferManager.h>
#include <OgreOverlayManager.h>
#include <OgreOverlaySystem.h>

#include <chrono>
#include <exception>
#include <iostream>
#include <optional>
#include <stdexcept>

#include "app/EngineLog.h"
#include "app/FrameStats.h"
#include "app/ResourceSearch.h"
#include "camera/CameraController.h"
#include "collision/CollisionMgr.h"
#include "core/Log.h"
#include "core/Names.h"
#include "core/Numbers.h"
#include "platform/FileWatcher.h"
#include "platform/Heap.h"
#include "platform/Power.h"
#include "platform/Signals.h"
#include "platform/WindowEvents.h"
#include "script/ScriptSandbox.h"
#include "script/ScriptVM.h"
#include "script/ScriptWatchdog.h"
#include "script/TableValues.h"
#include "script/bindings/FunctionTable.h"
#include "sound/CSound.h"
#include "states/EditState.h"
#include "states/InputHandler.h"
#include "states/PlayState.h"
#include "world/DesignerTools.h"
#include "world/Simulation.h"

namespace vantor {

namespace {

// The one application of the process; set first in construction and cleared
// last in destruction.
GameApp* theApp = nullptr;

constexpr const char* kVersion = "Version: 1.07";
constexpr const char* kStartUpFailed = "Error: the game cannot start: ";

// Setup volumes run from 0 to 5; the sound system's scale from 0 to 256.
int scaleSetupVolume(float volume) {
    return truncateToInt(static_cast<double>(volume) * 51.0);
}

}  // namespace

GameApp* getApp() {
    return theApp;
}

GameApp::GameApp(const AppOptions& options) {
    theApp = this;
    setLogHook([this](const std::string& message) { logLine(message); });
    version_ = kVersion;
    headless_ = options.headless;
    resourceDir_ = options.resourceDir;
    if (options.clock) {
        clock_ = options.clock;
    } else {
        ownClock_ = std::make_unique<platform::SystemClock>();
        clock_ = ownClock_.get();
    }
    levelClock_ = std::make_unique<LevelClock>(*clock_);
    log_ = std::make_unique<EngineLog>(options.logFile, options.freshLog);
    trimHeapAfterLoads_ = !options.freshLog;
    if (!headless_) {
        platform::installQuitSignals();
    }

    // What made construction fail, copied out of the exception: the object may
    // belong to a plug-in (the render system's own exception types) that the
    // teardown unloads, so it must be gone before the teardown starts.
    std::optional<std::string> failure;
    try {
        watchdog_ = std::make_unique<ScriptWatchdog>();
        const ScriptFunctionTable* functions = &scriptFunctionTable();
        setupVM_ =
            std::make_unique<ScriptVM>(names::kSetupState, watchdog_.get(), nullptr, functions);
        setupVM_->open();
        setupVM_->executeFile(resourceDir_ + "/setup.lua");
        watchdog_->setLimit(getOptionalFloat(setupVM_.get(), names::kSetupTable, "scriptlimit",
                                             ScriptWatchdog::kDefaultLimitSeconds));
        sandbox_ = std::make_unique<ScriptSandbox>(
            getOptionalFloat(setupVM_.get(), names::kSetupTable, "sandbox", 0.0f) != 0.0f,
            resourceDir_ + "/..", resourceDir_ + "/setup.lua");
        setupVM_->setSandbox(sandbox_.get());
        stateVM_ = std::make_unique<ScriptVM>(names::kStateState, watchdog_.get(), sandbox_.get(),
                                              functions);
        stateVM_->open();
        luaVM_ = std::make_unique<ScriptVM>(names::kLuaState, watchdog_.get(), sandbox_.get(),
                                            functions);
        luaVM_->open();

        setupRendering();
        logPowerStatus();

        collisionMgr_ = std::make_unique<CollisionMgr>();
        simulation_ = std::make_unique<Simulation>(
            WorldLinks{*sceneMgr_, *collisionMgr_, *luaVM_, *levelClock_});
        // The game states' update runs before every tick; see updateState.
        simulation_->setTickGate([this] { return updateState(); });
        tools_ = std::make_unique<DesignerTools>(*simulation_, *luaVM_, *setupVM_, *stateVM_);

        if (getSetupFloat("music") != 0.0f) {
            sound_ = std::make_unique<CSound>(sceneMgr_);
            const float soundVolume = getSetupFloat("soundvolume");
            const float musicVolume = getSetupFloat("musicvolume");
            sound_->setVolumes(scaleSetupVolume(soundVolume), scaleSetupVolume(musicVolume));
            simulation_->setSound(sound_.get(), musicDir_);
        }

        createStartupScene();
        createGameStates();
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "unknown failure";
    }
    if (failure) {
        // Ogre.log keeps why the game ended; the terminal gets the reason once,
        // from the process entry.
        if (Ogre::LogManager* logs = Ogre::LogManager::getSingletonPtr()) {
            logs->logMessage(kStartUpFailed + *failure);
        }
        // A half-built application is torn down in the same order as a whole
        // one, so nothing outlives the objects it depends on.
        teardown();
        throw std::runtime_error(*failure);
    }
}

GameApp::~GameApp() {
    teardown();
}

void GameApp::teardown() {
    log("~GameApp()");
    log("delete editState");
    states_.clear();
    editState_.reset();
    playState_.reset();
    log("delete handler");
    handler_.reset();
    levelFiles_.reset();
    // Reads the simulation and the collision manager and draws into the scene.
    tools_.reset();
    log("delete simulation");
    // The pointer stays set while the simulation is deleted, so its own
    // teardown lines still carry its clock; lines after this have no prefix.
    delete simulation_.get();
    static_cast<void>(simulation_.release());
    log("delete sound");
    sound_.reset();
    log("delete collisionMgr");
    collisionMgr_.reset();
    log("delete camera");
    camera_.reset();
    log("delete ogre");
    if (sceneMgr_ && overlaySystem_) {
        sceneMgr_->removeRenderQueueListener(overlaySystem_.get());
    }
    if (window_) {
        platform::unregisterRenderWindow(window_);
    }
    overlaySystem_.reset();
    if (resourceSearch_) {
        Ogre::ResourceGroupManager::getSingleton().setLoadingListener(nullptr);
        resourceSearch_.reset();
    }
    window_ = nullptr;
    sceneMgr_ = nullptr;
    ogre_.reset();
    headlessBuffers_.reset();
    // Each state is closed by its destructor; a state that never opened is
    // only deleted.
    luaVM_.reset();
    stateVM_.reset();
    setupVM_.reset();
    sandbox_.reset();
    watchdog_.reset();
    states_.clear();
    states_.shrink_to_fit();
    log_.reset();
    setLogHook(nullptr);
    theApp = nullptr;
}

bool GameApp::run() {
    while (running_) {
        frame();
    }
    return restart_;
}

void GameApp::frame() {
    platform::sleepMs(static_cast<int>(sleepTime_));

    if (handler_) {
        handler_->capture();
    }

    if (!headless_) {
        platform::pumpWindowEvents();
        if (platform::quitRequested()) {
            running_ = false;
        }
    }

    const auto ticksStarted = std::chrono::steady_clock::now();
    const uint32_t timeBefore = simulation_ ? simulation_->getTime() : 0;
    while (simulation_ && simulation_->step()) {
    }
    if (tools_) {
        tools_->noteTicks(timeBefore, ticksStarted);
    }

    if (sound_) {
        sound_->updateListener();
    }

    if (tools_) {
        tools_->update();
    }
    if (window_) {
        updateFrameStatistics(window_->getStatistics(), debugText_);
    }

    checkLevelFiles();
    if (!pendingLevel_.empty()) {
        loadLevel(pendingLevel_);
    }

    if (!headless_) {
        ogre_->renderOneFrame();
        if (window_->isClosed()) {
            running_ = false;
        }
    }
}

void GameApp::shutDown(bool restart) {
    running_ = false;
    restart_ = restart;
}

void GameApp::requestLevel(const std::string& name) {
    // The last request of a frame wins: an empty name asks for no load and so
    // cancels an earlier request of the same frame.
    pendingLevel_ = name;
}

uint32_t GameApp::getTime() {
    return levelClock_->nowMs();
}

void GameApp::fastForward(int32_t ms) {
    levelClock_->fastForward(ms);
}

void GameApp::logLine(const std::string& message) {
    const std::string line =
        simulation_ ? std::to_string(simulation_->getTime()) + " " + message : message;
    Ogre::LogManager* logs = Ogre::LogManager::getSingletonPtr();
    writeToLogSink(line);
    if (logs && logs->getDefaultLog() && !window_ && !headless_) {
        // Until the window exists, the engine's own lines are echoed to stderr
        // so start-up trouble (a broken setup file) shows on the terminal too.
        std::cerr << message << '\n';
    }
}

ScriptVM* GameApp::getScriptVM(const std::string& name) {
    if (name == names::kLuaState) {
        return luaVM_.get();
    }
    if (name == names::kSetupState) {
        return setupVM_.get();
    }
    if (name == names::kStateState) {
        return stateVM_.get();
    }
    log("Error! No such Lua VM found: " + name);
    return nullptr;
}

float GameApp::getSetupFloat(const std::string& key) {
    return getFloatValue(setupVM_.get(), names::kSetupTable, key);
}

std::string GameApp::getSetupString(const std::string& key) {
    return getStringValue(setupVM_.get(), names::kSetupTable, key);
}

void GameApp::logPowerStatus() {
    log(std::string("AC connected: ") + (platform::isOnAcPower() ? "true" : "false"));
}

int runProcess() {
    platform::fixAllocatorThresholds();
    bool restart = true;
    bool firstApplication = true;
    while (restart) {
        if (!firstApplication) {
            // The application before a restart freed its scenes, scripts and
            // render system; those pages go back to the system instead of
            // staying resident under the next application.
            platform::releaseFreeHeap();
        }
        try {
            AppOptions options;
            options.freshLog = firstApplication;
            firstApplication = false;
            GameApp app(options);
            restart = app.run();
        } catch (const std::exception& e) {
            // The rendering library reports what it cannot do (no display, no
            // render system, a broken resource archive) as exceptions.
            std::cerr << "vantor: fatal: " << e.what() << '\n';
            return 1;
        }
    }
    return 0;
}

}  // namespace vantor
