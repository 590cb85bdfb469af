#include "states/InputHandler.h"

#include <string>

#include "app/GameApp.h"
#include "states/EngineKeys.h"
#include "states/GameState.h"

namespace vantor {

namespace {
const char* const kButtonText = "Button: ";

GameState* currentState() {
    GameApp* app = getApp();
    return app ? app->getCurrentState() : nullptr;
}
}  // namespace

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

bool InputHandler::mouseMoved(const OIS::MouseEvent& event) {
    if (GameState* state = currentState()) {
        state->mouseMoved(event);
    }
    return true;
}

bool InputHandler::mousePressed(const OIS::MouseEvent&, OIS::MouseButtonID) {
    return true;
}

bool InputHandler::mouseReleased(const OIS::MouseEvent&, OIS::MouseButtonID) {
    return true;
}

bool InputHandler::keyPressed(const OIS::KeyEvent& event) {
    if (states::engineKeyPressed(event)) {
        return true;
    }
    if (GameState* state = currentState()) {
        state->keyPressed(event);
    }
    return true;
}

bool InputHandler::keyReleased(const OIS::KeyEvent& event) {
    if (states::engineKeyReleased(event)) {
        return true;
    }
    if (GameState* state = currentState()) {
        state->keyReleased(event);
    }
    return true;
}

bool InputHandler::buttonPressed(const OIS::JoyStickEvent&, int button) {
    if (GameApp* app = getApp()) {
        app->setDebugText(kButtonText + std::to_string(button));
    }
    return true;
}

bool InputHandler::buttonReleased(const OIS::JoyStickEvent&, int) {
    return true;
}

bool InputHandler::axisMoved(const OIS::JoyStickEvent&, int) {
    return true;
}

}  // namespace vantor
