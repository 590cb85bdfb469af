#include "app/FrameStats.h"

#include <OgreOverlayElement.h>
#include <OgreOverlayManager.h>
#include <OgreStringConverter.h>

#include <array>
#include <exception>

namespace vantor {

namespace {

constexpr char kAverageFps[] = "Core/AverageFps";
constexpr char kCurrentFps[] = "Core/CurrFps";
constexpr char kBestFps[] = "Core/BestFps";
constexpr char kWorstFps[] = "Core/WorstFps";
constexpr char kNumTris[] = "Core/NumTris";
constexpr char kDebugText[] = "Core/DebugText";

constexpr char kAveragePrefix[] = "Average FPS: ";
constexpr char kCurrentPrefix[] = "Current FPS: ";
constexpr char kBestPrefix[] = "Best FPS: ";
constexpr char kWorstPrefix[] = "Worst FPS: ";
constexpr char kTrianglePrefix[] = "Triangle Count: ";
constexpr char kMilliseconds[] = " ms";

// Null when the element does not exist, so the normal "no overlay" case
// throws nothing.
Ogre::OverlayElement* findElement(Ogre::OverlayManager& overlays, const char* name) {
    return overlays.hasOverlayElement(name) ? overlays.getOverlayElement(name) : nullptr;
}

// Frame rates in the library's default real conversion (6 significant digits).
std::string rate(float fps) {
    return Ogre::StringConverter::toString(fps);
}

}  // namespace

void updateFrameStatistics(const Ogre::RenderTarget::FrameStats& stats,
                           const std::string& debugText) {
    auto* overlays = Ogre::OverlayManager::getSingletonPtr();
    if (!overlays) {
        return;
    }
    try {
        const std::array<Ogre::OverlayElement*, 4> fps = {
            findElement(*overlays, kAverageFps), findElement(*overlays, kCurrentFps),
            findElement(*overlays, kBestFps), findElement(*overlays, kWorstFps)};
        for (const Ogre::OverlayElement* element : fps) {
            if (!element) {
                return;
            }
        }
        fps[0]->setCaption(kAveragePrefix + rate(stats.avgFPS));
        fps[1]->setCaption(kCurrentPrefix + rate(stats.lastFPS));
        fps[2]->setCaption(kBestPrefix + rate(stats.bestFPS) + " " +
                           std::to_string(stats.bestFrameTime) + kMilliseconds);
        fps[3]->setCaption(kWorstPrefix + rate(stats.worstFPS) + " " +
                           std::to_string(stats.worstFrameTime) + kMilliseconds);

        Ogre::OverlayElement* triangles = findElement(*overlays, kNumTris);
        if (!triangles) {
            return;
        }
        triangles->setCaption(kTrianglePrefix + std::to_string(stats.triangleCount));

        Ogre::OverlayElement* debug = findElement(*overlays, kDebugText);
        if (!debug) {
            return;
        }
        debug->setCaption(debugText);
    } catch (const std::exception&) {
        // Statistics are a debugging aid: a broken overlay must not end the frame.
    }
}

}  // namespace vantor
