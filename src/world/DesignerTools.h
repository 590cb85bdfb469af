#pragma once

#include <memory>

#include "script/Console.h"

namespace vantor {

class Simulation;
class InfoBox;
class ScriptVM;

// What the engine offers a level designer at run time, beside the level: the
// console (grave key) with the scripts' print output, and the debug readout
// (F3). Made with the simulation, kept across level loads.
class DesignerTools {
public:
    // print of every script state goes to the log and the console from now
    // until destruction.
    DesignerTools(Simulation& simulation, ScriptVM& lua, ScriptVM& setup, ScriptVM& state);
    ~DesignerTools();
    DesignerTools(const DesignerTools&) = delete;
    DesignerTools& operator=(const DesignerTools&) = delete;

    Console& console() { return console_; }
    // Brings the boxes up to date; once per frame, before rendering.
    void update();

private:
    Simulation& simulation_;
    ScriptVM* states_[3];
    Console console_;
    std::unique_ptr<InfoBox> consoleBox_;
};

}  // namespace vantor
