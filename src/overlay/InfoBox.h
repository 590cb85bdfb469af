#pragma once

#include <string>

namespace Ogre {
class BorderPanelOverlayElement;
class Overlay;
class TextAreaOverlayElement;
}  // namespace Ogre

namespace vantor {

// A text box of the engine's own (the console, the debug readout), drawn over
// every game overlay and untouched by level loads, unlike script panels. It
// looks like a script panel with a smaller font and sizes itself to its text.
// Needs OGRE's overlay system for its whole life.
class InfoBox {
public:
    // Text line height in virtual pixels (script panels use 24).
    static constexpr int kLineHeight = 16;

    // Which corner of the box (x, y) places.
    enum class Corner { TopLeft, BottomLeft, TopRight };

    // name: unique among overlays; x, y: a corner in virtual pixels of the 800
    // by 600 screen. Hidden until show().
    InfoBox(const std::string& name, int x, int y, Corner corner = Corner::TopLeft);
    ~InfoBox();
    InfoBox(const InfoBox&) = delete;
    InfoBox& operator=(const InfoBox&) = delete;

    // Shows the box with this text (newlines allowed); cheap when the text is
    // unchanged, so it may be called every frame.
    void show(const std::string& text);
    void hide();
    bool isShown() const { return shown_; }
    const std::string& getText() const { return text_; }

private:
    Ogre::Overlay* overlay_ = nullptr;  // owned through OGRE's overlay manager
    Ogre::BorderPanelOverlayElement* frame_ = nullptr;
    Ogre::TextAreaOverlayElement* area_ = nullptr;
    int x_ = 0;
    int y_ = 0;
    Corner corner_ = Corner::TopLeft;
    bool shown_ = false;
    std::string text_;
};

}  // namespace vantor
