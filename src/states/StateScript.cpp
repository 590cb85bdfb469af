#include "states/StateScript.h"

#include <lauxlib.h>
#include <lua.h>

#include "app/GameApp.h"
#include "core/Log.h"
#include "script/ScriptCall.h"
#include "script/ScriptVM.h"
#include "states/EngineKeys.h"

namespace vantor::states {

bool isKeyDown(const KeyQuery& keys, int keyCode) {
    if (!heldKeysReachGame()) {
        return false;  // typing into the console
    }
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

namespace {

// Whether the state's globals hold something callable under `name`. The
// lookup is raw: a level may guard its globals with a metatable whose __index
// raises for unknown names, and nothing here may raise.
bool definesFunction(lua_State* L, const char* name) {
    lua_pushstring(L, name);
    lua_rawget(L, LUA_GLOBALSINDEX);
    bool callable = lua_isfunction(L, -1);
    if (!callable && luaL_getmetafield(L, -1, "__call")) {
        lua_pop(L, 1);
        callable = true;
    }
    lua_pop(L, 1);
    return callable;
}

}  // namespace

bool escapeEndsGame() {
    GameApp* app = getApp();
    if (!app) {
        return false;
    }
    ScriptVM* vm = app->getScriptVM("lua");
    lua_State* L = vm ? vm->state() : nullptr;
    if (L && (definesFunction(L, kEscPressed) || definesFunction(L, kKeyPressed))) {
        return false;
    }
    log(kEscapeEndsGame);
    app->shutDown(false);
    return true;
}

bool runSharedKeys(const OIS::KeyEvent& event) {
    if (event.key == OIS::KC_SYSRQ) {
        runScript(ScriptCall(kScreenshot).str());
    }
    if (event.key == OIS::KC_ESCAPE) {
        if (escapeEndsGame()) {
            return false;
        }
        runScript(ScriptCall(kEscPressed).str());
    }
    return true;
}

std::string keyStatement(const char* function, const OIS::KeyEvent& event) {
    return ScriptCall(function)
        .integer(static_cast<int>(event.key))
        .text(std::to_string(event.text))
        .str();
}

}  // namespace vantor::states
