#include "world/Avatar.h"

#include <OgreMath.h>
#include <OgreQuaternion.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreStringConverter.h>

#include <algorithm>
#include <cmath>

#include "collision/CollisionMgr.h"
#include "collision/OdeRuntime.h"
#include "core/Log.h"
#include "core/Names.h"
#include "core/NodeTransform.h"
#include "core/Numbers.h"
#include "core/SceneLookup.h"
#include "script/ScriptCall.h"
#include "script/ScriptVM.h"
#include "world/Actor.h"
#include "world/Simulation.h"

namespace vantor {

namespace {

const char* const kKeep = "Keep";
const char* const kBumpLog = "Bump depth: ";
const char* const kBodyReset =
    "Error: Avatar::step: the body's motion went out of range (too large an ambient force?); "
    "the body is reset at rest where it stood and the ambient force cleared";

const char* const kStartJump = "StartJump";
const char* const kEndJump = "EndJump";
const char* const kStartWalk = "StartWalk";
const char* const kEndWalk = "EndWalk";
const char* const kBumped = "BumpedIntoSomething";

const Ogre::Vector3 kStartPosition(-25.0f, 1.0f, -30.0f);
const Ogre::Vector3 kResetPosition(0.0f, 0.25f, 0.0f);

constexpr double kDensity = 5.0;
constexpr double kMaxCorrectingSpeed = 0.3;  // units/s
// Geometry moving into the sphere hands it its speed up to this. Faster
// motion, a diameter of the sphere in one tick, is a jump of its node (a
// script placing it) and pushes nothing.
constexpr float kMaxPushSpeed = 25.0f;  // units/s
constexpr int kMaxContacts = 15;
// Steps the last ground is kept while nothing is touched.
constexpr int kGroundGrace = 15;
// A jump pushes while the counter is below this, ...
constexpr int kJumpPushSteps = 16;
// ... and ends on the ground once the counter has passed this.
constexpr int kJumpEndSteps = 20;
constexpr float kWalkRamp = 0.1f;  // units/s per step
constexpr float kReleaseDamping = 0.95f;
constexpr float kMaxUpwardSpeed = 5.0f;  // units/s
constexpr double kAngularDamping = 0.4;
constexpr float kAirTurnFactor = 0.3f;
// Contacts this far below the node's centre (the sphere's centre) are ground.
constexpr float kGroundMargin = 0.1f;
constexpr float kNoGround = 999999.875f;
constexpr double kBumpMinDepth = 0.02;
constexpr uint32_t kBumpIntervalMs = 500;
// Farther out than any script can place a node (script numbers are clamped
// to this), a body has run away.
constexpr double kWorldLimit = kMaxSceneNumber;

enum MissingBit : unsigned {
    kMissingActor = 1u << 0,
    kMissingRot1 = 1u << 1,
    kMissingLevelRoot = 1u << 2,
    kMissingSolid = 1u << 3,
    kMissingGround = 1u << 4,
};

// Scripts can hand in NaN or infinity (0/0 in Lua); one such value in the body
// would spread to the avatar's node and the camera for good.
bool finite(const Ogre::Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool inRange(const dReal* v, int count) {
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(v[i]) || std::abs(v[i]) > kWorldLimit) {
            return false;
        }
    }
    return true;
}

Ogre::Vector3 toVector(const dReal* v) {
    return Ogre::Vector3(static_cast<float>(v[0]), static_cast<float>(v[1]),
                         static_cast<float>(v[2]));
}

}  // namespace

