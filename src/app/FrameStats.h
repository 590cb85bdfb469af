#pragma once

#include <OgreRenderTarget.h>

#include <string>

namespace vantor {

// Copies one frame's render statistics and the debug text line into the text
// elements of the debug overlay ("Core/AverageFps", "Core/CurrFps",
// "Core/BestFps", "Core/WorstFps", "Core/NumTris", "Core/DebugText"), in that
// order. Called once per frame before rendering, whether or not the overlay is
// shown. The first missing element, or any exception of the overlay system,
// ends the update for this frame without a word: a level set-up without these
// elements simply has no statistics.
void updateFrameStatistics(const Ogre::RenderTarget::FrameStats& stats,
                           const std::string& debugText);

}  // namespace vantor
