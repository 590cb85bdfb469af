#include "states/StateScript.h"

#include "app/GameApp.h"
#include "script/ScriptCall.h"
#include "script/ScriptVM.h"

namespace vantor::states {

bool isKeyDown(const KeyQuery& keys, int keyCode) {
    if (keys) {
        return keys(keyCode);
    }
    GameApp* app = getApp();
    return app && app->isKeyDown(keyCode);
}

void runScript(const std::string& statement) {
    if (GameApp* app = getApp()) {
        if (ScriptVM* vm = app->getScriptVM("lua")) {
            vm->executeString(statement);
        }
    }
}

std::string keyStatement(const char* function, const OIS::KeyEvent& event) {
    return ScriptCall(function)
        .integer(static_cast<int>(event.key))
        .text(std::to_string(event.text))
        .str();
}

}  // namespace vantor::states
