#include "overlay/InfoBox.h"

#include <OgreBorderPanelOverlayElement.h>
#include <OgreFontManager.h>
#include <OgreMaterialManager.h>
#include <OgreOverlay.h>
#include <OgreOverlayManager.h>
#include <OgreTextAreaOverlayElement.h>

#include "overlay/DisplayText.h"
#include "overlay/OverlayMgr.h"
#include "overlay/OverlayPanel.h"

namespace vantor {

namespace {

constexpr float kScreenWidth = 800.0f;
constexpr float kScreenHeight = 600.0f;
// Above the game overlay and the level's own overlays (OGRE allows up to 650).
constexpr unsigned short kZOrder = 640;
constexpr int kPadding = 6;  // virtual pixels between frame and text

}  // namespace

InfoBox::InfoBox(const std::string& name, int x, int y, Corner corner)
    : x_(x), y_(y), corner_(corner) {
    auto& overlays = Ogre::OverlayManager::getSingleton();
    auto& materials = Ogre::MaterialManager::getSingleton();
    overlay_ = overlays.create(name);
    overlay_->setZOrder(kZOrder);
    frame_ = static_cast<Ogre::BorderPanelOverlayElement*>(
        overlays.createOverlayElement("BorderPanel", name + "/Frame"));
    frame_->setMetricsMode(Ogre::GMM_RELATIVE);
    if (materials.resourceExists(OverlayPanel::kFrameMaterial)) {
        frame_->setMaterialName(OverlayPanel::kFrameMaterial);
    }
    area_ = static_cast<Ogre::TextAreaOverlayElement*>(
        overlays.createOverlayElement("TextArea", name + "/Text"));
    area_->setMetricsMode(Ogre::GMM_RELATIVE);
    area_->setPosition(kPadding / kScreenWidth, kPadding / kScreenHeight);
    area_->setCharHeight(kLineHeight / kScreenHeight);
    if (Ogre::FontManager::getSingleton().resourceExists(OverlayPanel::kFontName)) {
        area_->setFontName(OverlayPanel::kFontName);
    }
    area_->setColour(Ogre::ColourValue(1.0f, 1.0f, 0.85f, 1.0f));
    frame_->addChild(area_);
    overlay_->add2D(frame_);
}

InfoBox::~InfoBox() {
    auto& overlays = Ogre::OverlayManager::getSingleton();
    overlay_->remove2D(frame_);
    frame_->removeChild(area_->getName());
    overlays.destroyOverlayElement(area_);
    overlays.destroyOverlayElement(frame_);
    overlays.destroy(overlay_);
}

void InfoBox::show(const std::string& text) {
    if (!shown_) {
        overlay_->show();
        shown_ = true;
    }
    if (text == text_ && !text_.empty()) {
        return;
    }
    text_ = text;
    // Measured at the panel size of 24 and scaled to this box's lines.
    const OverlayMgr::TextSize size = measurePanelText(text);
    const float width = size.width * kLineHeight / 24.0f + 2 * kPadding;
    const float height = size.height * kLineHeight / 24.0f + 2 * kPadding;
    const float top = corner_ == Corner::BottomLeft ? y_ - height : static_cast<float>(y_);
    const float left = corner_ == Corner::TopRight ? x_ - width : static_cast<float>(x_);
    frame_->setPosition(left / kScreenWidth, top / kScreenHeight);
    frame_->setDimensions(width / kScreenWidth, height / kScreenHeight);
    area_->setDimensions(width / kScreenWidth, height / kScreenHeight);
    area_->setCaption(toDisplayText(text));
}

void InfoBox::hide() {
    if (shown_) {
        overlay_->hide();
        shown_ = false;
    }
}

}  // namespace vantor
