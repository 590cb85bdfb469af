// The avatar's rigid-body physics against real ODE and level geometry built
// from hand-made meshes: falling and landing, walking, jumping, walls, bumps,
// the special states, riding and being pushed by moving geometry.

#include <OgreSceneNode.h>
#include <gtest/gtest.h>

#include <cmath>

#include "core/NodeTransform.h"
#include "support/TestMeshes.h"
#include "support/TestWorld.h"
#include "world/Actor.h"
#include "world/Avatar.h"

namespace vantor {
namespace {

using V = Ogre::Vector3;

// A world with the level objects the avatar needs: the collision space
// "Solid", and (once added) the actor "_AVATAR" beside the heading node
// "ROT1". The avatar's script events are recorded into the global `ev`.
class AvatarWorld : public test::TestWorld {
public:
    AvatarWorld() : avatar(sim().getAvatar()) {
        collision.createSpace("Solid", "");
        run("ev = '' for _, name in ipairs({'StartJump', 'EndJump', 'StartWalk', 'EndWalk', "
            "'BumpedIntoSomething'}) do _G[name] = function() ev = ev .. name .. ';' end end");
    }

    void addAvatar(const V& position) {
        addActor("_AVATAR", position);
        levelRoot()->createChildSceneNode("ROT1");
    }
    // Level geometry in "Solid": a box, or any mesh, as an actor of that
    // name below "LevelRoot", moving at a velocity as in a level.
    Actor* addBox(const std::string& name, const V& min, const V& max, const V& position = V::ZERO,
                  const V& velocity = V::ZERO) {
        test::makeBoxMesh(name + "Mesh", min, max);
        return addSolid(name, name + "Mesh", position, velocity);
    }
    Actor* addSolid(const std::string& name, const std::string& mesh, const V& position,
                    const V& velocity = V::ZERO) {
        Actor* actor = addActor(name, position);
        actor->setCollisionGeometry(mesh, "Solid");
        actor->getCollisionGeometry()->update();
        actor->setVelocity(velocity, "");
        return actor;
    }

    Ogre::SceneNode* avatarNode() { return sim().findActor("_AVATAR")->getNode(); }
    V avatarPosition() { return worldTransform(avatarNode()).position; }
    std::string ground() { return avatarNode()->getParentSceneNode()->getName(); }

    // Physics steps alone, without the rest of a tick.
    void step(int count = 1) {
        for (int i = 0; i < count; ++i) {
            avatar->step(Avatar::kStepSeconds);
        }
    }
    // Steps until the avatar stands on ground; false when it never does.
    bool land(int maxSteps = 600) {
        for (int i = 0; i < maxSteps && avatar->getState() != Ground; ++i) {
            step();
        }
        return avatar->getState() == Ground;
    }
    // Exactly one whole simulation tick.
    void tick() {
        clock.set(sim().getTime() + Simulation::kTickMs);
        sim().step();
    }
    std::string events() { return text("ev"); }
    int count(const std::string& name) {
        int n = 0;
        for (size_t at = events().find(name); at != std::string::npos;
             at = events().find(name, at + 1)) {
            ++n;
        }
        return n;
    }
    void clearEvents() { run("ev = ''"); }

    Avatar* avatar;
};

class AvatarTest : public ::testing::Test, public AvatarWorld {
protected:
    // Flat ground, top face at y = 0, and the avatar 1 unit above it.
    void SetUp() override {
        addBox("Ground", V(-50, -1, -50), V(50, 0, 50));
        addAvatar(V(0, 1, 0));
    }

