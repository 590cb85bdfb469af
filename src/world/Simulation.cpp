#include "world/Simulation.h"

#include <OgreSimpleSpline.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include "camera/CameraController.h"
#include "collision/CollisionMgr.h"
#include "collision/CollisionResult.h"
#include "core/Log.h"
#include "core/NodeTransform.h"
#include "overlay/OverlayMgr.h"
#include "script/ScriptCall.h"
#include "script/ScriptVM.h"
#include "world/Actor.h"
#include "world/Avatar.h"

namespace vantor {

namespace {

const char* const kDuplicateActor = "ERROR. Duplicate Actor name: ";
const char* const kDuplicateSpline = "ERROR. Duplicate Spline name: ";
const char* const kInvalidActor = "Error: Actormessage with invalid actor! (";
const char* const kTooManyScripts =
    "Error. Too many Script messages in one tick; the rest is delivered in the next tick";
const char* const kFallingBehind =
    "Error. The simulation falls behind the clock; frames are rendered between its ticks";

const char* const kRemoveOverlays = "Remove overlays";
const char* const kDeleteActors = "delete ActorList";
const char* const kDeleteMessages = "delete _messages";
const char* const kDeleteSplines = "delete _splines";
const char* const kDeleteCallbacks = "delete _collisionCallbacks";
const char* const kDeleteAvatar = "delete avatar";
const char* const kDeleteOverlayMgr = "delete overlayMgr";

}  // namespace

Simulation::Simulation(WorldLinks links) : links_(std::move(links)) {
    avatar_ = std::make_unique<Avatar>(*this);
    overlayMgr_ = std::make_unique<OverlayMgr>();
}

Simulation::~Simulation() {
    log(kDeleteAvatar);
    avatar_.reset();
    clear();
    log(kDeleteOverlayMgr);
    overlayMgr_.reset();
}

void Simulation::setSound(CSound* sound, const std::string& musicDir) {
    links_.sound = sound;
    links_.musicDir = musicDir;
}

void Simulation::setCamera(CameraController* camera) {
    links_.camera = camera;
}

bool Simulation::step() {
    if (time_ > links_.clock.nowMs()) {
        endOfFrame();
        fallingBehind_ = false;
        return false;
    }
    if (ticksThisFrame_ >= kMaxTicksPerFrame) {
        // Let the frame render; the next frame goes on catching up.
        if (!fallingBehind_) {
            log(kFallingBehind);
            fallingBehind_ = true;
        }
        endOfFrame();
        return false;
    }
    if (tickGate_ && !tickGate_()) {
        endOfFrame();
        return false;
    }
    time_ += kTickMs;
    ++ticksThisFrame_;
    tick();
    // Read again: the tick's scripts may have moved the clock (FastForward).
    if (time_ <= links_.clock.nowMs()) {
        return true;
    }
    endOfFrame();
    fallingBehind_ = false;
    return false;
}

void Simulation::endOfFrame() {
    ticksThisFrame_ = 0;
}

void Simulation::tick() {
    processMessages();
    stepAvatar();
    updateCamera();
    checkCollisionCallbacks();
}

void Simulation::processMessages() {
    deliverMessages();
    // Actor updates run no script, so the registry cannot change under the loops.
    if (actorsChanged_) {
        inNameOrder_.clear();
        for (const auto& entry : actors_) {
            inNameOrder_.push_back(entry.second.get());
        }
        actorsChanged_ = false;
    }
    // Most actors move under a parent that stays put while they move (the
    // level root, a lift): its world frame is composed once per pass.
    ParentFrames frames;
    for (Actor* actor : inNameOrder_) {
        try {
            actor->update(frames);
        } catch (const std::exception& e) {
            log("Error: Actor::update(" + actor->getName() + "): " + e.what());
        }
    }
    // Geometry once every actor has moved: an actor's geometry follows its
    // ancestors, which may come after it in the name order.
    ParentFrames placed;  // nothing moves while the geometry is placed
    for (Actor* actor : inNameOrder_) {
        actor->updateCollisionGeometry(placed);
    }
}

void Simulation::deliverMessages() {
    // A tick reads only the times of the queue, and a delivered message
    // leaves a gap instead of moving the rest of the queue up; the gaps go
    // once they are half of it, so a message is moved about once in its life.
    int scriptsDelivered = 0;
    for (size_t i = 0; i < dueAt_.size(); ++i) {
        if (dueAt_[i] > time_) {
            continue;
        }
        dueAt_[i] = kDelivered;
        ++delivered_;
        // Delivered from a copy: a Script message may change the queue.
        const ActorMessage message = std::move(messages_[i]);
        Actor* actor = findActor(message.actorName);
        if (!actor) {
            log(kInvalidActor + message.actorName + ")");
            continue;
        }
        actor->handleMessage(message);
        if (message.type == static_cast<int32_t>(ActorMessageType::Script)) {
            // The script may have added, removed or delivered anything: start over.
            i = static_cast<size_t>(-1);
            if (++scriptsDelivered >= kMaxScriptMessagesPerTick) {
                log(kTooManyScripts);
                break;
            }
        }
    }
    if (delivered_ > 64 && 2 * delivered_ > dueAt_.size()) {
        size_t write = 0;
        for (size_t read = 0; read < dueAt_.size(); ++read) {
            if (dueAt_[read] == kDelivered) {
                continue;
            }
            if (write != read) {
                messages_[write] = std::move(messages_[read]);
                dueAt_[write] = dueAt_[read];
            }
            ++write;
        }
        messages_.resize(write);
        dueAt_.resize(write);
        delivered_ = 0;
    }
}

std::vector<ActorMessage> Simulation::getMessages() const {
    std::vector<ActorMessage> queued;
    queued.reserve(messageCount());
    for (size_t i = 0; i < dueAt_.size(); ++i) {
        if (dueAt_[i] != kDelivered) {
            queued.push_back(messages_[i]);
        }
    }
    return queued;
}

void Simulation::clear() {
    log(kRemoveOverlays);
    overlayMgr_->clear();

    log(kDeleteActors);
    // Ascending name order; each actor leaves the registry before it is
    // destroyed so nothing can find it half torn down.
    actorsChanged_ = true;
    while (!actors_.empty()) {
        auto first = actors_.begin();
        std::unique_ptr<Actor> actor = std::move(first->second);
        actors_.erase(first);
        actor.reset();
    }

    log(kDeleteMessages);
    messages_.clear();
    dueAt_.clear();
    delivered_ = 0;

    log(kDeleteSplines);
    splines_.clear();

    log(kDeleteCallbacks);
    collisionCallbacks_.clear();

    if (avatar_) {
        avatar_->levelCleared();
    }

    time_ = 0;
    ticksThisFrame_ = 0;
    fallingBehind_ = false;
}

Actor* Simulation::addActor(const std::string& name) {
    if (actors_.count(name)) {
        log(kDuplicateActor + name);
        return nullptr;
    }
    auto& slot = actors_[name];
    slot = std::make_unique<Actor>(name, links_);
    actorsChanged_ = true;
    return slot.get();
}

Actor* Simulation::findActor(const std::string& name) const {
    const auto it = actors_.find(name);
    return it == actors_.end() ? nullptr : it->second.get();
}

void Simulation::removeActor(const std::string& name) {
    const auto it = actors_.find(name);
    if (it == actors_.end()) {
        return;
    }
    std::unique_ptr<Actor> actor = std::move(it->second);
    actors_.erase(it);
    actorsChanged_ = true;
}

void Simulation::addActorMessage(const ActorMessage& message) {
    messages_.push_back(message);
    dueAt_.push_back(message.time);
}

Ogre::SimpleSpline* Simulation::createSpline(const std::string& name) {
    if (splines_.count(name)) {
        log(kDuplicateSpline + name);
        return nullptr;
    }
    auto& slot = splines_[name];
    slot = std::make_unique<Ogre::SimpleSpline>();
    return slot.get();
}

Ogre::SimpleSpline* Simulation::findSpline(const std::string& name) const {
    const auto it = splines_.find(name);
    return it == splines_.end() ? nullptr : it->second.get();
}

void Simulation::addSplinePoint(const std::string& name, const Ogre::Vector3& point) {
    if (Ogre::SimpleSpline* spline = findSpline(name)) {
        spline->addPoint(point);
    }
}

Ogre::Vector3 Simulation::interpolateSpline(const std::string& name, float t) const {
    const Ogre::SimpleSpline* spline = findSpline(name);
    if (!spline || spline->getNumPoints() == 0) {
        return Ogre::Vector3::ZERO;
    }
    // The spline indexes its segments with t unchecked: outside [0, 1] it
    // would read past its points.
    if (std::isnan(t)) {
        t = 0.0f;
    }
    return spline->interpolate(std::clamp(t, 0.0f, 1.0f));
}

void Simulation::registerCollisionCallback(const std::string& name1, const std::string& name2,
                                           const std::string& function, bool wantList) {
    collisionCallbacks_.push_back(CollisionCallback{name1, name2, function, wantList});
}

void Simulation::checkCollisionCallbacks() {
    // Callbacks registered by a callback's script are first tested next tick.
    const size_t count = collisionCallbacks_.size();
    CollisionMgr& mgr = links_.collision;
    for (size_t i = 0; i < count && i < collisionCallbacks_.size(); ++i) {
        // Read in place: the callback's script, which may change the list,
        // runs only once the statement is made.
        const CollisionCallback& callback = collisionCallbacks_[i];
        if (mgr.collisionTest(callback.name1, callback.name2, callback.wantList).empty()) {
            continue;
        }
        const CollisionResult& result = mgr.getQueryResult();
        ScriptCall call(callback.function);
        if (callback.wantList) {
            call.list(result.hitNames);
        } else {
            call.text(result.hitName);
        }
        links_.lua.executeString(call.str());
    }
}

// --- subsystems driven by the tick -----------------------------------------

void Simulation::stepAvatar() {
    for (int i = 0; i < Avatar::kStepsPerTick; ++i) {
        avatar_->step(Avatar::kStepSeconds);
    }
}

void Simulation::setAvatarState(int state) {
    avatar_->setState(state);
}

void Simulation::setAvatarMove(const Ogre::Vector3& move) {
    avatar_->setMove(move);
}

void Simulation::setAmbientForce(const Ogre::Vector3& force) {
    avatar_->setAmbientForce(force);
}

void Simulation::turnAvatar(float degrees) {
    avatar_->turn(degrees);
}

void Simulation::resetAvatar() {
    avatar_->reset();
}

void Simulation::updateCamera() {
    if (links_.camera) {
        links_.camera->update();
    }
}

}  // namespace vantor
