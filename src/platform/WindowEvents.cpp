#include "platform/WindowEvents.h"

#include <Bites/OgreWindowEventUtilities.h>
#include <OgreRenderWindow.h>
#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace vantor::platform {

namespace {

// How often a long wait looks at the window system for the close button.
constexpr auto kClosePollInterval = std::chrono::milliseconds(100);

// The render window whose close button ends the game. The window system is
// one per process, like the quit signals, so this is process state too.
struct CloseWatch {
    Ogre::RenderWindow* window = nullptr;  // not owned
    std::thread::id thread;                // the one that may read its events
    Atom deleteAtom = 0;
    std::chrono::steady_clock::time_point nextPoll;
    std::atomic<bool> closed{false};
};

CloseWatch& closeWatch() {
    static CloseWatch watch;
    return watch;
}

}  // namespace

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
    CloseWatch& watch = closeWatch();
    watch.window = window;
    watch.thread = std::this_thread::get_id();
    watch.deleteAtom = 0;
    watch.closed = false;
}

void unregisterRenderWindow(Ogre::RenderWindow* window) {
    OgreBites::WindowEventUtilities::_removeRenderWindow(window);
    if (closeWatch().window == window) {
        closeWatch().window = nullptr;
    }
}

void pumpWindowEvents() {
    OgreBites::WindowEventUtilities::messagePump();
}

bool windowCloseRequested() {
    CloseWatch& watch = closeWatch();
    if (watch.closed) {
        return true;
    }
    if (!watch.window || std::this_thread::get_id() != watch.thread) {
        return false;
    }
    if (watch.window->isClosed()) {  // the event pump saw the close first
        watch.closed = true;
        return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < watch.nextPoll) {
        return false;
    }
    watch.nextPoll = now + kClosePollInterval;
    Display* display = nullptr;
    Window xid = 0;
    watch.window->getCustomAttribute("XDISPLAY", &display);
    watch.window->getCustomAttribute("WINDOW", &xid);
    if (!display || !xid) {
        return false;
    }
    if (!watch.deleteAtom) {
        watch.deleteAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
    }
    // Only client messages are taken from the queue; any that is not the
    // close request goes back, in its order, for the event pump.
    std::vector<XEvent> others;
    XEvent event;
    while (XCheckTypedWindowEvent(display, xid, ClientMessage, &event)) {
        if (event.xclient.format == 32 &&
            static_cast<Atom>(event.xclient.data.l[0]) == watch.deleteAtom) {
            watch.closed = true;
        } else {
            others.push_back(event);
        }
    }
    for (auto it = others.rbegin(); it != others.rend(); ++it) {
        XPutBackEvent(display, &*it);
    }
    return watch.closed;
}

}  // namespace vantor::platform
