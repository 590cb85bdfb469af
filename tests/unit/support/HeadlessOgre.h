#pragma once

#include <memory>

namespace Ogre {
class Root;
class SceneManager;
class DefaultHardwareBufferManager;
class OverlaySystem;
}  // namespace Ogre

namespace vantor::test {

// OGRE without a render system or window: scene nodes, entities, manual meshes
// with readable buffers, splines and overlay elements all work; textures and
// TrueType fonts do not. One instance per test; it tears down in the order the
// library needs.
class HeadlessOgre {
public:
    HeadlessOgre();
    ~HeadlessOgre();

    Ogre::Root& root() { return *root_; }
    Ogre::SceneManager* sceneManager() { return sceneMgr_; }

private:
    std::unique_ptr<Ogre::DefaultHardwareBufferManager> buffers_;
    std::unique_ptr<Ogre::Root> root_;
    std::unique_ptr<Ogre::OverlaySystem> overlays_;
    Ogre::SceneManager* sceneMgr_ = nullptr;
};

}  // namespace vantor::test
