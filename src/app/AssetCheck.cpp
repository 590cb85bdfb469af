#include "app/AssetCheck.h"

#include <OgreHardwarePixelBuffer.h>
#include <OgreParticleSystem.h>
#include <OgreParticleSystemManager.h>
#include <OgreResourceGroupManager.h>
#include <OgreTextureManager.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "app/AssetLimits.h"
#include "app/FontCheck.h"
#include "app/ImageCheck.h"
#include "app/MeshCheck.h"
#include "app/SkeletonCheck.h"
#include "core/Log.h"

namespace vantor {

const char* const kBlankFontTexture = "VantorBlankFont";

namespace {

// The image formats OGRE's codecs read, by file extension.
constexpr const char* kImageExtensions[] = {"png", "jpg", "jpeg", "bmp", "gif", "psd",
                                            "tga", "hdr", "pic",  "ppm", "pgm", "pnm",
                                            "dds", "ktx", "pkm",  "pvr", "astc"};

std::string lowerExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool isImage(const std::string& extension) {
    return std::find(std::begin(kImageExtensions), std::end(kImageExtensions), extension) !=
           std::end(kImageExtensions);
}

// Reads the whole stream into memory, refusing it when it is larger than
// `limit` or `check` finds a problem; otherwise the copy in memory replaces
// the stream, so the file is read from disk once.
void checkWholeFile(const std::string& name, Ogre::DataStreamPtr& stream, size_t limit,
                    const char* kind,
                    const std::function<std::string(const uint8_t*, size_t)>& check) {
    if (stream->size() > limit) {
        throw AssetRefused(name + " is too large: " + std::to_string(stream->size()) +
                           " bytes, and " + kind + " may have at most " + std::to_string(limit));
    }
    auto whole = std::make_shared<Ogre::MemoryDataStream>(name, stream);
    const std::string problem = check(whole->getPtr(), whole->size());
    if (!problem.empty()) {
        throw AssetRefused(name + " " + problem);
    }
    stream = whole;
}

// Reads a file of the resource groups, the group being parsed first. Opening
// it passes it through checkOpenedResource like any other load.
std::optional<std::string> readResource(const std::string& name, const std::string& group,
                                        size_t limit, std::string& problem) {
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    std::string holder = group;
    if (!groups.resourceGroupExists(group) || !groups.resourceExists(group, name)) {
        if (!groups.resourceExistsInAnyGroup(name)) {
            problem = "its file " + name + " is not found";
            return std::nullopt;
        }
        holder = groups.findGroupContainingResource(name);
    }
    try {
        Ogre::DataStreamPtr stream = groups.openResource(name, holder);
        if (stream->size() > limit) {
            problem = name + " is too large: " + std::to_string(stream->size()) +
                      " bytes, more than the " + std::to_string(limit) + " allowed";
            return std::nullopt;
        }
        return stream->getAsString();
    } catch (const std::exception& e) {
        problem = e.what();
        return std::nullopt;
    }
}

// Makes the texture refused fonts are drawn with, once per resource group.
// Without a render system (headless) there are no textures and no font is
// ever drawn, so nothing is needed.
void ensureBlankFontTexture(const std::string& group) {
    Ogre::TextureManager* textures = Ogre::TextureManager::getSingletonPtr();
    if (!textures || textures->getByName(kBlankFontTexture, group)) {
        return;
    }
    Ogre::TexturePtr blank = textures->createManual(kBlankFontTexture, group, Ogre::TEX_TYPE_2D, 1,
                                                    1, 0, Ogre::PF_A8R8G8B8);
    uint32_t transparent = 0;
    blank->getBuffer()->blitFromMemory(Ogre::PixelBox(1, 1, 1, Ogre::PF_A8R8G8B8, &transparent));
}

void checkFontScriptStream(const std::string& name, const std::string& group,
                           Ogre::DataStreamPtr& stream) {
    const ResourceReader read = [&group](const std::string& file, size_t limit,
                                         std::string& problem) {
        return readResource(file, group, limit, problem);
    };
    const FontScriptCheck checked = checkFontScript(stream->getAsString(), read, kBlankFontTexture);
    if (checked.problems.empty()) {
        stream->seek(0);
        return;
    }
    for (const std::string& problem : checked.problems) {
        log("Error: " + name + ": " + problem + "; its text is not drawn");
    }
    ensureBlankFontTexture(group);
    auto rewritten = std::make_shared<Ogre::MemoryDataStream>(name, checked.text.size());
    std::memcpy(rewritten->getPtr(), checked.text.data(), checked.text.size());
    stream = rewritten;
}

}  // namespace

AssetRefused::AssetRefused(const std::string& message)
    : Ogre::Exception(Ogre::Exception::ERR_INVALIDPARAMS, message, "asset check") {}

void checkOpenedResource(const std::string& name, const std::string& group,
                         Ogre::DataStreamPtr& stream) {
    if (!stream) {
        return;
    }
    const std::string extension = lowerExtension(name);
    if (extension == "mesh") {
        checkWholeFile(name, stream, kMaxMeshFileBytes, "a mesh", checkMeshFile);
    } else if (extension == "skeleton") {
        // A mesh loads without its skeleton when the skeleton fails, and OGRE
        // logs that without the reason; so the reason is logged here.
        checkWholeFile(name, stream, kMaxMeshFileBytes, "a skeleton",
                       [&name](const uint8_t* data, size_t size) {
                           const std::string problem = checkSkeletonFile(data, size);
                           if (!problem.empty()) {
                               log("Error: " + name + " " + problem);
                           }
                           return problem;
                       });
    } else if (isImage(extension)) {
        checkWholeFile(name, stream, kMaxImageFileBytes, "an image",
                       [&extension](const uint8_t* data, size_t size) {
                           return checkImageFile(data, size, extension);
                       });
    } else if (extension == "fontdef") {
        checkFontScriptStream(name, group, stream);
    }
}

void checkParticleTemplates() {
    Ogre::ParticleSystemManager& particles = Ogre::ParticleSystemManager::getSingleton();
    std::vector<std::string> refused;
    auto templates = particles.getTemplateIterator();
    while (templates.hasMoreElements()) {
        const std::string name = templates.peekNextKey();
        const Ogre::ParticleSystem* system = templates.getNext();
        const size_t quota = system->getParticleQuota();
        const size_t emitters = system->getEmittedEmitterQuota();
        if (quota <= kMaxParticleQuota && emitters <= kMaxEmittedEmitterQuota) {
            continue;
        }
        std::string asks;
        if (quota > kMaxParticleQuota) {
            asks = std::to_string(quota) + " particles (at most " +
                   std::to_string(kMaxParticleQuota) + ")";
        }
        if (emitters > kMaxEmittedEmitterQuota) {
            asks += (asks.empty() ? "" : " and ") + std::to_string(emitters) +
                    " emitted emitters (at most " + std::to_string(kMaxEmittedEmitterQuota) + ")";
        }
        log("Error: " + system->getOrigin() + ": particle system " + name + " asks for " + asks +
            ", so it is refused");
        refused.push_back(name);
    }
    for (const std::string& name : refused) {
        particles.removeTemplate(name);
    }
}

}  // namespace vantor
