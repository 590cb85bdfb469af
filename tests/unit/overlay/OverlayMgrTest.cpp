#include <OgreFontManager.h>
#include <OgreMaterialManager.h>
#include <OgreOverlay.h>
#include <OgreOverlayContainer.h>
#include <OgreOverlayManager.h>
#include <OgreTextAreaOverlayElement.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "overlay/DisplayText.h"
#include "overlay/OverlayMgr.h"
#include "script/ErrorPanel.h"
#include "support/HeadlessOgre.h"
#include "support/LogCapture.h"

namespace vantor {
namespace {

// Glyph aspect ratios (width / height) of the test font.
constexpr float kZeroAspect = 0.6f;
constexpr float kLetterAspect = 0.5f;

class OverlayMgrTest : public ::testing::Test {
protected:
    OverlayMgrTest() {
        // TrueType fonts need a texture manager, so the panel font is made by
        // hand with known glyph widths.
        Ogre::FontPtr font = Ogre::FontManager::getSingleton().create(
            "DividuZariv", Ogre::ResourceGroupManager::DEFAULT_RESOURCE_GROUP_NAME, true);
        font->setType(Ogre::FT_IMAGE);
        font->setGlyphTexCoords('0', 0, 0, 1, 1, kZeroAspect);
        for (char c = 'a'; c <= 'z'; ++c) {
            font->setGlyphTexCoords(c, 0, 0, 1, 1, kLetterAspect);
        }
        auto& materials = Ogre::MaterialManager::getSingleton();
        for (const char* name : {"GameOverlayMaterial", "GameOverlayBorderMaterial", "Other"}) {
            materials.create(name, Ogre::ResourceGroupManager::DEFAULT_RESOURCE_GROUP_NAME);
        }
        overlays = std::make_unique<OverlayMgr>();
    }
    ~OverlayMgrTest() override { overlays.reset(); }

    Ogre::OverlayManager& ogreOverlays() { return Ogre::OverlayManager::getSingleton(); }
    Ogre::OverlayElement* element(const std::string& name) {
        return ogreOverlays().getOverlayElement(name);
    }
    // Frame size in virtual pixels of the 800 by 600 screen.
    int frameWidth(const std::string& panel) {
        return static_cast<int>(std::lround(element(panel)->getWidth() * 800.0f));
    }
    int frameHeight(const std::string& panel) {
        return static_cast<int>(std::lround(element(panel)->getHeight() * 600.0f));
    }
    bool attached(const std::string& name) {
        return overlays->getGameOverlay()->getChild(name) != nullptr;
    }