Avatar::Avatar(Simulation& simulation)
    : simulation_(simulation),
      sceneMgr_(&simulation.links().scene),
      collisionMgr_(simulation.links().collision) {
    ensureOdeInitialised();
    world_ = dWorldCreate();
    contactGroup_ = dJointGroupCreate(0);
    dWorldSetGravity(world_, 0, -9.81, 0);
    dWorldSetERP(world_, 0.5);
    // ODE lets contacts push a sunken body out as fast as the error demands:
    // after a fall from a metre or more the sphere would pop up out of the
    // ground and stay clear of it longer than the ground grace, so every
    // landing would be reported twice. Pushing out no faster than this keeps
    // a landing one landing; the sphere rests at the same place. Geometry that
    // moves into the sphere is not held back by it: it hands the body its
    // speed (see pushBody).
    dWorldSetContactMaxCorrectingVel(world_, kMaxCorrectingSpeed);

    body_ = dBodyCreate(world_);
    dMass mass;
    dMassSetZero(&mass);
    dMassSetSphere(&mass, kDensity, kRadius);
    dBodySetMass(body_, &mass);
    dBodySetPosition(body_, kStartPosition.x, kStartPosition.y, kStartPosition.z);

    // The sphere hangs kRadius above the body's origin through a geom offset
    // (ODE's replacement for the deprecated geom transform).
    space_ = dSimpleSpaceCreate(nullptr);
    sphere_ = dCreateSphere(space_, kRadius);
    dGeomSetBody(sphere_, body_);
    dGeomSetOffsetPosition(sphere_, 0, kRadius, 0);
    downRay_ = dCreateRay(nullptr, 1);
    dGeomRaySetClosestHit(downRay_, 1);
}

Avatar::~Avatar() {
    // The space destroys the sphere with it.
    dSpaceDestroy(space_);
    dGeomDestroy(downRay_);
    dJointGroupDestroy(contactGroup_);
    dWorldDestroy(world_);
}

void Avatar::setMove(const Ogre::Vector3& move) {
    if (state_ == Frozen || !finite(move)) {
        return;
    }
    moveRequest_ = state_ == Locked ? Ogre::Vector3::ZERO : move;
}

void Avatar::setAmbientForce(const Ogre::Vector3& force) {
    if (state_ != Frozen && finite(force)) {
        ambientForce_ = force;
    }
}

void Avatar::turn(float degrees) {
    if (state_ == Frozen || state_ == Locked || !std::isfinite(degrees)) {
        return;
    }
    yaw_ += state_ == Air ? kAirTurnFactor * degrees : degrees;
}

void Avatar::reset() {
    yaw_ = 0.0f;
    jumpCounter_ = 0;
    lastBumpTime_ = 0;
    landed_ = false;
    walking_ = false;
    state_ = Air;
    restBodyAt(kResetPosition);
    wallCount_ = 0;
    if (Actor* actor = simulation_.findActor(names::kAvatar)) {
        if (actor->getNode()) {
            actor->setPosition("", kResetPosition);
        }
    }
    ambientForce_ = Ogre::Vector3::ZERO;
}

bool Avatar::bodyInRange(const Ogre::Vector3& centre) const {
    return finite(centre) && inRange(dBodyGetPosition(body_), 3) &&
           inRange(dBodyGetQuaternion(body_), 4) && inRange(dBodyGetLinearVel(body_), 3) &&
           inRange(dBodyGetAngularVel(body_), 3);
}

void Avatar::restBodyAt(const Ogre::Vector3& position) {
    dBodySetPosition(body_, position.x, position.y, position.z);
    const dQuaternion identity = {1, 0, 0, 0};
    dBodySetQuaternion(body_, identity);
    dBodySetLinearVel(body_, 0, 0, 0);
    dBodySetAngularVel(body_, 0, 0, 0);
    dBodySetForce(body_, 0, 0, 0);
    dBodySetTorque(body_, 0, 0, 0);
}

void Avatar::levelCleared() {
    groundNode_ = nullptr;
    carrier_ = nullptr;
    reportedMissing_ = 0;
}

Ogre::Vector3 Avatar::getLinearVelocity() const {
    return toVector(dBodyGetLinearVel(body_));
}

Ogre::Vector3 Avatar::getBodyPosition() const {
    return toVector(dBodyGetPosition(body_));
}

void Avatar::reportMissing(unsigned bit, const std::string& what) {
    if ((reportedMissing_ & bit) == 0) {
        reportedMissing_ |= bit;
        log("Error: Avatar::step: " + what);
    }
}

