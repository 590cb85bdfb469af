// The demo hub headless, as the command line's runner plays it; and in a real
// window: how long a level load takes, and what one engine frame costs
// against a bare OGRE loop drawing the same scene.
//
// The game folder the build made is copied to a temporary folder and its
// setup.lua gets sleeptime = 0 appended, so frames are not padded by the
// frame-rate cap. The engine's frame (input, window events, simulation ticks
// on the real clock, sound listener, statistics, rendering) is measured in
// rounds that alternate with the floor: the pump of window events and
// Ogre::Root::renderOneFrame on the very same scene manager, camera and
// overlays. Needs an X display (Xvfb will do); without one the case reports
// that it was skipped.
#include <Ogre.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>

#include "Bench.h"
#include "app/GameApp.h"
#include "platform/WindowEvents.h"

namespace vantor::bench {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double mean(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * double(values.size() - 1))];
}

// Copies the built game folder to a fresh temporary folder; returns it.
fs::path copyGame() {
    const char* fromEnv = std::getenv("VANTOR_GAME_DIR");
    const fs::path source =
        fromEnv && *fromEnv ? fs::path(fromEnv) : fs::path(VANTOR_BENCH_GAME_DIR);
    std::mt19937 random(std::random_device{}());
    const fs::path target =
        fs::temp_directory_path() / ("vantor-bench-" + std::to_string(random()));
    fs::create_directories(target);
    fs::copy(source / "Resource", target / "Resource", fs::copy_options::recursive);
    fs::create_directories(target / "bin");
    std::ofstream(target / "Resource" / "setup.lua", std::ios::app)
        << "\nsetup.sleeptime = 0  -- the bench measures unpadded frames\n";
    return target;
}

// Restores the working directory and removes the copied game on every exit.
struct GameCopy {
    GameCopy() : previous(fs::current_path()), dir(copyGame()) { fs::current_path(dir / "bin"); }
    ~GameCopy() {
        std::error_code ignored;
        fs::current_path(previous, ignored);
        fs::remove_all(dir, ignored);
    }
    fs::path previous;
    fs::path dir;
};

}  // namespace

// The demo hub as `vantor --headless --ticks N` runs it: one tick per frame
// on the fixed-step clock, no window, input or sound device. Construction
// (with the start level's load) and teardown are timed with the ticks.
void runHeadlessHub(bool quick, std::vector<BenchRow>& rows) {
    GameCopy game;
    const int ticks = quick ? 1000 : 10000;
    const auto start = Clock::now();
    {
        AppOptions options;
        options.headless = true;
        options.fixedStep = true;
        options.tickLimit = static_cast<uint64_t>(ticks);
        GameApp app(options);
        app.run();
    }
    const double ms = msSince(start);
    rows.push_back({"demo hub headless: " + std::to_string(ticks) + " ticks, start to exit",
                    ms / 1000.0, "s"});
    rows.push_back({"demo hub headless: ticks per second", ticks / (ms / 1000.0), "ticks/s"});
}

std::vector<BenchRow> runFrameBench(bool quick) {
    std::vector<BenchRow> rows;
    runHeadlessHub(quick, rows);
    if (!std::getenv("DISPLAY")) {
        rows.push_back({"demo hub frames and loads: skipped, no DISPLAY", 0, ""});
        return rows;
    }
    GameCopy game;
    AppOptions options;  // the executable's own: ../Resource, Ogre.log in bin
    GameApp app(options);

    // The first frame loads the start level with cold caches: meshes,
    // textures and materials are read for the first time.
    auto start = Clock::now();
    app.frame();
    rows.push_back({"demo hub: first frame, level load with cold caches", msSince(start), "ms"});

    std::vector<double> loads;
    for (int i = 0; i < (quick ? 2 : 10); ++i) {
        start = Clock::now();
        app.loadLevel("hub.lua");
        loads.push_back(msSince(start));
        app.frame();
    }
    rows.push_back({"demo hub: LoadLevel start to end (median)", percentile(loads, 0.5), "ms"});
    rows.push_back({"demo hub: LoadLevel start to end (worst)", percentile(loads, 1.0), "ms"});

    const int frames = quick ? 20 : 200;
    for (int i = 0; i < frames; ++i) {
        app.frame();  // settle: the fade-in, first ticks, shader compiles
    }
    Ogre::Root* root = app.getRoot();
    std::vector<double> engine, bare;
    for (int round = 0; round < (quick ? 1 : 5); ++round) {
        for (int i = 0; i < frames && app.isRunning(); ++i) {
            start = Clock::now();
            app.frame();
            engine.push_back(msSince(start));
        }
        for (int i = 0; i < frames; ++i) {
            start = Clock::now();
            platform::pumpWindowEvents();
            root->renderOneFrame();
            bare.push_back(msSince(start));
        }
    }
    const Ogre::RenderTarget::FrameStats& stats = app.getRenderWindow()->getStatistics();
    const std::string size = std::to_string(app.getRenderWindow()->getWidth()) + "x" +
                             std::to_string(app.getRenderWindow()->getHeight()) + ", " +
                             std::to_string(stats.triangleCount) + " triangles";
    rows.push_back(
        {"demo hub frame vs bare OGRE loop (mean), " + size, mean(engine), "ms", mean(bare)});
    rows.push_back({"demo hub frame vs bare OGRE loop (p50)", percentile(engine, 0.5), "ms",
                    percentile(bare, 0.5)});
    rows.push_back({"demo hub frame vs bare OGRE loop (p99)", percentile(engine, 0.99), "ms",
                    percentile(bare, 0.99)});
    return rows;
}

}  // namespace vantor::bench
