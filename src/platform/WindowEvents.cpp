#include "platform/WindowEvents.h"

#include <Bites/OgreWindowEventUtilities.h>
#include <X11/Xlib.h>

namespace vantor::platform {

void prepareWindowSystem() {
    // One connection for the whole process: the atom must outlive every
    // application object of a restart loop. Reopening is skipped once open.
    static Display* keeper = nullptr;
    if (keeper) {
        return;
    }
    keeper = XOpenDisplay(nullptr);
    if (keeper) {
        XInternAtom(keeper, "WM_DELETE_WINDOW", False);
        XFlush(keeper);
    }
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
