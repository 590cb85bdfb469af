#pragma once

#include <OgreVector.h>
#include <ode/collision.h>

#include <array>
#include <string>
#include <vector>

namespace Ogre {
class Node;
}

namespace vantor {

// dCollide flags of a touch test: one contact, without refining it.
constexpr int kTouchFlags = 1 | CONTACTS_UNIMPORTANT;

// What a ray or collision test found. Ray tests fill a record that the caller
// supplies; collision tests fill the collision manager's own record.
struct CollisionResult {
    // Contact buffer handed to dCollide, overwritten by every pair tested.
    // Left uninitialised: only the contacts dCollide reports are read, and
    // clearing 20 contacts would cost more than a ray test itself.
    static constexpr int kMaxContacts = 20;
    std::array<dContactGeom, kMaxContacts> contacts;
    // Ray tests: the ray's origin, from which contact distances are measured.
    Ogre::Vector3 origin = Ogre::Vector3::ZERO;
    // Collision tests: the name of the second side (normally a space).
    std::string selfName;
    // The reported contact point; (0, 0, 0) means none.
    Ogre::Vector3 point = Ogre::Vector3::ZERO;
    // The node bound to the reported geom (not owned); null when nothing was hit.
    Ogre::Node* hitNode = nullptr;
    // Collision tests: the name of the last reported node.
    std::string hitName;
    // Collision tests: every reported node name as a Lua string literal, joined by ", ".
    std::string hitList;
    // Collision tests: every reported node name, in the order reported.
    std::vector<std::string> hitNames;
};

}  // namespace vantor
