#pragma once

#include <OgreVector.h>

#include <cstdint>
#include <string>

namespace vantor {

// The message types; level scripts pass them as plain numbers. Values outside
// this range can reach the queue, which is why ActorMessage::type is a plain
// integer: delivery logs and drops them.
enum class ActorMessageType : int32_t {
    Attach = 0,
    Position = 1,
    Rotation = 2,
    Entity = 3,
    CollisionGeometry = 4,
    Velocity = 5,
    Spin = 6,
    Script = 7,
    Material = 8,
    Sound = 9,
    Particles = 10,
    Animation = 11,
};

// One timed instruction for an actor, copied into and out of the simulation's
// queue. What word1, word2, vector and number mean depends on the type.
struct ActorMessage {
    // Delivery time in milliseconds of simulation time since the level start.
    uint32_t time = 0;
    std::string actorName;
    int32_t type = 0;  // an ActorMessageType value, or garbage from a script
    std::string word1;
    std::string word2;
    Ogre::Vector3 vector = Ogre::Vector3::ZERO;
    float number = 0.0f;
};

// A delivery time the simulation clock never reaches: the clock moves in
// steps of 20 ms, and this is not a multiple of 20.
constexpr uint32_t kNeverDue = 0xFFFFFFFFu;

// The delivery time of a script's time, given truncated toward zero: its low
// 32 bits. A negative time is never due; its low 32 bits could be anything,
// down to 0 for -2^32 or for a huge negative number saturated to the int64
// minimum.
constexpr uint32_t deliveryTime(int64_t truncated) {
    return truncated < 0 ? kNeverDue : static_cast<uint32_t>(truncated);
}

}  // namespace vantor
