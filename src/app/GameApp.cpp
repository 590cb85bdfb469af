#include "app/GameApp.h"

#include <Ogre.h>
#include <OgreDefaultHardwareBufferManager.h>
#include <OgreOverlayManager.h>
#include <OgreOverlaySystem.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <iostream>
#include <optional>
#include <stdexcept>

#include "app/CommandLine.h"
#include "app/EngineLog.h"
#include "app/FrameStats.h"
#include "app/HeadlessTextures.h"
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
#include "states/InputJournal.h"
#include "states/PlayState.h"
#include "world/DesignerTools.h"
#include "world/Simulation.h"

namespace vantor {

namespace {

// The one application of the process; set first in construction and cleared
// last in destruction.
GameApp* theApp = nullptr;

constexpr const char* kVersion = "Version: 1.07";
// The number alone, for --version.
constexpr const char* kVersionNumber = kVersion + 9;
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
    if (options.fixedStep) {
        auto fixed = std::make_unique<platform::ManualClock>();
        fixedClock_ = fixed.get();
        ownClock_ = std::move(fixed);
        clock_ = fixedClock_;
    } else if (options.clock) {
        clock_ = options.clock;
    } else {
        ownClock_ = std::make_unique<platform::SystemClock>();
        clock_ = ownClock_.get();
    }
    levelClock_ = std::make_unique<LevelClock>(*clock_);
    log_ = std::make_unique<EngineLog>(options.logFile, options.freshLog, options.echoLog);
    trimHeapAfterLoads_ = !options.freshLog;
    tick_ = options.firstTick;
    tickLimit_ = options.tickLimit;
    journal_ = options.journal;
    if (!headless_ || fixedClock_) {
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
        startLevel_ =
            options.startLevel.empty() ? getSetupString("startlevel") : options.startLevel;
        if (journal_) {
            journal_->startApplication(setupVM_->state(), startLevel_);
        }
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
        simulation_->setTickGate([this] { return beforeTick(); });
        tools_ = std::make_unique<DesignerTools>(*simulation_, *luaVM_, *setupVM_, *stateVM_);

        // A headless application opens no sound device, whatever the setup says.
        if (!headless_ && getSetupFloat("music") != 0.0f) {
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
    if (headlessTextures_) {
        // Unloaded first: a texture that a material still holds must not
        // report its unloading to the deleted manager later.
        headlessTextures_->unloadAll();
        headlessTextures_.reset();
    }
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
    if (!fixedClock_ || !headless_) {
        platform::sleepMs(static_cast<int>(sleepTime_));
    }

    // Events of this frame arrive before its ticks and are stamped with the
    // first of them.
    if (journal_) {
        journal_->startFrame(tick_);
    }
    if (handler_) {
        handler_->capture();
    }

    if (!headless_) {
        platform::pumpWindowEvents();
    }
    if ((!headless_ || fixedClock_) && platform::quitRequested()) {
        running_ = false;
    }

    // The last frame of a limited run still takes the events of its last tick
    // (the recording may have ended on them), but runs no tick.
    if (tickLimit_ && tick_ >= *tickLimit_) {
        running_ = false;
    }
    const auto ticksStarted = std::chrono::steady_clock::now();
    const uint32_t timeBefore = simulation_ ? simulation_->getTime() : 0;
    while (simulation_ && simulation_->step()) {
    }
    if (tools_) {
        tools_->noteTicks(timeBefore, ticksStarted);
    }
    if (fixedClock_) {
        // Before a level load, which starts the level clock at the new time.
        fixedClock_->advance(Simulation::kTickMs);
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
        if (fixedClock_) {
            paceFrame();
        }
    }
}

bool GameApp::beforeTick() {
    // A frame of the system clock may run several ticks; the limit holds
    // inside it too.
    if (tickLimit_ && tick_ >= *tickLimit_) {
        return false;
    }
    if (!updateState()) {
        return false;
    }
    ++tick_;
    return true;
}

void GameApp::paceFrame() {
    // A windowed fixed-step run plays at 50 ticks per second of real time, and
    // slows down rather than skipping ticks when frames take longer.
    platform::SystemClock wall;
    const uint32_t now = wall.nowMs();
    if (nextFrameAt_ == 0 || static_cast<int32_t>(now - nextFrameAt_) > 100) {
        nextFrameAt_ = now;
    }
    nextFrameAt_ += Simulation::kTickMs;
    platform::sleepMs(static_cast<int32_t>(nextFrameAt_ - now));
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

int GameApp::getScriptErrorCount() const {
    int count = 0;
    for (const ScriptVM* vm : {setupVM_.get(), stateVM_.get(), luaVM_.get()}) {
        count += vm ? vm->errorCount() : 0;
    }
    return count;
}

int runProcess(int argc, const char* const* argv) {
    CommandLine command;
    std::string error;
    if (!parseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc), command,
                          error)) {
        std::cerr << "vantor: " << error << '\n' << usageText();
        return kExitUsage;
    }
    if (command.help) {
        std::cout << usageText();
        return kExitOk;
    }
    if (command.version) {
        std::cout << "vantor " << kVersionNumber << '\n';
        return kExitOk;
    }
    std::unique_ptr<InputJournal> journal;
    if (!command.recordFile.empty()) {
        journal = InputJournal::record(command.recordFile, error);
    } else if (!command.replayFile.empty()) {
        journal = InputJournal::replay(command.replayFile, error);
    }
    if (!error.empty()) {
        std::cerr << "vantor: " << error << '\n';
        return kExitUsage;
    }
    const bool replay = journal && journal->isReplay();

    platform::fixAllocatorThresholds();
    bool restart = true;
    bool firstApplication = true;
    uint64_t ticks = 0;
    int scriptErrors = 0;
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
            options.headless = command.headless;
            options.echoLog = command.headless;
            options.fixedStep = command.headless || journal;
            options.startLevel = replay ? journal->level() : command.level;
            options.firstTick = ticks;
            // A replay ends where its recording ended, unless told otherwise.
            if (command.ticks != 0) {
                options.tickLimit = command.ticks;
            } else if (replay) {
                options.tickLimit = journal->endTick();
            }
            options.journal = journal.get();
            GameApp app(options);
            restart = app.run();
            ticks = app.getTickCount();
            scriptErrors += app.getScriptErrorCount();
        } catch (const std::exception& e) {
            // The rendering library reports what it cannot do (no display, no
            // render system, a broken resource archive) as exceptions.
            std::cerr << "vantor: fatal: " << e.what() << '\n';
            return kExitScriptErrors;
        }
    }
    if (journal) {
        journal->finish(ticks);
    }
    // Only the headless runner reports script errors in its exit code: a
    // windowed game that the player ends is a success whatever its levels did.
    return command.headless && scriptErrors != 0 ? kExitScriptErrors : kExitOk;
}

}  // namespace vantor
