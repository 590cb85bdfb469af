#include "support/HeadlessOgre.h"

#include <Ogre.h>
#include <OgreDefaultHardwareBufferManager.h>
#include <OgreOverlaySystem.h>

namespace vantor::test {

HeadlessOgre::HeadlessOgre() {
    // Keep the library's own chatter out of the test output: a log that writes no file.
    if (!Ogre::LogManager::getSingletonPtr()) {
        auto* logs = new Ogre::LogManager();  // lives for the test process
        logs->createLog("unit.log", true, false, true);
    }
    root_ = std::make_unique<Ogre::Root>("", "", "");
    buffers_ = std::make_unique<Ogre::DefaultHardwareBufferManager>();
    Ogre::MaterialManager::getSingleton().initialise();
    Ogre::MeshManager::getSingleton()._initialise();
    overlays_ = std::make_unique<Ogre::OverlaySystem>();
    sceneMgr_ =
        root_->createSceneManager(Ogre::DefaultSceneManagerFactory::FACTORY_TYPE_NAME, "Generic");
}

HeadlessOgre::~HeadlessOgre() {
    Ogre::MeshManager::getSingleton().removeAll();
    overlays_.reset();
    root_.reset();
    buffers_.reset();
}

}  // namespace vantor::test
