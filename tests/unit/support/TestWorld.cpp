#include "support/TestWorld.h"

#include <OgreSceneNode.h>
#include <lua.h>

namespace vantor::test {

TestWorld::TestWorld() {
    lua.open();
    scene().getRootSceneNode()->createChildSceneNode("LevelRoot");
    simulation = std::make_unique<Simulation>(WorldLinks{scene(), collision, lua, clock});
}

TestWorld::~TestWorld() {
    simulation.reset();
    collision.clear();
}

void TestWorld::advance(uint32_t ms) {
    clock.advance(ms);
    while (simulation->step()) {
    }
}

std::string TestWorld::global(const std::string& name) {
    lua_State* L = lua.state();
    lua_getglobal(L, name.c_str());
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    std::string value = text ? std::string(text, length) : std::string();
    lua_pop(L, 1);
    return value;
}

}  // namespace vantor::test
