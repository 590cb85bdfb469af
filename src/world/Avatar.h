#pragma once

#include <OgreVector.h>
#include <ode/ode.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Ogre {
class SceneManager;
class SceneNode;
}  // namespace Ogre

namespace vantor {

class CollisionGeom;
class CollisionMgr;
class Simulation;

// Set by scripts (SetAvatarState) and by ground tracking. Values outside 0..3
// are kept as they are; no rule that names a state applies to them.
enum AvatarState : int { Ground = 0, Air = 1, Frozen = 2, Locked = 3 };

// The player's body: one ODE sphere in a world of its own, steered by the move
// request of the play state, colliding with the collision space "Solid" and
// shown by the actor "_AVATAR", whose node it places after every step. It
// re-parents that actor to the node it stands on so that it rides moving
// ground, and tells the level script about jumps, walking and bumps.
//
// Owned by the Simulation; main thread only. The level provides the actor
// "_AVATAR", the nodes "ROT1" (heading) and "LevelRoot" (parent in the air)
// and the space "Solid"; a step skips whatever is missing.
class Avatar {
public:
    // Radius of the sphere and height of its centre above the body's origin.
    static constexpr double kRadius = 0.25;
    // Physics steps a tick runs, and the length of each in seconds.
    static constexpr int kStepsPerTick = 3;
    static constexpr float kStepSeconds = 1.0f / 150.0f;
    // Contacts one step hands to ODE at most, over all the geometry touched
    // (the deepest are kept). Each adds rows to the step's solver, whose cost
    // grows with the cube of their number, and every touching solid gives up
    // to 15: a pile of overlapping solids would freeze the step.
    static constexpr int kMaxStepContacts = 15;

    // simulation (not owned, outlives the avatar) gives the actor registry,
    // the simulation clock and the links: the level's nodes, its collision
    // spaces and the "lua" state for the events.
    explicit Avatar(Simulation& simulation);
    ~Avatar();
    Avatar(const Avatar&) = delete;
    Avatar& operator=(const Avatar&) = delete;

    void setState(int state) { state_ = state; }
    // Ignored when Frozen; zero when Locked. x: forward speed along the local x
    // axis (units/s); y: jump request (upward speed added per step).
    void setMove(const Ogre::Vector3& move);
    // Force (newtons) added to the body every step; ignored when Frozen.
    void setAmbientForce(const Ogre::Vector3& force);
    // degrees; ignored when Frozen or Locked, 0.3 of it in the air.
    void turn(float degrees);
    // Back to the reset position at rest, state Air.
    void reset();
    // Forgets what belonged to the previous level (its ground node and which
    // missing objects were already reported). Called when a level is cleared.
    void levelCleared();
    // One physics step of dt seconds.
    void step(float dt);

    int getState() const { return state_; }
    float getYaw() const { return yaw_; }
    int getJumpCounter() const { return jumpCounter_; }
    bool isWalking() const { return walking_; }
    const Ogre::Vector3& getMoveRequest() const { return moveRequest_; }
    const Ogre::Vector3& getWalkVelocity() const { return walkVelocity_; }
    const Ogre::Vector3& getAmbientForce() const { return ambientForce_; }
    Ogre::SceneNode* getGroundNode() const { return groundNode_; }
    int getGroundGrace() const { return groundGrace_; }
    uint32_t getLastBumpTime() const { return lastBumpTime_; }
    // Body velocity in units per second.
    Ogre::Vector3 getLinearVelocity() const;
    // World position of the body's origin (the sphere's bottom, before offset).
    Ogre::Vector3 getBodyPosition() const;
    dBodyID getBody() const { return body_; }
    // Contacts handed to ODE in the last step.
    int getStepContacts() const { return stepContactCount_; }

private:
    // Level objects a step needs; null members are missing.
    struct LevelLinks {
        Ogre::SceneNode* avatarNode = nullptr;
        Ogre::SceneNode* rot1 = nullptr;
        Ogre::SceneNode* levelRoot = nullptr;
        CollisionMgr* collision = nullptr;
        dSpaceID solid = nullptr;
    };
    LevelLinks findLevelLinks();
    void reportMissing(unsigned bit, const std::string& what);