    // Lands and forgets the landing's events.
    void standOnGround() {
        ASSERT_TRUE(land());
        step();  // the control step that reports the landing
        clearEvents();
    }
};

TEST_F(AvatarTest, HoldingForwardRampsTheWalkSpeedAndStartsWalkingOnce) {
    standOnGround();
    for (int i = 1; i <= 10; ++i) {
        avatar->setMove(V(5, 0, 0));
        step();
        EXPECT_NEAR(avatar->getWalkVelocity().x, 0.1f * static_cast<float>(i), 1e-4f) << i;
    }
    EXPECT_EQ(count("StartWalk"), 1);
    for (int i = 0; i < 60; ++i) {
        avatar->setMove(V(5, 0, 0));
        step();
    }
    EXPECT_NEAR(avatar->getWalkVelocity().x, 5.0f, 1e-4f);
    EXPECT_EQ(count("StartWalk"), 1);
    // Heading 0 walks along world +x.
    EXPECT_GT(avatarPosition().x, 1.0f);
    EXPECT_NEAR(avatarPosition().z, 0.0f, 0.01f);

    // Releasing: one EndWalk, and each control step keeps 0.95 of the speed.
    const float before = avatar->getLinearVelocity().x;
    avatar->setMove(V::ZERO);
    step();
    EXPECT_EQ(count("EndWalk"), 1);
    EXPECT_EQ(avatar->getWalkVelocity(), V::ZERO);
    const float after = avatar->getLinearVelocity().x;
    EXPECT_LE(after, 0.95f * before + 1e-3f);
    EXPECT_GT(after, 0.90f * before);
}

TEST_F(AvatarTest, WalkingTurnsWithTheHeading) {
    avatar->turn(4.0f);  // in the air: three tenths
    EXPECT_NEAR(avatar->getYaw(), 1.2f, 1e-5f);
    avatar->turn(-1.2f / 0.3f);
    standOnGround();
    avatar->turn(90.0f);  // on the ground: the full angle
    EXPECT_FLOAT_EQ(avatar->getYaw(), 90.0f);
    for (int i = 0; i < 60; ++i) {
        avatar->setMove(V(5, 0, 0));
        step();
    }
    // A yaw of 90 degrees turns local +x into world -z.
    EXPECT_LT(avatarPosition().z, -1.0f);
    EXPECT_NEAR(avatarPosition().x, 0.0f, 0.05f);
    const Ogre::Quaternion heading = worldTransform(scene().getSceneNode("ROT1")).orientation;
    EXPECT_TRUE((heading * V::UNIT_X).positionEquals(V::NEGATIVE_UNIT_Z, 1e-4f));
}

TEST_F(AvatarTest, JumpStartsOneStepLaterAndEndsWithTheLanding) {
    standOnGround();
    avatar->setMove(V(0, 0.4f, 0));
    step();
    EXPECT_EQ(avatar->getJumpCounter(), 1);
    EXPECT_EQ(count("StartJump"), 0);
    step();
    EXPECT_EQ(count("StartJump"), 1);

    bool wasInAir = false;
    float fastest = 0.0f;
    for (int i = 0; i < 600 && !(wasInAir && avatar->getState() == Ground); ++i) {
        avatar->setMove(V(0, i < 14 ? 100.0f : 0.4f, 0));  // held: the push ends by itself
        step();
        wasInAir = wasInAir || avatar->getState() == Air;
        fastest = std::max(fastest, avatar->getLinearVelocity().y);
    }
    ASSERT_TRUE(wasInAir);
    EXPECT_LE(fastest, 5.0f);  // upward speed is capped, however hard the request
    EXPECT_GT(fastest, 4.8f);
    EXPECT_EQ(ground(), "Ground");
    avatar->setMove(V::ZERO);
    step(200);  // the landing does not bounce it back into the air
    EXPECT_EQ(avatar->getState(), Ground);
    EXPECT_EQ(events(), "StartJump;EndJump;");
    EXPECT_EQ(count("StartJump"), 1);
}

TEST_F(AvatarTest, SetToAirOrResetOnTheSameGroundItLandsAgainAndCanJump) {
    standOnGround();
    avatar->setState(Air);  // as SetAvatarState(1) does, resting on the ground
    step();
    EXPECT_EQ(avatar->getState(), Ground);
    step();
    EXPECT_EQ(events(), "EndJump;");
    avatar->reset();  // ResetBody puts it back onto the same ground
    ASSERT_TRUE(land(150));
    avatar->setMove(V(0, 0.4f, 0));
    step(2);
    EXPECT_EQ(count("StartJump"), 1);
}

TEST_F(AvatarTest, WalkingIntoAWallBringsTheWalkSpeedDownToTheSpeedReached) {
    addBox("Wall", V(1, 0, -5), V(1.5f, 3, 5));
    standOnGround();
    float lastWalk = 0.0f;
    for (int i = 0; i < 150; ++i) {
        const V before = avatarPosition();
        avatar->setMove(V(5, 0, 0));
        step();
        V achieved = (avatarPosition() - before) / Avatar::kStepSeconds;
        achieved.y = 0.0f;
        EXPECT_LE(avatar->getWalkVelocity().length(), achieved.length() + 0.1f + 1e-3f) << i;
        lastWalk = avatar->getWalkVelocity().x;
    }
    EXPECT_LT(avatarPosition().x, 1.0f - 0.25f + 0.1f);
    EXPECT_LT(lastWalk, 0.5f);
    // Held for 20 s the ball neither creeps into the wall nor through it.
    for (int i = 0; i < 150 * 20; ++i) {
        avatar->setMove(V(5, 0, 0));
        step();
    }
    EXPECT_LT(avatarPosition().x, 1.0f - 0.25f + 0.02f);
}

TEST_F(AvatarTest, BumpsAreReportedAtMostEveryHalfSecond) {
    addBox("Wall", V(1, 0, -5), V(2, 3, 5));
    ASSERT_TRUE(land());
    clearEvents();
    // Before the ticks at 600, 900 and 1120 ms the avatar is put 0.05 into
    // the wall; between them it stands clear of it.
    std::vector<uint32_t> bumpTimes;
    while (sim().getTime() < 1200) {
        const uint32_t next = sim().getTime() + Simulation::kTickMs;
        const bool intoWall = next == 600 || next == 900 || next == 1120;
        sim().findActor("_AVATAR")->setPosition("", V(intoWall ? 0.8f : 0.0f, 0.25f, 0));
        const int before = count("BumpedIntoSomething");
        tick();
        ASSERT_EQ(sim().getTime(), next);
        if (count("BumpedIntoSomething") > before) {
            bumpTimes.push_back(next);
        }
    }
    EXPECT_EQ(bumpTimes, (std::vector<uint32_t>{600, 1120}));
    EXPECT_EQ(avatar->getLastBumpTime(), 1120u);
    EXPECT_EQ(logs.count("Bump depth: "), 2);
}

TEST_F(AvatarTest, OverlappingSolidsBoundTheContactsOfAStep) {
    // Twenty fine grids 0.1 above the ground, each a little aside of the
    // last: every one the sphere touches gives contacts of its own.
    test::makeGridMesh("PileMesh", 20, 0.1f, 0.1f);
    for (int i = 0; i < 20; ++i) {
        addSolid("Pile" + std::to_string(i), "PileMesh", V(0.013f * i, 0, 0.007f * i));
    }
    ASSERT_TRUE(land());
    int most = 0;
    for (int i = 0; i < 100; ++i) {
        step();
        most = std::max(most, avatar->getStepContacts());
    }
    EXPECT_EQ(most, Avatar::kMaxStepContacts);             // more were found
    EXPECT_NEAR(avatarPosition().y, 0.1f + 0.25f, 0.02f);  // resting on the pile
    EXPECT_EQ(count("EndJump"), 1);
}

TEST_F(AvatarTest, LockedFallsAndCollidesButIgnoresMoveAndTurn) {
    avatar->setState(Locked);
    avatar->setMove(V(5, 0, 0));
    avatar->turn(30.0f);
    EXPECT_EQ(avatar->getMoveRequest(), V::ZERO);
    EXPECT_EQ(avatar->getYaw(), 0.0f);
    avatar->setAmbientForce(V(0, 0, 20));
    step(200);
    EXPECT_EQ(avatar->getState(), Locked);  // landing does not change it
    EXPECT_EQ(ground(), "Ground");
    EXPECT_NEAR(avatarPosition().y, 0.25f, 0.05f);
    EXPECT_GT(avatarPosition().z, 0.5f);  // the ambient force still pushes
    EXPECT_NEAR(avatarPosition().x, 0.0f, 0.01f);
    EXPECT_EQ(events(), "");  // no EndJump for a locked landing
}

TEST_F(AvatarTest, FrozenLeavesTheNodeToScriptsAndTheBodyFollowsLater) {
    step(5);
    avatar->setState(Frozen);
    avatar->setMove(V(5, 0, 0));
    avatar->setAmbientForce(V(1, 0, 0));
    avatar->turn(10.0f);
    EXPECT_EQ(avatar->getMoveRequest(), V::ZERO);
    EXPECT_EQ(avatar->getAmbientForce(), V::ZERO);
    EXPECT_EQ(avatar->getYaw(), 0.0f);

    const V body = avatar->getBodyPosition();
    sim().findActor("_AVATAR")->setPosition("", V(3, 2, 3));
    step(20);
    EXPECT_EQ(avatarPosition(), V(3, 2, 3));
    EXPECT_EQ(avatar->getBodyPosition(), body);

    avatar->setState(Air);  // the body starts from where the node was put
    step();
    EXPECT_TRUE(avatar->getBodyPosition().positionEquals(V(3, 2 - 0.25f, 3), 0.01f));
}

TEST_F(AvatarTest, ScriptValuesThatAreNotFiniteAreIgnored) {
    avatar->setMove(V(5, 0, 0));
    avatar->setMove(V(std::nanf(""), 0, 0));
    avatar->setAmbientForce(V(0, INFINITY, 0));
    avatar->turn(std::nanf(""));
    EXPECT_EQ(avatar->getMoveRequest(), V(5, 0, 0));
    EXPECT_EQ(avatar->getAmbientForce(), V::ZERO);
    EXPECT_EQ(avatar->getYaw(), 0.0f);
    step(10);
    EXPECT_FALSE(avatarPosition().isNaN());
}

TEST_F(AvatarTest, AForceTooLargeForTheBodyResetsItWithALogLine) {
    standOnGround();
    const V before = avatarPosition();
    avatar->setAmbientForce(V(0, -3.4e38f, 0));
    step(300);
    EXPECT_FALSE(avatarPosition().isNaN());
    EXPECT_TRUE(worldTransform(avatarNode()).orientation.isNaN() == false);
    EXPECT_EQ(logs.count("the body is reset"), 1);
    EXPECT_EQ(avatar->getAmbientForce(), V::ZERO);
    // Back at rest where it last stood, and simulated as before.
    EXPECT_NEAR(avatarPosition().x, before.x, 0.01f);
    EXPECT_NEAR(avatarPosition().y, before.y, 0.05f);
    EXPECT_EQ(avatar->getState(), Ground);
}

TEST_F(AvatarTest, ResetPutsTheAvatarBackAtRestInTheAir) {
    standOnGround();
    avatar->turn(45.0f);
    avatar->setAmbientForce(V(1, 2, 3));
    avatar->setMove(V(5, 0, 0));
    step(30);
    avatar->reset();
    EXPECT_EQ(avatar->getState(), Air);
    EXPECT_EQ(avatar->getYaw(), 0.0f);
    EXPECT_EQ(avatar->getAmbientForce(), V::ZERO);
    EXPECT_EQ(avatar->getLinearVelocity(), V::ZERO);
    EXPECT_EQ(avatarPosition(), avatar->getBodyPosition());
    EXPECT_EQ(avatarPosition(), V(0, 0.25f, 0));
}

TEST(AvatarPlatform, RidesAMovingPlatform) {
    AvatarWorld world;
    Actor* platform = world.addBox("Platform", V(-2, -0.5f, -2), V(2, 0, 2), V(10, 0, 10));
    world.addAvatar(V(10, 1, 10));
    ASSERT_TRUE(world.land());
    Ogre::SceneNode* node = world.scene().getSceneNode("Platform");
    EXPECT_EQ(world.avatarNode()->getParentSceneNode(), node);
    world.step(30);
    const V start = world.avatarPosition();
    // One unit along x and half a unit up in 50 ticks of 20 ms.
    for (int tick = 0; tick < 50; ++tick) {
        node->translate(V(0.02f, 0.01f, 0));
        platform->getCollisionGeometry()->update();
        world.step(Avatar::kStepsPerTick);
    }
    const V moved = world.avatarPosition() - start;
    EXPECT_NEAR(moved.x, 1.0f, 0.05f);
    EXPECT_NEAR(moved.y, 0.5f, 0.05f);
    EXPECT_NEAR(moved.z, 0.0f, 0.02f);
    EXPECT_EQ(world.avatar->getState(), Ground);
}

TEST(AvatarPlatform, ATurningPlatformCarriesItAndTurnsItsHeading) {
    AvatarWorld world;
    Actor* carousel = world.addBox("Carousel", V(-4, -0.5f, -4), V(4, 0, 4));
    world.addAvatar(V(2, 1, 0));  // at radius 2
    world.tick();
    ASSERT_TRUE(world.land());
    world.step(30);
    const V start = world.avatarPosition();
    carousel->setSpin(V::UNIT_Y, 30.0f, "");
    for (int i = 0; i < 50; ++i) {  // 1 s
        world.tick();
    }
    EXPECT_NEAR(world.avatar->getYaw(), 30.0f, 1.0f);
    const V expected = Ogre::Quaternion(Ogre::Degree(30), V::UNIT_Y) * start;
    EXPECT_TRUE(world.avatarPosition().positionEquals(expected, 0.05f)) << world.avatarPosition();
    EXPECT_EQ(world.ground(), "Carousel");
}

TEST(AvatarPushed, AWallSlidingThroughTheAvatarPushesIt) {
    AvatarWorld world;
    world.addBox("Ground", V(-50, -1, -50), V(50, 0, 50));
    world.addAvatar(V(0, 1, 0));
    ASSERT_TRUE(world.land());
    // 0.5 thick, 2 units a second along +x from x = -2 through the avatar's spot.
    Actor* wall = world.addBox("Wall", V(-0.25f, 0, -3), V(0.25f, 2, 3), V(-2, 0, 0), V(2, 0, 0));
    for (int i = 0; i < 150; ++i) {  // 3 s: the wall's centre goes to x = 4
        world.tick();
    }
    const float wallFront = worldTransform(wall->getNode()).position.x + 0.25f;
    EXPECT_NEAR(wallFront, 4.25f, 0.05f);
    // Still in front of the wall, touching it, and on the ground.
    EXPECT_GT(world.avatarPosition().x, wallFront + 0.15f);
    EXPECT_LT(world.avatarPosition().x, wallFront + 0.3f);
    EXPECT_NEAR(world.avatarPosition().y, 0.25f, 0.05f);
    EXPECT_NEAR(world.avatarPosition().z, 0.0f, 0.05f);

    // A jump of the wall's node into the avatar (0.55 in one tick, faster
    // than anything moves) does not throw the avatar.
    wall->setVelocity(V::ZERO, "");
    wall->setPosition("MoveWorld", V(-1, 0, 0));
    for (int i = 0; i < 50; ++i) {
        world.tick();  // the avatar comes to rest
    }
    const float x = world.avatarPosition().x;
    wall->setPosition("", V(x - 0.25f - 0.45f - 0.25f, 0, 0));
    world.tick();
    wall->setPosition("MoveWorld", V(0.55f, 0, 0));
    world.tick();
    EXPECT_LT(world.avatarPosition().x - x, 0.1f);
}

TEST(AvatarPushed, APlatformComingDownOntoItLeavesItOnTop) {
    AvatarWorld world;
    world.addBox("Ground", V(-50, -1, -50), V(50, 0, 50));
    world.addAvatar(V(0.5f, 1, 0.3f));
    ASSERT_TRUE(world.land());
    // 5 by 5, 0.4 thick, coming down at 1.6 units a second to rest on the ground.
    Actor* lift =
        world.addBox("Lift", V(-2.5f, -0.4f, -2.5f), V(2.5f, 0, 2.5f), V(0, 2, 0), V(0, -1.6f, 0));
    for (int i = 0; i < 100; ++i) {
        world.tick();
        if (worldTransform(lift->getNode()).position.y <= 0.41f) {
            lift->setVelocity(V::ZERO, "");
        }
    }
    const float top = worldTransform(lift->getNode()).position.y;
    ASSERT_NEAR(top, 0.4f, 0.05f);
    EXPECT_GT(world.avatarPosition().y, top + 0.2f) << world.avatarPosition();
    EXPECT_EQ(world.ground(), "Lift");
}

TEST(AvatarPushed, RidersOfAShuttleAreCarriedNotPushed) {
    AvatarWorld world;
    Actor* shuttle =
        world.addBox("Shuttle", V(-2.5f, -0.4f, -2.5f), V(2.5f, 0, 2.5f), V(0, 0, 0), V::ZERO);
    world.addAvatar(V(0, 1, 0));
    world.tick();
    ASSERT_TRUE(world.land());
    world.step(100);
    // A railing on the shuttle, touching the avatar's side, moves with it.
    test::makeBoxMesh("RailMesh", V(-0.25f, 0, -2), V(0.25f, 1, 2));
    Actor* rail = world.sim().addActor("Rail");
    rail->attachTo("Shuttle", "Keep");
    rail->setPosition("", V(-0.49f, 0, 0));
    rail->setCollisionGeometry("RailMesh", "Solid");
    shuttle->setVelocity(V(2, 0, 0), "");
    const V start = world.avatarPosition();
    for (int i = 0; i < 50; ++i) {
        world.tick();
    }
    const V moved = world.avatarPosition() - start;
    EXPECT_NEAR(moved.x, 2.0f, 0.05f);  // what the shuttle moved, no more
    EXPECT_NEAR(moved.y, 0.0f, 0.02f);
    EXPECT_EQ(world.ground(), "Shuttle");
}

TEST(AvatarDrop, DropsOfOneAndTenMetresLandOnce) {
    for (float height : {1.0f, 10.0f}) {
        AvatarWorld world;
        world.addBox("Ground", V(-50, -1, -50), V(50, 0, 50));
        world.addAvatar(V(0, 0.25f + height, 0));
        for (int i = 0; i < 150 * 4; ++i) {
            world.step();
        }
        EXPECT_EQ(world.events(), "EndJump;") << height;  // one landing, once reported
        EXPECT_EQ(world.avatar->getState(), Ground) << height;
        EXPECT_EQ(world.ground(), "Ground") << height;  // riding what it stands on
        EXPECT_NEAR(world.avatarPosition().y, 0.25f, 0.02f) << height;
    }
}

TEST(AvatarLevel, StepsWithoutLevelObjectsReportEachOnceAndDoNothing) {
    AvatarWorld world;
    world.collision.clear();  // no "Solid"
    world.step(50);
    EXPECT_EQ(world.logs.count("no actor _AVATAR"), 1);
    EXPECT_EQ(world.logs.count("no collision space Solid"), 1);

    // With the avatar but still no "Solid" and no "ROT1": nothing moves.
    Actor* actor = world.sim().addActor("_AVATAR");
    actor->attachTo("LevelRoot", "Keep");
    actor->setPosition("", V(0, 5, 0));
    world.step(50);
    EXPECT_EQ(world.avatarPosition(), V(0, 5, 0));
    EXPECT_EQ(world.logs.count("no scene node ROT1"), 1);

    // With ROT1 it falls freely; LevelRoot's absence after a level change
    // only keeps the avatar where it hangs.
    world.levelRoot()->createChildSceneNode("ROT1");
    world.step(50);
    EXPECT_LT(world.avatarPosition().y, 5.0f);
    EXPECT_EQ(world.logs.count("no collision space Solid"), 1);

    // A new level is reported afresh.
    world.sim().clear();
    world.step(5);
    EXPECT_EQ(world.logs.count("no actor _AVATAR"), 2);
}

}  // namespace
}  // namespace vantor