Avatar::LevelLinks Avatar::findLevelLinks() {
    LevelLinks links;
    Actor* actor = simulation_.findActor(names::kAvatar);
    links.avatarNode = actor ? actor->getNode() : nullptr;
    if (!links.avatarNode) {
        reportMissing(kMissingActor, "the level has no actor _AVATAR with a scene node");
    }
    links.rot1 = findSceneNode(sceneMgr_, names::kRot1);
    if (!links.rot1) {
        reportMissing(kMissingRot1, "the level has no scene node ROT1");
    }
    links.levelRoot = findSceneNode(sceneMgr_, names::kLevelRoot);
    if (!links.levelRoot) {
        reportMissing(kMissingLevelRoot, "the level has no scene node LevelRoot");
    }
    links.collision = &collisionMgr_;
    CollisionSpace* solid = collisionMgr_.getSpace(names::kSolid);
    links.solid = solid ? solid->space() : nullptr;
    if (!links.solid) {
        reportMissing(kMissingSolid, "the level has no collision space Solid");
    }
    return links;
}

void Avatar::step(float dt) {
    if (state_ == Frozen) {
        return;
    }
    jumpBookkeeping();

    // The body needs the actor's node to be placed from and "ROT1" for its
    // heading; without either there is nothing meaningful to simulate. The
    // ground node and "Solid" are optional: without them the avatar falls.
    const LevelLinks links = findLevelLinks();
    if (!links.avatarNode || !links.rot1 || dt <= 0.0f) {
        return;
    }

    turnWithCarrier(links.avatarNode->getParentSceneNode());
    // The scene node is the authority on position: whatever moved it since
    // the last step (moving ground, a script, a message) moves the body.
    const Ogre::Vector3 p = worldTransform(links.avatarNode).position;
    const Ogre::Vector3 origin = p - sphereOffset_;
    dBodySetPosition(body_, origin.x, origin.y, origin.z);

    applyControl(applyHeading(links.rot1));

    groundName_.clear();
    stepContactCount_ = 0;
    squeezed_ = false;
    if (links.solid) {
        stepCentre_ = p;
        groundThreshold_ = p.y - kGroundMargin;
        collision_ = links.collision;
        carrierMotion_ = motionOfCarrier(links.avatarNode->getParentSceneNode());
        links.collision->collide(sphere_, reinterpret_cast<dGeomID>(links.solid), this,
                                 &Avatar::nearCallback);
    }
    createContactJoints();
    updateGround(links.levelRoot);
    runHeldEvents();

    dWorldStep(world_, dt);
    dJointGroupEmpty(contactGroup_);

    dVector3 centreOut;
    dBodyGetRelPointPos(body_, 0, kRadius, 0, centreOut);
    Ogre::Vector3 centre = toVector(centreOut);
    if (squeezed_ && !groundName_.empty() && groundName_ != squeezerName_) {
        // Pressed between solid coming down and the ground, the sphere can
        // go nowhere: it would end up inside the solid. It goes on top.
        centre = Ogre::Vector3(centre.x, squeezerTop_ + static_cast<float>(kRadius), centre.z);
        const Ogre::Vector3 origin = centre - sphereOffset_;
        dBodySetPosition(body_, origin.x, origin.y, origin.z);
        const dReal* v = dBodyGetLinearVel(body_);
        dBodySetLinearVel(body_, v[0], 0, v[2]);
    }
    if (!bodyInRange(centre)) {
        // The node must never get a position or orientation that is not a
        // number: OGRE aborts on it.
        log(kBodyReset);
        restBodyAt(origin);
        ambientForce_ = Ogre::Vector3::ZERO;
        centre = p;
    }
    sphereOffset_ = centre - toVector(dBodyGetPosition(body_));

    // Walking into a wall brings the walk speed down to the speed reached.
    Ogre::Vector3 achieved = (centre - p) / dt;
    achieved.y = 0.0f;
    const float walkSpeed = walkVelocity_.length();
    const float achievedSpeed = achieved.length();
    if (walkSpeed > achievedSpeed + kWalkRamp) {
        walkVelocity_ *= achievedSpeed / walkSpeed;
    }

    // Scripts run during this step may have removed the actor, or "ROT1" if
    // it is an actor's node.
    Ogre::SceneNode* rot1 = findSceneNode(sceneMgr_, names::kRot1);
    if (!rot1) {
        return;
    }
    const Ogre::Quaternion heading = applyHeading(rot1);
    if (Actor* actor = simulation_.findActor(names::kAvatar)) {
        if (actor->getNode()) {
            actor->setPosition("", centre);
            actor->setWorldOrientation(heading);
        }
    }
}