    // Whether the body's state after a world step can be shown: finite and
    // within the world's limits. centre: the sphere's centre.
    bool bodyInRange(const Ogre::Vector3& centre) const;
    // Puts the body's origin at position, unturned and at rest.
    void restBodyAt(const Ogre::Vector3& position);
    void jumpBookkeeping();
    // Sets ROT1 to the heading and returns its world orientation.
    Ogre::Quaternion applyHeading(Ogre::SceneNode* rot1);
    void applyControl(const Ogre::Quaternion& heading);
    static void nearCallback(void* data, dGeomID o1, dGeomID o2);
    void collide(dGeomID level, dGeomID own);
    // Keeps the contact for this step's world step if it is among the
    // kMaxStepContacts deepest so far.
    void keepContact(const dContact& contact, dBodyID levelBody);
    // Creates this step's contact joints and keeps the walls among them for
    // the next control step.
    void createContactJoints();
    // Takes out of the horizontal velocity (vx, vz) what runs into the walls
    // touched in the last step.
    void stopAtWalls(float& vx, float& vz) const;
    // The manager's geom behind an ODE geom, by its node's name; null if none.
    const CollisionGeom* collisionGeom(dGeomID geom) const;
    // How far the node carrying the avatar moved it in the last tick.
    Ogre::Vector3 motionOfCarrier(const Ogre::SceneNode* carrier) const;
    // Geometry whose surface at the contact moved into the sphere in the last
    // tick (relative to the avatar's carrier) gives the body at least that
    // speed out of it.
    void pushBody(const CollisionGeom& geom, const dContactGeom& contact);
    // Height of the top of level geometry straight above or below the
    // sphere's centre; false when the geometry is not under the down ray.
    bool topOf(dGeomID level, float& top) const;
    void updateGround(Ogre::SceneNode* levelRoot);
    // Adds to the heading the turn about the vertical of the node carrying
    // the avatar since the last step, so a turning platform turns its rider.
    void turnWithCarrier(const Ogre::SceneNode* carrier);
    void runScript(const std::string& statement);
    // Runs the statements held back during the collision pass.
    void runHeldEvents();

    Simulation& simulation_;
    Ogre::SceneManager* sceneMgr_;
    CollisionMgr& collisionMgr_;

    dWorldID world_ = nullptr;
    dJointGroupID contactGroup_ = nullptr;
    dBodyID body_ = nullptr;
    dSpaceID space_ = nullptr;
    dGeomID sphere_ = nullptr;   // in space_, on body_ at offset (0, kRadius, 0)
    dGeomID downRay_ = nullptr;  // in no space; finds the top of a squeezing solid

    Ogre::Vector3 moveRequest_ = Ogre::Vector3::ZERO;
    Ogre::Vector3 walkVelocity_ = Ogre::Vector3::ZERO;  // local, units/s; z stays 0
    Ogre::Vector3 sphereOffset_ = Ogre::Vector3::ZERO;  // body origin to sphere centre, world
    Ogre::Vector3 ambientForce_ = Ogre::Vector3::ZERO;
    // Node stood on ("LevelRoot" in the air). Not owned; only compared, never
    // dereferenced, and forgotten when the level is cleared.
    Ogre::SceneNode* groundNode_ = nullptr;
    int groundGrace_ = 0;  // steps the last ground is kept without contact
    // The carrying node at the last step and its world orientation then. Not
    // owned; only compared, never dereferenced.
    const Ogre::SceneNode* carrier_ = nullptr;
    Ogre::Quaternion carrierOrientation_ = Ogre::Quaternion::IDENTITY;
    float yaw_ = 0.0f;           // degrees
    int jumpCounter_ = 0;        // 0: no jump; else steps since the jump began
    uint32_t lastBumpTime_ = 0;  // simulation ms
    int state_ = Air;
    bool landed_ = false;
    bool walking_ = false;
    std::string groundName_;
    // For the current collision pass: the sphere's centre, the node y under
    // which a contact counts as ground, the manager, and the carrier's motion
    // in the last tick at the centre.
    Ogre::Vector3 stepCentre_ = Ogre::Vector3::ZERO;
    float groundThreshold_ = 0.0f;
    CollisionMgr* collision_ = nullptr;
    Ogre::Vector3 carrierMotion_ = Ogre::Vector3::ZERO;
    float bestGroundY_ = 0.0f;
    struct StepContact {
        dContact contact;
        dBodyID levelBody;  // of the level geom touched; normally none
    };
    // Moving geometry that came down onto the sphere in this step, and the
    // height of its top: with ground under the sphere as well, it would be
    // crushed into the solid, and is put on top of it instead.
    bool squeezed_ = false;
    std::string squeezerName_;
    float squeezerTop_ = 0.0f;
    std::array<StepContact, kMaxStepContacts> stepContacts_{};
    int stepContactCount_ = 0;
    // Outward normals of the walls (contacts beside, not under, the sphere)
    // touched in the last step.
    std::array<Ogre::Vector3, kMaxStepContacts> wallNormals_{};
    int wallCount_ = 0;
    // Event statements of the collision pass, run once the pass is over: a
    // script run inside it could change the space being walked.
    std::vector<std::string> heldEvents_;
    // Bits of the missing level objects already logged for this level.
    unsigned reportedMissing_ = 0;
};

}  // namespace vantor
