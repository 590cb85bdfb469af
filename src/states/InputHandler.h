#pragma once

#include <OISInputManager.h>
#include <OISJoyStick.h>
#include <OISKeyboard.h>
#include <OISMouse.h>

namespace vantor {

// Connects OIS to the game states: opens a buffered mouse, keyboard and (when
// one is attached) joystick on the render window, and hands mouse movements
// and key events to the current state while the frame loop captures. Owns the
// input system and the devices. Main thread only.
class InputHandler : public OIS::MouseListener,
                     public OIS::KeyListener,
                     public OIS::JoyStickListener {
public:
    // windowHandle: the X11 window id of the render window. OIS exceptions
    // (no display, no such window) are not caught here.
    explicit InputHandler(unsigned long windowHandle);
    ~InputHandler() override;
    InputHandler(const InputHandler&) = delete;
    InputHandler& operator=(const InputHandler&) = delete;

    // Captures the mouse, the keyboard and the joystick; their buffered events
    // reach the listener operations below during the call.
    void capture();
    // Whether the key is held, as of the last capture.
    bool isKeyDown(int keyCode) const;

    bool mouseMoved(const OIS::MouseEvent& event) override;
    bool mousePressed(const OIS::MouseEvent& event, OIS::MouseButtonID id) override;
    bool mouseReleased(const OIS::MouseEvent& event, OIS::MouseButtonID id) override;
    bool keyPressed(const OIS::KeyEvent& event) override;
    bool keyReleased(const OIS::KeyEvent& event) override;
    bool buttonPressed(const OIS::JoyStickEvent& event, int button) override;
    bool buttonReleased(const OIS::JoyStickEvent& event, int button) override;
    bool axisMoved(const OIS::JoyStickEvent& event, int axis) override;

private:
    // Destroys the devices, then the input system.
    void release();

    OIS::InputManager* inputSystem_ = nullptr;  // owned; destroyed last
    OIS::Mouse* mouse_ = nullptr;               // owned by us through inputSystem_
    OIS::Keyboard* keyboard_ = nullptr;
    OIS::JoyStick* joystick_ = nullptr;  // null when none is attached
    unsigned long windowHandle_ = 0;
};

}  // namespace vantor