void Avatar::turnWithCarrier(const Ogre::SceneNode* carrier) {
    const Ogre::Quaternion now =
        carrier ? worldTransform(carrier).orientation : Ogre::Quaternion::IDENTITY;
    if (carrier == carrier_) {
        // Where the carrier's turn since the last step takes the world's x
        // axis, seen from above, gives its turn about the vertical.
        const Ogre::Vector3 x = (now * carrierOrientation_.Inverse()) * Ogre::Vector3::UNIT_X;
        if (x.x != 0.0f || x.z != 0.0f) {
            const float degrees = std::atan2(-x.z, x.x) * Ogre::Math::fRad2Deg;
            if (std::isfinite(degrees)) {
                // Kept within a turn: a rider of a carousel would otherwise
                // wind the heading up without bound.
                yaw_ = std::remainder(yaw_ + degrees, 360.0f);
            }
        }
    }
    carrier_ = carrier;
    carrierOrientation_ = now;
}

void Avatar::jumpBookkeeping() {
    if (jumpCounter_ >= kJumpPushSteps) {
        moveRequest_.y = 0.0f;
    }
    if (jumpCounter_ > 0) {
        ++jumpCounter_;
    }
    if (moveRequest_.y > 0.0f && jumpCounter_ == 0 && state_ == Ground) {
        jumpCounter_ = 1;
    }
    if (jumpCounter_ == 0) {
        moveRequest_.y = 0.0f;
    }
    if (jumpCounter_ > kJumpEndSteps && state_ == Ground) {
        runScript(ScriptCall(kEndJump).str());
        walking_ = false;
        jumpCounter_ = 0;
    }
    if (jumpCounter_ == 2) {
        runScript(ScriptCall(kStartJump).str());
        walking_ = false;
    }
}

Ogre::Quaternion Avatar::applyHeading(Ogre::SceneNode* rot1) {
    rot1->setOrientation(Ogre::Quaternion::IDENTITY);
    rot1->yaw(Ogre::Radian(yaw_ * Ogre::Math::fDeg2Rad), Ogre::Node::TS_LOCAL);
    return worldTransform(rot1).orientation;
}

void Avatar::applyControl(const Ogre::Quaternion& q) {
    const dQuaternion bodyQ = {q.w, q.x, q.y, q.z};
    dBodySetQuaternion(body_, bodyQ);
    const Ogre::Vector3 lv = toVector(dBodyGetLinearVel(body_));

    float vx = 0.0f;
    float vz = 0.0f;
    if (moveRequest_ != Ogre::Vector3::ZERO) {
        if (walkVelocity_.x < moveRequest_.x) {
            walkVelocity_.x += kWalkRamp;
        }
        if (walkVelocity_.x > moveRequest_.x) {
            walkVelocity_.x -= kWalkRamp;
        }
        const Ogre::Vector3 v = q * Ogre::Vector3(walkVelocity_.x, moveRequest_.y, walkVelocity_.z);
        vx = v.x;
        vz = v.z;
        if (!walking_ && state_ == Ground && jumpCounter_ == 0) {
            runScript(ScriptCall(kStartWalk).str());
            walking_ = true;
        }
    } else {
        vx = kReleaseDamping * lv.x;
        vz = kReleaseDamping * lv.z;
        walkVelocity_ = Ogre::Vector3::ZERO;
        if (walking_ && jumpCounter_ == 0) {
            runScript(ScriptCall(kEndWalk).str());
            walking_ = false;
        }
    }
    if (walking_ && state_ == Air && jumpCounter_ == 0) {
        runScript(ScriptCall(kEndWalk).str());
        walking_ = false;
    }

    float vy = lv.y;
    if (moveRequest_.y != 0.0f) {
        vy += moveRequest_.y;
    }
    if (landed_) {
        landed_ = false;
        vy = 0.0f;
        runScript(ScriptCall(kEndJump).str());
        walking_ = false;
    }
    vy = std::min(vy, kMaxUpwardSpeed);
    stopAtWalls(vx, vz);
    dBodySetLinearVel(body_, vx, vy, vz);

    const dReal* av = dBodyGetAngularVel(body_);
    dBodySetAngularVel(body_, kAngularDamping * av[0], kAngularDamping * av[1],
                       kAngularDamping * av[2]);
    dBodyAddForce(body_, ambientForce_.x, ambientForce_.y, ambientForce_.z);
    dBodySetTorque(body_, 0, 0, 0);
}

