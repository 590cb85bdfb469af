#include "world/DesignerTools.h"

#include <OgreCamera.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <cstdio>

#include "camera/CameraController.h"
#include "collision/CollisionMgr.h"
#include "core/Log.h"
#include "core/Names.h"
#include "core/NodeTransform.h"
#include "core/SceneLookup.h"
#include "overlay/InfoBox.h"
#include "overlay/OverlayMgr.h"
#include "script/ScriptVM.h"
#include "sound/CSound.h"
#include "world/Avatar.h"
#include "world/CollisionWireframe.h"
#include "world/Simulation.h"

namespace vantor {

namespace {
// Bottom-left corner of the console, virtual pixels of the 800 by 600 screen.
constexpr int kConsoleX = 10;
constexpr int kConsoleBottom = 590;
// Top-right corner of the readout.
constexpr int kReadoutRight = 790;
constexpr int kReadoutTop = 10;

const char* const kReadoutOn = "Debug readout on";
const char* const kReadoutOff = "Debug readout off";
const char* const kReadoutLogPrefix = "Readout: ";
const char* const kWireframeOn = "Collision wireframe on: ";
const char* const kWireframeOff = "Collision wireframe off";

std::string format(const char* pattern, double a, double b, double c) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

std::string position(const Ogre::Vector3& p) {
    return format("x %.2f  y %.2f  z %.2f", p.x, p.y, p.z);
}

}  // namespace

DesignerTools::DesignerTools(Simulation& simulation, ScriptVM& lua, ScriptVM& setup,
                             ScriptVM& state)
    : simulation_(simulation), states_{&lua, &setup, &state}, console_(lua) {
    consoleBox_ = std::make_unique<InfoBox>("Vantor/Console", kConsoleX, kConsoleBottom,
                                            InfoBox::Corner::BottomLeft);
    readoutBox_ = std::make_unique<InfoBox>("Vantor/Readout", kReadoutRight, kReadoutTop,
                                            InfoBox::Corner::TopRight);
    for (ScriptVM* vm : states_) {
        vm->setPrintSink([this](const std::string& line) {
            log(line);
            console_.addOutput(line);
        });
    }
}

DesignerTools::~DesignerTools() {
    // Finalisers may still print while the states close.
    for (ScriptVM* vm : states_) {
        vm->setPrintSink(nullptr);
    }
}

void DesignerTools::toggleReadout() {
    readoutOn_ = !readoutOn_;
    log(readoutOn_ ? kReadoutOn : kReadoutOff);
    if (readoutOn_) {
        logLines(readoutText(), kReadoutLogPrefix);
    }
}

void DesignerTools::toggleWireframe() {
    if (wireframe_) {
        wireframe_.reset();
        log(kWireframeOff);
        return;
    }
    const WorldLinks& links = simulation_.links();
    wireframe_ = std::make_unique<CollisionWireframe>(links.scene, links.collision);
    wireframe_->update();
    log(kWireframeOn + std::to_string(links.collision.getSpaces().size()) + " spaces, " +
        std::to_string(wireframe_->getTriangleCount()) + " triangles");
}

std::string DesignerTools::readoutText() const {
    const WorldLinks& links = simulation_.links();
    std::string text = "avatar ";
    if (Ogre::SceneNode* avatar = findSceneNode(&links.scene, names::kAvatar)) {
        text += position(worldTransform(avatar).position);
    } else {
        text += "(none)";
    }
    if (Ogre::SceneNode* rot1 = findSceneNode(&links.scene, names::kRot1)) {
        // Heading 0 faces +x; it grows turning left (towards -z).
        double degrees = worldTransform(rot1).orientation.getYaw().valueDegrees();
        if (degrees < 0.0) {
            degrees += 360.0;
        }
        text += format("  heading %.1f", degrees, 0, 0);
    }
    Simulation& simulation = simulation_;
    const Ogre::SceneNode* ground = simulation.getAvatar()->getGroundNode();
    text += "  ground " + (ground ? ground->getName() : std::string("(none)"));
    text += "\ncamera ";
    if (links.camera && links.camera->getCamera()) {
        text += position(links.camera->getCamera()->getDerivedPosition());
    } else {
        text += "(none)";
    }
    text += format("\ntime %.0f ms  tick ", simulation.getTime(), 0, 0);
    // The mean of the last whole second; none yet during the first.
    text += meanTickMs_ < 0.0 ? std::string("-") : format("%.3f ms", meanTickMs_, 0, 0);
    text += "\nactors " + std::to_string(simulation.getActors().size()) + "  messages " +
            std::to_string(simulation.messageCount()) + "  callbacks " +
            std::to_string(simulation.getCollisionCallbacks().size()) + "  panels " +
            std::to_string(simulation.getOverlayMgr()->getPanelCount()) + "  sounds " +
            std::to_string(links.sound ? links.sound->getChannelCount() +
                                             (links.sound->isStreamPlaying() ? 1 : 0)
                                       : 0);
    return text;
}

void DesignerTools::noteTicks(uint32_t timeBefore, std::chrono::steady_clock::time_point started) {
    const auto now = std::chrono::steady_clock::now();
    const uint32_t ticks = (simulation_.getTime() - timeBefore) / Simulation::kTickMs;
    if (ticks > 0 && simulation_.getTime() > timeBefore) {
        windowCost_ += now - started;
        windowTicks_ += ticks;
    }
    if (now - windowStart_ >= std::chrono::seconds(1)) {
        if (windowTicks_ > 0) {
            meanTickMs_ =
                std::chrono::duration<double, std::milli>(windowCost_).count() / windowTicks_;
        }
        windowStart_ = now;
        windowCost_ = {};
        windowTicks_ = 0;
    }
}

void DesignerTools::update() {
    if (wireframe_) {
        wireframe_->update();
    }
    if (readoutOn_) {
        readoutBox_->show(readoutText());
    } else {
        readoutBox_->hide();
    }
    if (console_.isOpen()) {
        consoleBox_->show(console_.text());
    } else {
        consoleBox_->hide();
    }
}

}  // namespace vantor