    test::HeadlessOgre ogre;
    test::LogCapture logs;
    std::unique_ptr<OverlayMgr> overlays;
};

TEST_F(OverlayMgrTest, PanelsAreSizedToTheirTextAsTheGlyphWidthsAdd) {
    EXPECT_EQ(overlays->measureText("0 0").width, 43);  // 3 * 0.6 * 24, a blank as a zero
    // The widest line decides; a newline at the end adds no line, two in a
    // row make an empty one; other control characters take no width.
    EXPECT_EQ(overlays->measureText("ab\nabcd").width, 48);
    EXPECT_EQ(overlays->measureText("000\n").height, 24);
    EXPECT_EQ(overlays->measureText("a\n\nb\r\t").height, 72);
    EXPECT_EQ(overlays->measureText("a\n\nb\r\t\x7f").width, 12);

    const std::string zeros = overlays->createPanel("000", 100, 50);
    EXPECT_EQ(zeros, "Panel_0");
    EXPECT_EQ(frameWidth(zeros), 43 + 20);
    EXPECT_EQ(frameHeight(zeros), 34);
    Ogre::OverlayElement* frame = element(zeros);
    EXPECT_FLOAT_EQ(frame->getLeft(), 100.0f / 800.0f);
    EXPECT_FLOAT_EQ(frame->getTop(), 50.0f / 600.0f);
    EXPECT_EQ(frame->getMaterialName(), "GameOverlayMaterial");
    EXPECT_TRUE(attached(zeros));
    auto* text = static_cast<Ogre::TextAreaOverlayElement*>(element(zeros + "_TA"));
    EXPECT_EQ(text->getParent(), frame);
    EXPECT_EQ(text->getCaption().asUTF8(), "000");
    EXPECT_EQ(frameHeight(overlays->createPanel("ab\n\nab", 0, 0)), 82);

    // A new caption or material keeps the frame's size.
    overlays->setElementCaption("Panel_0_TA", "a much longer text\nover two lines");
    overlays->setElementMaterial(zeros, "Other");
    EXPECT_EQ(frameWidth(zeros), 43 + 20);
    EXPECT_EQ(frame->getMaterialName(), "Other");
}

TEST_F(OverlayMgrTest, PanelsGoSinglyOrAllAtAClearAndTheirNumbersKeepCounting) {
    const std::string first = overlays->createPanel("a", 0, 0);
    const std::string second = overlays->createPanel("b", 0, 0);
    overlays->addElement(first);  // attached again by name: still destroyed whole
    overlays->destroyPanel(first);
    overlays->destroyPanel(first);
    EXPECT_FALSE(ogreOverlays().hasOverlayElement(first + "_TA"));
    EXPECT_EQ(overlays->getGameOverlay()->get2DElements().size(), 1u);
    overlays->clear();
    EXPECT_EQ(logs.count("Number of overlays: 1"), 1);
    EXPECT_FALSE(ogreOverlays().hasOverlayElement(second));
    EXPECT_TRUE(overlays->getGameOverlay()->get2DElements().empty());
    EXPECT_EQ(overlays->createPanel("c", 0, 0), "Panel_2");
}

TEST_F(OverlayMgrTest, OveNamesShowAndHideWholeOverlaysUntilClear) {
    Ogre::Overlay* named = ogreOverlays().create("OVEHud");
    Ogre::Overlay* lower = ogreOverlays().create("oveHud");
    lower->show();

    overlays->addElement("OVEHud");
    EXPECT_TRUE(named->isVisible());
    overlays->removeElement("OVEHud");
    EXPECT_FALSE(named->isVisible());
    overlays->addElement("OVEHud");

    overlays->clear();
    EXPECT_FALSE(named->isVisible());
    // The prefix is case-sensitive, and the game overlay stays up.
    EXPECT_TRUE(lower->isVisible());
    EXPECT_TRUE(overlays->getGameOverlay()->isVisible());
}

TEST_F(OverlayMgrTest, ElementsAttachOnceAndClearDetachesThem) {
    Ogre::Overlay* hud = ogreOverlays().create("Hud");
    auto* box = static_cast<Ogre::OverlayContainer*>(
        ogreOverlays().createOverlayElement("Panel", "HudBox"));
    auto* inner = static_cast<Ogre::OverlayContainer*>(
        ogreOverlays().createOverlayElement("Panel", "HudInner"));
    box->addChild(inner);
    hud->add2D(box);
    ogreOverlays().createOverlayElement("TextArea", "HudText");

    overlays->addElement("HudBox");
    overlays->addElement("HudBox");
    EXPECT_EQ(1u, overlays->getGameOverlay()->get2DElements().size());
    overlays->removeElement("HudBox");
    EXPECT_FALSE(attached("HudBox"));

    // A nested container moves out of its parent instead of being in two
    // places, and goes back into it when it is removed or cleared away.
    for (bool cleared : {false, true}) {
        overlays->addElement("HudInner");
        EXPECT_TRUE(attached("HudInner"));
        EXPECT_EQ(nullptr, inner->getParent());
        EXPECT_TRUE(box->getChildren().empty());
        if (cleared) {
            overlays->clear();
        } else {
            overlays->removeElement("HudInner");
        }
        EXPECT_FALSE(attached("HudInner"));
        EXPECT_EQ(box, inner->getParent()) << cleared;
        EXPECT_EQ(1u, box->getChildren().count("HudInner"));
    }

    // Only containers can be attached.
    overlays->addElement("HudText");
    EXPECT_FALSE(attached("HudText"));
    EXPECT_EQ(1, logs.count("HudText"));

    overlays->addElement("HudBox");
    overlays->clear();
    EXPECT_TRUE(overlays->getGameOverlay()->get2DElements().empty());
}

TEST_F(OverlayMgrTest, UnknownNamesLogOneLineEachAndChangeNothing) {
    const std::string panel = overlays->createPanel("a", 0, 0);
    const size_t before = logs.lines.size();
    overlays->addElement("NoSuchBox");
    overlays->removeElement("NoSuchBox");
    overlays->setElementCaption("NoSuchText", "x");
    overlays->setElementMaterial(panel, "NoSuchMaterial");
    EXPECT_EQ(logs.lines.size(), before + 4);
    EXPECT_EQ(logs.count("NoSuchBox"), 2);
    EXPECT_EQ(element(panel)->getMaterialName(), "GameOverlayMaterial");
}

TEST_F(OverlayMgrTest, TextsThatAreNotUtf8ReachTheScreenAsLatin1) {
    // OGRE's captions throw on malformed UTF-8; a legacy 8-bit text must not.
    const std::string panel = overlays->createPanel("caf\xe9", 0, 0);
    EXPECT_EQ("caf\xc3\xa9", element(panel + "_TA")->getCaption().asUTF8());
    overlays->setElementCaption(panel + "_TA", "\xff\xfe");
    EXPECT_EQ("\xc3\xbf\xc3\xbe", element(panel + "_TA")->getCaption().asUTF8());

    EXPECT_EQ(decodeDisplayText("x\xe2\x82"), U"x\u00e2\u0082");  // cut-off sequence
    EXPECT_EQ(decodeDisplayText("\xc0\x80"), U"\u00c0\u0080");    // overlong form
    EXPECT_EQ(decodeDisplayText("\xf0\x9f\x98\x80"), U"\U0001F600");
}

TEST_F(OverlayMgrTest, ErrorPanelListsTheNewestDistinctErrorsInOnePanel) {
    ErrorPanel errors;
    auto caption = [&] { return element(errors.getPanelName() + "_TA")->getCaption().asUTF8(); };
    const std::string scriptPanel = overlays->createPanel("kept", 300, 300);
    errors.show(*overlays, "a", "  at x.lua:1");
    const std::string first = errors.getPanelName();
    for (const char* message : {"b", "c", "d", "e", "a", "a", "f"}) {
        errors.show(*overlays, message);
    }
    // One panel, newest first, a repeat counted and moved up, "b" dropped.
    EXPECT_FALSE(ogreOverlays().hasOverlayElement(first));
    EXPECT_EQ(2u, overlays->getPanelCount());
    EXPECT_TRUE(attached(scriptPanel));
    EXPECT_EQ("Scripting error\nf\na  x3\ne\nd\nc", caption());
    EXPECT_FLOAT_EQ(20.0f / 800.0f, element(errors.getPanelName())->getLeft());
    EXPECT_FLOAT_EQ(10.0f / 600.0f, element(errors.getPanelName())->getTop());

    // Wrapped to the screen: 740 virtual pixels hold 61 letters of 12; the
    // traceback follows its message.
    errors.show(*overlays, std::string(70, 'w') + " tail", "  at level.lua:3");
    const std::string wrapped = "Scripting error\n" + std::string(61, 'w') + "\n" +
                                std::string(9, 'w') + " tail\n  at level.lua:3\nf";
    EXPECT_EQ(caption().substr(0, wrapped.size()), wrapped);

    // F2 hides the list and shows it again with what came meanwhile.
    errors.toggle(*overlays);
    EXPECT_EQ(1u, overlays->getPanelCount());
    errors.show(*overlays, "g");
    EXPECT_EQ(1u, overlays->getPanelCount());
    errors.toggle(*overlays);
    EXPECT_EQ("Scripting error\ng\n", caption().substr(0, 18));

    // A new level starts an empty list.
    overlays->clear();
    errors.forget();
    errors.show(*overlays, "h");
    EXPECT_EQ(1u, overlays->getPanelCount());
    EXPECT_EQ("Scripting error\nh", caption());
}

TEST(OverlayMgrWithoutResources, PanelsStillWorkWithoutFontAndMaterials) {
    test::HeadlessOgre ogre;
    test::LogCapture logs;
    {
        OverlayMgr overlays;
        EXPECT_EQ(logs.count("Error: OverlayMgr: "), 3);  // the font and both materials
        // Every glyph counts as wide as it is high: 2 * 24.
        const std::string panel = overlays.createPanel("ab", 0, 0);
        EXPECT_FLOAT_EQ(68.0f / 800.0f,
                        Ogre::OverlayManager::getSingleton().getOverlayElement(panel)->getWidth());
    }
    EXPECT_EQ(1, logs.count("destroy overlay"));
    EXPECT_EQ(nullptr, Ogre::OverlayManager::getSingleton().getByName("OverlayName"));
}

}  // namespace
}  // namespace vantor
