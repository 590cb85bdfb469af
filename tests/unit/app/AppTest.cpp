// The application's own parts: the level clock and the asset checks that
// refuse damaged or oversized files before OGRE reads them.

#include <Ogre.h>
#include <OgreSkeletonManager.h>
#include <OgreSkeletonSerializer.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "app/FontCheck.h"
#include "app/ImageCheck.h"
#include "app/LevelClock.h"
#include "support/TestGame.h"
#include "support/TestMeshes.h"

namespace vantor {
namespace {

TEST(LevelClockTest, CountsFromTheLevelStartAndNeverGoesBackPastIt) {
    platform::ManualClock source(4000000000u);  // wraps during the test
    LevelClock clock(source);
    source.advance(500000000u);
    EXPECT_EQ(clock.nowMs(), 500000000u);
    clock.fastForward(1000);
    EXPECT_EQ(clock.nowMs(), 500001000u);
    clock.fastForward(-1000);
    EXPECT_EQ(clock.nowMs(), 500000000u);
    clock.fastForward(-2000000000);  // further back than the level is old
    EXPECT_EQ(clock.nowMs(), 0u);
    source.advance(20);
    clock.restart();
    EXPECT_EQ(clock.nowMs(), 0u);
}

// Offset of the first chunk `id` among the mesh chunk's children.
size_t meshChild(const std::string& file, uint16_t id) {
    size_t at = file.find('\n') + 1 + 6 + 1;  // header, mesh chunk, its one flag
    while (at + 6 <= file.size()) {
        uint16_t chunk;
        uint32_t length;
        std::memcpy(&chunk, file.data() + at, 2);
        std::memcpy(&length, file.data() + at + 2, 4);
        if (chunk == id) {
            return at;
        }
        at += length;
    }
    ADD_FAILURE() << "no chunk " << id;
    return 0;
}

template <class T>
void put(std::string& file, size_t at, T value) {
    std::memcpy(&file[at], &value, sizeof value);
}

TEST(AssetCheckTest, DamagedMeshesAndSkeletonsAreRefusedWithALineNamingThem) {
    test::TestGame game(test::TestGame::defaultSetup(), {{"start.lua", ""}});
    game.start();
    {
        Ogre::MeshPtr box = test::makeBoxMesh("box", {-1, -1, -1}, {1, 1, 1});
        Ogre::MeshSerializer().exportMesh(box.get(), (game.dir() / "intact.mesh").string());
        Ogre::MeshManager::getSingleton().remove(box);
    }
    const std::string intact = game.readFile("intact.mesh");
    const size_t bounds = meshChild(intact, 0x9000);
    // A submesh: its material name, a flag, the index count, a flag, indices.
    const size_t firstIndex = intact.find('\n', meshChild(intact, 0x4000) + 6) + 1 + 1 + 4 + 1;
    const std::map<std::string, std::function<void(std::string&)>> damages = {
        // OGRE asserts on the bounding box these leave behind.
        {"cut.mesh", [&](std::string& f) { f.resize(bounds + 6 + 10); }},
        {"flipped.mesh", [&](std::string& f) { put(f, bounds + 6, 1e30f); }},
        // Drawn, this index would read far past the vertex buffer.
        {"index.mesh", [&](std::string& f) { put<uint16_t>(f, firstIndex, 60000); }},
    };
    std::filesystem::create_directories(game.dir() / "meshes");
    game.writeFile("meshes/intact.mesh", intact);

    // A mesh that links to a skeleton whose second bone names a parent that
    // does not exist; OGRE asserts on that.
    {
        Ogre::SkeletonPtr bones =
            Ogre::SkeletonManager::getSingleton().create("bones", "General", true);
        bones->load();  // a loaded skeleton frees its bones when it is removed
        bones->createBone("root", 0)->addChild(bones->createBone("arm", 1));
        Ogre::SkeletonSerializer().exportSkeleton(bones.get(),
                                                  (game.dir() / "meshes/bones.skeleton").string());
        Ogre::SkeletonManager::getSingleton().remove(bones);
    }
    std::string skeleton = game.readFile("meshes/bones.skeleton");
    const std::string parentChunk("\x00\x30\x0a\x00\x00\x00\x01\x00\x00\x00", 10);
    put<uint16_t>(skeleton, skeleton.find(parentChunk) + 8, 7);
    game.writeFile("meshes/bones.skeleton", skeleton);
    std::string animated = intact;
    const size_t mesh = intact.find('\n') + 1;
    uint32_t meshLength;
    std::memcpy(&meshLength, intact.data() + mesh + 2, 4);
    const std::string link = "bones.skeleton\n";
    std::string linkChunk(6, '\0');
    put<uint16_t>(linkChunk, 0, 0x6000);
    put<uint32_t>(linkChunk, 2, static_cast<uint32_t>(6 + link.size()));
    animated.insert(mesh + meshLength, linkChunk + link);
    put<uint32_t>(animated, mesh + 2, static_cast<uint32_t>(meshLength + 6 + link.size()));
    game.writeFile("meshes/animated.mesh", animated);
    for (const auto& [name, damage] : damages) {
        std::string file = intact;
        damage(file);
        game.writeFile("meshes/" + name, file);
    }
    game.run("AddResourceLocation('Meshes', '" + (game.dir() / "meshes").string() +
             "', 'FileSystem')");

    game.run("CreateEntity('intact', 'intact.mesh')");
    EXPECT_TRUE(game.app().getSceneManager()->hasEntity("intact"));
    // OGRE loads a mesh whose skeleton fails without it.
    game.run("CreateEntity('animated', 'animated.mesh')");
    EXPECT_TRUE(game.app().getSceneManager()->hasEntity("animated"));
    EXPECT_EQ(
        game.logLinesWith("Error: bones.skeleton is damaged: a bone parent names a bone").size(),
        1u);
    for (const auto& [name, damage] : damages) {
        game.run("CreateEntity('" + name + "', '" + name + "')");
        EXPECT_FALSE(game.app().getSceneManager()->hasEntity(name)) << name;
        EXPECT_EQ(game.logLinesWith("Error: CreateEntity: " + name + " is damaged: ").size(), 1u)
            << name;
    }
}

TEST(AssetCheckTest, ParticleSystemsAskingForTooManyParticlesAreRefused) {
    test::TestGame game(test::TestGame::defaultSetup(), {{"start.lua", ""}});
    std::filesystem::create_directories(game.dir() / "particles");
    game.writeFile("particles/Quota.particle",
                   "particle_system Test/Flood\n{\n    quota 2000000000\n}\n"
                   "particle_system Test/Emitters\n{\n    emit_emitter_quota 100000\n}\n"
                   "particle_system Test/Fine\n{\n    quota 500\n}\n");
    game.start();
    // Particle scripts need the billboard renderer, which OGRE registers when
    // its root is initialised with a render system.
    Ogre::ParticleSystemManager::getSingleton()._initialise();
    game.run("AddResourceLocation('Particles', '" + (game.dir() / "particles").string() +
             "', 'FileSystem')");

    auto& particles = Ogre::ParticleSystemManager::getSingleton();
    EXPECT_EQ(particles.getTemplate("Test/Flood"), nullptr);
    EXPECT_EQ(particles.getTemplate("Test/Emitters"), nullptr);
    EXPECT_NE(particles.getTemplate("Test/Fine"), nullptr);
    EXPECT_EQ(game.logLinesWith("Error: Quota.particle: particle system Test/Flood asks for "
                                "2000000000 particles")
                  .size(),
              1u);
    EXPECT_EQ(game.logLinesWith("particle system Test/Emitters").size(), 1u);
}

// Image headers that declare more pixels than a texture may have, in the
// formats whose size fields are found differently.
TEST(AssetCheckTest, ImagesDeclaringTooManyPixelsAreRefusedBeforeDecoding) {
    auto bytes = [](std::initializer_list<int> values) {
        std::string s;
        for (int v : values) {
            s += static_cast<char>(v);
        }
        return s;
    };
    auto check = [](const std::string& file, const std::string& extension) {
        return checkImageFile(reinterpret_cast<const uint8_t*>(file.data()), file.size(),
                              extension);
    };
    const std::string png = "\x89PNG\r\n\x1a\n" + bytes({0, 0, 0, 13}) + "IHDR";
    EXPECT_EQ(check(png + bytes({0, 0, 0x10, 0, 0, 0, 0x10, 0}), "png"), "");  // 4096 x 4096
    EXPECT_NE(check(png + bytes({0, 0, 0x10, 1, 0, 0, 0, 1}), "png"), "");     // 4097 x 1

    // A JPEG's frame header comes after segments of other kinds.
    const std::string jpeg = bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xC2, 0, 17, 8}) +
                             bytes({0, 16, 0x40, 0});  // 16 rows of 16384 pixels
    EXPECT_NE(check(jpeg, "jpg"), "");

