// The per-tick cost of the world: one message walk plus one update of every
// actor, which has to stay well under the 20 ms tick for the simulation to
// keep pace with the clock.
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <chrono>
#include <string>

#include "Bench.h"
#include "support/TestWorld.h"
#include "world/Simulation.h"

namespace vantor::bench {

namespace {

using Clock = std::chrono::steady_clock;

// n moving, spinning actors, every second one hanging below the one before it
// (so world-space motion walks a parent chain), and one message per actor
// queued far in the future (so the walk visits them every tick).
double microsecondsPerTick(int actors) {
    test::TestWorld world;
    Simulation& sim = *world.simulation;
    for (int i = 0; i < actors; ++i) {
        const std::string name = "actor" + std::to_string(i);
        sim.addActor(name);
        ActorMessage m;
        m.actorName = name;
        m.type = static_cast<int32_t>(ActorMessageType::Attach);
        m.word1 = i % 2 ? "actor" + std::to_string(i - 1) : "LevelRoot";
        sim.addActorMessage(m);
        m.type = static_cast<int32_t>(ActorMessageType::Velocity);
        m.vector = Ogre::Vector3(1, 0, 0);
        m.word1 = "";
        sim.addActorMessage(m);
        m.type = static_cast<int32_t>(ActorMessageType::Spin);
        m.vector = Ogre::Vector3::UNIT_Y;
        m.number = 30;
        sim.addActorMessage(m);
        m.time = 100000000;
        m.type = static_cast<int32_t>(ActorMessageType::Position);
        sim.addActorMessage(m);
    }
    sim.processMessages();
    const int ticks = 200;
    const auto start = Clock::now();
    for (int i = 0; i < ticks; ++i) {
        sim.processMessages();
    }
    const std::chrono::duration<double, std::micro> spent = Clock::now() - start;
    return spent.count() / ticks;
}

}  // namespace

std::vector<BenchRow> runWorldBench(bool quick) {
    std::vector<BenchRow> rows;
    for (int actors : quick ? std::vector<int>{100} : std::vector<int>{100, 300, 1000}) {
        rows.push_back(
            {"world tick: " + std::to_string(actors) + " moving actors, as many waiting messages",
             microsecondsPerTick(actors), "us/tick"});
    }
    return rows;
}

}  // namespace vantor::bench