namespace {
// ODE's sphere-trimesh collider reports a contact with a zero or NaN normal
// when the sphere's centre lies exactly on a triangle (its plane, an edge or a
// vertex), as it does for an avatar reset onto a grid vertex of a flat ground.
// A joint made from it fills the body's state with NaN, and the next
// dWorldStep aborts the process in dNormalize4. Such a contact has no
// direction to push along; it is skipped, and the others of the step remain.
bool usableContact(const dContactGeom& c) {
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(c.pos[i]) || !std::isfinite(c.normal[i])) {
            return false;
        }
    }
    const dReal length2 =
        c.normal[0] * c.normal[0] + c.normal[1] * c.normal[1] + c.normal[2] * c.normal[2];
    return std::isfinite(c.depth) && length2 > 0.25;
}
}  // namespace

void Avatar::nearCallback(void* data, dGeomID o1, dGeomID o2) {
    Avatar* self = static_cast<Avatar*>(data);
    if (dGeomIsSpace(o1) || dGeomIsSpace(o2)) {
        dSpaceCollide2(o1, o2, data, &Avatar::nearCallback);
        return;
    }
    // ODE hands the member of "Solid" first; do not rely on it.
    if (o1 == self->sphere_) {
        std::swap(o1, o2);
    }
    self->collide(o1, o2);
}

void Avatar::collide(dGeomID level, dGeomID own) {
    float best = kNoGround;
    const dBodyID levelBody = dGeomGetBody(level);
    const CollisionGeom* moving = collisionGeom(level);

    dContact contacts[kMaxContacts];
    for (dContact& contact : contacts) {
        contact = dContact();
        contact.surface.mode = dContactApprox1 | dContactSoftCFM;
        contact.surface.mu = 0.5;
        contact.surface.soft_cfm = 0.0001;
        contact.surface.bounce = 0.05;
        contact.surface.bounce_vel = 0.001;
    }
    const int n = dCollide(level, own, kMaxContacts, &contacts[0].geom, sizeof(dContact));
    if (n <= 0) {
        return;
    }

    const uint32_t now = simulation_.getTime();
    Ogre::SceneNode* ground = nullptr;
    for (int i = 0; i < n; ++i) {
        const dContact& contact = contacts[i];
        if (!usableContact(contact.geom)) {
            continue;
        }
        if (moving) {
            pushBody(*moving, contact.geom);
        }
        keepContact(contact, levelBody);

        const float y = static_cast<float>(contact.geom.pos[1]);
        if (y < best && y < groundThreshold_) {
            best = y;
            ground = static_cast<Ogre::SceneNode*>(dGeomGetData(level));
        }
        if (y > groundThreshold_ && contact.geom.depth > kBumpMinDepth &&
            now - lastBumpTime_ > kBumpIntervalMs) {
            const std::string depth =
                Ogre::StringConverter::toString(static_cast<float>(contact.geom.depth));
            log(kBumpLog + depth);
            heldEvents_.push_back(
                ScriptCall(kBumped).real(static_cast<float>(contact.geom.depth)).str());
            lastBumpTime_ = now;
        }
    }
    if (ground) {
        groundName_ = ground->getName();
    }
}

