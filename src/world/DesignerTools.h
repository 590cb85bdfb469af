#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "script/Console.h"

namespace vantor {

class Simulation;
class CollisionWireframe;
class InfoBox;
class ScriptVM;

// What the engine offers a level designer at run time, beside the level: the
// console (grave key) with the scripts' print output, the debug readout (F3)
// and the collision wireframe (F4). Made with the simulation, kept across
// level loads; the engine keys reach it through GameApp.
class DesignerTools {
public:
    // print of every script state goes to the log and the console from now
    // until destruction.
    DesignerTools(Simulation& simulation, ScriptVM& lua, ScriptVM& setup, ScriptVM& state);
    ~DesignerTools();
    DesignerTools(const DesignerTools&) = delete;
    DesignerTools& operator=(const DesignerTools&) = delete;

    Console& console() { return console_; }

    // F3: the readout of positions, time, tick cost and counts. Turning it on
    // also logs what it shows, so a position can be read back from the log.
    void toggleReadout();
    bool isReadoutOn() const { return readoutOn_; }
    std::string readoutText() const;

    // F4: the collision geometry as wireframe; logs how much it draws.
    void toggleWireframe();
    bool isWireframeOn() const { return wireframe_ != nullptr; }

    // After the frame's ticks: simulation time before them and when they
    // started, for the mean tick cost.
    void noteTicks(uint32_t timeBefore, std::chrono::steady_clock::time_point started);
    // Brings the boxes up to date; once per frame, before rendering.
    void update();

private:
    Simulation& simulation_;
    std::array<ScriptVM*, 3> states_;  // not owned; their print comes here
    Console console_;
    std::unique_ptr<InfoBox> consoleBox_;
    std::unique_ptr<InfoBox> readoutBox_;
    bool readoutOn_ = false;
    std::unique_ptr<CollisionWireframe> wireframe_;  // null while off
    // Tick cost: what the current second has gathered, and the mean of the
    // last whole second (ms per tick; negative before the first).
    std::chrono::steady_clock::time_point windowStart_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration windowCost_{};
    uint32_t windowTicks_ = 0;
    double meanTickMs_ = -1.0;
};

}  // namespace vantor
