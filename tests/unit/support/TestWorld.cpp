#include "support/TestWorld.h"

#include <OgreSceneNode.h>
#include <lauxlib.h>
#include <lua.h>

#include "world/Actor.h"

namespace vantor::test {

namespace {

int post(lua_State* L) {
    auto* simulation = static_cast<Simulation*>(lua_touserdata(L, lua_upvalueindex(1)));
    ActorMessage message;
    message.actorName = luaL_checkstring(L, 1);
    message.time = static_cast<uint32_t>(luaL_checknumber(L, 2));
    message.type = static_cast<int32_t>(luaL_checknumber(L, 3));
    message.word1 = luaL_optstring(L, 4, "");
    simulation->addActorMessage(message);
    return 0;
}

}  // namespace

TestWorld::TestWorld() : lua("lua") {
    lua.open();
    scene().getRootSceneNode()->createChildSceneNode("LevelRoot");
    simulation = std::make_unique<Simulation>(WorldLinks(scene(), collision, lua, clock));
    lua_pushlightuserdata(lua.state(), simulation.get());
    lua_pushcclosure(lua.state(), post, 1);
    lua_setglobal(lua.state(), "Post");
}

TestWorld::~TestWorld() {
    simulation.reset();
    collision.clear();
}

std::vector<uint32_t> TestWorld::advance(uint32_t ms) {
    clock.advance(ms);
    std::vector<uint32_t> ticks;
    for (bool more = true; more;) {
        const uint32_t before = simulation->getTime();
        more = simulation->step();
        if (simulation->getTime() != before) {
            ticks.push_back(simulation->getTime());
        }
    }
    return ticks;
}

std::string TestWorld::text(const std::string& global) {
    lua_State* L = lua.state();
    lua_getglobal(L, global.c_str());
    size_t length = 0;
    const char* value = lua_tolstring(L, -1, &length);
    std::string result = value ? std::string(value, length) : std::string();
    lua_pop(L, 1);
    return result;
}

double TestWorld::number(const std::string& global) {
    lua_State* L = lua.state();
    lua_getglobal(L, global.c_str());
    const double value = lua_tonumber(L, -1);
    lua_pop(L, 1);
    return value;
}

Actor* TestWorld::addActor(const std::string& name, const Ogre::Vector3& position) {
    Actor* actor = simulation->addActor(name);
    actor->attachTo("LevelRoot", "Keep");
    actor->setPosition("", position);
    return actor;
}

}  // namespace vantor::test
