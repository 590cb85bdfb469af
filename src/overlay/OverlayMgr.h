#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Ogre {
class FontManager;
class Overlay;
class OverlayContainer;
class OverlayElement;
class OverlayManager;
}  // namespace Ogre

namespace vantor {

class OverlayPanel;

// Script-made text panels and the level's named overlays. Owned by the
// Simulation and cleared at every level load. All drawing is OGRE's; this
// class only creates, configures and removes overlay elements.
//
// Positions and sizes are virtual pixels of an 800 by 600 screen, handed to
// OGRE as fractions of the screen so panels keep their place at any window
// size.
class OverlayMgr {
public:
    // Size of a measured text in virtual pixels.
    struct TextSize {
        int width = 0;
        int height = 0;
    };

    // Needs OGRE's overlay system; creates and shows the game overlay
    // "OverlayName" and loads the panel font when the resources define it.
    OverlayMgr();
    ~OverlayMgr();
    OverlayMgr(const OverlayMgr&) = delete;
    OverlayMgr& operator=(const OverlayMgr&) = delete;

    // Makes a panel showing `text` (newlines allowed) with its top-left
    // corner at (x, y) and returns its name, "Panel_<n>".
    std::string createPanel(const std::string& text, int x, int y);
    // Removes every panel with this name; an unknown name does nothing.
    void destroyPanel(const std::string& name);
    // A name beginning with "OVE" shows that overlay; any other name attaches
    // that container element to the game overlay.
    void addElement(const std::string& name);
    // A name beginning with "OVE" hides that overlay; any other name detaches
    // that element from the game overlay.
    void removeElement(const std::string& name);
    void setElementCaption(const std::string& elementName, const std::string& caption);
    void setElementMaterial(const std::string& elementName, const std::string& materialName);
    // Removes every panel and attached element and hides the "OVE" overlays.
    // The panel counter keeps counting.
    void clear();

    // The size a panel text takes at a character height of 24 virtual pixels,
    // from the panel font's glyph aspect ratios.
    TextSize measureText(const std::string& text) const;

    Ogre::Overlay* getGameOverlay() { return gameOverlay_; }
    size_t getPanelCount() const { return overlays_.size(); }

private:
    // The named element, or null after logging a line that names `function`.
    Ogre::OverlayElement* findElement(const char* function, const std::string& name);
    bool isAttached(const Ogre::OverlayContainer* container) const;
    // After a container leaves the game overlay: puts it back into the
    // container that held it before addElement, or else points it back at the
    // overlay whose list still holds it (its own, from the overlay scripts),
    // or at none. A container destroys itself out of the overlay it points
    // at, so a stale pointer to the game overlay, or to nothing while its own
    // overlay still lists it, would leave a dangling pointer at shutdown.
    void returnHome(Ogre::OverlayContainer* container);

    int panelCounter_ = 0;
    std::vector<std::unique_ptr<OverlayPanel>> overlays_;  // creation order
    // Attached containers taken out of a parent container: their name, and
    // the parent's (looked up again on return, as the parent may be gone).
    std::map<std::string, std::string> formerParents_;
    Ogre::Overlay* gameOverlay_ = nullptr;  // owned by OGRE's overlay manager
    Ogre::FontManager* fontManager_ = nullptr;
    Ogre::OverlayManager* overlayManager_ = nullptr;
};

// OverlayMgr::measureText for any holder of text: the panel font's glyph
// aspect ratios at a character height of 24 virtual pixels.
OverlayMgr::TextSize measurePanelText(const std::string& text);

}  // namespace vantor
