#include "app/FrameStats.h"

#include <OgreOverlay.h>
#include <OgreOverlayContainer.h>
#include <OgreOverlayElement.h>
#include <OgreOverlayManager.h>
#include <gtest/gtest.h>

#include <vector>

#include "support/HeadlessOgre.h"

namespace vantor {
namespace {

const std::vector<std::string> kElements = {"Core/AverageFps", "Core/CurrFps", "Core/BestFps",
                                            "Core/WorstFps",   "Core/NumTris", "Core/DebugText"};

class FrameStatsTest : public ::testing::Test {
protected:
    // The debug overlay with a panel holding a text area for each element
    // name except `leaveOut`; every caption starts as "unset".
    void buildOverlay(const std::string& leaveOut = "") {
        auto& overlays = Ogre::OverlayManager::getSingleton();
        Ogre::Overlay* overlay = overlays.create("Core/DebugOverlay");
        auto* panel = static_cast<Ogre::OverlayContainer*>(
            overlays.createOverlayElement("Panel", "Core/StatPanel"));
        overlay->add2D(panel);
        for (const std::string& name : kElements) {
            if (name == leaveOut) {
                continue;
            }
            Ogre::OverlayElement* text = overlays.createOverlayElement("TextArea", name);
            text->setCaption("unset");
            panel->addChild(text);
        }
    }

    static std::string caption(const std::string& name) {
        return Ogre::OverlayManager::getSingleton().getOverlayElement(name)->getCaption();
    }

    static Ogre::RenderTarget::FrameStats sampleStats() {
        Ogre::RenderTarget::FrameStats stats{};
        stats.avgFPS = 59.94006f;
        stats.lastFPS = 60.0f;
        stats.bestFPS = 1234567.0f;
        stats.worstFPS = 0.5f;
        stats.bestFrameTime = 12;
        stats.worstFrameTime = 2000;
        stats.triangleCount = 123456;
        return stats;
    }

    test::HeadlessOgre ogre_;
};

TEST_F(FrameStatsTest, WritesAllSixCaptions) {
    buildOverlay();
    updateFrameStatistics(sampleStats(), "PlayState entered");
    EXPECT_EQ(caption("Core/AverageFps"), "Average FPS: 59.9401");
    EXPECT_EQ(caption("Core/CurrFps"), "Current FPS: 60");
    EXPECT_EQ(caption("Core/BestFps"), "Best FPS: 1.23457e+06 12 ms");
    EXPECT_EQ(caption("Core/WorstFps"), "Worst FPS: 0.5 2000 ms");
    EXPECT_EQ(caption("Core/NumTris"), "Triangle Count: 123456");
    EXPECT_EQ(caption("Core/DebugText"), "PlayState entered");
}

TEST_F(FrameStatsTest, MissingTriangleCountStopsAfterTheFrameRates) {
    buildOverlay("Core/NumTris");
    updateFrameStatistics(sampleStats(), "EditState entered");
    EXPECT_EQ(caption("Core/AverageFps"), "Average FPS: 59.9401");
    EXPECT_EQ(caption("Core/CurrFps"), "Current FPS: 60");
    EXPECT_EQ(caption("Core/BestFps"), "Best FPS: 1.23457e+06 12 ms");
    EXPECT_EQ(caption("Core/WorstFps"), "Worst FPS: 0.5 2000 ms");
    EXPECT_EQ(caption("Core/DebugText"), "unset");
}

TEST_F(FrameStatsTest, MissingFrameRateElementWritesNothing) {
    buildOverlay("Core/WorstFps");
    updateFrameStatistics(sampleStats(), "EditState entered");
    EXPECT_EQ(caption("Core/AverageFps"), "unset");
    EXPECT_EQ(caption("Core/NumTris"), "unset");
    EXPECT_EQ(caption("Core/DebugText"), "unset");
}

TEST_F(FrameStatsTest, NoOverlayAtAllIsQuiet) {
    EXPECT_NO_THROW(updateFrameStatistics(sampleStats(), "text"));
    EXPECT_FALSE(Ogre::OverlayManager::getSingleton().hasOverlayElement("Core/AverageFps"));
}

}  // namespace
}  // namespace vantor
