#pragma once

#include <string>

namespace Ogre {
class RenderWindow;
}

namespace vantor::platform {

// Makes sure the X server knows the WM_DELETE_WINDOW atom before the GL
// render system looks it up; on a fresh server it may not exist yet, and the
// window's close button would then be ignored. Keeps its own connection open
// for the life of the process so the atom stays interned. False when no X
// display can be opened (DISPLAY unset or naming a server that is not there).
bool prepareWindowSystem();

// The display the window system connects to, as DISPLAY names it; empty when
// DISPLAY is not set.
std::string displayName();

// Lets the window-event pump see the render window (the GLX window does not
// register itself).
void registerRenderWindow(Ogre::RenderWindow* window);
void unregisterRenderWindow(Ogre::RenderWindow* window);

// Handles every waiting window-system event.
void pumpWindowEvents();

// True once the registered render window's close button was pressed (until
// another window is registered). Looks at the window system's queue at most
// every 100 ms, and only on the thread that registered the window, so long
// waits (a running script, a download) may call it as often as they like.
// The close request is taken from the queue; the frame loop then ends as it
// does for a quit signal.
bool windowCloseRequested();

}  // namespace vantor::platform