    // Rows counted downward are stored as a negative height.
    std::string bmp = "BM" + std::string(28, '\0');
    put<int32_t>(bmp, 18, 16);
    put<int32_t>(bmp, 22, -5000);
    EXPECT_NE(check(bmp, "bmp"), "");

    // TGA has no signature: known by its extension only.
    std::string tga(18, '\0');
    put<uint16_t>(tga, 12, 8192);
    put<uint16_t>(tga, 14, 2);
    EXPECT_NE(check(tga, "tga"), "");
    EXPECT_EQ(check(tga, "raw"), "");

    // Six faces of 4096 x 4096 are within the side limit but not the total.
    std::string dds = "DDS " + std::string(124, '\0');
    put<uint32_t>(dds, 12, 4096);
    put<uint32_t>(dds, 16, 4096);
    put<uint32_t>(dds, 112, 0x200);
    EXPECT_NE(check(dds, "dds"), "");
    put<uint32_t>(dds, 112, 0);
    EXPECT_EQ(check(dds, "dds"), "");

    EXPECT_NE(check("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 8 +X 5000\n", "hdr"), "");
    EXPECT_NE(check("P6\n# a comment\n5000 2\n255\n", "ppm"), "");
}

std::string systemFont() {
    std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(AssetCheckTest, FontsOgreCouldNotBuildBecomeBlankImageFonts) {
    const std::string ttf = systemFont();
    ASSERT_FALSE(ttf.empty()) << "fonts-dejavu-core is not installed";
    const ResourceReader read = [&](const std::string& name, size_t, std::string& problem) {
        if (name == "good.ttf") {
            return std::optional<std::string>(ttf);
        }
        if (name == "cut.ttf") {
            return std::optional<std::string>(ttf.substr(0, 200));
        }
        problem = "its file " + name + " is not found";
        return std::optional<std::string>();
    };
    const std::string good =
        "font Good\n{\n    type truetype\n    source good.ttf\n"
        "    size 24\n    resolution 96\n    code_points 33-126\n}\n";
    const std::string script =
        good +
        "font Cut { source cut.ttf\n size 24 }\n"
        // OGRE's glyph loop would never end on this range.
        "font Endless { source good.ttf\n size 12\n code_points 33-4294967295 }\n"
        "font Huge { source good.ttf\n size 4000\n resolution 960 }\n"
        "font Many { source good.ttf\n size 12\n code_points 0-70000 }\n"
        "font Missing { source gone.ttf\n size 12 }\n";
    const FontScriptCheck checked = checkFontScript(script, read, "Blank");
    ASSERT_EQ(checked.problems.size(), 5u);
    EXPECT_EQ(checked.problems[0].rfind("font Cut: cut.ttf is damaged", 0), 0u);
    EXPECT_EQ(checked.problems[4], "font Missing: its file gone.ttf is not found");
    const std::string blank = "{\n    type image\n    source Blank\n}";
    EXPECT_EQ(checked.text, good + "font Cut " + blank + "\nfont Endless " + blank +
                                "\nfont Huge " + blank + "\nfont Many " + blank +
                                "\nfont Missing " + blank + "\n");
}

}  // namespace
}  // namespace vantor
