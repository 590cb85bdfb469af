#pragma once

#include <OgreVector.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "world/ActorMessage.h"
#include "world/CollisionCallback.h"
#include "world/WorldLinks.h"

namespace Ogre {
class SceneManager;
class SimpleSpline;
}  // namespace Ogre

namespace vantor {

class Actor;
class Avatar;
class OverlayMgr;

// The world of the running level, advanced in fixed 20 ms ticks of its own
// clock that catch up with the application clock. Owns the overlay manager,
// the actors, the timed message queue, the named splines and the collision
// callbacks (and, once it exists, the avatar). Created once by GameApp; level
// loading clears it. Reaches nothing but its links. Main thread only.
class Simulation {
public:
    // Milliseconds of simulation time per tick.
    static constexpr uint32_t kTickMs = 20;
    // Ticks one frame may run before it is let go to render; the rest is
    // caught up in later frames. 500 ticks are 10 s of simulation time.
    static constexpr int kMaxTicksPerFrame = 500;
    // Script messages one tick may deliver; the rest stays queued.
    static constexpr int kMaxScriptMessagesPerTick = 10000;

    explicit Simulation(WorldLinks links);
    // Deletes the avatar, clears the level, deletes the overlay manager.
    ~Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    // Collaborators made after the simulation; null takes them away again.
    void setSound(CSound* sound, const std::string& musicDir);
    void setCamera(CameraController* camera);
    // Runs once before every tick (the game states' update); false stops
    // stepping for this frame. Without a gate every due tick runs.
    using TickGate = std::function<bool()>;
    void setTickGate(TickGate gate) { tickGate_ = std::move(gate); }
    const WorldLinks& links() const { return links_; }

    // Runs at most one tick: when the simulation clock is not ahead of the
    // application clock and the tick gate lets it. The frame loop calls it
    // until it returns false.
    bool step();
    // Delivers the due messages, then updates every actor in name order.
    // Called by every tick, and by level loading right after the level script.
    void processMessages();
    // Simulation time in milliseconds since the level started.
    uint32_t getTime() const { return time_; }
    // Level reset: overlays, actors, messages, splines, callbacks, clock.
    void clear();

    // Null (with a log line) when the name is taken.
    Actor* addActor(const std::string& name);
    Actor* findActor(const std::string& name) const;
    // Destroys the actor; its queued messages stay and are dropped when due.
    void removeActor(const std::string& name);
    void addActorMessage(const ActorMessage& message);

    // Null (with a log line) when the name is taken.
    Ogre::SimpleSpline* createSpline(const std::string& name);
    Ogre::SimpleSpline* findSpline(const std::string& name) const;
    // An unknown name does nothing.
    void addSplinePoint(const std::string& name, const Ogre::Vector3& point);
    // t: 0 at the first point, 1 at the last, clamped to that range. The
    // zero vector for an unknown name or a spline without points.
    Ogre::Vector3 interpolateSpline(const std::string& name, float t) const;

    void registerCollisionCallback(const std::string& name1, const std::string& name2,
                                   const std::string& function, bool wantList);
    // Runs the function of every registered callback whose test touches.
    void checkCollisionCallbacks();

    // Avatar control, forwarded to the Avatar (see Avatar for the rules).
    void setAvatarState(int state);
    void setAvatarMove(const Ogre::Vector3& move);
    void setAmbientForce(const Ogre::Vector3& force);
    void turnAvatar(float degrees);
    void resetAvatar();
    // Never null between construction and destruction.
    Avatar* getAvatar() { return avatar_.get(); }

    // The script panels and named overlays of the level; never null.
    OverlayMgr* getOverlayMgr() { return overlayMgr_.get(); }

    // Read access for the script functions and tests.
    const std::map<std::string, std::unique_ptr<Actor>>& getActors() const { return actors_; }
    // The queued messages in insertion order (a copy: for tests and tools).
    std::vector<ActorMessage> getMessages() const;
    size_t messageCount() const { return messages_.size() - delivered_; }
    const std::vector<CollisionCallback>& getCollisionCallbacks() const {
        return collisionCallbacks_;
    }
    const std::map<std::string, std::unique_ptr<Ogre::SimpleSpline>>& getSplines() const {
        return splines_;
    }

private:
    void tick();
    void deliverMessages();
    void endOfFrame();

    // Subsystems the tick drives that live elsewhere.
    void stepAvatar();
    void updateCamera();

    uint32_t time_ = 0;               // milliseconds; advanced by kTickMs per tick
    std::unique_ptr<Avatar> avatar_;  // made first
    std::map<std::string, std::unique_ptr<Actor>> actors_;  // ordered by name
    // The actors in name order as a plain array for the tick's passes,
    // made again after actors were added or removed.
    std::vector<Actor*> inNameOrder_;
    bool actorsChanged_ = true;
    std::vector<ActorMessage> messages_;  // insertion order
    // Each message's time, or kDelivered for a message delivered since the
    // queue was last compacted (its slot in messages_ is left moved-from).
    static constexpr uint64_t kDelivered = uint64_t(1) << 32;
    std::vector<uint64_t> dueAt_;
    size_t delivered_ = 0;
    std::vector<CollisionCallback> collisionCallbacks_;  // registration order
    std::unique_ptr<OverlayMgr> overlayMgr_;             // made after the avatar
    std::map<std::string, std::unique_ptr<Ogre::SimpleSpline>> splines_;

    WorldLinks links_;
    TickGate tickGate_;
    // Ticks run since the frame loop last got false from step().
    int ticksThisFrame_ = 0;
    // Set when a frame hit kMaxTicksPerFrame; cleared once the clock is caught up.
    bool fallingBehind_ = false;
};

}  // namespace vantor
