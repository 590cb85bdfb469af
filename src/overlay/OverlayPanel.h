#pragma once

#include <string>

namespace Ogre {
class BorderPanelOverlayElement;
class Overlay;
class TextAreaOverlayElement;
}  // namespace Ogre

namespace vantor {

// One script text panel: a bordered frame named like the panel with a text
// area "<name>_TA" inside it. The panel owns both overlay elements: they are
// registered with OGRE's overlay manager while the panel exists and destroyed
// with it, so a long session of error panels does not pile up dead elements.
class OverlayPanel {
public:
    // The panel font; the level resources define it.
    static constexpr const char* kFontName = "DividuZariv";
    // Materials of the frame's inside and of its border.
    static constexpr const char* kFrameMaterial = "GameOverlayMaterial";
    static constexpr const char* kBorderMaterial = "GameOverlayBorderMaterial";

    // Creates both elements and attaches the frame to `overlay` (not owned;
    // must outlive the panel). x, y, width and height are virtual pixels of
    // the 800 by 600 screen; width and height are the measured text size.
    OverlayPanel(Ogre::Overlay& overlay, std::string name, const std::string& text, int x, int y,
                 int width, int height);
    ~OverlayPanel();
    OverlayPanel(const OverlayPanel&) = delete;
    OverlayPanel& operator=(const OverlayPanel&) = delete;

    const std::string& getName() const { return name_; }
    Ogre::BorderPanelOverlayElement* getFrame() { return frame_; }
    Ogre::TextAreaOverlayElement* getText() { return text_; }

private:
    Ogre::Overlay* overlay_;
    std::string name_;
    Ogre::BorderPanelOverlayElement* frame_ = nullptr;
    Ogre::TextAreaOverlayElement* text_ = nullptr;
};

}  // namespace vantor
