#include "platform/WindowEvents.h"

#include <Bites/OgreWindowEventUtilities.h>
#include <X11/Xlib.h>

#include <cstdlib>

namespace vantor::platform {

bool prepareWindowSystem() {
    // One connection for the whole process: the atom must outlive every
    // application object of a restart loop. Reopening is skipped once open.
    static Display* keeper = nullptr;
    if (keeper) {
        return true;
    }
    keeper = XOpenDisplay(nullptr);
    if (!keeper) {
        return false;
    }
    XInternAtom(keeper, "WM_DELETE_WINDOW", False);
    XFlush(keeper);
    return true;
}

std::string displayName() {
    const char* name = std::getenv("DISPLAY");
    return name ? name : "";
}

void registerRenderWindow(Ogre::RenderWindow* window) {
    OgreBites::WindowEventUtilities::_addRenderWindow(window);
}

void unregisterRenderWindow(Ogre::RenderWindow* window) {
    OgreBites::WindowEventUtilities::_removeRenderWindow(window);
}

void pumpWindowEvents() {
    OgreBites::WindowEventUtilities::messagePump();
}

}  // namespace vantor::platform
