#include <OgreBorderPanelOverlayElement.h>
#include <OgreFontManager.h>
#include <OgreLogManager.h>
#include <OgreMaterialManager.h>
#include <OgreOverlay.h>
#include <OgreOverlayContainer.h>
#include <OgreOverlayManager.h>
#include <OgreTextAreaOverlayElement.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "overlay/DisplayText.h"
#include "overlay/OverlayMgr.h"
#include "script/ErrorPanel.h"
#include "support/HeadlessOgre.h"

namespace vantor {
namespace {

// Glyph aspect ratios (width / height) of the test font.
constexpr float kZeroAspect = 0.6f;
constexpr float kLetterAspect = 0.5f;

// Collects the lines written to OGRE's default log while it exists.
class LogCapture : public Ogre::LogListener {
public:
    LogCapture() { Ogre::LogManager::getSingleton().getDefaultLog()->addListener(this); }
    ~LogCapture() override {
        Ogre::LogManager::getSingleton().getDefaultLog()->removeListener(this);
    }
    void messageLogged(const Ogre::String& message, Ogre::LogMessageLevel, bool,
                       const Ogre::String&, bool&) override {
        lines.push_back(message);
    }
    int count(const std::string& line) const {
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    int countContaining(const std::string& part) const {
        return static_cast<int>(
            std::count_if(lines.begin(), lines.end(),
                          [&](const std::string& l) { return l.find(part) != std::string::npos; }));
    }
    std::vector<std::string> lines;
};

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
    LogCapture logs;
    std::unique_ptr<OverlayMgr> overlays;
};

TEST_F(OverlayMgrTest, MeasuresLinesAsTheGlyphWidthsAdd) {
    // 3 zeros: 3 * 0.6 * 24 = 43.2, truncated.
    EXPECT_EQ(43, overlays->measureText("000").width);
    EXPECT_EQ(24, overlays->measureText("000").height);
    EXPECT_EQ(0, overlays->measureText("").width);
    EXPECT_EQ(24, overlays->measureText("").height);
    // A blank is as wide as a zero.
    EXPECT_EQ(43, overlays->measureText("0 0").width);
    // The widest line decides: "abcd" = 4 * 0.5 * 24 = 48.
    const OverlayMgr::TextSize twoLines = overlays->measureText("ab\nabcd");
    EXPECT_EQ(48, twoLines.width);
    EXPECT_EQ(48, twoLines.height);
    // A newline at the end adds no line; two in a row make an empty one.
    EXPECT_EQ(24, overlays->measureText("000\n").height);
    EXPECT_EQ(72, overlays->measureText("a\n\nb").height);
    EXPECT_EQ(12, overlays->measureText("a\n\nb").width);
    // Other control characters take no width.
    EXPECT_EQ(12, overlays->measureText("a\r\t").width);
}

TEST_F(OverlayMgrTest, PanelFrameAndTextFollowTheMeasuredText) {
    const std::string zeros = overlays->createPanel("000", 100, 50);
    EXPECT_EQ("Panel_0", zeros);
    EXPECT_EQ(43 + 20, frameWidth(zeros));
    EXPECT_EQ(34, frameHeight(zeros));
    Ogre::OverlayElement* frame = element(zeros);
    EXPECT_EQ("BorderPanel", frame->getTypeName());
    EXPECT_FLOAT_EQ(100.0f / 800.0f, frame->getLeft());
    EXPECT_FLOAT_EQ(50.0f / 600.0f, frame->getTop());
    EXPECT_EQ("GameOverlayMaterial", frame->getMaterialName());
    EXPECT_EQ("GameOverlayBorderMaterial",
              static_cast<Ogre::BorderPanelOverlayElement*>(frame)->getBorderMaterialName());
    EXPECT_TRUE(attached(zeros));

    auto* text = static_cast<Ogre::TextAreaOverlayElement*>(element(zeros + "_TA"));
    EXPECT_EQ(frame, text->getParent());
    EXPECT_EQ("000", text->getCaption().asUTF8());
    EXPECT_FLOAT_EQ(0.04f, text->getCharHeight());
    EXPECT_EQ("DividuZariv", text->getFont()->getName());
    EXPECT_EQ(Ogre::ColourValue(0.5f, 0.5f, 0.8f, 1.0f), text->getColourBottom());
    EXPECT_EQ(Ogre::ColourValue::White, text->getColourTop());
    EXPECT_FLOAT_EQ((43.0f + 10.0f) / 800.0f, text->getWidth());

    const std::string twoWords = overlays->createPanel("ab\nab", 0, 0);
    EXPECT_EQ(58, frameHeight(twoWords));
    const std::string trailing = overlays->createPanel("ab\n", 0, 0);
    EXPECT_EQ(34, frameHeight(trailing));
    const std::string emptyLine = overlays->createPanel("ab\n\nab", 0, 0);
    EXPECT_EQ(82, frameHeight(emptyLine));
}

TEST_F(OverlayMgrTest, PanelNumbersKeepCountingAcrossClear) {
    EXPECT_EQ("Panel_0", overlays->createPanel("a", 0, 0));
    EXPECT_EQ("Panel_1", overlays->createPanel("b", 0, 0));
    overlays->clear();
    EXPECT_EQ(1, logs.count("delete _overlays"));
    EXPECT_EQ(1, logs.count("Number of overlays: 2"));
    EXPECT_EQ(1, logs.count("clear _overlays"));
    EXPECT_EQ(0u, overlays->getPanelCount());
    EXPECT_TRUE(overlays->getGameOverlay()->get2DElements().empty());
    EXPECT_FALSE(ogreOverlays().hasOverlayElement("Panel_0"));

    EXPECT_EQ("Panel_2", overlays->createPanel("c", 0, 0));
    EXPECT_TRUE(attached("Panel_2"));
}

TEST_F(OverlayMgrTest, DestroyingAPanelTwiceLeavesTheOthers) {
    const std::string first = overlays->createPanel("a", 0, 0);
    const std::string second = overlays->createPanel("b", 0, 0);
    // A script may attach the frame again by name; destroying must drop it all the same.
    overlays->addElement(first);
    overlays->destroyPanel(first);
    EXPECT_FALSE(attached(first));
    EXPECT_FALSE(ogreOverlays().hasOverlayElement(first));
    EXPECT_FALSE(ogreOverlays().hasOverlayElement(first + "_TA"));
    overlays->destroyPanel(first);
    overlays->destroyPanel("Panel_99");
    EXPECT_EQ(1u, overlays->getPanelCount());
    EXPECT_EQ(1u, overlays->getGameOverlay()->get2DElements().size());
    EXPECT_TRUE(attached(second));
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
    // Unknown overlays are ignored.
    overlays->addElement("OVEMissing");
    overlays->removeElement("OVEMissing");

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
    EXPECT_EQ(1, logs.countContaining("HudText"));

    overlays->addElement("HudBox");
    overlays->clear();
    EXPECT_TRUE(overlays->getGameOverlay()->get2DElements().empty());
}

TEST_F(OverlayMgrTest, UnknownNamesLogOneLineAndChangeNothing) {
    const std::string panel = overlays->createPanel("a", 0, 0);
    const size_t before = logs.lines.size();
    overlays->addElement("NoSuchBox");
    overlays->removeElement("NoSuchBox");
    overlays->setElementCaption("NoSuchText", "x");
    overlays->setElementMaterial("NoSuchBox", "Other");
    overlays->setElementMaterial(panel, "NoSuchMaterial");
    EXPECT_EQ(before + 5, logs.lines.size());
    EXPECT_EQ(3, logs.countContaining("NoSuchBox"));
    EXPECT_EQ(1, logs.countContaining("NoSuchText"));
    EXPECT_EQ(1, logs.countContaining("NoSuchMaterial"));
    EXPECT_EQ("GameOverlayMaterial", element(panel)->getMaterialName());
    EXPECT_EQ(1u, overlays->getGameOverlay()->get2DElements().size());
}

TEST_F(OverlayMgrTest, CaptionAndMaterialChangeButNotTheFrameSize) {
    overlays->createPanel("a", 0, 0);
    overlays->createPanel("a", 0, 0);
    overlays->createPanel("a", 0, 0);
    const std::string panel = overlays->createPanel("ab", 0, 0);
    ASSERT_EQ("Panel_3", panel);
    const int width = frameWidth(panel);
    overlays->setElementCaption("Panel_3_TA", "a much longer text\nover two lines");
    EXPECT_EQ("a much longer text\nover two lines", element("Panel_3_TA")->getCaption().asUTF8());
    EXPECT_EQ(width, frameWidth(panel));
    EXPECT_EQ(34, frameHeight(panel));

    overlays->setElementMaterial(panel, "Other");
    EXPECT_EQ("Other", element(panel)->getMaterialName());
}

TEST_F(OverlayMgrTest, TextsThatAreNotUtf8ReachTheScreenAsLatin1) {
    // OGRE's captions throw on malformed UTF-8; a legacy 8-bit text must not.
    const std::string panel = overlays->createPanel("caf\xe9", 0, 0);
    EXPECT_EQ("caf\xc3\xa9", element(panel + "_TA")->getCaption().asUTF8());
    overlays->setElementCaption(panel + "_TA", "\xff\xfe");
    EXPECT_EQ("\xc3\xbf\xc3\xbe", element(panel + "_TA")->getCaption().asUTF8());

    EXPECT_EQ(U"a\u00e9", decodeDisplayText("a\xc3\xa9"));
    EXPECT_EQ(U"x\u00e2\u0082", decodeDisplayText("x\xe2\x82"));  // cut-off sequence
    EXPECT_EQ(U"\u00c0\u0080", decodeDisplayText("\xc0\x80"));    // overlong form
    EXPECT_EQ(U"\U0001F600", decodeDisplayText("\xf0\x9f\x98\x80"));
    EXPECT_EQ("a\xc3\xa9\xe2\x82\xac", toDisplayText("a\xc3\xa9\xe2\x82\xac"));
}

TEST_F(OverlayMgrTest, ErrorPanelKeepsExactlyOneStanding) {
    ErrorPanel errors;
    const std::string scriptPanel = overlays->createPanel("kept", 300, 300);
    errors.show(*overlays, "first");
    const std::string first = errors.getPanelName();
    errors.show(*overlays, "second");
    const std::string second = errors.getPanelName();

    EXPECT_NE(first, second);
    EXPECT_FALSE(ogreOverlays().hasOverlayElement(first));
    EXPECT_EQ(2u, overlays->getPanelCount());
    EXPECT_TRUE(attached(scriptPanel));
    EXPECT_EQ("Scripting error\nsecond", element(second + "_TA")->getCaption().asUTF8());
    EXPECT_FLOAT_EQ(20.0f / 800.0f, element(second)->getLeft());
    EXPECT_FLOAT_EQ(10.0f / 600.0f, element(second)->getTop());
    EXPECT_EQ(58, frameHeight(second));

    // After a level load the old panel is gone; the next error still shows.
    overlays->clear();
    errors.show(*overlays, "third");
    EXPECT_EQ(1u, overlays->getPanelCount());
    EXPECT_TRUE(attached(errors.getPanelName()));
}

TEST(OverlayMgrWithoutResources, PanelsStillWorkWithoutFontAndMaterials) {
    test::HeadlessOgre ogre;
    LogCapture logs;
    {
        OverlayMgr overlays;
        EXPECT_EQ(1, logs.countContaining("DividuZariv"));
        EXPECT_EQ(1, logs.countContaining("GameOverlayMaterial"));
        EXPECT_EQ(1, logs.countContaining("GameOverlayBorderMaterial"));
        // Every glyph counts as wide as it is high: 2 * 24.
        const std::string panel = overlays.createPanel("ab", 0, 0);
        EXPECT_FLOAT_EQ(68.0f / 800.0f,
                        Ogre::OverlayManager::getSingleton().getOverlayElement(panel)->getWidth());
        overlays.destroyPanel(panel);
        EXPECT_EQ(0u, overlays.getPanelCount());
    }
    EXPECT_EQ(1, logs.count("destroy overlay"));
    EXPECT_EQ(nullptr, Ogre::OverlayManager::getSingleton().getByName("OverlayName"));
}

}  // namespace
}  // namespace vantor
