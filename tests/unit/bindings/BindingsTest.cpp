#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <gtest/gtest.h>
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "app/GameApp.h"
#include "script/ScriptVM.h"
#include "script/bindings/FunctionTable.h"
#include "script/bindings/wrap_web.h"
#include "support/TestGame.h"
#include "world/Simulation.h"

namespace vantor {

using namespace script;
namespace {

// Results a function returns, whatever happens; every other function returns none.
const std::map<std::string, int> kResultCounts = {
    {"GetTick", 1},       {"GetSimulationTime", 1}, {"GetUrl", 1},        {"GetHash", 1},
    {"GetVersion", 1},    {"RayTest", 4},           {"CollisionTest", 1}, {"GetPosition", 3},
    {"GetParent", 1},     {"CreatePanel", 1},       {"Play2DSound", 1},   {"InterpolateSpline", 3},
    {"GetFloatValue", 1}, {"GetStringValue", 1},
};

const char* const kLevel = "CreateSceneNode('', 'LevelRoot')\n";
// Nothing listens there: downloads fail at once.
const char* const kClosedPort = "setup.downloadurl = 'http://127.0.0.1:9/'\n";

// Calls name(args) and returns how many results came back, or -1 on a Lua error.
int resultCount(lua_State* L, const std::string& name, const std::string& args) {
    const std::string chunk = "return " + name + "(" + args + ")";
    const int top = lua_gettop(L);
    if (luaL_loadstring(L, chunk.c_str()) != 0 || lua_pcall(L, 0, LUA_MULTRET, 0) != 0) {
        ADD_FAILURE() << chunk << ": " << lua_tostring(L, -1);
        lua_settop(L, top);
        return -1;
    }
    const int count = lua_gettop(L) - top;
    lua_settop(L, top);
    return count;
}

std::string randomArgument(std::mt19937& random) {
    const char* const pool[] = {"nil",
                                "true",
                                "0",
                                "-1",
                                "1e300",
                                "-1e300",
                                "0/0",
                                "1/0",
                                "2147483648",
                                "-4294967296",
                                "3.7",
                                "''",
                                "'LevelRoot'",
                                "'_AVATAR'",
                                "'camera'",
                                "'x\\0y'",
                                "string.rep('a', 5000)",
                                "{}",
                                "function() end",
                                "'Prefab_Cube'",
                                "'Solid'",
                                "'OVE'",
                                "'%s%n'",
                                "'\\255\\254'"};
    return pool[random() % (sizeof pool / sizeof pool[0])];
}

TEST(FunctionTableTest, EveryFunctionSurvivesAnyArgumentsWithItsDefaultResultCount) {
    test::TestGame game(test::TestGame::defaultSetup() + kClosedPort, {{"start.lua", kLevel}});
    game.start();
    lua_State* L = game.app().getScriptVM("lua")->state();
    std::mt19937 random(7);
    for (const ScriptFunctionEntry& entry : scriptFunctionTable()) {
        const std::string name = entry.name;
        if (name == "StartWebBrowser") {
            continue;  // would open a real browser; platform/BrowserTest covers it
        }
        const auto known = kResultCounts.find(name);
        const int expected = known == kResultCounts.end() ? 0 : known->second;
        EXPECT_EQ(resultCount(L, name, ""), expected) << name << "()";
        for (int round = 0; round < 20; ++round) {
            std::string args;
            for (int i = 0; i < static_cast<int>(random() % 10); ++i) {
                args += (i ? ", " : "") + randomArgument(random);
            }
            EXPECT_EQ(resultCount(L, name, args), expected) << name << "(" << args << ")";
        }
    }
    // Misuse reads in the level's words, never in the rendering library's.
    EXPECT_TRUE(game.logLinesWith("Exception").empty());
    EXPECT_TRUE(game.logLinesWith("OgreMain").empty());
    EXPECT_TRUE(game.app().isRunning() == false);  // ShutDown was among them
}

// One row per contract: Lua to run in a fresh headless game, then Lua
// expressions with the text each must give, log lines that must each appear
// once, and an optional check of the engine's side.
struct Contract {
    const char* name;
    const char* lua;
    std::vector<std::pair<const char*, const char*>> results;
    std::vector<const char*> lines;
    std::function<void(GameApp&)> check = nullptr;
};

void PrintTo(const Contract& contract, std::ostream* out) {
    *out << contract.name;
}

class FunctionContractTest : public ::testing::TestWithParam<Contract> {};

TEST_P(FunctionContractTest, Holds) {
    const Contract& c = GetParam();
    test::TestGame game(test::TestGame::defaultSetup() + kClosedPort,
                        {{"start.lua", std::string(kLevel) + "AddActor('door')\n"}});
    game.start();
    game.run(c.lua);
    for (const auto& [expression, expected] : c.results) {
        EXPECT_EQ(game.eval(expression), expected) << expression;
    }
    for (const char* line : c.lines) {
        EXPECT_EQ(game.logLinesWith(line).size(), 1u) << line;
    }
    if (c.check) {
        c.check(game.app());
    }
    EXPECT_TRUE(game.logLinesWith("Scripting error").empty()) << "a Lua error escaped";
}

const Contract kContracts[] = {
    {"NodesAndPositions",
     "CreateSceneNode('LevelRoot', 'p') SetPosition('p', 10, 0, 0) "
     "CreateSceneNode('p', 'c') SetPosition('c', 1, 2, 3)",
     {{"GetPosition('c')", "11"},
      {"select(2, GetPosition('c', 1))", "2"},
      {"GetParent('c')", "p"},
      {"GetParent('_Hidden')", ""},
      {"GetPosition('nowhere')", "0"}},
     {"Error: GetParent: scene node _Hidden has no parent",
      "Error: GetPosition: no scene node named nowhere"}},
    {"RotationIsAbsoluteAboutALocalAxis",
     "CreateSceneNode('LevelRoot', 'c') SetRotation('c', 0, 2, 0, 90) SetRotation('c', 0, 2, 0, "
     "90) "
     "SetRotation('c', 0, 0, 0, 45)",
     {},
     {},
     [](GameApp& app) {
         EXPECT_TRUE(app.getSceneManager()->getSceneNode("c")->getOrientation().equals(
             Ogre::Quaternion::IDENTITY, Ogre::Degree(0.01f)));  // a zero axis: reset, no turn
     }},
    {"CameraPositionIsTheCamerasNotItsCarriers",
     "SetPosition('_CameraNode', 7, 8, 9)",
     {{"select(3, GetPosition('camera', 1))", "9"}, {"select(3, GetPosition('camera'))", "9"}},
     {}},
    {"ScenesRefuseBadNamesInTheLevelsWords",
     "CreateEntity('e1', '') CreateEntity('e2', 'Nope.mesh') CreateSceneNode('LevelRoot', '') "
     "CreateEntity('gem', 'Prefab_Cube') AttachObject('LevelRoot', 'gem') "
     "CreateSceneNode('LevelRoot', 'Other') AttachObject('Other', 'gem') "
     "AddResourceLocation('G', '.', 'Bogus') SetSkyBox('NoSuchMaterial')",
     {},
     {"Error: CreateEntity: empty mesh name", "Error: CreateEntity: no mesh named Nope.mesh",
      "Error: CreateSceneNode: empty scene node name",
      "Error: AttachObject: entity gem is attached to LevelRoot already",
      "Error: AddResourceLocation: unknown location type 'Bogus' (FileSystem or Zip)",
      "Error: SetSkyBox: no material named NoSuchMaterial"}},
    {"ActorMessagesTakeTheirTimeTruncatedAndNeverDeliverNegativeOnes",
     "AddActorMessage('door', 99.9, 7, 'x = 1') AddActorMessage('door', -1, 7, 'x = 2') "
     "AddActorMessage('door', -4294967296, 7, 'x = 3') AddActorMessage('door', -1e20, 7, 'x = 4') "
     "AddActorMessage('door', 0, 'Spin', '', '', 0, 0, 0, 90) AddActorMessage('ghost', 0, 1) "
     "AddActorMessage('door', 5, 1, 'SetLocal', '', 1, 2, 3, 0)",
     {},
     {"Error: AddActorMessage(door): type 'Spin' is not a message type",
      "ERROR. No such actor found: ghost"},
     [](GameApp& app) {
         const auto& queue = app.getSimulation()->getMessages();
         ASSERT_EQ(queue.size(), 5u);
         EXPECT_EQ(queue[0].time, 99u);
         for (size_t i = 1; i < 4; ++i) {
             EXPECT_EQ(queue[i].time, kNeverDue) << i;
         }
         EXPECT_EQ(queue[4].vector, Ogre::Vector3(1, 2, 3));
         EXPECT_EQ(queue[4].word1, "SetLocal");
     }},
    {"CollisionCallbacksAreNamedByText",
     "function Picked(name) end "
     "RegisterCollisionCallback('_AVATAR', 'Pickups', Picked) "
     "RegisterCollisionCallback('_AVATAR', 'Pickups', 'not a name') "
     "RegisterCollisionCallback('_AVATAR', 'Pickups', 'Picked', 1)",
     {},
     {"Error: RegisterCollisionCallback: the function must be given by its name, as a text, "
      "not a function",
      "Error: RegisterCollisionCallback: the function must be given by its name, as a text, "
      "not 'not a name'"},
     [](GameApp& app) {
         ASSERT_EQ(app.getSimulation()->getCollisionCallbacks().size(), 1u);
         EXPECT_TRUE(app.getSimulation()->getCollisionCallbacks()[0].wantList);
     }},
    {"SoundWithoutASoundSystemDoesNothing",
     "PlayStream('m.ogg') StopAllSounds() SetMasterVolume(1, 2) c = Play2DSound('x.wav', 9, 1)",
     {{"type(c) .. c", "number0"}},
     {}},
    {"Hashes",
     "",
     {{"GetHash('abc', 3)", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"GetHash('abc', 2.9) == GetHash('ab', 99)", "true"},
      {"GetHash(12, 2) == GetHash('12', 2)", "true"},
      {"GetHash('abc', -5) == GetHash('abc', 0)", "true"},
      {"GetHash('abc', 0)", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"}},
     {}},
    {"ScriptStates",
     "ExecuteCmd('state', 'kept = 42') ExecuteCmd('Lua', 'x = 1')",
     {{"GetFloatValue('state', '_G', 'kept')", "42"},
      {"GetStringValue('setup', 'setup', 'startlevel')", "start.lua"}},
     {"Error! No such Lua VM found: Lua"}},
    {"ClocksAndLevels",
     "FastForward(-5000) t = GetTick() ShowText('hello') "
     "coreLoadLevel('b.lua') coreLoadLevel('')",
     {{"t", "0"}, {"GetSimulationTime()", "0"}},
     {},
     [](GameApp& app) {
         EXPECT_EQ(app.getPendingLevel(), "");  // the empty request cancels the earlier one
         EXPECT_EQ(app.getDebugText(), "hello");
     }},
};

INSTANTIATE_TEST_SUITE_P(Rows, FunctionContractTest, ::testing::ValuesIn(kContracts),
                         [](const auto& info) { return std::string(info.param.name); });

// The level author's guide documents exactly the installed functions: each
// has one heading "### `Name`" in docs/scripting.md, and each such heading
// names one of them. (__FILE__ is absolute: CMake compiles sources by path.)
TEST(ScriptingGuideTest, HeadingsNameExactlyTheInstalledFunctions) {
    std::ifstream guide(std::filesystem::path(__FILE__).parent_path() /
                        "../../../docs/scripting.md");
    ASSERT_TRUE(guide) << "cannot read docs/scripting.md";
    std::map<std::string, int> documented;
    for (std::string line; std::getline(guide, line);) {
        line.erase(line.find_last_not_of('\r') + 1);
        if (line.rfind("### `", 0) == 0 && line.size() > 6 && line.back() == '`') {
            ++documented[line.substr(5, line.size() - 6)];
        }
    }
    for (const ScriptFunctionEntry& entry : scriptFunctionTable()) {
        EXPECT_EQ(documented[entry.name], 1) << "headings for " << entry.name;
        documented.erase(entry.name);
    }
    EXPECT_TRUE(documented.empty()) << documented.begin()->first << " is no installed function";
}

// The download base a setup script leaves, read raw with the stack left as it was.
std::string baseAfter(const std::string& setupScript) {
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    EXPECT_EQ(luaL_dostring(L, setupScript.c_str()), 0);
    const std::string base = web::downloadBase(L);
    EXPECT_EQ(lua_gettop(L), 0) << "stack not balanced";
    lua_close(L);
    return base;
}

TEST(DownloadBaseTest, TheSetupKeyNamesTheBaseOnlyWhenItIsAText) {
    EXPECT_EQ(baseAfter("setup = { downloadurl = 'http://127.0.0.1:8/files/' }"),
              "http://127.0.0.1:8/files/");
    EXPECT_EQ(web::downloadBase(nullptr), web::kDownloadBase);
    EXPECT_EQ(baseAfter("setup = { downloadurl = 5 }"), web::kDownloadBase);
    // A strict-globals script raises on any missing lookup; the read must not.
    EXPECT_EQ(
        baseAfter("setup = nil; setmetatable(_G, { __index = function() error('strict') end })"),
        web::kDownloadBase);
}

}  // namespace
}  // namespace vantor
