#pragma once

#include <OISKeyboard.h>
#include <OISMouse.h>

namespace vantor {

// One way of reading the player's input. States live on GameApp's stack; the
// top one receives the input events and is updated once per simulation step.
// The base class does nothing and asks to be removed at its first update.
class GameState {
public:
    virtual ~GameState() = default;

    // Pushed onto the stack (the play state also at construction).
    virtual void enter() {}
    // Popped off the stack.
    virtual void exit() {}
    // Once per 20 ms step while current; true asks to be popped.
    virtual bool update() { return true; }
    // Current again after a pop, and also just before another state is pushed
    // on top of it.
    virtual void resume() {}
    virtual void mouseMoved(const OIS::MouseEvent&) {}
    virtual void keyPressed(const OIS::KeyEvent&) {}
    virtual void keyReleased(const OIS::KeyEvent&) {}
    // A level was loaded, or LeaveEditMode asked the edit state to end.
    virtual void leave() {}
};

}  // namespace vantor