const CollisionGeom* Avatar::collisionGeom(dGeomID geom) const {
    const auto* node = static_cast<const Ogre::SceneNode*>(dGeomGetData(geom));
    const CollisionGeom* found =
        node && collision_ ? collision_->getGeom(node->getName()) : nullptr;
    return found && found->geom() == geom ? found : nullptr;
}

Ogre::Vector3 Avatar::motionOfCarrier(const Ogre::SceneNode* carrier) const {
    // The carrier is a level geom's node when the avatar stands on something.
    const CollisionGeom* geom =
        carrier && collision_ ? collision_->getGeom(carrier->getName()) : nullptr;
    return geom && geom->node() == carrier ? geom->motionAt(stepCentre_) : Ogre::Vector3::ZERO;
}

void Avatar::pushBody(const CollisionGeom& geom, const dContactGeom& contact) {
    const Ogre::Vector3 point = toVector(contact.pos);
    // The way out of the geometry, towards the sphere's centre.
    Ogre::Vector3 out = toVector(contact.normal);
    if (out.dotProduct(stepCentre_ - point) < 0.0f) {
        out = -out;
    }
    // Motion the avatar's node did not already get from what carries it.
    const Ogre::Vector3 motion = geom.motionAt(point) - carrierMotion_;
    const float tickSeconds = static_cast<float>(Simulation::kTickMs) / 1000.0f;
    const float push = motion.dotProduct(out) / tickSeconds;
    // The body leaves along `out` at least as fast as the surface advances.
    // A contact could not do it: its correction is capped, and pushing at the
    // sphere's centre, above the body's centre of mass, turns the body too.
    const Ogre::Vector3 velocity = toVector(dBodyGetLinearVel(body_));
    const float along = velocity.dotProduct(out);
    if (push > 0.0f && push <= kMaxPushSpeed && along < push) {
        const Ogre::Vector3 pushed = velocity + out * (push - along);
        dBodySetLinearVel(body_, pushed.x, pushed.y, pushed.z);
    }
    constexpr float kFromAbove = -0.5f;  // the way out points this far down
    float top = 0.0f;
    if (push > 0.0f && push <= kMaxPushSpeed && out.y < kFromAbove && geom.node() &&
        topOf(geom.geom(), top)) {
        squeezed_ = true;
        squeezerName_ = geom.node()->getName();
        squeezerTop_ = top;
    }
}

bool Avatar::topOf(dGeomID level, float& top) const {
    constexpr float kReach = 100.0f;
    dGeomRaySetLength(downRay_, 2.0f * kReach);
    dGeomRaySet(downRay_, stepCentre_.x, stepCentre_.y + kReach, stepCentre_.z, 0, -1, 0);
    dContactGeom hit;
    if (dCollide(downRay_, level, 1, &hit, sizeof(dContactGeom)) <= 0) {
        return false;
    }
    top = static_cast<float>(hit.pos[1]);
    return std::isfinite(top);
}

namespace {
// Two contacts at the same point with the same normal constrain the body the
// same way; ODE's solver reports the pair as singular ("LCP internal error").
// Overlapping copies of one solid give such pairs.
bool sameContact(const dContactGeom& a, const dContactGeom& b) {
    constexpr double kSamePoint = 1e-4;
    constexpr double kSameNormal = 0.9999;
    const double dx = a.pos[0] - b.pos[0], dy = a.pos[1] - b.pos[1], dz = a.pos[2] - b.pos[2];
    const double cosine =
        a.normal[0] * b.normal[0] + a.normal[1] * b.normal[1] + a.normal[2] * b.normal[2];
    return dx * dx + dy * dy + dz * dz < kSamePoint * kSamePoint && cosine > kSameNormal;
}
}  // namespace

