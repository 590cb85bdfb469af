#include "world/DesignerTools.h"

#include "core/Log.h"
#include "overlay/InfoBox.h"
#include "script/ScriptVM.h"

namespace vantor {

namespace {
// Bottom-left corner of the console, virtual pixels of the 800 by 600 screen.
constexpr int kConsoleX = 10;
constexpr int kConsoleBottom = 590;
}  // namespace

DesignerTools::DesignerTools(Simulation& simulation, ScriptVM& lua, ScriptVM& setup,
                             ScriptVM& state)
    : simulation_(simulation), states_{&lua, &setup, &state}, console_(lua) {
    consoleBox_ = std::make_unique<InfoBox>("Vantor/Console", kConsoleX, kConsoleBottom, true);
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

void DesignerTools::update() {
    if (console_.isOpen()) {
        consoleBox_->show(console_.text());
    } else {
        consoleBox_->hide();
    }
}

}  // namespace vantor
