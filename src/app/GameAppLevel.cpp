// The start-up scene and level loading.

#include <Ogre.h>

#include "app/GameApp.h"
#include "camera/CameraController.h"
#include "collision/CollisionMgr.h"
#include "core/Log.h"
#include "core/Names.h"
#include "core/SceneLookup.h"
#include "platform/FileWatcher.h"
#include "platform/Heap.h"
#include "script/ScriptVM.h"
#include "script/TableValues.h"
#include "sound/CSound.h"
#include "states/GameState.h"
#include "world/Simulation.h"

namespace vantor {

namespace {
constexpr const char* kFadeMaterial = "FadeinMaterial";
constexpr const char* kReloading = "Reloading level ";
constexpr const char* kCannotWatch = "Error: hot reload: cannot watch ";
constexpr const char* kLevelSuffix = ".lua";

// The folder part of a path, with its trailing slash; empty for a bare name.
std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Destroys everything attached below a node, then the nodes themselves.
// OGRE's node teardown leaves attached objects alive under their names, and a
// level that is loaded again would then fail to create them a second time.
void destroySubtreeObjects(Ogre::SceneManager* scene, Ogre::SceneNode* node) {
    for (Ogre::Node* child : node->getChildren()) {
        destroySubtreeObjects(scene, static_cast<Ogre::SceneNode*>(child));
    }
    while (node->numAttachedObjects() > 0) {
        scene->destroyMovableObject(node->detachObject(static_cast<unsigned short>(0)));
    }
}
}  // namespace

void GameApp::createStartupScene() {
    Ogre::Light* sun = sceneMgr_->createLight("sun");
    sun->setType(Ogre::Light::LT_DIRECTIONAL);
    // The light's and the camera's own transforms, which OGRE 1.12 marks
    // deprecated in favour of scene nodes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    sun->setDirection(Ogre::Vector3(0.5f, -0.7f, -0.41f).normalisedCopy());
#pragma GCC diagnostic pop
    sun->setDiffuseColour(Ogre::ColourValue(0.7f, 0.7f, 0.5f));

    Ogre::SceneNode* root = sceneMgr_->getRootSceneNode();
    root->createChildSceneNode(names::kLevelRoot, Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
    Ogre::SceneNode* hidden =
        root->createChildSceneNode(names::kHidden, Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
    hidden->translate(Ogre::Vector3(0, 50000, 50000), Ogre::Node::TS_PARENT);
    // Known by name, but out of the rendered graph: nothing below it is drawn.
    root->removeChild(names::kHidden);

    camera_ = std::make_unique<CameraController>(*sceneMgr_, *levelClock_, collisionMgr_.get());
    simulation_->setCamera(camera_.get());
    camera_->setPosition(Ogre::Vector3(-100, 20, 70));
    Ogre::Camera* camera = camera_->getCamera();
    camera->setNearClipDistance(0.5f);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    camera->lookAt(Ogre::Vector3(0, -50, 0));
#pragma GCC diagnostic pop
    if (window_) {
        Ogre::Viewport* viewport = window_->addViewport(camera, 0, 0, 0, 1, 1);
        viewport->setBackgroundColour(Ogre::ColourValue(0, 0, 0, 1));
        camera->setAspectRatio(Ogre::Real(viewport->getActualWidth()) /
                               Ogre::Real(viewport->getActualHeight()));
    }

    if (!headless_ &&
        getOptionalFloat(setupVM_.get(), names::kSetupTable, "hotreload", 1.0f) != 0.0f) {
        levelFiles_ = std::make_unique<platform::FileWatcher>();
    }
    loadLevel(startLevel_);
    camera_->attach();
}

void GameApp::requestReload(const std::string& why) {
    log(kReloading + currentLevel_ + ": " + why);
    if (pendingLevel_.empty()) {
        pendingLevel_ = currentLevel_;
    }
}

void GameApp::watchLevelFiles(const std::string& level) {
    if (!levelFiles_) {
        return;
    }
    const std::string resourceDir = getSetupString("resourcedir");
    // Every .lua file of the level folder, and the level's own file wherever
    // it lies; the folder is watched, not the files, so that a save that
    // replaces the file by renaming another over it is seen too.
    for (const std::string& folder : {folderOf(resourceDir), folderOf(resourceDir + level)}) {
        std::string error;
        if (!levelFiles_->watch(folder, error)) {
            log(kCannotWatch + folder + ": " + error);
        }
    }
}

void GameApp::checkLevelFiles() {
    if (!levelFiles_ || currentLevel_.empty()) {
        return;
    }
    const std::string resourceDir = folderOf(getSetupString("resourcedir"));
    const std::string levelFile = getSetupString("resourcedir") + currentLevel_;
    for (const std::string& path : levelFiles_->changedFiles()) {
        const bool inLevelFolder = path.compare(0, resourceDir.size(), resourceDir) == 0 &&
                                   path.find('/', resourceDir.size()) == std::string::npos;
        if (path == levelFile || (inLevelFolder && endsWith(path, kLevelSuffix))) {
            requestReload(path + " was saved");
            return;  // one reload however many files one save touched
        }
    }
}

void GameApp::loadLevel(const std::string& requested) {
    const std::string resourceDir = getSetupString("resourcedir");
    const std::string level = requested.empty() ? currentLevel_ : requested;
    levelClock_->restart();
    log("LoadLevel(" + level + ") start at: " + std::to_string(getTime()));

    if (window_ && window_->getNumViewports() > 0) {
        Ogre::Viewport* viewport = window_->getViewport(0);
        Ogre::CompositorManager& compositors = Ogre::CompositorManager::getSingleton();
        if (compositors.hasCompositorChain(viewport)) {
            compositors.getCompositorChain(viewport)->removeAllCompositors();
        }
    }

    if (!currentLevel_.empty() && simulation_) {
        simulation_->resetAvatar();
    }
    if (camera_) {
        camera_->detach();
    }
    if (simulation_) {
        simulation_->clear();
    }
    if (collisionMgr_) {
        collisionMgr_->clear();
    }

    if (sound_) {
        sound_->stopAll();
        sound_->stopStream();
    }

    if (Ogre::SceneNode* levelRoot = findSceneNode(sceneMgr_, names::kLevelRoot)) {
        destroySubtreeObjects(sceneMgr_, levelRoot);
        levelRoot->removeAndDestroyAllChildren();
        if (Ogre::SceneNode* parent = levelRoot->getParentSceneNode()) {
            parent->removeChild(levelRoot);
        }
        sceneMgr_->destroySceneNode(levelRoot);
    } else {
        log("Error: LoadLevel: no scene node LevelRoot to tear down");
    }

    luaVM_->close();
    errorPanel_.forget();

    Ogre::MaterialPtr fade =
        Ogre::MaterialManager::getSingleton().getByName(kFadeMaterial, Ogre::RGN_AUTODETECT);
    Ogre::TextureUnitState* fadeUnit = nullptr;
    if (fade && fade->getNumTechniques() > 0 && fade->getTechnique(0)->getNumPasses() > 0 &&
        fade->getTechnique(0)->getPass(0)->getNumTextureUnitStates() > 0) {
        fadeUnit = fade->getTechnique(0)->getPass(0)->getTextureUnitState(0);
    }
    if (fadeUnit) {
        fadeUnit->setTextureScroll(0, 0);
        fadeUnit->setScrollAnimation(0.5f, 0);
    } else {
        log("Error: LoadLevel: material FadeinMaterial with a texture unit not found");
    }

    luaVM_->open();
    // Missing tables are logged once per level (see Config).
    setupVM_->forgetReportedTables();
    stateVM_->forgetReportedTables();
    watchLevelFiles(level);
    luaVM_->executeFile(resourceDir + level);
    if (simulation_) {
        simulation_->processMessages();
    }

    if (camera_) {
        camera_->setCollisionSpace(getOptionalString(luaVM_.get(), "Level", "cameracollision"));
        camera_->attach();
    }
    currentLevel_ = level;
    pendingLevel_.clear();
    if (!states_.empty()) {
        // An edit state returns to play at its next update.
        states_.back()->leave();
    }
    log("LoadLevel(" + level + ") end at: " + std::to_string(getTime()));
    // In an application built by a restart, the heap is full of the space
    // the previous application freed. A load's buffers land there instead of
    // in mappings of their own, and once freed their pages stay resident: the
    // restarted game would run about 2 MB larger than the first. Handing them
    // back after each load (about a millisecond, plus faulting the pages in
    // again at the next load) keeps it at the first one's size. The first
    // application has no such space and keeps its loads at full speed.
    if (trimHeapAfterLoads_) {
        platform::releaseFreeHeap();
    }
}

}  // namespace vantor