void Avatar::keepContact(const dContact& contact, dBodyID levelBody) {
    for (int i = 0; i < stepContactCount_; ++i) {
        StepContact& kept = stepContacts_[i];
        if (sameContact(kept.contact.geom, contact.geom)) {
            if (contact.geom.depth > kept.contact.geom.depth) {
                kept = {contact, levelBody};
            }
            return;
        }
    }
    if (stepContactCount_ < kMaxStepContacts) {
        stepContacts_[stepContactCount_++] = {contact, levelBody};
        return;
    }
    StepContact* shallowest = &stepContacts_[0];
    for (StepContact& kept : stepContacts_) {
        if (kept.contact.geom.depth < shallowest->contact.geom.depth) {
            shallowest = &kept;
        }
    }
    if (contact.geom.depth > shallowest->contact.geom.depth) {
        *shallowest = {contact, levelBody};
    }
}

void Avatar::createContactJoints() {
    wallCount_ = 0;
    for (int i = 0; i < stepContactCount_; ++i) {
        const StepContact& kept = stepContacts_[i];
        dJointID joint = dJointCreateContact(world_, contactGroup_, &kept.contact);
        dJointAttach(joint, kept.levelBody, body_);

        Ogre::Vector3 out = toVector(kept.contact.geom.normal);
        if (out.dotProduct(stepCentre_ - toVector(kept.contact.geom.pos)) < 0.0f) {
            out = -out;
        }
        // Contacts above the ground margin, as bumps are told from ground.
        if (out.y * static_cast<float>(kRadius) < kGroundMargin) {
            wallNormals_[wallCount_++] = out.normalisedCopy();
        }
    }
}

void Avatar::stopAtWalls(float& vx, float& vz) const {
    // The contacts alone do not hold a ball pressed on: they are soft and
    // push out at most kMaxCorrectingSpeed, so a velocity set into a wall
    // every step lets the sphere creep in until it passes through.
    for (int i = 0; i < wallCount_; ++i) {
        const Ogre::Vector3& out = wallNormals_[i];
        const float into = vx * out.x + vz * out.z;
        if (into < 0.0f) {
            vx -= into * out.x;
            vz -= into * out.z;
        }
    }
}

void Avatar::updateGround(Ogre::SceneNode* levelRoot) {
    Ogre::SceneNode* previous = groundNode_;
    Ogre::SceneNode* found = nullptr;
    if (!groundName_.empty()) {
        found = findSceneNode(sceneMgr_, groundName_);
        if (!found) {
            reportMissing(kMissingGround, "no scene node named " + groundName_ +
                                              " for the ground that was touched");
        }
    }
    if (!found) {
        --groundGrace_;
        if (groundGrace_ > 0) {
            return;
        }
        groundGrace_ = 0;
        groundNode_ = levelRoot;
    } else {
        groundNode_ = found;
        groundGrace_ = kGroundGrace;
    }
    // Ground found while in the air is a landing even on the node stood on
    // before: SetAvatarState(1) or ResetBody on the same ground would else
    // leave the avatar in the air, unable to jump, until it rolled onto
    // another node.
    const bool landing = found && state_ == Air;
    if (groundNode_ == previous && !landing) {
        return;
    }

    Actor* actor = simulation_.findActor(names::kAvatar);
    if (!found) {
        if (state_ != Locked) {
            state_ = Air;
        }
        if (actor && levelRoot) {
            actor->attachTo(names::kLevelRoot, kKeep);
        }
        return;
    }
    if (state_ == Air) {
        landed_ = true;
        jumpCounter_ = 0;
    }
    if (state_ != Locked) {
        state_ = Ground;
    }
    if (actor) {
        actor->attachTo(groundName_, kKeep);
    }
}

void Avatar::runHeldEvents() {
    std::vector<std::string> events;
    events.swap(heldEvents_);
    for (const std::string& statement : events) {
        runScript(statement);
    }
}

void Avatar::runScript(const std::string& statement) {
    simulation_.links().lua.executeString(statement);
}

}  // namespace vantor
