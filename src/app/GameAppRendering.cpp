// Bringing up the rendering library: plug-ins, the window, resource groups,
// the scene manager, lighting and shadows.

#include <Ogre.h>
#include <OgreDefaultHardwareBufferManager.h>
#include <OgreOverlayManager.h>
#include <OgreOverlaySystem.h>

#include <filesystem>
#include <stdexcept>

#include "app/GameApp.h"
#include "app/HeadlessTextures.h"
#include "app/ResourceSearch.h"
#include "core/Log.h"
#include "core/Names.h"
#include "core/Numbers.h"
#include "core/ResourceGroups.h"
#include "platform/WindowEvents.h"

namespace vantor {

namespace {

constexpr const char* kFallbackRenderSystem = "RenderSystem_GL";
constexpr const char* kRootTitle = "OGRE Render Window";
constexpr const char* kWindowName = "Vantor";
constexpr int kFallbackWidth = 800;
constexpr int kFallbackHeight = 600;
// Larger sides are no window a display can show (a setup number far out of
// range saturates to the largest int, which reads as not usable too).
constexpr int kMaxWindowSide = 16384;
constexpr size_t kShadowIndexBufferSize = 51000;
// Start-up failures the process ends with (after "vantor: fatal: ").
constexpr const char* kNoDisplay =
    "there is no display (run with --headless to play without a window): ";
constexpr const char* kNoRenderWindow = "the render system cannot open the render window: ";

struct ResourceLocation {
    const char* path;  // below the resource folder
    const char* type;
    const char* group;
};

// Registered and initialised in this order.
constexpr ResourceLocation kResourceLocations[] = {
    {"LevelData", "FileSystem", "LevelData"},
    {"ConfigData", "FileSystem", "ConfigData"},
    {"ConfigData/OgreCore.zip", "Zip", "GUI"},
    {"Textures", "FileSystem", "Textures"},
};

std::string pluginPath(const std::string& name) {
    // OGRE dlopens a bare plug-in name without searching its own folder.
    return std::string(VANTOR_OGRE_PLUGIN_DIR) + "/" + name;
}

}  // namespace

void GameApp::setupRendering() {
    sleepTime_ = static_cast<uint32_t>(std::max(0, truncateToInt(getSetupFloat("sleeptime"))));
    int width = truncateToInt(getSetupFloat("window_width"));
    int height = truncateToInt(getSetupFloat("window_height"));
    const bool fullscreen = getSetupFloat("fullscreen") != 0.0f;
    const std::string renderSystem = getSetupString("rendersystem");
    bool shadows = getSetupFloat("shadows") != 0.0f;
    musicDir_ = getSetupString("musicdir");
    const float shadowDistance = getSetupFloat("shadowdistance");

    // The log already exists (EngineLog), so the root adopts it.
    ogre_ = std::make_unique<Ogre::Root>("", "", "Ogre.log");

    if (headless_) {
        // No render system: buffers live in system memory and nothing is drawn.
        headlessBuffers_ = std::make_unique<Ogre::DefaultHardwareBufferManager>();
        headlessTextures_ = std::make_unique<HeadlessTextureManager>();
        Ogre::MaterialManager::getSingleton().initialise();
        Ogre::MeshManager::getSingleton()._initialise();
    } else {
        if (!platform::prepareWindowSystem()) {
            const std::string display = platform::displayName();
            throw std::runtime_error(
                std::string(kNoDisplay) +
                (display.empty() ? "DISPLAY is not set" : "cannot connect to display " + display));
        }
        try {
            ogre_->loadPlugin(pluginPath(renderSystem));
        } catch (...) {
            ogre_->loadPlugin(pluginPath(kFallbackRenderSystem));
        }
        const Ogre::RenderSystemList& renderers = ogre_->getAvailableRenderers();
        if (renderers.empty()) {
            OGRE_EXCEPT(Ogre::Exception::ERR_RENDERINGAPI_ERROR, "no render system available",
                        "GameApp::setupRendering");
        }
        ogre_->setRenderSystem(renderers.front());

        if (width <= 0 || height <= 0 || width > kMaxWindowSide || height > kMaxWindowSide) {
            log("Error: window size " + std::to_string(width) + "x" + std::to_string(height) +
                " is not usable; opening 800x600");
            width = kFallbackWidth;
            height = kFallbackHeight;
        }
        try {
            ogre_->initialise(false, kRootTitle);
            ogre_->loadPlugin(pluginPath("Plugin_OctreeSceneManager"));
            ogre_->loadPlugin(pluginPath("Plugin_ParticleFX"));
            // Image codecs, so textures load and screenshots can be written.
            ogre_->loadPlugin(pluginPath("Codec_STBI"));
            Ogre::NameValuePairList params;
            params["resolution"] = std::to_string(width) + "x" + std::to_string(height);
            window_ = ogre_->createRenderWindow(kWindowName, width, height, fullscreen, &params);
        } catch (const std::exception& e) {
            // Without GLX on the server, or when the driver refuses another
            // context, the window cannot be made.
            throw std::runtime_error(std::string(kNoRenderWindow) + e.what());
        }
        platform::registerRenderWindow(window_);
    }

    // The overlay system must exist before the resource groups are
    // initialised, so overlay and font scripts are parsed with them.
    overlaySystem_ = std::make_unique<Ogre::OverlaySystem>();
    if (shadows && !headless_) {
        shadows = registerShadowPrograms();
    }
    registerResourceLocations();

    sceneMgr_ = ogre_->createSceneManager(Ogre::DefaultSceneManagerFactory::FACTORY_TYPE_NAME,
                                          names::kSceneManager);
    sceneMgr_->addRenderQueueListener(overlaySystem_.get());
    sceneMgr_->setAmbientLight(Ogre::ColourValue(0.5f, 0.5f, 0.5f, 1.0f));
    if (shadows) {
        sceneMgr_->setShadowTechnique(Ogre::SHADOWTYPE_STENCIL_MODULATIVE);
        sceneMgr_->setShadowColour(Ogre::ColourValue(0.4f, 0.35f, 0.2f, 1.0f));
        sceneMgr_->setShadowIndexBufferSize(kShadowIndexBufferSize);
        sceneMgr_->setShadowFarDistance(shadowDistance);
    } else {
        sceneMgr_->setShadowTechnique(Ogre::SHADOWTYPE_NONE);
    }

    if (window_) {
        window_->getCustomAttribute("WINDOW", &windowHandle_);
    }
    if (!Ogre::OverlayManager::getSingleton().getByName("Core/DebugOverlay")) {
        log("Error: overlay Core/DebugOverlay not found; no frame statistics");
    }
}

// Stencil shadows extrude their volumes with GPU programs that OGRE ships as
// media of its own; without them the first shadowed frame would fail.
bool GameApp::registerShadowPrograms() {
    const std::string path = std::string(VANTOR_OGRE_MEDIA_DIR) + "/ShadowVolume";
    if (!std::filesystem::exists(path)) {
        log("Error: shadow programs not found in " + path + "; shadows are off");
        return false;
    }
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.addResourceLocation(path, "FileSystem", Ogre::RGN_INTERNAL, false);
    groups.initialiseResourceGroup(Ogre::RGN_INTERNAL);
    return true;
}

void GameApp::registerResourceLocations() {
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    resourceSearch_ = std::make_unique<ResourceSearch>();
    for (const ResourceLocation& location : kResourceLocations) {
        ensureGlobalResourceGroup(location.group);
        const std::string path = resourceDir_ + "/" + location.path;
        if (!std::filesystem::exists(path)) {
            log("Error: resource location " + path + " does not exist");
            continue;
        }
        try {
            groups.addResourceLocation(path, location.type, location.group, false);
        } catch (const std::exception& e) {
            log("Error: resource location " + path + ": " + e.what());
        }
    }
    for (const ResourceLocation& location : kResourceLocations) {
        try {
            if (groups.resourceGroupExists(location.group)) {
                groups.initialiseResourceGroup(location.group);
            }
        } catch (const std::exception& e) {
            log("Error: resource group " + std::string(location.group) + ": " + e.what());
        }
    }
}

}  // namespace vantor
