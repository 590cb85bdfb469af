#include "overlay/OverlayMgr.h"

#include <OgreFont.h>
#include <OgreFontManager.h>
#include <OgreMaterialManager.h>
#include <OgreOverlay.h>
#include <OgreOverlayContainer.h>
#include <OgreOverlayElement.h>
#include <OgreOverlayManager.h>

#include <algorithm>

#include "core/Log.h"
#include "overlay/DisplayText.h"
#include "overlay/OverlayPanel.h"

namespace vantor {

namespace {

const char* const kGameOverlayName = "OverlayName";
const char* const kPanelPrefix = "Panel_";
const char* const kNamedOverlayPrefix = "OVE";

const char* const kLogDeleteOverlays = "delete _overlays";
const char* const kLogNumberOfOverlays = "Number of overlays: ";
const char* const kLogClearOverlays = "clear _overlays";
const char* const kLogDestroyOverlay = "destroy overlay";

// Character height used for measuring, in virtual pixels.
constexpr float kMeasureCharHeight = 24.0f;

bool isNamedOverlay(const std::string& name) {
    return name.compare(0, 3, kNamedOverlayPrefix) == 0;
}

}  // namespace

OverlayMgr::OverlayMgr()
    : fontManager_(Ogre::FontManager::getSingletonPtr()),
      overlayManager_(Ogre::OverlayManager::getSingletonPtr()) {
    if (Ogre::FontPtr font = fontManager_->getByName(OverlayPanel::kFontName)) {
        try {
            font->load();
        } catch (const std::exception& e) {
            log(std::string("Error: OverlayMgr: cannot load the font ") + OverlayPanel::kFontName +
                ": " + e.what());
        }
    } else {
        log(std::string("Error: OverlayMgr: no font named ") + OverlayPanel::kFontName);
    }
    auto& materials = Ogre::MaterialManager::getSingleton();
    for (const char* material : {OverlayPanel::kFrameMaterial, OverlayPanel::kBorderMaterial}) {
        if (!materials.resourceExists(material)) {
            log(std::string("Error: OverlayMgr: no material named ") + material);
        }
    }
    // A manager made again in the same OGRE session takes the overlay over.
    gameOverlay_ = overlayManager_->getByName(kGameOverlayName);
    if (!gameOverlay_) {
        gameOverlay_ = overlayManager_->create(kGameOverlayName);
    }
    gameOverlay_->show();
}

OverlayMgr::~OverlayMgr() {
    clear();
    gameOverlay_->hide();
    log(kLogDestroyOverlay);
    overlayManager_->destroy(gameOverlay_);
}

std::string OverlayMgr::createPanel(const std::string& text, int x, int y) {
    std::string name = kPanelPrefix + std::to_string(panelCounter_);
    ++panelCounter_;
    const TextSize size = measureText(text);
    overlays_.push_back(
        std::make_unique<OverlayPanel>(*gameOverlay_, name, text, x, y, size.width, size.height));
    return name;
}

void OverlayMgr::destroyPanel(const std::string& name) {
    overlays_.erase(std::remove_if(overlays_.begin(), overlays_.end(),
                                   [&](const std::unique_ptr<OverlayPanel>& panel) {
                                       return panel->getName() == name;
                                   }),
                    overlays_.end());
}

void OverlayMgr::addElement(const std::string& name) {
    if (isNamedOverlay(name)) {
        if (Ogre::Overlay* overlay = overlayManager_->getByName(name)) {
            overlay->show();
        }
        return;
    }
    Ogre::OverlayElement* element = findElement("AddElement", name);
    if (!element) {
        return;
    }
    if (!element->isContainer()) {
        log("Error: AddElement: overlay element " + name + " is not a container");
        return;
    }
    auto* container = static_cast<Ogre::OverlayContainer*>(element);
    if (isAttached(container)) {
        return;  // attaching twice would draw it twice and outlive one RemoveElement
    }
    // An element inside another container moves out of it: OGRE cannot keep
    // an element both in a container and at the top of an overlay.
    if (Ogre::OverlayContainer* parent = container->getParent()) {
        formerParents_[name] = parent->getName();
        parent->removeChild(name);
    }
    gameOverlay_->add2D(container);
}

void OverlayMgr::removeElement(const std::string& name) {
    if (isNamedOverlay(name)) {
        if (Ogre::Overlay* overlay = overlayManager_->getByName(name)) {
            overlay->hide();
        }
        return;
    }
    Ogre::OverlayElement* element = findElement("RemoveElement", name);
    if (!element || !element->isContainer()) {
        return;
    }
    auto* container = static_cast<Ogre::OverlayContainer*>(element);
    // remove2D would also cut a detached element loose from its own overlay.
    if (isAttached(container)) {
        gameOverlay_->remove2D(container);
        returnHome(container);
    }
}

void OverlayMgr::setElementCaption(const std::string& elementName, const std::string& caption) {
    if (Ogre::OverlayElement* element = findElement("SetElementCaption", elementName)) {
        element->setCaption(toDisplayText(caption));
    }
}

void OverlayMgr::setElementMaterial(const std::string& elementName,
                                    const std::string& materialName) {
    Ogre::OverlayElement* element = findElement("SetElementMaterial", elementName);
    if (!element) {
        return;
    }
    // OGRE throws for an unknown material; the empty name takes the material off.
    if (!materialName.empty() &&
        !Ogre::MaterialManager::getSingleton().resourceExists(materialName)) {
        log("Error: SetElementMaterial: no material named " + materialName);
        return;
    }
    element->setMaterialName(materialName);
}

void OverlayMgr::clear() {
    const Ogre::Overlay::OverlayContainerList attached = gameOverlay_->get2DElements();
    gameOverlay_->clear();
    for (Ogre::OverlayContainer* container : attached) {
        returnHome(container);
    }
    log(kLogDeleteOverlays);
    log(kLogNumberOfOverlays + std::to_string(overlays_.size()));
    // Each panel takes its frame off the game overlay as it is destroyed.
    for (auto& panel : overlays_) {
        panel.reset();
    }
    log(kLogClearOverlays);
    overlays_.clear();
    auto overlays = overlayManager_->getOverlayIterator();
    while (overlays.hasMoreElements()) {
        const bool named = isNamedOverlay(overlays.peekNextKey());
        Ogre::Overlay* overlay = overlays.getNext();
        if (named) {
            overlay->hide();
        }
    }
}

OverlayMgr::TextSize OverlayMgr::measureText(const std::string& text) const {
    return measurePanelText(text);
}

OverlayMgr::TextSize measurePanelText(const std::string& text) {
    const Ogre::FontPtr font = Ogre::FontManager::getSingleton().getByName(OverlayPanel::kFontName);
    // Without the font every glyph counts as wide as it is high, the
    // text area's own default.
    auto aspect = [&](Ogre::Font::CodePoint c) -> float {
        return font ? font->getGlyphAspectRatio(c) : 1.0f;
    };

    float height = kMeasureCharHeight;
    float widest = 0.0f;
    float line = 0.0f;
    // Code points, as the text area draws its caption; for ASCII text this is
    // one per byte.
    const std::u32string decoded = decodeDisplayText(text);
    for (size_t i = 0; i < decoded.size(); ++i) {
        if (i > 0 && decoded[i - 1] == U'\n') {
            widest = std::max(widest, line);
            line = 0.0f;
            height += kMeasureCharHeight;
        }
        const char32_t c = decoded[i];
        if (c == U' ') {
            line += aspect(U'0');
        } else if (c >= 0x20 && c != 0x7f) {
            line += aspect(c);
        }
        // Control characters (the newline included) take no width.
    }
    widest = std::max(widest, line);

    OverlayMgr::TextSize size;
    size.width = static_cast<int>(widest * kMeasureCharHeight);
    size.height = static_cast<int>(height);
    return size;
}

Ogre::OverlayElement* OverlayMgr::findElement(const char* function, const std::string& name) {
    if (!overlayManager_->hasOverlayElement(name)) {
        log(std::string("Error: ") + function + ": no overlay element named " + name);
        return nullptr;
    }
    return overlayManager_->getOverlayElement(name);
}

void OverlayMgr::returnHome(Ogre::OverlayContainer* container) {
    const auto former = formerParents_.find(container->getName());
    if (former != formerParents_.end()) {
        const std::string parentName = former->second;
        formerParents_.erase(former);
        Ogre::OverlayElement* parent = overlayManager_->hasOverlayElement(parentName)
                                           ? overlayManager_->getOverlayElement(parentName)
                                           : nullptr;
        if (parent && parent->isContainer()) {
            auto* home = static_cast<Ogre::OverlayContainer*>(parent);
            if (home->getChildren().count(container->getName()) == 0) {
                home->addChild(container);
            }
            return;
        }
    }
    Ogre::Overlay* home = nullptr;
    auto overlays = overlayManager_->getOverlayIterator();
    while (overlays.hasMoreElements() && !home) {
        Ogre::Overlay* overlay = overlays.getNext();
        const auto& elements = overlay->get2DElements();
        if (overlay != gameOverlay_ &&
            std::find(elements.begin(), elements.end(), container) != elements.end()) {
            home = overlay;
        }
    }
    container->_notifyParent(nullptr, home);
}

bool OverlayMgr::isAttached(const Ogre::OverlayContainer* container) const {
    const auto& attached = gameOverlay_->get2DElements();
    return std::find(attached.begin(), attached.end(), container) != attached.end();
}

}  // namespace vantor
