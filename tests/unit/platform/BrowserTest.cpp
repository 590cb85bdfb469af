// The launcher runs a stand-in xdg-open placed first on PATH; the stand-in
// records the arguments it received.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Browser.h"
#include "support/TempDir.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

bool waitForFile(const fs::path& path) {
    for (int i = 0; i < 200 && !fs::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return fs::exists(path);
}

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = getenv("PATH");
        oldPath_ = path ? path : "";
    }
    void TearDown() override { setenv("PATH", oldPath_.c_str(), 1); }

    // Puts a stand-in xdg-open first on PATH. It waits (at most 10 s) for the
    // file "release", then writes its parent's process id, its argument count
    // and its arguments, each ended by a NUL byte, to "record".
    void installStandIn() {
        const fs::path bin = dir_ / "bin";
        fs::create_directory(bin);
        const fs::path script = bin / "xdg-open";
        std::ofstream(script)
            << "#!/bin/sh\n"
            << "i=0\n"
            << "while [ ! -e '" << (dir_ / "release").string()
            << "' ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done\n"
            << "{ printf '%s\\0' \"$PPID\" \"$#\"; for a in \"$@\"; do printf '%s\\0' "
               "\"$a\"; done; } > '"
            << (dir_ / "record.tmp").string() << "'\n"
            << "mv '" << (dir_ / "record.tmp").string() << "' '" << (dir_ / "record").string()
            << "'\n";
        fs::permissions(script, fs::perms::owner_all);
        setenv("PATH", (bin.string() + ":" + oldPath_).c_str(), 1);
    }

    test::TempDir temp_;
    const fs::path& dir_ = temp_.path();
    std::string oldPath_;
};

// Processes whose parent is this one, zombies included.
int childProcesses() {
    int children = 0;
    const std::string self = std::to_string(getpid());
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) {
            continue;
        }
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string state, parent;
        fields >> state >> parent;
        children += parent == self ? 1 : 0;
    }
    return children;
}

TEST_F(BrowserTest, HostileTextArrivesAsOneLiteralArgument) {
    installStandIn();
    const std::string marker = (dir_ / "pwned").string();
    const std::string target = "http://x.example/a?b='c'\"d\"; touch " + marker + "; $(touch " +
                               marker + ") `touch " + marker + "` & | > " + marker + " \\n";

    ASSERT_TRUE(platform::openWithDesktop(target));
    // The launcher returned while the handler still waits for its release.
    EXPECT_FALSE(fs::exists(dir_ / "record"));
    std::ofstream(dir_ / "release").put('\n');

    ASSERT_TRUE(waitForFile(dir_ / "record"));
    // The handler is this process's own child, spawned directly.
    EXPECT_EQ(temp_.read("record"), std::to_string(getpid()) + '\0' + "1" + '\0' + target + '\0');
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(BrowserTest, FiftyHandlersAreAllReaped) {
    installStandIn();
    std::ofstream(dir_ / "release").put('\n');
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(platform::openWithDesktop("doc" + std::to_string(i) + ".html"));
    }
    int left = childProcesses();
    for (int i = 0; i < 100 && left > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        left = childProcesses();
    }
    EXPECT_EQ(left, 0);
}

TEST_F(BrowserTest, MissingHandlerIsReported) {
    const fs::path empty = dir_ / "empty";
    fs::create_directory(empty);
    setenv("PATH", empty.c_str(), 1);
    EXPECT_FALSE(platform::openWithDesktop("http://x.example/"));
}

}  // namespace
}  // namespace vantor
