#pragma once

#include <OgreDataStream.h>
#include <OgreException.h>

#include <string>

namespace vantor {

// A file the engine does not hand to OGRE. It is an OGRE exception so that
// OGRE's own handlers take it like their own load failures (a texture unit
// whose texture is refused is drawn blank), and its text is the message alone:
// the file's name and what is wrong with it.
class AssetRefused final : public Ogre::Exception {
public:
    explicit AssetRefused(const std::string& message);
    const Ogre::String& getFullDescription() const override { return description; }
};

// Checks a file OGRE has just opened from a resource group, before anything
// reads it; called for every file OGRE opens that way. Meshes and images are
// read into memory, checked and handed on from there (`stream` is replaced);
// one that must not be loaded throws AssetRefused, which fails that load only.
// A font script is handed on with every unusable font replaced by one that
// draws nothing, with a log line for each. Other files pass untouched.
void checkOpenedResource(const std::string& name, const std::string& group,
                         Ogre::DataStreamPtr& stream);

// Removes the particle system templates whose quotas are beyond the limits,
// with a log line naming each and the script it came from. Called when a
// resource group's scripts have been parsed.
void checkParticleTemplates();

// The texture of one transparent pixel that a refused font is drawn with.
extern const char* const kBlankFontTexture;

}  // namespace vantor
