#include "app/GameApp.h"

namespace vantor {

// Unit tests run without an application object. These definitions are weak so
// that the application's own ones win as soon as its source is linked in; until
// then getApp() is null and GameApp::log is never reached.
__attribute__((weak)) GameApp* getApp() {
    return nullptr;
}
__attribute__((weak)) void GameApp::log(const std::string&) {}

}  // namespace vantor
