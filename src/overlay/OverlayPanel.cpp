#include "overlay/OverlayPanel.h"

#include <OgreBorderPanelOverlayElement.h>
#include <OgreFontManager.h>
#include <OgreMaterialManager.h>
#include <OgreOverlay.h>
#include <OgreOverlayManager.h>
#include <OgreTextAreaOverlayElement.h>

#include "overlay/DisplayText.h"

namespace vantor {

namespace {

// The virtual screen that panel coordinates refer to, in pixels.
constexpr float kScreenWidth = 800.0f;
constexpr float kScreenHeight = 600.0f;

const char* const kTextSuffix = "_TA";

// Border of 3 virtual pixels on every side, as screen fractions.
constexpr float kBorderLeftRight = 0.00375f;
constexpr float kBorderTopBottom = 0.005f;
// Text inset of about 5 virtual pixels from the frame's top-left corner.
constexpr float kTextLeft = 0.00625f;
constexpr float kTextTop = 0.0083f;
// 24 virtual pixels.
constexpr float kCharHeight = 0.04f;

}  // namespace

OverlayPanel::OverlayPanel(Ogre::Overlay& overlay, std::string name, const std::string& text, int x,
                           int y, int width, int height)
    : overlay_(&overlay), name_(std::move(name)) {
    auto& elements = Ogre::OverlayManager::getSingleton();
    auto& materials = Ogre::MaterialManager::getSingleton();
    try {
        frame_ = static_cast<Ogre::BorderPanelOverlayElement*>(
            elements.createOverlayElement("BorderPanel", name_));
        frame_->setMetricsMode(Ogre::GMM_RELATIVE);
        frame_->setPosition(x / kScreenWidth, y / kScreenHeight);
        frame_->setDimensions((width + 20) / kScreenWidth, (height + 10) / kScreenHeight);
        // OGRE throws for a material it does not know; the manager has logged
        // missing panel resources once at start-up, and the panel goes without.
        if (materials.resourceExists(kFrameMaterial)) {
            frame_->setMaterialName(kFrameMaterial);
        }
        frame_->setBorderSize(kBorderLeftRight, kBorderLeftRight, kBorderTopBottom,
                              kBorderTopBottom);
        if (materials.resourceExists(kBorderMaterial)) {
            frame_->setBorderMaterialName(kBorderMaterial);
        }

        text_ = static_cast<Ogre::TextAreaOverlayElement*>(
            elements.createOverlayElement("TextArea", name_ + kTextSuffix));
        text_->setMetricsMode(Ogre::GMM_RELATIVE);
        text_->setPosition(kTextLeft, kTextTop);
        text_->setDimensions((width + 10) / kScreenWidth, (height + 10) / kScreenHeight);
        text_->setCaption(toDisplayText(text));
        text_->setCharHeight(kCharHeight);
        if (Ogre::FontManager::getSingleton().resourceExists(kFontName)) {
            text_->setFontName(kFontName);
        }
        text_->setColourBottom(Ogre::ColourValue(0.5f, 0.5f, 0.8f, 1.0f));
        text_->setColourTop(Ogre::ColourValue(1.0f, 1.0f, 1.0f, 1.0f));

        frame_->addChild(text_);
        overlay_->add2D(frame_);
    } catch (...) {
        // Leave no half-made elements registered under the panel's names.
        if (text_) {
            if (frame_) {
                frame_->removeChild(text_->getName());
            }
            elements.destroyOverlayElement(text_);
        }
        if (frame_) {
            overlay_->remove2D(frame_);
            elements.destroyOverlayElement(frame_);
        }
        throw;
    }
}

OverlayPanel::~OverlayPanel() {
    // remove2D drops every attachment of the frame (a script may have attached
    // it again by name), so no overlay keeps a pointer to the destroyed element.
    overlay_->remove2D(frame_);
    frame_->removeChild(text_->getName());
    auto& elements = Ogre::OverlayManager::getSingleton();
    elements.destroyOverlayElement(text_);
    elements.destroyOverlayElement(frame_);
}

}  // namespace vantor
