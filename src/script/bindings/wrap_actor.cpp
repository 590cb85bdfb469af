#include "script/bindings/wrap_actor.h"

#include <OgreCamera.h>
#include <OgreMath.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <cstdint>
#include <string>

#include "core/Log.h"
#include "core/Names.h"
#include "core/NodeTransform.h"
#include "script/bindings/BindingSupport.h"
#include "script/bindings/ScriptFunction.h"
#include "world/ActorMessage.h"
#include "world/Simulation.h"

namespace vantor::script {

namespace {

const char* const kNoSuchActor = "ERROR. No such actor found: ";

int pushZeroVector(lua_State* L) {
    return pushVector(L, Ogre::Vector3::ZERO);
}

}  // namespace

int w_AddActor(lua_State* L) {
    return guarded(L, "AddActor", [&] { simulation().addActor(argText(L, 1)); });
}

int w_AddActorMessage(lua_State* L) {
    return guarded(L, "AddActorMessage", [&] {
        Simulation& sim = simulation();
        ActorMessage message;
        message.actorName = argText(L, 1);
        if (!sim.findActor(message.actorName)) {
            log(kNoSuchActor + message.actorName);
            return;
        }
        // A word where the number belongs would read as 0, an Attach message
        // to a parent named by the first word.
        if (!lua_isnoneornil(L, 3) && !lua_isnumber(L, 3)) {
            log("Error: AddActorMessage(" + message.actorName + "): type " + describeArg(L, 3) +
                " is not a message type");
            return;
        }
        message.time = deliveryTime(argInt64(L, 2));
        message.type = argInt(L, 3);
        message.word1 = argText(L, 4);
        message.word2 = argText(L, 5);
        message.vector = argVector(L, 6);
        message.number = argFloat(L, 9);
        sim.addActorMessage(message);
    });
}

int w_RemoveActor(lua_State* L) {
    return guarded(L, "RemoveActor", [&] { simulation().removeActor(argText(L, 1)); });
}

int w_SetPosition(lua_State* L) {
    return guarded(L, "SetPosition",
                   [&] { sceneNode(argText(L, 1)).setPosition(argVector(L, 2)); });
}

int w_GetPosition(lua_State* L) {
    return guarded(
        L, "GetPosition",
        [&] {
            const std::string name = argText(L, 1);
            if (name == names::kCamera) {
                Ogre::SceneManager& sceneMgr = scene();
                if (!sceneMgr.hasCamera(name)) {
                    log("Error: GetPosition: no camera named camera");
                    return pushZeroVector(L);
                }
                // The edit state flies the camera relative to its carrier
                // node; read the node fresh, as the follow step moves it
                // between frames.
                Ogre::Camera* camera = sceneMgr.getCamera(name);
                if (const Ogre::Node* carrier = camera->getParentNode()) {
                    const WorldTransform at = worldTransform(carrier);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
                    const Ogre::Vector3 offset = camera->getPosition();
#pragma GCC diagnostic pop
                    return pushVector(L, at.position + at.orientation * (at.scale * offset));
                }
                return pushVector(L, camera->getRealPosition());
            }
            Ogre::SceneNode& node = sceneNode(name);
            return pushVector(L,
                              argFlag(L, 2) ? node.getPosition() : worldTransform(&node).position);
        },
        [&] { return pushZeroVector(L); });
}

int w_SetRotation(lua_State* L) {
    return guarded(L, "SetRotation", [&] {
        Ogre::SceneNode& node = sceneNode(argText(L, 1));
        // The axis is the caller's to normalise; the angle is absolute.
        const Ogre::Vector3 axis = argVector(L, 2);
        const Ogre::Radian angle(argFloat(L, 5) * Ogre::Math::fDeg2Rad);
        node.setOrientation(Ogre::Quaternion::IDENTITY);
        if (!axis.isZeroLength()) {  // a zero axis would make the orientation NaN
            node.rotate(axis, angle, Ogre::Node::TS_LOCAL);
        }
    });
}

int w_GetParent(lua_State* L) {
    return guarded(
        L, "GetParent",
        [&] {
            const std::string name = argText(L, 1);
            Ogre::Node* parent = sceneNode(name).getParent();
            if (!parent) {
                log("Error: GetParent: scene node " + name + " has no parent");
            }
            lua_pushstring(L, parent ? parent->getName().c_str() : "");
            return 1;
        },
        [&] {
            lua_pushstring(L, "");
            return 1;
        });
}

}  // namespace vantor::script
