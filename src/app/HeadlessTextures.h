#pragma once

#include <OgreTextureManager.h>

namespace vantor {

// The texture manager of a headless application. Without a render system
// OGRE has none, and the first material with a texture unit (or a TrueType
// font) would stop the process. Textures made here keep their pixels in
// system memory and read no image files: nothing is drawn, but materials,
// fonts and overlays load as they do in a window. Created after the root and
// destroyed before it.
class HeadlessTextureManager final : public Ogre::TextureManager {
public:
    HeadlessTextureManager();
    ~HeadlessTextureManager() override;

    Ogre::PixelFormat getNativeFormat(Ogre::TextureType, Ogre::PixelFormat format, int) override {
        return format;
    }

protected:
    Ogre::Resource* createImpl(const Ogre::String& name, Ogre::ResourceHandle handle,
                               const Ogre::String& group, bool isManual,
                               Ogre::ManualResourceLoader* loader,
                               const Ogre::NameValuePairList* params) override;
};

}  // namespace vantor
