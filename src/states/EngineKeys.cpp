#include "states/EngineKeys.h"

#include "app/GameApp.h"
#include "core/Log.h"
#include "overlay/DisplayText.h"
#include "world/DesignerTools.h"
#include "world/Simulation.h"

namespace vantor::states {

namespace {

const char* const kErrorListHidden = "Error list hidden";
const char* const kErrorListShown = "Error list shown";
const char* const kConsoleOpened = "Console opened";
const char* const kConsoleClosed = "Console closed";

bool isEngineKey(OIS::KeyCode key) {
    switch (key) {
        case OIS::KC_F2:
        case OIS::KC_F3:
        case OIS::KC_F4:
        case OIS::KC_F5:
        case OIS::KC_GRAVE:
            return true;
        default:
            return false;
    }
}

Console* openConsole(GameApp& app) {
    DesignerTools* tools = app.getDesignerTools();
    return tools && tools->console().isOpen() ? &tools->console() : nullptr;
}

// The text a key event types, as UTF-8; empty for keys that type nothing.
std::string typedText(unsigned int code) {
    std::string text;
    if (code >= 0x20 && code != 0x7f && code <= 0x10FFFF) {
        appendUtf8(text, code);
    }
    return text;
}

// Every key while the console is open edits it; none reaches the level.
void consoleKey(Console& console, const OIS::KeyEvent& event) {
    switch (event.key) {
        case OIS::KC_GRAVE:
        case OIS::KC_ESCAPE:
            console.setOpen(false);
            log(kConsoleClosed);
            break;
        case OIS::KC_RETURN:
        case OIS::KC_NUMPADENTER:
            console.submit();
            break;
        case OIS::KC_BACK:
            console.erase();
            break;
        case OIS::KC_UP:
            console.older();
            break;
        case OIS::KC_DOWN:
            console.newer();
            break;
        default:
            console.type(typedText(event.text));
            break;
    }
}

}  // namespace

bool engineKeyPressed(const OIS::KeyEvent& event) {
    GameApp* app = getApp();
    if (!app) {
        return false;
    }
    if (Console* console = openConsole(*app)) {
        consoleKey(*console, event);
        return true;
    }
    switch (event.key) {
        case OIS::KC_GRAVE:
            if (DesignerTools* tools = app->getDesignerTools()) {
                tools->console().setOpen(true);
                log(kConsoleOpened);
            }
            return true;
        case OIS::KC_F2:
            if (Simulation* simulation = app->getSimulation();
                simulation && simulation->getOverlayMgr()) {
                app->getErrorPanel().toggle(*simulation->getOverlayMgr());
                log(app->getErrorPanel().isHidden() ? kErrorListHidden : kErrorListShown);
            }
            return true;
        case OIS::KC_F3:
            if (DesignerTools* tools = app->getDesignerTools()) {
                tools->toggleReadout();
            }
            return true;
        case OIS::KC_F4:
            if (DesignerTools* tools = app->getDesignerTools()) {
                tools->toggleWireframe();
            }
            return true;
        case OIS::KC_F5:
            app->requestReload("F5");
            return true;
        default:
            return false;
    }
}

bool engineKeyReleased(const OIS::KeyEvent& event) {
    GameApp* app = getApp();
    return app && (openConsole(*app) || isEngineKey(event.key));
}

bool heldKeysReachGame() {
    GameApp* app = getApp();
    return !app || !openConsole(*app);
}

}  // namespace vantor::states
