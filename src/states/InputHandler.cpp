#include "states/InputHandler.h"

#include <string>

#include "states/EngineKeys.h"
#include "states/InputJournal.h"

namespace vantor {

InputHandler::InputHandler(unsigned long windowHandle) : windowHandle_(windowHandle) {
    OIS::ParamList params;
    params.insert({"WINDOW", std::to_string(windowHandle_)});
    // Leave the desktop usable: no grabs, the pointer stays visible, and key
    // auto-repeat is switched back on for other windows.
    params.insert({"x11_keyboard_grab", "false"});
    params.insert({"x11_mouse_grab", "false"});
    params.insert({"x11_mouse_hide", "false"});
    params.insert({"XAutoRepeatOn", "true"});
    inputSystem_ = OIS::InputManager::createInputSystem(params);
    try {
        mouse_ = static_cast<OIS::Mouse*>(inputSystem_->createInputObject(OIS::OISMouse, true));
        keyboard_ =
            static_cast<OIS::Keyboard*>(inputSystem_->createInputObject(OIS::OISKeyboard, true));
        if (inputSystem_->getNumberOfDevices(OIS::OISJoyStick) != 0) {
            joystick_ = static_cast<OIS::JoyStick*>(
                inputSystem_->createInputObject(OIS::OISJoyStick, true));
        }
    } catch (...) {
        // The caller sees the OIS exception; nothing made so far is leaked.
        release();
        throw;
    }
    mouse_->setEventCallback(this);
    keyboard_->setEventCallback(this);
    if (joystick_) {
        joystick_->setEventCallback(this);
    }
}

InputHandler::~InputHandler() {
    release();
}

void InputHandler::release() {
    if (!inputSystem_) {
        return;
    }
    for (OIS::Object* device :
         {static_cast<OIS::Object*>(mouse_), static_cast<OIS::Object*>(keyboard_),
          static_cast<OIS::Object*>(joystick_)}) {
        if (device) {
            inputSystem_->destroyInputObject(device);
        }
    }
    mouse_ = nullptr;
    keyboard_ = nullptr;
    joystick_ = nullptr;
    OIS::InputManager::destroyInputSystem(inputSystem_);
    inputSystem_ = nullptr;
}

void InputHandler::capture() {
    mouse_->capture();
    keyboard_->capture();
    if (joystick_) {
        joystick_->capture();
    }
}

bool InputHandler::isKeyDown(int keyCode) const {
    return keyboard_->isKeyDown(static_cast<OIS::KeyCode>(keyCode));
}

namespace {
InputEvent mouseEvent(InputEvent::Kind kind, const OIS::MouseEvent& event, int button) {
    InputEvent out;
    out.kind = kind;
    out.code = button;
    const OIS::Axis* axes[3] = {&event.state.X, &event.state.Y, &event.state.Z};
    for (int axis = 0; axis < 3; ++axis) {
        out.abs[axis] = axes[axis]->abs;
        out.rel[axis] = axes[axis]->rel;
    }
    out.buttons = event.state.buttons;
    return out;
}

InputEvent deviceEvent(InputEvent::Kind kind, int code, unsigned text = 0, int value = 0) {
    InputEvent out;
    out.kind = kind;
    out.code = code;
    out.text = text;
    out.value = value;
    return out;
}
}  // namespace

// Every event goes on through receiveInput, which records it when a
// recording runs and hands it to the current state.
bool InputHandler::mouseMoved(const OIS::MouseEvent& event) {
    receiveInput(mouseEvent(InputEvent::Kind::MouseMoved, event, 0));
    return true;
}

bool InputHandler::mousePressed(const OIS::MouseEvent& event, OIS::MouseButtonID id) {
    receiveInput(mouseEvent(InputEvent::Kind::MousePressed, event, id));
    return true;
}

bool InputHandler::mouseReleased(const OIS::MouseEvent& event, OIS::MouseButtonID id) {
    receiveInput(mouseEvent(InputEvent::Kind::MouseReleased, event, id));
    return true;
}

bool InputHandler::keyPressed(const OIS::KeyEvent& event) {
    if (states::engineKeyPressed(event)) {
        return true;
    }
    receiveInput(deviceEvent(InputEvent::Kind::KeyPressed, event.key, event.text));
    return true;
}

bool InputHandler::keyReleased(const OIS::KeyEvent& event) {
    if (states::engineKeyReleased(event)) {
        return true;
    }
    receiveInput(deviceEvent(InputEvent::Kind::KeyReleased, event.key, event.text));
    return true;
}

bool InputHandler::buttonPressed(const OIS::JoyStickEvent&, int button) {
    receiveInput(deviceEvent(InputEvent::Kind::ButtonPressed, button));
    return true;
}

bool InputHandler::buttonReleased(const OIS::JoyStickEvent&, int button) {
    receiveInput(deviceEvent(InputEvent::Kind::ButtonReleased, button));
    return true;
}

bool InputHandler::axisMoved(const OIS::JoyStickEvent& event, int axis) {
    const int value = axis >= 0 && static_cast<size_t>(axis) < event.state.mAxes.size()
                          ? event.state.mAxes[static_cast<size_t>(axis)].abs
                          : 0;
    receiveInput(deviceEvent(InputEvent::Kind::AxisMoved, axis, 0, value));
    return true;
}

}  // namespace vantor
