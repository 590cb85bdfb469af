#include "app/HeadlessTextures.h"

#include <OgreHardwarePixelBuffer.h>
#include <OgrePixelFormat.h>
#include <OgreResourceGroupManager.h>
#include <OgreTexture.h>

#include <vector>

namespace vantor {

namespace {

// A pixel buffer in system memory.
class MemoryPixelBuffer final : public Ogre::HardwarePixelBuffer {
public:
    MemoryPixelBuffer(uint32_t width, uint32_t height, uint32_t depth, Ogre::PixelFormat format)
        : Ogre::HardwarePixelBuffer(width, height, depth, format, Ogre::HBU_CPU_ONLY, true, false),
          pixels_(Ogre::PixelUtil::getMemorySize(width, height, depth, format)) {}

    void blitFromMemory(const Ogre::PixelBox& source, const Ogre::Box& target) override {
        // Scaled copies have no use without drawing; same-sized ones keep the
        // pixels for whoever reads them back.
        if (source.getWidth() == target.getWidth() && source.getHeight() == target.getHeight() &&
            source.getDepth() == target.getDepth()) {
            Ogre::PixelUtil::bulkPixelConversion(source, whole().getSubVolume(target));
        }
    }

    void blitToMemory(const Ogre::Box& source, const Ogre::PixelBox& target) override {
        if (source.getWidth() == target.getWidth() && source.getHeight() == target.getHeight() &&
            source.getDepth() == target.getDepth()) {
            Ogre::PixelUtil::bulkPixelConversion(whole().getSubVolume(source), target);
        }
    }

protected:
    Ogre::PixelBox lockImpl(const Ogre::Box& box, LockOptions) override {
        return whole().getSubVolume(box);
    }
    void unlockImpl() override {}

private:
    Ogre::PixelBox whole() {
        return Ogre::PixelBox(mWidth, mHeight, mDepth, mFormat, pixels_.data());
    }

    std::vector<unsigned char> pixels_;
};

class HeadlessTexture final : public Ogre::Texture {
public:
    HeadlessTexture(Ogre::ResourceManager* creator, const Ogre::String& name,
                    Ogre::ResourceHandle handle, const Ogre::String& group, bool isManual,
                    Ogre::ManualResourceLoader* loader)
        : Ogre::Texture(creator, name, handle, group, isManual, loader) {}
    ~HeadlessTexture() override { unload(); }

protected:
    // No image is read: a texture from a file is one pixel.
    void prepareImpl() override {}
    void unprepareImpl() override {}
    void loadImpl() override {
        if (mWidth == 0 || mHeight == 0) {
            mWidth = mHeight = mSrcWidth = mSrcHeight = 1;
        }
        mDepth = mSrcDepth = 1;
        createInternalResources();
    }
    void createInternalResourcesImpl() override {
        mNumMipmaps = 0;
        if (mFormat == Ogre::PF_UNKNOWN) {
            mFormat = Ogre::PF_BYTE_RGBA;
        }
        mSurfaceList.clear();
        for (uint32_t face = 0; face < getNumFaces(); ++face) {
            mSurfaceList.emplace_back(std::make_shared<MemoryPixelBuffer>(
                mWidth, mHeight, std::max<uint32_t>(mDepth, 1), mFormat));
        }
    }
    void freeInternalResourcesImpl() override { mSurfaceList.clear(); }
};

}  // namespace

HeadlessTextureManager::HeadlessTextureManager() {
    Ogre::ResourceGroupManager::getSingleton()._registerResourceManager(mResourceType, this);
}

HeadlessTextureManager::~HeadlessTextureManager() {
    // The root (and its resource group manager) may already be gone.
    if (Ogre::ResourceGroupManager* groups = Ogre::ResourceGroupManager::getSingletonPtr()) {
        groups->_unregisterResourceManager(mResourceType);
    }
}

Ogre::Resource* HeadlessTextureManager::createImpl(const Ogre::String& name,
                                                   Ogre::ResourceHandle handle,
                                                   const Ogre::String& group, bool isManual,
                                                   Ogre::ManualResourceLoader* loader,
                                                   const Ogre::NameValuePairList*) {
    return new HeadlessTexture(this, name, handle, group, isManual, loader);
}

}  // namespace vantor
